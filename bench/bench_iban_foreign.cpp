// IBAN mode for AT, CH, BE, CZ, ES and SK: in-process requests through the
// dispatcher, the MOD 97-10 routine on its own, and one whole `pluvar iban
// -allinfo` process against the cheapest static one-line program.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "handlers.h"
#include "pluvar.h"
#include "process.h"

namespace {

const char *const kMix[] = {
    "ccd=at&blz=11000&knr=12345678", "ccd=ch&blz=230&knr=12345",
    "ccd=be&blz=050&knr=123456765",  "ccd=cz&blz=100&knr=123",
    "ccd=sk&blz=200&knr=123",        "ccd=es&blz=00030001&knr=810123456789",
};
constexpr size_t kMixSize = sizeof kMix / sizeof kMix[0];

void run_queries(benchmark::State &state, const char *const *queries, size_t count, char allinfo) {
  run_handler_queries(state, IbanGen_Main, queries, count, allinfo);
}

void BM_IbanForeign_Mix(benchmark::State &state) { run_queries(state, kMix, kMixSize, 0); }
BENCHMARK(BM_IbanForeign_Mix);

void BM_IbanForeign_Mix_Allinfo(benchmark::State &state) { run_queries(state, kMix, kMixSize, 1); }
BENCHMARK(BM_IbanForeign_Mix_Allinfo);

void BM_IbanForeign_One(benchmark::State &state, const char *query) {
  run_queries(state, &query, 1, 1);
}
BENCHMARK_CAPTURE(BM_IbanForeign_One, AT, "ccd=at&blz=11000&knr=12345678");
BENCHMARK_CAPTURE(BM_IbanForeign_One, CH_two_lookups, "ccd=ch&blz=230&knr=12345");
BENCHMARK_CAPTURE(BM_IbanForeign_One, ES, "ccd=es&blz=00030001&knr=810123456789");
BENCHMARK_CAPTURE(BM_IbanForeign_One, malformed, "ccd=at&blz=11000&knr=12345678&x=1");

// The check value of the longest BBAN an IBAN can have (30 characters).
void BM_IbanCheckValue_Longest(benchmark::State &state) {
  const char *bban = "ZZZZZZZZZZ0123456789ZZZZZZZZZZ";
  for (auto _ : state) {
    benchmark::DoNotOptimize(bban);
    benchmark::DoNotOptimize(iban_check_value("LC", bban));
  }
}
BENCHMARK(BM_IbanCheckValue_Longest);

// A whole process against the one-line baseline.
void BM_Process_IbanForeign_Allinfo_vs_OneLiner(benchmark::State &state) {
  compare_with_one_liner(state, {"iban", "-allinfo", "ccd=ch&blz=230&knr=12345"});
}
BENCHMARK(BM_Process_IbanForeign_Allinfo_vs_OneLiner)->UseRealTime()->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
