// Bank search: lists the rows of the German directory that match a bank-code
// prefix, postcode prefix, name, place or BIC part.
#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "pluvar.h"

namespace {

constexpr int32_t kDefaultMaxHits = 30;
constexpr size_t kSlot = QUERY_SIZE;  // every value fits, the query has at most 299 characters

// Besides ASCII letters (and digits in a BIC part), names, places and BIC
// parts may hold these Windows-1252 characters: blank, hyphen, the umlauts in
// both cases, sharp s, parentheses and comma.
bool is_extra_char(unsigned char ch) {
  static const unsigned char kExtra[] = {0x20, 0x2D, 0xE4, 0xC4, 0xF6, 0xD6,
                                         0xFC, 0xDC, 0xDF, 0x28, 0x29, 0x2C};
  for (unsigned char e : kExtra)
    if (ch == e) return true;
  return false;
}

bool is_lower(unsigned char ch) { return ch >= 'a' && ch <= 'z'; }

enum class CharSet { Digits, Letters, LettersDigits };

bool in_set(unsigned char ch, CharSet set) {
  switch (set) {
    case CharSet::Digits:
      return is_digit(ch);
    case CharSet::Letters:
      return is_lower(ch) || is_extra_char(ch);
    case CharSet::LettersDigits:
      return is_lower(ch) || is_digit(ch) || is_extra_char(ch);
  }
  return false;
}

// One query key with its rule.  The order of the table is the order in which
// the values are checked: a later failure replaces an earlier one.
struct SearchKey {
  const char *key;
  CharSet set;
  size_t min_len;
  size_t max_len;
  char error;
};

enum { kBlz, kZip, kMax, kNam, kLoc, kBic, kKeyCount };

const SearchKey kKeys[kKeyCount] = {
    {"blz=", CharSet::Digits, 4, 8, '8'},
    {"zip=", CharSet::Digits, 2, 5, '2'},
    {"max=", CharSet::Digits, 1, 4, '7'},
    {"nam=", CharSet::Letters, 3, 60, '4'},
    {"loc=", CharSet::Letters, 3, 35, '3'},
    {"bic=", CharSet::LettersDigits, 6, 11, '8'},
};

bool value_ok(const char *value, const SearchKey &k) {
  size_t n = strlen(value);
  if (n < k.min_len || n > k.max_len) return false;
  for (size_t i = 0; i < n; i++)
    if (!in_set(static_cast<unsigned char>(value[i]), k.set)) return false;
  return true;
}

void lowercase_ascii(char *s) {
  for (; *s; s++)
    if (*s >= 'A' && *s <= 'Z') *s = static_cast<char>(*s - 'A' + 'a');
}

int64_t decimal(const char *digits) {
  int64_t v = 0;
  for (; *digits; digits++) v = v * 10 + (*digits - '0');
  return v;
}

// Cuts the query at '&' and stores each known key's value in its slot.
// Returns '1', or '6' for an unknown or repeated key (examination stops).
char split_query(const char *query, char values[kKeyCount][kSlot], bool seen[kKeyCount]) {
  const char *part = query;
  while (*part && *part != '&') {
    const char *end = strchr(part, '&');
    size_t len = end ? static_cast<size_t>(end - part) : strlen(part);
    int which = -1;
    for (int k = 0; k < kKeyCount; k++)
      if (len >= 4 && strncmp(part, kKeys[k].key, 4) == 0) which = k;
    if (which < 0 || seen[which]) return '6';
    seen[which] = true;
    size_t vlen = len - 4;
    if (vlen > kSlot - 1) vlen = kSlot - 1;
    memcpy(values[which], part + 4, vlen);
    values[which][vlen] = '\0';
    if (!end) break;
    part = end + 1;
  }
  return '1';
}

// The numbers a prefix of `digits` digits selects among `width`-digit
// numbers: from the prefix padded with zeros to the prefix padded with nines.  A prefix selects by
// its digits, so the postcode prefix "01" selects 01000 to 01999.
void prefix_range(int64_t value, int digits, int width, int64_t *low, int64_t *high) {
  int64_t span = 1;
  for (int i = digits; i < width; i++) span *= 10;
  *low = value * span;
  *high = *low + span - 1;
}

char lower_ascii(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch; }

// Whether text[0..tlen) holds `part` from position `from` on, ignoring the
// case of ASCII letters in the text; `part` is already lowercase.
bool matches_at(const char *text, size_t from, const char *part, size_t plen) {
  for (size_t j = 1; j < plen; j++)
    if (lower_ascii(text[from + j]) != part[j]) return false;
  return true;
}

// Case-insensitive (ASCII letters only) substring test; `part` is lowercase
// and an empty part is in every text.  Candidates for the first character are
// found with memchr, once for each case of that character.
bool contains_lower(const char *text, size_t tlen, const char *part, size_t plen) {
  if (plen == 0) return true;
  if (tlen < plen) return false;
  const size_t last_start = tlen - plen;
  const char first = part[0];
  const char other = (first >= 'a' && first <= 'z') ? static_cast<char>(first - 'a' + 'A') : first;
  for (char candidate : {first, other}) {
    size_t from = 0;
    while (from <= last_start) {
      const void *hit = memchr(text + from, candidate, last_start - from + 1);
      if (!hit) break;
      size_t at = static_cast<size_t>(static_cast<const char *>(hit) - text);
      if (matches_at(text, at, part, plen)) return true;
      from = at + 1;
    }
    if (other == first) break;
  }
  return false;
}

// The distinct texts of one column of `l`: one block of NUL-ended texts in
// byte order and where each starts.
struct TextPool {
  const char *block;
  uint32_t block_size;  // bytes, terminators included
  const uint32_t *offset;
  uint32_t count;
};

// Which texts of a pool contain the wanted part: one bit per text id (ids
// are 16-bit).  An absent part is contained in every text.
struct TextMarks {
  bool all;
  unsigned char bits[65536 / 8];
};

bool marked(const TextMarks &m, uint16_t id) { return m.all || (m.bits[id >> 3] >> (id & 7)) & 1; }

// The id of the text that holds byte `pos` of the block: the last text that
// starts at or before it.
uint32_t text_at(const TextPool &p, size_t pos) {
  const std::span<const uint32_t> starts(p.offset, p.count);
  auto after = std::ranges::upper_bound(starts, pos);  // first text starting after pos
  return static_cast<uint32_t>(after - starts.begin()) - 1;  // offset[0] is 0, so >= 0
}

// Marks every text of the pool that contains `part` (lowercase; ASCII case
// ignored in the texts).  The whole block is scanned in one pass for the
// part's first character in either case: a one-shot process pays for every
// page it touches and every call it makes, and the names and places are the
// bulk of what a search reads.  The NUL after each text stops a comparison,
// so no match can span two texts.
void mark_texts(const TextPool &p, const char *part, size_t plen, TextMarks &m) {
  m.all = plen == 0;
  if (m.all) return;
  memset(m.bits, 0, (p.count + 7) / 8 < sizeof m.bits ? (p.count + 7) / 8 : sizeof m.bits);
  if (p.count == 0 || p.block_size == 0) return;
  const char first = part[0];
  const char other = (first >= 'a' && first <= 'z') ? static_cast<char>(first - 'a' + 'A') : first;
  for (char candidate : {first, other}) {
    size_t from = 0;
    while (from < p.block_size) {
      const void *hit = memchr(p.block + from, candidate, p.block_size - from);
      if (!hit) break;
      size_t at = static_cast<size_t>(static_cast<const char *>(hit) - p.block);
      if (!matches_at(p.block, at, part, plen)) {
        from = at + 1;
        continue;
      }
      uint32_t id = text_at(p, at);
      if (id < 65536) m.bits[id >> 3] = static_cast<unsigned char>(m.bits[id >> 3] | (1u << (id & 7)));
      from = id + 1 < p.count ? p.offset[id + 1] : p.block_size;  // next text
    }
    if (other == first) break;
  }
}

// The BIC of a bank code and whether it holds the BIC part; a bank without
// BIC never matches a given BIC part.
struct BankBic {
  uint32_t code;  // 0 before the first lookup (no German bank code is 0)
  const char *bic;
  bool matches;
};

// Writes `value` as exactly `width` decimal digits with leading zeros.
void format_fixed(char *text, uint32_t value, int width) {
  for (int i = width - 1; i >= 0; i--) {
    text[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  text[width] = '\0';
}

BankBic bank_bic(const GermanTables &de, uint32_t code, const char *part, size_t part_len) {
  char blz[9];
  format_fixed(blz, code, 8);
  const char *found = getBIC_DE(de, blz);
  BankBic b = {code, found ? found : "", false};
  b.matches = contains_lower(b.bic, strlen(b.bic), part, part_len);
  return b;
}

// A hit line carries the row's bank code, name, postcode and place as
// stored; they are read from the search columns, which hold the same texts,
// so a search never reads the wide rows of the directory.
void write_hit(Sink &out, uint32_t row, const char *bic) {
  const GermanTables &de = *out.german;
  char blz[9], zip[6];
  format_fixed(blz, de.l_blz_number[row], 8);
  format_fixed(zip, de.l_zip_number[row], 5);
  hit_begin(out);
  answer_field(out, "blz", blz);
  answer_field(out, "name", de.l_name_pool + de.l_name_offset[de.l_name_id[row]]);
  answer_field(out, "zip", zip);
  answer_field(out, "location", de.l_place_pool + de.l_place_offset[de.l_place_id[row]]);
  answer_deletion_mark(out, blz);
  if (bic && *bic) answer_field(out, "bic", bic);
  hit_end(out);
}

char write_response(Sink &out, char code, Reason reason) {
  answer_begin(out, code, reason);
  answer_field(out, "mode", "SEARCH");
  answer_end(out);
  return code;
}

// The reason of a refused query: the key whose value failed.
Reason key_reason(int key) {
  switch (key) {
    case kBlz:
      return Reason::blz_malformed;
    case kZip:
      return Reason::zip_malformed;
    case kMax:
      return Reason::max_malformed;
    case kNam:
      return Reason::nam_malformed;
    case kLoc:
      return Reason::loc_malformed;
    case kBic:
      return Reason::bic_malformed;
    default:
      return Reason::query_shape;
  }
}

// The query's values; *bad_key names the key whose value decided a refusal
// (-1 for a refusal of the query's shape).
char parse_search(char *query, int64_t *blz, int32_t *zip, char *loc, char *name, char *bic,
                  int32_t *max, int *blz_digits, int *zip_digits, int *bad_key) {
  *bad_key = -1;
  if (!*query) return '6';
  lowercase_ascii(query);
  int amps = 0, eqs = 0;
  for (const char *p = query; *p; p++) {
    amps += *p == '&';
    eqs += *p == '=';
  }
  if (amps > 6 || eqs > 7 || eqs != amps + 1) return '6';

  char values[kKeyCount][kSlot] = {};
  bool seen[kKeyCount] = {};
  char result = split_query(query, values, seen);
  // Names and places may come in UTF-8: they are then read as the
  // Windows-1252 letters the directory stores.  A Windows-1252 value that
  // happens to be valid UTF-8 beyond ASCII holds a byte 0x80-0xBF, which no
  // name or place part may hold: every query answered before reads as before.
  for (int k : {kNam, kLoc})
    if (utf8_to_stored(values[k])) lowercase_ascii(values[k]);
  for (int k = 0; k < kKeyCount; k++)
    if (values[k][0] && !value_ok(values[k], kKeys[k])) {
      result = kKeys[k].error;
      *bad_key = k;
    }
  if (result != '1') return result;

  *blz = decimal(values[kBlz]);
  *blz_digits = static_cast<int>(strlen(values[kBlz]));
  *zip = static_cast<int32_t>(decimal(values[kZip]));
  *zip_digits = static_cast<int>(strlen(values[kZip]));
  *max = static_cast<int32_t>(decimal(values[kMax]));
  str_copy(name, 61, values[kNam]);
  str_copy(loc, 36, values[kLoc]);
  str_copy(bic, 12, values[kBic]);
  return '1';
}

}  // namespace

char Search_extract_numbers(char *query, int64_t *blz, int32_t *zip, char *loc, char *name,
                            char *bic, int32_t *max, int *blz_digits, int *zip_digits) {
  int bad_key;
  return parse_search(query, blz, zip, loc, name, bic, max, blz_digits, zip_digits, &bad_key);
}

char Search_Main(char *query, char allinfo, Sink &out) {
  int64_t blz = 0;
  int32_t zip = 0, max = 0;
  int blz_digits = 0, zip_digits = 0;
  char loc[36] = "", name[61] = "", bic[12] = "";
  int bad_key = -1;
  char rc = parse_search(query, &blz, &zip, loc, name, bic, &max, &blz_digits, &zip_digits,
                         &bad_key);
  if (rc != '1') return write_response(out, rc, key_reason(bad_key));

  // An absent prefix selects every row.
  int64_t blz_low = 0, blz_high = 0, zip_low = 0, zip_high = 0;
  if (blz_digits > 0) prefix_range(blz, blz_digits, 8, &blz_low, &blz_high);
  if (zip_digits > 0) prefix_range(zip, zip_digits, 5, &zip_low, &zip_high);
  int32_t limit = max > 0 ? max : kDefaultMaxHits;
  const size_t loc_len = strlen(loc), name_len = strlen(name), bic_len = strlen(bic);

  // Rows of one bank code are adjacent and share the BIC: look it up and
  // test it once per bank code, and only when a BIC is asked for.
  bool need_bic = bic_len > 0 || allinfo;
  BankBic bank = {0, "", false};
  // Branch rows repeat their bank's name and many places recur: the
  // distinct texts are tested, then each row looks its texts' marks up.
  const GermanTables &de = *out.german;
  const TextPool name_pool = {de.l_name_pool, de.l_name_pool_size, de.l_name_offset,
                              de.l_names_size};
  const TextPool place_pool = {de.l_place_pool, de.l_place_pool_size, de.l_place_offset,
                               de.l_places_size};
  // The columns the loop reads, held apart from the descriptor so that the
  // hit writer's calls do not make the loop reread them.
  const uint32_t rows = de.l_size;
  const uint32_t *const blz_number = de.l_blz_number, *const zip_number = de.l_zip_number;
  const uint16_t *const name_id = de.l_name_id, *const place_id = de.l_place_id;
  TextMarks names, places;
  mark_texts(name_pool, name, name_len, names);
  mark_texts(place_pool, loc, loc_len, places);

  int32_t hits = 0;
  uint32_t row = 0;
  for (; row < rows && hits < limit; row++) {
    if (blz_digits > 0 && (blz_number[row] < blz_low || blz_number[row] > blz_high)) continue;
    if (zip_digits > 0 && (zip_number[row] < zip_low || zip_number[row] > zip_high)) continue;
    if (loc_len && !marked(places, place_id[row])) continue;
    if (name_len && !marked(names, name_id[row])) continue;
    if (need_bic && bank.code != blz_number[row])
      bank = bank_bic(de, blz_number[row], bic, bic_len);
    if (bic_len && !bank.matches) continue;
    hits++;
    write_hit(out, row, allinfo ? bank.bic : nullptr);
  }
  if (hits == 0) return write_response(out, '0', Reason::no_hits);
  if (row < rows) return write_response(out, '9', Reason::more_hits);
  return write_response(out, '1', Reason::all_hits);
}
