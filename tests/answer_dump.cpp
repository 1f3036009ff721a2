// Test driver: answers many requests in one process for tests/json_answers.py.
// Each input line holds one command line's arguments separated by TAB; for
// each it writes the answer plain, under --utf8 and under --json, each as
// "STATUS LENGTH\n" followed by the answer's bytes.
#include <cstdio>
#include <string>
#include <vector>

#include "pluvar.h"

namespace {

void collect(void *ctx, const char *data, size_t len) {
  static_cast<std::string *>(ctx)->append(data, len);
}

void answer(const std::vector<std::string> &args, const char *option) {
  std::vector<const char *> argv = {"pluvar"};
  if (option) argv.push_back(option);
  for (const auto &a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  std::string out;
  Sink sink;
  sink_init(sink, collect, &out);
  int status = pluvar_run(static_cast<int>(argv.size() - 1), argv.data(), sink);
  sink_finish(sink);
  printf("%d %zu\n", status, out.size());
  fwrite(out.data(), 1, out.size(), stdout);
}

}  // namespace

int main() {
  std::string line;
  int ch;
  while ((ch = getchar()) != EOF) {
    if (ch != '\n') {
      line.push_back(static_cast<char>(ch));
      continue;
    }
    std::vector<std::string> args(1);
    for (char c : line) {
      if (c == '\t')
        args.emplace_back();
      else
        args.back().push_back(c);
    }
    answer(args, nullptr);
    answer(args, "--utf8");
    answer(args, "--json");
    line.clear();
  }
  return 0;
}
