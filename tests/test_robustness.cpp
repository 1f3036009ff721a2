// Hostile input: every mode answers every query with a well-formed line,
// the same bytes each time, and nothing on standard error.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "cli.h"
#include "fuzz/invariants.h"

namespace {

// Queries built to hit parsers where they are weakest: the keys of every
// mode, separators in odd counts, overlong values, bytes above 0x7F,
// control characters and NUL-free binary noise.
std::vector<std::string> hostile_queries(unsigned seed, size_t count) {
  static const char *const kPieces[] = {
      "knr=", "blz=", "ibn=", "IBN=", "BIC=", "bic=", "ccd=", "zip=", "loc=", "nam=", "max=",
      "de",   "DE",   "at",   "ch",   "be",   "cz",   "sk",   "es",   "=",    "&",    "&&",
      "==",   "0",    "1",    "9",    "00000000", "10000000", "37040044", "0532013000",
      "89",   "XX",   "\xe4", "\xdf", "\xff", "\x01", " ",    "-",    "%",    "a",    "Z",
      "DE89370400440532013000", "AT071100000012345678", "BKAUATWW", "COBADEFFXXX"};
  std::mt19937 rng(seed);
  std::vector<std::string> out;
  for (size_t i = 0; i < count; i++) {
    std::string q;
    size_t parts = rng() % 12;
    for (size_t p = 0; p < parts; p++) {
      if (rng() % 5 == 0) {
        size_t n = rng() % 40;
        for (size_t k = 0; k < n; k++) q.push_back(static_cast<char>(1 + rng() % 255));
      } else {
        q += kPieces[rng() % (sizeof kPieces / sizeof kPieces[0])];
      }
    }
    if (rng() % 50 == 0) q += std::string(400 + rng() % 1000, static_cast<char>('0' + rng() % 10));
    out.push_back(q);
  }
  return out;
}

const char *const kModes[] = {"search", "sepa", "iban"};

TEST(Robustness, EveryModeInProcess) {
  size_t checked = 0;
  for (const std::string &q : hostile_queries(20261208, 3000)) {
    std::vector<std::vector<std::string>> command_lines = {{q}, {"-allinfo", q}};
    for (const char *mode : kModes) {
      command_lines.push_back({mode, q});
      command_lines.push_back({mode, "-allinfo", q});
    }
    for (const auto &args : command_lines) {
      InProcResult a = run_pluvar_inproc(args);
      InProcResult b = run_pluvar_inproc(args);
      bool search = args[0] == "search";
      ASSERT_EQ(response_violation(a.out, a.status, search), "") << q << "\n" << a.out;
      ASSERT_EQ(a.out, b.out) << q;
      ASSERT_EQ(a.status, b.status) << q;
      ApiResult lib = run_pluvar_api(args);
      ASSERT_EQ(lib.out, a.out) << q;
      ASSERT_EQ(lib.status, a.status) << q;
      checked++;
    }
  }
  EXPECT_EQ(checked, 3000u * 8u);
}

// Under each option the same hostile queries give well-formed answers with
// the code of the plain answer: UTF-8 under --utf8, one JSON object under
// --json whose code is the exit status.
TEST(Robustness, EveryModeUnderEachOption) {
  for (const std::string &q : hostile_queries(20261213, 600)) {
    std::vector<std::vector<std::string>> command_lines = {{q}, {"-allinfo", q}};
    for (const char *mode : kModes) command_lines.push_back({mode, "-allinfo", q});
    for (const auto &args : command_lines) {
      InProcResult plain = run_pluvar_inproc(args);
      for (const char *option : {"--utf8", "--json", "--lenient"}) {
        std::vector<std::string> with = args;
        with.insert(with.begin(), option);
        InProcResult r = run_pluvar_inproc(with);
        bool search = args[0] == "search";
        ASSERT_EQ(option_violation(r.out, r.status, option[2] == 'l' ? "" : option, search), "")
            << option << ' ' << q << "\n" << r.out;
        if (option[2] != 'l') {
          ASSERT_EQ(r.status, plain.status) << option << ' ' << q;
        }
      }
    }
  }
}

TEST(Robustness, OptionInvariantsCatchBrokenAnswers) {
  EXPECT_EQ(option_violation("{\"code\":1,\"reason\":\"valid\"}", 1, "--json", false), "");
  EXPECT_NE(option_violation("{\"code\":1,\"reason\":\"valid\"}", 2, "--json", false), "");
  EXPECT_NE(option_violation("{\"code\":1,\"reason\":\"unset\"}", 1, "--json", false), "");
  EXPECT_NE(option_violation("{\"code\":1,\"reason\":\"a\tb\"}", 1, "--json", false), "");
  EXPECT_NE(option_violation("{\"code\":1,\"reason\":\"v\"}x", 1, "--json", false), "");
  EXPECT_NE(option_violation("{\"code\":01,\"reason\":\"v\"}", 1, "--json", false), "");
  EXPECT_NE(option_violation("{\"code\":1,\"reason\":\"\xC3\"}", 1, "--json", false), "");
  EXPECT_EQ(option_violation("code=1&name=K\xC3\xB6ln", 1, "--utf8", false), "");
  EXPECT_NE(option_violation("code=1&name=K\xF6ln", 1, "--utf8", false), "");
  EXPECT_NE(option_violation("code=1&name=\xC0\xAF", 1, "--utf8", false), "");
}

TEST(Robustness, ThroughTheBinary) {
  for (const std::string &q : hostile_queries(7, 40)) {
    for (const char *mode : kModes) {
      CliResult r = run_pluvar_cli({mode, "-allinfo", q});
      EXPECT_EQ(r.err, "") << q;
      EXPECT_EQ(response_violation(r.out, r.status, std::string(mode) == "search"), "") << q;
    }
    CliResult r = run_pluvar_cli({q});
    EXPECT_EQ(r.err, "") << q;
    EXPECT_EQ(response_violation(r.out, r.status, false), "") << q;
  }
}

TEST(Robustness, InvariantCheckerCatchesBrokenAnswers) {
  EXPECT_EQ(response_violation("code=1", 1, false), "");
  EXPECT_NE(response_violation("code=1", 2, false), "");
  EXPECT_NE(response_violation("", 0, false), "");
  EXPECT_NE(response_violation("code=x", 0, false), "");
  EXPECT_NE(response_violation("code=1" + std::string(300, 'a'), 1, false), "");
  EXPECT_NE(response_violation("blz=1\r\ncode=1", 1, false), "");
  EXPECT_EQ(response_violation("blz=1\r\nblz=2\r\ncode=1&mode=SEARCH", 1, true), "");
  EXPECT_NE(response_violation("blz=1\ncode=1", 1, true), "");
  EXPECT_NE(response_violation("xyz\r\ncode=1", 1, true), "");
}

}  // namespace
