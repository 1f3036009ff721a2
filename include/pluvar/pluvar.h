/*
 * Pluvar: German and European bank account checks, in-process.
 *
 * The C interface of libpluvar (libpluvar.so.1, libpluvar.a), usable from C
 * and C++.  Link with `pkg-config --libs pluvar` or, in CMake,
 * find_package(Pluvar) and the target Pluvar::pluvar.
 *
 * Every function is reentrant and thread-safe: the library has no mutable
 * state of its own, all reference data is constant and compiled in, and
 * nothing is allocated.  A call uses about 40 KB of the caller's stack.
 *
 * Texts (queries, answers, bank names) are bytes: bank names and places are
 * Windows-1252 as stored, unless an answer is asked for in UTF-8 or JSON.
 *
 * Return values: the answer's code, 0 to 9 (the command line's exit status),
 * or one of the negative PLUVAR_E* values below, which no answer uses.
 */
#ifndef PLUVAR_PUBLIC_PLUVAR_H
#define PLUVAR_PUBLIC_PLUVAR_H

#include <stddef.h>

#if defined(__GNUC__)
#define PLUVAR_API __attribute__((visibility("default")))
#else
#define PLUVAR_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Version of this interface; libpluvar.so.1 carries it in its SONAME. */
#define PLUVAR_ABI_VERSION 1

/* ---- Errors (negative return values) ---------------------------------- */

/* A null pointer where a value is needed, or a mode or flag that does not
 * exist.  Nothing was answered. */
#define PLUVAR_EARGUMENT (-1)
/* The answer did not fit into the caller's buffer.  The buffer holds its
 * first size - 1 bytes and a NUL; *length tells the size needed. */
#define PLUVAR_ESPACE (-2)
/* The caller's write callback reported a failure; the answer is incomplete. */
#define PLUVAR_EWRITE (-3)

/* ---- Requests as on the command line ----------------------------------- */

/* The mode word of a command line.  PLUVAR_MODE_ACCOUNT is the default mode
 * (no word); PLUVAR_MODE_VERSION is the banner of `pluvar -v` and
 * PLUVAR_MODE_DESCRIBE the description of `pluvar --version` (no query). */
typedef enum pluvar_mode {
  PLUVAR_MODE_ACCOUNT = 0,
  PLUVAR_MODE_IBAN = 1,
  PLUVAR_MODE_SEPA = 2,
  PLUVAR_MODE_SEARCH = 3,
  PLUVAR_MODE_VERSION = 4,
  PLUVAR_MODE_DESCRIBE = 5
} pluvar_mode;

/* Flags of a request: -allinfo and the option words of the command line
 * (see pluvar(1)).  An option that this build's command line does not know
 * is answered as the command line answers it: code 5. */
#define PLUVAR_ALLINFO 0x01u /* -allinfo: the extended answer */
#define PLUVAR_UTF8 0x02u    /* --utf8 */
#define PLUVAR_JSON 0x04u    /* --json */
#define PLUVAR_LENIENT 0x08u /* --lenient */
#define PLUVAR_STRICT 0x10u  /* --strict */

/* One request: what `pluvar [OPTIONS] [MODE] [-allinfo] QUERY` says. */
typedef struct pluvar_req {
  int mode;           /* a pluvar_mode */
  unsigned flags;     /* PLUVAR_ALLINFO | PLUVAR_UTF8 | ...; 0 for none */
  const char *query;  /* NUL-terminated; as on the command line only its first
                         299 bytes are read.  Not read (may be null) for
                         PLUVAR_MODE_VERSION and PLUVAR_MODE_DESCRIBE. */
  const char *date;   /* "YYYY-MM-DD" for --date, or null */
} pluvar_req;

/* Buffer size that holds every answer of the account check, IBAN, SEPA and
 * banner modes with its NUL.  Search answers list up to 9999 hit lines and
 * the description of PLUVAR_MODE_DESCRIBE is several lines long: use
 * pluvar_answer_to for them, or grow the buffer to *length + 1. */
#define PLUVAR_ANSWER_SIZE 2048

