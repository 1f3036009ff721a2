// Pluvar: the record types and the compiled-in tables (data/).
//
// Kept apart from pluvar.h so that the generated table units depend on
// nothing but their own record layout: a change to a function declaration
// does not recompile fourteen megabytes of tables.
#ifndef PLUVAR_TABLES_H
#define PLUVAR_TABLES_H

#include <cstddef>
#include <cstdint>

// A table's sorted search keys and their hashed rows (tools/tablegen.py): a
// key's row + 1 stands in one of two slots, the top `bits` bits of
// key * first and of key * second modulo 2^64; 0 is an empty slot.  The
// generator fills `rows` so that at most half the slots are taken.
template <typename Key>
struct KeyColumn {
  const Key *keys;        // ascending, row for row with the table
  uint32_t size;          // rows of the table
  const uint32_t *rows;   // 2^bits slots
  uint32_t bits;
  uint64_t first;         // the two odd multipliers
  uint64_t second;
};
using KeyColumn32 = KeyColumn<uint32_t>;
using KeyColumn64 = KeyColumn<uint64_t>;

// ---------------------------------------------------------------------------
// Record types of the compiled-in tables.  Texts are Windows-1252 bytes;
// an absent value is the empty text, never null.
// ---------------------------------------------------------------------------

// One row of the German bank-code directory `l` (113 bytes, all inline so the
// table needs no relocations).
struct BLZ_Row {
  char blz[9];           // 8 digits + NUL
  char name[61];         // at most 60 characters, zero-padded
  char zip[6];           // 5 digits + NUL
  char place[36];        // at most 35 characters, zero-padded
  unsigned char method;  // check-digit method byte, 0..144
};

// Tables of banks keep their free texts (name, postcode, place) in one text
// pool per table, `<table>_text`: a record holds the offset of each text
// there (a TextRef), never a pointer, so no table needs a relocation when
// the program or a library is loaded at any address.  Codes of a fixed
// form (bank codes, BICs) are held inline.  text_at(pool, ref) gives the
// text; the empty text is offset 0.
using TextRef = uint32_t;
inline const char *text_at(const char *pool, TextRef ref) { return pool + ref; }

constexpr size_t BANK_CODE_TEXT_SIZE = 9;  // a national bank code: at most 8 digits + NUL
constexpr size_t BIC_TEXT_SIZE = 12;       // 11 characters + NUL, or empty
constexpr size_t ALPHA_KEY_SIZE = 5;       // four letters + NUL

// A national bank directory record (head_DE and the six foreign directories);
// texts in `head_XX_text`.
struct Head_t_SEPA {
  uint64_t key;                          // numeric value of the bank code
  char code[BANK_CODE_TEXT_SIZE];        // bank code text with leading zeros
  TextRef name;
  TextRef zip;                           // "DE-10591", "AT-1090", may be empty
  TextRef location;
  char bic[BIC_TEXT_SIZE];               // 11 characters or empty
  char successor[BANK_CODE_TEXT_SIZE];   // German successor bank code or empty
  uint32_t iban_rule;                    // German IBAN rule number, 0 abroad
};

// Branch table record: national code -> head record key (+ branch BIC).
struct Bank_t_SEPA {
  uint64_t key;
  uint64_t head_key;
  char bic[BIC_TEXT_SIZE];  // empty when the head record's BIC applies
};

// Bank-code-to-BIC record, numeric key.
struct Bank_t_BLZ_BIC {
  uint64_t key;
  char bic[BIC_TEXT_SIZE];
};

// Bank-code-to-BIC record, four-letter key.
struct Bank_t_BLZalpha_BIC {
  char key[ALPHA_KEY_SIZE];
  char bic[BIC_TEXT_SIZE];
};

// European BIC directory record; texts in `list_EU_text`.
struct Bank_t_EU {
  char bic[BIC_TEXT_SIZE];  // 11 characters
  TextRef name;
  TextRef zip;
  TextRef location;
};

// SEPA reachability record: a BIC of 8 (all branches) or 11 characters and
// eight flag bytes.
struct Bank_t_SCL {
  char bic[BIC_TEXT_SIZE];
  unsigned char sct;
  unsigned char sdd;
  unsigned char reserved1;
  unsigned char b2b;
  unsigned char scc;
  unsigned char reserved2[3];
};

