// Fuzz target: the account handler with any query and either allinfo flag.
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  return fuzz_handler(Account_Main, false, data, size);
}
