// The account check of the default mode: query parsing, the request flow
// with and without "-allinfo", and the IBAN form.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli.h"
#include "pluvar.h"

namespace {

// ---------------------------------------------------------------------------
// extract_numbers
// ---------------------------------------------------------------------------

struct ParseCase {
  const char *query;
  char result;
  const char *iban, *blz, *knr;
};

std::ostream &operator<<(std::ostream &os, const ParseCase &c) { return os << c.query; }

class ExtractNumbers : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ExtractNumbers, Result) {
  const ParseCase &c = GetParam();
  char q[QUERY_SIZE] = {0};
  str_copy(q, sizeof q, c.query);
  char iban[IBAN_DE_SIZE] = "x", blz[BLZ_DE_SIZE] = "x", knr[KNR_DE_SIZE] = "x";
  EXPECT_EQ(extract_numbers(q, iban, blz, knr), c.result);
  if (c.result == '1') {
    EXPECT_STREQ(iban, c.iban);
    EXPECT_STREQ(blz, c.blz);
    EXPECT_STREQ(knr, c.knr);
  }
}

const ParseCase kParseCases[] = {
    {"knr=1&blz=10000000", '1', "", "10000000", "0000000001"},
    {"blz=10000000&knr=1", '1', "", "10000000", "0000000001"},
    {"KNR=1&BLZ=10000000", '1', "", "10000000", "0000000001"},
    {"knr=1234567890&blz=10000000", '1', "", "10000000", "1234567890"},
    {"knr=0000000000&blz=10000000", '1', "", "10000000", "0000000000"},
    // the IBAN is kept as parsed, country letters in small letters
    {"IBN=DE89370400440532013000", '1', "de89370400440532013000", "", ""},
    {"ibn=DE89370400440532013000", '1', "de89370400440532013000", "", ""},
    {"iBn=DE89370400440532013000", '1', "de89370400440532013000", "", ""},
    {"", '6', "", "", ""},
    {"knr=1&blz=1", '2', "", "", ""},    // 11 characters: the shape holds
    {"knr=1&blz=", '6', "", "", ""},     // 10 characters
    {"knr=1&blz=10000000&knr=2", '6', "", "", ""},
    {"knr=1&knr=2", '6', "", "", ""},
    {"kto=1&blz=10000000", '6', "", "", ""},
    {"knr=1&blz=10000000&", '6', "", "", ""},
    {"knr=1=&blz=10000000", '6', "", "", ""},
    {"xknr=1&blz=10000000", '6', "", "", ""},
    {"knr=1&blz=10000000 ", '2', "", "", ""},
    {"ibn=", '6', "", "", ""},
    {"ibn=DE89370400440532013000&blz=1", '6', "", "", ""},
    {"ibm=DE89370400440532013000", '6', "", "", ""},
    {"knr=1&blz=1234567", '2', "", "", ""},
    {"knr=1&blz=123456789", '2', "", "", ""},
    {"knr=1&blz=1000000a", '2', "", "", ""},
    {"knr=1a&blz=1000000a", '2', "", "", ""},  // bank code tested first
    {"knr=12345678901&blz=10000000", '3', "", "", ""},
    {"knr=12a&blz=10000000", '3', "", "", ""},
    {"knr=&blz=10000000", '3', "", "", ""},
    {"knr=-1&blz=10000000", '3', "", "", ""},
    {"ibn=D", '2', "", "", ""},  // one character: bank code and account needed
    {"ibn=de89370400440532013000", '4', "", "", ""},
    {"ibn=De89370400440532013000", '4', "", "", ""},
    {"ibn=dE89370400440532013000", '4', "", "", ""},
    {"ibn=AT89370400440532013000", '4', "", "", ""},
    {"ibn=DE", '4', "", "", ""},
    {"ibn=DE8937040044053201300", '4', "", "", ""},
    {"ibn=DE893704004405320130000", '4', "", "", ""},
    {"ibn=DE8937040044053201300x", '4', "", "", ""},
    {"ibn=DEX9370400440532013000", '4', "", "", ""},
};

INSTANTIATE_TEST_SUITE_P(Queries, ExtractNumbers, ::testing::ValuesIn(kParseCases));

// ---------------------------------------------------------------------------
// The request flow on the command line
// ---------------------------------------------------------------------------

class AccountCli : public ::testing::TestWithParam<CliCase> {};

TEST_P(AccountCli, ExactBytesAndStatus) { expect_cli(GetParam()); }

