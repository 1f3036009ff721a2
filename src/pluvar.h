// Pluvar: German and European bank account checker.
//
// One header for the whole program: the record types of the compiled-in
// tables, the tables themselves, the output sink the handlers write through,
// and every function that one unit offers another.  The code is plain
// functions over fixed-size buffers; nothing here allocates.
#ifndef PLUVAR_H
#define PLUVAR_H

#include <bit>
#include <functional>
#include <limits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include <pluvar/pluvar.h>

#include "HugePages.h"

// ---------------------------------------------------------------------------
// Output sink.
//
// Handlers never touch stdout themselves.  They write through a sink that
// buffers bytes and hands full buffers to a flush callback; `main` flushes to
// standard output, tests and benchmarks collect the bytes in memory.  The
// search mode may list thousands of hit lines, so the sink streams instead of
// holding the whole answer.
// ---------------------------------------------------------------------------
struct RequestOptions;
struct GermanTables;

// The local date as last read, and the clock second it was read in: a
// request path that answers many requests (a batch) converts the clock to a
// local date once a second, not once a request (the conversion costs more
// than a plain account check).  second is -1 before the first reading.
struct DayClock {
  int64_t second;
  uint32_t day;
};

struct Sink {
  void (*flush)(void *ctx, const char *data, size_t len);
  void *ctx;
  size_t len;
  // The options of the request being answered (never null): sink_init points
  // it at the defaults, the request path at the options of the command line
  // for the time of one request.  Handlers read them as `out.options->strict`.
  const RequestOptions *options;
  // The German directory edition the request answers from (never null):
  // sink_init takes today's, the request path the one of the request's day.
  // Handlers hand it to the German lookups as `*out.german`.
  const GermanTables *german;
  // Today's date for the choice, read only by builds with two editions.
  DayClock clock;
  // Where the answer writer stands (Answer.cpp): an answer or hit begun,
  // whether a field has been written in it, the JSON hit list opened.
  bool first_field;
  bool hits_open;
  // When set, the answer writer hands the code and the fields to it instead
  // of rendering them (the library's typed calls, Api.cpp).
  struct FieldCapture *capture;
  char buf[16384];
};

void sink_init(Sink &out, void (*flush)(void *, const char *, size_t), void *ctx);
// Writes that fit the buffer's room (nearly all) are a copy; the rest flush.
void sink_write_flushing(Sink &out, const char *data, size_t len);
inline void sink_write(Sink &out, const char *data, size_t len) {
  if (len > sizeof out.buf - out.len) return sink_write_flushing(out, data, len);
  memcpy(out.buf + out.len, data, len);
  out.len += len;
}
// Writes the first len bytes of a block, whose kBlock bytes must all be
// readable.  Copying the whole block is a few vector moves, where a copy of
// varying length is a call or a slow string instruction.
template <size_t kBlock>
inline void sink_write_block(Sink &out, const char *block, size_t len) {
  if (len > kBlock || kBlock > sizeof out.buf - out.len) return sink_write_flushing(out, block, len);
  memcpy(out.buf + out.len, block, kBlock);
  out.len += len;
}
void sink_puts(Sink &out, const char *text);
void sink_finish(Sink &out);  // hands the rest of the buffer to flush
// A single sink_write of at most sizeof Sink::buf bytes reaches one flush
// whole: the buffer is flushed before it when it would not fit.
// Flushes unless n more bytes fit.
inline void sink_reserve(Sink &out, size_t n) {
  if (n > sizeof out.buf - out.len) sink_finish(out);
}
// Room the answer writer reserves before a response line, so that the line,
// written in pieces, still reaches one flush whole (a line holds at most 299
// bytes, and its texts at most three times as many in UTF-8).
constexpr size_t RESPONSE_RESERVE = 1024;

// ---------------------------------------------------------------------------
// Writing answers to a descriptor (Output.cpp), for the process entries.
// ---------------------------------------------------------------------------

// The exit status when any byte of an answer could not be written (EX_IOERR
// of sysexits.h): outside the answer digits 0-9 and below the statuses that
// shells reserve.
constexpr int EXIT_WRITE_FAILED = 74;

// Writes all `len` bytes: retries after signals and waits with poll while a
// non-blocking descriptor is full.  false when a byte could not be written.
bool write_fully(int fd, const char *data, size_t len);
// "PREFIX: WHAT: <the text of errno value ERROR>" and a line end on standard
// error, written without stdio: the program needs no formatted printing.
void report_error(const char *prefix, const char *what, int error);

// A sink's flush target: the descriptor and whether a write has failed.  After
// a failure nothing more is written.
struct FdOutput {
  int fd;
  bool failed;
  int error;  // errno of the failed write or close
};
void fd_output_init(FdOutput &o, int fd);
void fd_output_flush(void *ctx, const char *data, size_t len);  // ctx: FdOutput*
// The last flush of one answer: the response line (the text after the last
// line end) goes to the descriptor in one write.
void fd_output_finish_answer(Sink &out, FdOutput &o);
// Closes the descriptor; false when closing or any earlier write failed.
bool fd_output_close(FdOutput &o);

