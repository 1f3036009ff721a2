// The program's entry: the command line, mode dispatch, and the account-check
// request of the default mode.
#include <cstdio>
#include <cstring>

#include "pluvar.h"

namespace {

const char kBanner[] = "Pluvar 3.25.1,  valid 03/03/25 - 06/08/25";
constexpr size_t kModeWordSize = 10;

// Copies at most 299 characters of the query argument; a longer argument is
// cut without a message and the handler judges the shortened query.
void copy_query(char *query, const char *arg) {
  size_t i = 0;
  for (; i < QUERY_SIZE - 1 && arg[i]; i++) query[i] = arg[i];
  query[i] = '\0';
}

// Mode words are compared after lowercasing ASCII capitals in their first
// nine characters; a longer word is cut to nine and so matches none.
void normalise_mode_word(char *word, const char *arg) {
  size_t i = 0;
  for (; i < kModeWordSize - 1 && arg[i]; i++) {
    char ch = arg[i];
    word[i] = (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
  }
  word[i] = '\0';
}

char write_code5(Sink &out) {
  sink_puts(out, "code=5");
  return '5';
}

using Handler = char (*)(char *query, char allinfo, Sink &out);

// Handlers reachable by a mode word.  A mode whose handler is not wired is
// answered like an unknown word.
Handler handler_for(const char *word) {
  if (strcmp(word, "search") == 0) return Search_Main;
  return nullptr;
}

}  // namespace

int pluvar_run(int argc, const char *const *argv, Sink &out) {
  char query[QUERY_SIZE] = {0};
  char word1[kModeWordSize] = {0};
  char word2[kModeWordSize] = {0};
  char code = '5';

  if (argc == 2) {
    if (strcmp(argv[1], "-v") == 0) {
      sink_puts(out, kBanner);
      return 1;
    }
    copy_query(query, argv[1]);
    code = Account_Main(query, 0, out);
  } else if (argc == 3) {
    copy_query(query, argv[2]);
    normalise_mode_word(word1, argv[1]);
    if (Handler h = handler_for(word1))
      code = h(query, 0, out);
    else if (strcmp(word1, "-allinfo") == 0)
      code = Account_Main(query, 1, out);
    else
      code = write_code5(out);
  } else if (argc == 4) {
    copy_query(query, argv[3]);
    normalise_mode_word(word1, argv[1]);
    normalise_mode_word(word2, argv[2]);
    Handler h = handler_for(word1);
    if (h && strcmp(word2, "-allinfo") == 0)
      code = h(query, 1, out);
    else
      code = write_code5(out);
  } else {
    code = write_code5(out);
  }
  return code - '0';
}

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

char Account_Main(char *query, char allinfo, Sink &out) {
  (void)query;
  (void)allinfo;
  // The account check arrives with the check-digit engine; until then the
  // default mode answers like an unusable command line.
  return write_code5(out);
}

// ===== Process entry =====

#ifndef PLUVAR_NO_ENTRY
static void write_stdout(void *, const char *data, size_t len) { fwrite(data, 1, len, stdout); }

int main(int argc, char **argv) {
  Sink out;
  sink_init(out, write_stdout, nullptr);
  int status = pluvar_run(argc, argv, out);
  sink_finish(out);
  fflush(stdout);
  return status;
}
#endif
