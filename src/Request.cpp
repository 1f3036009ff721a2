// The request path: every entry (command line, batch line, library caller)
// comes through here.  It takes the option words off the front, then judges
// the rest of the command line as it always has: the argument count, the
// mode word, "-allinfo" and the query.
#include <cstring>

#include "pluvar.h"

const RequestOptions kDefaultOptions{};

namespace {

constexpr size_t kModeWordSize = 10;
// Program name, mode word, "-allinfo", query: the most words a command line
// without options has.  A longer one answers code=5 whatever it holds.
constexpr int kMaxWords = 4;

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
  if (strcmp(word, "iban") == 0) return IbanGen_Main;
  if (strcmp(word, "sepa") == 0) return Sepa_Main;
  return nullptr;
}

bool is_option_word(const char *word) { return word[0] == '-' && word[1] == '-'; }

// The command line without options: words[0] is the program name.
char judge_command_line(int n, const char *const *words, Sink &out) {
  char query[QUERY_SIZE] = {0};
  char word1[kModeWordSize] = {0};
  char word2[kModeWordSize] = {0};

  if (n == 2) {
    if (strcmp(words[1], "-v") == 0) {
      char banner[BANNER_SIZE];
      format_banner(banner, sizeof banner, edition_DE);
      sink_puts(out, banner);
      return '1';
    }
    copy_query(query, words[1]);
    return Account_Main(query, 0, out);
  }
  if (n == 3) {
    copy_query(query, words[2]);
    normalise_mode_word(word1, words[1]);
    if (Handler h = handler_for(word1)) return h(query, 0, out);
    if (strcmp(word1, "-allinfo") == 0) return Account_Main(query, 1, out);
    return write_code5(out);
  }
  if (n == 4) {
    copy_query(query, words[3]);
    normalise_mode_word(word1, words[1]);
    normalise_mode_word(word2, words[2]);
    Handler h = handler_for(word1);
    if (h && strcmp(word2, "-allinfo") == 0) return h(query, 1, out);
  }
  return write_code5(out);
}

// Value of the n digits at text; false when one of them is not a digit.
bool read_digits(const char *text, int n, uint32_t &value) {
  value = 0;
  for (int i = 0; i < n; i++) {
    if (!is_digit(static_cast<unsigned char>(text[i]))) return false;
    value = value * 10 + static_cast<uint32_t>(text[i] - '0');
  }
  return true;
}

}  // namespace

uint32_t parse_option_date(const char *text) {
  constexpr size_t kDateLength = 10;  // YYYY-MM-DD
  if (strnlen(text, kDateLength + 1) != kDateLength || text[4] != '-' || text[7] != '-') return 0;
  uint32_t y, m, d;
  if (!read_digits(text, 4, y) || !read_digits(text + 5, 2, m) || !read_digits(text + 8, 2, d))
    return 0;
  uint32_t ymd = y * 10000 + m * 100 + d;
  return y >= 1000 && valid_ymd(ymd) ? ymd : 0;
}

int parse_options(int argc, const char *const *argv, int first, RequestOptions &opts,
                  OptionError &error) {
  error = OptionError::none;
  auto fail = [&error](OptionError e) {
    if (error == OptionError::none) error = e;
  };
  int i = first;
  while (i < argc - 1 && is_option_word(argv[i])) {
    const char *w = argv[i++];
    if (strcmp(w, "--utf8") == 0)
      opts.utf8 = true;
    else if (strcmp(w, "--json") == 0)
      opts.json = true;
    else if (strcmp(w, "--lenient") == 0)
      opts.lenient = true;
    else if (strcmp(w, "--strict") == 0)
      opts.strict = true;
    else if (strcmp(w, "--date") == 0) {
      // The date is the next word; the last word stays the query.
      if (i >= argc - 1) {
        fail(OptionError::date_missing);
        continue;
      }
      uint32_t date = parse_option_date(argv[i++]);
      if (date == 0)
        fail(OptionError::date_malformed);
      else
        opts.date = date;
    } else {
      fail(OptionError::unknown);
    }
  }
  return i;
}

int pluvar_request(const RequestOptions &base, int argc, const char *const *argv, Sink &out) {
  RequestOptions opts = base;
  OptionError error = OptionError::none;
  int rest = argc > 1 ? parse_options(argc, argv, 1, opts, error) : argc;

  const RequestOptions *saved = out.options;
  out.options = &opts;
  char code;
  if (error != OptionError::none) {
    code = write_code5(out);
  } else {
    // The command line as it would stand without the options.
    const char *words[kMaxWords];
    int n = argc - rest + 1;
    if (n > kMaxWords || argc < 1) {
      code = write_code5(out);
    } else {
      words[0] = argv[0];
      for (int k = 1; k < n; k++) words[k] = argv[rest + k - 1];
      code = judge_command_line(n, words, out);
    }
  }
  out.options = saved;
  return code - '0';
}

// "pluvar [--date YYYY-MM-DD] --version": a description for people of the
// program and its data editions, as of the given day or today.  Only the
// command line asks this; a batch line or library call never does, as its
// answer is several lines.
static bool is_version_request(int argc, const char *const *argv, RequestOptions &opts) {
  if (argc < 2 || strcmp(argv[argc - 1], "--version") != 0) return false;
  OptionError error = OptionError::none;
  return parse_options(argc, argv, 1, opts, error) == argc - 1 && error == OptionError::none;
}

int pluvar_run(int argc, const char *const *argv, Sink &out) {
  RequestOptions opts = kDefaultOptions;
  if (is_version_request(argc, argv, opts)) {
    write_version(out, opts.date != 0 ? opts.date : today_ymd());
    return 0;
  }
  return pluvar_request(kDefaultOptions, argc, argv, out);
}