// ---------------------------------------------------------------------------
// Batch mode (Batch.cpp): one request per line of `in_fd`, fields separated by
// TAB, each answered through pluvar_request with the `prefix` words (the batch
// command line's options) before the line's fields, then LF.  Returns 0 at the
// end of input when every answer was written, EXIT_WRITE_FAILED (with a message
// on standard error) when reading or writing failed.  Closes `out_fd`.
// With `threads` above 1 (at most kMaxThreads), that many threads share the
// lines of each large read; the answers and their order stay the same.
// ---------------------------------------------------------------------------
constexpr int kMaxThreads = 16;
int pluvar_batch(int in_fd, int out_fd, int n_prefix, const char *const *prefix, int threads = 1);

// ---------------------------------------------------------------------------
// Request options (Request.cpp).
//
// Option words begin with "--" and stand before the mode word, or before the
// query in the default mode:  pluvar [OPTION...] [MODE] [-allinfo] QUERY.
// The last word is always the query and never an option.  After the options
// are taken off, the command line is judged exactly as without them.  An
// unknown option, an option value in the wrong form, or "--batch" (which the
// process entry handles before it calls the request path) answers code=5.
//
// Handlers reach the options through the sink: `const RequestOptions &o =
// *out.options;`.  Nothing else about the handlers' signatures changes.
// ---------------------------------------------------------------------------
struct RequestOptions {
  bool utf8 = false;     // --utf8: texts of the answer in UTF-8, as the source spells them
  bool json = false;     // --json: the answer as one JSON object on one line
  bool lenient = false;  // --lenient: printed forms of IBANs, bank codes, accounts accepted
  bool strict = false;   // --strict: the SEPA mode's strict reading
  // --date YYYY-MM-DD: the day whose directory edition answers, as the number
  // yyyymmdd (20250303); 0 when the option is absent.
  uint32_t date = 0;
};

// The options in force when none is given; Sink::options points here after
// sink_init.
extern const RequestOptions kDefaultOptions;

// Why an option word set was refused (the answer is code=5).
enum class OptionError { none, unknown, date_missing, date_malformed };

// Reads the option words at argv[first..]: stops at the first word that does
// not begin with "--" or at the last word (argv[argc - 1], the query), and
// returns the index of the first word that is not an option.  Options are
// added to `opts` (so a caller may pass options it already holds, e.g. the
// batch command line's).  All option words are read even after an error, so
// that --json shapes the code=5 answer of a bad option too; `error` tells the
// first error.
int parse_options(int argc, const char *const *argv, int first, RequestOptions &opts,
                  OptionError &error);
// "YYYY-MM-DD" with a real calendar day (years 1000-9999) as yyyymmdd, or 0.
uint32_t parse_option_date(const char *text);

// The request path: options, then the command line as judged without them,
// answered through `out`.  Returns the exit status (the answer's code digit).
// `base` are options already in force (kDefaultOptions from the command line;
// the batch command line's options for each batch line).
int pluvar_request(const RequestOptions &base, int argc, const char *const *argv, Sink &out);

// ---------------------------------------------------------------------------
// Answer writer (Answer.cpp; the JSON form in Json.cpp, texts in Text.cpp).
//
// Handlers write their answer as a code, its reason and fields; the writer
// renders them as the line format (`code=1&name=...`) or, under --json, as
// one JSON object.  Both forms see the same fields in the same order, so a
// bank name holding '&' or '=' never needs reparsing.  Under --utf8 and
// --json every value is written in UTF-8, texts the tables store folded in
// their source spelling.
// ---------------------------------------------------------------------------

// Why an answer has its code: one token per case (README, "Reasons").
enum class Reason : uint8_t {
  unset,  // never written by a finished handler; tests look for it
  version, command_line, option_unknown, option_date, query_shape,
  valid, check_digit, ten_zeros, no_check_digit, method_unknown,
  blz_malformed, knr_malformed, ibn_malformed, blz_unknown,
  iban_check_digits, iban_not_confirmed, iban_not_derived,
  built, rule_refuses, national_check, ccd_malformed, ccd_missing,
  bic_malformed, country_unknown, country_without_iban, format_mismatch, format_malformed,
  bank_unknown, bic_not_confirmed,
  all_hits, more_hits, no_hits, zip_malformed, max_malformed, nam_malformed, loc_malformed,
  count_  // number of reasons
};
const char *reason_token(Reason reason);
// The reason of a query refused by its parser: the key at fault for codes 2,
// 3 and 4 as the mode names them, else the query's shape (code 6).
Reason refusal_reason(char code, Reason code2, Reason code3, Reason code4);

