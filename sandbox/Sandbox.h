// The sandbox: a local stand-in for the vendor's configuration server, the platform gateway,
// its picture hosts and the pages that click addresses lead to, all on one loopback port.
// Start and Stop from one thread; requests are served on the server's connection threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "sandbox/ConfigDocument.h"
#include "sandbox/Gateway.h"
#include "sandbox/HttpServer.h"
#include "sandbox/Marketplace.h"

namespace vendrix::sandbox {

// Probabilities of the faults injected into gateway replies.
struct FaultRates {
  double drop = 0;     // close the connection without a reply
  double error = 0;    // HTTP 500
  double slow = 0;     // reply after kSlowReply
  double garbage = 0;  // a body that is not XML
  double sign = 0;     // the invalid-signature error, whatever was sent

  // Parses "drop=0.1,error=0.05,..."; false with `problem` set when it cannot.
  static bool Parse(const std::string& list, FaultRates& rates, std::string& problem);
};

struct SandboxOptions {
  int port = 0;  // 0: any free port
  uint64_t seed = 1;
  int latency_ms = 0;  // added to every gateway reply
  FaultRates faults;
  std::string log_path;  // one line per request when set
  bool gbk = false;      // gateway replies and configuration in GBK
  bool renamed = false;  // the configuration renames names, and the gateway speaks them
  bool reverse_conversions = false;  // converted items come back in the reverse of the ids' order
  // The application the configuration document hands out and the gateway accepts.
  std::string app_key = sandbox_credentials::kAppKey;
  std::string app_secret = sandbox_credentials::kAppSecret;
  // Seconds the platform's clock (its replies' Date, the time it checks timestamps against)
  // runs ahead of the machine's; negative: behind.
  int64_t clock_offset = 0;
};

namespace sandbox_defaults {
inline constexpr std::chrono::milliseconds kSlowReply{20000};
}  // namespace sandbox_defaults

class Sandbox {
 public:
  explicit Sandbox(SandboxOptions options);
  ~Sandbox();

  // Binds the port and starts serving; raises when the port cannot be bound.
  void Start();
  void Stop();
  // "http://127.0.0.1:<port>/"
  std::string Base() const;
  const Marketplace& Market() const { return market_; }
  // The latency added to every gateway reply from now on (tests make a window slow after its
  // first search this way).
  void SetLatency(int latency_ms) { latency_ms_ = latency_ms; }
  // From now on the affiliate item search answers its page `page` as an error fault does (HTTP
  // 500); 0: no page. Tests make a later page of a search fail this way.
  void SetFailingPage(int page) { failing_page_ = page; }

  struct Counts {
    int gateway = 0;
    int drop = 0;
    int error = 0;
    int slow = 0;
    int garbage = 0;
    int sign = 0;
  };
  Counts Faults() const;

 private:
  HttpResponse Handle(const HttpRequest& request);
  HttpResponse HandleGateway(const HttpRequest& request, std::string& outcome,
                             std::string& api_method);
  HttpResponse Picture(const std::string& path) const;
  HttpResponse ClickPage(const std::string& query) const;
  // One line: time, connection, HTTP method, path, API method, outcome, microseconds spent
  // making the reply (latency and slow faults not included), query.
  void Log(const HttpRequest& request, const std::string& api_method, const std::string& outcome,
           long long handling_us);

  SandboxOptions options_;
  Marketplace market_;
  std::atomic<int> latency_ms_;
  std::atomic<int> failing_page_{0};
  std::unique_ptr<Gateway> gateway_;
  HttpServer server_;
  std::atomic<uint64_t> gateway_requests_{0};
  std::atomic<int> fault_counts_[5] = {};

  std::mutex log_mutex_;
  std::ofstream log_;
};

}  // namespace vendrix::sandbox
