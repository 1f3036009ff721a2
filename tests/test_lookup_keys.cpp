// The key-column lookups against the searches they replace: for every key of
// every table and for its neighbours, the same row (or the same miss) as the
// halving over the records themselves (old_search.h), and the generated key
// columns agree with the records they stand beside.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "old_search.h"
#include "pluvar.h"

namespace {

std::string eight_digits(uint64_t v) {
  char text[24];
  snprintf(text, sizeof text, "%08llu", static_cast<unsigned long long>(v));
  return text;
}

// The texts a German bank code may meet a lookup as: itself, its numeric
// neighbours, and the malformed forms a query can carry.
std::vector<std::string> bank_code_texts(uint64_t code) {
  std::string t = eight_digits(code);
  return {t,           eight_digits(code - 1), eight_digits(code + 1), "0" + t,
          t + "x",     t + "0",                t.substr(0, 7),         "x" + t,
          t.substr(1), ""};
}

TEST(GermanKeys, ColumnsStandBesideTheirRecords) {
  for (uint32_t i = 0; i < head_DE_size; i++) {
    ASSERT_EQ(head_DE_key[i], head_DE[i].key) << i;
    const uint32_t row = head_DE_row[i];
    ASSERT_LT(row, l_size);
    ASSERT_STREQ(l[row].blz, head_DE[i].code);
    if (row > 0) {
      ASSERT_STRNE(l[row - 1].blz, head_DE[i].code);  // the bank code's first row
    }
    ASSERT_EQ(head_DE_method[i], l[row].method) << head_DE[i].code;
    ASSERT_EQ(head_DE_rule[i], head_DE[i].iban_rule) << head_DE[i].code;
  }
}

// Every bank code stands in exactly one slot, with its own index and
// method, and that slot is one of the two a lookup reads.
TEST(GermanKeys, SlotsHoldEveryBankCodeOnce) {
  const uint32_t n_slots = uint32_t{1} << head_DE_hash_bits;
  ASSERT_GE(n_slots, 2 * head_DE_size);
  std::vector<int> seen(head_DE_size, 0);
  for (uint32_t at = 0; at < n_slots; at++) {
    const uint64_t slot = head_DE_slot[at];
    if (slot == 0) continue;
    const uint32_t code = static_cast<uint32_t>(slot);
    const uint32_t i = static_cast<uint32_t>(slot >> 32 & 0xFFFF);
    ASSERT_LT(i, head_DE_size);
    ASSERT_EQ(code, head_DE_key[i]) << at;
    ASSERT_EQ(slot >> 48, head_DE_method[i]) << at;
    seen[i]++;
    const uint32_t shift = 32 - head_DE_hash_bits;
    ASSERT_TRUE(at == (code * head_DE_hash_multiplier) >> shift ||
                at == (code * head_DE_hash_second_multiplier) >> shift)
        << code;
  }
  for (uint32_t i = 0; i < head_DE_size; i++) ASSERT_EQ(seen[i], 1) << head_DE[i].code;
}

TEST(GermanKeys, EveryCodeAndItsNeighboursAsBefore) {
  const uint64_t last = head_DE_size - 1;
  for (uint32_t i = 0; i < head_DE_size; i++) {
    for (uint64_t k : {head_DE[i].key - 1, head_DE[i].key, head_DE[i].key + 1}) {
      ASSERT_EQ(head_DE_index(german_current, k), BinarySearch(head_DE, 0, last, k)) << k;
    }
    for (const std::string &t : bank_code_texts(head_DE[i].key)) {
      const int64_t want = old_search::find_blz_row(t.c_str());
      ASSERT_EQ(find_blz_row(german_current, t.c_str()), want) << t;
      unsigned char method = 255;
      ASSERT_EQ(find_blz(german_current, t.c_str(), &method), want < 0 ? '7' : '1') << t;
      if (want >= 0) {
        ASSERT_EQ(method, l[want].method) << t;
      }
    }
  }
  for (uint64_t k : {uint64_t{0}, uint64_t{UINT32_MAX}, uint64_t{UINT32_MAX} + 1 + 10000000,
                     uint64_t{99999999999}}) {
    EXPECT_EQ(head_DE_index(german_current, k), -1) << k;
  }
}

// Random eight-digit texts, nearly all of them no bank code: their walks
// through the slots end at an empty slot or after the most probes.
TEST(GermanKeys, RandomCodesAsBefore) {
  uint64_t state = 0x9E3779B97F4A7C15ull;
  for (int n = 0; n < 200000; n++) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    const std::string t = eight_digits(10000000 + state % 90000000);
    ASSERT_EQ(find_blz_row(german_current, t.c_str()), old_search::find_blz_row(t.c_str())) << t;
  }
}

