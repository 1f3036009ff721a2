// German IBAN build, check and split, the German IBAN request, and the IBAN
// mode on the command line.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cli.h"
#include "pluvar.h"

namespace {

// ---------------------------------------------------------------------------
// Check digits
// ---------------------------------------------------------------------------

TEST(CheckIbanDE, KnownIbans) {
  EXPECT_EQ(check_iban_DE("DE00370400440532013000"), 89);
  EXPECT_EQ(check_iban_DE("DE00100000001234400001"), 22);
  EXPECT_EQ(check_iban_DE("DE00999999999999999999"), 85);
  EXPECT_EQ(check_iban_DE("DE00000000000000000000"), 36);
}

TEST(CheckIbanDE, IgnoresCountryAndCheckPositions) {
  EXPECT_EQ(check_iban_DE("xx77370400440532013000"), 89);
  EXPECT_EQ(check_iban_DE("DE89370400440532013000"), 89);
}

TEST(CheckIbanDE, RangeEnds) {
  // N = 0 (mod 97) gives 98, N = 96 (mod 97) gives 02; never 00, 01 or 99.
  EXPECT_EQ(check_iban_DE("DE00100000000000000010"), 98);
  EXPECT_EQ(check_iban_DE("DE00100000000000000089"), 2);
  EXPECT_EQ(check_iban_DE("DE00100000000000000060"), 9);
}

TEST(CheckIbanDE, NonDigitsAreNotComputed) {
  EXPECT_EQ(check_iban_DE("DE0037040044053201300x"), 0);
  EXPECT_EQ(check_iban_DE("DE00 70400440532013000"), 0);
  EXPECT_EQ(check_iban_DE("DE0037040044"), 0);  // stops at the terminator
}

// ---------------------------------------------------------------------------
// Split
// ---------------------------------------------------------------------------

TEST(SplitIbanDE, RightCheckDigits) {
  char knr[KNR_DE_SIZE], blz[BLZ_DE_SIZE];
  EXPECT_EQ(split_iban_DE("DE89370400440532013000", knr, blz), '1');
  EXPECT_STREQ(blz, "37040044");
  EXPECT_STREQ(knr, "0532013000");
  EXPECT_EQ(split_iban_DE("de89370400440532013000", knr, blz), '1');  // country not read
  EXPECT_EQ(split_iban_DE("DE02100000000000000089", knr, blz), '1');
}

TEST(SplitIbanDE, WrongCheckDigitsStillFillBoth) {
  char knr[KNR_DE_SIZE], blz[BLZ_DE_SIZE];
  EXPECT_EQ(split_iban_DE("DE88370400440532013000", knr, blz), '0');
  EXPECT_STREQ(blz, "37040044");
  EXPECT_STREQ(knr, "0532013000");
  EXPECT_EQ(split_iban_DE("DE98370400440532013000", knr, blz), '0');
}

TEST(SplitIbanDE, NonDigitsAreNeverRight) {
  char knr[KNR_DE_SIZE], blz[BLZ_DE_SIZE];
  // "00" must not match the 0 that marks an uncomputable check value.
  EXPECT_EQ(split_iban_DE("DE0037040044053201300x", knr, blz), '0');
  EXPECT_EQ(split_iban_DE("DE8x370400440532013000", knr, blz), '0');
  EXPECT_EQ(split_iban_DE("DE8937040044", knr, blz), '0');
  EXPECT_STREQ(knr, "");
  EXPECT_STREQ(blz, "");
}

// ---------------------------------------------------------------------------
// Build
// ---------------------------------------------------------------------------

struct Built {
  char result;
  std::string iban, blz, knr;
};

Built build(const char *blz_in, const char *knr_in) {
  char iban[IBAN_DE_SIZE] = "untouched", blz[BLZ_DE_SIZE], knr[KNR_DE_SIZE];
  str_copy(blz, sizeof blz, blz_in);
  str_copy(knr, sizeof knr, knr_in);
  char r = generate_iban_DE(german_current, iban, knr, blz);
  return {r, iban, blz, knr};
}

TEST(GenerateIbanDE, PlainBank) {
  Built b = build("10010010", "0000000001");
  EXPECT_EQ(b.result, '9');
  EXPECT_EQ(b.iban, "DE36100100100000000001");
}

TEST(GenerateIbanDE, RuleChangesBankAndAccount) {
  Built b = build("62220000", "0000000001");  // rule 41
  EXPECT_EQ(b.result, '1');
  EXPECT_EQ(b.iban, "DE96500604000000011404");
  EXPECT_EQ(b.blz, "50060400");
  EXPECT_EQ(b.knr, "0000011404");
}

TEST(GenerateIbanDE, RefusedConversionStillBuildsTheText) {
  Built b = build("30150001", "1234567890");  // rule 1
  EXPECT_EQ(b.result, '0');
  EXPECT_EQ(b.iban, "DE15301500011234567890");
}

TEST(GenerateIbanDE, UnknownBankLeavesOutputUntouched) {
  Built b = build("12345678", "0000000001");
  EXPECT_EQ(b.result, '7');
  EXPECT_EQ(b.iban, "untouched");
  EXPECT_EQ(build("1234567", "0000000001").result, '7');
  EXPECT_EQ(build("1000000x", "0000000001").result, '7');
}

TEST(GenerateIbanDE, MalformedAccountIsNotConverted) {
  EXPECT_EQ(build("10010010", "1").result, '0');
  EXPECT_EQ(build("10010010", "00000000x1").result, '0');
}

// ---------------------------------------------------------------------------
// The account check a rule asks for
// ---------------------------------------------------------------------------

TEST(CheckRuleAccountDE, TenZerosNeverPass) {
  const unsigned char blz_digits[BLZ_DE_SIZE] = {1, 0, 0, 1, 0, 1, 2, 3};
  EXPECT_EQ(check_rule_account_DE(blz_digits, "0000000000", "10010123", 9), '0');
}

TEST(CheckRuleAccountDE, RequestedBanksMethod) {
  const unsigned char blz_digits[BLZ_DE_SIZE] = {1, 0, 0, 1, 0, 1, 2, 3};
  EXPECT_EQ(check_rule_account_DE(blz_digits, "0000000001", "10010123", 9), '9');
  EXPECT_EQ(check_rule_account_DE(blz_digits, "0000000001", "10010123", 145), '8');
}

// Rule 43 moves accounts to 66650085, whose accounts are checked by
// method 06 whatever the requested bank's method.
TEST(CheckRuleAccountDE, Rule43BankUsesMethod06) {
  const unsigned char blz_digits[BLZ_DE_SIZE] = {6, 6, 6, 5, 0, 0, 8, 5};
  for (const char *knr : {"0000000001", "1234567890", "0012345679", "9999999999"}) {
    unsigned char digits[KNR_DE_SIZE] = {0};
    for (int i = 0; i < 10; i++) digits[i] = static_cast<unsigned char>(knr[i] - '0');
    char by_method06 = check_knr(blz_digits, digits, 6);
    EXPECT_EQ(check_rule_account_DE(blz_digits, knr, "66650085", 145), by_method06) << knr;
  }
}

// Every bank under rule 43 moves its accounts to 66650085 and answers with
// that bank's BIC; the account check is method 06 on the requested bank
// code's digits, whatever the requested bank's own method says.
TEST(IbanRule43, RuleMovesToTheBankOfMethod06AndItsBic) {
  EXPECT_STREQ(bic_bank_code_DE(43, "12345678"), "66650085");
  const unsigned char blz_digits[BLZ_DE_SIZE] = {5, 0, 0, 1, 0, 0, 6, 0};
  int differing = 0;
  for (uint64_t i = 1; i <= 2000; i++) {
    const uint64_t n = i * 2654435761ULL % 10000000000ULL;
    char blz[BLZ_DE_SIZE] = "50010060", knr[KNR_DE_SIZE];
    snprintf(knr, sizeof knr, "%010llu", static_cast<unsigned long long>(n));
    ASSERT_EQ(apply_iban_method_DE(german_current, blz, knr, 43, ""), kRuleCheck);
    EXPECT_STREQ(blz, "66650085");
    unsigned char d[KNR_DE_SIZE];
    for (int i = 0; i < 10; i++) d[i] = static_cast<unsigned char>(knr[i] - '0');
    // The requested bank's own method (here 32) is overridden by 06.
    char by06 = check_knr(blz_digits, d, 6);
    if (by06 != check_knr(blz_digits, d, 32)) differing++;
    EXPECT_EQ(check_rule_account_DE(blz_digits, knr, blz, 32), by06) << knr;
  }
  EXPECT_GT(differing, 100);
}

TEST(IbanRule43, MethodOverrideAndBic) {
  const Head_t_SEPA *target = find_head_DE(german_current, "66650085");
  ASSERT_NE(target, nullptr);
  int banks = 0, differing = 0;
  for (uint32_t b = 0; b < head_DE_size; b++) {
    if (head_DE[b].iban_rule != 43) continue;
    banks++;
    const std::string blz = head_DE[b].code;
    ASSERT_NE(getBIC_DE(german_current, blz.c_str()), nullptr);
    EXPECT_STREQ(getBIC_DE(german_current, blz.c_str()), target->bic) << blz;
    unsigned char own = 0;
    ASSERT_EQ(find_blz(german_current, blz.c_str(), &own), '1');
    unsigned char blz_digits[BLZ_DE_SIZE];
    for (int i = 0; i < 8; i++) blz_digits[i] = static_cast<unsigned char>(blz[i] - '0');
    for (uint64_t n = 1; n < 1000000000; n = n * 7 + 3) {
      std::string knr = std::to_string(n);
      knr.insert(0, 10 - knr.size(), '0');
      unsigned char d[KNR_DE_SIZE];
      for (int i = 0; i < 10; i++) d[i] = static_cast<unsigned char>(knr[i] - '0');
      char by06 = check_knr(blz_digits, d, 6);
      if (by06 != check_knr(blz_digits, d, own)) differing++;
      char code;
      std::string line = call_handler(IbanGen_Main, "ccd=de&blz=" + blz + "&knr=" + knr, 1, &code);
      if (by06 == '1' || by06 == '9') {
        EXPECT_EQ(code, by06) << blz << "/" << knr;
        EXPECT_NE(line.find("&ibn=DE"), std::string::npos);
        EXPECT_NE(line.find("66650085" + knr), std::string::npos) << line;
        EXPECT_NE(line.find(std::string("&bic=") + target->bic), std::string::npos) << line;
      } else {
        EXPECT_EQ(line, "code=0&mode=IBAN") << blz << "/" << knr;
      }
    }
  }
  if (banks == 0) GTEST_SKIP() << "no bank under rule 43 in this edition";
  EXPECT_GT(differing, 0) << "method 06 and the banks' own methods never disagreed";
}

// ---------------------------------------------------------------------------
// Request parsing
// ---------------------------------------------------------------------------

struct ParseCase {
  const char *query;
  char result;
  const char *ccd, *blz, *knr;
};

std::ostream &operator<<(std::ostream &os, const ParseCase &c) { return os << c.query; }

class IbanExtractDE : public ::testing::TestWithParam<ParseCase> {};

TEST_P(IbanExtractDE, Result) {
  const ParseCase &c = GetParam();
  char q[QUERY_SIZE] = {0};
  str_copy(q, sizeof q, c.query);
  char ccd[3] = "", blz[BLZ_DE_SIZE] = "", knr[KNR_DE_SIZE] = "";
  EXPECT_EQ(Iban_extract_numbers_DE(q, ccd, blz, knr), c.result);
  if (c.result == '1') {
    EXPECT_STREQ(ccd, c.ccd);
    EXPECT_STREQ(blz, c.blz);
    EXPECT_STREQ(knr, c.knr);
  }
}

const ParseCase kParseCases[] = {
    {"ccd=de&blz=10010010&knr=1", '1', "de", "10010010", "0000000001"},
    {"knr=1234567890&ccd=de&blz=10010010", '1', "de", "10010010", "1234567890"},
    {"blz=10010010&knr=0&ccd=at", '1', "at", "10010010", "0000000000"},
    {"", '6', "", "", ""},
    {"ccd=de&blz=&knr=", '6', "", "", ""},                 // 16 characters
    {"ccd=de&blz=1&knr=1", '2', "", "", ""},
    {"ccd=de&blz=&knr=1", '2', "", "", ""},                // exactly 17 characters
    {"ccd=de&blz=1&kn=1", '6', "", "", ""},                // no "knr="
    {"ccd=de&blz=10010010&knr=1&", '6', "", "", ""},       // three '&'
    {"ccd=de&blz=10010010&knr=1&x=1", '6', "", "", ""},    // fourth field
    {"ccd=de&blz=10010010&blz=10010010", '6', "", "", ""}, // repeated key, knr missing
    {"ccd=de&blz=10010010&xknr=1", '6', "", "", ""},       // field with no key
    {"ccd=de&blz=10010010knr=1", '6', "", "", ""},         // one '&'
    {"ccd=de&blz=100a0010&knr=1x", '2', "", "", ""},       // bank code tested first
    {"ccd=de&blz=10010010&knr=1x", '3', "", "", ""},
    {"ccd=de&blz=10010010&knr=-1", '3', "", "", ""},
    {"ccd=&blz=10010010&knr=1", '4', "", "", ""},
    {"ccd=&blz=1001001&knr=123", '2', "", "", ""},
    {"ccd=&blz=10010010&knr=", '3', "", "", ""},
    {"ccd=&blz=10010010&knr=12345678901", '3', "", "", ""},
    {"ccd=d1&blz=10010010&knr=1", '4', "", "", ""},
    {"ccd=deu&blz=10010010&knr=1", '4', "", "", ""},
    {"ccd=d&blz=10010010&knr=1", '4', "", "", ""},
    {"ccd=de&blz=1001001&knr=1", '2', "", "", ""},
    {"ccd=de&blz=100100100&knr=1", '2', "", "", ""},
    {"ccd=de&blz=&knr=123456", '2', "", "", ""},
    {"ccd=de&blz=10010010&knr=", '3', "", "", ""},
    {"ccd=de&blz=10010010&knr=12345678901", '3', "", "", ""},
    {"ccd=d1&blz=1001001&knr=1", '4', "", "", ""},  // letters tested before lengths
    {"ccd=deu&blz=1001001&knr=1", '2', "", "", ""}, // length of the code tested last
};

INSTANTIATE_TEST_SUITE_P(Queries, IbanExtractDE, ::testing::ValuesIn(kParseCases));

// ---------------------------------------------------------------------------
// The German IBAN request, in-process
// ---------------------------------------------------------------------------

struct RequestCase {
  const char *query;
  char allinfo;
  const char *line;
};

std::ostream &operator<<(std::ostream &os, const RequestCase &c) { return os << c.query; }

class IbanGenDE : public ::testing::TestWithParam<RequestCase> {};

TEST_P(IbanGenDE, Line) {
  const RequestCase &c = GetParam();
  char code = 0;
  std::string line = call_handler(IbanGen_DE, c.query, c.allinfo, &code);
  EXPECT_EQ(line, c.line);
  EXPECT_EQ(code, line[5]);
}

const RequestCase kRequestCases[] = {
    // rule 0, method 09: built after a check that decides nothing
    {"ccd=de&blz=10010123&knr=1", 0, "code=9&ibn=DE14100101230000000001&mode=IBAN"},
    {"ccd=de&blz=10010123&knr=1", 1,
     "code=9&ibn=DE14100101230000000001&name=OLINDA Zweigniederlassung Deutschland"
     "&zip=DE-10245&location=Berlin&bic=QNTODEB2XXX&mode=IBAN"},
    // method 00: the check decides
    {"ccd=de&blz=12030000&knr=1234567897", 0, "code=1&ibn=DE50120300001234567897&mode=IBAN"},
    {"ccd=de&blz=12030000&knr=1234567890", 0, "code=0&mode=IBAN"},
    {"ccd=de&blz=12030000&knr=1234567890", 1, "code=0&mode=IBAN"},
    // ten zeros after a rule that asks for the check
    {"ccd=de&blz=10010123&knr=0", 0, "code=0&mode=IBAN"},
    {"ccd=de&blz=10010123&knr=0000000000", 1, "code=0&mode=IBAN"},
    // rule 12: the bank code moves; the bank fields are the new bank's
    {"ccd=de&blz=50850049&knr=1234567897", 1,
     "code=1&ibn=DE21500500001234567897&name=Landesbank Hessen-Th\xfcr Girozentrale"
     "&zip=DE-60297&location=Frankfurt am Main&bic=HELADEFFXXX&mode=IBAN"},
    // rule 41 releases without a check
    {"ccd=de&blz=62220000&knr=1", 0, "code=1&ibn=DE96500604000000011404&mode=IBAN"},
    // Commerzbank replacement list, released; its BIC is the head office's
    {"ccd=de&blz=30040000&knr=36", 1,
     "code=1&ibn=DE95300400000261103600&name=Commerzbank&zip=DE-40002&location=D\xfcsseldorf"
     "&bic=COBADEFFXXX&mode=IBAN"},
    // rule 1 refuses
    {"ccd=de&blz=30150001&knr=1234567890", 1, "code=0&mode=IBAN"},
    {"ccd=de&blz=12345678&knr=1", 1, "code=7&mode=IBAN"},
    {"ccd=d1&blz=10010123&knr=1", 0, "code=4&mode=IBAN"},
    {"", 0, "code=6&mode=IBAN"},
    {"ccd=de&blz=10010123&knr=12345678901", 0, "code=3&mode=IBAN"},
    {"ccd=de&blz=1001012&knr=1", 0, "code=2&mode=IBAN"},
};

INSTANTIATE_TEST_SUITE_P(Requests, IbanGenDE, ::testing::ValuesIn(kRequestCases));

// ---------------------------------------------------------------------------
// The IBAN mode on the command line
// ---------------------------------------------------------------------------

class IbanModeCli : public ::testing::TestWithParam<CliCase> {};

TEST_P(IbanModeCli, ExactBytesAndStatus) { expect_cli(GetParam()); }

const CliCase kCliCases[] = {
    {{"iban", "ccd=de&blz=10010123&knr=1"}, "code=9&ibn=DE14100101230000000001&mode=IBAN", 9},
    {{"IBAN", "CCD=DE&BLZ=10010123&KNR=1"}, "code=9&ibn=DE14100101230000000001&mode=IBAN", 9},
    {{"iban", "knr=1&ccd=de&blz=10010123"}, "code=9&ibn=DE14100101230000000001&mode=IBAN", 9},
    {{"iban", "-allinfo", "ccd=de&blz=10010123&knr=1"},
     "code=9&ibn=DE14100101230000000001&name=OLINDA Zweigniederlassung Deutschland"
     "&zip=DE-10245&location=Berlin&bic=QNTODEB2XXX&mode=IBAN",
     9},
    {{"iban", "ccd=de&blz=12030000&knr=1234567897"}, "code=1&ibn=DE50120300001234567897&mode=IBAN",
     1},
    {{"iban", "ccd=de&blz=12030000&knr=1234567890"}, "code=0&mode=IBAN", 0},
    {{"iban", "ccd=de&blz=62220000&knr=1"}, "code=1&ibn=DE96500604000000011404&mode=IBAN", 1},
    // Commerzbank method 76: both account forms hold, the rule says "8" and
    // the answer is 9 with the account as given
    {{"iban", "ccd=de&blz=10080000&knr=30246633"}, "code=9&ibn=DE86100800000030246633&mode=IBAN",
     9},
    {{"iban", "ccd=de&blz=10010123&knr=0"}, "code=0&mode=IBAN", 0},
    {{"iban", "ccd=de&blz=12345678&knr=1"}, "code=7&mode=IBAN", 7},
    {{"iban", "ccd=de&blz=10010123&knr=12345678901"}, "code=3&mode=IBAN", 3},
    {{"iban", "ccd=de&blz=1001012&knr=1"}, "code=2&mode=IBAN", 2},
    {{"iban", "ccd=deu&blz=10010123&knr=1"}, "code=4&mode=IBAN", 4},
    {{"iban", "ccd=de&blz=10010123&blz=10010123"}, "code=6&mode=IBAN", 6},
    {{"iban", "ccd=de&blz=10010123&knr=1&x=1"}, "code=6&mode=IBAN", 6},
    // no supported country: the dispatcher's own answer
    {{"iban", "ccd=d1&blz=10010123&knr=1"}, "code=4&mode=IBAN=", 4},
    {{"iban", "ccd=fr&blz=10010123&knr=1"}, "code=4&mode=IBAN=", 4},
    {{"iban", ""}, "code=4&mode=IBAN=", 4},
};

INSTANTIATE_TEST_SUITE_P(Cli, IbanModeCli, ::testing::ValuesIn(kCliCases));

}  // namespace
