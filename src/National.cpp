// National check digits: the check that many countries put inside the
// account part of their IBANs, besides the IBAN's own ISO 13616 check digits.
//
// Every rule reads the BBAN (the IBAN after its country code and its two
// check digits) and says whether the national check digits in it are right.
// Each rule is written as its published definition states it, the source
// named above it; a rule enters the table only after it has accepted every
// real IBAN of its country that we could find (see the README).  The IBAN
// mode and the SEPA mode both call national_check_passes(); nothing else
// knows a national rule.
#include <array>
#include <cstring>
#include <iterator>

#include "pluvar.h"

namespace {

// ===== Reading the BBAN =====

bool is_capital(unsigned char ch) { return ch >= 'A' && ch <= 'Z'; }

int digit_value(char ch) { return ch - '0'; }

// The decimal value of a digit string of at most 18 digits (callers check).
uint64_t number(std::string_view digits) {
  uint64_t v = 0;
  for (char ch : digits) v = v * 10 + static_cast<uint64_t>(digit_value(ch));
  return v;
}

// Sum of digit × weight, the weights read from the left.
uint32_t weighted_sum(std::string_view digits, std::span<const uint8_t> weights) {
  uint32_t sum = 0;
  for (size_t i = 0; i < digits.size() && i < weights.size(); i++)
    sum += static_cast<uint32_t>(digit_value(digits[i])) * weights[i];
  return sum;
}

// The check digit that makes a weighted sum a multiple of 10.
int complement_mod10(uint32_t sum) { return static_cast<int>((10 - sum % 10) % 10); }

// ISO 7064 MOD 97-10 on a numeric string that ends with its two check
// digits: the whole number leaves the remainder 1 when divided by 97.
bool iso7064_mod97_10(std::string_view digits) { return all_digits(digits) && mod97(digits) == 1; }

// ISO 7064 MOD 11,10 (the hybrid system) on a numeric string whose last
// digit is the check digit: run the product through every digit, the check
// digit included; the result is 1.
bool iso7064_mod11_10(std::string_view digits) {
  if (digits.empty() || !all_digits(digits)) return false;
  int product = 10;
  for (char ch : digits) {
    int sum = (product + digit_value(ch)) % 10;
    if (sum == 0) sum = 10;
    product = (2 * sum) % 11;
  }
  // After the check digit, the running sum (not yet doubled) must be 1,
  // which leaves the product 2.
  return product == 2;
}

// ===== The rules =====

// Belgium: the 12-digit account number is a bank protocol of 3 digits, an
// account of 7 and a check number of 2: the first 10 digits mod 97 (a
// remainder of 0 counts as 97) equal the check number.
// Source: Febelfin / National Bank of Belgium, structure of the Belgian bank
// account number (modulo 97 check).
bool rule_BE(std::string_view bban) {
  if (bban.size() != 12 || !all_digits(bban)) return false;
  uint32_t rest = static_cast<uint32_t>(mod97(bban.substr(0, 10)));
  if (rest == 0) rest = 97;
  return rest == number(bban.substr(10, 2));
}

// Czech Republic and Slovakia: bank code (4), prefix (6), account (10).
// Prefix and account each carry a mod 11 check: their digits times the
// weights 10 5 8 4 2 1 and 6 3 7 9 10 5 8 4 2 1 sum to a multiple of 11.
// Source: Czech National Bank decree on the rules for account numbers
// (structure of the account number); the National Bank of Slovakia adopts
// the same structure and weights.
constexpr uint8_t kCzPrefixWeights[6] = {10, 5, 8, 4, 2, 1};
constexpr uint8_t kCzAccountWeights[10] = {6, 3, 7, 9, 10, 5, 8, 4, 2, 1};

bool rule_CZ_SK(std::string_view bban) {
  if (bban.size() != 20 || !all_digits(bban)) return false;
  std::string_view prefix = bban.substr(4, 6);
  std::string_view account = bban.substr(10, 10);
  return weighted_sum(prefix, kCzPrefixWeights) % 11 == 0 &&
         weighted_sum(account, kCzAccountWeights) % 11 == 0;
}

// Spain: the Código Cuenta Cliente is entidad (4), oficina (4), two control
// digits (DC) and the account (10).  The first DC covers entidad and oficina
// with the weights 4 8 5 10 9 7 3 6, the second the account with the weights
// 1 2 4 8 5 10 9 7 3 6; each is 11 - (sum mod 11), where 11 is written 0 and
// 10 is written 1.
// Source: Código Cuenta Cliente (CCC) of the Spanish banking associations
// (Consejo Superior Bancario; AEB, CECA).
constexpr uint8_t kEsBankWeights[8] = {4, 8, 5, 10, 9, 7, 3, 6};
constexpr uint8_t kEsAccountWeights[10] = {1, 2, 4, 8, 5, 10, 9, 7, 3, 6};

int es_control_digit(uint32_t sum) {
  uint32_t d = 11 - sum % 11;
  if (d == 11) return 0;
  if (d == 10) return 1;
  return static_cast<int>(d);
}

bool rule_ES(std::string_view bban) {
  if (bban.size() != 20 || !all_digits(bban)) return false;
  std::string_view bank_branch = bban.substr(0, 8);
  std::string_view account = bban.substr(10, 10);
  return es_control_digit(weighted_sum(bank_branch, kEsBankWeights)) == digit_value(bban[8]) &&
         es_control_digit(weighted_sum(account, kEsAccountWeights)) == digit_value(bban[9]);
}

// Germany: bank code (8) and account (10).  The German check is the bank's
// IBAN rule and the check-digit method it asks for; it lives with the German
// rules, and this is only the door to it.  The BBAN decides alone: a valid
// IBAN's check digits follow from it.
// Source: Deutsche Bundesbank, IBAN rules and check-digit methods.
bool rule_DE(const GermanTables &de, std::string_view bban) {
  return german_bban_built_by_rules(de, bban);
}

// France and Monaco: the clé RIB.  BBAN: code banque (5 digits), code
// guichet (5 digits), numéro de compte (11 digits or letters), clé (2).
// The letters of the account stand for digits: A and J for 1, B, K and S
// for 2, C, L, T for 3, ... I, R, Z for 9.  The key is
// 97 - ((89 × banque + 15 × guichet + 3 × compte) mod 97).
// Source: CFONB (Comité français d'organisation et de normalisation
// bancaires), Relevé d'identité bancaire, calcul de la clé RIB; Monaco's
// banks belong to the French clearing and use the same RIB.
int rib_digit(unsigned char ch) {
  if (is_digit(ch)) return ch - '0';
  if (ch >= 'A' && ch <= 'I') return ch - 'A' + 1;
  if (ch >= 'J' && ch <= 'R') return ch - 'J' + 1;
  if (ch >= 'S' && ch <= 'Z') return ch - 'S' + 2;
  return -1;
}

bool rule_FR_rib(std::string_view bban) {
  if (bban.size() != 23) return false;
  std::string_view bank = bban.substr(0, 5);
  std::string_view branch = bban.substr(5, 5);
  std::string_view account = bban.substr(10, 11);
  std::string_view key = bban.substr(21, 2);
  if (!all_digits(bank) || !all_digits(branch) || !all_digits(key)) return false;
  uint64_t account_value = 0;  // 11 digits
  for (char ch : account) {
    int d = rib_digit(static_cast<unsigned char>(ch));
    if (d < 0) return false;
    account_value = account_value * 10 + static_cast<uint64_t>(d);
  }
  uint64_t sum = 89 * number(bank) + 15 * number(branch) + 3 * account_value;
  return 97 - sum % 97 == number(key);
}

// Italy and San Marino: the CIN (carattere di controllo), a letter in front
// of ABI (5 digits), CAB (5 digits) and conto (12 digits or letters).  Over
// the 22 characters of ABI, CAB and conto, the characters in odd places
// (1st, 3rd, ...) count by the table below, those in even places as their
// value (a digit its value, A to Z 0 to 25); the CIN is the letter of the
// sum mod 26 (A for 0).  In the odd table a digit d counts as the d-th letter.
// Source: ABI (Associazione Bancaria Italiana), coordinate bancarie: calcolo
// del CIN; San Marino's BBAN keeps the Italian structure (Banca Centrale
// della Repubblica di San Marino).
constexpr uint8_t kCinOdd[26] = {1,  0,  5,  7,  9,  13, 15, 17, 19, 21, 2,  4,  18,
                                 20, 11, 3,  6,  8,  12, 14, 16, 10, 22, 25, 24, 23};

int cin_value(unsigned char ch) {
  if (is_digit(ch)) return ch - '0';
  if (is_capital(ch)) return ch - 'A';
  return -1;
}

bool rule_IT_cin(std::string_view bban) {
  if (bban.size() != 23 || !is_capital(static_cast<unsigned char>(bban[0]))) return false;
  std::string_view abi_cab = bban.substr(1, 10);
  if (!all_digits(abi_cab)) return false;
  std::string_view checked = bban.substr(1, 22);
  uint32_t sum = 0;
  for (size_t i = 0; i < checked.size(); i++) {
    int v = cin_value(static_cast<unsigned char>(checked[i]));
    if (v < 0) return false;
    bool odd_place = i % 2 == 0;  // places count from 1
    sum += odd_place ? kCinOdd[v] : static_cast<uint32_t>(v);
  }
  return bban[0] == static_cast<char>('A' + sum % 26);
}

// Norway: 11 digits, bank (4), account group (2), account (4), control
// digit (1).  MOD 11: the first 10 digits times 5 4 3 2 7 6 5 4 3 2; the
// control digit is 11 - (sum mod 11), 0 when that is 11; a remainder that
// would ask for 10 is never issued as an account number.
// Source: Bits AS (formerly BSK), the Norwegian banks' standard for account
// numbers, MOD11 control digit.
constexpr uint8_t kNoWeights[10] = {5, 4, 3, 2, 7, 6, 5, 4, 3, 2};

bool rule_NO(std::string_view bban) {
  if (bban.size() != 11 || !all_digits(bban)) return false;
  uint32_t d = 11 - weighted_sum(bban.substr(0, 10), kNoWeights) % 11;
  if (d == 11) d = 0;
  return d != 10 && static_cast<int>(d) == digit_value(bban[10]);
}

// Finland: the 14-digit account number in machine form; its last digit is
// the check digit.  The first 13 digits are weighted 2 1 2 1 ... from the
// left; the digits of the products are added, and the check digit makes the
// sum a multiple of 10 (the Luhn scheme).
// Source: Finance Finland (Finanssiala), structure of Finnish account
// numbers, check digit modulus 10 with the weights 2 1.
bool rule_FI(std::string_view bban) {
  if (bban.size() != 14 || !all_digits(bban)) return false;
  uint32_t sum = 0;
  for (size_t i = 0; i < 13; i++) {
    int product = digit_value(bban[i]) * (i % 2 == 0 ? 2 : 1);
    sum += static_cast<uint32_t>(product / 10 + product % 10);
  }
  return complement_mod10(sum) == digit_value(bban[13]);
}

// Estonia: bank code (2), then the domestic account number of 14 digits
// (left-filled with zeros) whose last digit is its check digit by the 7-3-1
// method: the digits before it, from the right, times 7, 3, 1, 7, 3, 1, ...;
// the check digit makes the sum a multiple of 10.  The bank code is not
// part of the domestic account number.
// Source: Estonian Banking Association (Eesti Pangaliit), the account number
// standard, check digit by the 7-3-1 method.
bool rule_EE(std::string_view bban) {
  if (bban.size() != 16 || !all_digits(bban)) return false;
  std::string_view account = bban.substr(2, 14);
  static constexpr uint8_t kWeights[3] = {7, 3, 1};
  uint32_t sum = 0;
  for (size_t k = 0; k < 13; k++)  // k = place counted from the right of the 13 digits
    sum += static_cast<uint32_t>(digit_value(account[12 - k])) * kWeights[k % 3];
  return complement_mod10(sum) == digit_value(account[13]);
}

// Portugal, Slovenia, Montenegro, North Macedonia, Serbia, Bosnia and
// Herzegovina: the national account number (the whole BBAN) ends with two
// control digits by ISO 7064 MOD 97-10 over all its digits.
// Sources: Banco de Portugal, NIB (Número de Identificação Bancária);
// Bank of Slovenia, the transaction account number; Central Bank of
// Montenegro; National Bank of the Republic of North Macedonia; National
// Bank of Serbia, the uniform account number structure; Central Bank of
// Bosnia and Herzegovina.  North Macedonia's IBAN format allows letters in
// the account; the published rule knows only numeric account numbers, so an
// account with letters is not judged.
bool rule_mod97_10(std::string_view bban) { return iso7064_mod97_10(bban); }

bool rule_MK(std::string_view bban) {
  if (bban.size() != 15) return false;
  bool numeric_account = all_digits(bban.substr(3, 10));
  if (!numeric_account) return true;  // not judged, see above
  return iso7064_mod97_10(bban);
}

// Tunisia: the RIB is bank (2), branch (3), account (13) and key (2); the
// key is 97 - ((first 18 digits × 100) mod 97), which makes the whole
// 20-digit RIB a multiple of 97 (unlike ISO 7064 MOD 97-10, whose check
// leaves the remainder 1).
// Source: Banque Centrale de Tunisie, the Relevé d'Identité Bancaire and
// its key.
bool rule_TN(std::string_view bban) {
  return bban.size() == 20 && all_digits(bban) && mod97(bban) == 0;
}

// Albania: the 8-digit bank code is bank (3), branch (4) and a check digit
// that makes the sum of the seven digits times 9 7 3 1 9 7 3 a multiple of
// 10; the 16-character account that follows has no published check.
// Source: Bank of Albania, the structure of the Albanian IBAN (bank and
// branch code with check digit).
constexpr uint8_t kAlWeights[7] = {9, 7, 3, 1, 9, 7, 3};

bool rule_AL(std::string_view bban) {
  if (bban.size() != 24 || !all_digits(bban.substr(0, 8))) return false;
  return complement_mod10(weighted_sum(bban.substr(0, 7), kAlWeights)) == digit_value(bban[7]);
}

// Croatia: bank identifier (VBDI, 7 digits) and account (10 digits); each
// ends with a check digit by ISO 7064 MOD 11,10.
// Source: Croatian National Bank, the structure of the bank identifier and
// the account number (ISO 7064 MOD 11,10).
bool rule_HR(std::string_view bban) {
  return bban.size() == 17 && iso7064_mod11_10(bban.substr(0, 7)) &&
         iso7064_mod11_10(bban.substr(7, 10));
}

// Poland: the settlement number (numer rozliczeniowy) of 8 digits, bank (3),
// branch (4) and check digit, then the account (16).  The check digit
// makes the sum of the seven digits times 3 9 7 1 3 9 7 a multiple of 10.
// Source: Narodowy Bank Polski, the order on the numbering of bank accounts
// (NRB) and the settlement number's check digit.
constexpr uint8_t kPlWeights[7] = {3, 9, 7, 1, 3, 9, 7};

bool rule_PL(std::string_view bban) {
  if (bban.size() != 24 || !all_digits(bban)) return false;
  return complement_mod10(weighted_sum(bban.substr(0, 7), kPlWeights)) == digit_value(bban[7]);
}

// ===== The table =====

struct NationalRuleEntry {
  char country[3];
  bool (*check)(std::string_view bban);  // null for Germany: rule_DE
  NationalScope scope;
};

// Sorted by country code.  Left out, because no rule could be confirmed on
// enough real IBANs: Italy (the rule of San Marino, 3 real IBANs), Hungary,
// Timor-Leste, Mauritania, Iceland; the Netherlands, whose old eleven test
// no longer holds for every account.
constexpr NationalRuleEntry kRules[] = {
    {"AL", rule_AL, NationalScope::Strict},
    {"BA", rule_mod97_10, NationalScope::Strict},
    {"BE", rule_BE, NationalScope::Always},
    {"CZ", rule_CZ_SK, NationalScope::Always},
    {"DE", nullptr, NationalScope::Always},  // rule_DE, which reads the request's edition
    {"EE", rule_EE, NationalScope::Strict},
    {"ES", rule_ES, NationalScope::Always},
    {"FI", rule_FI, NationalScope::Strict},
    {"FR", rule_FR_rib, NationalScope::Strict},
    {"HR", rule_HR, NationalScope::Strict},
    {"MC", rule_FR_rib, NationalScope::Strict},
    {"ME", rule_mod97_10, NationalScope::Strict},
    {"MK", rule_MK, NationalScope::Strict},
    {"NO", rule_NO, NationalScope::Strict},
    {"PL", rule_PL, NationalScope::Strict},
    {"PT", rule_mod97_10, NationalScope::Strict},
    {"RS", rule_mod97_10, NationalScope::Strict},
    {"SI", rule_mod97_10, NationalScope::Strict},
    {"SK", rule_CZ_SK, NationalScope::Always},
    {"SM", rule_IT_cin, NationalScope::Strict},
    {"TN", rule_TN, NationalScope::Strict},
};

// Every SEPA request asks for its country's rule, and most countries have
// none: one read of a letter-pair index answers, 1 + the rule's place in
// kRules or 0.
constexpr int kLetters = 26;
constexpr auto kRuleByLetters = [] {
  std::array<uint8_t, kLetters * kLetters> index{};
  for (size_t i = 0; i < std::size(kRules); i++)
    index[(kRules[i].country[0] - 'A') * kLetters + (kRules[i].country[1] - 'A')] =
        static_cast<uint8_t>(i + 1);
  return index;
}();

const NationalRuleEntry *find_rule(std::string_view country) {
  if (country.size() < 2 || !is_capital(country[0]) || !is_capital(country[1])) return nullptr;
  const uint8_t at = kRuleByLetters[(country[0] - 'A') * kLetters + (country[1] - 'A')];
  return at ? &kRules[at - 1] : nullptr;
}

}  // namespace

bool national_rule_exists(std::string_view country, NationalScope *scope) {
  const NationalRuleEntry *r = find_rule(country);
  if (r && scope) *scope = r->scope;
  return r != nullptr;
}

bool national_check_passes(const GermanTables &de, std::string_view country,
                           std::string_view bban, bool strict) {
  const NationalRuleEntry *r = find_rule(country);
  if (r == nullptr) return true;
  if (r->scope == NationalScope::Strict && !strict) return true;
  return r->check ? r->check(bban) : rule_DE(de, bban);
}
