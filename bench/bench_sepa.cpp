// SEPA mode: in-process validation throughput, and one whole `pluvar sepa
// -allinfo` process against the cheapest static one-line program, measured
// in the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "handlers.h"
#include "pluvar.h"
#include "process.h"

namespace {

// Valid IBANs of banks in the directories, without BIC: national directories
// (with their national checks), bank-code-to-BIC tables with the European
// directory, and a country resolved by BIC alone.
const char *const kMix[] = {
    "IBN=DE89370400440532013000",    "IBN=AT071100000012345678",
    "IBN=CH1000230000000012345",     "IBN=BE18050123456765",
    "IBN=CZ7801000000000000000123",  "IBN=SK9802000000000000000123",
    "IBN=ES5100030001810123456789",  "IBN=FR1420041010050500013M02606",
    "IBN=GB29NWBK60161331926819",    "IBN=NL91ABNA0417164300",
    "IBN=PL61109010140000071219812874", "IBN=TR330006100519786457841326",
};
constexpr size_t kMixSize = sizeof kMix / sizeof kMix[0];

void run_queries(benchmark::State &state, const char *const *queries, size_t count,
                 char allinfo) {
  run_handler_queries(state, Sepa_Main, queries, count, allinfo);
}

void BM_Sepa_Mix(benchmark::State &state) { run_queries(state, kMix, kMixSize, 0); }
BENCHMARK(BM_Sepa_Mix);

void BM_Sepa_Mix_Allinfo(benchmark::State &state) { run_queries(state, kMix, kMixSize, 1); }
BENCHMARK(BM_Sepa_Mix_Allinfo);

// The same mix without its German IBAN (kMix[0]), whose regeneration check
// runs the German row lookup and IBAN rules and costs more than all the others.
void BM_Sepa_Mix_WithoutGermany(benchmark::State &state) {
  run_queries(state, kMix + 1, kMixSize - 1, 0);
}
BENCHMARK(BM_Sepa_Mix_WithoutGermany);

// One country at a time, to see where the time goes.
void BM_Sepa_One(benchmark::State &state, const char *query) { run_queries(state, &query, 1, 0); }
BENCHMARK_CAPTURE(BM_Sepa_One, DE, "IBN=DE89370400440532013000");
BENCHMARK_CAPTURE(BM_Sepa_One, AT, "IBN=AT071100000012345678");
BENCHMARK_CAPTURE(BM_Sepa_One, CZ, "IBN=CZ7801000000000000000123");
BENCHMARK_CAPTURE(BM_Sepa_One, FR, "IBN=FR1420041010050500013M02606");
BENCHMARK_CAPTURE(BM_Sepa_One, TR, "IBN=TR330006100519786457841326");
BENCHMARK_CAPTURE(BM_Sepa_One, bad_check_digits, "IBN=AT081100000012345678");

// Whole processes: the SEPA request against the static one-line program.
void BM_Process_Sepa_Allinfo_vs_OneLiner(benchmark::State &state) {
  compare_with_one_liner(state, {"sepa", "-allinfo", "IBN=DE89370400440532013000&BIC=COBADEFFXXX"});
}
BENCHMARK(BM_Process_Sepa_Allinfo_vs_OneLiner)->UseRealTime()->MinTime(3.0);

void BM_Process_OneLiner(benchmark::State &state) {
  for (auto _ : state) benchmark::DoNotOptimize(run_process(PLUVAR_ONE_LINER, {}));
}
BENCHMARK(BM_Process_OneLiner)->UseRealTime();

void BM_Process_Sepa_Allinfo(benchmark::State &state, const char *query) {
  const std::vector<std::string> args = {"sepa", "-allinfo", query};
  for (auto _ : state) benchmark::DoNotOptimize(run_process(PLUVAR_BIN, args));
}
BENCHMARK_CAPTURE(BM_Process_Sepa_Allinfo, DE, "IBN=DE89370400440532013000&BIC=COBADEFFXXX")
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Process_Sepa_Allinfo, TR_list_EU, "IBN=TR330006100519786457841326&BIC=TCZBTR2A")
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
