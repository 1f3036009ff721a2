// The German directory and its lookups: invariants that hold for every
// edition, and the facts of the shipped one (skipped on other editions).
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "cli.h"
#include "edition.h"
#include "old_search.h"

namespace {

TEST(GermanTables, EditionFacts) {
  PLUVAR_ONLY_EDITION(kShippedEdition);
  EXPECT_EQ(l_size, 14148u);
  EXPECT_EQ(head_DE_size, 3513u);
  const int32_t sprung[10] = {14148, 0, 653, 2628, 3546, 4533, 7062, 9581, 13096, 14148};
  for (int d = 0; d < 10; d++) EXPECT_EQ(Sprung[d], sprung[d]) << d;
  EXPECT_EQ(sizeof(BLZ_Row), 113u);
  EXPECT_EQ(sizeof(Head_t_SEPA), 64u);

  std::set<std::string> codes;
  for (uint32_t i = 0; i < l_size; i++) codes.insert(l[i].blz);
  EXPECT_EQ(codes.size(), 3513u);

  EXPECT_STREQ(l[0].blz, "10000000");
  EXPECT_STREQ(l[0].name, "Bundesbank");
  EXPECT_STREQ(l[0].zip, "10591");
  EXPECT_STREQ(l[0].place, "Berlin");
  EXPECT_EQ(l[0].method, 9);
  const BLZ_Row &last = l[l_size - 1];
  EXPECT_STREQ(last.blz, "87096214");
  EXPECT_STREQ(last.name, "Volksbank Chemnitz");
  EXPECT_STREQ(last.place, "Fl\xf6ha");
  EXPECT_EQ(last.method, 6);
}

TEST(GermanTables, RowsSortedAndOwnRowFirst) {
  for (uint32_t i = 1; i < l_size; i++) {
    ASSERT_LE(strcmp(l[i - 1].blz, l[i].blz), 0) << i;
    if (strcmp(l[i - 1].blz, l[i].blz) != 0) {
      // The first row of a bank code carries the bank's own name and place.
      int64_t h = BinarySearch(head_DE, 0, head_DE_size - 1, strtoull(l[i].blz, nullptr, 10));
      ASSERT_GE(h, 0);
      EXPECT_STREQ(l[i].name, text_at(head_DE_text, head_DE[h].name));
      EXPECT_STREQ(l[i].place, text_at(head_DE_text, head_DE[h].location));
    }
  }
}

TEST(GermanTables, HeadRecords) {
  PLUVAR_ONLY_EDITION(kShippedEdition);
  int empty_bic = 0, successor = 0, rules[58] = {0};
  for (uint32_t i = 0; i < head_DE_size; i++) {
    const Head_t_SEPA &h = head_DE[i];
    if (i > 0) {
      ASSERT_LT(head_DE[i - 1].key, h.key);
    }
    empty_bic += h.bic[0] == '\0';
    successor += h.successor[0] != '\0';
    ASSERT_LT(h.iban_rule, 58u);
    rules[h.iban_rule]++;
    ASSERT_LT(h.name, head_DE_text_size);
    ASSERT_LT(h.zip, head_DE_text_size);
    ASSERT_LT(h.location, head_DE_text_size);
    EXPECT_EQ(strlen(text_at(head_DE_text, h.zip)), 8u);
  }
  EXPECT_EQ(empty_bic, 3);
  EXPECT_EQ(successor, 34);
  EXPECT_EQ(rules[0], 2258);
  EXPECT_EQ(rules[5], 610);
  EXPECT_EQ(rules[20], 373);
  EXPECT_EQ(rules[32], 100);

  struct Telling {
    uint64_t key;
    const char *name, *zip, *location, *bic, *successor;
    uint32_t rule;
  };
  const Telling telling[] = {
      {10000000, "Bundesbank", "DE-10591", "Berlin", "MARKDEF1100", "", 42},
      {50040000, "Commerzbank", "DE-60005", "Frankfurt am Main", "COBADEFFXXX", "", 5},
      {25050299, "Sparkasse Hannover -alt-", "DE-30056", "Hannover", "", "25050180", 28},
  };
  for (const Telling &t : telling) {
    int64_t i = BinarySearch(head_DE, 0, head_DE_size - 1, t.key);
    ASSERT_GE(i, 0);
    EXPECT_STREQ(text_at(head_DE_text, head_DE[i].name), t.name);
    EXPECT_STREQ(text_at(head_DE_text, head_DE[i].zip), t.zip);
    EXPECT_STREQ(text_at(head_DE_text, head_DE[i].location), t.location);
    EXPECT_STREQ(head_DE[i].bic, t.bic);
    EXPECT_STREQ(head_DE[i].successor, t.successor);
    EXPECT_EQ(head_DE[i].iban_rule, t.rule);
  }
}

TEST(GermanTables, SearchColumnsMatchEveryRow) {
  ASSERT_LT(l_names_size, 65536u);
  ASSERT_LT(l_places_size, 65536u);
  auto name = [](uint32_t id) { return l_name_pool + l_name_offset[id]; };
  auto place = [](uint32_t id) { return l_place_pool + l_place_offset[id]; };
  for (uint32_t i = 0; i < l_size; i++) {
    ASSERT_EQ(l_blz_number[i], strtoul(l[i].blz, nullptr, 10)) << i;
    ASSERT_EQ(l_zip_number[i], strtoul(l[i].zip, nullptr, 10)) << i;
    ASSERT_LT(l_name_id[i], l_names_size);
    ASSERT_LT(l_place_id[i], l_places_size);
    ASSERT_STREQ(name(l_name_id[i]), l[i].name) << i;
    ASSERT_STREQ(place(l_place_id[i]), l[i].place) << i;
  }
  // Each distinct text once, in byte order, packed end to end.
  EXPECT_EQ(l_name_offset[0], 0u);
  EXPECT_EQ(l_place_offset[0], 0u);
  for (uint32_t i = 1; i < l_names_size; i++) {
    ASSERT_LT(strcmp(name(i - 1), name(i)), 0);
    ASSERT_EQ(l_name_offset[i], l_name_offset[i - 1] + strlen(name(i - 1)) + 1);
  }
  for (uint32_t i = 1; i < l_places_size; i++) ASSERT_LT(strcmp(place(i - 1), place(i)), 0);
  EXPECT_EQ(l_name_pool_size, l_name_offset[l_names_size - 1] + strlen(name(l_names_size - 1)) + 1);
  EXPECT_EQ(l_place_pool_size,
            l_place_offset[l_places_size - 1] + strlen(place(l_places_size - 1)) + 1);
}

TEST(RowLookup, FindsFirstRowOfBankCode) {
  PLUVAR_ONLY_EDITION(kShippedEdition);
  unsigned char method = 255;
  EXPECT_EQ(find_blz(german_current, "10000000", &method), '1');
  EXPECT_EQ(method, 9);
  EXPECT_EQ(find_blz_row(german_current, "10000000"), 0);

  method = 255;
  EXPECT_EQ(find_blz(german_current, "87096214", &method), '1');
  EXPECT_EQ(method, 6);
  int64_t row = find_blz_row(german_current, "87096214");
  ASSERT_GT(row, 0);
  EXPECT_STRNE(l[row - 1].blz, "87096214");  // the bank code's first row
  EXPECT_LT(row, static_cast<int64_t>(l_size) - 1);
}

// The row lookup halves instead of walking; it must answer exactly as the
// walk from the leading digit's first row does.
int64_t walk_from_sprung(uint64_t key, int first_digit) {
  uint32_t row = first_digit < 0 ? 0 : static_cast<uint32_t>(Sprung[first_digit]);
  for (; row < l_size; row++) {
    uint64_t v = strtoull(l[row].blz, nullptr, 10);
    if (v >= key) return v == key ? static_cast<int64_t>(row) : -1;
  }
  return -1;
}

TEST(RowLookup, AgreesWithTheWalkForEveryCodeAndItsNeighbours) {
  for (uint32_t i = 0; i < head_DE_size; i++) {
    for (uint64_t key : {head_DE[i].key - 1, head_DE[i].key, head_DE[i].key + 1}) {
      char text[16];
      snprintf(text, sizeof text, "%08llu", static_cast<unsigned long long>(key));
      ASSERT_EQ(find_blz_row(german_current, text), walk_from_sprung(key, text[0] - '0')) << text;
    }
  }
}

TEST(RowLookup, UnknownCodesAnswerSeven) {
  for (const char *blz : {"09999999", "99999999", "10000001", "87096215", "00000000", "x", "",
                          "1000000", "100000000"}) {
    unsigned char method = 77;
    EXPECT_EQ(find_blz(german_current, blz, &method), '7') << blz;
    EXPECT_EQ(method, 77) << "method written for " << blz;
  }
}

TEST(RowLookup, FormsOutputString) {
  PLUVAR_ONLY_EDITION(kShippedEdition);
  char line[RESPONSE_SIZE] = "";
  unsigned char method = 0;
  EXPECT_EQ(find_blz_and_form_output_string(german_current, "10000000", line, &method), '1');
  EXPECT_STREQ(line, "      &name=Bundesbank&zip=10591&location=Berlin");
  EXPECT_EQ(method, 9);

  char unchanged[RESPONSE_SIZE] = "keep";
  EXPECT_EQ(find_blz_and_form_output_string(german_current, "12345678", unchanged, &method), '7');
  EXPECT_STREQ(unchanged, "keep");
}

TEST(BicLookup, SubstitutionsByIbanRule) {
  PLUVAR_ONLY_EDITION(kShippedEdition);
  struct {
    const char *blz;
    const char *bic;
  } cases[] = {
      {"10040000", "COBADEFFXXX"},  // rule 5, fourth digit 4
      {"20041133", "COBADEHD001"},  // rule 5, listed code keeps its own BIC
      {"87080000", "DRESDEFF870"},  // rule 5, fourth digit 8: own BIC
      {"10020200", "BHFBDEFF500"},  // rule 8
      {"25050299", "SPKHDE2HXXX"},  // own BIC empty; rule 28 substitutes 25050180
      {"10000000", "MARKDEF1100"},  // rule 42: own BIC
  };
  for (const auto &c : cases) {
    const char *bic = getBIC_DE(german_current, c.blz);
    ASSERT_NE(bic, nullptr) << c.blz;
    EXPECT_STREQ(bic, c.bic) << c.blz;
  }
  EXPECT_EQ(getBIC_DE(german_current, "12345678"), nullptr);
  EXPECT_EQ(getBIC_DE(german_current, "99999999"), nullptr);
  // A bank without BIC and without a substituting rule: empty, not null.
  const char *empty = getBIC_DE(german_current, "60050009");
  ASSERT_NE(empty, nullptr);
}

TEST(BinarySearchFamily, BoundsAndDuplicates) {
  PLUVAR_ONLY_EDITION(kShippedEdition);
  const uint64_t last = head_DE_size - 1;
  EXPECT_EQ(BinarySearch(head_DE, 0, last, 87096214), static_cast<int64_t>(last));
  EXPECT_EQ(BinarySearch(head_DE, 0, last, 87096215), -1);
  EXPECT_EQ(BinarySearch(head_DE, 0, last, 10000000), 0);
  EXPECT_EQ(BinarySearch(head_DE, 0, last, 9999999), -1);
  EXPECT_EQ(BinarySearch(head_DE, 5, 4, head_DE[5].key), -1);
  EXPECT_EQ(BinarySearch(head_DE, 7, 7, head_DE[7].key), 7);

  // Duplicate keys: the lowest index of the run.
  const Bank_t_BLZ_BIC dup[] = {{1, "A"}, {2, "B"}, {2, "C"}, {2, "D"}, {5, "E"}};
  EXPECT_EQ(BinarySearch(dup, 0, 4, 2), 1);
  EXPECT_EQ(BinarySearch(dup, 0, 4, 5), 4);
  EXPECT_EQ(BinarySearch(dup, 0, 4, 3), -1);
  EXPECT_EQ(BinarySearch(dup, 0, 4, 6), -1);

  // Text keys compare as unsigned bytes; a prefix sorts first.
  const Bank_t_BLZalpha_BIC alpha[] = {{"ABC", "1"}, {"ABCD", "2"}, {"ABZ", "3"}, {"\xc4XY", "4"}};
  EXPECT_EQ(BinarySearchString(alpha, 0, 3, "ABC"), 0);
  EXPECT_EQ(BinarySearchString(alpha, 0, 3, "ABCD"), 1);
  EXPECT_EQ(BinarySearchString(alpha, 0, 3, "\xc4XY"), 3);
  EXPECT_EQ(BinarySearchString(alpha, 0, 3, "AB"), -1);
  EXPECT_EQ(BinarySearchString(alpha, 2, 1, "ABZ"), -1);
  const Bank_t_EU eu[] = {{"AAAAXXXXXXX", 0, 0, 0}, {"ZZZZXXXXXXX", 0, 0, 0}};
  EXPECT_EQ(BinarySearchString(eu, 0, 1, "ZZZZXXXXXXX"), 1);
  EXPECT_EQ(BinarySearchString(eu, 0, 1, "ZZZZXXXXXXY"), -1);
}

// The edition's own counts describe the tables compiled with it.
TEST(GermanTables, EditionCountsMatchTheTables) {
  EXPECT_EQ(l_size, edition_DE.rows);
  EXPECT_EQ(head_DE_size, edition_DE.codes);
  EXPECT_LE(edition_DE.valid_from, edition_DE.valid_to);
  EXPECT_EQ(strlen(edition_DE.sha256), 64u);
}

TEST(GermanTables, SprungIsTheFirstRowOfEachLeadingDigit) {
  for (int d = 0; d < 10; d++) {
    uint32_t first = 0;
    while (first < l_size && l[first].blz[0] - '0' < d) first++;
    if (first == l_size || l[first].blz[0] - '0' != d) first = l_size;
    EXPECT_EQ(static_cast<uint32_t>(Sprung[d]), first) << d;
  }
}

TEST(GermanTables, HeadRecordsStrictlyAscending) {
  for (uint32_t i = 1; i < head_DE_size; i++) ASSERT_LT(head_DE[i - 1].key, head_DE[i].key) << i;
}

// Every bank code of the rows has its head record and every head record its
// rows; the row lookup lands on the code's first row.
TEST(RowLookup, EveryCodeFoundAtItsFirstRow) {
  uint32_t codes = 0;
  for (uint32_t i = 0; i < l_size; i++) {
    bool first = i == 0 || strcmp(l[i - 1].blz, l[i].blz) != 0;
    if (!first) continue;
    codes++;
    ASSERT_EQ(find_blz_row(german_current, l[i].blz), static_cast<int64_t>(i)) << l[i].blz;
    ASSERT_GE(BinarySearch(head_DE, 0, head_DE_size - 1, strtoull(l[i].blz, nullptr, 10)), 0)
        << l[i].blz;
    unsigned char method = 255;
    ASSERT_EQ(find_blz(german_current, l[i].blz, &method), '1');
    EXPECT_EQ(method, l[i].method);
  }
  EXPECT_EQ(codes, head_DE_size);
}

}  // namespace

// The SEPA mode finds the banks that pass their accounts on to a successor
// through the deletion list: every bank whose record names a successor is in
// it, with the same successor.
TEST(GermanTables, EverySuccessorIsOnTheDeletionList) {
  int named = 0;
  for (uint32_t i = 0; i < head_DE_size; i++) {
    const Head_t_SEPA &h = head_DE[i];
    if (h.successor[0] == '\0') continue;
    named++;
    uint32_t successor = 0;
    ASSERT_TRUE(deletion_mark(german_current, static_cast<uint32_t>(h.key), &successor)) << h.code;
    EXPECT_EQ(std::to_string(successor), std::to_string(std::stoul(h.successor))) << h.code;
  }
  EXPECT_GT(named, 0);
}
