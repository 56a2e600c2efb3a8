// GetErrorText is called for every error a client shows and every event the service
// logs: the cost of each of its steps.
#include <benchmark/benchmark.h>

#include "pellam.h"

namespace {

void BM_ErrorTextPlatform(benchmark::State& state) {
  char buffer[256];
  for (auto _ : state) benchmark::DoNotOptimize(GetErrorText(2, buffer, sizeof buffer, nullptr));
}
BENCHMARK(BM_ErrorTextPlatform);

void BM_ErrorTextCatalogueWithInserts(benchmark::State& state) {
  char buffer[256];
  const char* args[] = {"SMITH", "NODE1", ""};
  for (auto _ : state) {
    benchmark::DoNotOptimize(GetErrorText(ERR_NO_SUCH_USER, buffer, sizeof buffer, args));
  }
}
BENCHMARK(BM_ErrorTextCatalogueWithInserts);

void BM_ErrorTextFallback(benchmark::State& state) {
  char buffer[256];
  for (auto _ : state) benchmark::DoNotOptimize(GetErrorText(0xC1050007, buffer, sizeof buffer, nullptr));
}
BENCHMARK(BM_ErrorTextFallback);

}  // namespace

BENCHMARK_MAIN();
