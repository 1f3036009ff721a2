// Fuzz target: the whole command line.  The input is split at NUL bytes into
// arguments (at most six), so argument counts, mode words and queries vary
// together.
#include <vector>

#include "fuzz_common.h"

namespace {

int run_once(const std::vector<std::string> &args, std::string *out,
             const char *option = nullptr) {
  std::vector<const char *> argv = {"pluvar"};
  if (option) argv.push_back(option);
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
  // Option words among the input shape the answer as they say.
  const char *format = "";
  size_t first_word = 0;
  for (; first_word + 1 < args.size() && args[first_word].compare(0, 2, "--") == 0; first_word++) {
    const std::string &w = args[first_word];
    if (w == "--json") format = "--json";
    if (w == "--utf8" && format[0] == '\0') format = "--utf8";
    if (w == "--date" && first_word + 2 < args.size()) first_word++;  // its value, whatever it holds
  }
  // "-v" after option words is still the banner (in the edition --date
  // chooses), unless an option word was refused.
  if (first_word + 1 == args.size() && args[first_word] == "-v" && format[0] != 'j' &&
      a.rfind("Pluvar ", 0) == 0) {
    if (s1 != 1 || a.find_first_of("\r\n") != std::string::npos) fuzz_fail("bad banner", a);
    return 0;
  }
  std::string why = option_violation(a, s1, format, true);
  if (!why.empty()) fuzz_fail(why.c_str(), a);
  if (format[0] == '\0' && a.find("\r\n") != std::string::npos &&
      a.find("&mode=SEARCH") == std::string::npos)
    fuzz_fail("hit lines outside the search mode", a);
  // Each option in front of the same words: well-formed answers, and the
  // exit status the answer's code.  (Without other words the option would
  // itself be the query.)
  if (args.empty()) return 0;
  for (const char *option : {"--utf8", "--json", "--lenient"}) {
    std::string c;
    int s = run_once(args, &c, option);
    std::string both = std::string(format) + option;
    const char *judged = both.find("--json") != std::string::npos   ? "--json"
                         : both.find("--utf8") != std::string::npos ? "--utf8"
                                                                    : "";
    why = option_violation(c, s, judged, true);
    if (why.empty() && option[2] != 'l' && s != s1)
      why = "the option changes the code";
    if (!why.empty()) fuzz_fail(why.c_str(), c);
  }
  return 0;
}
