// SEPA mode, function by function: query parsing, the IBAN format notation,
// the MOD 97-10 check digits, the national account checks and the bank and
// BIC resolution over the compiled-in directories.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "cli.h"

namespace {

const char kCommerzbank[] = "DE89370400440532013000";  // 37040044, rule 5

// ---------------------------------------------------------------------------
// Parsing
// ---------------------------------------------------------------------------

struct ParseCase {
  std::string query;
  char code;
  const char *bic;   // expected on '1'
  const char *iban;  // expected on '1'
};

std::string ibn(const char *iban) { return std::string("IBN=") + iban; }

class SepaParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(SepaParse, CodeAndValues) {
  const ParseCase &p = GetParam();
  char q[QUERY_SIZE] = {0};
  p.query.copy(q, QUERY_SIZE - 1);
  char bic[SEPA_BIC_SIZE];
  char iban[SEPA_IBAN_SIZE];
  memset(bic, '#', sizeof bic);
  memset(iban, '#', sizeof iban);
  ASSERT_EQ(Sepa_extract_numbers(q, bic, iban), p.code) << p.query;
  if (p.code == '1') {
    EXPECT_STREQ(bic, p.bic) << p.query;
    EXPECT_STREQ(iban, p.iban) << p.query;
  }
}

const std::string k34 = "LC55HEMM00010001001200120002301512";  // 34 characters
const std::string k35 = k34 + "3";

INSTANTIATE_TEST_SUITE_P(
    Queries, SepaParse,
    ::testing::Values(
        ParseCase{ibn(kCommerzbank), '1', "", kCommerzbank},
        // The key in any case, the country code in capitals.
        ParseCase{std::string("ibn=") + kCommerzbank, '1', "", kCommerzbank},
        ParseCase{std::string("iBn=") + kCommerzbank, '1', "", kCommerzbank},
        ParseCase{"ibn=de89370400440532013000", '3', "", ""},
        ParseCase{"IBN=De89370400440532013000", '3', "", ""},
        ParseCase{"IBN=dE89370400440532013000", '3', "", ""},
        // Digits only: there are no letters to judge.
        ParseCase{"IBN=1234567890", '1', "", "1234567890"},
        ParseCase{"IBN=1", '1', "", "1"},
        ParseCase{"IBN=12AB", '3', "", ""},
        // Lengths.
        ParseCase{"IBN=" + k34, '1', "", "LC55HEMM00010001001200120002301512"},
        ParseCase{"IBN=" + k35, '3', "", ""},
        ParseCase{"IBN=", '6', "", ""},  // shorter than 5 characters
        ParseCase{"IBN=&BIC=COBADEFF", '3', "", ""},
        // BIC: 8 characters gain "XXX", 11 stay, others are malformed.
        ParseCase{ibn(kCommerzbank) + "&BIC=COBADEFF", '1', "COBADEFFXXX", kCommerzbank},
        ParseCase{ibn(kCommerzbank) + "&BIC=COBADEFF500", '1', "COBADEFF500", kCommerzbank},
        ParseCase{std::string("bic=cobadeff&ibn=") + kCommerzbank, '1', "COBADEFFXXX", kCommerzbank},
        ParseCase{ibn(kCommerzbank) + "&BIC=", '1', "", kCommerzbank},
        ParseCase{ibn(kCommerzbank) + "&BIC=COBADEFFX", '2', "", ""},
        ParseCase{ibn(kCommerzbank) + "&BIC=COBADEFFXX", '2', "", ""},
        ParseCase{ibn(kCommerzbank) + "&BIC=COBADEF", '2', "", ""},
        ParseCase{ibn(kCommerzbank) + "&BIC=COBA-EFF", '2', "", ""},
        ParseCase{ibn(kCommerzbank) + "&BIC=COBADE\xC4" "F", '2', "", ""},
        // A bad IBAN outweighs a bad BIC.
        ParseCase{"IBN=de89370400440532013000&BIC=COBA-EFF", '3', "", ""},
        ParseCase{"IBN=DE89 370400440532013000&BIC=COBA-EFF", '3', "", ""},
        ParseCase{"IBN=DE89\xE4" "370400440532013000", '3', "", ""},
        // Unknown fields stop the reading.
        ParseCase{std::string("XBIC=1&IBN=") + kCommerzbank, '3', "", ""},
        ParseCase{ibn(kCommerzbank) + "&XBIC=1", '6', "", ""},
        ParseCase{ibn(kCommerzbank) + "&XBIC=COBA-EFF", '6', "", ""},
        ParseCase{std::string("XIBN=") + kCommerzbank, '3', "", ""},
        // Shapes.
        ParseCase{"", '6', "", ""},
        ParseCase{"KNR=1&BLZ=12345678", '6', "", ""},
        ParseCase{ibn(kCommerzbank) + "&BLZ=12345678", '6', "", ""},
        ParseCase{ibn(kCommerzbank) + "&BIC=COBADEFF&X=1", '6', "", ""},
        ParseCase{ibn(kCommerzbank) + "&BIC=COBADEFF=", '6', "", ""},
        ParseCase{"IBN=DE89=3704", '6', "", ""},
        ParseCase{ibn(kCommerzbank) + "BIC=COBADEFF", '6', "", ""}));

TEST(SepaParse, QueryTurnedToCapitalsInPlace) {
  char q[QUERY_SIZE] = "ibn=DE89370400440532013000&bic=cobadeff";
  char bic[SEPA_BIC_SIZE], iban[SEPA_IBAN_SIZE];
  ASSERT_EQ(Sepa_extract_numbers(q, bic, iban), '1');
  EXPECT_STREQ(q, "IBN=DE89370400440532013000&BIC=COBADEFF");
}

TEST(SepaParse, EveryByteAnswersWithoutOverrun) {
  // Each byte value at each place of a short query: never a crash, always
  // one of the parser's codes, and the outputs stay terminated.
  for (int b = 1; b < 256; b++) {
    for (size_t at = 0; at < 12; at++) {
      std::string s = "IBN=AT07110&BIC=BKAUATWW";
      s[at % s.size()] = static_cast<char>(b);
      char q[QUERY_SIZE] = {0};
      s.copy(q, QUERY_SIZE - 1);
      char bic[SEPA_BIC_SIZE], iban[SEPA_IBAN_SIZE];
      char code = Sepa_extract_numbers(q, bic, iban);
      ASSERT_TRUE(strchr("1236", code) != nullptr) << b << " at " << at;
      if (code == '1') {
        EXPECT_LT(strlen(bic), sizeof bic);
        EXPECT_LT(strlen(iban), sizeof iban);
      }
    }
  }
}

// ---------------------------------------------------------------------------
// IBAN structure
// ---------------------------------------------------------------------------

struct StructureCase {
  const char *iban;
  char code;
  const char *country;
};

class SepaStructure : public ::testing::TestWithParam<StructureCase> {};

TEST_P(SepaStructure, CodeAndCountry) {
  const StructureCase &s = GetParam();
  char name[SEPA_COUNTRY_NAME_SIZE];
  memset(name, '#', sizeof name);
  EXPECT_EQ(Sepa_check_iban_structure(s.iban, name), s.code) << s.iban;
  EXPECT_STREQ(name, s.country) << s.iban;
}

INSTANTIATE_TEST_SUITE_P(
    Ibans, SepaStructure,
    ::testing::Values(StructureCase{"AT071100000012345678", '1', "AUSTRIA"},
                      StructureCase{"AT07110000001234567", '4', "AUSTRIA"},
                      StructureCase{"AT0711000000123456789", '4', "AUSTRIA"},
                      StructureCase{"AT07110000001234567A", '4', "AUSTRIA"},
                      StructureCase{"ATX71100000012345678", '4', "AUSTRIA"},
                      StructureCase{"DE", '4', "GERMANY"},
                      StructureCase{"XX1234567890", '0', ""},
                      StructureCase{"AF1234567890", '0', "AFGHANISTAN"},
                      StructureCase{"A", '0', ""},
                      StructureCase{"", '0', ""},
                      // 1!a then digits: the Italian check character.
                      StructureCase{"IT60X0542811101000000123456", '1', "ITALY"},
                      StructureCase{"IT6010542811101000000123456", '4', "ITALY"},
                      // c admits letters of either case.
                      StructureCase{"FR1420041010050500013M02606", '1', "FRANCE"},
                      StructureCase{"FR1420041010050500013m02606", '1', "FRANCE"},
                      StructureCase{"FR142004101005050001-M02606", '4', "FRANCE"},
                      StructureCase{"GB29NWBK60161331926819", '1', "UNITED KINGDOM"},
                      StructureCase{"GB2912BK60161331926819", '4', "UNITED KINGDOM"},
                      StructureCase{"MU17BOMM0101101030300200000MUR", '1', "MAURITIUS"},
                      StructureCase{"XK051212012345678906", '1', "KOSOVO"}));

struct FormatCase {
  const char *iban;
  const char *format;
  char code;
};

class SepaFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(SepaFormat, Code) {
  const FormatCase &f = GetParam();
  EXPECT_EQ(Sepa_match_format(f.iban, f.format, strlen(f.format) + 1), f.code)
      << f.iban << " " << f.format;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, SepaFormat,
    ::testing::Values(FormatCase{"AB12", "2!a2!n", '1'}, FormatCase{"AB12 ", "2!a2!n1!e", '1'},
                      FormatCase{"AB12x", "2!a2!n1!e", '4'},
                      FormatCase{"AB123456789012", "2!a12!n", '1'},
                      FormatCase{"AB12", "2!a2n", 'X'},        // no '!'
                      FormatCase{"AB12", "a!2!n", 'X'},        // no length
                      FormatCase{"AB12", "2!a2!x", 'X'},       // unknown type
                      FormatCase{"AB12", "2!a2!", 'X'},        // type missing
                      FormatCase{"AB12", "2!a123!n", 'X'},     // three-digit length
                      FormatCase{"AB1", "2!a2!x", '4'},        // too short before the type counts
                      FormatCase{"", "", '1'}, FormatCase{"AB", "", '4'},
                      FormatCase{"ab12", "2!a2!n", '4'}, FormatCase{"Ab12", "2!c2!n", '1'}));

TEST(SepaFormat, FormatWithoutTerminatorReadOnlyToItsSize) {
  const char format[6] = {'2', '!', 'a', '2', '!', 'n'};  // no NUL
  EXPECT_EQ(Sepa_match_format("AB12", format, sizeof format), '1');
  EXPECT_EQ(Sepa_match_format("AB123", format, sizeof format), '4');
  const char cut[5] = {'2', '!', 'a', '2', '!'};
  EXPECT_EQ(Sepa_match_format("AB12", cut, sizeof cut), 'X');
}

TEST(SepaStructure, CountryTableSortedSoTheFirstRecordOfACodeIsFound) {
  for (uint32_t i = 1; i < c_size; i++) EXPECT_LT(strcmp(c[i - 1].code, c[i].code), 0) << i;
}

// Every pair of bytes names the country a scan of the table finds, or none.
TEST(SepaStructure, CountryLookupAgreesWithAScan) {
  for (int a = 0; a < 256; a++)
    for (int b = 0; b < 256; b++) {
      const char iban[3] = {static_cast<char>(a), static_cast<char>(b), '\0'};
      const Country_t *want = nullptr;
      for (uint32_t i = 0; i < c_size && a != 0; i++)
        if (memcmp(c[i].code, iban, 2) == 0) want = &c[i];
      ASSERT_EQ(find_country(iban), want) << a << " " << b;
    }
}

TEST(SepaStructure, EveryTableFormatIsWellFormed) {
  // A format is well formed when some IBAN matches it: build one from the
  // format itself and expect '1' rather than 'X'.
  for (uint32_t i = 0; i < c_size; i++) {
    const char *f = c[i].format;
    if (!f[0]) continue;
    std::string iban;
    for (size_t k = 0; f[k];) {
      int n = 0;
      while (f[k] >= '0' && f[k] <= '9') n = n * 10 + (f[k++] - '0');
      ASSERT_EQ(f[k], '!') << f;
      char type = f[k + 1];
      k += 2;
      char fill = type == 'n' ? '0' : type == 'e' ? ' ' : 'A';
      iban.append(static_cast<size_t>(n), fill);
    }
    iban[0] = c[i].code[0];
    iban[1] = c[i].code[1];
    ASSERT_LE(iban.size(), SEPA_IBAN_SIZE - 1) << c[i].code;
    char name[SEPA_COUNTRY_NAME_SIZE];
    EXPECT_EQ(Sepa_check_iban_structure(iban.c_str(), name), '1') << c[i].code << " " << f;
    EXPECT_STREQ(name, c[i].name);
  }
}

// ---------------------------------------------------------------------------
// Check digits
// ---------------------------------------------------------------------------

TEST(SepaValidate, KnownIbansOfManyCountries) {
  for (const char *iban :
       {kCommerzbank, "AT071100000012345678", "CH1000230000000012345", "BE18050123456765",
        "CZ7801000000000000000123", "SK9802000000000000000123", "ES5100030001810123456789",
        "FR1420041010050500013M02606", "IT60X0542811101000000123456", "GB29NWBK60161331926819",
        "NL91ABNA0417164300", "PL61109010140000071219812874", "TR330006100519786457841326",
        "MU17BOMM0101101030300200000MUR", "RU4504452522540817810ABCDEFGHIJKL",
        "LC55HEMM000100010012001200023015"})
    EXPECT_EQ(Sepa_validate_iban(iban), '1') << iban;
}

TEST(SepaValidate, AnyChangedCharacterIsCaught) {
  const std::string good = "RU4504452522540817810ABCDEFGHIJKL";
  for (size_t i = 2; i < good.size(); i++) {
    std::string bad = good;
    bad[i] = bad[i] == '9' ? '0' : bad[i] == 'Z' ? 'A' : static_cast<char>(bad[i] + 1);
    EXPECT_EQ(Sepa_validate_iban(bad.c_str()), '0') << bad;
  }
  EXPECT_EQ(Sepa_validate_iban("AT081100000012345678"), '0');
  EXPECT_EQ(Sepa_validate_iban("AT071100000012345687"), '0');  // swapped digits
}

TEST(SepaValidate, CheckDigits00_01_99AreNeverValid) {
  // Each has the remainder 1 (00 = 97, 01 = 98, 99 = 2 modulo 97), but no
  // IBAN carries these check digits.
  EXPECT_EQ(Sepa_validate_iban("AT971100000000000032"), '1');
  EXPECT_EQ(Sepa_validate_iban("AT001100000000000032"), '0');
  EXPECT_EQ(Sepa_validate_iban("AT981100000000000014"), '1');
  EXPECT_EQ(Sepa_validate_iban("AT011100000000000014"), '0');
  EXPECT_EQ(Sepa_validate_iban("AT021100000000000093"), '1');
  EXPECT_EQ(Sepa_validate_iban("AT991100000000000093"), '0');
  EXPECT_EQ(Sepa_validate_iban("SK0102000000000000000123"), '0');
}

TEST(SepaValidate, MalformedTextIsInvalid) {
  for (const char *iban : {"", "A", "AT0", "ATXX1100000012345678", "at071100000012345678",
                           "AT07110000001234567-", "AT07 1100000012345678"})
    EXPECT_EQ(Sepa_validate_iban(iban), '0') << iban;
}

// ---------------------------------------------------------------------------
// National checks
// ---------------------------------------------------------------------------

struct NationalCase {
  const char *iban;
  char code;
};

class SepaNational : public ::testing::TestWithParam<NationalCase> {};

TEST_P(SepaNational, Code) {
  const NationalCase &n = GetParam();
  EXPECT_EQ(Sepa_check_national(german_current, n.iban, false), n.code) << n.iban;
}

INSTANTIATE_TEST_SUITE_P(
    Ibans, SepaNational,
    ::testing::Values(
        NationalCase{"BE18050123456765", '1'},
        NationalCase{"BE88050123456766", '0'},
        // 0500000080 is divisible by 97: only the check digits 97 pass.
        NationalCase{"BE54050000008097", '1'},
        NationalCase{"BE54050000008000", '0'},
        NationalCase{"CZ7801000000000000000123", '1'},
        NationalCase{"CZ5101000000000000000124", '0'},  // account sum
        NationalCase{"CZ1601000000010000000123", '0'},  // prefix sum
        NationalCase{"SK9802000000000000000123", '1'},
        NationalCase{"SK9802000000010000000123", '0'},
        NationalCase{"ES5100030001810123456789", '1'},
        NationalCase{"ES1600030001800123456789", '0'},  // second control digit
        NationalCase{"ES1300030001910123456789", '0'},  // first control digit
        NationalCase{"DE89370400440532013000", '1'},
        NationalCase{"DE50120300001234567897", '1'},
        // Method 00 refuses the account (the ISO check digits are right).
        NationalCase{"DE45120300001234567890", '0'},
        // Bank code in no directory.
        NationalCase{"DE23999999990000000000", '0'},
        // Method 09 accepts every account: '9' counts as valid.
        NationalCase{"DE92305200001234567890", '1'},
        // An account of ten zeros is no account.
        NationalCase{"DE02120300000000000000", '0'},
        // Countries without a national check pass, and so do countries
        // whose rule applies only under strict validation (RIB key wrong).
        NationalCase{"AT071100000012345678", '1'},
        NationalCase{"FR8420041010050500013M02607", '1'},
        NationalCase{"XX", '1'}));

TEST(SepaNational, ShortIbansFailWithoutReadingPastThem) {
  EXPECT_EQ(Sepa_check_national(german_current, "BE18", false), '0');
  EXPECT_EQ(Sepa_check_national(german_current, "CZ78010000000000000001", false), '0');
  EXPECT_EQ(Sepa_check_national(german_current, "ES51", false), '0');
  EXPECT_EQ(Sepa_check_national_DE(german_current, "DE8937040044053201300"), '0');
}

// The German check compares whole IBANs, check digits included (the
// national rules themselves read only the BBAN).
TEST(SepaNational, GermanCheckDigitsWrong) {
  EXPECT_EQ(Sepa_check_national_DE(german_current, "DE88370400440532013000"), '0');
}

// ---------------------------------------------------------------------------
// Bank and BIC resolution
// ---------------------------------------------------------------------------

struct Resolved {
  char code;
  std::string response;
  std::string bic;
};

// The bank of an IBAN of the named country (the name documents the case;
// the directory follows the IBAN's country code).
Resolved resolve(const char *iban, const char *bic, const char *country, char allinfo = 0) {
  const Country_t *named = find_country(iban);
  EXPECT_TRUE(named && strcmp(named->name, country) == 0) << iban << " is no IBAN of " << country;
  char bic_buf[SEPA_BIC_SIZE] = {0};
  str_copy(bic_buf, sizeof bic_buf, bic);
  char response[RESPONSE_SIZE] = {0};
  char code =
      Sepa_find_bank_and_form_output_string(german_current, iban, bic_buf, response, allinfo);
  return {code, response, bic_buf};
}

const char kCommerzbankFields[] = "      &name=Commerzbank&zip=DE-50447&location=K\xF6ln";

TEST(SepaResolve, GermanBankWithItsBicOrAnother) {
  Resolved r = resolve(kCommerzbank, "", "GERMANY");
  EXPECT_EQ(r.code, '1');
  EXPECT_EQ(r.response, kCommerzbankFields);
  EXPECT_EQ(resolve(kCommerzbank, "COBADEFFXXX", "GERMANY").code, '1');
  r = resolve(kCommerzbank, "DEUTDEFFXXX", "GERMANY");
  EXPECT_EQ(r.code, '9');
  EXPECT_EQ(r.response, kCommerzbankFields);
}

TEST(SepaResolve, GermanBicFollowsTheIbanRule) {
  // 25050299 has no BIC of its own; rule 28 takes that of 25050180.
  Resolved r = resolve("DE00250502990000000000", "SPKHDE2HXXX", "GERMANY", 1);
  EXPECT_EQ(r.code, '1');
  EXPECT_NE(r.response.find("&bic=SPKHDE2HXXX&"), std::string::npos) << r.response;
}

TEST(SepaResolve, UnknownBankOfANationalDirectoryIs7WithoutFields) {
  for (auto [iban, country] : {std::pair{"DE23999999990000000000", "GERMANY"},
                               {"AT319999900000000000", "AUSTRIA"},
                               {"CH4699999000000012345", "SWITZERLAND"},
                               {"ES8599990001800123456789", "SPAIN"}}) {
    Resolved r = resolve(iban, "", country, 1);
    EXPECT_EQ(r.code, '7') << iban;
    EXPECT_EQ(r.response, "") << iban;
  }
}

TEST(SepaResolve, SwissBranchOrHeadBicBothConfirm) {
  // Clearing number 202 belongs to head bank 230; the branch has its own BIC.
  const char *iban = "CH7700202000000012345";
  EXPECT_EQ(resolve(iban, "UBSWCHZH86N", "SWITZERLAND").code, '1');
  EXPECT_EQ(resolve(iban, "UBSWCHZH80A", "SWITZERLAND").code, '1');
  Resolved r = resolve(iban, "UBSWCHZH80B", "SWITZERLAND", 1);
  EXPECT_EQ(r.code, '9');
  EXPECT_EQ(r.response.rfind("      &name=UBS Switzerland AG&zip=CH-8098&location=Z\xFCrich"
                             "&bic=UBSWCHZH86N&",
                             0),
            0u)
      << r.response;
}

TEST(SepaResolve, SpainLooksUpTheBankWithoutItsBranch) {
  Resolved r = resolve("ES9121000418450200051332", "", "SPAIN");
  EXPECT_EQ(r.code, '1');
  EXPECT_EQ(r.response, "      &name=CAIXABANK, S.A.&zip=ES-46002&location=VALENCIA");
}

TEST(SepaResolve, ItalyAndSanMarinoSkipTheCheckCharacter) {
  Resolved r = resolve("IT60X0542811101000000123456", "", "ITALY");
  EXPECT_EQ(r.code, '1');
  EXPECT_EQ(r.bic, "BLOPIT22XXX");
  EXPECT_EQ(r.response.rfind("      &name=INTESA SANPAOLO", 0), 0u) << r.response;
  r = resolve("SM69X0303409800000000123456", "", "SAN MARINO");
  EXPECT_EQ(r.code, '1');
  EXPECT_EQ(r.bic, "BASMSMSMXXX");
}

TEST(SepaResolve, BicTableMissWithoutBicIsNoError) {
  Resolved r = resolve("FR6612345000000000000000000", "", "FRANCE", 1);
  EXPECT_EQ(r.code, '1');
  EXPECT_EQ(r.response, "");
}

TEST(SepaResolve, BicTableMissUsesTheRequestBic) {
  // Another country's BIC cannot confirm the bank.
  Resolved r = resolve("FR6612345000000000000000000", "DEUTDEFFXXX", "FRANCE", 1);
  EXPECT_EQ(r.code, '9');
  EXPECT_EQ(r.response, "");
  // A French BIC of the European directory names the bank; a national table
  // was consulted, so the reachability list is read.
  r = resolve("FR6612345000000000000000000", "CMCIFRPPXXX", "FRANCE", 1);
  EXPECT_EQ(r.code, '1');
  EXPECT_EQ(r.response,
            "      &name=CM - CIC BANQUES&zip=75009&location=PARIS&bic=CMCIFRPPXXX"
            "&sct=1&sdd=1&b2b=1&scc=0");
}

TEST(SepaResolve, BicTableHitReplacesTheRequestBic) {
  Resolved r = resolve("FR1420041010050500013M02606", "CMCIFRPPXXX", "FRANCE");
  EXPECT_EQ(r.code, '9');
  EXPECT_EQ(r.bic, "PSSTFRPPXXX");
  EXPECT_EQ(r.response, "      &name=LA BANQUE POSTALE&zip=75275&location=PARIS");
  EXPECT_EQ(resolve("FR1420041010050500013M02606", "PSSTFRPPXXX", "FRANCE").code, '1');
}

TEST(SepaResolve, BicTableEntryOfAnotherCountryIs9) {
  // The Swedish table sends bank code 907 to a Maltese BIC.
  Resolved r = resolve("SE0790700000000000000001", "", "SWEDEN", 1);
  EXPECT_EQ(r.code, '9');
  EXPECT_EQ(r.bic, "FEMAMTMTXXX");
  EXPECT_EQ(r.response, "");
}

TEST(SepaResolve, FourLetterBankCodes) {
  Resolved r = resolve("NL91ABNA0417164300", "", "NETHERLANDS");
  EXPECT_EQ(r.code, '1');
  EXPECT_EQ(r.response, "      &name=ABN AMRO BANK N.V.&zip=1082 PP&location=AMSTERDAM");
  EXPECT_EQ(resolve("NL43ZZZZ0417164300", "", "NETHERLANDS").response, "");
}

TEST(SepaResolve, CountryWithoutTableResolvesThroughTheRequestBic) {
  Resolved r = resolve("TR330006100519786457841326", "TCZBTR2AXXX", "TURKEY", 1);
  EXPECT_EQ(r.code, '1');
  EXPECT_EQ(r.response,
            "      &name=TURKIYE CUMHURIYETI ZIRAAT BANKASI A.S.&zip=06050&location=ANKARA"
            "&bic=TCZBTR2AXXX&sct=9&sdd=9&b2b=9&scc=9");
  EXPECT_EQ(resolve("TR330006100519786457841326", "", "TURKEY", 1).code, '1');
  EXPECT_EQ(resolve("TR330006100519786457841326", "", "TURKEY", 1).response, "");
  EXPECT_EQ(resolve("TR330006100519786457841326", "ABCDTR2AXXX", "TURKEY").code, '9');
  EXPECT_EQ(resolve("TR330006100519786457841326", "DEUTDEFFXXX", "TURKEY").code, '9');
}

TEST(SepaResolve, ReachabilityFlags) {
  // 8-character entry "NABAATWW": SCT only.
  EXPECT_EQ(resolve("AT750010000000012345", "", "AUSTRIA", 1).response,
            "      &name=Oesterreichische Nationalbank&zip=AT-1090&location=Wien"
            "&bic=NABAATWWXXX&sct=1&sdd=0&b2b=0&scc=0");
  // 11-character entry "BYLADEM1001".
  EXPECT_NE(resolve("DE50120300001234567897", "", "GERMANY", 1)
                .response.find("&bic=BYLADEM1001&sct=1&sdd=1&b2b=1&scc=1"),
            std::string::npos);
  // Only other branches of the bank are listed: unknown.
  EXPECT_NE(resolve("DE92305200001234567890", "", "GERMANY", 1)
                .response.find("&bic=RCIDDE3NXXX&sct=9&sdd=9&b2b=9&scc=9"),
            std::string::npos);
}

TEST(SepaResolve, BankWithoutBic) {
  EXPECT_EQ(resolve("BE78989000000086", "", "BELGIUM", 1).response,
            "      &name=bpost&zip=&location=&bic=&sct=9&sdd=9&b2b=9&scc=9");
  // Any BIC given differs from none.
  EXPECT_EQ(resolve("BE78989000000086", "PCHQBEBBXXX", "BELGIUM").code, '9');
}

TEST(SepaResolve, LongestFieldsFitTheResponseLine) {
  // name, zip and location of the longest records plus every fixed text of
  // the line stay within the response buffer, so nothing is ever cut.
  size_t longest = 0;
  auto consider = [&](const char *name, const char *zip, const char *location) {
    longest = std::max(longest, strlen(name) + strlen(zip) + strlen(location));
  };
  for (uint32_t i = 0; i < list_EU_size; i++)
    consider(text_at(list_EU_text, list_EU[i].name), text_at(list_EU_text, list_EU[i].zip),
             text_at(list_EU_text, list_EU[i].location));
  struct Table {
    const Head_t_SEPA *rows;
    uint32_t size;
    const char *text;
  };
  for (auto [t, n, text] :
       {Table{head_DE, head_DE_size, head_DE_text}, Table{head_AT, head_AT_size, head_AT_text},
        Table{head_BE, head_BE_size, head_BE_text}, Table{head_CH, head_CH_size, head_CH_text},
        Table{head_CZ, head_CZ_size, head_CZ_text}, Table{head_ES, head_ES_size, head_ES_text},
        Table{head_SK, head_SK_size, head_SK_text}})
    for (uint32_t i = 0; i < n; i++)
      consider(text_at(text, t[i].name), text_at(text, t[i].zip), text_at(text, t[i].location));
  size_t country = 0;
  for (uint32_t i = 0; i < c_size; i++) country = std::max(country, strlen(c[i].name));
  const size_t fixed = strlen("code=1&name=&zip=&location=&bic=&sct=1&sdd=1&b2b=1&scc=1"
                              "&country=&mode=SEPA") +
                       11;
  EXPECT_LT(fixed + longest + country, RESPONSE_SIZE) << longest << " " << country;
}

// ---------------------------------------------------------------------------
// The handler
// ---------------------------------------------------------------------------

TEST(SepaMain, NoResolutionWithoutAValidStructure) {
  char code;
  EXPECT_EQ(call_handler(Sepa_Main, "IBN=AT0711000000123456", 0, &code), "code=4&mode=SEPA");
  EXPECT_EQ(code, '4');
  EXPECT_EQ(call_handler(Sepa_Main, "IBN=AT071100000012345678&BIC=BKAUATWWX", 1, &code),
            "code=2&mode=SEPA");
  EXPECT_EQ(code, '2');
}

TEST(SepaMain, LaterChecksKeepTheBankFields) {
  char code;
  EXPECT_EQ(call_handler(Sepa_Main, "IBN=AT081100000012345678", 0, &code),
            "code=0&name=UniCredit Bank Austria AG&zip=AT-1020&location=Wien"
            "&country=AUSTRIA&mode=SEPA");
  EXPECT_EQ(code, '0');
}

}  // namespace
