// The program's entry and the account-check request of the default mode.
// The command line itself is judged in Request.cpp.
#include <algorithm>
#include <cstring>

#include "pluvar.h"

namespace {

// The bank fields of a row of `l`: name, postcode, place, and under --json
// the deletion mark of its bank code.
void write_row_fields(Sink &out, const BLZ_Row &r) {
  answer_field(out, "name", r.name);
  answer_field(out, "zip", r.zip);
  answer_field(out, "location", r.place);
  answer_deletion_mark(out, r.blz);
}

}  // namespace

// Looks the bank code up in `l` and appends six blanks (the place of "code="
// and its digit) and the bank's name, zip and place to the response line.
char find_blz_and_form_output_string(const GermanTables &de, const char *blz, char *line,
                                     unsigned char *method) {
  int64_t row = find_blz_row(de, blz);
  if (row < 0) return '7';
  TextCollector text{line, RESPONSE_SIZE, strnlen(line, RESPONSE_SIZE - 1)};
  Sink out;
  sink_init_text(out, text);
  out.german = &de;
  sink_puts(out, "      ");
  write_row_fields(out, de.l[row]);
  sink_finish(out);
  *method = de.l[row].method;
  return '1';
}

// ===== Account-check request =====

namespace {

// Digit values of a digit text, as the check-digit engine takes them.
void digit_values(const char *text, unsigned char *digits, int n) {
  for (int i = 0; i < n; i++) digits[i] = static_cast<unsigned char>(text[i] - '0');
}

bool is_ten_zeros(const char *knr) { return strcmp(knr, "0000000000") == 0; }

// The reason of a check method's code.
Reason check_reason(char code) {
  return code == '1'   ? Reason::valid
         : code == '9' ? Reason::no_check_digit
         : code == '8' ? Reason::method_unknown
                       : Reason::check_digit;
}

// The bank code and account values of the account form: '2' or '3' when
// one is malformed, else '1' with blz and the account left-filled to ten
// digits written.
char account_values(std::string_view b, std::string_view k, char *blz, char *knr) {
  if (!all_digits(b)) return '2';
  if (!all_digits(k)) return '3';
  if (b.size() != BLZ_DE_SIZE - 1) return '2';
  if (k.empty() || k.size() > KNR_DE_SIZE - 1) return '3';
  memcpy(blz, b.data(), b.size());
  blz[b.size()] = '\0';
  const size_t pad = KNR_DE_SIZE - 1 - k.size();
  memset(knr, '0', pad);
  memcpy(knr + pad, k.data(), k.size());
  knr[KNR_DE_SIZE - 1] = '\0';
  return '1';
}

}  // namespace

char extract_numbers(char *query, char *iban, char *blz, char *knr) {
  iban[0] = blz[0] = knr[0] = '\0';
  if (query[0] == '\0') return '6';
  // One pass lowercases the query and counts its separators.  A German IBAN
  // must be written with "DE" after the IBAN key in any letter case: the
  // letters after each "=" are looked at before the pass lowercases them.
  // A key ends in '=', so the keys the query holds anywhere are seen at its
  // '='s, with the three letters before each already lowercased.
  bool capital_de = false, has_ibn = false, has_blz = false, has_knr = false;
  size_t len = 0, amp = 0;
  int amps = 0, eqs = 0;
  for (char *p = query; *p; p++, len++) {
    if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p - 'A' + 'a');
    if (*p == '&') {
      amps++;
      amp = len;
    }
    if (*p == '=') {
      eqs++;
      if (len < 3) continue;
      const bool ibn = p[-3] == 'i' && p[-2] == 'b' && p[-1] == 'n';
      has_ibn |= ibn;
      has_blz |= p[-3] == 'b' && p[-2] == 'l' && p[-1] == 'z';
      has_knr |= p[-3] == 'k' && p[-2] == 'n' && p[-1] == 'r';
      if (ibn && p[1] == 'D' && p[2] == 'E') capital_de = true;
    }
  }
  bool account_form = len > 10 && amps == 1 && eqs == 2 && has_knr && has_blz;
  bool iban_form = len > 4 && amps == 0 && eqs == 1 && has_ibn;
  if (!account_form && !iban_form) return '6';
  if (account_form) {
    // The bulk of requests: the two fields, each its key and value (the
    // query's two '='s are theirs), read where they stand.  Any other
    // shape of the two fields is refused by the general split below.
    const std::string_view first(query, amp), second(query + amp + 1, len - amp - 1);
    if (first.starts_with("knr=") && second.starts_with("blz="))
      return account_values(second.substr(4), first.substr(4), blz, knr);
    if (first.starts_with("blz=") && second.starts_with("knr="))
      return account_values(first.substr(4), second.substr(4), blz, knr);
  }
  static const char *const kKeys[] = {"ibn=", "blz=", "knr="};
  char values[3][QUERY_SIZE];
  if (split_query_keys(query, kKeys, 3, values) != '1') return '6';
  const char *i = values[0], *b = values[1], *k = values[2];
  if (!all_digits(b)) return '2';
  if (!all_digits(k)) return '3';
  size_t ni = strlen(i);
  if (ni >= 2) {
    if (i[0] != 'd' || i[1] != 'e' || !capital_de) return '4';
    if (ni == 2 || !all_digits(i + 2) || ni != IBAN_DE_SIZE - 1) return '4';
    memcpy(iban, i, IBAN_DE_SIZE);
    return '1';
  }
  return account_values(b, k, blz, knr);
}

