// The European tables as the IBAN and SEPA modes search them: every sorted
// table's first and last record are found by key with the binary searches
// (last index taken from the table's size), keys just outside are rejected,
// and the rows these modes depend on hold the expected bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "old_search.h"
#include "pluvar.h"

namespace {

// A numeric table of the expected size whose first and last keys are found
// at its ends (last index from the table's size) and whose neighbouring keys
// are rejected.
template <typename Table>
void expect_numeric_bounds(const Table &t) {
  const uint64_t last = *t.size - 1;
  EXPECT_EQ(*t.size, t.count);
  EXPECT_EQ(BinarySearch(t.table, 0, last, t.first_key), 0);
  EXPECT_EQ(BinarySearch(t.table, 0, last, t.last_key), static_cast<int64_t>(last));
  EXPECT_EQ(BinarySearch(t.table, 0, last, t.last_key + 1), -1);
  if (t.first_key > 0) {
    EXPECT_EQ(BinarySearch(t.table, 0, last, t.first_key - 1), -1);
  }
}

// ---------------------------------------------------------------------------
// National directories
// ---------------------------------------------------------------------------

struct HeadTable {
  const char *name;
  const Head_t_SEPA *table;
  const uint32_t *size;
  const char *text;
  const uint32_t *text_size;
  size_t code_width;
  uint32_t count;
  uint64_t first_key;
  uint64_t last_key;
};

const HeadTable kHeadTables[] = {
    {"head_AT", head_AT, &head_AT_size, head_AT_text, &head_AT_text_size, 5, 871, 100, 76520},
    {"head_BE", head_BE, &head_BE_size, head_BE_text, &head_BE_text_size, 3, 111, 0, 990},
    {"head_CH", head_CH, &head_CH_size, head_CH_text, &head_CH_text_size, 5, 611, 100, 89216},
    {"head_CZ", head_CZ, &head_CZ_size, head_CZ_text, &head_CZ_text_size, 4, 45, 100, 8500},
    {"head_ES", head_ES, &head_ES_size, head_ES_text, &head_ES_text_size, 4, 415, 3, 9891},
    {"head_SK", head_SK, &head_SK_size, head_SK_text, &head_SK_text_size, 4, 41, 200, 9955},
};

TEST(HeadTables, FirstAndLastFoundNeighboursRejected) {
  for (const HeadTable &t : kHeadTables) {
    SCOPED_TRACE(t.name);
    expect_numeric_bounds(t);
    EXPECT_EQ(BinarySearch(t.table, 1, *t.size - 1, t.first_key), -1);  // lo past the record
  }
}

// Every record: key strictly above its predecessor (the searches need it),
// code text = key with its leading zeros, texts present (never null), BIC
// empty or 11 characters, the German-only fields unset.
TEST(HeadTables, RecordsAreWellFormed) {
  for (const HeadTable &t : kHeadTables) {
    SCOPED_TRACE(t.name);
    for (uint32_t i = 0; i < *t.size; i++) {
      const Head_t_SEPA &r = t.table[i];
      SCOPED_TRACE(r.code);
      if (i > 0) {
        EXPECT_LT(t.table[i - 1].key, r.key);
      }
      ASSERT_EQ(strlen(r.code), t.code_width);
      EXPECT_EQ(std::stoull(r.code), r.key);
      ASSERT_LT(r.name, *t.text_size);
      ASSERT_LT(r.zip, *t.text_size);
      ASSERT_LT(r.location, *t.text_size);
      EXPECT_GT(strlen(text_at(t.text, r.name)), 0u);
      EXPECT_TRUE(strlen(r.bic) == 0 || strlen(r.bic) == 11);
      EXPECT_STREQ(r.successor, "");
      EXPECT_EQ(r.iban_rule, 0u);
    }
  }
}

struct HeadRow {
  const Head_t_SEPA *table;
  const uint32_t *size;
  const char *text;
  uint64_t key;
  const char *code, *name, *zip, *location, *bic;
};

// Texts are Windows-1252 bytes: \374 u-umlaut, \355 i-acute, \341 a-acute,
// \232 s-caron, \321 N-tilde.  Czech and Slovak letters that Windows-1252
// lacks are stored as their base letters.
const HeadRow kHeadRows[] = {
    {head_AT, &head_AT_size, head_AT_text, 100, "00100", "Oesterreichische Nationalbank", "AT-1090", "Wien",
     "NABAATWWXXX"},
    {head_AT, &head_AT_size, head_AT_text, 11000, "11000", "UniCredit Bank Austria AG", "AT-1020", "Wien",
     "BKAUATWWXXX"},
    {head_BE, &head_BE_size, head_BE_text, 0, "000", "BNP Paribas Fortis", "BE-1000", "Brussel", "GEBABEBBXXX"},
    {head_BE, &head_BE_size, head_BE_text, 989, "989", "bpost", "", "", ""},
    {head_CH, &head_CH_size, head_CH_text, 100, "00100", "Schweizerische Nationalbank", "CH-8022",
     "Z\374rich", "SNBZCHZZXXX"},
    {head_CH, &head_CH_size, head_CH_text, 89216, "89216", "ABN AMRO Clearing Bank N.V.", "NL-1082",
     "PP Amsterdam", "ABNCNL2AXXX"},
    {head_CZ, &head_CZ_size, head_CZ_text, 100, "0100", "Komercn\355 banka, a.s.", "CZ-11000", "Praha 1",
     "KOMBCZPPXXX"},
    {head_CZ, &head_CZ_size, head_CZ_text, 300, "0300", "Ceskoslovensk\341 obchodn\355 banka, a. s.",
     "CZ-15000", "Praha 5", "CEKOCZPPXXX"},
    {head_CZ, &head_CZ_size, head_CZ_text, 8500, "8500", "Multitude Bank p.l.c.", "CZ-", "", ""},
    {head_ES, &head_ES_size, head_ES_text, 3, "0003", "BANCO DE DEPOSITOS, S.A.", "ES-28046", "MADRID",
     "BDEPESM1XXX"},
    {head_ES, &head_ES_size, head_ES_text, 9891, "9891", "COMPA\321IA ESPA\321OLA DE REAFIANZAMIENTO, S.A.",
     "ES-28046", "MADRID", ""},
    {head_SK, &head_SK_size, head_SK_text, 200, "0200", "V\232eobecn\341 \372verov\341 banka, a.s.",
     "SK-82990", "Bratislava", "SUBASKBXXXX"},
    // A Czech bank under a Slovak code, with its Czech address.
    {head_SK, &head_SK_size, head_SK_text, 600, "0600", "MONETA Money Bank, a.s.", "CZ-14000", "Praha 4",
     "AGBACZPPXXX"},
};

TEST(HeadTables, TellingRows) {
  for (const HeadRow &want : kHeadRows) {
    SCOPED_TRACE(want.code);
    int64_t i = BinarySearch(want.table, 0, *want.size - 1, want.key);
    ASSERT_GE(i, 0);
    const Head_t_SEPA &r = want.table[i];
    EXPECT_STREQ(r.code, want.code);
    EXPECT_STREQ(text_at(want.text, r.name), want.name);
    EXPECT_STREQ(text_at(want.text, r.zip), want.zip);
    EXPECT_STREQ(text_at(want.text, r.location), want.location);
    EXPECT_STREQ(r.bic, want.bic);
  }
}

TEST(HeadTables, SpanishCountOfBanksWithoutBic) {
  uint32_t without = 0;
  for (uint32_t i = 0; i < head_ES_size; i++) without += head_ES[i].bic[0] == '\0';
  EXPECT_EQ(without, 256u);  // 257 in the reference edition
}

// ---------------------------------------------------------------------------
// Branch tables
// ---------------------------------------------------------------------------

struct BranchTable {
  const char *name;
  const Bank_t_SEPA *table;
  const uint32_t *size;
  const Head_t_SEPA *head;
  const uint32_t *head_size;
  uint32_t count;
  uint64_t first_key;
  uint64_t last_key;
  uint32_t heads_referred;
  uint32_t with_bic;
};

const BranchTable kBranchTables[] = {
    {"bank_BE", bank_BE, &bank_BE_size, head_BE, &head_BE_size, 789, 0, 999, 111, 0},
    {"bank_CH", bank_CH, &bank_CH_size, head_CH, &head_CH_size, 1191, 100, 89216, 611, 1178},
};

TEST(BranchTables, FirstAndLastFoundNeighboursRejected) {
  for (const BranchTable &t : kBranchTables) {
    SCOPED_TRACE(t.name);
    expect_numeric_bounds(t);
  }
}

// The SEPA mode looks the head up under the branch's head key and answers
// "not found" on a miss, so every head key must be present.
TEST(BranchTables, EveryBranchReachesItsHead) {
  for (const BranchTable &t : kBranchTables) {
    SCOPED_TRACE(t.name);
    uint32_t with_bic = 0;
    bool referred[2000] = {};
    ASSERT_LE(*t.head_size, 2000u);
    for (uint32_t i = 0; i < *t.size; i++) {
      const Bank_t_SEPA &b = t.table[i];
      if (i > 0) {
        EXPECT_LT(t.table[i - 1].key, b.key);
      }
      int64_t h = BinarySearch(t.head, 0, *t.head_size - 1, b.head_key);
      ASSERT_GE(h, 0) << "branch " << b.key;
      referred[h] = true;
      size_t n = strlen(b.bic);
      EXPECT_TRUE(n == 0 || n == 11);
      with_bic += n > 0;
    }
    uint32_t heads = 0;
    for (uint32_t h = 0; h < *t.head_size; h++) heads += referred[h];
    EXPECT_EQ(heads, t.heads_referred);
    EXPECT_EQ(with_bic, t.with_bic);
  }
}

TEST(BranchTables, SwissBranchWithItsOwnBic) {
  int64_t b = BinarySearch(bank_CH, 0, bank_CH_size - 1, 230);
  ASSERT_GE(b, 0);
  EXPECT_STREQ(bank_CH[b].bic, "UBSWCHZH80A");
  int64_t h = BinarySearch(head_CH, 0, head_CH_size - 1, bank_CH[b].head_key);
  ASSERT_GE(h, 0);
  EXPECT_STREQ(text_at(head_CH_text, head_CH[h].name), "UBS Switzerland AG");
  EXPECT_STREQ(text_at(head_CH_text, head_CH[h].zip), "CH-8098");
}

TEST(BranchTables, BelgianCodesMapToTheirBank) {
  // 999 belongs to Bpost (990), not to bpost (989).
  int64_t b = BinarySearch(bank_BE, 0, bank_BE_size - 1, 999);
  ASSERT_GE(b, 0);
  EXPECT_EQ(bank_BE[b].head_key, 990u);
  b = BinarySearch(bank_BE, 0, bank_BE_size - 1, 1);
  ASSERT_GE(b, 0);
  EXPECT_EQ(bank_BE[b].head_key, 0u);
}

// ---------------------------------------------------------------------------
// Bank-code-to-BIC tables
// ---------------------------------------------------------------------------

struct NumericBicTable {
  const char *cc;
  const Bank_t_BLZ_BIC *table;
  const uint32_t *size;
  uint32_t count;
  uint64_t first_key;
  uint64_t last_key;
};

#define NUMERIC(CC, COUNT, FIRST, LAST) \
  {#CC, list_BLZ_BIC_##CC, &list_BLZ_BIC_##CC##_size, COUNT, FIRST, LAST}

const NumericBicTable kNumericTables[] = {
    NUMERIC(SE, 769, 110, 996),
    NUMERIC(SI, 19, 1, 91),
    NUMERIC(VA, 1, 1, 1),
    NUMERIC(GR, 30, 10, 701),
    NUMERIC(PT, 77, 1, 981),
    NUMERIC(PL, 3121, 10100000, 96810002),
    NUMERIC(NO, 2292, 500, 9903),
    NUMERIC(IS, 225, 1, 1501),
    NUMERIC(IT, 453, 1000, 36944),
    NUMERIC(FR, 214, 10011, 74202),
    NUMERIC(FI, 656, 100, 899),
    NUMERIC(EE, 16, 0, 99),
    NUMERIC(DK, 6879, 40, 9960),
    NUMERIC(CY, 7, 2, 29),
    NUMERIC(HR, 21, 1001005, 4133006),
    NUMERIC(HU, 6146, 10002003, 90300000),
    NUMERIC(SM, 10, 3034, 8540),
    NUMERIC(MC, 27, 10096, 30004),
    NUMERIC(LU, 114, 1, 999),
    NUMERIC(LI, 19, 8800, 83049),
    NUMERIC(AD, 7, 10000, 250000),
    NUMERIC(LT, 287, 758, 91004),
};
#undef NUMERIC

struct AlphaBicTable {
  const char *cc;
  const Bank_t_BLZalpha_BIC *table;
  const uint32_t *size;
  uint32_t count;
  const char *first_key;
  const char *last_key;
};

#define ALPHA(CC, COUNT, FIRST, LAST) \
  {#CC, list_BLZ_BIC_##CC, &list_BLZ_BIC_##CC##_size, COUNT, FIRST, LAST}

const AlphaBicTable kAlphaTables[] = {
    ALPHA(GB, 4973, "AACC", "ZUSI"), ALPHA(IE, 743, "AARB", "ZURI"),
    ALPHA(LV, 25, "BLIB", "UNLA"),   ALPHA(MT, 41, "AGRK", "YAPI"),
    ALPHA(RO, 46, "ABNA", "WBAN"),   ALPHA(BG, 28, "BGUS", "UNCR"),
    ALPHA(NL, 86, "ABNA", "ZWLB"),
};
#undef ALPHA

TEST(BicTables, AllTwentyNineCountries) {
  EXPECT_EQ(std::size(kNumericTables) + std::size(kAlphaTables), 29u);
}

TEST(BicTables, NumericFirstAndLastFoundNeighboursRejected) {
  for (const NumericBicTable &t : kNumericTables) {
    SCOPED_TRACE(t.cc);
    expect_numeric_bounds(t);
    for (uint32_t i = 0; i < *t.size; i++) {
      if (i > 0) {
        EXPECT_LT(t.table[i - 1].key, t.table[i].key);
      }
      EXPECT_EQ(strlen(t.table[i].bic), 11u) << t.table[i].key;
    }
  }
}

// The key with its last letter moved one step: sorts just before (-1) or
// just after (+1) it.
std::string step_last(const char *key, int delta) {
  std::string s = key;
  s.back() = static_cast<char>(s.back() + delta);
  return s;
}

TEST(BicTables, AlphaFirstAndLastFoundNeighboursRejected) {
  for (const AlphaBicTable &t : kAlphaTables) {
    SCOPED_TRACE(t.cc);
    const uint64_t last = *t.size - 1;
    EXPECT_EQ(*t.size, t.count);
    EXPECT_EQ(BinarySearchString(t.table, 0, last, t.first_key), 0);
    EXPECT_EQ(BinarySearchString(t.table, 0, last, t.last_key), static_cast<int64_t>(last));
    EXPECT_EQ(BinarySearchString(t.table, 0, last, step_last(t.first_key, -1).c_str()), -1);
    EXPECT_EQ(BinarySearchString(t.table, 0, last, step_last(t.last_key, +1).c_str()), -1);
    // A prefix or an extension of a key is another key.
    EXPECT_EQ(BinarySearchString(t.table, 0, last, std::string(t.last_key, 3).c_str()), -1);
    EXPECT_EQ(BinarySearchString(t.table, 0, last, (std::string(t.first_key) + "A").c_str()),
              -1);
    for (uint32_t i = 0; i < *t.size; i++) {
      ASSERT_EQ(strlen(t.table[i].key), 4u);
      if (i > 0) {
        EXPECT_LT(strcmp(t.table[i - 1].key, t.table[i].key), 0) << t.table[i].key;
      }
      EXPECT_EQ(strlen(t.table[i].bic), 11u) << t.table[i].key;
    }
  }
}

TEST(BicTables, TellingRows) {
  int64_t i = BinarySearchString(list_BLZ_BIC_NL, 0, list_BLZ_BIC_NL_size - 1, "ABNA");
  ASSERT_GE(i, 0);
  EXPECT_STREQ(list_BLZ_BIC_NL[i].bic, "ABNANL2AXXX");
  i = BinarySearchString(list_BLZ_BIC_GB, 0, list_BLZ_BIC_GB_size - 1, "AACC");
  ASSERT_GE(i, 0);
  EXPECT_STREQ(list_BLZ_BIC_GB[i].bic, "AACCGB21XXX");
  i = BinarySearch(list_BLZ_BIC_SE, 0, list_BLZ_BIC_SE_size - 1, 110);
  ASSERT_GE(i, 0);
  EXPECT_STREQ(list_BLZ_BIC_SE[i].bic, "NDEASESSXXX");
  i = BinarySearch(list_BLZ_BIC_VA, 0, list_BLZ_BIC_VA_size - 1, 1);
  ASSERT_EQ(i, 0);
  EXPECT_STREQ(list_BLZ_BIC_VA[0].bic, "IOPRVAVXXXX");
  // Several BICs were offered for 10011; the head office's is kept.
  i = BinarySearch(list_BLZ_BIC_FR, 0, list_BLZ_BIC_FR_size - 1, 10011);
  ASSERT_GE(i, 0);
  EXPECT_STREQ(list_BLZ_BIC_FR[i].bic, "PSSTFRPPXXX");
  // Polish codes are eight digits; Croatian seven.
  EXPECT_GE(BinarySearch(list_BLZ_BIC_PL, 0, list_BLZ_BIC_PL_size - 1, 10100000), 0);
  EXPECT_EQ(BinarySearch(list_BLZ_BIC_PL, 0, list_BLZ_BIC_PL_size - 1, 101), -1);
}

// ---------------------------------------------------------------------------
// European BIC directory
// ---------------------------------------------------------------------------

TEST(BicDirectory, FirstAndLastFoundNeighboursRejected) {
  const uint64_t last = list_EU_size - 1;
  EXPECT_EQ(list_EU_size, 142855u);
  EXPECT_EQ(BinarySearchString(list_EU, 0, last, "AAAARSBGXXX"), 0);
  EXPECT_EQ(BinarySearchString(list_EU, 0, last, "ZZBKCNBZXXX"), static_cast<int64_t>(last));
  EXPECT_EQ(BinarySearchString(list_EU, 0, last, "AAAARSBGXXW"), -1);
  EXPECT_EQ(BinarySearchString(list_EU, 0, last, "ZZBKCNBZXXY"), -1);
  EXPECT_EQ(BinarySearchString(list_EU, 0, last, "AAAARSBG"), -1);  // keys have 11 characters
  EXPECT_EQ(BinarySearchString(list_EU, 0, last, ""), -1);
}

TEST(BicDirectory, FirstAndLastRows) {
  const Bank_t_EU &first = list_EU[0];
  EXPECT_STREQ(text_at(list_EU_text, first.name), "MOBI BANKA AD");
  EXPECT_STREQ(text_at(list_EU_text, first.zip), "11070");
  EXPECT_STREQ(text_at(list_EU_text, first.location), "BEOGRAD");
  const Bank_t_EU &last = list_EU[list_EU_size - 1];
  EXPECT_STREQ(last.bic, "ZZBKCNBZXXX");
  EXPECT_STREQ(text_at(list_EU_text, last.name), "BANK OF ZHENGZHOU CO.,LTD.");
  EXPECT_STREQ(text_at(list_EU_text, last.zip), "450046");
  EXPECT_STREQ(text_at(list_EU_text, last.location), "ZHENGZHOU");
}

// The binary search over the whole directory relies on strict byte order.
TEST(BicDirectory, SortedAndWellFormed) {
  uint32_t empty_zip = 0, empty_location = 0;
  for (uint32_t i = 0; i < list_EU_size; i++) {
    const Bank_t_EU &r = list_EU[i];
    ASSERT_EQ(strlen(r.bic), 11u) << i;
    if (i > 0) {
      ASSERT_LT(strcmp(list_EU[i - 1].bic, r.bic), 0) << r.bic;
    }
    ASSERT_LT(r.name, list_EU_text_size);
    ASSERT_LT(r.zip, list_EU_text_size);
    ASSERT_LT(r.location, list_EU_text_size);
    empty_zip += text_at(list_EU_text, r.zip)[0] == '\0';
    empty_location += text_at(list_EU_text, r.location)[0] == '\0';
  }
  EXPECT_EQ(empty_zip, 47416u);
  EXPECT_EQ(empty_location, 79u);
}

// The three names with letters Windows-1252 lacks.
TEST(BicDirectory, LettersOutsideWindows1252AreBaseLetters) {
  struct {
    const char *bic, *name;
  } const rows[] = {
      {"AKCTCZ21XXX", "Ceskoslovensk\351 \372vern\355 dru\236stvo"},
      {"VEKULT21XXX", "Taupkase, kredito unija"},
      {"WNKPPLPPXXX", "Santander Bank Polska Sp\363lka Akcyjna"},
  };
  for (const auto &want : rows) {
    int64_t i = BinarySearchString(list_EU, 0, list_EU_size - 1, want.bic);
    ASSERT_GE(i, 0) << want.bic;
    EXPECT_STREQ(text_at(list_EU_text, list_EU[i].name), want.name);
  }
}

// Every BIC of a national table that the SEPA mode takes into the directory
// step should usually be found there; at least the telling ones are.
TEST(BicDirectory, NationalBicsResolve) {
  for (const char *bic : {"ABNANL2AXXX", "NDEASESSXXX", "PSSTFRPPXXX", "BKAUATWWXXX"})
    EXPECT_GE(BinarySearchString(list_EU, 0, list_EU_size - 1, bic), 0) << bic;
}

// ---------------------------------------------------------------------------
// SEPA reachability list
// ---------------------------------------------------------------------------

TEST(SclList, SortedInByteOrder) {
  EXPECT_EQ(list_SCL_size, 4711u);
  uint32_t eight = 0, eleven = 0;
  for (uint32_t i = 0; i < list_SCL_size; i++) {
    const Bank_t_SCL &r = list_SCL[i];
    size_t n = strlen(r.bic);
    ASSERT_TRUE(n == 8 || n == 11) << r.bic;
    eight += n == 8;
    eleven += n == 11;
    if (i > 0) {
      ASSERT_LT(strcmp(list_SCL[i - 1].bic, r.bic), 0) << r.bic;
    }
    EXPECT_LE(r.sct | r.sdd | r.b2b | r.scc, 1);
    EXPECT_EQ(r.reserved1 | r.reserved2[0] | r.reserved2[1] | r.reserved2[2], 0);
  }
  EXPECT_EQ(eight, 2762u);
  EXPECT_EQ(eleven, 1949u);
}

TEST(SclList, FirstAndLastFoundNeighboursRejected) {
  const std::string last = list_SCL[list_SCL_size - 1].bic;
  EXPECT_STREQ(list_SCL[0].bic, "AAAARSBG");
  EXPECT_EQ(find_scl_entry("AAAARSBGXXX"), 0);
  EXPECT_EQ(find_scl_entry("AAAARSBFXXX"), -1);
  EXPECT_EQ(find_scl_entry(last.c_str()), static_cast<int64_t>(list_SCL_size - 1));
  EXPECT_EQ(find_scl_entry((step_last(last.substr(0, 8).c_str(), +1) + "XXX").c_str()), -1);
}

TEST(SclList, DigitsSortBeforeLetters) {
  // The Bundesbank's own file lists ANHODE7A before ANHODE77.
  int64_t digit = find_scl_entry("ANHODE77XXX");
  int64_t letter = find_scl_entry("ANHODE7AXXX");
  ASSERT_GE(digit, 0);
  ASSERT_GE(letter, 0);
  EXPECT_LT(digit, letter);
}

TEST(SclList, EightCharacterEntryCoversEveryBranch) {
  for (const char *bic : {"AACSDE33XXX", "AACSDE33ABC", "AACSDE33"}) {
    int64_t i = find_scl_entry(bic);
    ASSERT_GE(i, 0) << bic;
    const Bank_t_SCL &r = list_SCL[i];
    EXPECT_STREQ(r.bic, "AACSDE33");
    EXPECT_EQ(r.sct, 1);
    EXPECT_EQ(r.sdd, 1);
    EXPECT_EQ(r.b2b, 1);
    EXPECT_EQ(r.scc, 1);
  }
  int64_t i = find_scl_entry("AABAFI22XXX");
  ASSERT_GE(i, 0);
  EXPECT_STREQ(list_SCL[i].bic, "AABAFI22");
  EXPECT_EQ(list_SCL[i].sct, 1);
  EXPECT_EQ(list_SCL[i].sdd, 1);
  EXPECT_EQ(list_SCL[i].b2b, 0);
  EXPECT_EQ(list_SCL[i].scc, 0);
}

TEST(SclList, ElevenCharacterEntryCoversOnlyItsBranch) {
  int64_t i = find_scl_entry("BOFSNL21002");
  ASSERT_GE(i, 0);
  EXPECT_STREQ(list_SCL[i].bic, "BOFSNL21002");
  EXPECT_EQ(find_scl_entry("BOFSNL21003"), -1);
  EXPECT_EQ(find_scl_entry("BOFSNL21XXX"), -1);
  EXPECT_EQ(find_scl_entry("BOFSNL21"), -1);
  EXPECT_EQ(find_scl_entry("BOFSNL2100"), -1);
}

TEST(SclList, BankListedBothWaysTakesItsEightCharacterEntry) {
  // ABNABE2A (SCT, SDD, B2B) and its branch ABNABE2AIDJ (SCT, SDD) are both
  // listed; the scan meets the bank's entry first.
  int64_t i = find_scl_entry("ABNABE2AIDJ");
  ASSERT_GE(i, 0);
  EXPECT_STREQ(list_SCL[i].bic, "ABNABE2A");
  EXPECT_EQ(list_SCL[i].b2b, 1);
}

// The reachability rule read literally: scan from the first entry; an
// 8-character entry matches a BIC that begins with it, any other entry only
// the same BIC.
int64_t scan_scl(const char *bic) {
  for (uint32_t i = 0; i < list_SCL_size; i++) {
    const char *e = list_SCL[i].bic;
    if (strlen(e) == 8 ? strncmp(bic, e, 8) == 0 : strcmp(bic, e) == 0) return i;
  }
  return -1;
}

TEST(SclList, LookupAgreesWithAScanFromTheStart) {
  std::vector<std::string> bics;
  for (uint32_t i = 0; i < list_SCL_size; i++) {
    std::string e = list_SCL[i].bic, bank = e.substr(0, 8);
    for (const std::string &b : {e, bank + "XXX", bank + "A1B", bank + "X", bank.substr(0, 7),
                                 e + "X", bank.substr(0, 7) + "ZXXX"})
      bics.push_back(b);
  }
  for (uint32_t i = 0; i < list_EU_size; i += 97) bics.push_back(list_EU[i].bic);
  uint32_t found = 0;
  for (const std::string &b : bics) {
    int64_t want = scan_scl(b.c_str());
    ASSERT_EQ(find_scl_entry(b.c_str()), want) << b;
    found += want >= 0;
  }
  EXPECT_GT(found, 2 * list_SCL_size);  // the test reaches both kinds of match
}

TEST(SclList, NothingMatchesAnEmptyOrUnknownBic) {
  EXPECT_EQ(find_scl_entry(""), -1);
  EXPECT_EQ(find_scl_entry(nullptr), -1);
  EXPECT_EQ(find_scl_entry("AACSDE3"), -1);  // shorter than an entry
  EXPECT_EQ(find_scl_entry("ZZZZZZZZXXX"), -1);
  EXPECT_EQ(find_scl_entry(list_SCL[list_SCL_size - 1].bic), list_SCL_size - 1);
}

// ---------------------------------------------------------------------------
// Country table
// ---------------------------------------------------------------------------

const Country_t *country(const char *code) {
  for (uint32_t i = 0; i < c_size; i++)
    if (strcmp(c[i].code, code) == 0) return &c[i];
  return nullptr;
}

TEST(CountryTable, AllCountriesSortedWithTheirFormats) {
  EXPECT_EQ(c_size, 250u);
  uint32_t with_format = 0;
  for (uint32_t i = 0; i < c_size; i++) {
    SCOPED_TRACE(c[i].code);
    EXPECT_EQ(strlen(c[i].code), 2u);
    if (i > 0) {
      EXPECT_LT(strcmp(c[i - 1].code, c[i].code), 0);
    }
    EXPECT_GT(strlen(c[i].name), 0u);
    if (c[i].format[0] != '\0') {
      with_format++;
      EXPECT_EQ(strncmp(c[i].format, "2!a2!n", 6), 0);
    }
    // Zero-padded fields: the last byte is always the terminator.
    EXPECT_EQ(c[i].name[sizeof c[i].name - 1], '\0');
    EXPECT_EQ(c[i].format[sizeof c[i].format - 1], '\0');
  }
  EXPECT_EQ(with_format, 89u);
}

TEST(CountryTable, TellingRows) {
  struct {
    const char *code, *name, *format;
  } const rows[] = {
      {"AD", "ANDORRA", "2!a2!n4!n4!n12!c"},
      {"DE", "GERMANY", "2!a2!n8!n10!n"},
      {"CZ", "CZECH REPUBLIC", "2!a2!n4!n6!n10!n"},
      {"MU", "MAURITIUS", "2!a2!n4!a2!n2!n12!n3!n3!a"},
      {"VA", "HOLY SEE (VATICAN CITY STATE)", "2!a2!n3!n15!n"},
      {"MK", "MACEDONIA, THE FORMER YUGOSLAV REPUBLIC OF", "2!a2!n3!n10!c2!n"},
      {"XK", "KOSOVO", "2!a2!n4!n10!n2!n"},
      {"YE", "YEMEN", "2!a2!n4!a4!n18!c"},
      {"AF", "AFGHANISTAN", ""},
      {"AX", "\305LAND ISLANDS", ""},
      {"CI", "C\324TE D'IVOIRE", ""},
      {"CW", "CURA\307AO", ""},
      {"ZW", "ZIMBABWE", ""},
  };
  for (const auto &want : rows) {
    const Country_t *r = country(want.code);
    ASSERT_NE(r, nullptr) << want.code;
    EXPECT_STREQ(r->name, want.name);
    EXPECT_STREQ(r->format, want.format);
  }
  EXPECT_STREQ(c[0].code, "AD");
  EXPECT_STREQ(c[c_size - 1].code, "ZW");
  EXPECT_EQ(country("XX"), nullptr);
}

}  // namespace
