#include "sandbox/Sandbox.h"

#include <sys/time.h>

#include <cstdio>
#include <ctime>
#include <sstream>

#include "platform/CodePage.h"
#include "sandbox/ConfigDocument.h"
#include "sandbox/Pictures.h"

namespace vendrix::sandbox {
namespace {

enum FaultKind { kDrop, kError, kSlow, kGarbage, kSign, kNone };

// A uniform number in [0, 1) for the n-th gateway request: the same sequence for a seed.
double FaultDraw(uint64_t seed, uint64_t n) {
  uint64_t z = seed * 0x9E3779B97F4A7C15ULL + n * 0xD1B54A32D192ED03ULL + 0x632BE59BD9B4E019ULL;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  z ^= z >> 31;
  return static_cast<double>(z >> 11) / 9007199254740992.0;
}

std::string Timestamp() {
  timeval now{};
  gettimeofday(&now, nullptr);
  std::tm local{};
  localtime_r(&now.tv_sec, &local);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(now.tv_usec / 1000));
  return text;
}

HttpResponse Png(std::string bytes) {
  HttpResponse response;
  if (bytes.empty()) return HttpResponse::Text(404, "Not Found", "no such picture\n");
  response.content_type = "image/png";
  response.body = std::move(bytes);
  response.headers.emplace_back("Cache-Control", "max-age=3600");
  return response;
}

HttpResponse Html(const std::string& body) {
  HttpResponse response;
  response.content_type = "text/html; charset=utf-8";
  response.body = body;
  return response;
}

}  // namespace

bool FaultRates::Parse(const std::string& list, FaultRates& rates, std::string& problem) {
  rates = FaultRates();
  std::stringstream parts(list);
  std::string part;
  while (std::getline(parts, part, ',')) {
    if (part.empty()) continue;
    size_t equals = part.find('=');
    std::string name = part.substr(0, equals);
    double value = 0;
    char* end = nullptr;
    std::string number = equals == std::string::npos ? "" : part.substr(equals + 1);
    value = std::strtod(number.c_str(), &end);
    if (number.empty() || *end != '\0' || value < 0 || value > 1) {
      problem = "'" + part + "' is not name=probability";
      return false;
    }
    if (name == "drop") rates.drop = value;
    else if (name == "error") rates.error = value;
    else if (name == "slow") rates.slow = value;
    else if (name == "garbage") rates.garbage = value;
    else if (name == "sign") rates.sign = value;
    else {
      problem = "unknown fault '" + name + "'";
      return false;
    }
  }
  if (rates.drop + rates.error + rates.slow + rates.garbage + rates.sign > 1) {
    problem = "the probabilities add up to more than 1";
    return false;
  }
  return true;
}

Sandbox::Sandbox(SandboxOptions options)
    : options_(std::move(options)),
      market_(Marketplace::Generate(options_.seed)),
      latency_ms_(options_.latency_ms),
      server_([this](const HttpRequest& request) { return Handle(request); }) {
  if (!options_.log_path.empty()) {
    log_.open(options_.log_path, std::ios::app);
    if (!log_) throw std::runtime_error("cannot write the log " + options_.log_path);
  }
}

Sandbox::~Sandbox() { Stop(); }

void Sandbox::Start() {
  // The gateway needs the base address for pictures and clicks, known once the port is bound,
  // and must be in place before the first connection is accepted.
  server_.Bind(options_.port);
  GatewayOptions gateway;
  gateway.base = Base();
  gateway.gbk = options_.gbk;
  gateway.reverse_conversions = options_.reverse_conversions;
  gateway.names = options_.renamed ? WireNames::Renamed() : WireNames::Platform();
  gateway.app_key = options_.app_key;
  gateway.app_secret = options_.app_secret;
  gateway.clock_offset = options_.clock_offset;
  gateway_ = std::make_unique<Gateway>(market_, gateway);
  server_.SetClockOffset(options_.clock_offset);
  server_.Start();
}

void Sandbox::Stop() { server_.Stop(); }

std::string Sandbox::Base() const {
  return "http://127.0.0.1:" + std::to_string(server_.Port()) + "/";
}

Sandbox::Counts Sandbox::Faults() const {
  Counts counts;
  counts.gateway = static_cast<int>(gateway_requests_.load());
  counts.drop = fault_counts_[kDrop].load();
  counts.error = fault_counts_[kError].load();
  counts.slow = fault_counts_[kSlow].load();
  counts.garbage = fault_counts_[kGarbage].load();
  counts.sign = fault_counts_[kSign].load();
  return counts;
}

