// Pluvar: the editions of the compiled-in data (data/Edition*.cpp) and what
// the program says about them.
//
// Kept apart from pluvar.h and Tables.h so that the generated edition units
// depend on nothing but these two record types.
#ifndef PLUVAR_EDITION_H
#define PLUVAR_EDITION_H

#include <cstddef>
#include <cstdint>

// Dates are numbers YYYYMMDD (20250303), so they order as days do.

// The German bank directory's edition (data/Edition_DE.cpp).
struct Edition_DE {
  uint32_t valid_from;   // first day the Bundesbank's edition applies
  uint32_t valid_to;     // last day
  const char *source;    // raw file, relative to the raw data folder
  const char *sha256;    // of the raw file, 64 hex digits
  uint32_t rows;         // rows of `l` (records not marked deleted)
  uint32_t codes;        // bank codes (head_DE records)
};

// One table unit and where its data comes from (data/Edition.cpp).
struct Edition_Source {
  const char *unit;     // "BLZ_Liste_AT"
  const char *tables;   // "head_AT"
  const char *source;   // raw file(s), relative to the raw data folder
  const char *edition;  // the edition as its provider dates it
  const char *sha256;   // of the file; of the sha256sum listing for several
};

extern const Edition_DE edition_DE;
extern const Edition_Source edition_sources[];
extern const uint32_t edition_sources_size;

#endif  // PLUVAR_EDITION_H
