// A C++ caller of libpluvar: answers the command line given to it, byte for
// byte as the pluvar program does, and streams long answers (a search) through
// the write callback.
//   lookup search -allinfo nam=bundesbank
#include <pluvar/pluvar.h>

#include <cstdio>
#include <string>

namespace {

int write_stdout(void *, const char *data, size_t length) {
  return std::fwrite(data, 1, length, stdout) == length ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
  int code = pluvar_command_to(argc, argv, write_stdout, nullptr);
  std::fputc('\n', stdout);
  if (code < 0) {
    std::fprintf(stderr, "lookup: the answer could not be written (%d)\n", code);
    return 70;
  }
  return code;
}
