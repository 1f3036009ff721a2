// The C interface of libpluvar (include/pluvar/pluvar.h).
//
// A request is turned into the words of its command line and answered by the
// command line's own request path, so a library caller gets the program's
// bytes and code by construction.  The typed calls run the mode's handler and
// take the fields it writes, instead of their text.  Nothing here keeps state: every call works on its arguments
// and on the caller's stack.
#include <pluvar/pluvar.h>

#include <cstring>

#include "pluvar.h"

#ifndef PLUVAR_VERSION
#error "PLUVAR_VERSION must name the program version (set by CMakeLists.txt)"
#endif

namespace {

constexpr unsigned kOptionFlags = PLUVAR_UTF8 | PLUVAR_JSON | PLUVAR_LENIENT | PLUVAR_STRICT;
constexpr unsigned kKnownFlags = PLUVAR_ALLINFO | kOptionFlags;

// Program name, four option words, "--date" and its value, the mode word,
// "-allinfo" and the query.
constexpr int kMaxWords = 12;

// The option words in the order they are put before the mode word.
struct OptionWord {
  unsigned flag;
  const char *word;
};
constexpr OptionWord kOptionWords[] = {
    {PLUVAR_UTF8, "--utf8"},
    {PLUVAR_JSON, "--json"},
    {PLUVAR_LENIENT, "--lenient"},
    {PLUVAR_STRICT, "--strict"},
};

const char *mode_word(int mode) {
  switch (mode) {
    case PLUVAR_MODE_IBAN:
      return "iban";
    case PLUVAR_MODE_SEPA:
      return "sepa";
    case PLUVAR_MODE_SEARCH:
      return "search";
    default:
      return nullptr;
  }
}

// The command line that asks `request`; the number of words, or 0 when the
// request is not one (an unknown mode or flag, a missing query).
int request_words(const pluvar_req &request, const char *(&words)[kMaxWords]) {
  if ((request.flags & ~kKnownFlags) != 0) return 0;
  const bool allinfo = (request.flags & PLUVAR_ALLINFO) != 0;
  int n = 0;
  words[n++] = "pluvar";
  for (const OptionWord &o : kOptionWords)
    if (request.flags & o.flag) words[n++] = o.word;
  if (request.date != nullptr) {
    words[n++] = "--date";
    words[n++] = request.date;
  }
  if (request.mode == PLUVAR_MODE_VERSION || request.mode == PLUVAR_MODE_DESCRIBE) {
    if (allinfo) return 0;  // neither has an extended form
    words[n++] = request.mode == PLUVAR_MODE_VERSION ? "-v" : "--version";
    return n;
  }
  if (request.query == nullptr) return 0;
  if (request.mode != PLUVAR_MODE_ACCOUNT) {
    const char *word = mode_word(request.mode);
    if (word == nullptr) return 0;
    words[n++] = word;
  }
  if (allinfo) words[n++] = "-allinfo";
  words[n++] = request.query;
  return n;
}

// ----- Where the answer goes -----

// The caller's buffer: what fits is copied, everything is counted.
struct BufferTarget {
  char *buf;
  size_t size;
  size_t length;
};

void flush_to_buffer(void *ctx, const char *data, size_t len) {
  BufferTarget &t = *static_cast<BufferTarget *>(ctx);
  if (t.size > 0 && t.length < t.size - 1) {
    size_t room = t.size - 1 - t.length;
    memcpy(t.buf + t.length, data, len < room ? len : room);
  }
  t.length += len;
}

// The caller's callback: after its first refusal nothing more is handed on.
struct CallbackTarget {
  pluvar_write_fn write;
  void *context;
  bool failed;
};

void flush_to_callback(void *ctx, const char *data, size_t len) {
  CallbackTarget &t = *static_cast<CallbackTarget *>(ctx);
  if (!t.failed && len > 0 && t.write(t.context, data, len) != 0) t.failed = true;
}

int run_into_buffer(int argc, const char *const *argv, char *buf, size_t size, size_t *length) {
  if (size > 0 && buf == nullptr) return PLUVAR_EARGUMENT;
  BufferTarget target{buf, size, 0};
  Sink out;
  sink_init(out, flush_to_buffer, &target);
  int code = pluvar_run(argc, argv, out);
  sink_finish(out);
  if (size > 0) buf[target.length < size ? target.length : size - 1] = '\0';
  if (length != nullptr) *length = target.length;
  return target.length < size ? code : PLUVAR_ESPACE;
}

int run_into_callback(int argc, const char *const *argv, pluvar_write_fn write, void *context) {
  if (write == nullptr) return PLUVAR_EARGUMENT;
  CallbackTarget target{write, context, false};
  Sink out;
  sink_init(out, flush_to_callback, &target);
  int code = pluvar_run(argc, argv, out);
  sink_finish(out);
  return target.failed ? PLUVAR_EWRITE : code;
}

bool command_line_given(int argc, const char *const *argv) {
  if (argc < 1 || argv == nullptr) return false;
  for (int i = 0; i < argc; i++)
    if (argv[i] == nullptr) return false;
  return true;
}

// ----- Typed calls -----

// A typed call runs its mode's handler on the query made of its values and
// takes the answer's fields as the handler writes them (a FieldCapture on
// the sink), so the codes and fields are the mode's by construction.
struct Typed {
  char code = '5';
  Reason reason = Reason::unset;
  pluvar_bank *bank = nullptr;
  int *bank_found = nullptr;
  char *iban = nullptr;
  size_t iban_size = 0;
  char *country = nullptr;
  size_t country_size = 0;
  char *flags[4] = {nullptr, nullptr, nullptr, nullptr};  // sct, sdd, b2b, scc
};

void typed_begin(void *ctx, char code, Reason reason) {
  Typed &t = *static_cast<Typed *>(ctx);
  t.code = code;
  t.reason = reason;
}

void typed_field(void *ctx, const char *key, const char *value) {
  Typed &t = *static_cast<Typed *>(ctx);
  static const char *const kFlagKeys[4] = {"sct", "sdd", "b2b", "scc"};
  if (t.bank) {
    if (strcmp(key, "name") == 0) {
      str_copy(t.bank->name, sizeof t.bank->name, value);
      if (t.bank_found) *t.bank_found = 1;
      return;
    }
    if (strcmp(key, "zip") == 0) return str_copy(t.bank->zip, sizeof t.bank->zip, value);
    if (strcmp(key, "location") == 0)
      return str_copy(t.bank->location, sizeof t.bank->location, value);
    if (strcmp(key, "bic") == 0) return str_copy(t.bank->bic, sizeof t.bank->bic, value);
  }
  if (t.iban && strcmp(key, "ibn") == 0) return str_copy(t.iban, t.iban_size, value);
  if (t.country && strcmp(key, "country") == 0) return str_copy(t.country, t.country_size, value);
  for (int i = 0; i < 4; i++)
    if (t.flags[i] && strcmp(key, kFlagKeys[i]) == 0) *t.flags[i] = value[0];
}

void discard(void *, const char *, size_t) {}

using Handler = char (*)(char *query, char allinfo, Sink &out);

// Runs `call` on a sink whose answer fields go to `t`.
template <class Call>
int run_captured(Call call, Typed &t) {
  FieldCapture capture{typed_begin, typed_field, &t};
  Sink out;
  sink_init(out, discard, nullptr);
  out.capture = &capture;
  call(out);
  sink_finish(out);
  return t.code - '0';
}

char allinfo_of(unsigned flags) { return (flags & PLUVAR_ALLINFO) ? 1 : 0; }

// The handler on a query of "key1" value1 "key2" value2 ..., cut to the
// command line's 299 characters.
void run_query(Handler handler, const char *const *parts, int n, unsigned flags, Sink &out) {
  char query[QUERY_SIZE];
  query[0] = '\0';
  for (int i = 0; i < n; i++) str_append(query, sizeof query, parts[i]);
  handler(query, allinfo_of(flags), out);
}

void clear_bank(pluvar_bank &bank) {
  bank.name[0] = bank.zip[0] = bank.location[0] = bank.bic[0] = '\0';
}

// The typed calls whose answer is a bank and an IBAN (the account check
// and the German IBAN).
template <class Result, class Call>
int run_bank_typed(Result &out, Call call) {
  out.iban[0] = '\0';
  clear_bank(out.bank);
  Typed t;
  t.bank = &out.bank;
  t.iban = out.iban;
  t.iban_size = sizeof out.iban;
  out.code = run_captured(call, t);
  out.reason = reason_token(t.reason);
  return out.code;
}

}  // namespace