// Country table record (95 bytes, all inline).
struct Country_t {
  char code[3];    // two capital letters + NUL
  char name[51];   // English short name in capitals
  char format[41]; // IBAN format in SWIFT notation, empty without IBAN
};

// ---------------------------------------------------------------------------
// Compiled-in tables (data/).  Each size is the table's own record count, so
// a new edition of the data needs no code change.
// ---------------------------------------------------------------------------
extern const BLZ_Row l[];
extern const uint32_t l_size;
extern const int32_t Sprung[10];

// Search columns of `l`, row for row: bank code and postcode as numbers and
// the ids of the row's name and place among the distinct texts.  A search
// reads only the columns it needs and tests each distinct text once.
extern const uint32_t l_blz_number[];  // l_size entries each
extern const uint32_t l_zip_number[];
extern const uint16_t l_name_id[];     // index into l_names
extern const uint16_t l_place_id[];    // index into l_places
// The distinct names and places of `l` in byte order, each ended by a NUL,
// in one block; *_offset[i] is where text i starts.
extern const char l_name_pool[];
extern const uint32_t l_name_pool_size;  // bytes, terminators included
extern const uint32_t l_name_offset[];
extern const uint32_t l_names_size;
extern const char l_place_pool[];
extern const uint32_t l_place_pool_size;
extern const uint32_t l_place_offset[];
extern const uint32_t l_places_size;
extern const Head_t_SEPA head_DE[];
extern const uint32_t head_DE_size;
extern const char head_DE_text[];
extern const uint32_t head_DE_text_size;
// Bank codes whose own row the directory marks for deletion, ascending, and
// the successor each names (0 for none); deleted_count entries each.
extern const uint32_t deleted_blz[];
extern const uint32_t deleted_successor[];
extern const uint32_t deleted_count;

// Search keys.  Beside every table searched by key lies a column of its keys
// as numbers, ascending like the table (`<table>_key`, one per record): a
// lookup halves over these few kilobytes and reads the record only once it
// has found the row.  Bank codes stand as their numbers, four-letter keys as
// their bytes (first byte most significant), BICs as bic_key() makes them,
// country codes as their two bytes.
extern const uint32_t head_DE_key[];
// Row for row with head_DE_key: the row of the bank's own record in `l` and
// its check-digit method, so an account check reads no wide row.
extern const uint16_t head_DE_row[];
extern const uint8_t head_DE_method[];
// Row for row the bank's IBAN rule (head_DE[i].iban_rule), so the search for
// banks whose rule moves accounts reads 3,500 bytes, not 3,500 records.
extern const uint8_t head_DE_rule[];
// Hashed slots of head_DE_key (2^head_DE_hash_bits of them).  A bank code
// has two slots, (code * multiplier mod 2^32) >> (32 - bits) under
// head_DE_hash_multiplier and under head_DE_hash_second_multiplier; one of
// them holds the code in bits 0-31, its index in head_DE in bits 32-47 and
// its check-digit method in bits 48-55; 0 is an empty slot.  A lookup reads
// both slots side by side instead of halving twelve times.
extern const uint32_t head_DE_hash_multiplier;
extern const uint32_t head_DE_hash_second_multiplier;
extern const uint32_t head_DE_hash_bits;
extern const uint64_t head_DE_slot[];

extern const Head_t_SEPA head_AT[];
extern const uint32_t head_AT_size;
extern const char head_AT_text[];
extern const uint32_t head_AT_text_size;
extern const uint32_t head_AT_key[];
extern const uint32_t head_AT_rows[];
extern const KeyColumn32 head_AT_column;
extern const Head_t_SEPA head_BE[];
extern const uint32_t head_BE_size;
extern const char head_BE_text[];
extern const uint32_t head_BE_text_size;
extern const uint32_t head_BE_key[];
extern const uint32_t head_BE_rows[];
extern const KeyColumn32 head_BE_column;
extern const Head_t_SEPA head_CH[];
extern const uint32_t head_CH_size;
extern const char head_CH_text[];
extern const uint32_t head_CH_text_size;
extern const uint32_t head_CH_key[];
extern const uint32_t head_CH_rows[];
extern const KeyColumn32 head_CH_column;
extern const Head_t_SEPA head_CZ[];
extern const uint32_t head_CZ_size;
extern const char head_CZ_text[];
extern const uint32_t head_CZ_text_size;
extern const uint32_t head_CZ_key[];
extern const uint32_t head_CZ_rows[];
extern const KeyColumn32 head_CZ_column;
extern const Head_t_SEPA head_ES[];
extern const uint32_t head_ES_size;
extern const char head_ES_text[];
extern const uint32_t head_ES_text_size;
extern const uint32_t head_ES_key[];
extern const uint32_t head_ES_rows[];
extern const KeyColumn32 head_ES_column;
extern const Head_t_SEPA head_SK[];
extern const uint32_t head_SK_size;
extern const char head_SK_text[];
extern const uint32_t head_SK_text_size;
extern const uint32_t head_SK_key[];
extern const uint32_t head_SK_rows[];
extern const KeyColumn32 head_SK_column;
extern const Bank_t_SEPA bank_BE[];
extern const uint32_t bank_BE_size;
extern const uint32_t bank_BE_key[];
extern const uint32_t bank_BE_rows[];
extern const KeyColumn32 bank_BE_column;
extern const Bank_t_SEPA bank_CH[];
extern const uint32_t bank_CH_size;
extern const uint32_t bank_CH_key[];
extern const uint32_t bank_CH_rows[];
extern const KeyColumn32 bank_CH_column;

