// In-process search: every query walks all rows of the directory.
#include <benchmark/benchmark.h>


#include "handlers.h"
#include "pluvar.h"

namespace {

void run_search(benchmark::State &state, const char *query, char allinfo) {
  run_handler_queries(state, Search_Main, &query, 1, allinfo);
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
