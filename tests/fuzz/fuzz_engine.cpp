// Fuzz target: the check-digit engine on its own, for every method byte and
// any digits.  The handlers reach only the methods of directory banks; this
// reaches them all, and the rewriting methods' in-place changes with them.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pluvar.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 19) return 0;
  unsigned char method = data[0];
  unsigned char blz[8], knr[10], again[10];
  for (int i = 0; i < 8; i++) blz[i] = data[1 + i] % 10;
  for (int i = 0; i < 10; i++) knr[i] = data[9 + i] % 10;
  memcpy(again, knr, sizeof knr);
  char r1 = check_knr(blz, knr, method);
  char r2 = check_knr(blz, again, method);
  if (r1 != '0' && r1 != '1' && r1 != '8' && r1 != '9') {
    fprintf(stderr, "result %d for method %d\n", r1, method);
    abort();
  }
  if (r1 != r2 || memcmp(knr, again, sizeof knr) != 0) abort();  // not deterministic
  if ((r1 == '8') != (method > 144)) abort();
  for (unsigned char d : knr)
    if (d > 9) abort();  // a rewrite left a non-digit behind
  return 0;
}
