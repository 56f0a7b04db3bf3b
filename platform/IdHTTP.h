// TIdHTTP, the HTTP/1.1 GET client that every platform call goes through: one keep-alive
// connection, exact request bytes, and the documented error messages. A client is used by one
// thread at a time; only Abort() and ClearAbort() may be called from any other thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "platform/CookieStore.h"
#include "platform/PosixIo.h"

struct addrinfo;

namespace vendrix {

// Tunable defaults of the client, in one place.
namespace http_defaults {
inline constexpr int kPort = 80;
inline constexpr size_t kMaxLineLength = 16384;      // status, header and chunk-size lines
inline constexpr size_t kReceiveBlock = 32768;       // bytes asked from the socket per read
inline constexpr size_t kMaxBodyBytes = 64u << 20;   // a larger reply body is refused
inline constexpr size_t kMaxHeaderBytes = 1u << 20;  // all header lines of one reply
inline constexpr int kErrorBodyReadTimeout = 2000;   // ms, for the body of an error status
inline constexpr const char* kAccept = "text/html, */*";
inline constexpr const char* kUserAgent = "Mozilla/3.0 (compatible; Indy Library)";
inline constexpr const char* kContentType = "text/html";
}  // namespace http_defaults

// Every failure of a Get is one of these; what() is the documented message.
class EIdException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class EIdReadTimeout : public EIdException {
 public:
  EIdReadTimeout() : EIdException("Read Timeout") {}
};
class EIdConnectTimeout : public EIdException {
 public:
  EIdConnectTimeout() : EIdException("Connect timed out.") {}
};
class EIdHostNotFound : public EIdException {
 public:
  EIdHostNotFound() : EIdException("Host not found.") {}
};
class EIdConnClosedGracefully : public EIdException {
 public:
  EIdConnClosedGracefully() : EIdException("Connection Closed Gracefully.") {}
};
class EIdMaxLineLengthExceeded : public EIdException {
 public:
  EIdMaxLineLengthExceeded() : EIdException("Max line length exceeded.") {}
};
class EIdIOHandlerPropInvalid : public EIdException {
 public:
  EIdIOHandlerPropInvalid() : EIdException("IOHandler value is not valid") {}
};
// "Socket Error # <errno>\r\n<text>." for every other socket failure.
class EIdSocketError : public EIdException {
 public:
  explicit EIdSocketError(int error);
  int LastError() const { return last_error_; }

 private:
  int last_error_;
};
// A reply the client refuses to read: a body over the limit, a size that overflows or is no
// number, chunks whose sizes do not match their data.
class EIdReplyRefused : public EIdException {
 public:
  using EIdException::EIdException;
};
// The whole Get outlasted the transfer time-out, however steadily the data came.
class EIdTransferTimeout : public EIdException {
 public:
  EIdTransferTimeout() : EIdException("Transfer Timeout") {}
};
// The address holds a space or a control byte, which would break the request line.
class EIdBadAddress : public EIdException {
 public:
  EIdBadAddress() : EIdException("Invalid address: it holds a space or a control character.") {}
};
// Abort() was called while, or before, the Get ran.
class EIdAborted : public EIdException {
 public:
  EIdAborted() : EIdException("Request aborted.") {}
};
// A status outside 200-299, or a redirect: the message is the whole status line.
class EIdHTTPProtocolException : public EIdException {
 public:
  EIdHTTPProtocolException(const std::string& status_line, int code, std::string body)
      : EIdException(status_line), code_(code), body_(std::move(body)) {}
  int ErrorCode() const { return code_; }
  const std::string& ErrorMessage() const { return body_; }

 private:
  int code_;
  std::string body_;
};

// The parts of an address, as split for a request.
struct IdURI {
  std::string protocol = "http";
  std::string username;
  std::string password;
  std::string host;
  int port = http_defaults::kPort;
  std::string path;      // "/dir/", from the first "/" through the last one
  std::string document;  // after the last "/", before the query
  std::string params;    // from the first "?", the "?" included
  std::string bookmark;  // from "#", dropped from requests

  // Splits `address`; an unparsable port raises EIdException.
  static IdURI Parse(const std::string& address);
};

// Resolves a host name as getaddrinfo does, and with its result codes; the result list is
// released with freeaddrinfo. Tests replace it to stand in for a resolver that hangs.
using HostResolver = std::function<int(const std::string& host, const std::string& port,
                                       const addrinfo& hints, addrinfo** result)>;

class TIdHTTP {
 public:
  TIdHTTP();
  ~TIdHTTP();
  TIdHTTP(const TIdHTTP&) = delete;
  TIdHTTP& operator=(const TIdHTTP&) = delete;