// The response line: the code (its digit, or the exit status as a JSON
// number), then fields "&key=value" in call order.  answer_end closes it.
// The plain line is written here, in the caller (a batch writes millions);
// a captured or JSON answer begins in Answer.cpp.
void answer_begin_captured_or_json(Sink &out, char code, Reason reason);
inline void answer_begin(Sink &out, char code, Reason reason) {
  if (out.capture || out.options->json) return answer_begin_captured_or_json(out, code, reason);
  // The response line goes out in one piece (one write of the process entry).
  sink_reserve(out, RESPONSE_RESERVE);
  // The digit is written on its own: joined to "code=" in a small array,
  // it would be read back as part of a wider word than it was stored as,
  // which the processor cannot forward from its pending stores.
  sink_write(out, "code=", 5);
  sink_write(out, &code, 1);
  out.first_field = false;
}
void answer_field_keyed(Sink &out, const char *key, size_t key_len, const char *value);
// The field in the plain line format (no capture, no JSON, no UTF-8) in one
// pass, where the buffer has room, as it nearly always has (answer_begin
// reserved room for the line); false when the field needs the general writer.
inline bool answer_field_plain(Sink &out, const char *key, size_t key_len, const char *value) {
  if (out.capture || out.options->json || out.options->utf8) return false;
  const size_t value_len = strlen(value);
  if (key_len + value_len + 2 > sizeof out.buf - out.len) return false;
  char *p = out.buf + out.len;
  *p = '&';
  p += !out.first_field;
  memcpy(p, key, key_len);
  p += key_len;
  *p++ = '=';
  memcpy(p, value, value_len);
  out.len = static_cast<size_t>(p + value_len - out.buf);
  out.first_field = false;
  return true;
}
// Keys are literals: their length is known where the call is made, so the
// plain format copies the key as a constant.
template <size_t N>
inline void answer_field(Sink &out, const char (&key)[N], const char *value) {
  if (!answer_field_plain(out, key, N - 1, value)) answer_field_keyed(out, key, N - 1, value);
}
// The bank fields of a German bank code: JSON adds "deleted": true and the
// successor bank code for a bank the directory marks for deletion; the line
// format has no place for them and is unchanged.
void answer_deletion_mark(Sink &out, const char *blz);
void answer_end_json(Sink &out);
inline void answer_end(Sink &out) {
  if (!out.capture && out.options->json) answer_end_json(out);
}
// The receiver of a captured answer: the code and its reason, then each
// field as the handler writes it (values as stored, valid during the call).
struct FieldCapture {
  void (*begin)(void *ctx, char code, Reason reason);
  void (*field)(void *ctx, const char *key, const char *value);
  void *ctx;
};
// A search hit: its own line ending in CR LF before the response line, or
// one object of the JSON answer's "hits" list.  Fields through answer_field.
void hit_begin(Sink &out);
void hit_end(Sink &out);

// A sink that collects into a fixed text buffer (capacity incl. NUL) for
// callers that want an answer part as text: what does not fit is cut, the
// text stays terminated.  The collector must outlive the sink's use.
struct TextCollector {
  char *text;
  size_t cap;
  size_t len;
};
void sink_init_text(Sink &out, TextCollector &collector);

// Texts (Text.cpp).  The source spelling (UTF-8) of a table text that the
// tables store folded to Windows-1252, or null when it is spelled as stored.
const char *source_spelling(const char *stored);
// Writes Windows-1252 text as UTF-8; the source spelling where there is one.
void sink_text_utf8(Sink &out, const char *stored);
// A Windows-1252 byte as its code point.
uint32_t cp1252_point(unsigned char byte);
// UTF-8 of a code point below 0x10000 into buf (3 bytes); its length.
size_t utf8_encode(uint32_t cp, char *buf);
// A search value in UTF-8 (valid, with at least one character beyond ASCII)
// rewritten in place as the Windows-1252 bytes the tables store: letters the
// code page lacks as their base letter, other characters as '?'.  False, and
// the value untouched, for any other value.
bool utf8_to_stored(char *value);
// Banks the German directory marks for deletion: true with the successor
// (0 for none) when the bank code is marked.
bool deletion_mark(const GermanTables &de, uint32_t blz, uint32_t *successor);

// Sizes shared by all handlers.
constexpr size_t QUERY_SIZE = 300;     // query buffer: 299 characters + NUL
constexpr size_t RESPONSE_SIZE = 300;  // response line incl. NUL

// Bounded text helpers for building response lines: append `src` to the
// zero-terminated text in `dst` (capacity `cap` incl. NUL), cutting what does
// not fit.  Never writes past dst[cap - 1].
void str_append(char *dst, size_t cap, const char *src);
void str_copy(char *dst, size_t cap, const char *src);

// ISO 7064 MOD 97-10 as ISO 13616 reads an IBAN (Tools.cpp, the one home of
// the algorithm): the remainder mod 97 of the number that `text` continues
// from the remainder `rem`, a digit standing for itself and a letter of
// either case for the two digits of 10 + its place in the alphabet.  -1 for
// any other character.  Exact for any length.
int mod97(std::string_view text, int rem = 0);

// The one text-to-number reading of the parsers (Tools.cpp): the value of
// the digits at the start of `text`, up to the first character that is not
// a digit and at most 19 digits, so it cannot overflow.
uint64_t digits_value(std::string_view text);

// The digit class of the query parsers: ASCII '0' to '9' only.
inline bool is_digit(unsigned char ch) { return ch >= '0' && ch <= '9'; }

// Eight characters read as one little-endian word: whether all are digits,
// and their value as an eight-digit number (the first character the
// highest digit), by joining neighbours in pairs, then fours, then eights.
static_assert(std::endian::native == std::endian::little, "eight_digits reads words little-endian");

inline bool eight_digits(uint64_t chars) {
  constexpr uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ULL;
  return ((chars & kHigh) | (((chars + 0x0606060606060606ULL) & kHigh) >> 4)) ==
         0x3333333333333333ULL;
}