// Bank-code-to-BIC tables of 29 countries (data/BLZ_BIC_Liste.cpp): the
// list names each country once, ALPHA(CC) for a table keyed by four letters,
// NUMERIC(CC) for one keyed by a number; whoever walks the tables passes the
// two macros.
#define PLUVAR_BIC_TABLES(ALPHA, NUMERIC)                                          \
  ALPHA(GB) ALPHA(IE) ALPHA(LV) ALPHA(MT) ALPHA(RO) ALPHA(BG) ALPHA(NL)             \
  NUMERIC(SE) NUMERIC(SI) NUMERIC(VA) NUMERIC(GR) NUMERIC(PT) NUMERIC(PL) NUMERIC(NO) \
  NUMERIC(IS) NUMERIC(IT) NUMERIC(FR) NUMERIC(FI) NUMERIC(EE) NUMERIC(DK) NUMERIC(CY) \
  NUMERIC(HR) NUMERIC(HU) NUMERIC(SM) NUMERIC(MC) NUMERIC(LU) NUMERIC(LI) NUMERIC(AD) \
  NUMERIC(LT)

#define PLUVAR_NUMERIC_BIC_TABLE(CC)            \
  extern const Bank_t_BLZ_BIC list_BLZ_BIC_##CC[]; \
  extern const uint32_t list_BLZ_BIC_##CC##_size;  \
  extern const uint32_t list_BLZ_BIC_##CC##_key[]; \
  extern const uint32_t list_BLZ_BIC_##CC##_rows[]; \
  extern const KeyColumn32 list_BLZ_BIC_##CC##_column;
#define PLUVAR_ALPHA_BIC_TABLE(CC)                   \
  extern const Bank_t_BLZalpha_BIC list_BLZ_BIC_##CC[]; \
  extern const uint32_t list_BLZ_BIC_##CC##_size;       \
  extern const uint32_t list_BLZ_BIC_##CC##_key[]; \
  extern const uint32_t list_BLZ_BIC_##CC##_rows[]; \
  extern const KeyColumn32 list_BLZ_BIC_##CC##_column;
PLUVAR_BIC_TABLES(PLUVAR_ALPHA_BIC_TABLE, PLUVAR_NUMERIC_BIC_TABLE)
#undef PLUVAR_NUMERIC_BIC_TABLE
#undef PLUVAR_ALPHA_BIC_TABLE

extern const Bank_t_EU list_EU[];
extern const uint32_t list_EU_size;
extern const char list_EU_text[];
extern const uint32_t list_EU_text_size;
extern const uint64_t list_EU_key[];
extern const uint32_t list_EU_rows[];
extern const KeyColumn64 list_EU_column;
extern const Bank_t_SCL list_SCL[];
extern const uint32_t list_SCL_size;
extern const uint64_t list_SCL_key[];
extern const uint32_t list_SCL_rows[];
extern const KeyColumn64 list_SCL_column;
extern const Country_t c[];
extern const uint32_t c_size;
// COUNTRY_LETTER_PAIRS entries: see data/SEPA_Liste.cpp.
constexpr size_t COUNTRY_LETTER_PAIRS = 26 * 26;
extern const uint16_t c_by_letters[COUNTRY_LETTER_PAIRS];

#endif  // PLUVAR_TABLES_H
