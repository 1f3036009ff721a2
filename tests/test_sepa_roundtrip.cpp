// Round trip between the IBAN mode and the SEPA mode: whatever IBAN the IBAN
// mode builds for AT, CH, BE, CZ, ES and SK, the SEPA mode accepts, and with
// the BIC the IBAN mode reports it confirms the bank.  For Germany the IBANs
// built through the IBAN rules are run through the SEPA mode as well; the
// few it refuses are listed with the reason.
#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "cli.h"

namespace {

// The value of `key` ("&ibn=") in a response line, or "".
std::string field(const std::string &line, const char *key) {
  size_t at = line.find(key);
  if (at == std::string::npos) return "";
  at += strlen(key);
  return line.substr(at, line.find('&', at) - at);
}

struct Built {
  char code;
  std::string iban;
  std::string bic;
};

Built build_iban(const std::string &ccd, const std::string &blz, const std::string &knr) {
  char code;
  std::string line = call_handler(IbanGen_Main, "ccd=" + ccd + "&blz=" + blz + "&knr=" + knr, 1,
                                  &code);
  return {code, field(line, "&ibn="), field(line, "&bic=")};
}

char sepa_code(const std::string &query, std::string *line = nullptr) {
  char code;
  std::string out = call_handler(Sepa_Main, query, 1, &code);
  if (line) *line = out;
  return code;
}

std::string digits(std::mt19937_64 &rng, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; i++) s += static_cast<char>('0' + rng() % 10);
  return s;
}

std::string padded(uint64_t v, size_t width) {
  std::string s = std::to_string(v);
  return std::string(width > s.size() ? width - s.size() : 0, '0') + s;
}

// A bank code of the country's directory, as the IBAN mode takes it.
struct Country {
  const char *ccd;
  size_t blz_width;
  size_t knr_min, knr_max;  // account lengths the IBAN mode accepts
  bool letters;             // accounts may hold letters
  std::vector<uint64_t> (*bank_codes)();
};

template <typename Record>
std::vector<uint64_t> keys_of(const Record *t, uint32_t n, uint64_t scale = 1) {
  std::vector<uint64_t> v;
  for (uint32_t i = 0; i < n; i++) v.push_back(t[i].key * scale);
  return v;
}

const Country kCountries[] = {
    {"at", 5, 5, 11, false, [] { return keys_of(head_AT, head_AT_size); }},
    {"ch", 5, 1, 12, true, [] { return keys_of(bank_CH, bank_CH_size); }},
    {"be", 3, 1, 9, false, [] { return keys_of(bank_BE, bank_BE_size); }},
    {"cz", 4, 1, 16, false, [] { return keys_of(head_CZ, head_CZ_size); }},
    {"sk", 4, 1, 16, false, [] { return keys_of(head_SK, head_SK_size); }},
    {"es", 8, 12, 12, false, [] { return keys_of(head_ES, head_ES_size, 10000); }},
};

TEST(SepaRoundTrip, ForeignIbansOfTheIbanModeValidate) {
  std::mt19937_64 rng(20261208);
  for (const Country &c : kCountries) {
    std::vector<uint64_t> banks = c.bank_codes();
    ASSERT_FALSE(banks.empty()) << c.ccd;
    int built = 0;
    for (int attempt = 0; attempt < 40000; attempt++) {
      uint64_t bank = banks[rng() % banks.size()];
      if (std::string(c.ccd) == "es") bank += rng() % 10000;  // any branch
      size_t len = c.knr_min + rng() % (c.knr_max - c.knr_min + 1);
      std::string knr = digits(rng, len);
      // Czech and Slovak prefixes are mostly empty, which passes their sum.
      if ((c.ccd[0] == 'c' && c.ccd[1] == 'z') || c.ccd[0] == 's')
        if (len > 10 && rng() % 2) knr = std::string(len - 10, '0') + knr.substr(len - 10);
      if (c.letters && rng() % 4 == 0) knr[rng() % len] = static_cast<char>('a' + rng() % 26);
      Built b = build_iban(c.ccd, padded(bank, c.blz_width), knr);
      if (b.iban.empty()) continue;
      built++;
      std::string line;
      char code = sepa_code("IBN=" + b.iban, &line);
      ASSERT_TRUE(code == '1' || code == '9') << b.iban << " -> " << line;
      // The BIC the IBAN mode names for the bank confirms it here too.
      if (!b.bic.empty()) {
        code = sepa_code("IBN=" + b.iban + "&BIC=" + b.bic, &line);
        ASSERT_EQ(code, '1') << b.iban << " " << b.bic << " -> " << line;
      }
    }
    EXPECT_GE(built, 200) << c.ccd;
    std::cout << "[ built    ] " << c.ccd << ": " << built << " IBANs\n";
  }
}

