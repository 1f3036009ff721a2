// Fuzz target: the sepa handler with any query, either allinfo flag, and
// with or without --strict.
#include "fuzz_common.h"

namespace {

// The handler as `pluvar --strict sepa` reaches it, with the other options
// the harness gives (--utf8, --json).
char sepa_strict(char *query, char allinfo, Sink &out) {
  RequestOptions strict = *out.options;
  strict.strict = true;
  const RequestOptions *given = out.options;
  out.options = &strict;
  char code = Sepa_Main(query, allinfo, out);
  out.options = given;
  return code;
}

}  // namespace

// First byte: bit 0 allinfo, bit 1 --strict ('2' and '3' in the seeds).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  bool strict = size > 0 && (data[0] & 2) != 0;
  return fuzz_handler(strict ? sepa_strict : Sepa_Main, false, data, size);
}
