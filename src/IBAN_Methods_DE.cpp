// The German IBAN rules and the bank-specific IBAN procedures.
#include "pluvar.h"
