#include "platform/IdHTTP.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace vendrix {

using namespace http_defaults;

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool ContainsNoCase(std::string_view text, std::string_view word) {
  if (word.size() > text.size()) return false;
  for (size_t i = 0; i + word.size() <= text.size(); ++i) {
    if (EqualsNoCase(text.substr(i, word.size()), word)) return true;
  }
  return false;
}

std::string_view TrimSpaces(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// "HTTP/1.1 404 Not Found" -> 404; -1 when the second token is not a decimal number.
int ParseStatusCode(std::string_view status_line) {
  size_t first = status_line.find(' ');
  if (first == std::string_view::npos) return -1;
  std::string_view token = status_line.substr(first + 1);
  token = token.substr(0, token.find(' '));
  if (token.empty() || token.size() > 9) return -1;
  int code = 0;
  for (char c : token) {
    if (c < '0' || c > '9') return -1;
    code = code * 10 + (c - '0');
  }
  return code;
}

// A decimal Content-Length; nullopt when it is not one or does not fit.
std::optional<size_t> ParseContentLength(std::string_view text) {
  text = TrimSpaces(text);
  if (text.empty() || text.size() > 18) return std::nullopt;
  size_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<size_t>(c - '0');
  }
  return value;
}

[[noreturn]] void ThrowInvalidChunk() { throw EIdReplyRefused("Invalid chunk size."); }

// The hexadecimal size at the start of a chunk-size line, before any blank or ";" extension.
// Raises when the line starts with no such number ("zz", "0x6", an empty line) or the size
// does not fit: the body's end could not be found, and taking it as 0 would cut it short.
size_t ParseChunkSize(std::string_view line) {
  line = TrimSpaces(line);
  std::string_view digits = line.substr(0, line.find_first_of(" ;\t"));
  if (digits.empty()) ThrowInvalidChunk();
  size_t value = 0;
  for (char c : digits) {
    int nibble = c >= '0' && c <= '9'   ? c - '0'
                 : c >= 'a' && c <= 'f' ? c - 'a' + 10
                 : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                        : -1;
    if (nibble < 0 || value > (SIZE_MAX >> 4)) ThrowInvalidChunk();
    value = (value << 4) | static_cast<size_t>(nibble);
  }
  return value;
}

int ParsePort(std::string_view text) {
  if (text.empty() || text.size() > 5) throw EIdException("Invalid port number.");
  int port = 0;
  for (char c : text) {
    if (c < '0' || c > '9') throw EIdException("Invalid port number.");
    port = port * 10 + (c - '0');
  }
  if (port == 0 || port > 65535) throw EIdException("Invalid port number.");
  return port;
}

// A time-out of 0 means no limit, which poll spells -1.
int PollTimeout(int milliseconds) { return milliseconds == 0 ? -1 : milliseconds; }

[[noreturn]] void ThrowRefusedBody() {
  throw EIdReplyRefused("Reply body exceeds the 64 MiB limit.");
}

// Closes the client's connection when the exchange ends without Keep(): after a failure the
// connection may still hold part of a reply that the next Get must never read.
class DisconnectUnlessKept {
 public:
  explicit DisconnectUnlessKept(TIdHTTP& http) : http_(http) {}
  ~DisconnectUnlessKept() {
    if (!keep_) http_.Disconnect();
  }
  DisconnectUnlessKept(const DisconnectUnlessKept&) = delete;
  DisconnectUnlessKept& operator=(const DisconnectUnlessKept&) = delete;
  void Keep() { keep_ = true; }

 private:
  TIdHTTP& http_;
  bool keep_ = false;
};

}  // namespace

EIdSocketError::EIdSocketError(int error)
    : EIdException("Socket Error # " + std::to_string(error) + "\r\n" + ErrorText(error) + "."),
      last_error_(error) {}

