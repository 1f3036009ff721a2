// Runs a fuzz target over the files of a corpus without libFuzzer, so a gcc
// coverage build can measure what the corpora reach.
#include <dirent.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

static bool read_file(const std::string &path, std::vector<uint8_t> *data) {
  FILE *f = fopen(path.c_str(), "rb");
  if (!f) return false;
  uint8_t buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) data->insert(data->end(), buf, buf + n);
  fclose(f);
  return true;
}

int main(int argc, char **argv) {
  size_t runs = 0;
  for (int i = 1; i < argc; i++) {
    DIR *dir = opendir(argv[i]);
    if (!dir) continue;
    while (dirent *e = readdir(dir)) {
      if (e->d_name[0] == '.') continue;
      std::vector<uint8_t> data;
      if (!read_file(std::string(argv[i]) + "/" + e->d_name, &data)) continue;
      LLVMFuzzerTestOneInput(data.data(), data.size());
      runs++;
    }
    closedir(dir);
  }
  printf("replayed %zu inputs\n", runs);
  return 0;
}