inline uint64_t eight_digits_value(uint64_t chars) {
  chars = ((chars & 0x0F0F0F0F0F0F0F0FULL) * 2561) >> 8;
  chars = ((chars & 0x00FF00FF00FF00FFULL) * 6553601) >> 16;
  return ((chars & 0x0000FFFF0000FFFFULL) * 42949672960001ULL) >> 32;
}
bool all_digits(const char *text);  // true for the empty text too
bool all_digits(std::string_view text);  // the same, eight characters at a time

#include "Tables.h"
#include "Edition.h"

// The index in head_DE that a slot of head_DE_slot names.
inline size_t slot_head_index(uint64_t slot) { return slot >> 32 & 0xFFFF; }

// The slot of a German bank code's value (head_DE_slot), or 0: the code in
// its low half, its index in head_DE and its check method above.  The code
// stands in one of its two slots; both are read side by side and the one
// that holds the code is kept by selection rather than by a branch, because
// which of the two it is varies from code to code and a mispredicted branch
// costs more than the second read.  An empty slot holds 0, which no code
// matches but 0 itself, whose answer is 0 all the same.
inline uint64_t head_DE_slot_of(const GermanTables &de, uint64_t code) {
  if (code > UINT32_MAX) return 0;
  const uint32_t key = static_cast<uint32_t>(code);
  const uint32_t shift = 32 - de.head_DE_hash_bits;
  const uint64_t first = de.head_DE_slot[(key * de.head_DE_hash_multiplier) >> shift];
  const uint64_t second = de.head_DE_slot[(key * de.head_DE_hash_second_multiplier) >> shift];
  uint64_t slot = static_cast<uint32_t>(first) == key ? first : 0;
  slot = static_cast<uint32_t>(second) == key ? second : slot;
  // A slot never names a row past the table; should a view of fewer rows
  // than its slots hold meet one, that bank is not in the view.
  return slot_head_index(slot) < de.head_DE_size ? slot : 0;
}
inline unsigned char slot_method(uint64_t slot) { return static_cast<unsigned char>(slot >> 48); }

// ---------------------------------------------------------------------------
// Editions (Version.cpp).  Dates are numbers YYYYMMDD.
// ---------------------------------------------------------------------------
constexpr size_t BANNER_SIZE = 48;  // "Pluvar 3.25.1,  valid 03/03/25 - 06/08/25" + NUL

// The -v banner: program version and the edition's validity, MM/DD/YY.
void format_banner(char *banner, size_t cap, const Edition_DE &edition);
// The --version text: program version, the German edition and whether it is
// valid on `day`, and every table's source, edition and sha256.
void write_version(Sink &out, uint32_t day);
// The local calendar date, or 0 when the clock cannot tell.
uint32_t today_ymd();
// The same through `clock`: the clock is converted only when its second
// differs from the last reading's.
uint32_t today_ymd(DayClock &clock);
bool valid_ymd(uint32_t ymd);
// Days since 1970-01-01 (negative before), for any valid date.
int32_t day_number(uint32_t ymd);

enum class EditionState { Valid, Expired, NotYetValid };
// Where `day` lies against the edition's validity; *days is how many days it
// expired ago or how many remain until it takes effect (0 when valid).
EditionState edition_state(const Edition_DE &edition, uint32_t day, int32_t *days);

// ---------------------------------------------------------------------------
// Directory lookups (Tools.cpp, except where noted).
// ---------------------------------------------------------------------------

// The one search over the tables: the index of `key` in a column of keys
// that ascends strictly (a table's `<table>_key`, see Tables.h, or a list's
// records read through `proj`), or -1.  The index is the row of the record in
// its table.  The halving steps by a conditional move, not a jump: with
// random keys a jump would be mispredicted at every other step.
template <typename Record, typename Key, typename Proj = std::identity>
int64_t find_key(std::span<const Record> keys, Key key, Proj proj = {}) {
  size_t n = keys.size();
  if (n == 0) return -1;
  const Record *base = keys.data();
  // Everything before base is below the key; everything from base + n on is not.
  while (n > 1) {
    const size_t half = n / 2;
    base = std::invoke(proj, base[half]) < key ? base + half : base;
    n -= half;
  }
  base += std::invoke(proj, *base) < key;  // the first not below the key
  if (base == keys.data() + keys.size() || !(std::invoke(proj, *base) == key)) return -1;
  return base - keys.data();
}

// The row of `key` in a table's hashed key column (Tables.h), or -1: both
// of the key's slots are read, and the key column at both rows, side by
// side, and the matching row is kept by selection rather than by a branch.
// An empty slot reads row 0, which its own 0 then refuses.
template <typename Key>
int64_t find_hashed(const KeyColumn<Key> &c, uint64_t key) {
  if (c.size == 0 || key > std::numeric_limits<Key>::max()) return -1;
  const unsigned shift = 64 - c.bits;
  const uint32_t a = c.rows[(key * c.first) >> shift];
  const uint32_t b = c.rows[(key * c.second) >> shift];
  const uint32_t row_a = a - (a != 0), row_b = b - (b != 0);
  int64_t row = -1;
  row = a != 0 && c.keys[row_a] == key ? row_a : row;
  row = b != 0 && c.keys[row_b] == key ? row_b : row;
  return row;
}

