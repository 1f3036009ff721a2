// What every answer of pluvar must look like, whatever the input: checked by
// the fuzz targets and by the hostile-input test.
#ifndef PLUVAR_TESTS_INVARIANTS_H
#define PLUVAR_TESTS_INVARIANTS_H

#include <cctype>
#include <string>

// Returns the empty text when `out` (everything written) and `status` (exit
// status) are a well-formed answer, else a description of the violation.
// `hit_lines_allowed` is true for the search mode, whose hit lines ending in
// "\r\n" may come before the response line.
inline std::string response_violation(const std::string &out, int status,
                                      bool hit_lines_allowed) {
  size_t start = 0;
  size_t crlf = out.rfind("\r\n");
  if (crlf != std::string::npos) {
    if (!hit_lines_allowed) return "line end in a single-line answer";
    start = crlf + 2;
    // Every hit line ends with "\r\n": no lone CR or LF anywhere before.
    for (size_t i = 0; i < start; i++) {
      if (out[i] == '\r' && (i + 1 >= start || out[i + 1] != '\n')) return "lone CR in hit lines";
      if (out[i] == '\n' && (i == 0 || out[i - 1] != '\r')) return "lone LF in hit lines";
    }
    for (size_t pos = 0; pos < start;) {
      if (out.compare(pos, 4, "blz=") != 0) return "hit line not starting with blz=";
      pos = out.find("\r\n", pos) + 2;
    }
  }
  std::string line = out.substr(start);
  if (line.size() < 6 || line.compare(0, 5, "code=") != 0) return "no code= response line";
  if (line[5] < '0' || line[5] > '9') return "no digit after code=";
  if (line.size() > 299) return "response line longer than 299 bytes";
  if (line.find('\n') != std::string::npos || line.find('\r') != std::string::npos)
    return "line end in the response line";
  if (line.find('\0') != std::string::npos) return "NUL byte in the response line";
  if (status != line[5] - '0') return "exit status differs from the code";
  return "";
}


// ---------------------------------------------------------------------------
// Answers under --utf8 and --json.
// ---------------------------------------------------------------------------