/* Answers a request exactly as the command line does: the same bytes that
 * `pluvar` writes to standard output (no line end is added), and the code
 * that is its exit status.
 *   buf, size: the caller's buffer; the answer and a NUL are written into it
 *              (with size 0 nothing is written and buf may be null).
 *   length:    if not null, receives the answer's length in bytes without the
 *              NUL, also when it did not fit.
 * Returns the code 0..9, PLUVAR_ESPACE when the answer did not fit (the
 * buffer holds its beginning), or PLUVAR_EARGUMENT. */
PLUVAR_API int pluvar_answer(const pluvar_req *request, char *buf, size_t size,
                             size_t *length);

/* A write callback: receives the answer in pieces, in order (search answers
 * of any length stream through it).  Returns 0 when the bytes are taken,
 * anything else to stop the answer. */
typedef int (*pluvar_write_fn)(void *context, const char *data, size_t length);

/* Like pluvar_answer, but hands the answer to `write` (called with `context`,
 * zero or more times, from the calling thread, before the call returns).
 * Returns the code 0..9, PLUVAR_EWRITE when `write` stopped the answer, or
 * PLUVAR_EARGUMENT. */
PLUVAR_API int pluvar_answer_to(const pluvar_req *request, pluvar_write_fn write,
                                void *context);

/* The command line itself: argv[0] .. argv[argc - 1] are the arguments after
 * the program name (`pluvar sepa IBN=...` is argc 2, {"sepa", "IBN=..."}),
 * judged exactly as the program judges them, options included.  Buffer,
 * length and return value as pluvar_answer. */
PLUVAR_API int pluvar_command(int argc, const char *const *argv, char *buf, size_t size,
                              size_t *length);
PLUVAR_API int pluvar_command_to(int argc, const char *const *argv, pluvar_write_fn write,
                                 void *context);

/* ---- Typed calls -------------------------------------------------------- */

/* A text field of a typed result: every value of an answer fits, as the
 * answer line is at most 299 bytes. */
#define PLUVAR_TEXT_SIZE 300

/* A bank as an answer names it: texts as stored (Windows-1252), each "" where
 * the answer has no such field. */
typedef struct pluvar_bank {
  char name[PLUVAR_TEXT_SIZE];
  char zip[PLUVAR_TEXT_SIZE];
  char location[PLUVAR_TEXT_SIZE];
  char bic[12]; /* 11 characters, or "" */
} pluvar_bank;

/* The typed calls run their mode on the query made of their values, so the
 * code and the fields are exactly those of that command line (for values
 * without '&' and '=' whose query fits the command line's 299 characters).
 * `reason` is a short token that tells the cases of a code apart, the same
 * as the --json answer's (see pluvar(1)); static text, never to be freed. */

/* Account check of a German account at its bank. */
typedef struct pluvar_account {
  int code;           /* as returned */
  const char *reason;
  char iban[23];      /* PLUVAR_ALLINFO: the bank's IBAN for the account when
                         its IBAN rule confirms one, else "" */
  pluvar_bank bank;   /* name, zip, location for codes 0, 1, 8, 9; the BIC
                         with PLUVAR_ALLINFO for codes 0, 1, 9 */
} pluvar_account;

/* Checks account number `knr` (1 to 10 digits) against bank code `blz`
 * (8 digits) by the bank's check-digit method: the answer of
 * `pluvar [-allinfo] 'knr=KNR&blz=BLZ'`.  Codes: 0 invalid (or ten zeros),
 * 1 valid, 2 bank code not 8 digits, 3 account not 1 to 10 digits, 6 the
 * query's shape (e.g. both values empty), 7 bank code unknown, 8 the bank
 * names no method, 9 the method accepts without a check digit.
 *   flags: 0 or PLUVAR_ALLINFO (also the IBAN and the BIC; slower).
 *   out:   filled for every code.
 * Returns the code, or PLUVAR_EARGUMENT (null pointer, other flags). */
PLUVAR_API int pluvar_check_account(const char *blz, const char *knr, unsigned flags,
                                    pluvar_account *out);