IdURI IdURI::Parse(const std::string& address) {
  IdURI uri;
  std::string_view rest = address;

  size_t hash = rest.find('#');
  if (hash != std::string_view::npos) {
    uri.bookmark = std::string(rest.substr(hash));
    rest = rest.substr(0, hash);
  }
  // A scheme stands before any "/" or "?": "host/a?u=http://x" has none, whatever its query holds.
  size_t scheme_end = rest.find("://");
  if (scheme_end != std::string_view::npos && rest.find_first_of("/?") > scheme_end) {
    uri.protocol = std::string(rest.substr(0, scheme_end));
    rest.remove_prefix(scheme_end + 3);
  }

  size_t authority_end = rest.find_first_of("/?");
  std::string_view authority = rest.substr(0, authority_end);
  rest = authority_end == std::string_view::npos ? std::string_view() : rest.substr(authority_end);

  size_t at = authority.rfind('@');
  if (at != std::string_view::npos) {
    std::string_view user = authority.substr(0, at);
    size_t colon = user.find(':');
    uri.username = std::string(user.substr(0, colon));
    if (colon != std::string_view::npos) uri.password = std::string(user.substr(colon + 1));
    authority.remove_prefix(at + 1);
  }
  std::string_view host = authority;
  std::string_view port;
  if (!authority.empty() && authority.front() == '[') {  // [v6 address]:port
    size_t close = authority.find(']');
    if (close == std::string_view::npos) throw EIdException("Invalid host name.");
    host = authority.substr(1, close - 1);
    std::string_view after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') throw EIdException("Invalid host name.");
      port = after.substr(1);
    }
  } else {
    size_t colon = authority.find(':');
    if (colon != std::string_view::npos) {
      host = authority.substr(0, colon);
      port = authority.substr(colon + 1);
    }
  }
  if (!port.empty()) uri.port = ParsePort(port);  // "host:" keeps the default port
  uri.host = std::string(host);

  size_t question = rest.find('?');
  if (question != std::string_view::npos) {
    uri.params = std::string(rest.substr(question));
    rest = rest.substr(0, question);
  }
  size_t last_slash = rest.rfind('/');
  if (last_slash == std::string_view::npos) {
    uri.document = std::string(rest);
  } else {
    uri.path = std::string(rest.substr(0, last_slash + 1));
    uri.document = std::string(rest.substr(last_slash + 1));
  }
  return uri;
}

struct TIdHTTP::Reply {
  std::string status_line;
  int code = -1;
  std::vector<std::pair<std::string, std::string>> headers;
  bool head_complete = false;  // the header lines ended with their empty line
  std::string body;

  // Every value of the header `name`, in the order received: a header sent twice counts
  // twice, wherever the second one stands.
  std::vector<std::string_view> Values(std::string_view name) const {
    std::vector<std::string_view> values;
    for (const auto& [key, value] : headers) {
      if (EqualsNoCase(key, name)) values.emplace_back(value);
    }
    return values;
  }
  bool Has(std::string_view name) const { return !Values(name).empty(); }
  // Whether any value of the header `name` holds `word`.
  bool Says(std::string_view name, std::string_view word) const {
    for (std::string_view value : Values(name)) {
      if (ContainsNoCase(value, word)) return true;
    }
    return false;
  }
};

TIdHTTP::TIdHTTP() : abort_event_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (!abort_event_.Valid()) throw PosixError("eventfd", errno);
  input_.reserve(kReceiveBlock);
}

TIdHTTP::~TIdHTTP() = default;

void TIdHTTP::Abort() {
  aborted_.store(true);
  uint64_t one = 1;
  // Only fails when the counter is full, and then it is readable already.
  [[maybe_unused]] ssize_t n = ::write(abort_event_.Get(), &one, sizeof one);
}

void TIdHTTP::ClearAbort() {
  uint64_t count;
  [[maybe_unused]] ssize_t n = ::read(abort_event_.Get(), &count, sizeof count);
  aborted_.store(false);
}

void TIdHTTP::AdoptConnection(UniqueFd connected, const std::string& host, int port) {
  Disconnect();
  socket_ = std::move(connected);
  connected_host_ = host;
  connected_port_ = port;
  adopted_ = true;
}

void TIdHTTP::Disconnect() {
  socket_.Reset();
  adopted_ = false;
  input_.clear();
  input_pos_ = 0;
  closed_by_peer_ = false;
  await_reply_ = false;
}

