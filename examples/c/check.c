/* A small C caller of libpluvar: checks an account, builds its IBAN and
 * validates it, then asks one request as the command line would.
 *   cc check.c $(pkg-config --cflags --libs pluvar) -o check
 *   ./check [BLZ KNR]                     (default 37040044 532013000) */
#include <pluvar/pluvar.h>
#include <stdio.h>

int main(int argc, char **argv) {
  const char *blz = argc > 2 ? argv[1] : "37040044";
  const char *knr = argc > 2 ? argv[2] : "532013000";

  pluvar_account account;
  int code = pluvar_check_account(blz, knr, PLUVAR_ALLINFO, &account);
  printf("account %s at %s: code %d (%s), %s, %s %s, IBAN %s, BIC %s\n", knr, blz, code,
         account.reason, account.bank.name, account.bank.zip, account.bank.location,
         account.iban, account.bank.bic);

  pluvar_iban_de built;
  code = pluvar_build_iban_de(blz, knr, 0, &built);
  printf("IBAN: code %d, %s\n", code, built.iban);

  pluvar_iban_check check;
  code = pluvar_validate_iban(built.iban, NULL, PLUVAR_ALLINFO, &check);
  printf("validation: code %d, %s, BIC %s, SCT %c\n", code, check.country, check.bank.bic,
         check.sct ? check.sct : '-');

  /* The command line's answer, byte for byte: pluvar sepa -allinfo IBN=... */
  char query[64];
  snprintf(query, sizeof query, "IBN=%s", built.iban);
  pluvar_req request = {PLUVAR_MODE_SEPA, PLUVAR_ALLINFO, query, NULL};
  char answer[PLUVAR_ANSWER_SIZE];
  size_t length = 0;
  code = pluvar_answer(&request, answer, sizeof answer, &length);
  printf("answer (%zu bytes, code %d): %s\n", length, code, answer);

  unsigned long from = 0, to = 0;
  pluvar_data_edition(&from, &to);
  printf("library %s, German directory valid %lu - %lu\n", pluvar_version(), from, to);
  return code < 0 ? 2 : 0;
}