// Row of a numeric key (a bank code's value) in a 32-bit key column, or -1;
// no table holds a key above 32 bits.
int64_t find_number(const KeyColumn32 &column, uint64_t key);
// Row of a four-character text in a four-letter key column, or -1 (any
// other length is in no such table).
int64_t find_alpha(const KeyColumn32 &column, const char *text);
// A BIC of 8 or 11 capitals and digits as its search key: one base-37 digit
// per character ('0'-'9' are 1-10, 'A'-'Z' 11-36), an 8-character BIC ended
// by three 0 digits, so keys sort as the texts do in byte order.  False for
// any other text, which no table holds.
bool bic_key(const char *bic, uint64_t *key);
// Row of a BIC in a BIC key column (list_EU_column, list_SCL_column), or -1.
int64_t find_bic(const KeyColumn64 &column, const char *bic);
// Row of a German bank code's value in head_DE (and its columns), or -1.
int64_t head_DE_index(const GermanTables &de, uint64_t code);

// Asks for a bank's row of `l` ahead of reading its texts: the row is one of
// 3,500 scattered over 1.8 MB and mostly not in the fast caches, so its
// reads then overlap the account check instead of following it.
inline void prefetch_row(const BLZ_Row &row) {
  const char *at = reinterpret_cast<const char *>(&row);
  for (size_t offset = 0; offset < sizeof row; offset += 64) __builtin_prefetch(at + offset);
  __builtin_prefetch(at + sizeof row - 1);
}

// Index of a German bank code (its text) in head_DE and its key columns, or -1.
int64_t find_blz_index(const GermanTables &de, const char *blz);

// The German lookups take the edition they read (`de`: the request's,
// `*out.german`); the tables' names in comments are those of GermanTables.
//
// Row lookups in `l`: '1' found (method written), '7' not found.
// Index of the bank code's first row, or -1.
int64_t find_blz_row(const GermanTables &de, const char *blz);
char find_blz(const GermanTables &de, const char *blz, unsigned char *method);
char Iban_find_blz_DE(const GermanTables &de, const char *blz, unsigned char *method);  // IBAN.cpp
char find_blz_and_form_output_string(const GermanTables &de, const char *blz, char *line,
                                     unsigned char *method);  // main.cpp

// BIC of a German bank code after the IBAN-rule substitutions; the empty text
// when the bank has none, null when the code is not in head_DE.
const char *getBIC_DE(const GermanTables &de, const char *blz);

// SEPA reachability: index of the first `list_SCL` entry that covers the BIC
// (an 8-character entry covers every BIC that begins with it, an
// 11-character entry only the same BIC), or -1.  Null and "" give -1.
int64_t find_scl_entry(const char *bic);

// Result characters that travel between the units.  They are the digits the
// answers carry, so a result that is also a response code is written as is.
// ---------------------------------------------------------------------------

// The account check (check_knr and every method).
constexpr char kCheckFailed = '0';   // the check digit is wrong
constexpr char kCheckPassed = '1';   // the check digit is right
constexpr char kNoSuchMethod = '8';  // the method byte names no method
constexpr char kNotCheckable = '9';  // the method accepts the account without a check digit

// A German IBAN rule (apply_iban_method_DE, the bank procedures and
// generate_iban_DE).
constexpr char kRuleRefused = '0';       // no IBAN for this account
constexpr char kRuleReleased = '1';      // build without the account check
constexpr char kRuleUnknownBank = '7';   // generate_iban_DE: bank code not in head_DE
constexpr char kRuleCheckReport9 = '8';  // build after the account check, but answer 9
constexpr char kRuleCheck = '9';         // build after the account check at the requested bank
// Build after the account check at the bank the rule moved the account to
// (lists R52 and R53).  Not a digit: it never becomes an answer.
constexpr char kRuleCheckNewBank = 'N';

// Directory lookups: found, or the bank code is not in the directory.
constexpr char kFound = '1';
constexpr char kUnknownBank = '7';

// ---------------------------------------------------------------------------
// Check-digit engine (Tools.cpp: primitives and special procedures;
// Methods.cpp: the methods).  Account digits are 10 values 0..9, bank-code
// digits 8 values 0..9.
// ---------------------------------------------------------------------------
char check_knr(const unsigned char *blz_digits, unsigned char *knr_digits, unsigned char method);
int checksum(const unsigned char *knr, const char *weights, const char *mask, char direction,
             int variant);
char check_x(int expected, const unsigned char *knr, int position);
int quersumme(int n);
uint64_t vl9(const unsigned char *knr, char selector);
uint64_t vl9_char(const char *knr, char selector);
char add_zeros(unsigned char *knr, int n);
char add_zeros_no_check(unsigned char *knr, int n);
int32_t pow_of_ten(int n);
char eser_system(const unsigned char *blz_digits, const unsigned char *knr, int form);
int transformation(const unsigned char *knr, const char *row_pattern, const char *mask,
                   const char *table, char direction);
char method_87_a(const unsigned char *knr);
char sachkonten(const unsigned char *knr);

// ---------------------------------------------------------------------------
// Handlers.  Each parses its (writable) query buffer, writes its response
// through the sink and returns its result code character '0'..'9'.
// ---------------------------------------------------------------------------

