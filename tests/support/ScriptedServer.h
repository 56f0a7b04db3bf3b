// A raw-socket HTTP server on 127.0.0.1 for tests: every accepted connection runs a scripted
// handler on its own thread, which reads request heads and writes whatever bytes the test
// wants. Stop() (or destruction) wakes every handler and joins them all.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/PosixIo.h"

namespace vendrix::test {

class ScriptedServer;

// One accepted connection, as its handler sees it.
class ServerConnection {
 public:
  ServerConnection(ScriptedServer& server, int fd, int index);

  // Reads one request head, through its empty line; "" when the client closed the
  // connection or the server is stopping. Every head read is recorded by the server.
  std::string ReadRequest();
  // Writes all of `bytes`; false when the client has gone.
  bool Send(std::string_view bytes);
  // Closes the connection (the client sees end of file).
  void Close();
  // Waits `duration`, returning early (false) when the server stops.
  bool Sleep(std::chrono::milliseconds duration);
  // Waits until the client closes its end or the server stops.
  void WaitForClientClose();
  // 0 for the first connection the server accepted, 1 for the second, ...
  int Index() const { return index_; }

 private:
  ScriptedServer& server_;
  int fd_;
  int index_;
  std::string pending_;
};

class ScriptedServer {
 public:
  using Handler = std::function<void(ServerConnection&)>;

  // Binds 127.0.0.1:0 and starts accepting; each connection runs `handler`.
  explicit ScriptedServer(Handler handler);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  // A server that answers every request of every connection with `reply(request_head)`.
  static Handler Replying(std::function<std::string(const std::string&)> reply);

  int Port() const { return port_; }
  // "http://127.0.0.1:<port>"
  std::string Base() const;
  int ConnectionCount() const { return connections_.load(); }
  std::vector<std::string> Requests() const;
  void Stop();
  bool Stopping() const { return stopping_.load(); }

 private:
  friend class ServerConnection;
  void AcceptLoop();
  void Record(const std::string& request);

  Handler handler_;
  UniqueFd listener_;
  UniqueFd wake_;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::thread acceptor_;

  mutable std::mutex mutex_;
  std::condition_variable stopped_;
  std::vector<std::thread> workers_;
  std::vector<int> open_fds_;
  std::vector<std::string> requests_;
};

// "HTTP/1.1 <status>\r\nContent-Length: n\r\n<headers>\r\n<body>"; `headers` are whole lines.
std::string HttpReply(const std::string& status, const std::string& body,
                      const std::string& headers = "");

// The request target of a request head ("/taoke/api.php?x=1").
std::string RequestTarget(const std::string& request);

}  // namespace vendrix::test
