// Tests that pin the facts of one edition of the German directory run only
// when that edition is compiled in; on any other edition they report
// themselves skipped.  Tests of invariants run on every edition.
#ifndef PLUVAR_TESTS_EDITION_H
#define PLUVAR_TESTS_EDITION_H

#include <gtest/gtest.h>

#include "pluvar.h"

constexpr uint32_t kShippedEdition = 20250303;  // valid 03.03.2025 - 08.06.2025
constexpr uint32_t kEdition20250908 = 20250908;  // valid 08.09.2025 - 07.12.2025

#define PLUVAR_ONLY_EDITION(first_day)                                          \
  do {                                                                          \
    if (edition_DE.valid_from != (first_day))                                   \
      GTEST_SKIP() << "pins facts of the edition valid from " << (first_day)   \
                   << "; this build carries " << edition_DE.valid_from;         \
  } while (0)

#endif  // PLUVAR_TESTS_EDITION_H