// Request.cpp: the whole command line (argv[0] the program name) with the
// default options in force; returns the exit status.
int pluvar_run(int argc, const char *const *argv, Sink &out);
// main.cpp
char Account_Main(char *query, char allinfo, Sink &out);
char extract_numbers(char *query, char *iban, char *blz, char *knr);

// Search.cpp
char Search_Main(char *query, char allinfo, Sink &out);
// The prefixes come back as numbers with their digit counts, so that a
// prefix with leading zeros ("zip=01") selects by its digits.
char Search_extract_numbers(char *query, int64_t *blz, int32_t *zip, char *loc, char *name,
                            char *bic, int32_t *max, int *blz_digits, int *zip_digits);

// ===== German IBAN (IBAN.cpp, IBAN_Methods_DE.cpp) =====
// A German IBAN is "DE", two check digits, the 8-digit bank code and the
// 10-digit account number: 22 characters + NUL.
constexpr size_t IBAN_DE_SIZE = 23;
constexpr size_t BLZ_DE_SIZE = 9;   // 8 digits + NUL
constexpr size_t KNR_DE_SIZE = 11;  // 10 digits + NUL

// ISO 7064 MOD 97-10 check value (2..98) of a German IBAN from its positions
// 4-21; positions 0-3 are not read.  0 (never a check value) when those
// positions are not all digits.
int check_iban_DE(const char *iban);
// Copies bank code and account number out of a 22-character German IBAN;
// '1' when its check digits are right, '0' otherwise (also for non-digits).
char split_iban_DE(const char *iban, char *knr, char *blz);
// Whether a German IBAN being built gets its check digits.  A caller that
// only compares the built BBAN with that of an IBAN whose check digits it has
// verified can leave them out: they follow from the BBAN.
enum class CheckDigits : unsigned char { Compute, Leave00 };
// Builds the IBAN through the bank's IBAN rule, which may edit knr and blz in
// place.  '7' when the bank code is not in head_DE, else the rule's result.
char generate_iban_DE(const GermanTables &de, char *iban, char *knr, char *blz,
                      CheckDigits digits = CheckDigits::Compute);
// The account check a rule asks for: check_knr on the given bank-code digits
// and the account number as the rule left it, by the given method (method 06
// where rule 43 moved the account to 66650085); '0' for ten zeros.
char check_rule_account_DE(const unsigned char *blz_digits, const char *knr, const char *blz,
                           unsigned char method);

// A German IBAN as the bank's IBAN rule builds it, and the bank code and
// account number the rule left.
struct GermanIban {
  char iban[IBAN_DE_SIZE];
  char blz[BLZ_DE_SIZE];
  char knr[KNR_DE_SIZE];
  char rule;  // what the rule decided (kRuleRefused ... kRuleCheckNewBank)
};
// The one home of "apply the German IBAN rule, then the account check it asks
// for", shared by the account check, the IBAN mode and the SEPA mode.  blz is
// the requested 8-digit bank code, knr the 10-digit account, method the
// method the requested bank's accounts are checked by.  The check runs on the
// requested bank code's digits with that method, except where a list of
// rules 52 and 53 moved the account to another bank: then the new bank's
// method and digits check the new account.  Returns the IBAN mode's code:
// '1' or '9' built (out.iban holds the IBAN), '0' refused or the check
// failed, '7' bank code not in head_DE, '8' the method byte names no method.
char build_checked_iban_DE(const GermanTables &de, const char *blz, const char *knr,
                           unsigned char method, GermanIban &out,
                           CheckDigits digits = CheckDigits::Compute);
inline bool iban_built(char code) { return code == kCheckPassed || code == kNotCheckable; }
// Whether the IBAN rules build exactly this German IBAN (22 characters, right
// check digits) from some account of its bank code, account check included.
bool german_iban_built_by_rules(const GermanTables &de, const char *iban);
// The same for a BBAN (18 digits: bank code and account), whose IBAN's check
// digits follow from it.
bool german_bban_built_by_rules(const GermanTables &de, std::string_view bban);
// Accounts of the bank code that the rule turns into knr (the rule's
// replacement lists and reshapes run backwards), at most kMaxRuleSources;
// the account itself is not among them.  Returns their number.
constexpr int kMaxRuleSources = 8;
int rule_source_accounts(uint32_t rule, const char *blz, const char *knr,
                         char (*sources)[KNR_DE_SIZE]);
// The bank code whose BIC a bank under this IBAN rule answers with (blz is
// the bank's own code), or null when it keeps its own.
const char *bic_bank_code_DE(uint32_t rule, const char *blz);
// The head_DE record of an 8-digit bank code, or null.
const Head_t_SEPA *find_head_DE(const GermanTables &de, const char *blz);
char Iban_extract_numbers_DE(char *query, char *ccd, char *blz, char *knr);
char IbanGen_DE(char *query, char allinfo, Sink &out);
// The IBAN mode: lowercases the query and dispatches on its country code.
char IbanGen_Main(char *query, char allinfo, Sink &out);

