// The HTTP front of the request path (`pluvar serve`).
//
// HttpQuery.cpp (in the core, no HTTP library): how a request's query string
// becomes a command line.  Server.cpp (linked into the program only): the
// server itself, on Boost.Beast.
#ifndef PLUVAR_SERVE_H
#define PLUVAR_SERVE_H

#include <cstddef>
#include <string_view>

// The longest query string a request can carry: the request line and the
// header fields together are bounded by this size (414/431 past it).
constexpr size_t HTTP_HEADER_LIMIT = 8192;
constexpr size_t HTTP_DATE_SIZE = 16;  // value of the date parameter incl. NUL

// A request's query string read as a command line.  Control parameters
// (allinfo, json, utf8, lenient, strict, date) become option words; the other
// fields, percent-decoded and joined with '&' in their order, are the mode's
// query.
struct HttpCall {
  char query[HTTP_HEADER_LIMIT + 1];
  bool allinfo;
  bool utf8;
  bool lenient;
  bool strict;
  int json;  // -1 absent (the Accept header decides), 0 or 1
  char date[HTTP_DATE_SIZE];  // empty when absent
};

enum class HttpQueryError {
  none,
  bad_escape,  // '%' not followed by two hexadecimal digits
  nul_byte,    // %00: a command-line argument cannot hold it
  bad_flag,    // a flag parameter whose value is not 0 or 1, a date too long
  repeated,    // a control parameter given twice
  too_long,    // the query does not fit (longer than a request line may be)
};

// Reads the raw query string (the text after '?', without it).
HttpQueryError parse_http_query(std::string_view raw, HttpCall &call);
// A short English text for the error, the body of the 400 answer.
const char *http_query_error_text(HttpQueryError e);

// The command line of the call: argv[0] "pluvar", the option words, the
// mode word (null for the account check), "-allinfo", the query.  argv has
// room for HTTP_ARGV_SIZE pointers; returns argc.  The pointers point into
// `call` and `mode_word`.
constexpr size_t HTTP_ARGV_SIZE = 12;
int http_call_argv(const HttpCall &call, bool json, const char *mode_word, const char **argv);

// Whether an Accept header asks for JSON: one of its media ranges is
// application/json with a nonzero (or no) q weight.
bool accept_wants_json(std::string_view accept);

// Server.cpp: `pluvar serve [--listen ADDR:PORT] ...`; argv[1] is the mode
// word.  Returns the exit status.
int pluvar_serve(int argc, const char *const *argv);

// The program that serves (main_serve.cpp), found beside `pluvar`, which
// runs it for `pluvar serve`; its arguments are the words after "serve".
constexpr char SERVE_PROGRAM[] = "pluvar-serve";
// Exit status when the server cannot start: no address to listen on, or no
// server program to run.
constexpr int SERVE_START_FAILED = 10;

#endif
