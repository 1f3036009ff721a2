// SEPA mode: validates an IBAN of any country of the country table by its
// structure, its ISO 13616 check digits and its national account check (the
// rules are in National.cpp); resolves bank and BIC through the national
// directories, the bank-code-to-BIC tables and the European BIC directory,
// compares a given BIC and reports the SEPA reachability flags.
#include <cstring>

#include "pluvar.h"

namespace {

constexpr size_t kIbanMax = SEPA_IBAN_SIZE - 1;   // 34 characters
constexpr size_t kFormatSize = sizeof(Country_t::format);
constexpr size_t kBicLong = SEPA_BIC_SIZE - 1;     // 11 characters
constexpr size_t kBicShort = 8;                    // bank without branch
constexpr int kMaxFields = 3;

bool is_upper(unsigned char ch) { return ch >= 'A' && ch <= 'Z'; }
bool is_lower(unsigned char ch) { return ch >= 'a' && ch <= 'z'; }

// A piece of the query, not terminated.
struct Span {
  const char *p;
  size_t n;
};

bool span_starts_with(Span s, const char *key) {
  size_t k = strlen(key);
  return s.n >= k && memcmp(s.p, key, k) == 0;
}

// First occurrence of `key` in the first n characters of `text`, or null.
// Queries are short: a plain walk costs less than a library search's start.
const char *find_in(const char *text, size_t n, const char *key) {
  size_t k = strlen(key);
  for (size_t i = 0; i + k <= n; i++) {
    size_t j = 0;
    while (j < k && text[i + j] == key[j]) j++;
    if (j == k) return text + i;
  }
  return nullptr;
}

// ===== Parsing =====

// The spelling of the IBAN key that stands at t, numbered in the order in
// which the spellings are tried: "ibn=" 0, "ibN=" 1, "iBn=" 2, "iBN=" 3,
// "Ibn=" 4, "IbN=" 5, "IBn=" 6, "IBN=" 7 (a capital sets the letter's bit).
// -1 when the key does not stand there.
int key_spelling_at(const char *t) {
  static const char kLower[] = "ibn";
  static const char kUpper[] = "IBN";
  if (t[3] != '=') return -1;
  int spelling = 0;
  for (int j = 0; j < 3; j++) {
    spelling <<= 1;
    if (t[j] == kUpper[j])
      spelling |= 1;
    else if (t[j] != kLower[j])
      return -1;
  }
  return spelling;
}

// The IBAN key may be written in any letter case, but its country code must
// be written in capitals; that can only be seen before the query is turned to
// capitals.  The spellings are tried in their order and the first occurrence
// of the first spelling found decides.
bool country_code_in_capitals(const char *query, size_t n) {
  constexpr int kSpellings = 8;
  const char *first_at[kSpellings] = {};
  for (size_t i = 0; i + 4 <= n; i++) {
    int s = key_spelling_at(query + i);
    if (s >= 0 && first_at[s] == nullptr) first_at[s] = query + i;
  }
  for (const char *at : first_at)
    if (at) return is_upper(at[4]) && is_upper(at[5]);  // at[4] is NUL at the latest
  return false;
}

bool bic_well_formed(Span bic) {
  if (bic.n != kBicShort && bic.n != kBicLong) return false;
  for (size_t i = 0; i < bic.n; i++)
    if (!is_digit(bic.p[i]) && !is_upper(bic.p[i])) return false;
  return true;
}

bool iban_well_formed(Span iban, bool letters_allowed) {
  if (iban.p == nullptr || iban.n == 0 || iban.n > kIbanMax) return false;
  for (size_t i = 0; i < iban.n; i++) {
    unsigned char ch = iban.p[i];
    if (!is_digit(ch) && !(letters_allowed && is_upper(ch))) return false;
  }
  return true;
}

// An absent value (null, length 0) copies as the empty text.
void copy_span(char *dst, Span s) {
  if (s.n > 0) memcpy(dst, s.p, s.n);
  dst[s.n] = '\0';
}

// ===== Structure =====

}  // namespace

// The record of the country table with the IBAN's country code, found by
// its two letters (c_by_letters).  Codes are two capitals, so an IBAN that
// begins otherwise names no country; an empty one ends at its first byte.
const Country_t *find_country(const char *iban) {
  const unsigned first = static_cast<unsigned char>(iban[0]) - 'A';
  if (first >= 26) return nullptr;
  const unsigned second = static_cast<unsigned char>(iban[1]) - 'A';
  if (second >= 26) return nullptr;
  const unsigned row = c_by_letters[first * 26 + second];
  return row == 0 || row > c_size ? nullptr : &c[row - 1];
}

