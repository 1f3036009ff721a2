// The entry of pluvar-serve, the HTTP server that `pluvar serve` runs: its
// arguments are the words that follow "serve" on pluvar's command line.
#include <vector>

#include "Serve.h"

int main(int argc, char **argv) {
  std::vector<const char *> words = {argv[0], "serve"};
  for (int i = 1; i < argc; i++) words.push_back(argv[i]);
  return pluvar_serve(static_cast<int>(words.size()), words.data());
}
