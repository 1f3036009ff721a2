// Runs a handler in-process over a list of queries, one per iteration, with
// the answer going nowhere: the cost of the request itself.
#ifndef PLUVAR_BENCH_HANDLERS_H
#define PLUVAR_BENCH_HANDLERS_H

#include <benchmark/benchmark.h>

#include "pluvar.h"

inline void discard_output(void *, const char *, size_t) {}

using BenchHandler = char (*)(char *query, char allinfo, Sink &out);

inline void run_handler_queries(benchmark::State &state, BenchHandler handler,
                                const char *const *queries, size_t count, char allinfo) {
  Sink out;
  sink_init(out, discard_output, nullptr);
  char query[QUERY_SIZE];
  size_t i = 0;
  for (auto _ : state) {
    str_copy(query, sizeof query, queries[i]);  // handlers change the query in place
    benchmark::DoNotOptimize(handler(query, allinfo, out));
    out.len = 0;
    if (++i == count) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
}

#endif
