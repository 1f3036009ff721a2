// Fuzz target: the batch entry.  The input is the request stream itself
// (lines at LF, fields at TAB); it goes through pluvar_batch over memory
// files, and every answer must equal the one-shot answer of its line followed
// by LF, judged by splitting the lines here and asking the request path.
#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fuzz_common.h"

namespace {

int memory_file(const char *name) { return memfd_create(name, 0); }

std::string read_back(int fd) {
  std::string s;
  lseek(fd, 0, SEEK_SET);
  char buf[65536];
  for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) s.append(buf, static_cast<size_t>(n));
  return s;
}

// A field reaches the request path as a C string, like a word of argv.
std::string as_word(const std::string &field) { return field.substr(0, field.find('\0')); }

std::string one_shot(const std::string &line_in) {
  std::string line = line_in;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  std::vector<std::string> words;
  if (!line.empty()) {
    for (size_t f = 0;;) {
      size_t tab = line.find('\t', f);
      words.push_back(as_word(line.substr(f, tab == std::string::npos ? std::string::npos : tab - f)));
      if (tab == std::string::npos) break;
      f = tab + 1;
    }
  }
  std::vector<const char *> argv = {"pluvar"};
  for (const auto &w : words) argv.push_back(w.c_str());
  argv.push_back(nullptr);
  std::string out;
  Sink sink;
  sink_init(sink, fuzz_collect, &out);
  pluvar_request(kDefaultOptions, static_cast<int>(argv.size() - 1), argv.data(), sink);
  sink_finish(sink);
  return out + "\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  int in = memory_file("batch_in"), out = memory_file("batch_out");
  if (in < 0 || out < 0) abort();
  if (size > 0 && write(in, data, size) != static_cast<ssize_t>(size)) abort();
  lseek(in, 0, SEEK_SET);
  int status = pluvar_batch(in, dup(out), 0, nullptr);  // closes its copy
  std::string got = read_back(out);
  close(in);
  close(out);
  if (status != 0) fuzz_fail("batch failed on memory files", got);

  std::string input(reinterpret_cast<const char *>(data), size), expected;
  for (size_t pos = 0; pos < input.size();) {
    size_t lf = input.find('\n', pos);
    size_t end = lf == std::string::npos ? input.size() : lf;
    expected += one_shot(input.substr(pos, end - pos));
    pos = end + 1;
  }
  if (got != expected) fuzz_fail("batch answer differs from the one-shot answer", got);
  return 0;
}
