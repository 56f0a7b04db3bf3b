// The sandbox's start-up: from nothing to the first answered request (target: well under a
// second), and its parts: generating the marketplace, answering one page of affiliate items.
#include <benchmark/benchmark.h>

#include "api/TaobaokeItem.h"
#include "platform/IdHTTP.h"
#include "sandbox/ConfigDocument.h"
#include "sandbox/Sandbox.h"

namespace vendrix::sandbox {
namespace {

void BM_SandboxStartToFirstAnswer(benchmark::State& state) {
  for (auto _ : state) {
    Sandbox sandbox(SandboxOptions{.seed = 1});
    sandbox.Start();
    TIdHTTP http;
    benchmark::DoNotOptimize(http.Get(sandbox.Base() + "taoke/api.php"));
    state.PauseTiming();
    sandbox.Stop();
    state.ResumeTiming();
  }
}

void BM_GenerateMarketplace(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(Marketplace::Generate(1).Items().size());
}

void BM_AffiliateItemPage(benchmark::State& state) {
  Sandbox sandbox(SandboxOptions{.seed = 1});
  sandbox.Start();
  TTaobaokeItem items;
  TaobaokeItemConditions cond{.cid = "0", .nick = "aff",
                              .app_key = sandbox_credentials::kAppKey,
                              .app_sec = sandbox_credentials::kAppSecret,
                              .start_credit = "1diamond", .end_credit = "5crown"};
  TaobaokeItemName name{.http = sandbox.Base() + "router/rest"};
  int page = 1;
  for (auto _ : state) {
    cond.page_no = std::to_string(page++ % 50 + 1);
    const ATaobaokeItemInfo* table = nullptr;
    if (!items.Execute(cond, {}, name, {}, table)) state.SkipWithError("call failed");
  }
}

BENCHMARK(BM_SandboxStartToFirstAnswer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GenerateMarketplace)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AffiliateItemPage)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
}  // namespace vendrix::sandbox

BENCHMARK_MAIN();
