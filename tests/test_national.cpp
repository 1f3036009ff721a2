// National check digits.  The rules must accept every real IBAN of their
// country (the collection lies beside the repository, in
// ../shared/data/ibans; without it those tests skip), refuse single-digit
// changes at least as often as their scheme guarantees, and agree with
// python-stdnum, a peer library used as a black box, where it knows the rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "cli.h"
#include "pluvar.h"

namespace {

std::string shared_data_dir() {
  const char *env = std::getenv("PLUVAR_SHARED_DATA");
  return env ? env : PLUVAR_SOURCE_DIR "/../shared/data";
}

// The IBANs of real-ibans.tsv (first column, header skipped); empty when the
// file is not there.
std::vector<std::string> real_ibans() {
  std::ifstream in(shared_data_dir() + "/ibans/real-ibans.tsv");
  std::vector<std::string> ibans;
  std::string line;
  for (bool header = true; std::getline(in, line); header = false)
    if (!header) ibans.push_back(line.substr(0, line.find('\t')));
  return ibans;
}

std::string missing_data_message() {
  return "no " + shared_data_dir() +
         "/ibans/real-ibans.tsv (set PLUVAR_SHARED_DATA to the shared data folder)";
}

#define REAL_IBANS_OR_SKIP(name)                   \
  const std::vector<std::string> name = real_ibans(); \
  if (name.empty()) {                              \
    GTEST_SKIP() << missing_data_message();        \
  }                                                \
  static_assert(true)

bool has_rule(const std::string &country) {
  NationalScope scope;
  return national_rule_exists(country, &scope);
}

std::string bban(const std::string &iban) { return iban.substr(4); }
std::string country(const std::string &iban) { return iban.substr(0, 2); }

// Every country code that has a rule, found by asking for each.
std::vector<std::string> ruled_countries() {
  std::vector<std::string> out;
  for (char a = 'A'; a <= 'Z'; a++)
    for (char b = 'A'; b <= 'Z'; b++)
      if (has_rule(std::string{a, b})) out.push_back(std::string{a, b});
  return out;
}

// The same IBAN with one BBAN character replaced and the ISO check digits
// computed anew.
std::string mutate(const std::string &iban, size_t bban_pos, char ch) {
  std::string b = bban(iban);
  b[bban_pos] = ch;
  int check = iban_check_value(iban.c_str(), b.c_str());
  char digits[3];
  std::snprintf(digits, sizeof digits, "%02d", check);
  return country(iban) + digits + b;
}

// Which BBAN places each rule protects (first, end) and the share of
// single-digit changes there that its scheme is sure to catch.  Spain's
// control digit writes two remainders (1 and 10) as 1, so one of the nine
// changes of a place may slip through; Germany's share depends on the
// bank's method and is left to the German tests.
struct Protected {
  const char *country;
  size_t first, end;
  double share;
};
const Protected kProtected[] = {
    {"AL", 0, 8, 1},   {"BA", 0, 16, 1}, {"BE", 0, 12, 1},      {"CZ", 4, 20, 1},
    {"EE", 2, 16, 1},  {"ES", 0, 20, 8.0 / 9}, {"FI", 0, 14, 1}, {"FR", 0, 23, 1},
    {"HR", 0, 17, 1},  {"MC", 0, 23, 1}, {"ME", 0, 18, 1},      {"MK", 0, 15, 1},
    {"NO", 0, 11, 1},  {"PL", 0, 8, 1},  {"PT", 0, 21, 1},      {"RS", 0, 18, 1},
    {"SI", 0, 15, 1},  {"SK", 4, 20, 1}, {"SM", 1, 23, 1},      {"TN", 0, 20, 1},
};

}  // namespace

// Published examples of the national formats (the IBAN registry's), so the
// rules are exercised without the shared data too.
TEST(National, RegistryExamplesPass) {
  for (const char *iban :
       {"FR1420041010050500013M02606", "MC5811222000010123456789030", "SM86U0322509800000000270100",
        "NO9386011117947", "FI2112345600000785", "EE382200221020145685",
        "PT50000201231234567890154", "SI56263300012039086", "ME25505000012345678951",
        "MK07250120000058984", "RS35260005601001611379", "BA391290079401028494",
        "TN5910006035183598478831", "AL47212110090000000235698741", "HR1210010051863000160",
        "PL61109010140000071219812874", "BE68539007547034", "ES9121000418450200051332"}) {
    std::string s = iban;
    EXPECT_TRUE(has_rule(country(s))) << iban;
    EXPECT_EQ(Sepa_validate_iban(iban), '1') << iban;
    EXPECT_EQ(Sepa_check_national(german_current, iban, true), '1') << iban;
  }
}

