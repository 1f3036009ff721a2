// The check-digit engine seen through the built program: an account check
// answers with the engine's result as its code and exit status.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "cli.h"
#include "pluvar.h"

namespace {

// First bank code in the directory that uses the given method, or "".
std::string bank_with_method(unsigned char method) {
  for (uint32_t i = 0; i < l_size; ++i)
    if (l[i].method == method) return l[i].blz;
  return "";
}

unsigned char method_of(const char *blz) {
  unsigned char method = 255;
  if (find_blz(german_current, blz, &method) != '1') return 255;
  return method;
}

void expect_code(const std::string &query, char code) {
  const CliResult r = run_pluvar_cli({query});
  const std::string prefix = std::string("code=") + code + "&name=";
  EXPECT_EQ(r.out.compare(0, prefix.size(), prefix), 0) << query << " -> " << r.out;
  EXPECT_EQ(r.status, code - '0') << query;
  EXPECT_EQ(r.err, "") << query;
}

TEST(CheckDigitCli, Method00DecidesTheAccountCheck) {
  const std::string blz = bank_with_method(0);
  if (blz.empty()) GTEST_SKIP() << "no bank with method 00 in this edition";
  expect_code("knr=18&blz=" + blz, '1');  // 1*2 = 2, check digit 8
  expect_code("knr=19&blz=" + blz, '0');
  expect_code("knr=0000000018&blz=" + blz, '1');
}

TEST(CheckDigitCli, Method09AnswersNotChecked) {
  const std::string blz = bank_with_method(9);
  if (blz.empty()) GTEST_SKIP() << "no bank with method 09 in this edition";
  expect_code("knr=19&blz=" + blz, '9');
  expect_code("knr=1234567890&blz=" + blz, '9');
}

// C0 sends eight-digit numbers through the ESER procedure, which reads the
// bank code itself.  With bank code 13051042 (b5..b8 = 1, 0, 4, 2):
//  - 0041001501: K=4, P=1, rest 1501; sum 2+40+5+36+14+12+1 = 110, r=0,
//    w=10, k=1: valid;
//  - 0043001500: rest 1500; sum 108, r=9, 9+10k=10 mod 11 needs k=10: no
//    check digit, "9", and method 20 is not asked;
//  - 0044001501: ESER wants 1; method 20 then sums 32+28+4+15=79, r=2,
//    wants 9: invalid;
//  - 0010000000: K=1, P=0, the rest of zeros is skipped whole; old number
//    1042 1 P, sum 4+16+20+0+9 = 49, r=5, w=2, 5+2k=10 mod 11 gives k=8:
//    ESER refuses, and method 20 (1*8=8, r=8) wants 3;
//  - 0026000000: K=2, P=6; sum 8+16+20+0+9 = 53, r=9, 9+2k=10 mod 11 gives
//    k=6: valid.
TEST(CheckDigitCli, EserThroughMethodC0UsesTheBankCode) {
  if (method_of("13051042") != 120) GTEST_SKIP() << "13051042 does not use C0 in this edition";
  expect_code("knr=41001501&blz=13051042", '1');
  expect_code("knr=43001500&blz=13051042", '9');
  expect_code("knr=44001501&blz=13051042", '0');
  expect_code("knr=0010000000&blz=13051042", '0');
  expect_code("knr=0026000000&blz=13051042", '1');
}

}  // namespace
