// A minimal keep-alive HTTP server on 127.0.0.1 for benchmarks: every request on every
// connection gets the same prepared reply, written with one send. A thread per connection.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/PosixIo.h"

namespace vendrix::bench {

class LoopbackServer {
 public:
  explicit LoopbackServer(std::string reply);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  void Serve(int fd);

  std::string reply_;
  UniqueFd listener_;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  std::mutex mutex_;
  std::vector<int> fds_;
  std::vector<std::thread> workers_;
};

// "HTTP/1.1 200 OK" with a Content-Length body of `size` bytes.
std::string ReplyOfSize(size_t size);

}  // namespace vendrix::bench