char account_check(const char *iban, const char *blz_in, const char *knr_in, char allinfo,
                   int method_override, Sink &out) {
  char blz[BLZ_DE_SIZE] = {0}, knr[KNR_DE_SIZE] = {0};
  bool iban_request = iban[0] != '\0';
  bool check_digits_right = true;
  if (iban_request)
    check_digits_right = split_iban_DE(iban, knr, blz) == '1';
  else {
    str_copy(blz, sizeof blz, blz_in);
    str_copy(knr, sizeof knr, knr_in);
  }

  const GermanTables &de = *out.german;
  // One lookup gives the bank's method and its row of `l` for the answer.
  const int64_t bank = find_blz_index(de, blz);
  const bool found = bank >= 0;
  if (found) prefetch_row(de.l[de.head_DE_row[bank]]);
  unsigned char method = found ? de.head_DE_method[bank] : 0;
  if (method_override >= 0) method = static_cast<unsigned char>(method_override);
  unsigned char blz_digits[BLZ_DE_SIZE] = {0};
  GermanIban derived{};
  bool confirmed = false;
  if (found) {
    digit_values(blz, blz_digits, 8);
    // Only the IBAN form and -allinfo answers show or compare the derived
    // IBAN; the plain account check (a batch's bulk) skips the IBAN rule.
    if (check_digits_right && (iban_request || allinfo))
      confirmed = iban_built(build_checked_iban_DE(de, blz, knr, method, derived));
  }

  char code;
  Reason reason;
  const int64_t row = found ? de.head_DE_row[bank] : -1;
  if (row < 0) {
    code = '7';
    reason = Reason::blz_unknown;
  } else {
    if (iban_request) {
      char requested[IBAN_DE_SIZE];
      str_copy(requested, sizeof requested, iban);
      requested[0] = 'D';
      requested[1] = 'E';
      if (!check_digits_right)
        reason = Reason::iban_check_digits;
      else if (!confirmed)
        reason = Reason::iban_not_confirmed;
      else if (strcmp(requested, derived.iban) != 0)
        reason = Reason::iban_not_derived;
      else
        reason = Reason::valid;
      code = reason == Reason::valid ? '1' : '0';
    } else if (is_ten_zeros(knr)) {
      code = '0';  // no account is all zeros; no method is asked
      reason = Reason::ten_zeros;
    } else {
      unsigned char knr_digits[KNR_DE_SIZE] = {0};
      digit_values(knr, knr_digits, 10);
      code = check_knr(blz_digits, knr_digits, method);
      reason = check_reason(code);
    }
  }

  answer_begin(out, code, reason);
  if (row >= 0) write_row_fields(out, de.l[row]);
  if (code == '0' || code == '1' || code == '9') {
    const char *bic = allinfo ? getBIC_DE(de, blz) : nullptr;
    if (iban_request) {
      answer_field(out, "knr", knr);
      answer_field(out, "blz", blz);
    } else if (allinfo && confirmed) {
      answer_field(out, "ibn", derived.iban);
    }
    if (allinfo) answer_field(out, "bic", bic ? bic : "");
  }
  answer_end(out);
  return code;
}

