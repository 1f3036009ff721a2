// Throughput of the check-digit engine: check_knr over random account
// numbers, once per method byte and once over all 145 bytes mixed.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "pluvar.h"

namespace {

constexpr int kNumbers = 4096;  // power of two, cycled through by index mask
constexpr int kMethods = 145;

struct Numbers {
  std::array<std::array<unsigned char, 10>, kNumbers> knr;
};

// Fixed-seed generator so every run measures the same numbers.
uint64_t next_random(uint64_t &state) {
  state ^= state << 13;
  state ^= state >> 7;
  state ^= state << 17;
  return state;
}

// Account numbers of 4 to 10 significant digits, right-aligned with leading
// zeros like the request hands them over, so the methods' branches for
// short numbers are exercised as well as the ten-digit ones.
const Numbers &random_numbers() {
  static const Numbers numbers = [] {
    Numbers n{};
    uint64_t state = 0x9E3779B97F4A7C15ull;
    for (auto &k : n.knr) {
      const int length = 4 + static_cast<int>(next_random(state) % 7);
      for (int i = 0; i < 10; ++i)
        k[i] = i < 10 - length ? 0 : static_cast<unsigned char>(next_random(state) % 10);
    }
    return n;
  }();
  return numbers;
}

constexpr unsigned char kBlz[8] = {1, 3, 0, 5, 1, 1, 7, 2};

// Each call gets a fresh copy: methods 24, 26, 50, 76, 93 and A4 rewrite the
// digits they are given, as a caller's working copy would be.
inline char check_copy(const std::array<unsigned char, 10> &k, unsigned char method) {
  unsigned char work[10];
  memcpy(work, k.data(), sizeof work);
  return check_knr(kBlz, work, method);
}

void BM_check_knr_method(benchmark::State &state) {
  const Numbers &n = random_numbers();
  const auto method = static_cast<unsigned char>(state.range(0));
  uint32_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(check_copy(n.knr[i & (kNumbers - 1)], method));
    ++i;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_check_knr_method)->DenseRange(0, kMethods - 1);

// All method bytes in turn, each on a different number.
void BM_check_knr_mixed(benchmark::State &state) {
  const Numbers &n = random_numbers();
  uint32_t i = 0;
  unsigned char method = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(check_copy(n.knr[i & (kNumbers - 1)], method));
    ++i;
    method = method == kMethods - 1 ? 0 : static_cast<unsigned char>(method + 1);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_check_knr_mixed);

}  // namespace

BENCHMARK_MAIN();
