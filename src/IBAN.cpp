// IBAN build, check and split, and the IBAN mode for all countries.
#include <cstring>

#include "pluvar.h"

// ===== German IBAN =====

namespace {

bool all_lower_letters(const char *text) {
  for (; *text; text++)
    if (*text < 'a' || *text > 'z') return false;
  return true;
}

void count_query(const char *query, size_t *len, int *amps, int *eqs) {
  *len = 0;
  *amps = 0;
  *eqs = 0;
  for (const char *p = query; *p; p++, (*len)++) {
    if (*p == '&') (*amps)++;
    if (*p == '=') (*eqs)++;
  }
}

}  // namespace

// Account number left-filled with '0' to 10 digits (the caller has checked
// that it has 1 to 10 digits).
void pad_knr(char *out, const char *knr) {
  size_t n = strlen(knr);
  size_t pad = KNR_DE_SIZE - 1 - n;
  memset(out, '0', pad);
  memcpy(out + pad, knr, n + 1);
}

char split_query_keys(const char *query, const char *const *keys, int n_keys,
                      char (*values)[QUERY_SIZE]) {
  constexpr size_t kKeyLength = 4;  // every key is three letters and "="
  bool seen[8] = {false};
  if (n_keys > 8) return '6';
  for (int k = 0; k < n_keys; k++) values[k][0] = '\0';
  const char *field = query;
  for (;;) {
    size_t n = 0;
    while (field[n] && field[n] != '&') n++;
    // A field is judged by its first 299 bytes, as a query slot holds them.
    size_t kept = n < QUERY_SIZE - 1 ? n : QUERY_SIZE - 1;
    int k = 0;
    while (k < n_keys && (kept < kKeyLength || memcmp(field, keys[k], kKeyLength) != 0)) k++;
    if (k == n_keys || seen[k]) return '6';
    seen[k] = true;
    memcpy(values[k], field + kKeyLength, kept - kKeyLength);
    values[k][kept - kKeyLength] = '\0';
    field += n;
    if (*field != '&') return '1';
    field++;
  }
}

char Iban_find_blz_DE(const GermanTables &de, const char *blz, unsigned char *method) {
  return find_blz(de, blz, method);
}

int check_iban_DE(const char *iban) {
  for (int i = 4; i < 22; i++)
    if (!is_digit(iban[i])) return 0;
  return iban_check_value("DE", std::string_view(iban + 4, 18));
}

char split_iban_DE(const char *iban, char *knr, char *blz) {
  if (strnlen(iban, 22) < 22) {
    knr[0] = '\0';
    blz[0] = '\0';
    return '0';
  }
  memcpy(blz, iban + 4, 8);
  blz[8] = '\0';
  memcpy(knr, iban + 12, 10);
  knr[10] = '\0';
  if (!is_digit(iban[2]) || !is_digit(iban[3])) return '0';
  int check = check_iban_DE(iban);
  return check != 0 && static_cast<int>(digits_value({iban + 2, 2})) == check ? '1' : '0';
}

const Head_t_SEPA *find_head_DE(const GermanTables &de, const char *blz) {
  if (strlen(blz) != 8 || !all_digits(blz)) return nullptr;
  int64_t i = head_DE_index(de, digits_value({blz, 8}));
  return i < 0 ? nullptr : &de.head_DE[i];
}

char generate_iban_DE(const GermanTables &de, char *iban, char *knr, char *blz,
                      CheckDigits digits) {
  const Head_t_SEPA *rec = find_head_DE(de, blz);
  if (!rec) return kRuleUnknownBank;
  // The rules read ten account digits; anything else cannot be converted.
  if (strlen(knr) != 10 || !all_digits(knr)) return kRuleRefused;
  char r = apply_iban_method_DE(de, blz, knr, rec->iban_rule, rec->successor);
  memcpy(iban, "DE00", 4);
  memcpy(iban + 4, blz, 8);
  memcpy(iban + 12, knr, 10);
  iban[22] = '\0';
  if (digits == CheckDigits::Leave00) return r;
  int check = check_iban_DE(iban);
  iban[2] = static_cast<char>('0' + check / 10);
  iban[3] = static_cast<char>('0' + check % 10);
  return r;
}