// Why the SEPA mode refuses a German IBAN that the IBAN mode built: the
// regeneration check runs the IBAN rules again on the built IBAN, whose bank
// code or account the first run may already have replaced.  Empty when the
// rules, run again, would accept the IBAN: then the refusal is unexplained.
std::string refusal_reason(const std::string &iban) {
  char knr[KNR_DE_SIZE], blz[BLZ_DE_SIZE];
  if (split_iban_DE(iban.c_str(), knr, blz) != '1') return "German check digits wrong";
  unsigned char method = 0;
  if (Iban_find_blz_DE(blz, &method) != '1') return "bank code not in the check-digit directory";
  int64_t i = BinarySearch(head_DE, 0, head_DE_size - 1, std::stoull(blz));
  if (i < 0) return "bank code not in head_DE";
  std::string rule = " (rule " + std::to_string(head_DE[i].iban_rule) + ")";
  unsigned char blz_digits[8], knr_digits[10];
  for (int k = 0; k < 8; k++) blz_digits[k] = static_cast<unsigned char>(blz[k] - '0');
  char rebuilt[IBAN_DE_SIZE] = {0};
  char r = generate_iban_DE(rebuilt, knr, blz);
  if (r == '0') return "the rule refuses the built IBAN's own data" + rule;
  if (iban != rebuilt) return "the rule changes the built IBAN again" + rule;
  if (r == '8' || r == '9') {
    for (int k = 0; k < 10; k++) knr_digits[k] = static_cast<unsigned char>(knr[k] - '0');
    if (strcmp(blz, "66650085") == 0) method = 6;
    char c = check_knr(blz_digits, knr_digits, method);
    if (c != '1' && c != '9') return "the check method of the built bank code refuses the account" + rule;
  }
  return "";
}

TEST(SepaRoundTrip, GermanIbansOfTheIbanRules) {
  std::mt19937_64 rng(8122026);
  int built = 0, refused = 0;
  std::map<std::string, std::vector<std::string>> reasons;
  for (uint32_t b = 0; b < head_DE_size; b++) {
    for (int attempt = 0; attempt < 24; attempt++) {
      std::string knr = digits(rng, 1 + rng() % 10);
      Built got = build_iban("de", head_DE[b].code, knr);
      if (got.iban.empty()) continue;
      built++;
      std::string line;
      char code = sepa_code("IBN=" + got.iban, &line);
      if (code == '1' || code == '9') continue;
      refused++;
      std::string why = refusal_reason(got.iban);
      EXPECT_NE(why, "") << got.iban << " refused although the rules rebuild it: " << line;
      auto &list = reasons[why];
      list.push_back(std::string(head_DE[b].code) + "/" + knr + " -> " + got.iban + " code " +
                     line[5]);
    }
  }
  std::cout << "[ german   ] built " << built << ", refused by the SEPA mode " << refused << "\n";
  for (const auto &[why, list] : reasons) {
    std::cout << "[ refused  ] " << list.size() << "x " << why << "\n";
    for (size_t k = 0; k < list.size() && k < 3; k++) std::cout << "               " << list[k] << "\n";
  }
  EXPECT_GT(built, 10000);
  // The rules know every bank code they lead to.
  EXPECT_EQ(reasons.count("bank code not in the check-digit directory"), 0u);
  EXPECT_EQ(reasons.count("bank code not in head_DE"), 0u);
}

}  // namespace
