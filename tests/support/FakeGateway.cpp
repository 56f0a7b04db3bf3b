#include "tests/support/FakeGateway.h"

namespace vendrix::test {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    int value = 0;
    size_t digits = 0;
    while (digits < 2 && i + 1 < text.size() && HexValue(text[i + 1]) >= 0) {
      value = value * 16 + HexValue(text[++i]);
      ++digits;
    }
    out += digits == 0 ? '%' : static_cast<char>(value);
  }
  return out;
}

}  // namespace

std::map<std::string, std::string> DecodeQuery(const std::string& query) {
  std::map<std::string, std::string> params;
  size_t start = 0;
  while (start <= query.size()) {
    size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    std::string pair = query.substr(start, end - start);
    if (!pair.empty()) {
      size_t equals = pair.find('=');
      std::string name = PercentDecode(pair.substr(0, equals));
      params[name] = equals == std::string::npos ? "" : PercentDecode(pair.substr(equals + 1));
    }
    start = end + 1;
  }
  return params;
}

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
  if (question != std::string::npos) request.params = DecodeQuery(request.target.substr(question + 1));
  Handler handler;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    handler = handler_;
  }
  if (!handler) return HttpReply("404 Not Found", "");
  return HttpReply("200 OK", handler(request), "Content-Type: text/xml;charset=UTF-8\r\n");
}

}  // namespace vendrix::test