TEST(National, StrictRulesApplyOnlyUnderStrict) {
  const char *wrong_rib = "FR8420041010050500013M02607";  // RIB key 07, the right one is 06
  EXPECT_EQ(Sepa_validate_iban(wrong_rib), '1');
  EXPECT_EQ(Sepa_check_national(german_current, wrong_rib, false), '1');
  EXPECT_EQ(Sepa_check_national(german_current, wrong_rib, true), '0');
  NationalScope scope{};
  ASSERT_TRUE(national_rule_exists("BE", &scope));
  EXPECT_EQ(scope, NationalScope::Always);
  ASSERT_TRUE(national_rule_exists("FR", &scope));
  EXPECT_EQ(scope, NationalScope::Strict);
  EXPECT_FALSE(national_rule_exists("IT", nullptr));  // too few real IBANs to confirm
  EXPECT_FALSE(national_rule_exists("NL", nullptr));  // the old eleven test no longer holds
}

// The rule is found by its two capitals and by nothing else: every pair of
// bytes, against the list of ruled countries the README gives.
TEST(National, EveryBytePairFindsOnlyItsOwnRule) {
  const std::vector<std::string> ruled = {"AL", "BA", "BE", "CZ", "DE", "EE", "ES",
                                          "FI", "FR", "HR", "MC", "ME", "MK", "NO",
                                          "PL", "PT", "RS", "SI", "SK", "SM", "TN"};
  int found = 0;
  for (int a = 0; a < 256; a++) {
    for (int b = 0; b < 256; b++) {
      const std::string pair{static_cast<char>(a), static_cast<char>(b)};
      const bool listed = std::find(ruled.begin(), ruled.end(), pair) != ruled.end();
      ASSERT_EQ(national_rule_exists(pair, nullptr), listed) << a << ' ' << b;
      found += listed;
    }
  }
  EXPECT_EQ(found, static_cast<int>(ruled.size()));
  EXPECT_FALSE(national_rule_exists("B", nullptr));
}

TEST(National, WrongLengthsAndCharactersFail) {
  for (const std::string &cc : ruled_countries()) {
    EXPECT_FALSE(national_check_passes(german_current, cc, "", true)) << cc;
    EXPECT_FALSE(national_check_passes(german_current, cc, std::string(40, '1'), true)) << cc;
  }
  EXPECT_FALSE(national_check_passes(german_current, "FR", "20041010050500013M0260#", true));
  EXPECT_FALSE(national_check_passes(german_current, "SM", "u0322509800000000270100", true));
  EXPECT_TRUE(national_check_passes(german_current, "X", "", true));  // no country, no rule
}

// A German bank code that has left the directory (20320500) is answered
// code 7 before any national check; the German rule cannot judge it.
bool german_bank_unknown(const std::string &iban) {
  unsigned char method = 0;
  return country(iban) == "DE" &&
         find_blz(german_current, iban.substr(4, 8).c_str(), &method) != '1';
}

TEST(National, EveryRealIbanPassesItsCountryRule) {
  REAL_IBANS_OR_SKIP(ibans);
  for (const std::string &iban : ibans) {
    if (has_rule(country(iban)) && !german_bank_unknown(iban)) {
      EXPECT_TRUE(national_check_passes(german_current, country(iban), bban(iban), true)) << iban;
    }
  }
}

// A rule enters the table only with at least five real IBANs to confirm it.
TEST(National, EveryRuleWasConfirmedOnFiveRealIbans) {
  REAL_IBANS_OR_SKIP(ibans);
  std::map<std::string, int> rows;
  for (const std::string &iban : ibans) rows[country(iban)]++;
  for (const std::string &cc : ruled_countries()) EXPECT_GE(rows[cc], 5) << cc;
}

TEST(National, SingleDigitChangesAreRefused) {
  REAL_IBANS_OR_SKIP(ibans);
  std::vector<std::string> covered;
  for (const Protected &p : kProtected) {
    covered.push_back(p.country);
    int changes = 0, refused = 0;
    for (const std::string &iban : ibans) {
      if (country(iban) != p.country) continue;
      for (size_t pos = p.first; pos < p.end; pos++) {
        char old = iban[4 + pos];
        if (!is_digit(static_cast<unsigned char>(old))) continue;
        for (char d = '0'; d <= '9'; d++) {
          if (d == old) continue;
          std::string changed = mutate(iban, pos, d);
          ASSERT_EQ(Sepa_validate_iban(changed.c_str()), '1') << changed;
          changes++;
          if (Sepa_check_national(german_current, changed.c_str(), true) == '0') refused++;
        }
      }
    }
    ASSERT_GT(changes, 0) << p.country;
    std::printf("%s: %d of %d single-digit changes refused\n", p.country, refused, changes);
    EXPECT_GE(refused, p.share * changes) << p.country << ": " << refused << " of " << changes;
  }
  for (const std::string &cc : ruled_countries()) {
    if (cc != "DE") {
      EXPECT_NE(std::find(covered.begin(), covered.end(), cc), covered.end()) << cc;
    }
  }
}