std::string TIdHTTP::Get(const std::string& address) {
  response_date_.clear();
  if (aborted_.load()) throw EIdAborted();
  // The target goes into the request line as it stands: a space or a control byte there
  // (a CR LF from a reply's value, say) would end the line and start a header of its own.
  for (char c : address) {
    if (static_cast<unsigned char>(c) < 0x21 || c == 0x7F) throw EIdBadAddress();
  }
  IdURI uri = IdURI::Parse(address);
  if (EqualsNoCase(uri.protocol, "https")) throw EIdIOHandlerPropInvalid();
  if (!EqualsNoCase(uri.protocol, "http")) throw EIdException("Unknown Protocol");
  if (uri.host.empty()) throw EIdHostNotFound();

  has_deadline_ = transfer_timeout_ > 0;
  deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(transfer_timeout_);
  if (socket_.Valid() && !std::exchange(adopted_, false) && !ConnectionStillUsable(uri)) {
    Disconnect();
  }
  if (!socket_.Valid()) Connect(uri);
  DisconnectUnlessKept guard(*this);

  std::string cookies;
  if (allow_cookies_) cookies = cookies_.HeaderFor(uri.host, RequestPath(uri));
  SendAll(BuildRequest(uri, cookies));

  Reply reply;
  wait_timeout_ = read_timeout_;
  do {
    ReadStatusAndHeaders(reply);
    if (allow_cookies_) {
      for (const auto& [name, value] : reply.headers) {
        if (EqualsNoCase(name, "Set-Cookie") || EqualsNoCase(name, "Set-Cookie2")) {
          cookies_.Store(uri.host, RequestPath(uri), value);
        }
      }
    }
    // Interim replies (100 Continue, 103 Early Hints) have no body; the final one follows.
  } while (reply.code >= 100 && reply.code <= 199 && reply.code != 101);
  response_code_ = reply.code;
  if (std::vector<std::string_view> dates = reply.Values("Date"); !dates.empty()) {
    response_date_ = std::string(dates.front());
  }

  int code = reply.code;
  if (code == 101) {
    // The server has switched the connection to another protocol: nothing after these headers
    // is HTTP, not even an error page.
    throw EIdHTTPProtocolException(reply.status_line, code, "");
  }
  bool redirect = (code >= 300 && code <= 399 && code != 304) || reply.Has("Location");
  if (redirect || code < 200 || code > 299) {
    // The error page is read with a short time-out: a server that sends a status and then
    // stalls must not hold the caller, and the status line is what the caller gets anyway.
    wait_timeout_ = read_timeout_ == 0 || read_timeout_ > kErrorBodyReadTimeout
                        ? kErrorBodyReadTimeout
                        : read_timeout_;
    bool complete = true;
    try {
      ReadBody(reply);
    } catch (const EIdAborted&) {
      throw;
    } catch (const EIdException&) {
      complete = false;
    }
    wait_timeout_ = read_timeout_;
    if (complete && AllowsReuse(reply)) guard.Keep();
    throw EIdHTTPProtocolException(reply.status_line, code, std::move(reply.body));
  }
  // A success whose headers were cut off may have lost the very header that sized its body.
  if (!reply.head_complete) throw EIdConnClosedGracefully();
  if (code != 204) ReadBody(reply);
  if (AllowsReuse(reply)) guard.Keep();
  return std::move(reply.body);
}

std::string TIdHTTP::RequestPath(const IdURI& uri) {
  return (uri.path.empty() ? "/" : uri.path) + uri.document;
}

std::string TIdHTTP::BuildRequest(const IdURI& uri, const std::string& cookies) {
  std::string host = uri.host.find(':') != std::string::npos ? "[" + uri.host + "]" : uri.host;
  if (uri.port != kPort) host += ":" + std::to_string(uri.port);

  // The target goes out exactly as it stood in the address: callers encode their own values.
  std::string request;
  request.reserve(160 + uri.path.size() + uri.document.size() + uri.params.size() +
                  host.size() + cookies.size());
  request.append("GET ").append(RequestPath(uri)).append(uri.params).append(" HTTP/1.1\r\n");
  request.append("Content-Type: ").append(kContentType).append("\r\n");
  request.append("Host: ").append(host).append("\r\n");
  request.append("Accept: ").append(kAccept).append("\r\n");
  request.append("User-Agent: ").append(kUserAgent).append("\r\n");
  if (!cookies.empty()) request.append("Cookie: ").append(cookies).append("\r\n");
  request.append("\r\n");
  return request;
}

bool TIdHTTP::ConnectionStillUsable(const IdURI& uri) {
  if (uri.host != connected_host_ || uri.port != connected_port_) return false;
  // A server that closed the idle connection makes it readable at end of file; bytes that
  // arrived unasked would be misread as the next reply. Either way: connect anew.
  char probe;
  ssize_t n = RetryOnEintr([&] { return ::recv(socket_.Get(), &probe, 1, MSG_PEEK | MSG_DONTWAIT); });
  return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
}