HttpResponse Sandbox::Handle(const HttpRequest& request) {
  auto started = std::chrono::steady_clock::now();
  std::string api_method = "-";
  std::string outcome = "200";
  HttpResponse response;
  // The shop page asks for the vendor base followed by "/taoke/shop.gif": collapse the "//".
  std::string path = request.path;
  for (size_t twice; (twice = path.find("//")) != std::string::npos;) path.erase(twice, 1);
  if (path == "/router/rest") {
    response = HandleGateway(request, outcome, api_method);
  } else if (path == "/taoke/api.php") {
    std::string document = ConfigDocument(options_.renamed, Base() + "router/rest",
                                          options_.app_key, options_.app_secret);
    response.content_type = options_.gbk ? "text/xml; charset=GBK" : "text/xml; charset=utf-8";
    response.body = options_.gbk
                        ? "<?xml version=\"1.0\" encoding=\"GBK\"?>" + Utf8ToGbk(document)
                        : "<?xml version=\"1.0\" encoding=\"utf-8\"?>" + document;
  } else if (path == "/click") {
    response = ClickPage(request.query);
  } else if (path == "/") {
    response = Html(
        "<!DOCTYPE html><meta charset=utf-8><title>Vendrix sandbox</title><h1>Vendrix sandbox</h1>"
        "<ul><li><a href=\"/taoke/api.php\">/taoke/api.php</a>: the configuration document</li>"
        "<li>/router/rest: the platform gateway</li><li>/newrank/, /shop-logo/, /bao/: pictures"
        "</li><li>/click: where affiliate click addresses lead</li></ul>");
  } else {
    response = Picture(path);
  }
  if (response.status != 200 && outcome == "200") outcome = std::to_string(response.status);
  auto handling = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - started);
  Log(request, api_method, outcome, handling.count());
  return response;
}

HttpResponse Sandbox::HandleGateway(const HttpRequest& request, std::string& outcome,
                                    std::string& api_method) {
  uint64_t n = gateway_requests_++;
  double draw = FaultDraw(options_.seed, n);
  const FaultRates& f = options_.faults;
  const double limits[] = {f.drop, f.error, f.slow, f.garbage, f.sign};
  FaultKind fault = kNone;
  double cumulative = 0;
  for (int kind = kDrop; kind <= kSign; ++kind) {
    cumulative += limits[kind];
    if (draw < cumulative) {
      fault = static_cast<FaultKind>(kind);
      break;
    }
  }

  HttpResponse response;
  response.delay = std::chrono::milliseconds(latency_ms_.load());
  if (int page = failing_page_.load(); page > 0) {
    std::map<std::string, std::string> params = DecodeQuery(request.query);
    if (params["method"] == "taobao.taobaoke.items.get" &&
        params["page_no"] == std::to_string(page)) {
      fault = kError;
    }
  }
  GatewayReply reply;
  switch (fault) {
    case kDrop:
      response.drop = true;
      outcome = "drop";
      break;
    case kError:
      response.status = 500;
      response.reason = "Internal Server Error";
      response.body = "<html><body>500 Internal Server Error</body></html>";
      response.content_type = "text/html";
      outcome = "500";
      break;
    case kGarbage:
      response.body = "<html><body>502 Bad Gateway: upstream sent \x01\x02 garbage";
      response.content_type = "text/xml;charset=UTF-8";
      outcome = "garbage";
      break;
    case kSign:
      reply = gateway_->Error(25);
      response.body = reply.body;
      response.content_type = reply.content_type;
      outcome = "code=25 (fault)";
      break;
    case kSlow:
      response.delay += sandbox_defaults::kSlowReply;
      [[fallthrough]];
    case kNone:
      reply = gateway_->Handle(request.query);
      response.body = reply.body;
      response.content_type = reply.content_type;
      if (reply.error_code != 0) outcome = "code=" + std::to_string(reply.error_code);
      if (fault == kSlow) outcome += " (slow)";
      break;
  }
  if (fault != kNone) ++fault_counts_[fault];
  if (!reply.method.empty()) api_method = reply.method;
  return response;
}

HttpResponse Sandbox::Picture(const std::string& path) const {
  if (path.starts_with("/newrank/")) return Png(BadgePicture(path.substr(9)));
  if (path.starts_with("/shop-logo/")) return Png(LogoPicture(path));
  if (path == "/taoke/shop.gif") return Png(ShopButtonPicture());
  if (path.starts_with("/bao/")) {
    return Png(ItemPicture(path, path.ends_with("_160x160.jpg") ? 160 : 310));
  }
  return HttpResponse::Text(404, "Not Found", "not found\n");
}

HttpResponse Sandbox::ClickPage(const std::string& query) const {
  std::map<std::string, std::string> params = DecodeQuery(query);
  std::string what;
  if (params["kind"] == "item") {
    const Item* item = market_.ItemByIid(params["iid"]);
    what = "item " + EscapeXml(params["iid"]) +
           (item ? " (" + EscapeXml(item->title) + ", ￥" + item->price + ")" : " (unknown)");
  } else {
    const Seller* seller = market_.SellerBySid(params["sid"]);
    what = "shop " + EscapeXml(params["sid"]) +
           (seller ? " (" + EscapeXml(seller->shop_title) + ")" : " (unknown)");
  }
  return Html("<!DOCTYPE html><meta charset=utf-8><title>Vendrix sandbox click</title>"
              "<h1>Affiliate click</h1><p>This click on the " + what +
              " is credited to the affiliate <b>" + EscapeXml(params["nick"]) + "</b>.</p>");
}

void Sandbox::Log(const HttpRequest& request, const std::string& api_method,
                  const std::string& outcome, long long handling_us) {
  if (!log_.is_open()) return;
  std::string line = Timestamp() + "\t" + std::to_string(request.connection) + "\t" +
                     request.method + "\t" + request.path + "\t" + api_method + "\t" + outcome +
                     "\t" + std::to_string(handling_us) + "\t" + request.query + "\n";
  std::lock_guard lock(log_mutex_);
  log_ << line << std::flush;
}

}  // namespace vendrix::sandbox
