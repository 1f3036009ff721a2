// The C interface in-process, on one core: the typed account check and the
// call that mirrors the command line, over random pairs of a real bank code
// and a random account number (a single repeated pair would stay in the
// cache and hide the lookup's cost).
#include <pluvar/pluvar.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pluvar.h"

namespace {

constexpr size_t kPairs = 1 << 16;  // cycled through by index mask

struct Pair {
  char blz[9];
  char knr[11];
  char query[32];  // knr=...&blz=...
};

uint64_t next_random(uint64_t &state) {
  state ^= state << 13;
  state ^= state >> 7;
  state ^= state << 17;
  return state;
}

const std::vector<Pair> &random_pairs() {
  static const std::vector<Pair> pairs = [] {
    std::vector<std::string> codes;
    for (uint32_t i = 0; i < l_size; i++)
      if (codes.empty() || codes.back() != l[i].blz) codes.emplace_back(l[i].blz);
    std::vector<Pair> p(kPairs);
    uint64_t state = 0x9E3779B97F4A7C15ull;
    for (Pair &x : p) {
      std::string blz = codes[next_random(state) % codes.size()];
      std::string knr = std::to_string(1 + next_random(state) % 9999999999ull);
      snprintf(x.blz, sizeof x.blz, "%s", blz.c_str());
      snprintf(x.knr, sizeof x.knr, "%s", knr.c_str());
      snprintf(x.query, sizeof x.query, "knr=%s&blz=%s", x.knr, x.blz);
    }
    return p;
  }();
  return pairs;
}

void BM_TypedAccountCheck(benchmark::State &state) {
  const std::vector<Pair> &p = random_pairs();
  const unsigned flags = state.range(0) ? PLUVAR_ALLINFO : 0;
  pluvar_account out;
  size_t i = 0;
  for (auto _ : state) {
    const Pair &x = p[i++ & (kPairs - 1)];
    benchmark::DoNotOptimize(pluvar_check_account(x.blz, x.knr, flags, &out));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TypedAccountCheck)->Arg(0)->Arg(1)->ArgName("allinfo");

// The request as the command line states it, answered into a buffer.
void BM_AnswerAccountCheck(benchmark::State &state) {
  const std::vector<Pair> &p = random_pairs();
  const unsigned flags = state.range(0) ? PLUVAR_ALLINFO : 0;
  char buf[PLUVAR_ANSWER_SIZE];
  size_t i = 0;
  for (auto _ : state) {
    const Pair &x = p[i++ & (kPairs - 1)];
    pluvar_req r{PLUVAR_MODE_ACCOUNT, flags, x.query, nullptr};
    benchmark::DoNotOptimize(pluvar_answer(&r, buf, sizeof buf, nullptr));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AnswerAccountCheck)->Arg(0)->Arg(1)->ArgName("allinfo");

// The same requests straight into the command line's request path (no C
// interface around it): what the interface itself costs.
void discard(void *, const char *, size_t) {}

void BM_RequestPathAccountCheck(benchmark::State &state) {
  const std::vector<Pair> &p = random_pairs();
  Sink out;
  sink_init(out, discard, nullptr);
  size_t i = 0;
  for (auto _ : state) {
    const char *argv[] = {"pluvar", p[i++ & (kPairs - 1)].query};
    benchmark::DoNotOptimize(pluvar_run(2, argv, out));
    out.len = 0;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RequestPathAccountCheck);

}  // namespace

BENCHMARK_MAIN();
