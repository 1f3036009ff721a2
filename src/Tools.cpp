// Shared primitives: the output sink, bounded text helpers, the directory
// lookups and (further down) the check-digit primitives and the special
// check procedures.
#include <cstring>

#include "pluvar.h"

// ---------------------------------------------------------------------------
// Output sink
// ---------------------------------------------------------------------------

void sink_init(Sink &out, void (*flush)(void *, const char *, size_t), void *ctx) {
  out.flush = flush;
  out.ctx = ctx;
  out.len = 0;
}

void sink_write(Sink &out, const char *data, size_t len) {
  while (len > 0) {
    if (out.len == sizeof out.buf) {
      out.flush(out.ctx, out.buf, out.len);
      out.len = 0;
    }
    size_t room = sizeof out.buf - out.len;
    size_t n = len < room ? len : room;
    memcpy(out.buf + out.len, data, n);
    out.len += n;
    data += n;
    len -= n;
  }
}

void sink_puts(Sink &out, const char *text) { sink_write(out, text, strlen(text)); }

void sink_finish(Sink &out) {
  if (out.len > 0) out.flush(out.ctx, out.buf, out.len);
  out.len = 0;
}

// ---------------------------------------------------------------------------
// Bounded text helpers
// ---------------------------------------------------------------------------

void str_append(char *dst, size_t cap, const char *src) {
  if (cap == 0) return;
  size_t n = strnlen(dst, cap - 1);
  while (n < cap - 1 && *src) dst[n++] = *src++;
  dst[n] = '\0';
}

void str_copy(char *dst, size_t cap, const char *src) {
  if (cap == 0) return;
  dst[0] = '\0';
  str_append(dst, cap, src);
}

// ---------------------------------------------------------------------------
// Binary-search family.  hi is the last index to search, not one past it, so
// the last record is reachable; on duplicate keys the lowest index wins.
// ---------------------------------------------------------------------------

namespace {

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
int compare_text(const char *a, const char *b) {
  return strcmp(a, b);  // strcmp compares as unsigned char
}

template <typename Record>
int64_t search_numeric(const Record *table, uint64_t lo, uint64_t hi, uint64_t key) {
  return lower_bound_search(
      table, lo, hi, [key](const Record &r) { return r.key < key; },
      [key](const Record &r) { return r.key == key; });
}

}  // namespace

int64_t BinarySearch(const Head_t_SEPA *table, uint64_t lo, uint64_t hi, uint64_t key) {
  return search_numeric(table, lo, hi, key);
}

int64_t BinarySearch(const Bank_t_SEPA *table, uint64_t lo, uint64_t hi, uint64_t key) {
  return search_numeric(table, lo, hi, key);
}

int64_t BinarySearch(const Bank_t_BLZ_BIC *table, uint64_t lo, uint64_t hi, uint64_t key) {
  return search_numeric(table, lo, hi, key);
}

int64_t BinarySearchString(const Bank_t_EU *table, uint64_t lo, uint64_t hi, const char *text) {
  return lower_bound_search(
      table, lo, hi, [text](const Bank_t_EU &r) { return compare_text(r.bic, text) < 0; },
      [text](const Bank_t_EU &r) { return compare_text(r.bic, text) == 0; });
}

int64_t BinarySearchString(const Bank_t_BLZalpha_BIC *table, uint64_t lo, uint64_t hi,
                           const char *text) {
  return lower_bound_search(
      table, lo, hi,
      [text](const Bank_t_BLZalpha_BIC &r) { return compare_text(r.key, text) < 0; },
      [text](const Bank_t_BLZalpha_BIC &r) { return compare_text(r.key, text) == 0; });
}

// ---------------------------------------------------------------------------
// German directory lookups
// ---------------------------------------------------------------------------

// Decimal value of the leading digits of a text (stops at the first
// non-digit, at most 19 digits so the value cannot overflow).
static uint64_t decimal_value(const char *text) {
  uint64_t v = 0;
  for (int i = 0; i < 19 && text[i] >= '0' && text[i] <= '9'; i++) v = v * 10 + (text[i] - '0');
  return v;
}

