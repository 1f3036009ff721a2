// IBAN build, check and split, and the IBAN mode for all countries.
#include "pluvar.h"

// ===== German IBAN =====
#include <cstring>

namespace {

constexpr char kIbanRuleBlz43[] = "66650085";  // rule 43's bank code: checked by method 06
constexpr unsigned char kMethod06 = 6;

bool is_digit(char ch) { return ch >= '0' && ch <= '9'; }

bool all_digits(const char *text) {
  for (; *text; text++)
    if (!is_digit(*text)) return false;
  return true;
}

bool all_lower_letters(const char *text) {
  for (; *text; text++)
    if (*text < 'a' || *text > 'z') return false;
  return true;
}

// Value of n digit characters.
int digits_value(const char *text, int n) {
  int v = 0;
  for (int i = 0; i < n; i++) v = v * 10 + (text[i] - '0');
  return v;
}

// Account number left-filled with '0' to 10 digits (the caller has checked
// that it has 1 to 10 digits).
void pad_knr(char *out, const char *knr) {
  size_t n = strlen(knr);
  size_t pad = KNR_DE_SIZE - 1 - n;
  memset(out, '0', pad);
  memcpy(out + pad, knr, n + 1);
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

char split_query_keys(const char *query, const char *const *keys, int n_keys,
                      char (*values)[QUERY_SIZE]) {
  bool seen[8] = {false};
  if (n_keys > 8) return '6';
  for (int k = 0; k < n_keys; k++) values[k][0] = '\0';
  const char *field = query;
  for (;;) {
    // Each field is copied into its own query-sized slot before it is judged.
    char slot[QUERY_SIZE];
    size_t n = 0;
    while (field[n] && field[n] != '&' && n < QUERY_SIZE - 1) {
      slot[n] = field[n];
      n++;
    }
    slot[n] = '\0';
    int k = 0;
    while (k < n_keys && strncmp(slot, keys[k], 4) != 0) k++;
    if (k == n_keys || seen[k]) return '6';
    seen[k] = true;
    str_copy(values[k], QUERY_SIZE, slot + 4);
    field += n;
    while (*field && *field != '&') field++;  // only for a field cut at the slot size
    if (*field != '&') return '1';
    field++;
  }
}

char Iban_find_blz_DE(const char *blz, unsigned char *method) { return find_blz(blz, method); }

int check_iban_DE(const char *iban) {
  for (int i = 4; i < 22; i++)
    if (!is_digit(iban[i])) return 0;
  // N = BBAN + "1314" ("DE") + "00" in six 4-digit groups, weighted by
  // 10^20, 10^16, 10^12, 10^8, 10^4 and 1 modulo 97; S stays below 2.8e6.
  int g5 = digits_value(iban + 20, 2) * 100 + 13;
  int s = 73 * digits_value(iban + 4, 4) + 62 * digits_value(iban + 8, 4) +
          50 * digits_value(iban + 12, 4) + 81 * digits_value(iban + 16, 4) + 9 * g5 + 1400;
  return 98 - s % 97;
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
  return check != 0 && digits_value(iban + 2, 2) == check ? '1' : '0';
}

char generate_iban_DE(char *iban, char *knr, char *blz) {
  if (strlen(blz) != 8 || !all_digits(blz)) return '7';
  int64_t i = BinarySearch(head_DE, 0, head_DE_size - 1,
                           static_cast<uint64_t>(digits_value(blz, 8)));
  if (i < 0) return '7';
  // The rules read ten account digits; anything else cannot be converted.
  if (strlen(knr) != 10 || !all_digits(knr)) return '0';
  const Head_t_SEPA &rec = head_DE[i];
  char r = apply_iban_method_DE(blz, knr, rec.iban_rule, rec.successor);
  memcpy(iban, "DE00", 4);
  memcpy(iban + 4, blz, 8);
  memcpy(iban + 12, knr, 10);
  iban[22] = '\0';
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

bool ten_zeros(const char *knr) { return strcmp(knr, "0000000000") == 0; }

// The IBAN request's bank fields: those of the bank code the rule left.
void append_bank_fields_DE(char *line, const char *blz) {
  int64_t i = BinarySearch(head_DE, 0, head_DE_size - 1,
                           static_cast<uint64_t>(digits_value(blz, 8)));
  if (i >= 0) {
    const Head_t_SEPA &rec = head_DE[i];
    str_append(line, RESPONSE_SIZE, "&name=");
    str_append(line, RESPONSE_SIZE, rec.name);
    str_append(line, RESPONSE_SIZE, "&zip=");
    str_append(line, RESPONSE_SIZE, rec.zip);
    str_append(line, RESPONSE_SIZE, "&location=");
    str_append(line, RESPONSE_SIZE, rec.location);
  }
  const char *bic = getBIC_DE(blz);
  str_append(line, RESPONSE_SIZE, "&bic=");
  if (bic) str_append(line, RESPONSE_SIZE, bic);
}

// Result of the rule, with the account check the rule may ask for.  Sets
// *give_iban when the IBAN may be shown.
char iban_request_code(char r, const unsigned char *blz_digits, const char *knr,
                       const char *blz, unsigned char method, bool *give_iban) {
  *give_iban = false;
  if (r == '1') {
    *give_iban = true;
    return '1';
  }
  if (r != '8' && r != '9') return r;
  if (ten_zeros(knr)) return '0';
  unsigned char knr_digits[KNR_DE_SIZE] = {0};
  for (int i = 0; i < 10; i++) knr_digits[i] = static_cast<unsigned char>(knr[i] - '0');
  if (strcmp(blz, kIbanRuleBlz43) == 0) method = kMethod06;
  char c = check_knr(blz_digits, knr_digits, method);
  if (c != '1' && c != '9') return c;
  *give_iban = true;
  return r == '8' ? '9' : c;
}

}  // namespace

char IbanGen_DE(char *query, char allinfo, Sink &out) {
  char ccd[3] = {0}, blz[BLZ_DE_SIZE] = {0}, knr[KNR_DE_SIZE] = {0};
  char iban[IBAN_DE_SIZE] = {0};
  char line[RESPONSE_SIZE] = "code=";
  char code = Iban_extract_numbers_DE(query, ccd, blz, knr);
  bool give_iban = false;
  unsigned char method = 0;
  if (code == '1') code = Iban_find_blz_DE(blz, &method);
  if (code == '1') {
    // The check runs on the requested bank code's digits even when the rule
    // moves the account to another bank code.
    unsigned char blz_digits[BLZ_DE_SIZE] = {0};
    for (int i = 0; i < 8; i++) blz_digits[i] = static_cast<unsigned char>(blz[i] - '0');
    char r = generate_iban_DE(iban, knr, blz);
    code = iban_request_code(r, blz_digits, knr, blz, method, &give_iban);
  }
  const char code_text[2] = {code, '\0'};
  str_append(line, RESPONSE_SIZE, code_text);
  if (give_iban) {
    str_append(line, RESPONSE_SIZE, "&ibn=");
    str_append(line, RESPONSE_SIZE, iban);
    if (allinfo) append_bank_fields_DE(line, blz);
  }
  str_append(line, RESPONSE_SIZE, "&mode=IBAN");
  sink_puts(out, line);
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
    {"ccd=de", IbanGen_DE},
};

}  // namespace

char IbanGen_Main(char *query, char allinfo, Sink &out) {
  for (char *p = query; *p; p++)
    if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p - 'A' + 'a');
  for (const IbanCountry &country : kIbanCountries)
    if (strstr(query, country.selector)) return country.handler(query, allinfo, out);
  sink_puts(out, "code=4&mode=IBAN=");
  return '4';
}
// ----- end of IBAN mode dispatch -----

// ===== Foreign IBAN =====
