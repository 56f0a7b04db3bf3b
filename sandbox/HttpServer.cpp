#include "sandbox/HttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <ctime>

namespace vendrix::sandbox {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trim(const std::string& text) {
  size_t start = text.find_first_not_of(" \t");
  if (start == std::string::npos) return "";
  size_t end = text.find_last_not_of(" \t\r");
  return text.substr(start, end - start + 1);
}

bool SendAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = RetryOnEintr(
        [&] { return ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL); });
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// Reads until `buffer` holds a whole request head; false on close, time-out or excess.
bool ReadHead(int fd, std::string& buffer, size_t& head_end) {
  for (;;) {
    head_end = buffer.find("\r\n\r\n");
    if (head_end != std::string::npos) return true;
    if (buffer.size() > server_defaults::kMaxHeadBytes) return false;
    pollfd p{fd, POLLIN, 0};
    if (RetryOnEintr([&] { return ::poll(&p, 1, server_defaults::kIdleTimeoutMs); }) <= 0) {
      return false;
    }
    char chunk[8192];
    ssize_t n = RetryOnEintr([&] { return ::recv(fd, chunk, sizeof chunk, 0); });
    if (n <= 0) return false;
    buffer.append(chunk, static_cast<size_t>(n));
  }
}

bool ParseHead(const std::string& head, HttpRequest& request, bool& keep_alive) {
  size_t line_end = head.find("\r\n");
  std::string line = head.substr(0, line_end);
  size_t first = line.find(' ');
  size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
  if (second == std::string::npos) return false;
  request.method = line.substr(0, first);
  request.target = line.substr(first + 1, second - first - 1);
  std::string version = line.substr(second + 1);
  size_t question = request.target.find('?');
  request.path = request.target.substr(0, question);
  request.query = question == std::string::npos ? "" : request.target.substr(question + 1);

  size_t pos = line_end + 2;
  while (pos < head.size()) {
    size_t end = head.find("\r\n", pos);
    if (end == std::string::npos) end = head.size();
    std::string header = head.substr(pos, end - pos);
    size_t colon = header.find(':');
    if (colon != std::string::npos) {
      request.headers[Lower(Trim(header.substr(0, colon)))] = Trim(header.substr(colon + 1));
    }
    pos = end + 2;
  }
  std::string connection = Lower(request.headers["connection"]);
  keep_alive = version == "HTTP/1.1" ? connection.find("close") == std::string::npos
                                     : connection.find("keep-alive") != std::string::npos;
  return true;
}

}  // namespace

std::string HttpDate(int64_t seconds) {
  // Spelled out rather than strftime'd: the names must not follow the locale.
  static constexpr const char* kDays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::time_t when = static_cast<std::time_t>(seconds);
  std::tm utc{};
  gmtime_r(&when, &utc);
  int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT",
                kDays[((days % 7) + 7) % 7], utc.tm_mday, kMonths[utc.tm_mon],
                utc.tm_year + 1900, utc.tm_hour, utc.tm_min, utc.tm_sec);
  return text;
}

HttpResponse HttpResponse::Text(int status, const std::string& reason, const std::string& body) {
  HttpResponse response;
  response.status = status;
  response.reason = reason;
  response.body = body;
  return response;
}

HttpServer::HttpServer(Handler handler) : handler_(std::move(handler)) {}

HttpServer::~HttpServer() { Stop(); }