// Index of the first row of `blz` in `l`, or -1.  The walk starts at the
// first row of the bank code's leading digit; rows are sorted by bank code,
// so the first row not below the key decides.
int64_t find_blz_row(const char *blz) {
  uint64_t key = decimal_value(blz);
  uint32_t row = 0;
  if (blz[0] >= '0' && blz[0] <= '9') {
    int32_t start = Sprung[blz[0] - '0'];
    if (start < 0 || static_cast<uint32_t>(start) >= l_size) return -1;
    row = static_cast<uint32_t>(start);
  }
  for (; row < l_size; row++) {
    uint64_t v = decimal_value(l[row].blz);
    if (v >= key) return v == key ? static_cast<int64_t>(row) : -1;
  }
  return -1;
}

char find_blz(const char *blz, unsigned char *method) {
  int64_t row = find_blz_row(blz);
  if (row < 0) return '7';
  *method = l[row].method;
  return '1';
}

namespace {

struct BicSubstitute {
  uint32_t rule;
  uint64_t blz;
};

// IBAN rules under which a bank's BIC is that of another bank code.
const BicSubstitute kBicSubstitutes[] = {
    {5, 50040000},  {8, 50020200},  {9, 68351557},  {10, 50050201}, {12, 50050000},
    {13, 30050000}, {14, 30060601}, {19, 50120383}, {21, 36020030}, {25, 60050101},
    {28, 25050180}, {36, 21050000}, {37, 30010700}, {38, 28590075}, {39, 28020050},
    {40, 68052328}, {41, 50060400}, {43, 66650085}, {45, 50210130}, {46, 31010833},
    {48, 36010200}, {50, 28550000}, {52, 60050101}, {55, 25410200}, {57, 66010200},
};

// Commerzbank codes under rule 5 that keep their own BIC.
const char *const kRule5OwnBic[] = {"20041111", "20041122", "20041133", "20041144", "20041155",
                                    "20041166", "20041177", "20041188", "20041199"};

bool rule5_substitutes(const char *blz) {
  if (strnlen(blz, 4) < 4 || blz[3] != '4') return false;
  for (const char *own : kRule5OwnBic)
    if (strcmp(blz, own) == 0) return false;
  return true;
}

}  // namespace

const char *getBIC_DE(const char *blz) {
  int64_t i = BinarySearch(head_DE, 0, head_DE_size - 1, decimal_value(blz));
  if (i < 0) return nullptr;
  const Head_t_SEPA *rec = &head_DE[i];
  for (const BicSubstitute &s : kBicSubstitutes) {
    if (s.rule != rec->iban_rule) continue;
    if (s.rule == 5 && !rule5_substitutes(blz)) break;
    int64_t j = BinarySearch(head_DE, 0, head_DE_size - 1, s.blz);
    // A substitute missing from this edition: no BIC rather than a wrong one.
    if (j < 0) return nullptr;
    rec = &head_DE[j];
    break;
  }
  return rec->bic;
}

// ===== Check-digit primitives and special check procedures =====

// ===== European directory lookups =====

// The SCL directory lists a bank either by its 8-character BIC, which stands
// for all of its branches, or by one branch's 11-character BIC.  The list is
// scanned from the start and sorted in byte order, so where a bank is listed
// both ways its 8-character entry (a prefix sorts first) decides.
int64_t find_scl_entry(const char *bic) {
  if (bic == nullptr || bic[0] == '\0') return -1;
  for (uint32_t i = 0; i < list_SCL_size; i++) {
    const char *entry = list_SCL[i].bic;
    const bool whole_bank = strnlen(entry, 9) == 8;
    if (whole_bank ? strncmp(bic, entry, 8) == 0 : strcmp(bic, entry) == 0) return i;
  }
  return -1;
}