char Iban_extract_numbers_DE(char *query, char *ccd, char *blz, char *knr) {
  if (query[0] == '\0') return '6';
  size_t len;
  int amps, eqs;
  count_query(query, &len, &amps, &eqs);
  if (amps != 2 || eqs != 3 || len < 17 || !strstr(query, "ccd=") || !strstr(query, "knr=") ||
      !strstr(query, "blz="))
    return '6';
  static const char *const kKeys[] = {"ccd=", "blz=", "knr="};
  char values[3][QUERY_SIZE];
  if (split_query_keys(query, kKeys, 3, values) != '1') return '6';
  const char *c = values[0], *b = values[1], *k = values[2];
  size_t nc = strlen(c), nb = strlen(b), nk = strlen(k);
  if (nb > 0 && !all_digits(b)) return '2';
  if (nk > 0 && !all_digits(k)) return '3';
  if (nb == 0 && nk == 0 && nc == 0) return '2';
  if (nc == 0) {
    if (nb != 8) return '2';
    if (nk == 0 || nk > 10) return '3';
    return '4';
  }
  if (!all_lower_letters(c)) return '4';
  if (nb != 8) return '2';
  if (nk == 0 || nk > 10) return '3';
  if (nc != 2) return '4';
  memcpy(ccd, c, 3);
  memcpy(blz, b, 9);
  pad_knr(knr, k);
  return '1';
}

namespace {

// The IBAN request's bank fields: those of the bank code the rule left.
void write_bank_fields_DE(Sink &out, const char *blz) {
  const GermanTables &de = *out.german;
  if (const Head_t_SEPA *found = find_head_DE(de, blz)) {
    const Head_t_SEPA &rec = *found;
    answer_field(out, "name", text_at(de.head_DE_text, rec.name));
    answer_field(out, "zip", text_at(de.head_DE_text, rec.zip));
    answer_field(out, "location", text_at(de.head_DE_text, rec.location));
    answer_deletion_mark(out, blz);
  }
  const char *bic = getBIC_DE(de, blz);
  answer_field(out, "bic", bic ? bic : "");
}

// Why the rule and its account check gave this code.
Reason build_reason(char code, const GermanIban &built) {
  switch (code) {
    case kCheckPassed:
      return Reason::built;
    case kNotCheckable:
      return Reason::no_check_digit;
    case kNoSuchMethod:
      return Reason::method_unknown;
    case kRuleUnknownBank:
      return Reason::blz_unknown;
    default:
      if (built.rule == kRuleRefused) return Reason::rule_refuses;
      return strcmp(built.knr, "0000000000") == 0 ? Reason::ten_zeros : Reason::check_digit;
  }
}

}  // namespace

char IbanGen_DE(char *query, char allinfo, Sink &out) {
  char ccd[3] = {0}, blz[BLZ_DE_SIZE] = {0}, knr[KNR_DE_SIZE] = {0};
  char code = Iban_extract_numbers_DE(query, ccd, blz, knr);
  Reason reason =
      refusal_reason(code, Reason::blz_malformed, Reason::knr_malformed, Reason::ccd_malformed);
  GermanIban built{};
  unsigned char method = 0;
  if (code == '1') {
    code = Iban_find_blz_DE(*out.german, blz, &method);
    reason = Reason::blz_unknown;
  }
  if (code == kFound) {
    code = build_checked_iban_DE(*out.german, blz, knr, method, built);
    reason = build_reason(code, built);
  }
  answer_begin(out, code, reason);
  if (iban_built(code)) {
    answer_field(out, "ibn", built.iban);
    if (allinfo) write_bank_fields_DE(out, built.blz);
  }
  answer_field(out, "mode", "IBAN");
  answer_end(out);
  return code;
}

// ----- IBAN mode dispatch -----
// Country handlers by the "ccd=" text that selects them, tested in this
// order; the first that the query contains wins.
namespace {

struct IbanCountry {
  const char *selector;
  char (*handler)(char *query, char allinfo, Sink &out);
};

const IbanCountry kIbanCountries[] = {
    {"ccd=de", IbanGen_DE}, {"ccd=at", IbanGen_AT}, {"ccd=ch", IbanGen_CH}, {"ccd=be", IbanGen_BE},
    {"ccd=cz", IbanGen_CZ}, {"ccd=es", IbanGen_ES}, {"ccd=sk", IbanGen_SK},
};

}  // namespace

