// Texts between Windows-1252 (what the tables store and the line format
// answers) and UTF-8 (what --utf8 and --json answer and what a search query
// may be written in).
#include <cstring>
#include <string_view>

#include "pluvar.h"

// Generated units (data/Text_Spelling.cpp, Text_Charset.cpp, BLZ_Deletion.cpp).
extern const char spelling_pool[];
extern const uint32_t spelling_stored[];
extern const uint32_t spelling_utf8[];
extern const uint32_t spelling_count;
extern const uint16_t cp1252_high[32];
extern const uint16_t base_letter_point[];
extern const unsigned char base_letter_byte[];
extern const uint32_t base_letter_count;

const char *source_spelling(const char *stored) {
  const int64_t i =
      find_key(std::span<const uint32_t>(spelling_stored, spelling_count), std::string_view(stored),
               [](uint32_t at) { return std::string_view(spelling_pool + at); });
  return i < 0 ? nullptr : spelling_pool + spelling_utf8[i];
}

uint32_t cp1252_point(unsigned char byte) {
  if (byte >= 0x80 && byte < 0xA0) return cp1252_high[byte - 0x80];
  return byte;
}

namespace {

// Decodes one UTF-8 character at p (n bytes left): its code point and length,
// or length 0 for an ill-formed sequence (overlong forms and surrogates too).
size_t decode_utf8(const unsigned char *p, size_t n, uint32_t &cp) {
  unsigned char b = p[0];
  size_t len;
  uint32_t min;
  if (b < 0x80) {
    cp = b;
    return 1;
  } else if (b >= 0xC2 && b <= 0xDF) {
    len = 2, min = 0x80, cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3, min = 0x800, cp = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4, min = 0x10000, cp = b & 0x07;
  } else {
    return 0;
  }
  if (n < len) return 0;
  for (size_t i = 1; i < len; i++) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

// The Windows-1252 byte a code point is stored as: itself, a byte of
// 0x80-0x9F, its base letter, or '?'.
unsigned char stored_byte(uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
  for (unsigned i = 0; i < 32; i++)
    if (cp1252_high[i] == cp) return static_cast<unsigned char>(0x80 + i);
  const int64_t i = find_key(std::span<const uint16_t>(base_letter_point, base_letter_count), cp);
  if (i >= 0) return base_letter_byte[i];
  return '?';
}

}  // namespace

size_t utf8_encode(uint32_t cp, char *buf) {
  if (cp < 0x80) {
    buf[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    buf[0] = static_cast<char>(0xC0 | (cp >> 6));
    buf[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  buf[0] = static_cast<char>(0xE0 | (cp >> 12));
  buf[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  buf[2] = static_cast<char>(0x80 | (cp & 0x3F));
  return 3;
}

void sink_text_utf8(Sink &out, const char *stored) {
  if (const char *spelled = source_spelling(stored)) {
    sink_puts(out, spelled);
    return;
  }
  // ASCII runs go out in one piece; each other byte as its UTF-8 form.
  const char *run = stored;
  const char *p = stored;
  for (; *p; p++) {
    unsigned char b = static_cast<unsigned char>(*p);
    if (b < 0x80) continue;
    sink_write(out, run, static_cast<size_t>(p - run));
    char buf[3];
    sink_write(out, buf, utf8_encode(cp1252_point(b), buf));
    run = p + 1;
  }
  sink_write(out, run, static_cast<size_t>(p - run));
}

bool utf8_to_stored(char *value) {
  const unsigned char *text = reinterpret_cast<const unsigned char *>(value);
  size_t n = strlen(value);
  bool beyond_ascii = false;
  for (size_t i = 0; i < n;) {
    uint32_t cp = 0;
    size_t len = decode_utf8(text + i, n - i, cp);
    if (len == 0) return false;
    beyond_ascii |= len > 1;
    i += len;
  }
  if (!beyond_ascii) return false;
  // Every character shrinks to one byte, so the rewrite never overtakes the
  // reading position.
  size_t w = 0;
  for (size_t i = 0; i < n;) {
    uint32_t cp = 0;
    size_t len = decode_utf8(text + i, n - i, cp);
    value[w++] = static_cast<char>(stored_byte(cp));
    i += len;
  }
  value[w] = '\0';
  return true;
}

bool deletion_mark(const GermanTables &de, uint32_t blz, uint32_t *successor) {
  const int64_t i = find_key(std::span<const uint32_t>(de.deleted_blz, de.deleted_count), blz);
  if (i < 0) return false;
  *successor = de.deleted_successor[i];
  return true;
}