// Splits a query of key=value fields joined by '&' into the values of the
// given keys (each key 4 characters including '=', matched at the start of a
// field).  '6' when a field begins with none of the keys or a key repeats;
// else '1', with absent keys left empty.  values[i] belongs to keys[i].
// Account number left-filled with '0' to 10 digits (out has KNR_DE_SIZE
// bytes; the caller has checked that knr has 1 to 10 digits).
void pad_knr(char *out, const char *knr);
char split_query_keys(const char *query, const char *const *keys, int n_keys,
                      char (*values)[QUERY_SIZE]);

// German IBAN rules (IBAN_Methods_DE.cpp).  Results: '9' build after the
// account check, '1' build without it, '0' no IBAN, '8' build after the
// check but report 9.
// The Commerzbank and Deutsche Bank procedures read the bank's method in `de`.
char apply_iban_method_DE(const GermanTables &de, char *blz, char *knr, uint32_t rule,
                          const char *successor);
char iban_method_Commerzbank(const GermanTables &de, char *blz, char *knr);
char iban_method_Deutschebank(const GermanTables &de, char *blz, char *knr);
char iban_method_Unicreditbank(char *blz, char *knr, uint32_t rule);

// The account check after parsing (main.cpp): iban is empty or the requested
// IBAN, blz and knr the requested bank code and 10-digit account.
// method_override < 0 uses the directory's check method; tests pass another
// method byte to reach answers no directory bank gives.
char account_check(const char *iban, const char *blz, const char *knr, char allinfo,
                   int method_override, Sink &out);
// The bank fields of a row of `l` in an answer: name, postcode, place, and
// under --json the deletion mark of its bank code.
void write_row_fields(Sink &out, const BLZ_Row &r);
// The reason of a check method's code.
inline Reason check_reason(char code) {
  return code == '1'   ? Reason::valid
         : code == '9' ? Reason::no_check_digit
         : code == '8' ? Reason::method_unknown
                       : Reason::check_digit;
}

// Plain account checks in bulk (AccountBulk.cpp), codes only: codes[i] is
// the code `account_check` gives for accounts[i] when its bank code is 8
// digits and its account 1 to 10 digits, and kNotPlainAccount for any other
// pair (a null text too), which the caller answers through the query's path.
using AccountText = pluvar_account_text;  // {blz, knr}, as the library takes them
constexpr char kNotPlainAccount = '?';
void plain_account_codes(const GermanTables &de, std::span<const AccountText> accounts,
                         char *codes);

// Batch lines that are plain account queries, "knr=K&blz=B" or "blz=B&knr=K"
// with B eight digits and K one to ten (and perhaps a CR), are answered in
// bulk the same way, with the answer the request path gives each under the
// default options.  read_account_line finds the two values in such a line.
struct AccountLine {
  const char *blz;  // eight digits
  const char *knr;  // knr_len digits, 1 to 10
  size_t knr_len;
};
bool read_account_line(std::string_view line, AccountLine &a);
// The bank fields of those answers ("&name=..&zip=..&location=..") as first
// written for each bank of one edition.  Written anew, they would read the
// bank's row, which lies anywhere in a table larger than the fast caches.
constexpr size_t kBankFieldsBlock = 128;  // more than the longest fields (121 bytes)
struct BankFieldsCache {
  const GermanTables *edition = nullptr;
  std::vector<uint32_t> at;  // per bank (head_DE index): offset in text << 8 | length; 0 not yet
  // The banks' fields one after another, then kBankFieldsBlock spare bytes.
  std::vector<char, HugePageAllocator<char>> text;
  size_t used = 0;           // bytes of text the fields take
};
// Writes each line's answer from edition `de` followed by LF, in order.
void answer_account_lines(const GermanTables &de, std::span<const AccountLine> lines,
                          BankFieldsCache &cache, Sink &out);

// ===== Foreign IBAN (IBAN.cpp) =====
// The IBAN mode for AT, CH, BE, CZ, ES and SK.  The handlers expect the query
// already lowercased (IbanGen_Main does that) and answer with '9' (AT, CH) or
// '1' (countries with a national account check) when they built an IBAN.
char IbanGen_AT(char *query, char allinfo, Sink &out);
char IbanGen_CH(char *query, char allinfo, Sink &out);
char IbanGen_BE(char *query, char allinfo, Sink &out);
char IbanGen_CZ(char *query, char allinfo, Sink &out);
char IbanGen_ES(char *query, char allinfo, Sink &out);
char IbanGen_SK(char *query, char allinfo, Sink &out);

// Query parsers: '1' with the country code (3 bytes), the bank code and the
// account number left-padded with '0' to their stored widths (AT 5 and 11,
// CH 5 and 12, BE 3 and 9, CZ/SK 4 and 16, ES 8 and 12; plus the NUL);
// otherwise the result code ('2' bank code, '3' account, '4' country, '6'
// query), with nothing stored.
char Iban_extract_numbers_AT(char *query, char *country, char *bankcode, char *account);
char Iban_extract_numbers_CH(char *query, char *country, char *bankcode, char *account);
char Iban_extract_numbers_BE(char *query, char *country, char *bankcode, char *account);
char Iban_extract_numbers_CZ(char *query, char *country, char *bankcode, char *account);
char Iban_extract_numbers_SK(char *query, char *country, char *bankcode, char *account);
char Iban_extract_numbers_ES(char *query, char *country, char *bankcode, char *account);