addrinfo* TIdHTTP::Resolve(const IdURI& uri) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  std::string port = std::to_string(uri.port);
  addrinfo* found = nullptr;
  // A numeric address needs no resolver and answers at once.
  hints.ai_flags = AI_NUMERICHOST;
  if (getaddrinfo(uri.host.c_str(), port.c_str(), &hints, &found) == 0 && found != nullptr) {
    return found;
  }
  hints.ai_flags = 0;

  // getaddrinfo cannot be interrupted, so it runs on a thread of its own while this one waits
  // for its answer or an abort. An abandoned lookup cleans up after itself when it ends.
  struct Lookup {
    std::mutex mutex;
    bool abandoned = false;
    int status = EAI_FAIL;
    addrinfo* result = nullptr;
    UniqueFd done{eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)};
  };
  auto lookup = std::make_shared<Lookup>();
  if (!lookup->done.Valid()) throw PosixError("eventfd", errno);
  HostResolver resolver = resolver_;
  if (!resolver) {
    resolver = [](const std::string& host, const std::string& service, const addrinfo& h,
                  addrinfo** out) { return getaddrinfo(host.c_str(), service.c_str(), &h, out); };
  }
  std::thread([lookup, resolver, host = uri.host, port, hints] {
    addrinfo* result = nullptr;
    int status = resolver(host, port, hints, &result);
    std::lock_guard lock(lookup->mutex);
    if (lookup->abandoned) {
      if (status == 0 && result != nullptr) freeaddrinfo(result);
      return;
    }
    lookup->status = status;
    lookup->result = result;
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(lookup->done.Get(), &one, sizeof one);
  }).detach();

  // However the wait ends, an answer that was not taken is the lookup's to release.
  struct Release {
    Lookup& lookup;
    ~Release() {
      std::lock_guard lock(lookup.mutex);
      lookup.abandoned = true;
      if (lookup.result != nullptr) freeaddrinfo(std::exchange(lookup.result, nullptr));
    }
  } release{*lookup};
  Wait(lookup->done.Get(), POLLIN, -1);
  std::lock_guard lock(lookup->mutex);
  if (lookup->status != 0 || lookup->result == nullptr) throw EIdHostNotFound();
  return std::exchange(lookup->result, nullptr);
}

void TIdHTTP::Connect(const IdURI& uri) {
  Disconnect();
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(Resolve(uri), freeaddrinfo);

  using Clock = std::chrono::steady_clock;
  auto deadline = Clock::now() + std::chrono::milliseconds(read_timeout_);
  int last_error = ECONNREFUSED;
  for (addrinfo* ai = addresses.get(); ai != nullptr; ai = ai->ai_next) {
    UniqueFd fd(::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                         ai->ai_protocol));
    if (!fd.Valid()) {
      last_error = errno;
      continue;
    }
    if (::connect(fd.Get(), ai->ai_addr, ai->ai_addrlen) != 0) {
      if (errno != EINPROGRESS && errno != EINTR) {
        last_error = errno;
        continue;
      }
      int wait = -1;
      if (read_timeout_ > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) throw EIdConnectTimeout();
        wait = static_cast<int>(left.count());
      }
      if (!Wait(fd.Get(), POLLOUT, wait)) throw EIdConnectTimeout();
      int error = 0;
      socklen_t length = sizeof error;
      if (::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
      if (error != 0) {
        last_error = error;
        continue;
      }
    }
    int one = 1;
    ::setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    socket_ = std::move(fd);
    connected_host_ = uri.host;
    connected_port_ = uri.port;
    ++connections_opened_;
    return;
  }
  throw EIdSocketError(last_error);
}

bool TIdHTTP::Wait(int fd, short events, int timeout_ms) {
  using Clock = std::chrono::steady_clock;
  pollfd fds[2] = {{fd, events, 0}, {abort_event_.Get(), POLLIN, 0}};
  // A signal cuts a poll short; the wait then goes on with what was left of it.
  const Clock::time_point until = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  for (;;) {
    if (aborted_.load()) throw EIdAborted();
    int wait = timeout_ms;
    if (timeout_ms > 0) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
      if (left <= 0) return false;
      wait = static_cast<int>(left);
    }
    bool deadline_first = false;
    if (has_deadline_) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                      deadline_ - std::chrono::steady_clock::now())
                      .count();
      if (left <= 0) throw EIdTransferTimeout();
      if (wait < 0 || left < wait) {
        wait = static_cast<int>(left);
        deadline_first = true;
      }
    }
    int n = ::poll(fds, 2, wait);
    if (n == 0 && deadline_first) throw EIdTransferTimeout();
    if (n < 0) {
      if (errno == EINTR) continue;  // a signal is no reason to give up, nor to wait longer
      throw EIdSocketError(errno);
    }
    if (fds[1].revents != 0 || aborted_.load()) throw EIdAborted();
    return n > 0;
  }
}

