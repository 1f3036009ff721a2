// The JSON form of an answer: one object on one line, UTF-8, keys in the
// order of the line format, "code" a number and "reason" its token after it.
// Search hits come first, as their lines do, in a list "hits".  Strings are
// escaped as RFC 8259 asks: the quote, the backslash and every control
// character below U+0020.
#include <cstring>

#include "pluvar.h"

namespace {

// Writes UTF-8 text escaped for a JSON string.  Runs without anything to
// escape go out in one piece.
void write_escaped(Sink &out, const char *text) {
  static const char kHex[] = "0123456789abcdef";
  const char *run = text;
  const char *p = text;
  for (; *p; p++) {
    unsigned char b = static_cast<unsigned char>(*p);
    if (b >= 0x20 && b != '"' && b != '\\') continue;
    sink_write(out, run, static_cast<size_t>(p - run));
    if (b == '"' || b == '\\') {
      const char esc[] = {'\\', static_cast<char>(b)};
      sink_write(out, esc, sizeof esc);
    } else {
      const char esc[] = {'\\', 'u', '0', '0', kHex[b >> 4], kHex[b & 15]};
      sink_write(out, esc, sizeof esc);
    }
    run = p + 1;
  }
  sink_write(out, run, static_cast<size_t>(p - run));
}

// A Windows-1252 value as an escaped UTF-8 string (the source spelling where
// the tables store the text folded).  Bytes above 0x7F only appear in texts,
// so a value of ASCII alone needs no code-page work.
void write_value(Sink &out, const char *value) {
  sink_write(out, "\"", 1);
  bool ascii = true;
  for (const char *p = value; *p && ascii; p++) ascii = static_cast<unsigned char>(*p) < 0x80;
  const char *spelled = source_spelling(value);
  if (spelled) {
    write_escaped(out, spelled);
  } else if (ascii) {
    write_escaped(out, value);
  } else {
    // Convert in pieces that fit a small buffer, then escape each.
    char buf[256];
    size_t n = 0;
    for (const char *p = value; *p; p++) {
      uint32_t cp = cp1252_point(static_cast<unsigned char>(*p));
      if (n + 4 >= sizeof buf) {
        buf[n] = '\0';
        write_escaped(out, buf);
        n = 0;
      }
      n += utf8_encode(cp, buf + n);
    }
    buf[n] = '\0';
    write_escaped(out, buf);
  }
  sink_write(out, "\"", 1);
}

void write_key(Sink &out, const char *key) {
  sink_write(out, ",\"", 2);
  sink_puts(out, key);
  sink_write(out, "\":", 2);
}

// The code as the exit status gives it.
void write_number(Sink &out, int value) {
  char buf[12];
  size_t n = 0;
  if (value < 0) {
    buf[n++] = '-';
    value = -value;
  }
  char digits[10];
  size_t d = 0;
  do {
    digits[d++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0 && d < sizeof digits);
  while (d > 0) buf[n++] = digits[--d];
  sink_write(out, buf, n);
}

}  // namespace

void json_begin(Sink &out, char code, Reason reason) {
  if (out.hits_open) {
    sink_write(out, "],\"code\":", 9);
    out.hits_open = false;
  } else {
    sink_write(out, "{\"code\":", 8);
  }
  write_number(out, code - '0');
  sink_write(out, ",\"reason\":\"", 11);
  sink_puts(out, reason_token(reason));
  sink_write(out, "\"", 1);
  out.first_field = false;
}

void json_field(Sink &out, const char *key, const char *value) {
  if (out.first_field) {
    sink_write(out, "\"", 1);
    sink_puts(out, key);
    sink_write(out, "\":", 2);
    out.first_field = false;
  } else {
    write_key(out, key);
  }
  write_value(out, value);
}

void json_deletion_mark(Sink &out, bool deleted, uint32_t successor) {
  write_key(out, "deleted");
  sink_puts(out, deleted ? "true" : "false");
  if (successor == 0) return;
  char text[9];
  for (int i = 7; i >= 0; i--) {
    text[i] = static_cast<char>('0' + successor % 10);
    successor /= 10;
  }
  text[8] = '\0';
  write_key(out, "successor");
  write_value(out, text);
}

void json_end(Sink &out) { sink_write(out, "}", 1); }

void json_hit_begin(Sink &out) {
  if (!out.hits_open) {
    sink_write(out, "{\"hits\":[{", 10);
    out.hits_open = true;
  } else {
    sink_write(out, ",{", 2);
  }
  out.first_field = true;
}

void json_hit_end(Sink &out) { sink_write(out, "}", 1); }