char IbanGen_Main(char *query, char allinfo, Sink &out) {
  for (char *p = query; *p; p++)
    if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p - 'A' + 'a');
  for (const IbanCountry &country : kIbanCountries)
    if (strstr(query, country.selector)) return country.handler(query, allinfo, out);
  answer_begin(out, '4', Reason::ccd_missing);
  answer_field(out, "mode", "IBAN=");
  answer_end(out);
  return '4';
}
// ----- end of IBAN mode dispatch -----

// ===== Foreign IBAN =====
// The IBAN mode for Austria, Switzerland, Belgium, the Czech Republic, Spain
// and Slovakia.  Every country takes the same road: parse the three query
// values, find the bank in the national directory, run the national account
// check where the country has one, build the IBAN with its ISO 13616 check
// digits and answer.  What differs between the countries is data (one
// ForeignCountry record each), not code.

#include <cstring>

namespace foreign_iban {
namespace {

constexpr size_t kIbanBufSize = 35;  // the longest IBAN has 34 characters
constexpr char kModeMarker[] = "&mode=IBAN";

bool is_lower(unsigned char ch) { return ch >= 'a' && ch <= 'z'; }
bool is_digit_or_lower(unsigned char ch) { return is_digit(ch) || is_lower(ch); }

// ---------------------------------------------------------------------------
// The countries.
// ---------------------------------------------------------------------------

// How "&bic=" is answered with allinfo.
enum class BicReport : unsigned char {
  HeadAlways,      // the head record's BIC, the field written even when empty
  BranchThenHead,  // the branch's own BIC, else the head's; no field when both are empty
};

struct ForeignCountry {
  char iso[3];                // capital country letters of the IBAN
  unsigned char min_query;    // shortest query worth splitting
  unsigned char bank_min;     // digits of the bank code in the query ...
  unsigned char bank_max;     // ... stored left-padded to bank_max
  unsigned char account_min;  // characters of the account number ...
  unsigned char account_max;  // ... stored left-padded to account_max
  bool account_letters;       // a-z allowed in the account number
  const Head_t_SEPA *head;    // national directory
  const char *head_text;      // its text pool
  const KeyColumn32 *head_keys;  // its search keys
  const Bank_t_SEPA *branch;  // branch table searched first, or null
  const KeyColumn32 *branch_keys;
  uint64_t key_divisor;       // directory key = stored bank code / key_divisor
  char success;               // code of a built IBAN
  BicReport bic_report;
};

// The IBAN formats of BE, CZ, SK and ES are all-numeric, so their account
// numbers take digits only; a letter there could only produce an IBAN that
// breaks its own country's format.  Swiss account numbers may hold letters.
// clang-format off
// Per line: iso, min_query, bank_min, bank_max, account_min, account_max,
// account_letters; the directory and the key divisor; the success code and
// the BIC report.  A country whose account passes a national check (National.cpp
// has the rules: BE, CZ, SK, ES) answers '1', the others '9'.
constexpr ForeignCountry kAT = {"AT", 17, 5, 5, 5, 11, false,
                                head_AT, head_AT_text, &head_AT_column,
                                nullptr, nullptr, 1,
                                '9', BicReport::HeadAlways};
constexpr ForeignCountry kCH = {"CH", 18, 3, 5, 0, 12, true,
                                head_CH, head_CH_text, &head_CH_column,
                                bank_CH, &bank_CH_column, 1,
                                '9', BicReport::BranchThenHead};
constexpr ForeignCountry kBE = {"BE", 18, 3, 3, 0, 9, false,
                                head_BE, head_BE_text, &head_BE_column,
                                bank_BE, &bank_BE_column, 1,
                                '1', BicReport::BranchThenHead};
constexpr ForeignCountry kCZ = {"CZ", 18, 3, 4, 0, 16, false,
                                head_CZ, head_CZ_text, &head_CZ_column,
                                nullptr, nullptr, 1,
                                '1', BicReport::HeadAlways};
constexpr ForeignCountry kSK = {"SK", 18, 3, 4, 0, 16, false,
                                head_SK, head_SK_text, &head_SK_column,
                                nullptr, nullptr, 1,
                                '1', BicReport::HeadAlways};
// Spain's directory is keyed by the 4-digit bank (entidad) without its branch.
constexpr ForeignCountry kES = {"ES", 18, 3, 8, 0, 12, false,
                                head_ES, head_ES_text, &head_ES_column,
                                nullptr, nullptr, 10000,
                                '1', BicReport::HeadAlways};
// clang-format on

// ---------------------------------------------------------------------------
// Query parsing.
// ---------------------------------------------------------------------------

bool all_chars(const char *text, bool (*ok)(unsigned char)) {
  for (; *text; text++)
    if (!ok(static_cast<unsigned char>(*text))) return false;
  return true;
}

void pad_left(char *out, size_t width, const char *value) {
  size_t len = strlen(value);
  size_t zeros = width - len;
  memset(out, '0', zeros);
  memcpy(out + zeros, value, len);
  out[width] = '\0';
}

enum Key { kCcd, kBlz, kKnr, kKeyCount };
const char *const kKeys[kKeyCount] = {"ccd=", "blz=", "knr="};

// Exactly the three pairs, in any order; '6' otherwise.
char split_query(const ForeignCountry &cty, const char *query, char (*values)[QUERY_SIZE]) {
  if (query[0] == '\0') return '6';
  size_t len = 0, amps = 0, eqs = 0;
  for (; query[len]; len++) {
    if (query[len] == '&') amps++;
    if (query[len] == '=') eqs++;
  }
  if (amps != 2 || eqs != 3 || len < cty.min_query) return '6';
  for (const char *key : kKeys)
    if (!strstr(query, key)) return '6';
  return split_query_keys(query, kKeys, kKeyCount, values);
}

// The checks run in a fixed order, so that a query with several faults is
// answered by the first: bank code characters, account characters, country
// characters, then the three lengths.  (A query with all three values empty
// is answered '2' by the bank code length.)
char parse_query(const ForeignCountry &cty, const char *query, char *country_out,
                 char *bankcode_out, char *account_out) {
  char values[kKeyCount][QUERY_SIZE];
  char code = split_query(cty, query, values);
  if (code != '1') return code;
  const char *ccd = values[kCcd];
  const char *blz = values[kBlz];
  const char *knr = values[kKnr];
  size_t blz_len = strlen(blz), knr_len = strlen(knr);

  if (!all_chars(blz, is_digit)) return '2';
  if (!all_chars(knr, cty.account_letters ? is_digit_or_lower : is_digit)) return '3';
  if (!all_chars(ccd, is_lower)) return '4';
  if (blz_len < cty.bank_min || blz_len > cty.bank_max) return '2';
  if (knr_len < cty.account_min || knr_len > cty.account_max) return '3';
  if (strlen(ccd) != 2) return '4';

  pad_left(country_out, 2, ccd);
  pad_left(bankcode_out, cty.bank_max, blz);
  pad_left(account_out, cty.account_max, knr);
  return '1';
}

// ---------------------------------------------------------------------------
// IBAN building.
// ---------------------------------------------------------------------------

// Writes country letters, "00", bank code and account number (each at most
// its stored width), the check digits over the placeholder, and capitals for
// the letters.  Returns the country's success code, or '3' (empty IBAN) when
// the account holds a character no IBAN can carry.
char build_iban(const ForeignCountry &cty, char *iban, const char *account, const char *bankcode) {
  size_t n = 0;
  iban[n++] = cty.iso[0];
  iban[n++] = cty.iso[1];
  iban[n++] = '0';
  iban[n++] = '0';
  for (size_t i = 0; i < cty.bank_max && bankcode[i]; i++) iban[n++] = bankcode[i];
  for (size_t i = 0; i < cty.account_max && account[i]; i++) iban[n++] = account[i];
  iban[n] = '\0';
  int value = iban_check_value(cty.iso, iban + 4);
  if (value < 0) {
    iban[0] = '\0';
    return '3';
  }
  iban[2] = static_cast<char>('0' + value / 10);
  iban[3] = static_cast<char>('0' + value % 10);
  for (size_t i = 4; i < n; i++)
    if (is_lower(static_cast<unsigned char>(iban[i])))
      iban[i] = static_cast<char>(iban[i] - 'a' + 'A');
  return cty.success;
}

int check_value_of(const ForeignCountry &cty, const char *iban) {
  if (strnlen(iban, 4) < 4) return -1;
  return iban_check_value(cty.iso, iban + 4);
}

// ---------------------------------------------------------------------------
// Bank lookup.
// ---------------------------------------------------------------------------


// The table sizes give the last index, so a new edition of the data needs no
// code change; an empty table finds nothing.
const Head_t_SEPA *find_head(const ForeignCountry &cty, uint64_t key) {
  int64_t i = find_number(*cty.head_keys, key);
  return i < 0 ? nullptr : &cty.head[i];
}

const Bank_t_SEPA *find_branch(const ForeignCountry &cty, uint64_t key) {
  int64_t i = find_number(*cty.branch_keys, key);
  return i < 0 ? nullptr : &cty.branch[i];
}

// Finds the bank record (through the branch table where the country has one)
// and the BIC to report; null when the bank code is unknown.
const Head_t_SEPA *find_bank(const ForeignCountry &cty, const char *bankcode, const char **bic) {
  uint64_t key = digits_value(bankcode) / cty.key_divisor;
  const char *branch_bic = "";
  if (cty.branch) {
    const Bank_t_SEPA *branch = find_branch(cty, key);
    if (!branch) return nullptr;
    key = branch->head_key;
    branch_bic = branch->bic;
  }
  const Head_t_SEPA *head = find_head(cty, key);
  if (head) *bic = branch_bic[0] ? branch_bic : head->bic;
  return head;
}

// ---------------------------------------------------------------------------
// The request.
// ---------------------------------------------------------------------------

// The national rules read the BBAN, which is the stored bank code followed by
// the stored account number.
bool passes_national_check(const GermanTables &de, const ForeignCountry &cty, const char *bankcode,
                           const char *account) {
  char bban[kIbanBufSize];
  bban[0] = '\0';
  str_append(bban, sizeof bban, bankcode);
  str_append(bban, sizeof bban, account);
  return national_check_passes(de, cty.iso, bban, false);
}

// The answer: the code, "ibn" with the IBAN when one was built, with
// allinfo the bank's name, zip, location and "bic" (always, or only when the
// BIC is not empty), and the mode, unless the caller adds it itself.
void write_answer(Sink &out, char code, Reason reason, const char *iban, const Head_t_SEPA *bank,
                  const char *bank_text, const char *bic, bool bic_always, char allinfo,
                  bool with_mode) {
  answer_begin(out, code, reason);
  if ((code == '9' || code == '1') && iban && iban[0]) {
    answer_field(out, "ibn", iban);
    if (allinfo && bank) {
      answer_field(out, "name", text_at(bank_text, bank->name));
      answer_field(out, "zip", text_at(bank_text, bank->zip));
      answer_field(out, "location", text_at(bank_text, bank->location));
      if (bic_always || (bic && bic[0])) answer_field(out, "bic", bic ? bic : "");
    }
  }
  if (with_mode) answer_field(out, "mode", "IBAN");
  answer_end(out);
}

char iban_gen(const ForeignCountry &cty, char *query, char allinfo, Sink &out) {
  char country[3] = {0};
  char bankcode[9] = {0};
  char account[17] = {0};
  char iban[kIbanBufSize] = {0};
  const Head_t_SEPA *bank = nullptr;
  const char *bic = "";

  char code = parse_query(cty, query, country, bankcode, account);
  Reason reason =
      refusal_reason(code, Reason::blz_malformed, Reason::knr_malformed, Reason::ccd_malformed);
  if (code == '1') {
    bank = find_bank(cty, bankcode, &bic);
    if (!bank) {
      code = '7';
      reason = Reason::blz_unknown;
    } else if (!passes_national_check(*out.german, cty, bankcode, account)) {
      code = '0';
      reason = Reason::national_check;
    } else {
      code = build_iban(cty, iban, account, bankcode);
      reason = code == '3' ? Reason::knr_malformed : Reason::built;
    }
  }
  write_answer(out, code, reason, iban, bank, cty.head_text, bic,
               cty.bic_report == BicReport::HeadAlways, allinfo, true);
  return code;
}

}  // namespace
}  // namespace foreign_iban

