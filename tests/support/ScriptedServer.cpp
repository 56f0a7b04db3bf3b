#include "tests/support/ScriptedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

namespace vendrix::test {

ServerConnection::ServerConnection(ScriptedServer& server, int fd, int index)
    : server_(server), fd_(fd), index_(index) {}

std::string ServerConnection::ReadRequest() {
  for (;;) {
    size_t end = pending_.find("\r\n\r\n");
    if (end != std::string::npos) {
      std::string head = pending_.substr(0, end + 4);
      pending_.erase(0, end + 4);
      server_.Record(head);
      return head;
    }
    char buffer[4096];
    ssize_t n = RetryOnEintr([&] { return ::recv(fd_, buffer, sizeof buffer, 0); });
    if (n <= 0 || server_.Stopping()) return "";
    pending_.append(buffer, static_cast<size_t>(n));
  }
}

bool ServerConnection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = RetryOnEintr([&] { return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); });
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

void ServerConnection::Close() { ::shutdown(fd_, SHUT_RDWR); }

bool ServerConnection::Sleep(std::chrono::milliseconds duration) {
  std::unique_lock lock(server_.mutex_);
  return !server_.stopped_.wait_for(lock, duration, [&] { return server_.Stopping(); });
}

void ServerConnection::WaitForClientClose() {
  char buffer[4096];
  while (RetryOnEintr([&] { return ::recv(fd_, buffer, sizeof buffer, 0); }) > 0) {
  }
}

ScriptedServer::ScriptedServer(Handler handler)
    : handler_(std::move(handler)),
      listener_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)),
      wake_(eventfd(0, EFD_CLOEXEC)) {
  if (!listener_.Valid() || !wake_.Valid()) throw PosixError("test server socket", errno);
  int one = 1;
  ::setsockopt(listener_.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (::bind(listener_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_.Get(), 64) != 0) {
    throw PosixError("test server bind", errno);
  }
  socklen_t length = sizeof address;
  ::getsockname(listener_.Get(), reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

ScriptedServer::~ScriptedServer() { Stop(); }

ScriptedServer::Handler ScriptedServer::Replying(
    std::function<std::string(const std::string&)> reply) {
  return [reply = std::move(reply)](ServerConnection& c) {
    for (std::string request = c.ReadRequest(); !request.empty(); request = c.ReadRequest()) {
      if (!c.Send(reply(request))) return;
    }
  };
}

std::string ScriptedServer::Base() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::vector<std::string> ScriptedServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void ScriptedServer::Record(const std::string& request) {
  std::lock_guard lock(mutex_);
  requests_.push_back(request);
}

void ScriptedServer::AcceptLoop() {
  pollfd fds[2] = {{listener_.Get(), POLLIN, 0}, {wake_.Get(), POLLIN, 0}};
  while (!stopping_.load()) {
    if (RetryOnEintr([&] { return ::poll(fds, 2, -1); }) < 0) return;
    if (fds[1].revents != 0) return;
    int fd = RetryOnEintr([&] { return ::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC); });
    if (fd < 0) continue;
    int index = connections_.fetch_add(1);
    std::lock_guard lock(mutex_);
    if (stopping_.load()) {
      ::close(fd);
      return;
    }
    open_fds_.push_back(fd);
    workers_.emplace_back([this, fd, index] {
      ServerConnection connection(*this, fd, index);
      handler_(connection);
      // Closing is left to Stop(): the test decides when the client sees end of file.
      ::shutdown(fd, SHUT_WR);
    });
  }
}

void ScriptedServer::Stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopping_.exchange(true)) return;
    for (int fd : open_fds_) ::shutdown(fd, SHUT_RDWR);
  }
  stopped_.notify_all();
  uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wake_.Get(), &one, sizeof one);
  if (acceptor_.joinable()) acceptor_.join();
  std::vector<std::thread> workers;
  {
    std::lock_guard lock(mutex_);
    workers.swap(workers_);
  }
  for (std::thread& worker : workers) worker.join();
  for (int fd : open_fds_) ::close(fd);
  open_fds_.clear();
}

std::string HttpReply(const std::string& status, const std::string& body,
                      const std::string& headers) {
  return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
         headers + "\r\n" + body;
}

std::string RequestTarget(const std::string& request) {
  size_t start = request.find(' ');
  if (start == std::string::npos) return "";
  size_t end = request.find(' ', start + 1);
  return request.substr(start + 1, end - start - 1);
}

}  // namespace vendrix::test