void TIdHTTP::SendAll(const std::string& request) {
  size_t sent = 0;
  while (sent < request.size()) {
    ssize_t n = ::send(socket_.Get(), request.data() + sent, request.size() - sent,
                       MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) {
      sent += static_cast<size_t>(n);
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!Wait(socket_.Get(), POLLOUT, PollTimeout(read_timeout_))) throw EIdReadTimeout();
    } else if (errno != EINTR) {
      throw EIdSocketError(errno);
    }
  }
  await_reply_ = true;
}

size_t TIdHTTP::Receive(char* data, size_t size) {
  if (closed_by_peer_) return 0;
  size = std::min(size, kReceiveBlock);
  for (;;) {
    if (aborted_.load()) throw EIdAborted();
    if (has_deadline_ && std::chrono::steady_clock::now() >= deadline_) {
      throw EIdTransferTimeout();
    }
    if (await_reply_) {
      // Nothing can have arrived yet: wait first instead of a receive bound to fail.
      await_reply_ = false;
      if (!Wait(socket_.Get(), POLLIN, PollTimeout(wait_timeout_))) throw EIdReadTimeout();
    }
    ssize_t n = ::recv(socket_.Get(), data, size, MSG_DONTWAIT);
    if (n > 0) return static_cast<size_t>(n);
    if (n == 0) {
      closed_by_peer_ = true;
      return 0;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!Wait(socket_.Get(), POLLIN, PollTimeout(wait_timeout_))) throw EIdReadTimeout();
    } else if (errno != EINTR) {
      throw EIdSocketError(errno);
    }
  }
}

bool TIdHTTP::ReadLine(std::string& line) {
  size_t scanned = input_pos_;
  for (;;) {
    size_t lf = input_.find('\n', scanned);
    if (lf != std::string::npos) {
      size_t end = lf > input_pos_ && input_[lf - 1] == '\r' ? lf - 1 : lf;
      if (end - input_pos_ > kMaxLineLength) throw EIdMaxLineLengthExceeded();
      line.assign(input_, input_pos_, end - input_pos_);
      input_pos_ = lf + 1;
      return true;
    }
    // One more byte is allowed for a CR whose LF has not arrived yet.
    if (input_.size() - input_pos_ > kMaxLineLength + 1) throw EIdMaxLineLengthExceeded();
    if (input_pos_ > 0) {
      input_.erase(0, input_pos_);
      input_pos_ = 0;
    }
    scanned = input_.size();
    input_.resize(scanned + kReceiveBlock);
    size_t n = Receive(input_.data() + scanned, kReceiveBlock);
    input_.resize(scanned + n);
    if (n == 0) {
      if (input_.empty()) return false;
      // The server closed inside the last line: it ends there, a CR before the close included.
      size_t end = input_.back() == '\r' ? input_.size() - 1 : input_.size();
      if (end > kMaxLineLength) throw EIdMaxLineLengthExceeded();
      line.assign(input_, 0, end);
      input_.clear();
      return true;
    }
  }
}

bool TIdHTTP::ReadExact(size_t count, std::string& out) {
  size_t buffered = std::min(count, input_.size() - input_pos_);
  out.append(input_, input_pos_, buffered);
  input_pos_ += buffered;
  count -= buffered;
  if (input_pos_ == input_.size()) {
    input_.clear();
    input_pos_ = 0;
  }
  if (count == 0) return true;
  // Receive straight into `out`; whatever ends the loop, even an error, trims it to what came.
  struct TrimOnExit {
    std::string& out;
    size_t base;
    size_t got = 0;
    ~TrimOnExit() { out.resize(base + got); }
  } filled{out, out.size()};
  out.resize(filled.base + count);
  while (filled.got < count) {
    size_t n = Receive(out.data() + filled.base + filled.got, count - filled.got);
    if (n == 0) break;
    filled.got += n;
  }
  return filled.got == count;
}

