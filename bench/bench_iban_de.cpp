// German IBAN generation through the IBAN rules and the account check, in
// process (requests per second on one core), and one whole
// "pluvar -allinfo knr=...&blz=..." process against the static one-line
// program in the same run.
#include <benchmark/benchmark.h>

#include <cstring>

#include "handlers.h"
#include "pluvar.h"
#include "process.h"

namespace {

// IBAN requests across the rule kinds: plain banks (methods 00 and 09), the
// Commerzbank procedure (methods 13 and 76, lists C1 and C2), Deutsche Bank
// (method 63), UniCredit (prefix table), bank-code and account lists, the
// range and shape rules, and refusals.
const char *const kIbanQueries[] = {
    "ccd=de&blz=12030000&knr=1234567897",  // rule 0, method 00
    "ccd=de&blz=10010123&knr=1",           // rule 0, method 09
    "ccd=de&blz=37040044&knr=532013000",   // rule 5, method 13
    "ccd=de&blz=10040000&knr=1234567",     // rule 5, method 13, short account
    "ccd=de&blz=10080000&knr=998024648",   // rule 5, method 76
    "ccd=de&blz=12080000&knr=998024648",   // rule 5, list C1
    "ccd=de&blz=30040000&knr=36",          // rule 5, list C2
    "ccd=de&blz=50070010&knr=9798976",     // rule 20, method 63
    "ccd=de&blz=10070000&knr=36873815",    // rule 20, method 63
    "ccd=de&blz=10020890&knr=1001234567",  // rule 32, prefix table
    "ccd=de&blz=70020270&knr=22222",       // rule 33, list U33
    "ccd=de&blz=10050000&knr=135",         // rule 4, list
    "ccd=de&blz=37050198&knr=222220022",   // rule 7, list
    "ccd=de&blz=21050000&knr=587591",      // rule 36, range
    "ccd=de&blz=10000000&knr=1234400001",  // rule 42, shape
    "ccd=de&blz=60050000&knr=3080",        // rule 53, pairs
    "ccd=de&blz=62220000&knr=1",           // rule 41
    "ccd=de&blz=30150001&knr=1234567890",  // rule 1, refused
};

const char *const kAccountQueries[] = {
    "knr=1234567897&blz=12030000",
    "knr=1234567890&blz=12030000",
    "knr=532013000&blz=37040044",
    "knr=998024648&blz=10080000",
    "knr=9798976&blz=50070010",
    "knr=1001234567&blz=10020890",
    "knr=1&blz=10000000",
    "knr=1234567890&blz=87096214",  // the last bank code of the directory
    "IBN=DE89370400440532013000",
    "ibn=DE44100500000000000135",
};

template <size_t N>
void run_requests(benchmark::State &state, const char *const (&queries)[N], BenchHandler handler,
                  char allinfo) {
  run_handler_queries(state, handler, queries, N, allinfo);
}

void BM_IbanGen_DE_Rules(benchmark::State &state) {
  run_requests(state, kIbanQueries, IbanGen_Main, 0);
}
BENCHMARK(BM_IbanGen_DE_Rules);

void BM_IbanGen_DE_Rules_Allinfo(benchmark::State &state) {
  run_requests(state, kIbanQueries, IbanGen_Main, 1);
}
BENCHMARK(BM_IbanGen_DE_Rules_Allinfo);

void BM_AccountCheck(benchmark::State &state) {
  run_requests(state, kAccountQueries, Account_Main, 0);
}
BENCHMARK(BM_AccountCheck);

void BM_AccountCheck_Allinfo(benchmark::State &state) {
  run_requests(state, kAccountQueries, Account_Main, 1);
}
BENCHMARK(BM_AccountCheck_Allinfo);

// The rule dispatcher alone, on a Commerzbank method-76 account (the
// costliest procedure: a directory walk and two weighted sums).
void BM_ApplyRule_Commerzbank76(benchmark::State &state) {
  for (auto _ : state) {
    char blz[BLZ_DE_SIZE] = "10080000", knr[KNR_DE_SIZE] = "0998024648";
    benchmark::DoNotOptimize(apply_iban_method_DE(german_current, blz, knr, 5, ""));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ApplyRule_Commerzbank76);

// One whole account check with -allinfo as a caller sees it, against the
// static one-line program.
const char kAllinfoQuery[] = "knr=532013000&blz=37040044";

void BM_Process_AllinfoVsOneLiner(benchmark::State &state) {
  compare_with_one_liner(state, {"-allinfo", kAllinfoQuery});
}
BENCHMARK(BM_Process_AllinfoVsOneLiner)->UseRealTime()->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