const std::string kBundesbank = "&name=Bundesbank&zip=10591&location=Berlin";
const std::string kCommerzbankKoeln = "&name=Commerzbank&zip=50447&location=K\xf6ln";
const std::string kOlinda = "&name=OLINDA Zweigniederlassung Deutschland&zip=10245&location=Berlin";
const std::string kDkb = "&name=Deutsche Kreditbank Berlin&zip=10117&location=Berlin";

const CliCase kCliCases[] = {
    // an all-zero account is invalid without asking the method
    {{"knr=0000000000&blz=10000000"}, "code=0" + kBundesbank, 0},
    {{"knr=0&blz=10000000"}, "code=0" + kBundesbank, 0},
    // method 09 decides nothing
    {{"knr=1&blz=10000000"}, "code=9" + kBundesbank, 9},
    {{"KNR=1&BLZ=10000000"}, "code=9" + kBundesbank, 9},
    {{"blz=10000000&knr=1"}, "code=9" + kBundesbank, 9},
    // method 00 (Deutsche Kreditbank Berlin)
    {{"knr=1234567897&blz=12030000"}, "code=1" + kDkb, 1},
    {{"knr=1234567890&blz=12030000"}, "code=0" + kDkb, 0},
    // syntax errors: the code and nothing else
    {{"ibn=D"}, "code=2", 2},
    {{"knr=1&blz=12345678"}, "code=7", 7},
    {{"knr=1&blz=1234567"}, "code=2", 2},
    {{"knr=12345678901&blz=10000000"}, "code=3", 3},
    {{"knr=12a&blz=10000000"}, "code=3", 3},
    {{"knr=1&blz=10000000&knr=2"}, "code=6", 6},
    {{"knr=1&knr=2"}, "code=6", 6},
    {{"kto=1&blz=10000000"}, "code=6", 6},
    {{""}, "code=6", 6},
    {{"-V"}, "code=6", 6},
    {{"knr=1&blz=09999999"}, "code=7", 7},
    {{"knr=1&blz=99999999"}, "code=7", 7},
    // with -allinfo: the confirmed IBAN and the BIC
    {{"-allinfo", "knr=1&blz=10010123"},
     "code=9" + kOlinda + "&ibn=DE14100101230000000001&bic=QNTODEB2XXX", 9},
    {{"-ALLINFO", "knr=1234567897&blz=12030000"},
     "code=1" + kDkb + "&ibn=DE50120300001234567897&bic=BYLADEM1001", 1},
    // an invalid account has no IBAN but still the BIC
    {{"-allinfo", "knr=1234567890&blz=12030000"}, "code=0" + kDkb + "&bic=BYLADEM1001", 0},
    {{"-allinfo", "knr=0&blz=10010123"}, "code=0" + kOlinda + "&bic=QNTODEB2XXX", 0},
    // Bundesbank, rule 42: only certain account shapes have an IBAN
    {{"-allinfo", "knr=1234400001&blz=10000000"},
     "code=9" + kBundesbank + "&ibn=DE22100000001234400001&bic=MARKDEF1100", 9},
    {{"-allinfo", "knr=1&blz=10000000"}, "code=9" + kBundesbank + "&bic=MARKDEF1100", 9},
    // rule 1 refuses the conversion: no "&ibn=", the BIC stays
    {{"-allinfo", "knr=1234567890&blz=30150001"},
     "code=9&name=Helaba D\xfcsseldorf Gf Verrechnung FI-Dus&zip=40019&location=D\xfcsseldorf"
     "&bic=WELADEDDXXX",
     9},
    // a bank without a BIC: "&bic=" stands empty
    {{"-allinfo", "knr=1&blz=60050009"},
     "code=9&name=ZV Landesbank Baden-W\xfcrttemberg ISE&zip=70144&location=Stuttgart&bic=", 9},
    {{"-allinfo", "knr=1&blz=12345678"}, "code=7", 7},
    {{"-allinfo", "knr=1&blz=1234567"}, "code=2", 2},
    // the IBAN form
    {{"IBN=DE89370400440532013000"},
     "code=1" + kCommerzbankKoeln + "&knr=0532013000&blz=37040044", 1},
    {{"iBn=DE89370400440532013000"},
     "code=1" + kCommerzbankKoeln + "&knr=0532013000&blz=37040044", 1},
    {{"-allinfo", "IBN=DE89370400440532013000"},
     "code=1" + kCommerzbankKoeln + "&knr=0532013000&blz=37040044&bic=COBADEFFXXX", 1},
    {{"ibn=de89370400440532013000"}, "code=4", 4},
    {{"ibn=DE893704004405320130001"}, "code=4", 4},
    {{"ibn=DE"}, "code=4", 4},
    // wrong check digits: code 0 with the bank and the numbers from the IBAN
    {{"ibn=DE88370400440532013000"},
     "code=0" + kCommerzbankKoeln + "&knr=0532013000&blz=37040044", 0},
    {{"-allinfo", "ibn=DE00370400440532013000"},
     "code=0" + kCommerzbankKoeln + "&knr=0532013000&blz=37040044&bic=COBADEFFXXX", 0},
    // method 09 bank: the IBAN is confirmed and equal, so it is valid
    {{"-allinfo", "ibn=DE14100101230000000001"},
     "code=1" + kOlinda + "&knr=0000000001&blz=10010123&bic=QNTODEB2XXX", 1},
    // the rule replaces the account: an IBAN with the old account differs
    {{"ibn=DE44100500000000000135"},
     "code=0&name=Landesbank Berlin - Berliner Sparkasse&zip=10889&location=Berlin"
     "&knr=0000000135&blz=10050000",
     0},
    // the IBAN that rule 41 builds: its bank (rule 0, method 09) confirms it
    {{"ibn=DE96500604000000011404"},
     "code=1&name=DZ BANK&zip=60265&location=Frankfurt am Main&knr=0000011404&blz=50060400", 1},
    // the rule refuses: never confirmed
    {{"ibn=DE15301500011234567890"},
     "code=0&name=Helaba D\xfcsseldorf Gf Verrechnung FI-Dus&zip=40019&location=D\xfcsseldorf"
     "&knr=1234567890&blz=30150001",
     0},
    // an all-zero account in an IBAN is never confirmed
    {{"ibn=DE41100101230000000000"}, "code=0" + kOlinda + "&knr=0000000000&blz=10010123", 0},
    {{"ibn=DE17123456780000000001"}, "code=7", 7},
    {{"-allinfo", "ibn=DE17123456780000000001"}, "code=7", 7},
};

