// SEPA mode: IBAN validation for every country of the country table, bank
// and BIC resolution, reachability flags.
#include "pluvar.h"
