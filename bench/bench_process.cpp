// Whole-process cost of a request against the cheapest static program that
// writes one line.  Compare the per-iteration times of the same run.
#include <benchmark/benchmark.h>

#include "process.h"

static void BM_Process_OneLiner(benchmark::State &state) {
  for (auto _ : state) benchmark::DoNotOptimize(run_process(PLUVAR_ONE_LINER, {}));
}
BENCHMARK(BM_Process_OneLiner)->UseRealTime();

static void BM_Process_Version(benchmark::State &state) {
  for (auto _ : state) benchmark::DoNotOptimize(run_process(PLUVAR_BIN, {"-v"}));
}
BENCHMARK(BM_Process_Version)->UseRealTime();

static void BM_Process_SearchName(benchmark::State &state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(run_process(PLUVAR_BIN, {"search", "nam=bundesbank"}));
}
BENCHMARK(BM_Process_SearchName)->UseRealTime();

BENCHMARK_MAIN();
