#include "bench/LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace vendrix::bench {

LoopbackServer::LoopbackServer(std::string reply)
    : reply_(std::move(reply)), listener_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  if (!listener_.Valid()) throw PosixError("socket", errno);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(listener_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_.Get(), 64) != 0) {
    throw PosixError("bind", errno);
  }
  socklen_t length = sizeof address;
  ::getsockname(listener_.Get(), reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] {
    for (;;) {
      int fd = RetryOnEintr([&] { return ::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC); });
      if (fd < 0 || stopping_.load()) {
        if (fd >= 0) ::close(fd);
        return;
      }
      int one = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      std::lock_guard lock(mutex_);
      fds_.push_back(fd);
      workers_.emplace_back([this, fd] { Serve(fd); });
    }
  });
}

LoopbackServer::~LoopbackServer() {
  stopping_.store(true);
  ::shutdown(listener_.Get(), SHUT_RDWR);
  acceptor_.join();
  std::lock_guard lock(mutex_);
  for (int fd : fds_) ::shutdown(fd, SHUT_RDWR);
  for (std::thread& worker : workers_) worker.join();
  for (int fd : fds_) ::close(fd);
}

void LoopbackServer::Serve(int fd) {
  std::string pending;
  char buffer[8192];
  for (;;) {
    ssize_t n = RetryOnEintr([&] { return ::recv(fd, buffer, sizeof buffer, 0); });
    if (n <= 0) return;
    pending.append(buffer, static_cast<size_t>(n));
    size_t end;
    while ((end = pending.find("\r\n\r\n")) != std::string::npos) {
      pending.erase(0, end + 4);
      const char* data = reply_.data();
      size_t left = reply_.size();
      while (left > 0) {
        ssize_t sent = RetryOnEintr([&] { return ::send(fd, data, left, MSG_NOSIGNAL); });
        if (sent <= 0) return;
        data += sent;
        left -= static_cast<size_t>(sent);
      }
    }
  }
}

std::string ReplyOfSize(size_t size) {
  return "HTTP/1.1 200 OK\r\nContent-Type: text/xml;charset=UTF-8\r\nContent-Length: " +
         std::to_string(size) + "\r\n\r\n" + std::string(size, 'x');
}

}  // namespace vendrix::bench
