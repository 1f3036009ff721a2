// The cost of the answer forms: the same requests of every mode answered in
// the line format, under --utf8 and under --json, in-process through the
// request path and interleaved in one run, so that the ratios do not drift
// with the machine's speed.  Goal: --json at most 1.3x the line answers.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "handlers.h"
#include "pluvar.h"

namespace {

struct Request {
  int argc;
  const char *argv[5];
};

const Request kMix[] = {
    {2, {"pluvar", "knr=0532013000&blz=37040044"}},
    {3, {"pluvar", "-allinfo", "knr=1234567890&blz=30150001"}},
    {2, {"pluvar", "ibn=DE89370400440532013000"}},
    {2, {"pluvar", "knr=1&blz=12345678"}},
    {4, {"pluvar", "iban", "-allinfo", "ccd=de&blz=37040044&knr=532013000"}},
    {4, {"pluvar", "iban", "-allinfo", "ccd=cz&blz=0800&knr=192000145399"}},
    {4, {"pluvar", "sepa", "-allinfo", "IBN=DE89370400440532013000&BIC=COBADEFFXXX"}},
    {4, {"pluvar", "sepa", "-allinfo", "IBN=CZ6508000000192000145399"}},
    {4, {"pluvar", "sepa", "-allinfo", "IBN=FR1420041010050500013M02606"}},
    {3, {"pluvar", "sepa", "IBN=XX89370400440532013000"}},
    {4, {"pluvar", "search", "-allinfo", "blz=1001"}},
    {3, {"pluvar", "search", "nam=m\xFCnchen&max=5"}},
};

// Nanoseconds for one pass over the mix with `option` (or none) in front.
double pass_ns(const char *option, Sink &out) {
  auto start = std::chrono::steady_clock::now();
  for (const Request &r : kMix) {
    const char *argv[6];
    int argc = 0;
    argv[argc++] = r.argv[0];
    if (option) argv[argc++] = option;
    for (int k = 1; k < r.argc; k++) argv[argc++] = r.argv[k];
    benchmark::DoNotOptimize(pluvar_run(argc, argv, out));
    out.len = 0;
  }
  return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

void BM_AnswerForms(benchmark::State &state) {
  Sink out;
  sink_init(out, discard_output, nullptr);
  std::vector<double> line, utf8, json;
  for (auto _ : state) {
    line.push_back(pass_ns(nullptr, out));
    utf8.push_back(pass_ns("--utf8", out));
    json.push_back(pass_ns("--json", out));
  }
  double l = median(line), u = median(utf8), j = median(json);
  constexpr double kRequests = sizeof kMix / sizeof kMix[0];
  state.counters["line_ns_per_request"] = l / kRequests;
  state.counters["utf8_ns_per_request"] = u / kRequests;
  state.counters["json_ns_per_request"] = j / kRequests;
  state.counters["ratio_utf8"] = l > 0 ? u / l : 0;
  state.counters["ratio_json"] = l > 0 ? j / l : 0;
}
BENCHMARK(BM_AnswerForms)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
