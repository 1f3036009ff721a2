// The German editions a build carries and the choice between them: each
// request answers from the edition valid on the day it runs, or on the day
// its --date names, so an operator can ship the next quarter's directory
// weeks before it takes effect.
#include "pluvar.h"

constinit const GermanTables german_current = PLUVAR_GERMAN_TABLES_OF();

#ifdef PLUVAR_NEXT_EDITION
// The next edition's units (PLUVAR_NEXT_EDITION_DIR) hold its tables here.
namespace edition_next {
PLUVAR_GERMAN_DECLARATIONS
}  // namespace edition_next

namespace {
constinit const GermanTables german_next = PLUVAR_GERMAN_TABLES_OF(edition_next);
}  // namespace

const GermanTables *const german_editions[] = {&german_current, &german_next};
#else
const GermanTables *const german_editions[] = {&german_current};
#endif
constexpr uint32_t kGermanEditions = sizeof german_editions / sizeof german_editions[0];
const uint32_t german_editions_size = kGermanEditions;

const GermanTables &german_edition_on(const GermanTables *const *editions, uint32_t n,
                                      uint32_t day) {
  uint32_t k = 0;
  while (k + 1 < n && editions[k + 1]->edition_DE.valid_from <= day) k++;
  return *editions[k];
}

const GermanTables &german_edition_for(uint32_t date, DayClock &clock) {
  if constexpr (kGermanEditions == 1) {
    return german_current;
  } else {
    // A clock that cannot tell the day (0) gives the first edition.
    return german_edition_on(german_editions, kGermanEditions,
                             date != 0 ? date : today_ymd(clock));
  }
}

const GermanTables &german_edition_for(uint32_t date) {
  DayClock clock{-1, 0};
  return german_edition_for(date, clock);
}
