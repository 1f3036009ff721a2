// The table searches as they were before the key columns: a halving over the
// records themselves, comparing each record's own key (number or text).  The
// tests keep them as the judge the key-column lookups must agree with, row
// for row.
#ifndef PLUVAR_TESTS_OLD_SEARCH_H
#define PLUVAR_TESTS_OLD_SEARCH_H

#include <cstring>

#include "pluvar.h"

namespace old_search {

// lo and hi are the first and the LAST index to search; the lowest index
// whose record matches, or -1.
template <typename Record, typename Less, typename Equal>
int64_t lower_bound_search(const Record *table, uint64_t lo, uint64_t hi, Less less_than_wanted,
                           Equal equals_wanted) {
  if (lo > hi) return -1;
  while (hi > lo) {
    uint64_t mid = lo + (hi - lo) / 2;
    if (less_than_wanted(table[mid]))
      lo = mid + 1;
    else
      hi = mid;
  }
  return equals_wanted(table[lo]) ? static_cast<int64_t>(lo) : -1;
}

// Byte order with bytes taken as unsigned; a prefix sorts first.
inline int compare_text(const char *a, const char *b) {
  const unsigned char *x = reinterpret_cast<const unsigned char *>(a);
  const unsigned char *y = reinterpret_cast<const unsigned char *>(b);
  while (*x && *x == *y) {
    x++;
    y++;
  }
  return *x - *y;
}

template <typename Record>
int64_t search_numeric(const Record *table, uint64_t lo, uint64_t hi, uint64_t key) {
  return lower_bound_search(
      table, lo, hi, [key](const Record &r) { return r.key < key; },
      [key](const Record &r) { return r.key == key; });
}

template <typename Record>
int64_t search_text(const Record *table, uint64_t lo, uint64_t hi, const char *text,
                    const char *(*key_of)(const Record &)) {
  return lower_bound_search(
      table, lo, hi, [&](const Record &r) { return compare_text(key_of(r), text) < 0; },
      [&](const Record &r) { return compare_text(key_of(r), text) == 0; });
}

}  // namespace old_search

inline int64_t BinarySearch(const Head_t_SEPA *table, uint64_t lo, uint64_t hi, uint64_t key) {
  return old_search::search_numeric(table, lo, hi, key);
}
inline int64_t BinarySearch(const Bank_t_SEPA *table, uint64_t lo, uint64_t hi, uint64_t key) {
  return old_search::search_numeric(table, lo, hi, key);
}
inline int64_t BinarySearch(const Bank_t_BLZ_BIC *table, uint64_t lo, uint64_t hi, uint64_t key) {
  return old_search::search_numeric(table, lo, hi, key);
}
inline int64_t BinarySearchString(const Bank_t_EU *table, uint64_t lo, uint64_t hi,
                                  const char *text) {
  return old_search::search_text<Bank_t_EU>(table, lo, hi, text,
                                            [](const Bank_t_EU &r) -> const char * { return r.bic; });
}
inline int64_t BinarySearchString(const Bank_t_BLZalpha_BIC *table, uint64_t lo, uint64_t hi,
                                  const char *text) {
  return old_search::search_text<Bank_t_BLZalpha_BIC>(
      table, lo, hi, text, [](const Bank_t_BLZalpha_BIC &r) -> const char * { return r.key; });
}
inline int64_t old_search_scl(const char *bic) {
  return old_search::search_text<Bank_t_SCL>(
      list_SCL, 0, list_SCL_size - 1, bic, [](const Bank_t_SCL &r) -> const char * { return r.bic; });
}

namespace old_search {

inline uint64_t decimal_value(const char *text) {
  uint64_t v = 0;
  for (int i = 0; i < 19 && text[i] >= '0' && text[i] <= '9'; i++) v = v * 10 + (text[i] - '0');
  return v;
}

// The first row of a bank code in `l`, halving over the rows from the first
// row of the code's leading digit (Sprung).
inline int64_t find_blz_row(const char *blz) {
  uint64_t key = decimal_value(blz);
  uint32_t lo = 0, hi = l_size;
  if (blz[0] >= '0' && blz[0] <= '9') {
    int32_t start = Sprung[blz[0] - '0'];
    if (start < 0 || static_cast<uint32_t>(start) >= l_size) return -1;
    lo = static_cast<uint32_t>(start);
  }
  while (lo < hi) {
    uint32_t mid = lo + (hi - lo) / 2;
    if (decimal_value(l[mid].blz) < key)
      lo = mid + 1;
    else
      hi = mid;
  }
  if (lo == l_size || decimal_value(l[lo].blz) != key) return -1;
  return static_cast<int64_t>(lo);
}

// The first SCL entry that covers a BIC: its bank's 8-character entry, else
// the BIC's own.
inline int64_t find_scl_entry(const char *bic) {
  if (bic == nullptr || list_SCL_size == 0) return -1;
  const size_t n = strnlen(bic, 12);
  if (n < 8) return -1;
  char bank[9];
  memcpy(bank, bic, 8);
  bank[8] = '\0';
  int64_t i = old_search_scl(bank);
  if (i >= 0 || n != 11) return i;
  return old_search_scl(bic);
}

// The first country record whose code equals the text's first two bytes.
inline const Country_t *find_country(const char *iban) {
  auto compare = [](const char *a, const char *b) {
    int d = static_cast<unsigned char>(a[0]) - static_cast<unsigned char>(b[0]);
    return d != 0 ? d : static_cast<unsigned char>(a[1]) - static_cast<unsigned char>(b[1]);
  };
  uint32_t lo = 0, hi = c_size;
  while (lo < hi) {
    uint32_t mid = lo + (hi - lo) / 2;
    if (compare(c[mid].code, iban) < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  if (lo < c_size && compare(c[lo].code, iban) == 0) return &c[lo];
  return nullptr;
}

}  // namespace old_search

#endif  // PLUVAR_TESTS_OLD_SEARCH_H
