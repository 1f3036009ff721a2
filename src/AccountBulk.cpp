// Account checks in bulk: the library's pluvar_check_accounts (codes only)
// and the batch's runs of plain account lines (whole answers).
//
// Checked one after the other, nearly every pair jumps to another method than the pair
// before, and the processor, which guesses that jump wrong, throws away the
// work it began ahead, the next pair's bank lookup included.  So a stretch of
// pairs is looked up first (the lookups do not wait on each other and run
// side by side), then checked method by method: within a method the jump and
// the method's own branches are foreseen.  The codes are those of
// `account_check`, as each pair reaches it from the query "knr=..&blz=..".
#include <algorithm>
#include <cstring>
#include <new>

#include "pluvar.h"

namespace {

// A stretch's digits stay in the fast caches between the two passes.
constexpr size_t kBulkStretch = 512;
constexpr unsigned kMethodBytes = 256;

// A pair of the stretch as its checks read it.
struct PlainAccount {
  unsigned char blz[BLZ_DE_SIZE - 1];
  unsigned char knr[KNR_DE_SIZE - 1];  // left-filled with zeros
  unsigned char method;
};

// Eight bytes from a word, the lowest first (digit values, one a byte).
inline void store_word(unsigned char *to, uint64_t word) {
  for (int j = 0; j < 8; j++) to[j] = static_cast<unsigned char>(word >> (8 * j));
}

// The digit values of eight bank-code digits and of 1 to 10 account digits,
// which the caller has found to be digits; returns the bank code's value.
// Eight digits read as one word give the bank code's value and, less eight
// '0's, its digit values.
uint32_t read_digit_values(const char *blz, const char *knr, size_t nk, PlainAccount &p) {
  constexpr uint64_t kZeros = 0x3030303030303030ULL;  // eight '0' characters
  uint64_t chars;
  memcpy(&chars, blz, sizeof chars);
  const uint64_t code = eight_digits_value(chars);
  store_word(p.blz, chars - kZeros);
  if (nk == KNR_DE_SIZE - 1) {
    memcpy(&chars, knr, sizeof chars);
    store_word(p.knr, chars - kZeros);
    p.knr[8] = static_cast<unsigned char>(knr[8] - '0');
    p.knr[9] = static_cast<unsigned char>(knr[9] - '0');
  } else {
    const size_t pad = KNR_DE_SIZE - 1 - nk;
    for (size_t j = 0; j < KNR_DE_SIZE - 1; j++)
      p.knr[j] = j < pad ? 0 : static_cast<unsigned char>(knr[j - pad] - '0');
  }
  // Eight digits fit.  No bank code begins with 0 (the generator refuses
  // them), so a value below 10,000,000 finds no bank, as its text would not.
  return static_cast<uint32_t>(code);
}

// Reads a pair of eight digits and one to ten digits, the values the query's
// path hands on unchanged to the account check; false for any other pair.
// The texts are read up to their first non-digit, never past their end.
bool read_plain_account(const AccountText &a, PlainAccount &p, uint32_t *code) {
  if (a.blz == nullptr || a.knr == nullptr) return false;
  for (size_t j = 0; j < BLZ_DE_SIZE - 1; j++)
    if (!is_digit(static_cast<unsigned char>(a.blz[j]))) return false;
  if (a.blz[BLZ_DE_SIZE - 1] != '\0') return false;
  size_t nk = 0;
  while (nk < KNR_DE_SIZE && is_digit(static_cast<unsigned char>(a.knr[nk]))) nk++;
  if (nk == 0 || nk == KNR_DE_SIZE || a.knr[nk] != '\0') return false;
  *code = read_digit_values(a.blz, a.knr, nk, p);
  return true;
}

bool all_zero(const unsigned char (&digits)[KNR_DE_SIZE - 1]) {
  unsigned char any = 0;
  for (unsigned char d : digits) any |= d;
  return any == 0;
}

// Looks up the bank codes of a stretch of at most kBulkStretch read pairs
// and checks the pairs of known banks method by method.  slots[i] is the
// bank's slot, or 0 for an unknown bank, whose codes[i] is left as it is.
// The lookups run in a loop of their own, short enough for the processor to
// have many of them under way at once.
void check_stretch(const GermanTables &de, PlainAccount *plain, const uint32_t *bank_code,
                   size_t n, char *codes, uint64_t *slots) {
  uint16_t first[kMethodBytes + 1] = {0};  // counts, then where each method begins
  uint16_t order[kBulkStretch];
  size_t total = 0;
  for (size_t i = 0; i < n; i++) {
    slots[i] = head_DE_slot_of(de, bank_code[i]);
    const bool found = slots[i] != 0;
    plain[i].method = slot_method(slots[i]);
    first[plain[i].method + 1] += found;
    total += found;
  }
  for (unsigned m = 0; m < kMethodBytes; m++) first[m + 1] += first[m];
  for (size_t i = 0; i < n; i++)
    if (slots[i] != 0) order[first[plain[i].method]++] = static_cast<uint16_t>(i);
  for (size_t k = 0; k < total; k++) {
    PlainAccount &p = plain[order[k]];
    // No account is all zeros; no method is asked.
    codes[order[k]] = all_zero(p.knr) ? '0' : check_knr(p.blz, p.knr, p.method);
  }
}

void plain_account_stretch(const GermanTables &de, const AccountText *accounts, size_t n,
                           char *codes) {
  PlainAccount plain[kBulkStretch];
  uint32_t bank_code[kBulkStretch];  // 0, no bank's, for a pair that is not plain
  uint64_t slots[kBulkStretch];
  for (size_t i = 0; i < n; i++) {
    bank_code[i] = 0;
    const bool is_plain = read_plain_account(accounts[i], plain[i], &bank_code[i]);
    codes[i] = is_plain ? '7' : kNotPlainAccount;
  }
  check_stretch(de, plain, bank_code, n, codes, slots);
}

// Writes the bank fields of the row of bank `index` (in head_DE) as they
// stand in the cache, adding them on first use; without memory for them,
// from the row.  The fields of all banks together take less room than
// their rows, so more of them stay in the fast caches.
void write_bank_fields(const GermanTables &de, size_t index, BankFieldsCache &cache, Sink &out) {
  const BLZ_Row &row = de.l[de.head_DE_row[index]];
  try {
    if (cache.edition != &de) {
      cache.edition = nullptr;
      cache.at.assign(de.head_DE_size, 0);
      cache.text.assign(kBankFieldsBlock, '\0');
      cache.used = 0;
      cache.edition = &de;
    }
    uint32_t at = cache.at[index];
    if (at == 0) {
      char fields[kBankFieldsBlock];
      TextCollector collected{fields, sizeof fields, 0};
      Sink text;
      sink_init_text(text, collected);
      text.german = &de;
      write_row_fields(text, row);
      sink_finish(text);
      // The length takes the low byte, the offset the rest: room for far
      // more banks than an edition holds.  Fields the block cannot hold
      // whole (none is so long) are not kept.
      constexpr size_t kMaxOffset = (size_t{1} << 24) - 1;
      if (collected.len == 0 || collected.len + 1 >= sizeof fields || cache.used > kMaxOffset)
        return write_row_fields(out, row);
      cache.text.resize(cache.used + collected.len + kBankFieldsBlock);
      memcpy(cache.text.data() + cache.used, fields, collected.len);
      at = static_cast<uint32_t>(cache.used << 8 | collected.len);
      cache.used += collected.len;
      cache.at[index] = at;
    }
    sink_write_block<kBankFieldsBlock>(out, cache.text.data() + (at >> 8), at & 0xFF);
  } catch (const std::bad_alloc &) {
    cache.edition = nullptr;
    write_row_fields(out, row);
  }
}

// The answers of a stretch of account lines, each followed by LF.
void answer_account_stretch(const GermanTables &de, const AccountLine *lines, size_t n,
                            BankFieldsCache &cache, Sink &out) {
  PlainAccount plain[kBulkStretch];
  uint32_t bank_code[kBulkStretch] = {};  // each written below; the compiler cannot tell
  uint64_t slots[kBulkStretch];
  char codes[kBulkStretch];
  for (size_t i = 0; i < n; i++) {
    bank_code[i] = read_digit_values(lines[i].blz, lines[i].knr, lines[i].knr_len, plain[i]);
    codes[i] = '7';
  }
  check_stretch(de, plain, bank_code, n, codes, slots);
  // The kept fields of the banks lie anywhere in a store larger than the
  // fastest caches: each is asked for a few answers ahead of its own.
  constexpr size_t kAhead = 8;
  auto ask_ahead = [&](size_t i) {
    if (i < n && slots[i] != 0 && cache.edition == &de) {
      const char *at = cache.text.data() + (cache.at[slot_head_index(slots[i])] >> 8);
      __builtin_prefetch(at);
      __builtin_prefetch(at + kBankFieldsBlock - 1);
    }
  };
  for (size_t i = 0; i < kAhead; i++) ask_ahead(i);
  for (size_t i = 0; i < n; i++) {
    ask_ahead(i + kAhead);
    if (slots[i] == 0) {
      answer_begin(out, '7', Reason::blz_unknown);
    } else {
      const bool ten_zeros = codes[i] == '0' && all_zero(plain[i].knr);
      answer_begin(out, codes[i], ten_zeros ? Reason::ten_zeros : check_reason(codes[i]));
      write_bank_fields(de, slot_head_index(slots[i]), cache, out);
    }
    answer_end(out);
    sink_write(out, "\n", 1);
  }
}

// Most lines carry ten account digits, "knr=" 10 "&blz=" 8 or "blz=" 8
// "&knr=" 10: their digits are tested eight at a time.
bool read_ten_digit_account_line(std::string_view line, AccountLine &a) {
  constexpr size_t kLength = 27;
  if (line.size() != kLength) return false;
  const char *p = line.data();
  auto digits8 = [p](size_t at) {
    uint64_t chars;
    memcpy(&chars, p + at, sizeof chars);
    return eight_digits(chars);
  };
  auto digit = [p](size_t at) { return is_digit(static_cast<unsigned char>(p[at])); };
  if (memcmp(p, "knr=", 4) == 0 && memcmp(p + 14, "&blz=", 5) == 0) {
    if (!digits8(4) || !digit(12) || !digit(13) || !digits8(19)) return false;
    a.knr = p + 4;
    a.blz = p + 19;
  } else if (memcmp(p, "blz=", 4) == 0 && memcmp(p + 12, "&knr=", 5) == 0) {
    if (!digits8(4) || !digits8(17) || !digit(25) || !digit(26)) return false;
    a.blz = p + 4;
    a.knr = p + 17;
  } else {
    return false;
  }
  a.knr_len = KNR_DE_SIZE - 1;
  return true;
}

}  // namespace

