// Fuzz target: the whole command line.  The input is split at NUL bytes into
// arguments (at most six), so argument counts, mode words and queries vary
// together.
#include <vector>

#include "fuzz_common.h"

namespace {

int run_once(const std::vector<std::string> &args, std::string *out) {
  std::vector<const char *> argv = {"pluvar"};
  for (const auto &a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  Sink sink;
  sink_init(sink, fuzz_collect, out);
  int status = pluvar_run(static_cast<int>(argv.size() - 1), argv.data(), sink);
  sink_finish(sink);
  return status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<std::string> args;
  std::string cur;
  for (size_t i = 0; i < size; i++) {
    if (data[i] == 0) {
      args.push_back(cur);
      cur.clear();
      if (args.size() == 6) break;
    } else {
      cur.push_back(static_cast<char>(data[i]));
    }
  }
  if (args.size() < 6 && size > 0) args.push_back(cur);

  std::string a, b;
  int s1 = run_once(args, &a);
  int s2 = run_once(args, &b);
  if (a != b || s1 != s2) fuzz_fail("same input, different answer", a);
  if (args.size() == 1 && args[0] == "-v") {
    if (a != "Pluvar 3.25.1,  valid 03/03/25 - 06/08/25" || s1 != 1) fuzz_fail("bad banner", a);
    return 0;
  }
  // "[--date D] --version" answers people with several lines, not a code line.
  if (!args.empty() && args.back() == "--version" && s1 == 0) {
    if (a.rfind("Pluvar ", 0) != 0 || a.back() != '\n') fuzz_fail("bad version text", a);
    return 0;
  }
  // Hit lines are allowed when the first word may select the search mode;
  // the invariants still demand they end in "\r\n" and precede the code line.
  std::string why = response_violation(a, s1, true);
  if (!why.empty()) fuzz_fail(why.c_str(), a);
  if (a.find("\r\n") != std::string::npos && a.find("&mode=SEARCH") == std::string::npos)
    fuzz_fail("hit lines outside the search mode", a);
  return 0;
}