  // Fetches `address` and returns the reply body unchanged. Raises an EIdException for every
  // failure; the client stays usable and reconnects when needed.
  std::string Get(const std::string& address);

  // Milliseconds that each wait for data, and the connection attempt, may last; 0 = no limit.
  int ReadTimeout() const { return read_timeout_; }
  void SetReadTimeout(int milliseconds) { read_timeout_ = milliseconds < 0 ? 0 : milliseconds; }

  // Milliseconds that a whole Get may last, from the request to the last byte; 0 = no limit.
  // Without one, a server that trickles its reply is never cut off.
  int TransferTimeout() const { return transfer_timeout_; }
  void SetTransferTimeout(int milliseconds) {
    transfer_timeout_ = milliseconds < 0 ? 0 : milliseconds;
  }

  bool AllowCookies() const { return allow_cookies_; }
  void SetAllowCookies(bool allow) { allow_cookies_ = allow; }
  const CookieStore& Cookies() const { return cookies_; }

  // Thread-safe: makes the Get in progress fail with EIdAborted at once, whatever it waits for
  // (the name resolver included), and every later Get too, until ClearAbort(). The window uses
  // it to drop calls it no longer wants.
  void Abort();
  void ClearAbort();

  // The status code of the last reply read, -1 before any.
  int ResponseCode() const { return response_code_; }
  // The Date header of the last Get's reply as sent, error statuses included; "" when that
  // reply had none or no reply was read. Tells how far the server's clock is from ours.
  const std::string& ResponseDate() const { return response_date_; }
  // How many connections this client has opened; tells reuse from reconnection.
  int ConnectionsOpened() const { return connections_opened_; }
  bool Connected() const { return socket_.Valid(); }
  void Disconnect();

  // Takes `connected` as the open connection to `host`:`port`, used by the next Get as it is
  // (the replay harness of the reply reader feeds replies through a socket pair this way).
  void AdoptConnection(UniqueFd connected, const std::string& host, int port);

  // Host names (not numeric addresses) are resolved by `resolver` on a thread of its own, so
  // that the Get can be aborted while it waits for the answer.
  void SetResolver(HostResolver resolver) { resolver_ = std::move(resolver); }

  // The request bytes of a GET of `uri`, with `cookies` as the Cookie header when non-empty.
  static std::string BuildRequest(const IdURI& uri, const std::string& cookies);
  // Path and document of `uri`, "/" when both are empty.
  static std::string RequestPath(const IdURI& uri);

 private:
  struct Reply;

  void Connect(const IdURI& uri);
  // The addresses of `uri`'s host; raises EIdHostNotFound, or EIdAborted while waiting.
  addrinfo* Resolve(const IdURI& uri);
  bool ConnectionStillUsable(const IdURI& uri);
  void SendAll(const std::string& request);
  // Waits until `events` are ready on `fd`, at most `timeout_ms` (-1: no limit); false on
  // time-out. Raises EIdAborted once Abort() has been called.
  bool Wait(int fd, short events, int timeout_ms);
  // Receives up to `size` bytes into `data`; 0 once the server has closed.
  size_t Receive(char* data, size_t size);
  // Reads one line without its CR LF; false when the server closed before any byte of it.
  bool ReadLine(std::string& line);
  // Appends up to `count` bytes to `out`; false when the server closed before all arrived.
  bool ReadExact(size_t count, std::string& out);
  void ReadToClose(std::string& out);
  void ReadChunked(std::string& out);
  void ReadStatusAndHeaders(Reply& reply);
  void ReadBody(Reply& reply);
  bool AllowsReuse(const Reply& reply) const;

  UniqueFd socket_;
  std::string connected_host_;
  int connected_port_ = 0;
  std::string input_;       // received and not yet consumed: input_[input_pos_..]
  size_t input_pos_ = 0;
  bool closed_by_peer_ = false;
  bool await_reply_ = false;  // the request just went out: wait before the first receive

  UniqueFd abort_event_;
  std::atomic<bool> aborted_{false};

  int read_timeout_ = 0;
  int wait_timeout_ = 0;  // the time-out of the wait in progress
  int transfer_timeout_ = 0;
  bool has_deadline_ = false;
  std::chrono::steady_clock::time_point deadline_;
  bool adopted_ = false;  // the connection was handed in: no liveness probe
  HostResolver resolver_;
  bool allow_cookies_ = true;
  CookieStore cookies_;
  int response_code_ = -1;
  std::string response_date_;
  int connections_opened_ = 0;
};

}  // namespace vendrix
