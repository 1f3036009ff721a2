// What every answer of pluvar must look like, whatever the input: checked by
// the fuzz targets and by the hostile-input test.
#ifndef PLUVAR_TESTS_INVARIANTS_H
#define PLUVAR_TESTS_INVARIANTS_H

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

#endif