void TIdHTTP::ReadToClose(std::string& out) {
  for (;;) {
    if (out.size() > kMaxBodyBytes) ThrowRefusedBody();
    // Double the room as the body grows, but never past the limit and one block: a body that
    // reaches the limit has cost at most half of it again in a moment of copying.
    if (out.capacity() - out.size() < kReceiveBlock) {
      out.reserve(std::min(std::max(out.size() * 2, 4 * kReceiveBlock),
                           kMaxBodyBytes + kReceiveBlock));
    }
    if (!ReadExact(kReceiveBlock, out)) return;
  }
}

void TIdHTTP::ReadChunked(std::string& out) {
  std::string line;
  for (;;) {
    if (!ReadLine(line)) throw EIdConnClosedGracefully();
    size_t size = ParseChunkSize(line);
    if (size == 0) break;
    if (size > kMaxBodyBytes || out.size() + size > kMaxBodyBytes) ThrowRefusedBody();
    if (!ReadExact(size, out)) throw EIdConnClosedGracefully();
    if (!ReadLine(line)) throw EIdConnClosedGracefully();
    // The data ends with its line break; more bytes before it mean the size was not the
    // data's, and the next size line would be read from the middle of the data.
    if (!line.empty()) ThrowInvalidChunk();
  }
  // The line after the last chunk; trailer fields, when a server sends any, end the same way.
  size_t trailer_bytes = 0;
  while (ReadLine(line) && !line.empty()) {
    trailer_bytes += line.size();
    if (trailer_bytes > kMaxHeaderBytes) throw EIdReplyRefused("Too many trailer lines.");
  }
}

void TIdHTTP::ReadStatusAndHeaders(Reply& reply) {
  reply.headers.clear();
  if (!ReadLine(reply.status_line)) throw EIdConnClosedGracefully();
  reply.code = ParseStatusCode(reply.status_line);

  size_t header_bytes = 0;
  std::string line;
  // A server that closes inside the headers ends them there; head_complete tells the caller.
  reply.head_complete = false;
  while (ReadLine(line)) {
    if (line.empty()) {
      reply.head_complete = true;
      break;
    }
    header_bytes += line.size();
    if (header_bytes > kMaxHeaderBytes) throw EIdReplyRefused("Too many header lines.");
    if ((line[0] == ' ' || line[0] == '\t') && !reply.headers.empty()) {
      std::string& value = reply.headers.back().second;
      std::string_view more = TrimSpaces(line);
      if (!value.empty() && !more.empty()) value += ' ';
      value += more;
      continue;
    }
    size_t colon = line.find(':');
    std::string_view name = TrimSpaces(std::string_view(line).substr(0, colon));
    std::string_view value =
        colon == std::string::npos ? std::string_view() : TrimSpaces(std::string_view(line).substr(colon + 1));
    reply.headers.emplace_back(std::string(name), std::string(value));
  }
}

void TIdHTTP::ReadBody(Reply& reply) {
  bool chunked = reply.Says("Transfer-Encoding", "chunked");
  std::vector<std::string_view> lengths = reply.Values("Content-Length");
  if (!lengths.empty()) {
    // Two Content-Length headers that disagree leave the body's end unknown.
    bool agree = std::all_of(lengths.begin(), lengths.end(), [&](std::string_view other) {
      return TrimSpaces(other) == TrimSpaces(lengths.front());
    });
    std::optional<size_t> length =
        agree ? ParseContentLength(lengths.front()) : std::optional<size_t>();
    // A length that is no number cannot be read by; the chunks still can.
    if (!length && !chunked) throw EIdReplyRefused("Invalid Content-Length.");
    if (length && *length > kMaxBodyBytes) ThrowRefusedBody();
    if (length && *length >= 1) {
      // A body cut short is a lost reply, not a shorter one; an error page keeps what came.
      if (!ReadExact(*length, reply.body)) throw EIdConnClosedGracefully();
      return;
    }
  }
  if (chunked) {
    ReadChunked(reply.body);
  } else if (lengths.empty()) {
    ReadToClose(reply.body);
  }
}

bool TIdHTTP::AllowsReuse(const Reply& reply) const {
  if (!socket_.Valid() || closed_by_peer_) return false;
  // Bytes beyond the reply are not ours to read as the next one.
  if (input_pos_ < input_.size()) return false;
  return !reply.Says("Connection", "close") && !reply.Says("Proxy-Connection", "close");
}

}  // namespace vendrix