/* A bank code and an account number, as texts, for the bulk check. */
typedef struct pluvar_account_text {
  const char *blz;
  const char *knr;
} pluvar_account_text;

/* Checks `n` German accounts in one call, codes only: codes[i] is what
 * pluvar_check_account(accounts[i].blz, accounts[i].knr, 0, ...) returns
 * (PLUVAR_EARGUMENT for a null text).  Much faster per account than single
 * calls for files of accounts: the bank lookups of a stretch of accounts run
 * side by side and the checks run grouped by method.
 * Returns 0, or PLUVAR_EARGUMENT when n > 0 and a pointer is null. */
PLUVAR_API int pluvar_check_accounts(const pluvar_account_text *accounts, size_t n, int *codes);

/* A German IBAN built through the bank's IBAN rule. */
typedef struct pluvar_iban_de {
  int code;         /* as returned */
  const char *reason;
  char iban[35];    /* the IBAN for codes 1 and 9, else "" */
  pluvar_bank bank; /* PLUVAR_ALLINFO, codes 1 and 9: the bank of the bank
                       code the rule left (zip as "DE-" and 5 digits) */
} pluvar_iban_de;

/* Builds the IBAN of account `knr` at bank `blz`: the answer of
 * `pluvar iban [-allinfo] 'ccd=de&blz=BLZ&knr=KNR'`.  Codes: 1 built, 9 built
 * without a deciding check, 0 the rule refuses or the account check failed,
 * 2 bank code, 3 account number, 6 query (e.g. an empty value), 7 bank code
 * unknown, 8 no method.
 *   flags: 0 or PLUVAR_ALLINFO.
 * Returns the code, or PLUVAR_EARGUMENT. */
PLUVAR_API int pluvar_build_iban_de(const char *blz, const char *knr, unsigned flags,
                                    pluvar_iban_de *out);

/* An IBAN validated as the SEPA mode does. */
typedef struct pluvar_iban_check {
  int code;           /* as returned */
  const char *reason;
  char country[51];   /* country name for codes 0, 1, 9 ("" when unknown) */
  int bank_found;     /* 1 when the answer names a bank (fields below) */
  pluvar_bank bank;   /* name, zip, location, and with PLUVAR_ALLINFO the BIC */
  char sct, sdd, b2b, scc; /* PLUVAR_ALLINFO and a bank: SEPA reachability,
                              '1' yes, '0' no, '9' unknown; else 0 */
} pluvar_iban_check;

/* Validates `iban` (compact form, at most 34 characters) and, when `bic` is
 * not null and not "", that it is the bank's BIC (8 or 11 characters): the
 * answer of `pluvar sepa [-allinfo] 'IBN=IBAN&BIC=BIC'`.  Codes: 1 valid,
 * 9 valid but the BIC is not the bank's or cannot be confirmed, 0 check
 * digits or national check wrong or country unknown, 2 BIC malformed, 3 IBAN
 * malformed, 4 IBAN not in its country's format, 6 query, 7 bank code not in
 * the national directory.
 *   flags: 0, PLUVAR_ALLINFO.
 * Returns the code, or PLUVAR_EARGUMENT. */
PLUVAR_API int pluvar_validate_iban(const char *iban, const char *bic, unsigned flags,
                                    pluvar_iban_check *out);

/* ---- Version and data edition ------------------------------------------ */

/* The program and library version, e.g. "3.25.1" (static text). */
PLUVAR_API const char *pluvar_version(void);

/* The German bank directory edition that answers requests today (data/'s,
 * unless the build carries the next edition too and it has taken effect): the
 * first and the last day of its validity as numbers YYYYMMDD (20250303, 20250608).
 * Either pointer may be null.  Returns 0.  PLUVAR_MODE_DESCRIBE tells every
 * table's edition and source. */
PLUVAR_API int pluvar_data_edition(unsigned long *valid_from, unsigned long *valid_to);

#ifdef __cplusplus
}
#endif

#endif /* PLUVAR_PUBLIC_PLUVAR_H */
