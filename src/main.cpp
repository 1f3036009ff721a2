// The program's entry and the account-check request of the default mode.
// The command line itself is judged in Request.cpp.
#include <cstring>

#include "pluvar.h"

// Looks the bank code up in `l` and appends six blanks (the place of "code="
// and its digit) and the bank's name, zip and place to the response line.
char find_blz_and_form_output_string(const char *blz, char *line, unsigned char *method) {
  int64_t row = find_blz_row(blz);
  if (row < 0) return '7';
  const BLZ_Row &r = l[row];
  str_append(line, RESPONSE_SIZE, "      &name=");
  str_append(line, RESPONSE_SIZE, r.name);
  str_append(line, RESPONSE_SIZE, "&zip=");
  str_append(line, RESPONSE_SIZE, r.zip);
  str_append(line, RESPONSE_SIZE, "&location=");
  str_append(line, RESPONSE_SIZE, r.place);
  *method = r.method;
  return '1';
}

// ===== Account-check request =====

namespace {

// The IBAN key in any letter case followed by the country letters in
// capitals: a German IBAN must be written with "DE", and the parser
// lowercases the query before it reads the value.
bool has_capital_de_iban_key(const char *query) {
  for (const char *p = query; p[0]; p++) {
    if ((p[0] | 0x20) == 'i' && (p[1] | 0x20) == 'b' && (p[2] | 0x20) == 'n' && p[3] == '=' &&
        p[4] == 'D' && p[5] == 'E')
      return true;
  }
  return false;
}

// Digit values of a digit text, as the check-digit engine takes them.
void digit_values(const char *text, unsigned char *digits, int n) {
  for (int i = 0; i < n; i++) digits[i] = static_cast<unsigned char>(text[i] - '0');
}

bool is_ten_zeros(const char *knr) { return strcmp(knr, "0000000000") == 0; }

// Whether the IBAN derived through the bank's IBAN rule may be shown: a rule
// that asks for the account check releases it only when the account number
// as the rule left it passes.
bool derive_iban(char *derived, const char *blz, const char *knr,
                 const unsigned char *blz_digits, unsigned char method) {
  char rule_blz[BLZ_DE_SIZE], rule_knr[KNR_DE_SIZE];
  str_copy(rule_blz, sizeof rule_blz, blz);
  str_copy(rule_knr, sizeof rule_knr, knr);
  char r = generate_iban_DE(derived, rule_knr, rule_blz);
  if (r == '1') return true;
  if (r != '8' && r != '9') return false;
  char c = check_rule_account_DE(blz_digits, rule_knr, rule_blz, method);
  return c == '1' || c == '9';
}

}  // namespace

char extract_numbers(char *query, char *iban, char *blz, char *knr) {
  iban[0] = blz[0] = knr[0] = '\0';
  bool capital_de = has_capital_de_iban_key(query);
  if (query[0] == '\0') return '6';
  size_t len = 0;
  int amps = 0, eqs = 0;
  for (char *p = query; *p; p++, len++) {
    if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p - 'A' + 'a');
    if (*p == '&') amps++;
    if (*p == '=') eqs++;
  }
  bool account_form = len > 10 && amps == 1 && eqs == 2 && strstr(query, "knr=") &&
                      strstr(query, "blz=");
  bool iban_form = len > 4 && amps == 0 && eqs == 1 && strstr(query, "ibn=");
  if (!account_form && !iban_form) return '6';
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
  size_t nb = strlen(b), nk = strlen(k);
  if (nb != 8) return '2';
  if (nk == 0 || nk > 10) return '3';
  memcpy(blz, b, BLZ_DE_SIZE);
  memset(knr, '0', 10 - nk);
  memcpy(knr + (10 - nk), k, nk + 1);
  return '1';
}

char account_check(const char *iban, const char *blz_in, const char *knr_in, char allinfo,
                   int method_override, Sink &out) {
  char line[RESPONSE_SIZE] = {0};
  char blz[BLZ_DE_SIZE] = {0}, knr[KNR_DE_SIZE] = {0};
  bool iban_request = iban[0] != '\0';
  bool check_digits_right = true;
  if (iban_request)
    check_digits_right = split_iban_DE(iban, knr, blz) == '1';
  else {
    str_copy(blz, sizeof blz, blz_in);
    str_copy(knr, sizeof knr, knr_in);
  }

  unsigned char method = 0;
  unsigned char blz_digits[BLZ_DE_SIZE] = {0};
  bool found = Iban_find_blz_DE(blz, &method) == '1';
  if (method_override >= 0) method = static_cast<unsigned char>(method_override);
  char derived[IBAN_DE_SIZE] = {0};
  bool confirmed = false;
  if (found) {
    digit_values(blz, blz_digits, 8);
    if (check_digits_right) confirmed = derive_iban(derived, blz, knr, blz_digits, method);
  }

  char code;
  if (find_blz_and_form_output_string(blz, line, &method) != '1') {
    code = '7';
  } else {
    if (method_override >= 0) method = static_cast<unsigned char>(method_override);
    if (iban_request) {
      char requested[IBAN_DE_SIZE];
      str_copy(requested, sizeof requested, iban);
      requested[0] = 'D';
      requested[1] = 'E';
      code = check_digits_right && confirmed && strcmp(requested, derived) == 0 ? '1' : '0';
    } else if (is_ten_zeros(knr)) {
      code = '0';  // no account is all zeros; no method is asked
    } else {
      unsigned char knr_digits[KNR_DE_SIZE] = {0};
      digit_values(knr, knr_digits, 10);
      code = check_knr(blz_digits, knr_digits, method);
    }
  }

  const char head[] = {'c', 'o', 'd', 'e', '=', code};
  if (code == '7') {
    str_copy(line, sizeof line, "code=7");
  } else {
    memcpy(line, head, sizeof head);
  }
  if (code == '0' || code == '1' || code == '9') {
    const char *bic = allinfo ? getBIC_DE(blz) : nullptr;
    if (iban_request) {
      str_append(line, sizeof line, "&knr=");
      str_append(line, sizeof line, knr);
      str_append(line, sizeof line, "&blz=");
      str_append(line, sizeof line, blz);
    } else if (allinfo && confirmed) {
      str_append(line, sizeof line, "&ibn=");
      str_append(line, sizeof line, derived);
    }
    if (allinfo) {
      str_append(line, sizeof line, "&bic=");
      if (bic) str_append(line, sizeof line, bic);
    }
  }
  sink_puts(out, line);
  return code;
}

char Account_Main(char *query, char allinfo, Sink &out) {
  char iban[IBAN_DE_SIZE] = {0}, blz[BLZ_DE_SIZE] = {0}, knr[KNR_DE_SIZE] = {0};
  char code = extract_numbers(query, iban, blz, knr);
  if (code != '1') {
    const char line[] = {'c', 'o', 'd', 'e', '=', code, '\0'};
    sink_puts(out, line);
    return code;
  }
  return account_check(iban, blz, knr, allinfo, -1, out);
}

// ===== Process entry =====

#ifndef PLUVAR_NO_ENTRY
#include <unistd.h>

int main(int argc, char **argv) {
  FdOutput output;
  fd_output_init(output, STDOUT_FILENO);
  Sink out;
  sink_init(out, fd_output_flush, &output);
  int status = pluvar_run(argc, argv, out);
  fd_output_finish_answer(out, output);
  // The answer's digit only when every byte of the answer was written.
  if (!fd_output_close(output)) return EXIT_WRITE_FAILED;
  return status;
}
#endif