char Account_Main(char *query, char allinfo, Sink &out) {
  char iban[IBAN_DE_SIZE] = {0}, blz[BLZ_DE_SIZE] = {0}, knr[KNR_DE_SIZE] = {0};
  char code = extract_numbers(query, iban, blz, knr);
  if (code != '1') {
    answer_begin(out, code,
                 refusal_reason(code, Reason::blz_malformed, Reason::knr_malformed,
                                Reason::ibn_malformed));
    answer_end(out);
    return code;
  }
  return account_check(iban, blz, knr, allinfo, -1, out);
}

// ===== Plain account checks in bulk =====
//
// A caller that screens a file of accounts needs only the codes.  Checked one
// after the other, nearly every pair jumps to another method than the pair
// before, and the processor, which guesses that jump wrong, throws away the
// work it began ahead, the next pair's bank lookup included.  So a stretch of
// pairs is looked up first (the lookups do not wait on each other and run
// side by side), then checked method by method: within a method the jump and
// the method's own branches are foreseen.  The codes are those of
// `account_check`, as each pair reaches it from the query "knr=..&blz=..".

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
      // Room for every bank at once: the text never moves, and its pages
      // are mapped only as the fields of banks fill them.
      cache.text.clear();
      cache.text.reserve((size_t{de.head_DE_size} + 1) * kBankFieldsBlock);
      cache.text.resize(kBankFieldsBlock);
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
  constexpr size_t kBlzDigits = BLZ_DE_SIZE - 1, kKnrDigits = KNR_DE_SIZE - 1;
  constexpr size_t kKey = 4;  // "knr=", "blz="
  if (read_ten_digit_account_line(line, a)) return true;
  auto digits = [](std::string_view s) {
    size_t n = 0;
    while (n < s.size() && is_digit(static_cast<unsigned char>(s[n]))) n++;
    return n;
  };
  if (line.ends_with('\r')) line.remove_suffix(1);
  std::string_view blz_field, knr_field;
  if (line.starts_with("knr=")) {
    const size_t nk = digits(line.substr(kKey));
    knr_field = line.substr(0, kKey + nk);
    blz_field = line.substr(kKey + nk);
    if (!blz_field.starts_with("&blz=")) return false;
    blz_field.remove_prefix(1);
  } else if (line.starts_with("blz=")) {
    blz_field = line.substr(0, kKey + kBlzDigits);
    knr_field = line.substr(blz_field.size());
    if (!knr_field.starts_with("&knr=")) return false;
    knr_field.remove_prefix(1);
  } else {
    return false;
  }
  blz_field.remove_prefix(kKey);
  knr_field.remove_prefix(kKey);
  if (blz_field.size() != kBlzDigits || digits(blz_field) != kBlzDigits) return false;
  if (knr_field.empty() || knr_field.size() > kKnrDigits || digits(knr_field) != knr_field.size())
    return false;
  a.blz = blz_field.data();
  a.knr = knr_field.data();
  a.knr_len = knr_field.size();
  return true;
}

void answer_account_lines(std::span<const AccountLine> lines, BankFieldsCache &cache, Sink &out) {
  const RequestOptions *saved = out.options;
  const GermanTables *saved_german = out.german;
  out.options = &kDefaultOptions;
  out.german = &german_edition_for(0, out.clock);
  for (size_t at = 0; at < lines.size(); at += kBulkStretch) {
    const size_t n = std::min(kBulkStretch, lines.size() - at);
    answer_account_stretch(*out.german, lines.data() + at, n, cache, out);
  }
  out.options = saved;
  out.german = saved_german;
}

// ===== Process entry =====

#ifndef PLUVAR_NO_ENTRY
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <vector>

#include "Serve.h"

