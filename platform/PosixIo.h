// Small POSIX helpers shared by the platform layer: an owning file descriptor, one place that
// turns a failed system call into an exception with context and strerror, and EINTR retries.
#pragma once

#include <cerrno>
#include <string>
#include <system_error>
#include <utility>

namespace vendrix {

// The text of an errno value ("Connection refused"), thread-safe.
std::string ErrorText(int error);

// A std::system_error for `error`, its message "<context>: <strerror>".
std::system_error PosixError(const std::string& context, int error);

// Runs `call` again while it fails with EINTR; returns its last result.
template <typename Call>
auto RetryOnEintr(Call call) {
  for (;;) {
    auto result = call();
    if (!(result == -1 && errno == EINTR)) return result;
  }
}

// Owns one file descriptor and closes it on destruction.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  void Reset(int fd = -1);

 private:
  int fd_ = -1;
};

}  // namespace vendrix
