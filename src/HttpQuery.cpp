// How an HTTP request's query string becomes a command line for the request
// path.  No HTTP is parsed here (the server's library does that); this is
// the mapping from the URL's query onto the words `pluvar` takes.
#include <cstring>

#include "Serve.h"

namespace {

struct ControlName {
  const char *name;
  bool HttpCall::*flag;  // null for the date
};

// Parameter names that steer the answer instead of being part of the query.
// None of them is a key of any mode (knr, blz, ibn, ccd, zip, max, nam, loc,
// bic), so no mode loses a field it could read.
const ControlName kControls[] = {
    {"allinfo", &HttpCall::allinfo}, {"utf8", &HttpCall::utf8},
    {"lenient", &HttpCall::lenient}, {"strict", &HttpCall::strict},
    {"json", nullptr},               {"date", nullptr},
};
constexpr size_t kControlCount = sizeof kControls / sizeof kControls[0];

int hex_value(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

// Percent-decodes one field of the query string (form encoding: '+' is a
// blank) and appends it to dst, which holds `len` bytes of `cap`.
HttpQueryError decode_append(std::string_view field, char *dst, size_t cap, size_t &len) {
  for (size_t i = 0; i < field.size(); i++) {
    char ch = field[i];
    if (ch == '+') {
      ch = ' ';
    } else if (ch == '%') {
      if (i + 2 >= field.size()) return HttpQueryError::bad_escape;
      int hi = hex_value(field[i + 1]);
      int lo = hex_value(field[i + 2]);
      if (hi < 0 || lo < 0) return HttpQueryError::bad_escape;
      ch = static_cast<char>(hi * 16 + lo);
      if (ch == '\0') return HttpQueryError::nul_byte;
      i += 2;
    }
    if (len + 1 >= cap) return HttpQueryError::too_long;
    dst[len++] = ch;
  }
  dst[len] = '\0';
  return HttpQueryError::none;
}

// The control parameter a decoded field names, or -1.
int control_index(const char *field) {
  const char *eq = strchr(field, '=');
  size_t key_len = eq ? static_cast<size_t>(eq - field) : strlen(field);
  for (size_t i = 0; i < kControlCount; i++)
    if (strlen(kControls[i].name) == key_len && memcmp(kControls[i].name, field, key_len) == 0)
      return static_cast<int>(i);
  return -1;
}

// A flag's value: "1" on, "0" off; -1 for anything else.
int flag_value(const char *field) {
  const char *eq = strchr(field, '=');
  if (!eq || eq[1] == '\0' || eq[2] != '\0') return -1;
  if (eq[1] == '0') return 0;
  if (eq[1] == '1') return 1;
  return -1;
}

HttpQueryError take_control(const char *field, int index, HttpCall &call, bool *seen) {
  if (seen[index]) return HttpQueryError::repeated;
  seen[index] = true;
  const ControlName &c = kControls[index];
  const char *eq = strchr(field, '=');
  if (strcmp(c.name, "date") == 0) {
    const char *value = eq ? eq + 1 : "";
    if (strlen(value) >= HTTP_DATE_SIZE) return HttpQueryError::bad_flag;
    strcpy(call.date, value);
    return HttpQueryError::none;
  }
  int v = flag_value(field);
  if (v < 0) return HttpQueryError::bad_flag;
  if (c.flag)
    call.*c.flag = v == 1;
  else
    call.json = v;
  return HttpQueryError::none;
}

}  // namespace

HttpQueryError parse_http_query(std::string_view raw, HttpCall &call) {
  call.query[0] = '\0';
  call.allinfo = call.utf8 = call.lenient = call.strict = false;
  call.json = -1;
  call.date[0] = '\0';
  bool seen[kControlCount] = {};
  // One decoded field at a time; it joins the mode's query unless it is a
  // control parameter.
  char field[HTTP_HEADER_LIMIT + 1];
  size_t out_len = 0;
  bool first = true;
  size_t start = 0;
  while (start <= raw.size() && !raw.empty()) {
    size_t end = raw.find('&', start);
    if (end == std::string_view::npos) end = raw.size();
    size_t field_len = 0;
    HttpQueryError e = decode_append(raw.substr(start, end - start), field, sizeof field, field_len);
    if (e != HttpQueryError::none) return e;
    int control = control_index(field);
    if (control >= 0) {
      e = take_control(field, control, call, seen);
      if (e != HttpQueryError::none) return e;
    } else {
      size_t need = (first ? 0 : 1) + field_len;
      if (out_len + need + 1 > sizeof call.query) return HttpQueryError::too_long;
      if (!first) call.query[out_len++] = '&';
      memcpy(call.query + out_len, field, field_len);
      out_len += field_len;
      call.query[out_len] = '\0';
      first = false;
    }
    start = end + 1;
  }
  return HttpQueryError::none;
}

const char *http_query_error_text(HttpQueryError e) {
  switch (e) {
    case HttpQueryError::none: return "";
    case HttpQueryError::bad_escape: return "bad percent-escape in the query string";
    case HttpQueryError::nul_byte: return "%00 in the query string";
    case HttpQueryError::bad_flag: return "a control parameter with a value other than 0 or 1";
    case HttpQueryError::repeated: return "a control parameter given twice";
    case HttpQueryError::too_long: return "query string too long";
  }
  return "bad query string";
}

int http_call_argv(const HttpCall &call, bool json, const char *mode_word, const char **argv) {
  int n = 0;
  argv[n++] = "pluvar";
  if (json) argv[n++] = "--json";
  if (call.utf8) argv[n++] = "--utf8";
  if (call.lenient) argv[n++] = "--lenient";
  if (call.strict) argv[n++] = "--strict";
  if (call.date[0]) {
    argv[n++] = "--date";
    argv[n++] = call.date;
  }
  if (mode_word) argv[n++] = mode_word;
  if (call.allinfo) argv[n++] = "-allinfo";
  argv[n++] = call.query;
  argv[n] = nullptr;
  return n;
}

namespace {

char lower(char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch; }

bool equals_lower(std::string_view text, std::string_view lower_word) {
  if (text.size() != lower_word.size()) return false;
  for (size_t i = 0; i < text.size(); i++)
    if (lower(text[i]) != lower_word[i]) return false;
  return true;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A q weight of zero ("q=0", "q=0.0", "q=0.000") refuses the media range.
bool weight_is_zero(std::string_view params) {
  while (!params.empty()) {
    size_t semi = params.find(';');
    std::string_view p = trim(params.substr(0, semi));
    params = semi == std::string_view::npos ? std::string_view() : params.substr(semi + 1);
    if (p.size() >= 2 && lower(p[0]) == 'q' && p[1] == '=') {
      std::string_view v = trim(p.substr(2));
      if (v.empty() || v[0] != '0') return false;
      for (size_t i = 1; i < v.size(); i++)
        if (v[i] != '.' && v[i] != '0') return false;
      return true;
    }
  }
  return false;
}

}  // namespace

bool accept_wants_json(std::string_view accept) {
  while (!accept.empty()) {
    size_t comma = accept.find(',');
    std::string_view range = accept.substr(0, comma);
    accept = comma == std::string_view::npos ? std::string_view() : accept.substr(comma + 1);
    size_t semi = range.find(';');
    std::string_view type = trim(range.substr(0, semi));
    std::string_view params = semi == std::string_view::npos ? std::string_view() : range.substr(semi + 1);
    if (equals_lower(type, "application/json") && !weight_is_zero(params)) return true;
  }
  return false;
}
