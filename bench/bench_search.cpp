// In-process search: every query walks all rows of the directory.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "pluvar.h"

namespace {

void discard(void *, const char *, size_t) {}

void run_search(benchmark::State &state, const char *query, char allinfo) {
  char q[QUERY_SIZE];
  Sink out;
  sink_init(out, discard, nullptr);
  for (auto _ : state) {
    strncpy(q, query, sizeof q - 1);
    q[sizeof q - 1] = '\0';
    benchmark::DoNotOptimize(Search_Main(q, allinfo, out));
    out.len = 0;
  }
}

}  // namespace

// Full-table walks that list every match.
BENCHMARK_CAPTURE(run_search, name_all, "nam=bundesbank&max=9999", 0);
BENCHMARK_CAPTURE(run_search, place_all, "loc=berlin&max=9999", 0);
BENCHMARK_CAPTURE(run_search, bic_all, "bic=cobadeff&max=9999", 0);
BENCHMARK_CAPTURE(run_search, zip_allinfo, "zip=10&max=9999", 1);
BENCHMARK_CAPTURE(run_search, name_no_hit, "nam=xyzxyz", 0);
// The default limit stops early.
BENCHMARK_CAPTURE(run_search, name_limit30, "nam=bundesbank", 0);

BENCHMARK_MAIN();