// A numeric key column and its table: every key and its neighbours.
template <typename Record>
void expect_numeric_column(const char *name, const Record *table, uint32_t size,
                           const KeyColumn32 &column) {
  SCOPED_TRACE(name);
  ASSERT_GT(size, 0u);
  ASSERT_EQ(column.size, size);
  for (uint32_t i = 0; i < size; i++) {
    ASSERT_EQ(column.keys[i], table[i].key) << i;
    for (uint64_t k : {table[i].key - 1, table[i].key, table[i].key + 1}) {
      ASSERT_EQ(find_number(column, k), BinarySearch(table, 0, size - 1, k)) << k;
    }
  }
  EXPECT_EQ(find_number(column, uint64_t{1} << 32 | table[0].key), -1);
  KeyColumn32 empty = column;
  empty.size = 0;
  EXPECT_EQ(find_number(empty, table[0].key), -1);  // an empty table finds nothing
}

TEST(ForeignKeys, HeadAndBranchTables) {
  expect_numeric_column("head_AT", head_AT, head_AT_size, head_AT_column);
  expect_numeric_column("head_BE", head_BE, head_BE_size, head_BE_column);
  expect_numeric_column("head_CH", head_CH, head_CH_size, head_CH_column);
  expect_numeric_column("head_CZ", head_CZ, head_CZ_size, head_CZ_column);
  expect_numeric_column("head_ES", head_ES, head_ES_size, head_ES_column);
  expect_numeric_column("head_SK", head_SK, head_SK_size, head_SK_column);
  expect_numeric_column("bank_BE", bank_BE, bank_BE_size, bank_BE_column);
  expect_numeric_column("bank_CH", bank_CH, bank_CH_size, bank_CH_column);
}

// A four-letter key column: every key, the texts next to it in byte order,
// and the texts of other lengths that a short or long IBAN would cut out.
void expect_alpha_column(const char *name, const Bank_t_BLZalpha_BIC *table, uint32_t size,
                         const KeyColumn32 &column) {
  SCOPED_TRACE(name);
  ASSERT_GT(size, 0u);
  ASSERT_EQ(column.size, size);
  for (uint32_t i = 0; i < size; i++) {
    const std::string key = table[i].key;
    std::string lower = key, higher = key;
    lower[3] = static_cast<char>(lower[3] - 1);
    higher[3] = static_cast<char>(higher[3] + 1);
    for (const std::string &t : {key, lower, higher, key.substr(0, 3), key + "A", std::string()}) {
      ASSERT_EQ(find_alpha(column, t.c_str()), BinarySearchString(table, 0, size - 1, t.c_str()))
          << t;
    }
  }
}