using foreign_iban::kAT;
using foreign_iban::kBE;
using foreign_iban::kCH;
using foreign_iban::kCZ;
using foreign_iban::kES;
using foreign_iban::kSK;

// The check value of ISO 13616: the BBAN and then the two country letters
// read as one number (see mod97), "00" appended, 98 minus the remainder.
int iban_check_value(std::string_view country, std::string_view bban) {
  if (country.size() < 2 || is_digit(country[0]) || is_digit(country[1])) return -1;
  int rem = mod97(bban);
  if (rem >= 0) rem = mod97(country.substr(0, 2), rem);
  if (rem < 0) return -1;
  return 98 - rem * 100 % 97;
}

void Iban_response_line_foreign(char *line, char code, const char *iban, const Head_t_SEPA *bank,
                                const char *bank_text, const char *bic, bool bic_always,
                                char allinfo) {
  // The mode marker always closes the line, so the fields before it stop
  // where the marker still fits.
  constexpr size_t fields_cap = RESPONSE_SIZE - (sizeof foreign_iban::kModeMarker - 1);
  TextCollector text{line, fields_cap, 0};
  Sink out;
  sink_init_text(out, text);
  foreign_iban::write_answer(out, code, Reason::unset, iban, bank, bank_text, bic, bic_always,
                             allinfo, false);
  sink_finish(out);
  str_append(line, RESPONSE_SIZE, foreign_iban::kModeMarker);
}

