// Pluvar: the editions of the compiled-in data (data/Edition*.cpp) and what
// the program says about them.
//
// Kept apart from pluvar.h so that the generated edition units depend on
// nothing but the record types.
#ifndef PLUVAR_EDITION_H
#define PLUVAR_EDITION_H

#include <cstddef>
#include <cstdint>

#include "Tables.h"

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

// ---------------------------------------------------------------------------
// German editions.  A build carries the German directory of data/ and, when
// configured with PLUVAR_NEXT_EDITION_DIR, the next quarter's, whose
// generated units define the same names inside namespace edition_next.  Each
// request chooses one edition (the one valid on its day) and hands it down to
// every German lookup as a GermanTables: the tables of that edition under the
// names data/ gives them.  A descriptor is a constant the linker fills in
// (addresses only), so choosing costs no start-up work.
// ---------------------------------------------------------------------------
struct GermanTables {
  const Edition_DE &edition_DE;
  const BLZ_Row *l;
  const uint32_t &l_size;
  const int32_t *Sprung;  // 10 entries
  const uint32_t *l_blz_number;
  const uint32_t *l_zip_number;
  const uint16_t *l_name_id;
  const uint16_t *l_place_id;
  const char *l_name_pool;
  const uint32_t &l_name_pool_size;
  const uint32_t *l_name_offset;
  const uint32_t &l_names_size;
  const char *l_place_pool;
  const uint32_t &l_place_pool_size;
  const uint32_t *l_place_offset;
  const uint32_t &l_places_size;
  const Head_t_SEPA *head_DE;
  const uint32_t &head_DE_size;
  const char *head_DE_text;
  const uint32_t &head_DE_text_size;
  // The search keys of head_DE, row for row its bank's row in l and method,
  // and the hashed slots that find a key's row (Tables.h).
  const uint32_t *head_DE_key;
  const uint16_t *head_DE_row;
  const uint8_t *head_DE_method;
  const uint8_t *head_DE_rule;
  const uint32_t &head_DE_hash_multiplier;
  const uint32_t &head_DE_hash_second_multiplier;
  const uint32_t &head_DE_hash_bits;
  const uint64_t *head_DE_slot;
  const uint32_t *deleted_blz;
  const uint32_t *deleted_successor;
  const uint32_t &deleted_count;
};

// The German tables of one edition, declared inside the namespace of an
// edition that is not data/'s (the generated units of the next edition open
// it with these declarations, so their constants keep external linkage).
#define PLUVAR_GERMAN_DECLARATIONS        \
  extern const Edition_DE edition_DE;     \
  extern const BLZ_Row l[];               \
  extern const uint32_t l_size;           \
  extern const int32_t Sprung[10];        \
  extern const uint32_t l_blz_number[];   \
  extern const uint32_t l_zip_number[];   \
  extern const uint16_t l_name_id[];      \
  extern const uint16_t l_place_id[];     \
  extern const char l_name_pool[];        \
  extern const uint32_t l_name_pool_size; \
  extern const uint32_t l_name_offset[];  \
  extern const uint32_t l_names_size;     \
  extern const char l_place_pool[];       \
  extern const uint32_t l_place_pool_size; \
  extern const uint32_t l_place_offset[]; \
  extern const uint32_t l_places_size;    \
  extern const Head_t_SEPA head_DE[];     \
  extern const uint32_t head_DE_size;     \
  extern const char head_DE_text[];       \
  extern const uint32_t head_DE_text_size; \
  extern const uint32_t head_DE_key[];    \
  extern const uint16_t head_DE_row[];    \
  extern const uint8_t head_DE_method[];  \
  extern const uint8_t head_DE_rule[];    \
  extern const uint32_t head_DE_hash_multiplier; \
  extern const uint32_t head_DE_hash_second_multiplier; \
  extern const uint32_t head_DE_hash_bits; \
  extern const uint64_t head_DE_slot[];   \
  extern const uint32_t deleted_blz[];    \
  extern const uint32_t deleted_successor[]; \
  extern const uint32_t deleted_count;

// The descriptor of the edition whose tables carry the names in namespace NS
// (empty: the global namespace, data/'s edition).
#define PLUVAR_GERMAN_TABLES_OF(NS)                                                          \
  {NS::edition_DE,     NS::l,                 NS::l_size,         NS::Sprung,               \
   NS::l_blz_number,   NS::l_zip_number,      NS::l_name_id,      NS::l_place_id,           \
   NS::l_name_pool,    NS::l_name_pool_size,  NS::l_name_offset,  NS::l_names_size,         \
   NS::l_place_pool,   NS::l_place_pool_size, NS::l_place_offset, NS::l_places_size,        \
   NS::head_DE,        NS::head_DE_size,      NS::head_DE_text,   NS::head_DE_text_size,    \
   NS::head_DE_key,    NS::head_DE_row,       NS::head_DE_method, NS::head_DE_rule,     \
   NS::head_DE_hash_multiplier, NS::head_DE_hash_second_multiplier, NS::head_DE_hash_bits, NS::head_DE_slot, \
   NS::deleted_blz,    NS::deleted_successor, NS::deleted_count}

// data/'s edition; in a build with PLUVAR_NEXT_EDITION_DIR also the next one
// (Editions.cpp).
extern const GermanTables german_current;
// The editions this build carries, in the order they take effect.
extern const GermanTables *const german_editions[];
extern const uint32_t german_editions_size;

// The edition that answers on `day` (YYYYMMDD) among `editions` (in the order
// they take effect): the latest that has taken effect by that day, the first
// for a day before all of them.
const GermanTables &german_edition_on(const GermanTables *const *editions, uint32_t n,
                                      uint32_t day);
// The edition of a request: that of `date` (YYYYMMDD), or of today (read
// through `clock`) when date is 0.  A build with one edition answers with it
// and reads no clock.
struct DayClock;
const GermanTables &german_edition_for(uint32_t date, DayClock &clock);
const GermanTables &german_edition_for(uint32_t date);

#endif  // PLUVAR_EDITION_H