TEST(BicTableKeys, EveryTableEveryKey) {
#define PLUVAR_NUMERIC_BIC_TABLE(CC) \
  expect_numeric_column("list_BLZ_BIC_" #CC, list_BLZ_BIC_##CC, list_BLZ_BIC_##CC##_size, \
                        list_BLZ_BIC_##CC##_column);
#define PLUVAR_ALPHA_BIC_TABLE(CC) \
  expect_alpha_column("list_BLZ_BIC_" #CC, list_BLZ_BIC_##CC, list_BLZ_BIC_##CC##_size, \
                      list_BLZ_BIC_##CC##_column);
  PLUVAR_BIC_TABLES(PLUVAR_ALPHA_BIC_TABLE, PLUVAR_NUMERIC_BIC_TABLE)
#undef PLUVAR_NUMERIC_BIC_TABLE
#undef PLUVAR_ALPHA_BIC_TABLE
}

// Each key's row stands in one of its two slots, once, and no slot names a
// row past its table: read as the generator's description, independently of
// the lookup.
template <typename Key>
void expect_hashed_rows(const char *name, const KeyColumn<Key> &c) {
  SCOPED_TRACE(name);
  ASSERT_GE(c.bits, 1u);
  const uint64_t slots = uint64_t{1} << c.bits;
  ASSERT_GE(slots, 2 * uint64_t{c.size});
  std::vector<int> seen(c.size, 0);
  for (uint64_t at = 0; at < slots; at++) {
    if (c.rows[at] == 0) continue;
    const uint32_t row = c.rows[at] - 1;
    ASSERT_LT(row, c.size);
    const uint64_t key = c.keys[row];
    ASSERT_TRUE(at == (key * c.first) >> (64 - c.bits) || at == (key * c.second) >> (64 - c.bits))
        << key;
    seen[row]++;
  }
  for (uint32_t i = 0; i < c.size; i++) ASSERT_EQ(seen[i], 1) << i;
}

TEST(HashedKeys, EveryRowInOneOfItsSlots) {
  expect_hashed_rows("head_AT", head_AT_column);
  expect_hashed_rows("bank_CH", bank_CH_column);
  expect_hashed_rows("list_EU", list_EU_column);
  expect_hashed_rows("list_SCL", list_SCL_column);
#define PLUVAR_BIC_TABLE(CC) expect_hashed_rows("list_BLZ_BIC_" #CC, list_BLZ_BIC_##CC##_column);
  PLUVAR_BIC_TABLES(PLUVAR_BIC_TABLE, PLUVAR_BIC_TABLE)
#undef PLUVAR_BIC_TABLE
}

// The BICs next to a BIC: its last character one step down and up, its bank
// (8 characters), the bank's head office, and forms no table holds.
std::vector<std::string> bic_neighbours(const std::string &bic) {
  std::vector<std::string> out = {bic, bic.substr(0, 8), bic.substr(0, 8) + "XXX",
                                  bic.substr(0, 7), bic + "X", bic.substr(0, 10)};
  for (int step : {-1, +1}) {
    std::string b = bic;
    b.back() = static_cast<char>(b.back() + step);
    out.push_back(b);
  }
  std::string lower = bic;
  lower[0] = static_cast<char>(lower[0] | 0x20);
  out.push_back(lower);
  return out;
}

TEST(BicDirectoryKeys, EveryBicAndItsNeighbours) {
  const uint64_t last = list_EU_size - 1;
  for (uint32_t i = 0; i < list_EU_size; i++) {
    uint64_t key = 0;
    ASSERT_TRUE(bic_key(list_EU[i].bic, &key)) << list_EU[i].bic;
    ASSERT_EQ(list_EU_key[i], key) << list_EU[i].bic;
    for (const std::string &b : bic_neighbours(list_EU[i].bic)) {
      ASSERT_EQ(find_bic(list_EU_column, b.c_str()),
                BinarySearchString(list_EU, 0, last, b.c_str()))
          << b;
    }
  }
}

TEST(SclKeys, EveryEntryAndItsNeighbours) {
  for (uint32_t i = 0; i < list_SCL_size; i++) {
    uint64_t key = 0;
    ASSERT_TRUE(bic_key(list_SCL[i].bic, &key)) << list_SCL[i].bic;
    ASSERT_EQ(list_SCL_key[i], key) << list_SCL[i].bic;
    for (const std::string &b : bic_neighbours(list_SCL[i].bic)) {
      ASSERT_EQ(find_scl_entry(b.c_str()), old_search::find_scl_entry(b.c_str())) << b;
    }
  }
}

// Every pair of bytes as a country code.
TEST(CountryKeys, EveryTwoBytesAsBefore) {
  for (int a = 0; a < 256; a++) {
    for (int b = 0; b < 256; b++) {
      const char text[3] = {static_cast<char>(a), static_cast<char>(b), '\0'};
      ASSERT_EQ(find_country(text), old_search::find_country(text)) << a << " " << b;
    }
  }
}

TEST(BicKey, OrderOfTheTextsAndOnlyBics) {
  uint64_t a = 0, b = 0;
  ASSERT_TRUE(bic_key("ABCDDEFF", &a));
  ASSERT_TRUE(bic_key("ABCDDEFF000", &b));
  EXPECT_LT(a, b);  // the bank sorts before its branches, as its prefix does
  ASSERT_TRUE(bic_key("ABCDDEFF999", &a));
  ASSERT_TRUE(bic_key("ABCDDEFFAAA", &b));
  EXPECT_LT(a, b);  // digits before capitals, as in byte order
  ASSERT_TRUE(bic_key("ZZZZZZZZZZZ", &a));
  EXPECT_LT(a, UINT64_MAX / 2);
  uint64_t untouched = 7;
  for (const char *bad : {"", "ABCDDEF", "ABCDDEFF0", "ABCDDEFF0000", "abcdDEFFXXX", "ABCD-EFFXXX",
                          "ABCDDEFF\xc4XX"}) {
    EXPECT_FALSE(bic_key(bad, &untouched)) << bad;
  }
  EXPECT_EQ(untouched, 7u);
}

}  // namespace