void plain_account_codes(const GermanTables &de, std::span<const AccountText> accounts,
                         char *codes) {
  for (size_t at = 0; at < accounts.size(); at += kBulkStretch) {
    const size_t n = std::min(kBulkStretch, accounts.size() - at);
    plain_account_stretch(de, accounts.data() + at, n, codes + at);
  }
}

bool read_account_line(std::string_view line, AccountLine &a) {
  if (read_ten_digit_account_line(line, a)) return true;
  if (line.ends_with('\r')) line.remove_suffix(1);
  const size_t amp = line.find('&');
  if (amp == std::string_view::npos) return false;
  const std::string_view first = line.substr(0, amp), second = line.substr(amp + 1);
  std::string_view blz, knr;
  if (first.starts_with("knr=") && second.starts_with("blz=")) {
    knr = first.substr(4);
    blz = second.substr(4);
  } else if (first.starts_with("blz=") && second.starts_with("knr=")) {
    blz = first.substr(4);
    knr = second.substr(4);
  } else {
    return false;
  }
  if (blz.size() != BLZ_DE_SIZE - 1 || knr.empty() || knr.size() > KNR_DE_SIZE - 1 ||
      !all_digits(blz) || !all_digits(knr))
    return false;
  a.blz = blz.data();
  a.knr = knr.data();
  a.knr_len = knr.size();
  return true;
}

void answer_account_lines(const GermanTables &de, std::span<const AccountLine> lines,
                          BankFieldsCache &cache, Sink &out) {
  const RequestOptions *saved = out.options;
  const GermanTables *saved_german = out.german;
  out.options = &kDefaultOptions;
  out.german = &de;
  for (size_t at = 0; at < lines.size(); at += kBulkStretch) {
    const size_t n = std::min(kBulkStretch, lines.size() - at);
    answer_account_stretch(de, lines.data() + at, n, cache, out);
  }
  out.options = saved;
  out.german = saved_german;
}
