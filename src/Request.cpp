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

char lower_ascii(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch; }
char upper_ascii(char ch) { return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch; }

// Whether the text begins with the lowercase word, ignoring ASCII case.
bool starts_with_word(const char *text, const char *word) {
  for (; *word; text++, word++)
    if (lower_ascii(*text) != *word) return false;
  return true;
}

// What --lenient takes out of a value, by its key.
enum class Compact { none, iban, number };

Compact compaction_of(const char *field) {
  if (starts_with_word(field, "ibn=")) return Compact::iban;
  if (starts_with_word(field, "blz=") || starts_with_word(field, "knr=")) return Compact::number;
  return Compact::none;
}

// The value of one field as --lenient reads it: IBANs without blanks,
// hyphens and a leading "IBAN" in any case, with capital letters; bank codes
// and account numbers without blanks.  Only these ASCII characters are
// touched.  Returns where the field ends ('&' or the end of the argument).
const char *compact_value(const char *p, Compact how, char *value, size_t cap) {
  size_t n = 0;
  for (; *p && *p != '&'; p++) {
    if (*p == ' ' || (how == Compact::iban && *p == '-')) continue;
    if (n < cap - 1) value[n++] = how == Compact::iban ? upper_ascii(*p) : *p;
  }
  value[n] = '\0';
  if (how == Compact::iban && starts_with_word(value, "iban")) memmove(value, value + 4, n - 3);
  return p;
}

// The query as --lenient reads it, cut at 299 characters like any query.
void copy_query_lenient(char *query, const char *arg) {
  query[0] = '\0';
  for (const char *p = arg;;) {
    Compact how = compaction_of(p);
    if (how == Compact::none) {
      char field[QUERY_SIZE];
      size_t n = 0;
      for (; *p && *p != '&'; p++)
        if (n < sizeof field - 1) field[n++] = *p;
      field[n] = '\0';
      str_append(query, QUERY_SIZE, field);
    } else {
      char key[5] = {p[0], p[1], p[2], p[3], '\0'};
      char value[QUERY_SIZE];
      p = compact_value(p + 4, how, value, sizeof value);
      str_append(query, QUERY_SIZE, key);
      str_append(query, QUERY_SIZE, value);
    }
    if (*p != '&') break;
    str_append(query, QUERY_SIZE, "&");
    p++;
  }
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

char write_code5(Sink &out, Reason reason = Reason::command_line) {
  answer_begin(out, '5', reason);
  answer_end(out);
  return '5';
}

// The banner is a line of its own, without "code="; JSON gives it a key.
char write_banner(Sink &out) {
  char banner[BANNER_SIZE];
  format_banner(banner, sizeof banner, out.german->edition_DE);
  if (!out.options->json) {
    sink_puts(out, banner);
    return '1';
  }
  answer_begin(out, '1', Reason::version);
  answer_field(out, "banner", banner);
  answer_end(out);
  return '1';
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

void take_query(char *query, const char *arg, const Sink &out) {
  if (out.options->lenient)
    copy_query_lenient(query, arg);
  else
    copy_query(query, arg);
}

// The command line without options: words[0] is the program name.
char judge_command_line(int n, const char *const *words, Sink &out) {
  // Each is written whole before it is read.
  char query[QUERY_SIZE];
  char word1[kModeWordSize];
  char word2[kModeWordSize];

  if (n == 2) {
    if (strcmp(words[1], "-v") == 0) return write_banner(out);
    take_query(query, words[1], out);
    return Account_Main(query, 0, out);
  }
  if (n == 3) {
    take_query(query, words[2], out);
    normalise_mode_word(word1, words[1]);
    if (Handler h = handler_for(word1)) return h(query, 0, out);
    if (strcmp(word1, "-allinfo") == 0) return Account_Main(query, 1, out);
    return write_code5(out);
  }
  if (n == 4) {
    take_query(query, words[3], out);
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
  const GermanTables *saved_german = out.german;
  out.options = &opts;
  // The edition is chosen once: every lookup of this request reads it.
  out.german = &german_edition_for(opts.date, out.clock);
  out.first_field = false;
  out.hits_open = false;
  char code;
  if (error != OptionError::none) {
    code = write_code5(out, error == OptionError::unknown ? Reason::option_unknown
                                                          : Reason::option_date);
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
  out.german = saved_german;
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
