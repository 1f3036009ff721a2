// The program's entry and the account-check request of the default mode.
// The command line itself is judged in Request.cpp.
#include <algorithm>
#include <cstring>

#include "pluvar.h"

void write_row_fields(Sink &out, const BLZ_Row &r) {
  answer_field(out, "name", r.name);
  answer_field(out, "zip", r.zip);
  answer_field(out, "location", r.place);
  answer_deletion_mark(out, r.blz);
}

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