char IbanGen_AT(char *query, char allinfo, Sink &out) {
  return foreign_iban::iban_gen(kAT, query, allinfo, out);
}
char IbanGen_CH(char *query, char allinfo, Sink &out) {
  return foreign_iban::iban_gen(kCH, query, allinfo, out);
}
char IbanGen_BE(char *query, char allinfo, Sink &out) {
  return foreign_iban::iban_gen(kBE, query, allinfo, out);
}
char IbanGen_CZ(char *query, char allinfo, Sink &out) {
  return foreign_iban::iban_gen(kCZ, query, allinfo, out);
}
char IbanGen_ES(char *query, char allinfo, Sink &out) {
  return foreign_iban::iban_gen(kES, query, allinfo, out);
}
char IbanGen_SK(char *query, char allinfo, Sink &out) {
  return foreign_iban::iban_gen(kSK, query, allinfo, out);
}

char Iban_extract_numbers_AT(char *query, char *country, char *bankcode, char *account) {
  return foreign_iban::parse_query(kAT, query, country, bankcode, account);
}
char Iban_extract_numbers_CH(char *query, char *country, char *bankcode, char *account) {
  return foreign_iban::parse_query(kCH, query, country, bankcode, account);
}
char Iban_extract_numbers_BE(char *query, char *country, char *bankcode, char *account) {
  return foreign_iban::parse_query(kBE, query, country, bankcode, account);
}
char Iban_extract_numbers_CZ(char *query, char *country, char *bankcode, char *account) {
  return foreign_iban::parse_query(kCZ, query, country, bankcode, account);
}
// Slovak account numbers have the Czech format.
char Iban_extract_numbers_SK(char *query, char *country, char *bankcode, char *account) {
  return Iban_extract_numbers_CZ(query, country, bankcode, account);
}
char Iban_extract_numbers_ES(char *query, char *country, char *bankcode, char *account) {
  return foreign_iban::parse_query(kES, query, country, bankcode, account);
}

