// Sequential keep-alive GETs on loopback: TIdHTTP against libcurl's easy interface, the same
// server and the same body sizes in one run. Compare items_per_second of the pairs.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <map>
#include <memory>

#include "bench/LoopbackServer.h"
#include "platform/IdHTTP.h"

namespace vendrix::bench {
namespace {

const std::string& ServerFor(size_t size) {
  static std::map<size_t, std::unique_ptr<LoopbackServer>> servers;
  auto& server = servers[size];
  if (!server) server = std::make_unique<LoopbackServer>(ReplyOfSize(size));
  static std::map<size_t, std::string> urls;
  return urls[size] = server->Base() + "/router/rest?method=taobao.users.get&v=2.0";
}

void BM_TIdHTTP(benchmark::State& state) {
  size_t size = static_cast<size_t>(state.range(0));
  std::string url = ServerFor(size);
  TIdHTTP http;
  http.SetReadTimeout(15000);
  for (auto _ : state) {
    std::string body = http.Get(url);
    if (body.size() != size) state.SkipWithError("short body");
    benchmark::DoNotOptimize(body.data());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * state.range(0));
  state.counters["connections"] = http.ConnectionsOpened();
}

size_t Append(char* data, size_t size, size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

void BM_Curl(benchmark::State& state) {
  size_t size = static_cast<size_t>(state.range(0));
  std::string url = ServerFor(size);
  CURL* curl = curl_easy_init();
  std::string body;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Append);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, 15000L);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "Mozilla/3.0 (compatible; Indy Library)");
  for (auto _ : state) {
    body.clear();
    if (curl_easy_perform(curl) != CURLE_OK || body.size() != size) {
      state.SkipWithError("curl failed");
    }
    benchmark::DoNotOptimize(body.data());
  }
  curl_easy_cleanup(curl);
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_TIdHTTP)->Arg(1024)->Arg(65536)->UseRealTime();
BENCHMARK(BM_Curl)->Arg(1024)->Arg(65536)->UseRealTime();

}  // namespace
}  // namespace vendrix::bench

int main(int argc, char** argv) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  curl_global_cleanup();
  return 0;
}