// Length of the well-formed UTF-8 character at s[i], or 0 (overlong forms,
// surrogates and code points past U+10FFFF are ill-formed).
inline size_t utf8_char_length(const std::string &s, size_t i) {
  unsigned char b = static_cast<unsigned char>(s[i]);
  if (b < 0x80) return 1;
  size_t len;
  unsigned cp;
  if (b >= 0xC2 && b <= 0xDF) len = 2, cp = b & 0x1F;
  else if (b >= 0xE0 && b <= 0xEF) len = 3, cp = b & 0x0F;
  else if (b >= 0xF0 && b <= 0xF4) len = 4, cp = b & 0x07;
  else return 0;
  if (i + len > s.size()) return 0;
  for (size_t k = 1; k < len; k++) {
    unsigned char c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  static const unsigned kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

inline bool valid_utf8(const std::string &s) {
  for (size_t i = 0; i < s.size();) {
    size_t n = utf8_char_length(s, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

// A strict reader of RFC 8259 JSON, enough to judge an answer: it accepts a
// value and tells where it ends.  Strings must escape every control
// character; numbers follow the grammar exactly.
class JsonReader {
 public:
  explicit JsonReader(const std::string &s) : s_(s) {}
  // The whole text is one value with no line end.
  bool whole_value() {
    pos_ = 0;
    return value(0) && pos_ == s_.size();
  }
  // The integer value of the top-level key "code", or -1.
  long code() const { return code_; }

 private:
  bool value(int depth) {
    if (depth > 16 || pos_ >= s_.size()) return false;
    char c = s_[pos_];
    if (c == '{') return object(depth);
    if (c == '[') return array(depth);
    if (c == '"') return string(nullptr);
    if (c == '-' || (c >= '0' && c <= '9')) return number(nullptr);
    for (const char *lit : {"true", "false", "null"}) {
      std::string l(lit);
      if (s_.compare(pos_, l.size(), l) == 0) {
        pos_ += l.size();
        return true;
      }
    }
    return false;
  }
  bool object(int depth) {
    pos_++;
    if (pos_ < s_.size() && s_[pos_] == '}') return ++pos_, true;
    for (;;) {
      std::string key;
      if (pos_ >= s_.size() || s_[pos_] != '"' || !string(&key)) return false;
      if (pos_ >= s_.size() || s_[pos_++] != ':') return false;
      if (depth == 0 && key == "code") {
        long v = -1;
        if (!number(&v)) return false;
        code_ = v;
      } else if (!value(depth + 1)) {
        return false;
      }
      if (pos_ >= s_.size()) return false;
      char c = s_[pos_++];
      if (c == '}') return true;
      if (c != ',') return false;
    }
  }
  bool array(int depth) {
    pos_++;
    if (pos_ < s_.size() && s_[pos_] == ']') return ++pos_, true;
    for (;;) {
      if (!value(depth + 1) || pos_ >= s_.size()) return false;
      char c = s_[pos_++];
      if (c == ']') return true;
      if (c != ',') return false;
    }
  }
  bool string(std::string *out) {
    pos_++;
    while (pos_ < s_.size()) {
      unsigned char c = static_cast<unsigned char>(s_[pos_]);
      if (c == '"') return ++pos_, true;
      if (c < 0x20) return false;
      if (c == '\\') {
        if (++pos_ >= s_.size()) return false;
        char e = s_[pos_++];
        if (e == 'u') {
          for (int k = 0; k < 4; k++, pos_++)
            if (pos_ >= s_.size() || !isxdigit(static_cast<unsigned char>(s_[pos_]))) return false;
        } else if (std::string("\"\\/bfnrt").find(e) == std::string::npos) {
          return false;
        }
        continue;
      }
      size_t n = utf8_char_length(s_, pos_);
      if (n == 0) return false;
      if (out) out->append(s_, pos_, n);
      pos_ += n;
    }
    return false;
  }
  bool number(long *out) {
    size_t start = pos_;
    if (pos_ < s_.size() && s_[pos_] == '-') pos_++;
    if (pos_ >= s_.size() || !isdigit(static_cast<unsigned char>(s_[pos_]))) return false;
    if (s_[pos_] == '0') pos_++;
    else while (pos_ < s_.size() && isdigit(static_cast<unsigned char>(s_[pos_]))) pos_++;
    bool integer = true;
    if (pos_ < s_.size() && s_[pos_] == '.') {
      integer = false;
      if (++pos_ >= s_.size() || !isdigit(static_cast<unsigned char>(s_[pos_]))) return false;
      while (pos_ < s_.size() && isdigit(static_cast<unsigned char>(s_[pos_]))) pos_++;
    }
    if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
      integer = false;
      pos_++;
      if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) pos_++;
      if (pos_ >= s_.size() || !isdigit(static_cast<unsigned char>(s_[pos_]))) return false;
      while (pos_ < s_.size() && isdigit(static_cast<unsigned char>(s_[pos_]))) pos_++;
    }
    if (out) *out = integer && pos_ - start < 10 ? std::stol(s_.substr(start, pos_ - start)) : -1;
    return true;
  }

  const std::string &s_;
  size_t pos_ = 0;
  long code_ = -1;
};

// What an answer under an option must look like: --utf8 valid UTF-8 and the
// line's shape (long texts may pass 299 bytes in UTF-8); --json one valid
// JSON object whose "code" is the exit status and whose reason is set.
inline std::string option_violation(const std::string &out, int status, const char *option,
                                    bool hit_lines_allowed) {
  std::string opt = option;
  if (opt == "--utf8") {
    if (!valid_utf8(out)) return "--utf8: not UTF-8";
    if (out.compare(0, 7, "Pluvar ") == 0 && status == 1) return "";  // the banner
    std::string why = response_violation(out, status, hit_lines_allowed);
    if (why == "response line longer than 299 bytes") return "";
    return why.empty() ? "" : "--utf8: " + why;
  }
  if (opt == "--json") {
    if (!valid_utf8(out)) return "--json: not UTF-8";
    JsonReader reader(out);
    if (out.empty() || out[0] != '{' || !reader.whole_value()) return "--json: not one JSON object";
    if (reader.code() != status) return "--json: code differs from the exit status";
    if (out.find("\"reason\":\"") == std::string::npos) return "--json: no reason";
    if (out.find("\"reason\":\"unset\"") != std::string::npos) return "--json: reason unset";
    return "";
  }
  return response_violation(out, status, hit_lines_allowed);
}

#endif
