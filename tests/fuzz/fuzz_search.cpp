// Fuzz target: the search handler with any query and either allinfo flag.
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  return fuzz_handler(Search_Main, true, data, size);
}