extern "C" {

int pluvar_answer(const pluvar_req *request, char *buf, size_t size, size_t *length) {
  const char *words[kMaxWords];
  int n = request ? request_words(*request, words) : 0;
  if (n == 0) return PLUVAR_EARGUMENT;
  return run_into_buffer(n, words, buf, size, length);
}

int pluvar_answer_to(const pluvar_req *request, pluvar_write_fn write, void *context) {
  const char *words[kMaxWords];
  int n = request ? request_words(*request, words) : 0;
  if (n == 0) return PLUVAR_EARGUMENT;
  return run_into_callback(n, words, write, context);
}

int pluvar_command(int argc, const char *const *argv, char *buf, size_t size, size_t *length) {
  if (!command_line_given(argc, argv)) return PLUVAR_EARGUMENT;
  return run_into_buffer(argc, argv, buf, size, length);
}

int pluvar_command_to(int argc, const char *const *argv, pluvar_write_fn write, void *context) {
  if (!command_line_given(argc, argv)) return PLUVAR_EARGUMENT;
  return run_into_callback(argc, argv, write, context);
}

int pluvar_check_account(const char *blz, const char *knr, unsigned flags, pluvar_account *out) {
  if (blz == nullptr || knr == nullptr || out == nullptr || (flags & ~PLUVAR_ALLINFO) != 0)
    return PLUVAR_EARGUMENT;
  // Eight digits and one to ten digits: the query "knr=KNR&blz=BLZ" reaches
  // the account check with exactly these values, so the call goes there
  // directly (the bulk of callers); any other text takes the query's path.
  size_t nb = strnlen(blz, BLZ_DE_SIZE), nk = strnlen(knr, KNR_DE_SIZE);
  if (nb == BLZ_DE_SIZE - 1 && all_digits(blz) && nk >= 1 && nk < KNR_DE_SIZE && all_digits(knr)) {
    char padded[KNR_DE_SIZE];
    pad_knr(padded, knr);
    return run_bank_typed(
        *out, [&](Sink &s) { account_check("", blz, padded, allinfo_of(flags), -1, s); });
  }
  const char *parts[] = {"knr=", knr, "&blz=", blz};
  return run_bank_typed(*out, [&](Sink &s) { run_query(Account_Main, parts, 4, flags, s); });
}

int pluvar_check_accounts(const pluvar_account_text *accounts, size_t n, int *codes) {
  if (n > 0 && (accounts == nullptr || codes == nullptr)) return PLUVAR_EARGUMENT;
  const GermanTables &de = german_edition_for(0);
  constexpr size_t kPart = 4096;  // codes as characters, on the stack
  char part[kPart];
  for (size_t at = 0; at < n; at += kPart) {
    const size_t k = n - at < kPart ? n - at : kPart;
    std::span<const AccountText> texts(accounts + at, k);
    plain_account_codes(de, texts, part);
    for (size_t i = 0; i < k; i++) {
      if (part[i] != kNotPlainAccount) {
        codes[at + i] = part[i] - '0';
      } else {
        pluvar_account single;
        codes[at + i] = pluvar_check_account(accounts[at + i].blz, accounts[at + i].knr, 0, &single);
      }
    }
  }
  return 0;
}

int pluvar_build_iban_de(const char *blz, const char *knr, unsigned flags, pluvar_iban_de *out) {
  if (blz == nullptr || knr == nullptr || out == nullptr || (flags & ~PLUVAR_ALLINFO) != 0)
    return PLUVAR_EARGUMENT;
  const char *parts[] = {"ccd=de&blz=", blz, "&knr=", knr};
  return run_bank_typed(*out, [&](Sink &s) { run_query(IbanGen_Main, parts, 4, flags, s); });
}

int pluvar_validate_iban(const char *iban, const char *bic, unsigned flags, pluvar_iban_check *out) {
  if (iban == nullptr || out == nullptr || (flags & ~PLUVAR_ALLINFO) != 0) return PLUVAR_EARGUMENT;
  out->country[0] = '\0';
  out->bank_found = 0;
  clear_bank(out->bank);
  out->sct = out->sdd = out->b2b = out->scc = '\0';
  Typed t;
  t.bank = &out->bank;
  t.bank_found = &out->bank_found;
  t.country = out->country;
  t.country_size = sizeof out->country;
  t.flags[0] = &out->sct;
  t.flags[1] = &out->sdd;
  t.flags[2] = &out->b2b;
  t.flags[3] = &out->scc;
  const bool with_bic = bic != nullptr && bic[0] != '\0';
  const char *parts[] = {"IBN=", iban, "&BIC=", bic};
  out->code = run_captured(
      [&](Sink &s) { run_query(Sepa_Main, parts, with_bic ? 4 : 2, flags, s); }, t);
  out->reason = reason_token(t.reason);
  return out->code;
}

const char *pluvar_version(void) { return PLUVAR_VERSION; }

int pluvar_data_edition(unsigned long *valid_from, unsigned long *valid_to) {
  const Edition_DE &today = german_edition_for(0).edition_DE;
  if (valid_from) *valid_from = today.valid_from;
  if (valid_to) *valid_to = today.valid_to;
  return 0;
}

}  // extern "C"