INSTANTIATE_TEST_SUITE_P(Cli, AccountCli, ::testing::ValuesIn(kCliCases));

// ---------------------------------------------------------------------------
// Code 8: no directory bank carries a method byte above 144, so the
// unknown method is given to the request flow directly.
// ---------------------------------------------------------------------------

std::string account_with_method(const char *iban, const char *blz, const char *knr,
                                char allinfo, int method, char *code) {
  std::string s;
  Sink out;
  sink_init(out, append_to_string, &s);
  *code = account_check(iban, blz, knr, allinfo, method, out);
  sink_finish(out);
  return s;
}

TEST(AccountCheck, UnknownMethodKeepsOnlyTheBankFields) {
  char code = 0;
  EXPECT_EQ(account_with_method("", "10000000", "0000000001", 0, 145, &code),
            "code=8" + kBundesbank);
  EXPECT_EQ(code, '8');
  EXPECT_EQ(account_with_method("", "10000000", "1234400001", 1, 255, &code),
            "code=8" + kBundesbank);
  EXPECT_EQ(code, '8');
}

TEST(AccountCheck, UnknownMethodNeverConfirmsAnIban) {
  char code = 0;
  EXPECT_EQ(account_with_method("de14100101230000000001", "", "", 0, 145, &code),
            "code=0" + kOlinda + "&knr=0000000001&blz=10010123");
  EXPECT_EQ(code, '0');
}

TEST(AccountCheck, DirectoryMethodWhenNotOverridden) {
  char code = 0;
  EXPECT_EQ(account_with_method("", "10000000", "0000000001", 0, -1, &code),
            "code=9" + kBundesbank);
  EXPECT_EQ(account_with_method("", "10000000", "0000000001", 0, 9, &code),
            "code=9" + kBundesbank);
}

TEST(AccountCheck, HandlerInProcessMatchesTheBinary) {
  char code = 0;
  EXPECT_EQ(call_handler(Account_Main, "knr=1&blz=10000000", 0, &code), "code=9" + kBundesbank);
  EXPECT_EQ(code, '9');
  EXPECT_EQ(call_handler(Account_Main, "knr=1&blz=1", 0, &code), "code=2");
  EXPECT_EQ(code, '2');
}

// Every byte value in every position of a short query is answered with a
// single code line and never crashes.
TEST(AccountCheck, HostileBytes) {
  const std::string base = "knr=1&blz=10000000";
  for (size_t pos = 0; pos < base.size(); pos++) {
    for (int b = 1; b < 256; b++) {
      std::string q = base;
      q[pos] = static_cast<char>(b);
      char code = 0;
      std::string line = call_handler(Account_Main, q, 1, &code);
      ASSERT_GE(line.size(), 6u) << q;
      EXPECT_EQ(line.compare(0, 5, "code="), 0) << q;
      EXPECT_EQ(line[5], code) << q;
    }
  }
}

}  // namespace
