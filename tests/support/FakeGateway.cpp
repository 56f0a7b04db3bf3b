#include "tests/support/FakeGateway.h"

#include "sandbox/Gateway.h"

namespace vendrix::test {
FakeGateway::FakeGateway()
    : server_(ScriptedServer::Replying([this](const std::string& head) { return Answer(head); })) {}

void FakeGateway::Serve(Handler handler) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

void FakeGateway::ServeBody(const std::string& body) {
  Serve([body](const GatewayRequest&) { return body; });
}

std::vector<GatewayRequest> FakeGateway::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::string FakeGateway::Answer(const std::string& head) {
  GatewayRequest request;
  request.target = RequestTarget(head);
  size_t question = request.target.find('?');
  request.path = request.target.substr(0, question);
  if (question != std::string::npos) request.params = sandbox::DecodeQuery(request.target.substr(question + 1));
  Handler handler;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    handler = handler_;
  }
  if (!handler) return HttpReply("404 Not Found", "");
  std::string body = handler(request);
  if (body.starts_with("HTTP/1.1 ")) return body;
  return HttpReply("200 OK", body, "Content-Type: text/xml;charset=UTF-8\r\n");
}

}  // namespace vendrix::test
