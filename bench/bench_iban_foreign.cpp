// IBAN mode for AT, CH, BE, CZ, ES and SK: in-process requests through the
// dispatcher, the MOD 97-10 routine on its own, and one whole `pluvar iban
// -allinfo` process against the cheapest static one-line program.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "pluvar.h"
#include "process.h"

namespace {

void discard(void *, const char *, size_t) {}

const char *const kMix[] = {
    "ccd=at&blz=11000&knr=12345678", "ccd=ch&blz=230&knr=12345",
    "ccd=be&blz=050&knr=123456765",  "ccd=cz&blz=100&knr=123",
    "ccd=sk&blz=200&knr=123",        "ccd=es&blz=00030001&knr=810123456789",
};
constexpr size_t kMixSize = sizeof kMix / sizeof kMix[0];

void run_queries(benchmark::State &state, const char *const *queries, size_t count, char allinfo) {
  char q[QUERY_SIZE];
  Sink out;
  sink_init(out, discard, nullptr);
  size_t i = 0;
  for (auto _ : state) {
    strncpy(q, queries[i], sizeof q - 1);
    q[sizeof q - 1] = '\0';
    benchmark::DoNotOptimize(IbanGen_Main(q, allinfo, out));
    out.len = 0;
    if (++i == count) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
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

// A whole process against the one-line baseline, started in turn so both see
// the same machine state.
void BM_Process_IbanForeign_Allinfo_vs_OneLiner(benchmark::State &state) {
  const std::vector<std::string> args = {"iban", "-allinfo", "ccd=ch&blz=230&knr=12345"};
  using Clock = std::chrono::steady_clock;
  double pluvar_ns = 0, baseline_ns = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    benchmark::DoNotOptimize(run_process(PLUVAR_ONE_LINER, {}));
    auto t1 = Clock::now();
    benchmark::DoNotOptimize(run_process(PLUVAR_BIN, args));
    auto t2 = Clock::now();
    baseline_ns += std::chrono::duration<double, std::nano>(t1 - t0).count();
    pluvar_ns += std::chrono::duration<double, std::nano>(t2 - t1).count();
  }
  double n = static_cast<double>(state.iterations());
  state.counters["one_liner_us"] = baseline_ns / n / 1000.0;
  state.counters["pluvar_us"] = pluvar_ns / n / 1000.0;
  state.counters["ratio"] = baseline_ns > 0 ? pluvar_ns / baseline_ns : 0.0;
}
BENCHMARK(BM_Process_IbanForeign_Allinfo_vs_OneLiner)->UseRealTime()->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