void HttpServer::Bind(int port) {
  listener_ = UniqueFd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  wake_ = UniqueFd(eventfd(0, EFD_CLOEXEC));
  if (!listener_.Valid() || !wake_.Valid()) throw PosixError("socket", errno);
  int one = 1;
  ::setsockopt(listener_.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (::bind(listener_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    throw PosixError("bind 127.0.0.1:" + std::to_string(port), errno);
  }
  if (::listen(listener_.Get(), 128) != 0) throw PosixError("listen", errno);
  socklen_t length = sizeof address;
  ::getsockname(listener_.Get(), reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
}

void HttpServer::Start() { acceptor_ = std::thread([this] { AcceptLoop(); }); }

void HttpServer::AcceptLoop() {
  pollfd fds[2] = {{listener_.Get(), POLLIN, 0}, {wake_.Get(), POLLIN, 0}};
  while (!stopping_.load()) {
    if (RetryOnEintr([&] { return ::poll(fds, 2, -1); }) < 0) return;
    if (fds[1].revents != 0) return;
    int fd = RetryOnEintr(
        [&] { return ::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC); });
    if (fd < 0) continue;
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    int connection = ++accepted_;
    std::lock_guard lock(mutex_);
    if (stopping_.load()) {
      ::close(fd);
      return;
    }
    // Reap the threads of connections that have ended.
    for (int done : finished_) {
      auto it = workers_.find(done);
      if (it != workers_.end()) {
        it->second.join();
        workers_.erase(it);
      }
    }
    finished_.clear();
    fds_[connection] = fd;
    workers_[connection] = std::thread([this, fd, connection] {
      Serve(fd, connection);
      std::lock_guard done(mutex_);
      ::close(fd);
      fds_.erase(connection);
      finished_.push_back(connection);
    });
  }
}

std::string HttpServer::Now() const {
  return HttpDate(static_cast<int64_t>(std::time(nullptr)) + clock_offset_.load());
}

bool HttpServer::Sleep(std::chrono::milliseconds delay) {
  std::unique_lock lock(mutex_);
  return !stopped_.wait_for(lock, delay, [&] { return stopping_.load(); });
}

void HttpServer::Serve(int fd, int connection) {
  std::string buffer;
  for (;;) {
    size_t head_end = 0;
    if (!ReadHead(fd, buffer, head_end)) return;
    HttpRequest request;
    request.connection = connection;
    bool keep_alive = true;
    bool parsed = ParseHead(buffer.substr(0, head_end), request, keep_alive);
    buffer.erase(0, head_end + 4);
    if (!parsed) {
      SendAll(fd, "HTTP/1.1 400 Bad Request\r\nDate: " + Now() +
                      "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
      return;
    }
    // A request body is read and ignored.
    size_t body = 0;
    auto length = request.headers.find("content-length");
    if (length != request.headers.end()) body = std::strtoul(length->second.c_str(), nullptr, 10);
    while (buffer.size() < body) {
      char chunk[8192];
      ssize_t n = RetryOnEintr([&] { return ::recv(fd, chunk, sizeof chunk, 0); });
      if (n <= 0) return;
      buffer.append(chunk, static_cast<size_t>(n));
    }
    buffer.erase(0, body);

    HttpResponse response;
    if (request.method != "GET" && request.method != "HEAD") {
      response = HttpResponse::Text(405, "Method Not Allowed", "GET only\n");
    } else {
      response = handler_(request);
    }
    if (response.delay.count() > 0 && !Sleep(response.delay)) return;
    if (response.drop || stopping_.load()) return;

    std::string reply = "HTTP/1.1 " + std::to_string(response.status) + " " + response.reason +
                        "\r\nDate: " + Now() +
                        "\r\nServer: vendrix-sandbox\r\nContent-Type: " + response.content_type +
                        "\r\nContent-Length: " + std::to_string(response.body.size()) + "\r\n";
    for (const auto& [name, value] : response.headers) reply += name + ": " + value + "\r\n";
    reply += keep_alive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    if (request.method == "GET") reply += response.body;
    if (!SendAll(fd, reply) || !keep_alive) return;
  }
}

void HttpServer::Stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopping_.exchange(true) || !listener_.Valid()) return;
    for (const auto& [connection, fd] : fds_) ::shutdown(fd, SHUT_RDWR);
  }
  stopped_.notify_all();
  uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wake_.Get(), &one, sizeof one);
  if (acceptor_.joinable()) acceptor_.join();
  // Stopped means refused: a listening socket nobody accepts from would leave clients waiting.
  listener_ = UniqueFd();
  std::map<int, std::thread> workers;
  {
    std::lock_guard lock(mutex_);
    workers.swap(workers_);
  }
  for (auto& [connection, worker] : workers) worker.join();
}

}  // namespace vendrix::sandbox