namespace {

// Character classes of the SWIFT IBAN format notation.
bool is_letter_or_digit(unsigned char ch) { return is_upper(ch) || is_lower(ch) || is_digit(ch); }
bool is_space(unsigned char ch) { return ch == ' '; }

enum class CharClass : uint8_t { Digit, Capital, Alphanumeric, Space, Unknown };

struct FormatType {
  char letter;
  CharClass chars;
};

const FormatType kFormatTypes[] = {
    {'n', CharClass::Digit},
    {'a', CharClass::Capital},
    {'c', CharClass::Alphanumeric},
    {'e', CharClass::Space},
};

CharClass format_type(char letter) {
  for (const FormatType &t : kFormatTypes)
    if (t.letter == letter) return t.chars;
  return CharClass::Unknown;
}

bool in_class(unsigned char ch, CharClass chars) {
  switch (chars) {
    case CharClass::Digit:
      return is_digit(ch);
    case CharClass::Capital:
      return is_upper(ch);
    case CharClass::Alphanumeric:
      return is_letter_or_digit(ch);
    case CharClass::Space:
      return is_space(ch);
    case CharClass::Unknown:
      break;
  }
  return false;
}

// ===== Check digits and national checks =====

// The German check reads fixed positions; a shorter IBAN cannot pass it.
bool has_length(const char *iban, size_t needed) { return strnlen(iban, needed) == needed; }

// ===== Bank and BIC resolution =====

// Where a country's bank is looked up.  The first seven countries have a
// national directory (Germany its own), the next 29 a bank-code-to-BIC table
// keyed by number or by four letters; every other country is resolved through
// the European BIC directory by the request's BIC alone.
enum class Source : uint8_t { German, Head, BranchHead, NumericBic, AlphaBic };

struct SepaDirectory {
  uint8_t first;      // IBAN positions of the bank code, counted from 1
  uint8_t last;
  uint32_t divisor;   // Spain: the bank code without its branch
  Source source;
  const Head_t_SEPA *head;
  const char *head_text;  // the head table's text pool
  const KeyColumn32 *head_keys;  // and its search keys
  const Bank_t_SEPA *branch;
  const KeyColumn32 *branch_keys;
  const Bank_t_BLZ_BIC *numeric;
  const Bank_t_BLZalpha_BIC *alpha;
  const KeyColumn32 *bic_keys;
};

// The German head records are those of the request's edition
// (resolve_german), so the directory names no table.
constexpr SepaDirectory german(uint8_t first, uint8_t last) {
  return {first, last, 1, Source::German, nullptr, nullptr, nullptr,
          nullptr, nullptr, nullptr, nullptr, nullptr};
}

constexpr SepaDirectory head_table(uint8_t first, uint8_t last, uint32_t divisor,
                                   const Head_t_SEPA *head, const char *text,
                                   const KeyColumn32 *keys) {
  return {first, last, divisor, Source::Head, head, text, keys,
          nullptr, nullptr, nullptr, nullptr, nullptr};
}

constexpr SepaDirectory branch_head(uint8_t first, uint8_t last, const Bank_t_SEPA *branch,
                                    const KeyColumn32 *branch_keys, const Head_t_SEPA *head,
                                    const char *head_text, const KeyColumn32 *head_keys) {
  return {first, last, 1, Source::BranchHead, head, head_text, head_keys,
          branch, branch_keys, nullptr, nullptr, nullptr};
}

constexpr SepaDirectory numeric_bic(uint8_t first, uint8_t last,
                                    const Bank_t_BLZ_BIC *table, const KeyColumn32 *keys) {
  return {first, last, 1, Source::NumericBic, nullptr, nullptr, nullptr,
          nullptr, nullptr, table, nullptr, keys};
}

constexpr SepaDirectory alpha_bic(uint8_t first, uint8_t last,
                                  const Bank_t_BLZalpha_BIC *table, const KeyColumn32 *keys) {
  return {first, last, 1, Source::AlphaBic, nullptr, nullptr, nullptr,
          nullptr, nullptr, nullptr, table, keys};
}

#define PLUVAR_NUMERIC(FIRST, LAST, CC) \
  numeric_bic(FIRST, LAST, list_BLZ_BIC_##CC, &list_BLZ_BIC_##CC##_column)
#define PLUVAR_ALPHA(FIRST, LAST, CC) \
  alpha_bic(FIRST, LAST, list_BLZ_BIC_##CC, &list_BLZ_BIC_##CC##_column)

constexpr uint16_t code_key(char first, char second) {
  return static_cast<uint16_t>(static_cast<unsigned char>(first) << 8 |
                               static_cast<unsigned char>(second));
}

// The directory of the IBAN's country, found by its country code, or false.
// A switch, not a table of records: the records point at their tables, and a
// table of pointers needs a relocation for each when the program loads.
bool find_directory(const char *iban, SepaDirectory &d) {
  if (iban[0] == '\0') return false;
  switch (code_key(iban[0], iban[1])) {
    case code_key('D', 'E'):  // GERMANY
      d = german(5, 12);
      return true;
    case code_key('C', 'H'):  // SWITZERLAND
      d = branch_head(5, 9, bank_CH, &bank_CH_column, head_CH, head_CH_text, &head_CH_column);
      return true;
    case code_key('A', 'T'):  // AUSTRIA
      d = head_table(5, 9, 1, head_AT, head_AT_text, &head_AT_column);
      return true;
    case code_key('B', 'E'):  // BELGIUM
      d = branch_head(5, 7, bank_BE, &bank_BE_column, head_BE, head_BE_text, &head_BE_column);
      return true;
    case code_key('C', 'Z'):  // CZECH REPUBLIC
      d = head_table(5, 8, 1, head_CZ, head_CZ_text, &head_CZ_column);
      return true;
    case code_key('E', 'S'):  // SPAIN
      d = head_table(5, 12, 10000, head_ES, head_ES_text, &head_ES_column);
      return true;
    case code_key('S', 'K'):  // SLOVAKIA
      d = head_table(5, 8, 1, head_SK, head_SK_text, &head_SK_column);
      return true;
    case code_key('L', 'T'):  // LITHUANIA
      d = PLUVAR_NUMERIC(5, 9, LT);
      return true;
    case code_key('A', 'D'):  // ANDORRA
      d = PLUVAR_NUMERIC(5, 12, AD);
      return true;
    case code_key('L', 'I'):  // LIECHTENSTEIN
      d = PLUVAR_NUMERIC(5, 9, LI);
      return true;
    case code_key('L', 'U'):  // LUXEMBOURG
      d = PLUVAR_NUMERIC(5, 7, LU);
      return true;
    case code_key('M', 'C'):  // MONACO
      d = PLUVAR_NUMERIC(5, 9, MC);
      return true;
    case code_key('S', 'M'):  // SAN MARINO
      d = PLUVAR_NUMERIC(6, 10, SM);
      return true;
    case code_key('N', 'L'):  // NETHERLANDS
      d = PLUVAR_ALPHA(5, 8, NL);
      return true;
    case code_key('H', 'U'):  // HUNGARY
      d = PLUVAR_NUMERIC(5, 12, HU);
      return true;
    case code_key('H', 'R'):  // CROATIA
      d = PLUVAR_NUMERIC(5, 11, HR);
      return true;
    case code_key('C', 'Y'):  // CYPRUS
      d = PLUVAR_NUMERIC(5, 7, CY);
      return true;
    case code_key('D', 'K'):  // DENMARK
      d = PLUVAR_NUMERIC(5, 8, DK);
      return true;
    case code_key('E', 'E'):  // ESTONIA
      d = PLUVAR_NUMERIC(5, 6, EE);
      return true;
    case code_key('F', 'I'):  // FINLAND
      d = PLUVAR_NUMERIC(5, 7, FI);
      return true;
    case code_key('F', 'R'):  // FRANCE
      d = PLUVAR_NUMERIC(5, 9, FR);
      return true;
    case code_key('I', 'T'):  // ITALY
      d = PLUVAR_NUMERIC(6, 10, IT);
      return true;
    case code_key('B', 'G'):  // BULGARIA
      d = PLUVAR_ALPHA(5, 8, BG);
      return true;
    case code_key('I', 'S'):  // ICELAND
      d = PLUVAR_NUMERIC(5, 8, IS);
      return true;
    case code_key('N', 'O'):  // NORWAY
      d = PLUVAR_NUMERIC(5, 8, NO);
      return true;
    case code_key('P', 'L'):  // POLAND
      d = PLUVAR_NUMERIC(5, 12, PL);
      return true;
    case code_key('P', 'T'):  // PORTUGAL
      d = PLUVAR_NUMERIC(5, 8, PT);
      return true;
    case code_key('G', 'R'):  // GREECE
      d = PLUVAR_NUMERIC(5, 7, GR);
      return true;
    case code_key('V', 'A'):  // HOLY SEE (VATICAN CITY STATE)
      d = PLUVAR_NUMERIC(5, 7, VA);
      return true;
    case code_key('R', 'O'):  // ROMANIA
      d = PLUVAR_ALPHA(5, 8, RO);
      return true;
    case code_key('M', 'T'):  // MALTA
      d = PLUVAR_ALPHA(5, 8, MT);
      return true;
    case code_key('I', 'E'):  // IRELAND
      d = PLUVAR_ALPHA(5, 8, IE);
      return true;
    case code_key('L', 'V'):  // LATVIA
      d = PLUVAR_ALPHA(5, 8, LV);
      return true;
    case code_key('S', 'I'):  // SLOVENIA
      d = PLUVAR_NUMERIC(5, 6, SI);
      return true;
    case code_key('S', 'E'):  // SWEDEN
      d = PLUVAR_NUMERIC(5, 7, SE);
      return true;
    case code_key('G', 'B'):  // UNITED KINGDOM
      d = PLUVAR_ALPHA(5, 8, GB);
      return true;
    default:
      return false;
  }
}

#undef PLUVAR_NUMERIC
#undef PLUVAR_ALPHA

// Bank code cut out of the IBAN: its decimal value (up to the first character
// that is not a digit) and its text.  Positions beyond the IBAN read as end.
uint64_t bank_code_number(const char *iban, const SepaDirectory &d) {
  return digits_value({iban + d.first - 1, static_cast<size_t>(d.last - d.first + 1)}) / d.divisor;
}

void bank_code_text(const char *iban, const SepaDirectory &d, char *out, size_t cap) {
  size_t n = 0;
  for (int pos = d.first; pos <= d.last && iban[pos - 1] && n + 1 < cap; pos++)
    out[n++] = iban[pos - 1];
  out[n] = '\0';
}


// The bank behind an IBAN as it will be reported.
struct Bank {
  const char *name = "";
  const char *zip = "";
  const char *location = "";
  const char *bic = "";
  const char *german_code = nullptr;  // the bank code of a German bank (deletion mark)
  bool found = false;           // output switch
  bool reachability_unknown = false;  // flags are '9' without a look at list_SCL
};

// A request without a BIC agrees with every bank.
char compare_bic(const char *request_bic, const char *bank_bic) {
  if (request_bic[0] == '\0') return '1';
  return strcmp(request_bic, bank_bic) == 0 ? '1' : '9';
}

void take_head(Bank &bank, const Head_t_SEPA &h, const char *text) {
  bank.name = text_at(text, h.name);
  bank.zip = text_at(text, h.zip);
  bank.location = text_at(text, h.location);
  bank.bic = h.bic;
  bank.found = true;
}

char resolve_german(const GermanTables &de, const char *iban, const SepaDirectory &d,
                    const char *bic, Bank &bank) {
  int64_t i = head_DE_index(de, bank_code_number(iban, d));
  if (i < 0) return '7';
  take_head(bank, de.head_DE[i], de.head_DE_text);
  bank.german_code = de.head_DE[i].code;
  char blz[9];
  bank_code_text(iban, d, blz, sizeof blz);
  // The BIC of a bank code may be that of another bank under its IBAN rule;
  // a substitute missing from the directory leaves the bank without a BIC.
  const char *rule_bic = getBIC_DE(de, blz);
  bank.bic = rule_bic ? rule_bic : "";
  return compare_bic(bic, bank.bic);
}

char resolve_head(const char *iban, const SepaDirectory &d, const char *bic, Bank &bank) {
  int64_t i = find_number(*d.head_keys, bank_code_number(iban, d));
  if (i < 0) return '7';
  take_head(bank, d.head[i], d.head_text);
  return compare_bic(bic, bank.bic);
}

// Switzerland and Belgium list every bank code in use in a branch table that
// leads to the bank's head record.  A request's BIC may name the branch or
// the head office.
char resolve_branch_head(const char *iban, const SepaDirectory &d, const char *bic, Bank &bank) {
  int64_t b = find_number(*d.branch_keys, bank_code_number(iban, d));
  if (b < 0) return '7';
  const Bank_t_SEPA &branch = d.branch[b];
  int64_t h = find_number(*d.head_keys, branch.head_key);
  if (h < 0) return '7';
  const Head_t_SEPA &head = d.head[h];
  take_head(bank, head, d.head_text);
  if (branch.bic[0] != '\0') bank.bic = branch.bic;
  if (bic[0] == '\0' || strcmp(bic, branch.bic) == 0 || strcmp(bic, head.bic) == 0) return '1';
  return '9';
}

// Bank-code-to-BIC tables: a bank code found there decides the BIC to look
// up (and is compared with the request's); a bank code not found is no error,
// the request's BIC is looked up instead.
char resolve_bic_table(const char *iban, const SepaDirectory &d, char *bic) {
  const char *table_bic = nullptr;
  if (d.source == Source::NumericBic) {
    int64_t i = find_number(*d.bic_keys, bank_code_number(iban, d));
    if (i >= 0) table_bic = d.numeric[i].bic;
  } else {
    char key[5];
    bank_code_text(iban, d, key, sizeof key);
    int64_t i = find_alpha(*d.bic_keys, key);
    if (i >= 0) table_bic = d.alpha[i].bic;
  }
  if (table_bic == nullptr) return '1';
  char code = compare_bic(bic, table_bic);
  str_copy(bic, SEPA_BIC_SIZE, table_bic);
  return code;
}

// The European BIC directory names the bank of a BIC; a BIC of another
// country than the IBAN's cannot confirm the IBAN's bank.
char resolve_european(const char *iban, const char *bic, bool national_table, char code,
                      Bank &bank) {
  if (strnlen(bic, SEPA_BIC_SIZE) != kBicLong) return code;
  if (bic[4] != iban[0] || bic[5] != iban[1]) return '9';
  int64_t i = find_bic(list_EU_column, bic);
  if (i < 0) return '9';
  const Bank_t_EU &eu = list_EU[i];
  bank.name = text_at(list_EU_text, eu.name);
  bank.zip = text_at(list_EU_text, eu.zip);
  bank.location = text_at(list_EU_text, eu.location);
  bank.bic = eu.bic;
  bank.found = true;
  bank.reachability_unknown = !national_table;
  return code;
}

// ===== Reachability =====

char flag(unsigned char byte) { return byte ? '1' : '0'; }

void write_bank_fields(Sink &out, const Bank &bank, char allinfo) {
  answer_field(out, "name", bank.name);
  answer_field(out, "zip", bank.zip);
  answer_field(out, "location", bank.location);
  if (bank.german_code) answer_deletion_mark(out, bank.german_code);
  if (!allinfo) return;
  // Unknown unless the reachability list has an entry for the bank's BIC.
  char sct = '9', sdd = '9', b2b = '9', scc = '9';
  if (!bank.reachability_unknown && bank.bic[0] != '\0') {
    int64_t i = find_scl_entry(bank.bic);
    if (i >= 0) {
      const Bank_t_SCL &r = list_SCL[i];
      sct = flag(r.sct);
      sdd = flag(r.sdd);
      b2b = flag(r.b2b);
      scc = flag(r.scc);
    }
  }
  answer_field(out, "bic", bank.bic);
  const char sct_text[] = {sct, '\0'}, sdd_text[] = {sdd, '\0'};
  const char b2b_text[] = {b2b, '\0'}, scc_text[] = {scc, '\0'};
  answer_field(out, "sct", sct_text);
  answer_field(out, "sdd", sdd_text);
  answer_field(out, "b2b", b2b_text);
  answer_field(out, "scc", scc_text);
}

// "code=" and the code, then for the long answer the bank fields, the
// country name, and the mode.
void write_response(Sink &out, char code, Reason reason, const Bank &bank, char allinfo,
                    const char *country_name) {
  answer_begin(out, code, reason);
  if (code == '0' || code == '1' || code == '9') {
    if (bank.found) write_bank_fields(out, bank, allinfo);
    answer_field(out, "country", country_name);
  }
  answer_field(out, "mode", "SEPA");
  answer_end(out);
}

char resolve_bank(const GermanTables &de, const char *iban, char *bic, Bank &bank) {
  SepaDirectory d;
  if (!find_directory(iban, d)) return resolve_european(iban, bic, false, '1', bank);
  switch (d.source) {
    case Source::German:
      return resolve_german(de, iban, d, bic, bank);
    case Source::Head:
      return resolve_head(iban, d, bic, bank);
    case Source::BranchHead:
      return resolve_branch_head(iban, d, bic, bank);
    case Source::NumericBic:
    case Source::AlphaBic:
      break;
  }
  char code = resolve_bic_table(iban, d, bic);
  return resolve_european(iban, bic, true, code, bank);
}

Reason structure_reason(char code, const char *country_name) {
  switch (code) {
    case '0':
      return country_name[0] ? Reason::country_without_iban : Reason::country_unknown;
    case '4':
      return Reason::format_mismatch;
    default:
      return Reason::format_malformed;
  }
}

}  // namespace

// ===== Request =====

char Sepa_extract_numbers(char *query, char *bic, char *iban) {
  size_t n = strnlen(query, QUERY_SIZE - 1);
  bool capitals = country_code_in_capitals(query, n);

  // Without branches on the characters, so the compiler can take several
  // at a time.
  size_t amps = 0, equals = 0;
  for (size_t i = 0; i < n; i++) {
    const unsigned char ch = static_cast<unsigned char>(query[i]);
    query[i] = static_cast<char>(ch - (static_cast<unsigned char>(ch - 'a') < 26 ? 'a' - 'A' : 0));
    amps += ch == '&';
    equals += ch == '=';
  }
  bool one_pair = amps == 0 && equals == 1 && n >= 5 && find_in(query, n, "IBN=");
  bool two_pairs = amps == 1 && equals == 2 && n >= 11 && find_in(query, n, "IBN=") &&
                   find_in(query, n, "BIC=");
  if (!one_pair && !two_pairs) return '6';

  // Fields in order; an unknown or repeated one stops the reading, and what
  // stands behind it counts as not given.
  char result = '1';
  Span iban_value{nullptr, 0}, bic_value{nullptr, 0};
  const char *p = query;
  const char *end = query + n;
  for (int field = 0; field < kMaxFields; field++) {
    const char *amp = static_cast<const char *>(memchr(p, '&', static_cast<size_t>(end - p)));
    Span f{p, static_cast<size_t>((amp ? amp : end) - p)};
    if (span_starts_with(f, "IBN=") && iban_value.p == nullptr) {
      iban_value = {f.p + 4, f.n - 4};
    } else if (span_starts_with(f, "BIC=") && bic_value.p == nullptr) {
      bic_value = {f.p + 4, f.n - 4};
    } else {
      result = '6';
      break;
    }
    if (!amp) break;
    p = amp + 1;
  }

  // A bad IBAN outweighs a bad BIC, which outweighs a bad field.
  if (bic_value.n > 0 && !bic_well_formed(bic_value)) result = '2';
  if (!iban_well_formed(iban_value, capitals)) result = '3';
  if (result != '1') return result;

  copy_span(iban, iban_value);
  copy_span(bic, bic_value);
  if (bic_value.n == kBicShort) memcpy(bic + kBicShort, "XXX", 4);
  return '1';
}

char Sepa_match_format(const char *iban, const char *format, size_t format_size) {
  size_t len = strnlen(iban, SEPA_IBAN_SIZE);
  size_t p = 0;  // position in the IBAN
  size_t i = 0;  // position in the format
  while (i < format_size && format[i] != '\0') {
    // One item: a length of one or two digits, '!', a type letter.
    if (!is_digit(format[i])) return 'X';
    size_t n = static_cast<size_t>(format[i++] - '0');
    if (i < format_size && is_digit(format[i])) n = n * 10 + static_cast<size_t>(format[i++] - '0');
    if (i >= format_size || format[i] != '!') return 'X';
    i++;
    char letter = i < format_size ? format[i] : '\0';
    if (letter != '\0') i++;
    if (len < p + n) return '4';
    CharClass chars = format_type(letter);
    if (chars == CharClass::Unknown) return 'X';
    for (size_t k = 0; k < n; k++)
      if (!in_class(static_cast<unsigned char>(iban[p + k]), chars)) return '4';
    p += n;
  }
  return len == p ? '1' : '4';
}

char Sepa_check_iban_structure(const char *iban, char *country_name) {
  country_name[0] = '\0';
  const Country_t *country = find_country(iban);
  if (!country) return '0';
  // The name field is fixed-size and zero-padded: copy it whole.
  static_assert(sizeof country->name == SEPA_COUNTRY_NAME_SIZE);
  memcpy(country_name, country->name, SEPA_COUNTRY_NAME_SIZE);
  country_name[SEPA_COUNTRY_NAME_SIZE - 1] = '\0';
  if (country->format[0] == '\0') return '0';
  return Sepa_match_format(iban, country->format, kFormatSize);
}

char Sepa_validate_iban(const char *iban) {
  size_t len = strnlen(iban, SEPA_IBAN_SIZE);
  if (len < 4 || len > kIbanMax) return '0';
  if (!is_digit(iban[2]) || !is_digit(iban[3])) return '0';
  int check = (iban[2] - '0') * 10 + (iban[3] - '0');
  if (check == 0 || check == 1 || check == 99) return '0';

  // The number is the BBAN followed by country code and check digits, each
  // letter standing for the two digits of 10 + its place in the alphabet.
  // The remainder is reduced whenever it could otherwise overflow.
  // IBANs reach here in capitals; small letters are no IBAN characters.
  for (size_t i = 0; i < len; i++)
    if (is_lower(iban[i])) return '0';
  int rem = mod97(std::string_view(iban + 4, len - 4));
  if (rem >= 0) rem = mod97(std::string_view(iban, 4), rem);
  return rem == 1 ? '1' : '0';
}

// A German IBAN is valid only when the IBAN rules build exactly it from an
// account of its bank code, including the account check the rule demands.
char Sepa_check_national_DE(const GermanTables &de, const char *iban) {
  if (!has_length(iban, 22)) return '0';
  return german_iban_built_by_rules(de, iban) ? '1' : '0';
}

// The national rules live in one unit; the IBAN's country code picks the
// rule and the BBAN follows the check digits.
char Sepa_check_national(const GermanTables &de, const char *iban, bool strict) {
  size_t len = strnlen(iban, SEPA_IBAN_SIZE - 1);
  if (len < 4) return '1';  // no country code: nothing to pick a rule by
  std::string_view text(iban, len);
  return national_check_passes(de, text.substr(0, 2), text.substr(4), strict) ? '1' : '0';
}

char Sepa_find_bank_and_form_output_string(const GermanTables &de, const char *iban, char *bic,
                                           char *response, char allinfo) {
  Bank bank;
  char code = resolve_bank(de, iban, bic, bank);
  if (bank.found) {
    TextCollector text{response, RESPONSE_SIZE, strnlen(response, RESPONSE_SIZE - 1)};
    Sink out;
    sink_init_text(out, text);
    out.german = &de;
    sink_puts(out, "      ");
    write_bank_fields(out, bank, allinfo);
    sink_finish(out);
  }
  return code;
}

char Sepa_Main(char *query, char allinfo, Sink &out) {
  char bic[SEPA_BIC_SIZE] = {0};
  char iban[SEPA_IBAN_SIZE] = {0};
  char country_name[SEPA_COUNTRY_NAME_SIZE] = {0};
  Bank bank;

  char code = Sepa_extract_numbers(query, bic, iban);
  Reason reason =
      refusal_reason(code, Reason::bic_malformed, Reason::ibn_malformed, Reason::format_mismatch);
  if (code == '1') {
    code = Sepa_check_iban_structure(iban, country_name);
    reason = structure_reason(code, country_name);
  }
  if (code == '1') {
    code = resolve_bank(*out.german, iban, bic, bank);
    reason = code == '7' ? Reason::bank_unknown
             : code == '9' ? Reason::bic_not_confirmed
                           : Reason::valid;
    if (code == '1' || code == '9') {
      if (Sepa_validate_iban(iban) != '1') {
        code = '0';
        reason = Reason::iban_check_digits;
      } else if (Sepa_check_national(*out.german, iban, out.options->strict) != '1') {
        // --strict adds the national rules of more countries.
        code = '0';
        reason = Reason::national_check;
      }
    }
  }
  write_response(out, code, reason, bank, allinfo, country_name);
  return code;
}
