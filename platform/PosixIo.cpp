#include "platform/PosixIo.h"

#include <string.h>
#include <unistd.h>

namespace vendrix {

std::string ErrorText(int error) {
  char buffer[256];
  // GNU strerror_r returns the text, which may or may not live in `buffer`.
  return strerror_r(error, buffer, sizeof buffer);
}

std::system_error PosixError(const std::string& context, int error) {
  // what() reads "<context>: <strerror>".
  return std::system_error(error, std::generic_category(), context);
}

void UniqueFd::Reset(int fd) {
  if (fd_ >= 0) ::close(fd_);  // never retried: the descriptor is gone even on EINTR
  fd_ = fd;
}

}  // namespace vendrix
