// Shared driver of the fuzz targets: runs one request in-process through the
// output sink, twice, and aborts when an answer breaks an invariant or the
// two answers differ.
#ifndef PLUVAR_FUZZ_COMMON_H
#define PLUVAR_FUZZ_COMMON_H

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "invariants.h"
#include "pluvar.h"

inline void fuzz_collect(void *ctx, const char *data, size_t len) {
  static_cast<std::string *>(ctx)->append(data, len);
}

using FuzzHandler = char (*)(char *query, char allinfo, Sink &out);

// The query buffer as main fills it: at most 299 characters, zero-filled.
inline std::string fuzz_handler_once(FuzzHandler h, const uint8_t *data, size_t size,
                                     char allinfo, int *status,
                                     const RequestOptions &options = kDefaultOptions) {
  char query[QUERY_SIZE] = {0};
  size_t n = 0;
  for (; n < size && n < QUERY_SIZE - 1 && data[n]; n++) query[n] = static_cast<char>(data[n]);
  std::string out;
  Sink sink;
  sink_init(sink, fuzz_collect, &out);
  sink.options = &options;
  char code = h(query, allinfo, sink);
  sink_finish(sink);
  *status = code - '0';
  return out;
}

[[noreturn]] inline void fuzz_fail(const char *what, const std::string &out) {
  fprintf(stderr, "invariant broken: %s\noutput: %.400s\n", what, out.c_str());
  abort();
}

// First byte: allinfo flag (low bit); the rest is the query.
inline int fuzz_handler(FuzzHandler h, bool search_mode, const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  char allinfo = static_cast<char>(data[0] & 1);
  int s1 = -1, s2 = -1;
  std::string a = fuzz_handler_once(h, data + 1, size - 1, allinfo, &s1);
  std::string b = fuzz_handler_once(h, data + 1, size - 1, allinfo, &s2);
  std::string why = response_violation(a, s1, search_mode);
  if (!why.empty()) fuzz_fail(why.c_str(), a);
  if (a != b || s1 != s2) fuzz_fail("same input, different answer", a);
  // The same query under --utf8 and --json: the same code, well-formed.
  RequestOptions utf8, json;
  utf8.utf8 = true;
  json.json = true;
  for (const auto &[options, name] : {std::pair{&utf8, "--utf8"}, std::pair{&json, "--json"}}) {
    int s = -1;
    std::string c = fuzz_handler_once(h, data + 1, size - 1, allinfo, &s, *options);
    if (s != s1) fuzz_fail("the option changes the code", c);
    why = option_violation(c, s, name, search_mode);
    if (!why.empty()) fuzz_fail(why.c_str(), c);
  }
  return 0;
}

#endif
