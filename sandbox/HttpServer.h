// A small HTTP/1.1 server on 127.0.0.1 for the sandbox: keep-alive, a thread per connection,
// GET and HEAD, a Date header on every reply. The handler decides each reply, or that the
// connection is dropped unanswered.
// Start and Stop from one thread; the handler runs on the connection threads.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/PosixIo.h"

namespace vendrix::sandbox {

struct HttpRequest {
  std::string method;  // "GET"
  std::string target;  // "/router/rest?a=1"
  std::string path;    // "/router/rest"
  std::string query;   // "a=1"
  std::map<std::string, std::string> headers;  // names in lower case
  int connection = 0;  // 1 for the first connection the server accepted, 2 for the next, ...
};

// "Sun, 06 Nov 1994 08:49:37 GMT": the HTTP date of `seconds` since 1970.
std::string HttpDate(int64_t seconds);

struct HttpResponse {
  int status = 200;
  std::string reason = "OK";
  std::string content_type = "text/plain; charset=utf-8";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
  bool drop = false;  // close the connection without any reply
  std::chrono::milliseconds delay{0};  // wait this long before replying

  static HttpResponse Text(int status, const std::string& reason, const std::string& body);
};

namespace server_defaults {
inline constexpr size_t kMaxHeadBytes = 64 * 1024;
inline constexpr int kIdleTimeoutMs = 120000;  // an idle keep-alive connection is closed
}  // namespace server_defaults

class HttpServer {
 public:
  using Handler = std::function<HttpResponse(const HttpRequest&)>;

  explicit HttpServer(Handler handler);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds 127.0.0.1:`port` (0: any free port); Port() then tells which. Raises on failure.
  void Bind(int port);
  // Starts accepting connections on the bound port.
  void Start();
  // Closes every connection, wakes delayed replies and joins all threads.
  void Stop();
  int Port() const { return port_; }
  bool Stopping() const { return stopping_.load(); }
  // The Date of every reply from now on is the machine's time plus `seconds` (a server whose
  // clock is off).
  void SetClockOffset(int64_t seconds) { clock_offset_ = seconds; }

 private:
  void AcceptLoop();
  void Serve(int fd, int connection);
  // The Date header's value for a reply sent now.
  std::string Now() const;
  // Waits `delay` unless the server stops first; false when it stopped.
  bool Sleep(std::chrono::milliseconds delay);

  Handler handler_;
  UniqueFd listener_;
  UniqueFd wake_;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> accepted_{0};
  std::atomic<int64_t> clock_offset_{0};
  std::thread acceptor_;

  std::mutex mutex_;
  std::condition_variable stopped_;
  std::map<int, std::thread> workers_;  // by connection number
  std::map<int, int> fds_;              // open descriptors by connection number
  std::vector<int> finished_;           // connections whose thread has ended
};

}  // namespace vendrix::sandbox
