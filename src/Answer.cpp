// The answer writer: handlers hand it the code, the reason and the fields;
// it renders the line format, or hands over to the JSON writer (Json.cpp).
#include <cstring>

#include "pluvar.h"

// The JSON writer's parts (Json.cpp).
void json_begin(Sink &out, char code, Reason reason);
void json_field(Sink &out, const char *key, const char *value);
void json_deletion_mark(Sink &out, bool deleted, uint32_t successor);
void json_end(Sink &out);
void json_hit_begin(Sink &out);
void json_hit_end(Sink &out);

namespace {

const char *const kReasonTokens[] = {
    "unset",
    "version", "command-line", "option-unknown", "option-date", "query-shape",
    "valid", "check-digit", "ten-zeros", "no-check-digit", "method-unknown",
    "blz-malformed", "knr-malformed", "ibn-malformed", "blz-unknown",
    "check-digits", "iban-not-confirmed", "iban-not-derived",
    "built", "rule-refuses", "national-check", "ccd-malformed", "ccd-missing",
    "bic-malformed", "country-unknown", "country-without-iban", "format-mismatch",
    "format-malformed", "bank-unknown", "bic-not-confirmed",
    "all-hits", "more-hits", "no-hits", "zip-malformed", "max-malformed", "nam-malformed",
    "loc-malformed",
};
static_assert(sizeof kReasonTokens / sizeof kReasonTokens[0] ==
                  static_cast<size_t>(Reason::count_),
              "one token per reason");

bool json(const Sink &out) { return out.options->json; }

}  // namespace

const char *reason_token(Reason reason) {
  size_t i = static_cast<size_t>(reason);
  return i < static_cast<size_t>(Reason::count_) ? kReasonTokens[i] : kReasonTokens[0];
}

Reason refusal_reason(char code, Reason code2, Reason code3, Reason code4) {
  switch (code) {
    case '2':
      return code2;
    case '3':
      return code3;
    case '4':
      return code4;
    default:
      return Reason::query_shape;
  }
}

void answer_begin_captured_or_json(Sink &out, char code, Reason reason) {
  if (out.capture) return out.capture->begin(out.capture->ctx, code, reason);
  sink_reserve(out, RESPONSE_RESERVE);
  json_begin(out, code, reason);
}

void answer_field_keyed(Sink &out, const char *key, size_t key_len, const char *value) {
  if (out.capture) return out.capture->field(out.capture->ctx, key, value);
  if (json(out)) return json_field(out, key, value);
  if (answer_field_plain(out, key, key_len, value)) return;
  if (!out.first_field) sink_write(out, "&", 1);
  out.first_field = false;
  sink_write(out, key, key_len);
  sink_write(out, "=", 1);
  if (out.options->utf8)
    sink_text_utf8(out, value);
  else
    sink_puts(out, value);
}

void answer_deletion_mark(Sink &out, const char *blz) {
  if (out.capture || !json(out) || strnlen(blz, BLZ_DE_SIZE) != BLZ_DE_SIZE - 1 || !all_digits(blz)) return;
  uint32_t code = 0;
  for (int i = 0; i < 8; i++) code = code * 10 + static_cast<uint32_t>(blz[i] - '0');
  uint32_t successor = 0;
  if (deletion_mark(*out.german, code, &successor)) json_deletion_mark(out, true, successor);
}

void answer_end_json(Sink &out) { json_end(out); }

void hit_begin(Sink &out) {
  if (json(out)) return json_hit_begin(out);
  out.first_field = true;
}

void hit_end(Sink &out) {
  if (json(out)) return json_hit_end(out);
  sink_write(out, "\r\n", 2);
}

namespace {

void collect_text(void *ctx, const char *data, size_t len) {
  TextCollector &c = *static_cast<TextCollector *>(ctx);
  if (c.cap == 0) return;
  size_t room = c.cap - 1 - c.len;
  size_t n = len < room ? len : room;
  memcpy(c.text + c.len, data, n);
  c.len += n;
  c.text[c.len] = '\0';
}

}  // namespace

void sink_init_text(Sink &out, TextCollector &collector) {
  if (collector.cap > 0) collector.text[collector.len] = '\0';
  sink_init(out, collect_text, &collector);
}
