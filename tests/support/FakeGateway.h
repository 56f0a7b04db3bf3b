// A loopback stand-in for the platform gateway (and the vendor server) whose replies a test
// scripts: each request's target and decoded parameters go to a handler that returns the XML
// body. Every request is recorded.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/ScriptedServer.h"

namespace vendrix::test {

struct GatewayRequest {
  std::string target;                         // as sent: "/router/rest?app_key=..."
  std::string path;                           // "/router/rest"
  std::map<std::string, std::string> params;  // percent-decoded
};

class FakeGateway {
 public:
  using Handler = std::function<std::string(const GatewayRequest&)>;

  FakeGateway();

  // Every later request is answered by `handler` (200, text/xml); a body that starts with
  // "HTTP/1.1 " is the whole reply, status line and headers included.
  void Serve(Handler handler);
  // Every later request is answered with `body`.
  void ServeBody(const std::string& body);

  std::string Base() const { return server_.Base(); }
  std::string Url() const { return server_.Base() + "/router/rest"; }
  std::vector<GatewayRequest> Requests() const;
  size_t RequestCount() const { return Requests().size(); }
  int ConnectionCount() const { return server_.ConnectionCount(); }

 private:
  std::string Answer(const std::string& head);

  mutable std::mutex mutex_;
  Handler handler_;
  std::vector<GatewayRequest> requests_;
  ScriptedServer server_;  // last: it calls Answer() until it is stopped
};

}  // namespace vendrix::test
