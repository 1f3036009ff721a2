// Whole-process cost of a request against the cheapest static program that
// writes one line, measured in the same run (see compare_with_one_liner).
#include <benchmark/benchmark.h>

#include "process.h"

static void BM_Process_Version(benchmark::State &state) {
  compare_with_one_liner(state, {"-v"});
}
BENCHMARK(BM_Process_Version)->UseRealTime()->MinTime(3.0);

static void BM_Process_SearchName(benchmark::State &state) {
  compare_with_one_liner(state, {"search", "nam=bundesbank"});
}
BENCHMARK(BM_Process_SearchName)->UseRealTime()->MinTime(3.0);

static void BM_Process_SearchBankCode(benchmark::State &state) {
  compare_with_one_liner(state, {"search", "-allinfo", "blz=10000000"});
}
BENCHMARK(BM_Process_SearchBankCode)->UseRealTime()->MinTime(3.0);

BENCHMARK_MAIN();