// python-stdnum (Debian python3-stdnum) checks the national digits of
// Belgium, Spain, Montenegro and Norway.  Both judge the real IBANs of those
// countries and every single-digit change of their account parts (ISO check
// digits recomputed); the verdicts must agree.
namespace {

const char *python_with_stdnum() {
  for (const char *python : {"/usr/bin/python3", "python3"}) {
    std::string probe = std::string(python) + " -c 'import stdnum.iban' >/dev/null 2>&1";
    if (std::system(probe.c_str()) == 0) return python;
  }
  return nullptr;
}

// stdnum's verdict (true valid) on each IBAN, in one process.
std::vector<bool> stdnum_verdicts(const char *python, const std::vector<std::string> &ibans) {
  char path[] = "/tmp/pluvar-stdnum-XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) return {};
  FILE *in = fdopen(fd, "w");
  for (const std::string &iban : ibans) std::fprintf(in, "%s\n", iban.c_str());
  std::fclose(in);
  std::string cmd = std::string(python) +
                    " -c 'import sys\nfrom stdnum import iban\n"
                    "for l in sys.stdin: print(int(iban.is_valid(l.strip())))' < " + path;
  std::vector<bool> verdicts;
  if (FILE *out = popen(cmd.c_str(), "r")) {
    char line[8];
    while (std::fgets(line, sizeof line, out)) verdicts.push_back(line[0] == '1');
    pclose(out);
  }
  std::remove(path);
  return verdicts;
}

}  // namespace

TEST(National, AgreesWithPythonStdnum) {
  REAL_IBANS_OR_SKIP(ibans);
  const char *python = python_with_stdnum();
  if (!python) GTEST_SKIP() << "python3-stdnum is not installed (tools/setup-debian.sh installs it)";
  // The account parts that stdnum judges by the national rule alone: Belgium
  // after its bank protocol, Spain after entidad and oficina (stdnum also
  // looks bank codes up in a list of its own).
  const Protected kJudged[] = {{"BE", 3, 12, 1}, {"ES", 8, 20, 1}, {"ME", 0, 18, 1}, {"NO", 0, 11, 1}};
  std::vector<std::string> cases;
  for (const Protected &j : kJudged)
    for (const std::string &iban : ibans) {
      if (country(iban) != j.country) continue;
      cases.push_back(iban);
      for (size_t pos = j.first; pos < j.end; pos++)
        for (char d = '0'; d <= '9'; d++)
          if (d != iban[4 + pos]) cases.push_back(mutate(iban, pos, d));
    }
  std::vector<bool> judged = stdnum_verdicts(python, cases);
  ASSERT_EQ(judged.size(), cases.size());
  int refused = 0;
  for (size_t i = 0; i < cases.size(); i++) {
    bool ours = Sepa_validate_iban(cases[i].c_str()) == '1' &&
                Sepa_check_national(german_current, cases[i].c_str(), true) == '1';
    EXPECT_EQ(ours, judged[i]) << cases[i];
    refused += !ours;
  }
  EXPECT_GT(refused, 0);
}

// --strict in the SEPA mode: the RIB key of the issue's example is wrong.
TEST(National, StrictSepaCommandLine) {
  expect_cli({{"--strict", "sepa", "IBN=FR8420041010050500013M02607"},
              "code=0&name=LA BANQUE POSTALE&zip=75275&location=PARIS&country=FRANCE&mode=SEPA",
              0});
  expect_cli({{"sepa", "IBN=FR8420041010050500013M02607"},
              "code=1&name=LA BANQUE POSTALE&zip=75275&location=PARIS&country=FRANCE&mode=SEPA",
              1});
  expect_cli({{"--strict", "sepa", "-allinfo", "IBN=FR1420041010050500013M02606"},
              "code=1&name=LA BANQUE POSTALE&zip=75275&location=PARIS&bic=PSSTFRPPXXX&sct=1&sdd=1"
              "&b2b=1&scc=0&country=FRANCE&mode=SEPA",
              1});
}

// --strict changes only the code of an answer whose national check fails
// (from 1 or 9 to 0); every other answer keeps its bytes.  Checked on the
// real IBANs and their single-digit changes.
TEST(National, StrictChangesOnlyFailedNationalChecks) {
  REAL_IBANS_OR_SKIP(ibans);
  std::vector<std::string> cases;
  for (const std::string &iban : ibans) {
    cases.push_back(iban);
    for (size_t pos = 0; pos + 4 < iban.size(); pos++)
      if (is_digit(static_cast<unsigned char>(iban[4 + pos])))
        cases.push_back(mutate(iban, pos, iban[4 + pos] == '9' ? '0' : iban[4 + pos] + 1));
  }
  int changed = 0;
  for (const std::string &iban : cases) {
    InProcResult plain = run_pluvar_inproc({"sepa", "-allinfo", "IBN=" + iban});
    InProcResult strict = run_pluvar_inproc({"--strict", "sepa", "-allinfo", "IBN=" + iban});
    bool national_ok = Sepa_check_national(german_current, iban.c_str(), true) == '1';
    if (national_ok || (plain.status != 1 && plain.status != 9)) {
      EXPECT_EQ(strict.out, plain.out) << iban;
      EXPECT_EQ(strict.status, plain.status) << iban;
    } else {
      changed++;
      EXPECT_EQ(strict.out, "code=0" + plain.out.substr(6)) << iban;
      EXPECT_EQ(strict.status, 0) << iban;
    }
  }
  EXPECT_GT(changed, 0);
}