namespace {

// `pluvar serve ...` runs the program pluvar-serve that stands beside this
// one, with the words after "serve".  The server (Asio, Beast, the page)
// lives in a program of its own so that every other request starts a
// process without it: its relocated data and static set-up cost each start
// more than an account check.  Returns only when the program cannot be run.
int start_server_program(int argc, char **argv) {
  char path[4096];
  // The folder's part of path, leaving room for the program's name.
  constexpr size_t kFolderRoom = sizeof path - sizeof SERVE_PROGRAM - 1;
  ssize_t n = readlink("/proc/self/exe", path, kFolderRoom);
  if (n <= 0 || static_cast<size_t>(n) >= kFolderRoom) {
    // Without /proc, the directory argv[0] names, else the search path.
    n = 0;
    const char *slash = strrchr(argv[0], '/');
    if (slash && static_cast<size_t>(slash - argv[0]) < kFolderRoom) {
      n = slash - argv[0] + 1;
      memcpy(path, argv[0], static_cast<size_t>(n));
    }
  }
  while (n > 0 && path[n - 1] != '/') n--;
  memcpy(path + n, SERVE_PROGRAM, sizeof SERVE_PROGRAM);
  std::vector<char *> words = {path};
  for (int i = 2; i < argc; i++) words.push_back(argv[i]);
  words.push_back(nullptr);
  if (n > 0)
    execv(path, words.data());
  else
    execvp(SERVE_PROGRAM, words.data());
  const int error = errno;
  char what[sizeof path + 16] = "cannot run ";
  str_append(what, sizeof what, path);
  report_error("pluvar serve", what, error);
  return SERVE_START_FAILED;
}

// The value of --threads: 1 to kMaxThreads, written as plain digits.
bool thread_count(const char *text, int *threads) {
  const size_t n_digits = strnlen(text, 3);
  if (n_digits == 0 || n_digits > 2 || !all_digits(text)) return false;
  const int n = static_cast<int>(digits_value(text));
  if (n < 1 || n > kMaxThreads) return false;
  *threads = n;
  return true;
}

// `pluvar [OPTION...] --batch [OPTION...]`: --batch among the option words and
// nothing else, with at most one `--threads N` among them.  The other options
// stand before each line's own words.
int run_batch_if_asked(int argc, char **argv) {
  // A one-shot request allocates nothing: the allocator's first use costs a
  // process more than the request.
  bool asked = false;
  for (int i = 1; i < argc && !asked; i++) asked = strcmp(argv[i], "--batch") == 0;
  if (!asked) return -1;
  std::vector<const char *> words = {argv[0]};
  // The batch's own words (--batch, one --threads N) are taken out; a
  // second --threads stays among the options, which refuse it.
  int threads = 1;
  bool threads_given = false;
  for (int i = 1; i < argc; i++) {
    if (strcmp(argv[i], "--batch") == 0) continue;
    if (!threads_given && strcmp(argv[i], "--threads") == 0 && i + 1 < argc &&
        thread_count(argv[i + 1], &threads)) {
      threads_given = true;
      i++;
      continue;
    }
    words.push_back(argv[i]);
  }
  // The request path's option reader knows which options take a value: with
  // a stand-in query after them, it must take every remaining word.
  int n_prefix = static_cast<int>(words.size()) - 1;
  words.push_back("");
  RequestOptions unused;
  OptionError error;
  if (parse_options(n_prefix + 2, words.data(), 1, unused, error) != n_prefix + 1) return -1;
  // A reader that has gone is a failed write, reported like any other
  // rather than ending the process without a word.
  signal(SIGPIPE, SIG_IGN);
  return pluvar_batch(STDIN_FILENO, STDOUT_FILENO, n_prefix, words.data() + 1, threads);
}

}  // namespace

int main(int argc, char **argv) {
  // The serve mode runs an HTTP server; its requests come back through
  // pluvar_run.
  if (argc >= 2 && strcasecmp(argv[1], "serve") == 0) return start_server_program(argc, argv);
  int batch_status = run_batch_if_asked(argc, argv);
  if (batch_status >= 0) return batch_status;
  // One request.  --batch with further words reaches the request path,
  // which refuses it like any unknown option.
  FdOutput output;
  fd_output_init(output, STDOUT_FILENO);
  // The process's one sink lives in static storage: on the stack its 16 kB
  // buffer would push the frames of the request onto stack pages that each
  // cost a fault to map, for an answer that mostly takes a hundred bytes.
  static Sink out;
  sink_init(out, fd_output_flush, &output);
  int status = pluvar_run(argc, argv, out);
  fd_output_finish_answer(out, output);
  // The answer's digit only when every byte of the answer was written.
  if (!fd_output_close(output)) return EXIT_WRITE_FAILED;
  return status;
}
#endif