// IBAN builders over the stored values; iban holds the IBAN and its NUL
// (AT 21, CH 22, BE 17, CZ/SK/ES 25 bytes).  Return the country's success
// code ('9' AT and CH, '1' the others).
char generate_iban_AT(char *iban, const char *account11, const char *bankcode5);
char generate_iban_CH(char *iban, const char *account12, const char *clearing5);
char generate_iban_BE(char *iban, const char *account9, const char *bankcode3);
char generate_iban_CZ(char *iban, const char *account16, const char *bankcode4);
char generate_iban_SK(char *iban, const char *account16, const char *bankcode4);
char generate_iban_ES(char *iban, const char *account12, const char *bankcode8);

// Check value 2..98 of a country's IBAN; the check-digit positions are not
// read.  -1 when the BBAN holds a character other than a digit or a letter.
int check_iban_AT(const char *iban);
int check_iban_CH(const char *iban);
int check_iban_BE(const char *iban);
int check_iban_CZ(const char *iban);
int check_iban_SK(const char *iban);
int check_iban_ES(const char *iban);

// ISO 7064 MOD 97-10 check value (2..98) for a two-letter country code and a
// BBAN of any length made of digits and letters of either case; -1 for any
// other character.
int iban_check_value(std::string_view country, std::string_view bban);

// Writes the IBAN mode's response line into line (RESPONSE_SIZE bytes):
// the code, "&ibn=" with the IBAN when the code is '9' or '1', with allinfo
// the bank's name, zip, location (from `bank_text`, the text pool of the
// bank's table) and "&bic=" (always, or only when the BIC is not empty), and
// "&mode=IBAN", which always fits.
void Iban_response_line_foreign(char *line, char code, const char *iban, const Head_t_SEPA *bank,
                                const char *bank_text, const char *bic, bool bic_always,
                                char allinfo);

// ===== SEPA (SEPA.cpp) =====

constexpr size_t SEPA_IBAN_SIZE = 35;          // 34 characters + NUL
constexpr size_t SEPA_BIC_SIZE = 12;           // 11 characters + NUL
constexpr size_t SEPA_COUNTRY_NAME_SIZE = 51;  // as Country_t::name

// The SEPA request: IBN=...[&BIC=...].  Returns '0', '1', '9' (long answer
// with bank fields and country) or '2', '3', '4', '6', '7', 'X' (short).
char Sepa_Main(char *query, char allinfo, Sink &out);
// Turns the query to capitals in place; '1' with the BIC (empty, or 11
// characters) and the IBAN written, else '2' (BIC), '3' (IBAN) or '6' (shape).
char Sepa_extract_numbers(char *query, char *bic, char *iban);
// '1' the IBAN matches its country's format, '0' country unknown or without
// IBAN, '4' mismatch, 'X' malformed format text.  The country name is written
// whenever the country is in the table, else emptied.
char Sepa_check_iban_structure(const char *iban, char *country_name);
// The country table's record of the IBAN's first two characters, or null.
const Country_t *find_country(const char *iban);
// The IBAN against one format in SWIFT notation ("2!a2!n5!n11!n": items of a
// length, '!' and a type letter n, a, c or e), read up to its NUL or
// format_size characters: '1', '4' or 'X' as above.
char Sepa_match_format(const char *iban, const char *format, size_t format_size);
// '1' bank found (or no directory) and BIC absent or equal, '9' BIC differs or
// cannot be confirmed, '7' bank code not in the national directory.  Appends
// six blanks and the bank fields to `response` when it has a bank to report;
// may replace `bic` by the BIC of a bank-code-to-BIC table.
char Sepa_find_bank_and_form_output_string(const GermanTables &de, const char *iban, char *bic,
                                           char *response, char allinfo);
// ISO 13616 check digits (MOD 97-10): '1' right, '0' wrong.
char Sepa_validate_iban(const char *iban);
// National account check of an IBAN (National.cpp has the rules): '1'
// passed or no rule in force, '0' failed.  strict adds the rules that apply
// only under strict validation.
char Sepa_check_national(const GermanTables &de, const char *iban, bool strict);
// The German check: the IBAN rules must rebuild exactly this IBAN from its
// bank code and account, including the account check the rule asks for.
char Sepa_check_national_DE(const GermanTables &de, const char *iban);

// ===== National check digits (National.cpp) =====
// The check digits a country puts inside its BBAN (the IBAN after the
// country code and the two check digits), one rule per country.  The rules of
// Belgium, the Czech Republic, Slovakia, Spain and Germany always apply
// (Always); the others only under strict validation (Strict).

enum class NationalScope : uint8_t { Always, Strict };

// True when the BBAN passes its country's rule, or when the country has no
// rule in force (none at all, or a Strict one and strict is false).  The
// country is the IBAN's two capital letters; the BBAN must have exactly the
// country's length, else it fails.
// The German rule reads the directory edition `de`.
bool national_check_passes(const GermanTables &de, std::string_view country,
                           std::string_view bban, bool strict);
// Whether the country has a rule, and (when scope is not null) its scope.
bool national_rule_exists(std::string_view country, NationalScope *scope);

#endif  // PLUVAR_H
