// Fuzz target: the iban handler with any query and either allinfo flag.
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  return fuzz_handler(IbanGen_Main, false, data, size);
}
