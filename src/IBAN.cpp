// IBAN build, check and split, and the IBAN mode for all countries.
#include "pluvar.h"

// ===== German IBAN =====

// ===== Foreign IBAN =====
