// SEPA mode: in-process validation throughput, and one whole `pluvar sepa
// -allinfo` process against the cheapest static one-line program, measured
// in the same run.
#include <benchmark/benchmark.h>

#include <time.h>

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

// Valid IBANs of random banks of three national directories (Austria,
// Germany, the Czech Republic) with random accounts, so that every request
// looks up another bank: a short list repeated over and over keeps its
// lookups in the branch predictor and the caches and hides their cost.
// Most of the Czech and some German accounts fail their national check after
// the lookup, as random accounts do.
uint64_t next_state(uint64_t &s) {
  s ^= s << 13;
  s ^= s >> 7;
  s ^= s << 17;
  return s;
}

std::string with_check_digits(const std::string &country, const std::string &bban) {
  // MOD 97-10 over the BBAN, the country's letters as digits, and "00".
  std::string digits = bban;
  for (char c : country) digits += std::to_string(c - 'A' + 10);
  digits += "00";
  int rem = 0;
  for (char c : digits) rem = (rem * 10 + (c - '0')) % 97;
  const int check = 98 - rem;
  return country + static_cast<char>('0' + check / 10) + static_cast<char>('0' + check % 10) + bban;
}

std::string random_digits(uint64_t &s, int n) {
  std::string out;
  for (int i = 0; i < n; i++) out += static_cast<char>('0' + next_state(s) % 10);
  return out;
}

std::string padded(uint64_t value, int width) {
  std::string t = std::to_string(value);
  return std::string(width > static_cast<int>(t.size()) ? width - t.size() : 0, '0') + t;
}

const std::vector<std::string> &random_bank_queries() {
  static const std::vector<std::string> queries = [] {
    std::vector<std::string> q;
    uint64_t s = 0x9E3779B97F4A7C15ull;
    for (int i = 0; i < 4096; i++) {
      std::string iban;
      switch (i % 3) {
        case 0:
          iban = with_check_digits(
              "AT", padded(head_AT[next_state(s) % head_AT_size].key, 5) + random_digits(s, 11));
          break;
        case 1:
          iban = with_check_digits(
              "DE", padded(head_DE[next_state(s) % head_DE_size].key, 8) + random_digits(s, 10));
          break;
        default:
          iban = with_check_digits("CZ", padded(head_CZ[next_state(s) % head_CZ_size].key, 4) +
                                             random_digits(s, 16));
          break;
      }
      q.push_back("IBN=" + iban);
    }
    return q;
  }();
  return queries;
}

void run_random_banks(benchmark::State &state, char allinfo) {
  const std::vector<std::string> &q = random_bank_queries();
  std::vector<const char *> texts;
  for (const std::string &t : q) texts.push_back(t.c_str());
  run_queries(state, texts.data(), texts.size(), allinfo);
}

void BM_Sepa_RandomBanks(benchmark::State &state) { run_random_banks(state, 0); }
BENCHMARK(BM_Sepa_RandomBanks);

void BM_Sepa_RandomBanks_Allinfo(benchmark::State &state) { run_random_banks(state, 1); }
BENCHMARK(BM_Sepa_RandomBanks_Allinfo);

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

// --strict against the default, measured in turn in the same run over IBANs
// of countries with a national rule (the always-checked five and the
// --strict ones).  strict_ratio is the rate with --strict divided by the
// rate without it.
const char *const kNationalMix[] = {
    "IBN=DE89370400440532013000",     "IBN=BE18050123456765",
    "IBN=CZ7801000000000000000123",   "IBN=ES5100030001810123456789",
    "IBN=FR1420041010050500013M02606", "IBN=MC5811222000010123456789030",
    "IBN=SM86U0322509800000000270100", "IBN=NO9386011117947",
    "IBN=FI2112345600000785",         "IBN=EE382200221020145685",
    "IBN=PT50000201231234567890154",  "IBN=SI56263300012039086",
    "IBN=ME25505000012345678951",     "IBN=MK07250120000058984",
    "IBN=RS35260005601001611379",     "IBN=BA391290079401028494",
    "IBN=TN5910006035183598478831",   "IBN=AL47212110090000000235698741",
    "IBN=HR1210010051863000160",      "IBN=PL61109010140000071219812874",
};
constexpr size_t kNationalMixSize = sizeof kNationalMix / sizeof kNationalMix[0];

// CPU time of this thread: the machine is shared, so wall time would count
// other programs' work.
double thread_cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// CPU seconds for one pass over the mix with the given options.
double time_mix_pass(const RequestOptions &options) {
  Sink out;
  sink_init(out, discard_output, nullptr);
  out.options = &options;
  char query[QUERY_SIZE];
  double start = thread_cpu_seconds();
  for (const char *q : kNationalMix) {
    str_copy(query, sizeof query, q);
    benchmark::DoNotOptimize(Sepa_Main(query, 0, out));
    out.len = 0;
  }
  return thread_cpu_seconds() - start;
}

void BM_Sepa_Strict_vs_Default(benchmark::State &state) {
  RequestOptions strict;
  strict.strict = true;
  double plain_s = 0, strict_s = 0;
  for (auto _ : state) {
    plain_s += time_mix_pass(kDefaultOptions);
    strict_s += time_mix_pass(strict);
  }
  double n = static_cast<double>(state.iterations() * kNationalMixSize);
  state.counters["default_per_s"] = plain_s > 0 ? n / plain_s : 0;
  state.counters["strict_per_s"] = strict_s > 0 ? n / strict_s : 0;
  state.counters["strict_ratio"] = strict_s > 0 ? plain_s / strict_s : 0;
}
BENCHMARK(BM_Sepa_Strict_vs_Default);

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
