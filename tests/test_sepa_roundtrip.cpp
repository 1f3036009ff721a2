// Round trip between the IBAN mode and the SEPA mode: whatever IBAN the IBAN
// mode builds for AT, CH, BE, CZ, ES and SK, the SEPA mode accepts, and with
// the BIC the IBAN mode reports it confirms the bank.  For Germany the IBANs
// built through the IBAN rules are run through the SEPA mode as well, and
// the plain IBANs of accounts that the rules refuse or rewrite.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iostream>
#include <map>
#include <random>
#include <set>
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

// The plain German IBAN of a bank code and a 10-digit account.
std::string plain_iban_DE(const std::string &blz, const std::string &knr) {
  char iban[IBAN_DE_SIZE] = "DE00";
  memcpy(iban + 4, blz.data(), 8);
  memcpy(iban + 12, knr.data(), 10);
  iban[22] = '\0';
  int check = check_iban_DE(iban);
  iban[2] = static_cast<char>('0' + check / 10);
  iban[3] = static_cast<char>('0' + check % 10);
  return iban;
}

// Accounts of every shape the rules treat apart: short ones, the short ones
// with a two- or three-place sub-account suffix, ten-digit ones with a 0 at
// position 4, and random lengths.
std::string sample_account(std::mt19937_64 &rng, int i) {
  uint64_t v = std::stoull(digits(rng, 10));
  switch (i % 5) {
    case 0:
      v %= static_cast<uint64_t>(std::pow(10, 1 + rng() % 10));
      break;
    case 1:
      v = v % static_cast<uint64_t>(std::pow(10, 4 + rng() % 4)) * 100;
      break;
    case 2:
      v = v % static_cast<uint64_t>(std::pow(10, 5 + rng() % 2)) * 1000;
      break;
    case 3:
      v = 1000000000 + v % 1000000 + v / 1000000 % 100 * 10000000;
      break;
    default:
      v %= static_cast<uint64_t>(std::pow(10, 6 + rng() % 3));
      break;
  }
  return padded(v, 10);
}

// An account of bank code `from` that the IBAN mode turns into `iban`: the
// account as it stands in the IBAN, or one that a reshape (a sub-account
// suffix of two or three places, a dropped 0 at position 4) could have
// turned into it.
bool iban_mode_builds(const std::string &from, const std::string &knr, const std::string &iban) {
  std::vector<std::string> sources = {knr};
  const uint64_t v = std::stoull(knr);
  if (v % 100 == 0) sources.push_back(padded(v / 100, 10));
  if (v % 1000 == 0) sources.push_back(padded(v / 1000, 10));
  if (knr[0] == '0') {  // d2 d3 d4 0 d5 ... d10
    std::string k = knr;
    k.erase(0, 1);
    k.insert(3, 1, '0');
    sources.push_back(k);
  }
  for (const std::string &k : sources)
    if (build_iban("de", from, k).iban == iban) return true;
  return false;
}

// Both directions over every bank code of the directory: whatever the IBAN
// mode builds (codes 1 and 9) the SEPA mode validates; the plain IBAN of an
// account that the rules refuse or rewrite answers 0 in the SEPA mode unless
// the IBAN mode builds it from another account, of this bank code or of one
// that the first pass saw moving accounts to it.
TEST(SepaRoundTrip, GermanIbansOfTheIbanRules) {
  constexpr int kAccountsPerBank = 120;
  std::mt19937_64 rng(8122026);
  int built = 0, refused = 0;
  std::map<std::string, std::set<std::string>> moved_from;  // bank code -> requested codes
  std::vector<std::pair<std::string, std::string>> not_as_given;
  for (uint32_t b = 0; b < head_DE_size; b++) {
    const std::string blz = head_DE[b].code;
    for (int i = 0; i < kAccountsPerBank; i++) {
      std::string knr = sample_account(rng, i);
      Built got = build_iban("de", blz, knr);
      if (!got.iban.empty()) {
        built++;
        moved_from[got.iban.substr(4, 8)].insert(blz);
        std::string line;
        char code = sepa_code("IBN=" + got.iban, &line);
        if (code != '1' && code != '9') {
          refused++;
          ADD_FAILURE() << blz << "/" << knr << " built " << got.iban << ", SEPA: " << line;
        }
      }
      // Every third such account is run backwards, to keep the test short.
      if (got.iban != plain_iban_DE(blz, knr) && i % 3 == 0) not_as_given.emplace_back(blz, knr);
    }
  }
  int plain_refused = 0;
  for (const auto &[blz, knr] : not_as_given) {
    std::string plain = plain_iban_DE(blz, knr), line;
    char code = sepa_code("IBN=" + plain, &line);
    if (code != '1' && code != '9') {
      plain_refused++;
      continue;
    }
    bool witness = iban_mode_builds(blz, knr, plain);
    for (const std::string &from : moved_from[blz])
      witness = witness || iban_mode_builds(from, knr, plain);
    EXPECT_TRUE(witness) << plain << " validates, but no account builds it";
  }
  std::cout << "[ german   ] built " << built << ", refused by the SEPA mode " << refused
            << "; refused or rewritten " << not_as_given.size() << ", their plain IBAN refused "
            << plain_refused << "\n";
  EXPECT_EQ(refused, 0);
  EXPECT_GT(built, 100000);
  EXPECT_GT(plain_refused, 90000);
}

// The examples: an IBAN built through the Deutsche Bank rule's
// sub-account suffix, and the plain IBAN of the account it came from.
TEST(SepaRoundTrip, RewrittenAccountsOfTheRules) {
  EXPECT_EQ(build_iban("de", "10070124", "24265").iban, "DE72100701240002426500");
  EXPECT_EQ(sepa_code("IBN=DE72100701240002426500"), '1');
  EXPECT_EQ(sepa_code("IBN=" + plain_iban_DE("10070124", "0000024265")), '0');
  // Commerzbank list C2: 37040044/1888 is replaced by 0212129101.
  EXPECT_EQ(build_iban("de", "37040044", "1888").iban, plain_iban_DE("37040044", "0212129101"));
  EXPECT_EQ(sepa_code("IBN=" + plain_iban_DE("37040044", "0212129101")), '1');
  EXPECT_EQ(sepa_code("IBN=" + plain_iban_DE("37040044", "0000001888")), '0');
  // Rule 53 moves 55050000/901 to 60050101 and a new account.
  EXPECT_EQ(sepa_code("IBN=DE57600501017401507497"), '1');
}

}  // namespace
