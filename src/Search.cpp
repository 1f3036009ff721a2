// Bank search: lists the rows of the German directory that match a bank-code
// prefix, postcode prefix, name, place or BIC part.
#include "pluvar.h"

char Search_Main(char *query, char allinfo, Sink &out) {
  (void)query;
  (void)allinfo;
  sink_puts(out, "code=6&mode=SEARCH");
  return '6';
}
