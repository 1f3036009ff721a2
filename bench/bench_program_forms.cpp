// The two forms of the program as whole processes, against the static
// one-line program (the baseline), all started in turn in every iteration so
// that machine load hits them alike: the hardened PIE (the default build) and
// the static, position-dependent one (PLUVAR_STATIC), each with `-v` and an
// account check.  Counters: medians in microseconds and the ratios.
#include <benchmark/benchmark.h>

#include "process.h"

namespace {

const std::vector<std::string> kVersion = {"-v"};
const std::vector<std::string> kAccount = {"-allinfo", "knr=0532013000&blz=37040044"};

void BM_ProgramForms(benchmark::State &state) {
  std::vector<double> base, pie_v, pie_a, static_v, static_a;
  for (auto _ : state) {
    base.push_back(time_process_us(PLUVAR_ONE_LINER, {}));
    pie_v.push_back(time_process_us(PLUVAR_BIN_PIE, kVersion));
    pie_a.push_back(time_process_us(PLUVAR_BIN_PIE, kAccount));
    static_v.push_back(time_process_us(PLUVAR_BIN_STATIC, kVersion));
    static_a.push_back(time_process_us(PLUVAR_BIN_STATIC, kAccount));
  }
  double b = median_of(base);
  auto ratio = [b](double x) { return b > 0 ? x / b : 0.0; };
  double pv = median_of(pie_v), pa = median_of(pie_a);
  double sv = median_of(static_v), sa = median_of(static_a);
  state.counters["one_liner_us"] = b;
  state.counters["pie_v_us"] = pv;
  state.counters["pie_check_us"] = pa;
  state.counters["static_v_us"] = sv;
  state.counters["static_check_us"] = sa;
  state.counters["pie_v_ratio"] = ratio(pv);
  state.counters["pie_check_ratio"] = ratio(pa);
  state.counters["static_v_ratio"] = ratio(sv);
  state.counters["static_check_ratio"] = ratio(sa);
  // How much faster the static form starts than the PIE (PIE / static).
  state.counters["pie_over_static_v"] = sv > 0 ? pv / sv : 0.0;
  state.counters["pie_over_static_check"] = sa > 0 ? pa / sa : 0.0;
}
BENCHMARK(BM_ProgramForms)->UseRealTime()->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