char generate_iban_AT(char *iban, const char *account11, const char *bankcode5) {
  return foreign_iban::build_iban(kAT, iban, account11, bankcode5);
}
char generate_iban_CH(char *iban, const char *account12, const char *clearing5) {
  return foreign_iban::build_iban(kCH, iban, account12, clearing5);
}
char generate_iban_BE(char *iban, const char *account9, const char *bankcode3) {
  return foreign_iban::build_iban(kBE, iban, account9, bankcode3);
}
char generate_iban_CZ(char *iban, const char *account16, const char *bankcode4) {
  return foreign_iban::build_iban(kCZ, iban, account16, bankcode4);
}
char generate_iban_SK(char *iban, const char *account16, const char *bankcode4) {
  return foreign_iban::build_iban(kSK, iban, account16, bankcode4);
}
char generate_iban_ES(char *iban, const char *account12, const char *bankcode8) {
  return foreign_iban::build_iban(kES, iban, account12, bankcode8);
}

int check_iban_AT(const char *iban) { return foreign_iban::check_value_of(kAT, iban); }
int check_iban_CH(const char *iban) { return foreign_iban::check_value_of(kCH, iban); }
int check_iban_BE(const char *iban) { return foreign_iban::check_value_of(kBE, iban); }
int check_iban_CZ(const char *iban) { return foreign_iban::check_value_of(kCZ, iban); }
int check_iban_SK(const char *iban) { return foreign_iban::check_value_of(kSK, iban); }
int check_iban_ES(const char *iban) { return foreign_iban::check_value_of(kES, iban); }
