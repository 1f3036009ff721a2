// The check-digit methods 00-99 and A0-E4 of the German bank-code directory.
#include "pluvar.h"
