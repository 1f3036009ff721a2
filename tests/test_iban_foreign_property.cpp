// Properties of the IBAN mode for AT, CH, BE, CZ, ES and SK over generated
// requests: every IBAN the mode builds passes an independent MOD 97-10 check
// and its country's IBAN format from the country table `c`, carries exactly
// the padded bank code and account number, and every answer is one bounded
// response line whose code is the exit status.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "cli.h"

namespace {

// ---------------------------------------------------------------------------
// Independent judges
// ---------------------------------------------------------------------------

// ISO 13616 validity: the IBAN moved four characters to the left, letters
// read as 10..35, must leave remainder 1 mod 97.  Reduced in 9-digit chunks,
// not digit by digit as the program does.
bool mod97_valid(const std::string &iban) {
  if (iban.size() < 5) return false;
  std::string digits;
  for (char ch : iban.substr(4) + iban.substr(0, 4)) {
    if (ch >= '0' && ch <= '9')
      digits += ch;
    else if (ch >= 'A' && ch <= 'Z')
      digits += std::to_string(ch - 'A' + 10);
    else
      return false;
  }
  uint64_t rem = 0;
  for (size_t i = 0; i < digits.size(); i += 9) {
    std::string chunk = digits.substr(i, 9);
    uint64_t scale = 1;
    for (size_t k = 0; k < chunk.size(); k++) scale *= 10;
    rem = (rem * scale + std::stoull(chunk)) % 97;
  }
  return rem == 1;
}

const char *format_of(const std::string &cc) {
  for (uint32_t i = 0; i < c_size; i++)
    if (cc == c[i].code) return c[i].format;
  return nullptr;
}

// Matches an IBAN against a format in SWIFT notation ("2!a2!n5!n11!n"):
// items of a length, '!' (fixed length) and a type: n digits, a capitals,
// c letters of either case and digits, e blanks.
bool matches_format(const std::string &iban, const char *format) {
  size_t pos = 0;
  const char *f = format;
  while (*f) {
    int len = 0;
    while (*f >= '0' && *f <= '9') len = len * 10 + (*f++ - '0');
    if (*f != '!') return false;  // every format of the six countries is fixed-length
    f++;
    char type = *f++;
    for (int k = 0; k < len; k++, pos++) {
      if (pos >= iban.size()) return false;
      unsigned char ch = static_cast<unsigned char>(iban[pos]);
      bool digit = ch >= '0' && ch <= '9', upper = ch >= 'A' && ch <= 'Z',
           lower = ch >= 'a' && ch <= 'z';
      bool ok = (type == 'n' && digit) || (type == 'a' && upper) ||
                (type == 'c' && (digit || upper || lower)) || (type == 'e' && ch == ' ');
      if (!ok) return false;
    }
  }
  return pos == iban.size();
}

TEST(PropertyJudges, AgreeOnKnownIbans) {
  EXPECT_TRUE(mod97_valid("AT071100000012345678"));
  EXPECT_FALSE(mod97_valid("AT081100000012345678"));
  EXPECT_TRUE(mod97_valid("CH49002300000001234AB"));
  EXPECT_TRUE(matches_format("CH49002300000001234AB", format_of("CH")));
  EXPECT_FALSE(matches_format("BE1805012345676A", format_of("BE")));
  EXPECT_FALSE(matches_format("AT07110000001234567", format_of("AT")));
  EXPECT_FALSE(matches_format("AT0711000000123456789", format_of("AT")));
}

// ---------------------------------------------------------------------------
// Request generator
// ---------------------------------------------------------------------------

using Handler = char (*)(char *, char, Sink &);

struct Country {
  const char *cc;  // lowercase, as in the query
  const char *CC;  // as in the IBAN
  Handler handler;
  int bank_min, bank_width, account_width;
  char success;
};

const Country kCountries[] = {
    {"at", "AT", IbanGen_AT, 5, 5, 11, '9'}, {"ch", "CH", IbanGen_CH, 3, 5, 12, '9'},
    {"be", "BE", IbanGen_BE, 3, 3, 9, '1'},  {"cz", "CZ", IbanGen_CZ, 3, 4, 16, '1'},
    {"sk", "SK", IbanGen_SK, 3, 4, 16, '1'}, {"es", "ES", IbanGen_ES, 3, 8, 12, '1'},
};

struct Request {
  const Country *country;
  std::string bank;     // as given in the query
  std::string account;  // as given in the query
  bool valid;           // known bank, account passing its national check
};

using Rng = std::mt19937_64;

int uniform(Rng &rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

std::string random_digits(Rng &rng, int n) {
  std::string s;
  for (int i = 0; i < n; i++) s += static_cast<char>('0' + uniform(rng, 0, 9));
  return s;
}

std::string zero_padded(uint64_t value, int width) {
  std::string s = std::to_string(value);
  return std::string(width > static_cast<int>(s.size()) ? width - s.size() : 0, '0') + s;
}

// Drops some of the leading zeros the mode pads back, keeping min_len.
std::string strip_zeros(Rng &rng, std::string s, int min_len) {
  int n = uniform(rng, 0, static_cast<int>(s.size()));
  while (n-- > 0 && static_cast<int>(s.size()) > min_len && s[0] == '0') s.erase(0, 1);
  return s;
}

template <typename Record>
const Record &pick(Rng &rng, const Record *table, uint32_t size) {
  return table[uniform(rng, 0, static_cast<int>(size) - 1)];
}

// Mod 11 checked digit groups of the Czech and Slovak account numbers: the
// last digit (weight 1) is chosen to make the weighted sum divisible by 11.
bool mod11_group(Rng &rng, const std::vector<int> &weights, std::string &out) {
  std::string g = random_digits(rng, static_cast<int>(weights.size()) - 1);
  int sum = 0;
  for (size_t i = 0; i + 1 < weights.size(); i++) sum += (g[i] - '0') * weights[i];
  int last = (11 - sum % 11) % 11;
  if (last == 10) return false;
  out += g + static_cast<char>('0' + last);
  return true;
}

int es_control(const std::string &digits, const std::vector<int> &weights) {
  int s = 0;
  for (size_t i = 0; i < weights.size(); i++) s += (digits[i] - '0') * weights[i];
  int r = 11 - s % 11;
  return r == 11 ? 0 : r == 10 ? 1 : r;
}

// A request for a bank of the directory with an account number that passes
// the country's national check.
Request valid_request(Rng &rng, const Country &cty) {
  Request r{&cty, "", "", true};
  std::string cc = cty.cc;
  if (cc == "at") {
    r.bank = pick(rng, head_AT, head_AT_size).code;
    r.account = random_digits(rng, uniform(rng, 5, 11));
  } else if (cc == "ch") {
    r.bank = strip_zeros(rng, zero_padded(pick(rng, bank_CH, bank_CH_size).key, 5), 3);
    const char alphabet[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    int n = uniform(rng, 0, 12);
    for (int i = 0; i < n; i++) r.account += alphabet[uniform(rng, 0, 35)];
  } else if (cc == "be") {
    r.bank = zero_padded(pick(rng, bank_BE, bank_BE_size).key, 3);
    std::string first7 = random_digits(rng, 7);
    uint64_t rem = std::stoull(r.bank + first7) % 97;
    r.account = strip_zeros(rng, first7 + zero_padded(rem == 0 ? 97 : rem, 2), 0);
  } else if (cc == "cz" || cc == "sk") {
    const Head_t_SEPA &b =
        cc == "cz" ? pick(rng, head_CZ, head_CZ_size) : pick(rng, head_SK, head_SK_size);
    r.bank = strip_zeros(rng, b.code, 3);
    std::string account;
    while (!mod11_group(rng, {10, 5, 8, 4, 2, 1}, account)) {
    }
    while (!mod11_group(rng, {6, 3, 7, 9, 10, 5, 8, 4, 2, 1}, account)) account.resize(6);
    // Short prefixes are common: often no prefix at all.
    if (uniform(rng, 0, 1)) account.replace(0, 6, "000000");
    r.account = strip_zeros(rng, account, 0);
  } else {
    const Head_t_SEPA &b = pick(rng, head_ES, head_ES_size);
    std::string bank8 = zero_padded(b.key * 10000 + uniform(rng, 0, 9999), 8);
    std::string account10 = random_digits(rng, 10);
    int d1 = es_control(bank8, {4, 8, 5, 10, 9, 7, 3, 6});
    int d2 = es_control(account10, {1, 2, 4, 8, 5, 10, 9, 7, 3, 6});
    r.bank = strip_zeros(rng, bank8, 3);
    r.account = strip_zeros(rng, std::to_string(d1) + std::to_string(d2) + account10, 0);
  }
  return r;
}

// Either a valid request or one with a random account or bank code of an
// allowed length, which may or may not name a bank or pass the check.
Request some_request(Rng &rng, const Country &cty) {
  Request r = valid_request(rng, cty);
  switch (uniform(rng, 0, 3)) {
    case 0:
      r.account =
          random_digits(rng, uniform(rng, std::string(cty.cc) == "at" ? 5 : 0, cty.account_width));
      r.valid = false;
      break;
    case 1:
      r.bank = random_digits(rng, uniform(rng, cty.bank_min, cty.bank_width));
      r.valid = false;
      break;
    default:
      break;
  }
  return r;
}

std::string query_of(Rng &rng, const Request &r) {
  std::string pairs[3] = {std::string("ccd=") + r.country->cc, "blz=" + r.bank, "knr=" + r.account};
  std::shuffle(pairs, pairs + 3, rng);
  return pairs[0] + "&" + pairs[1] + "&" + pairs[2];
}

std::string field(const std::string &line, const std::string &key) {
  size_t at = line.find("&" + key + "=");
  if (at == std::string::npos) return "";
  at += key.size() + 2;
  return line.substr(at, line.find('&', at) - at);
}

// The value left-filled with '0' to the stored width.
std::string pad(const std::string &s, int width) {
  return std::string(static_cast<size_t>(width) - s.size(), '0') + s;
}

std::string upper(std::string s) {
  for (char &ch : s)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  return s;
}

// Every built IBAN is checked against the judges and against the request.
void expect_sound_answer(const Request &r, const std::string &line, int status,
                         const std::string &q) {
  const Country &cty = *r.country;
  ASSERT_GE(line.size(), 16u) << q;
  ASSERT_LE(line.size(), RESPONSE_SIZE - 1) << q;
  EXPECT_EQ(line.substr(0, 5), "code=") << q;
  EXPECT_EQ(line.substr(line.size() - 10), "&mode=IBAN") << q;
  EXPECT_EQ(status, line[5] - '0') << q;
  if (r.valid) {
    EXPECT_EQ(line[5], cty.success) << q << " -> " << line;
  }
  std::string iban = field(line, "ibn");
  if (line[5] != cty.success) {
    EXPECT_EQ(iban, "") << q;
    return;
  }
  EXPECT_TRUE(mod97_valid(iban)) << q << " -> " << iban;
  const char *format = format_of(cty.CC);
  ASSERT_NE(format, nullptr);
  EXPECT_TRUE(matches_format(iban, format)) << q << " -> " << iban << " vs " << format;
  EXPECT_EQ(iban.substr(0, 2), cty.CC);
  EXPECT_EQ(iban.substr(4), upper(pad(r.bank, cty.bank_width) + pad(r.account, cty.account_width)))
      << q;
}

// ---------------------------------------------------------------------------
// In-process: many requests per country
// ---------------------------------------------------------------------------

TEST(ForeignIbanProperty, BuiltIbansPassMod97AndTheCountryFormat) {
  Rng rng(20261208);
  for (const Country &cty : kCountries) {
    int built = 0;
    for (int i = 0; i < 10000; i++) {
      Request r = some_request(rng, cty);
      std::string q = query_of(rng, r);
      char code = 0;
      std::string line = call_handler(cty.handler, q, static_cast<char>(i % 2), &code);
      expect_sound_answer(r, line, code - '0', q);
      if (code != cty.success) continue;
      built++;
      if (i % 2) {
        EXPECT_NE(line.find("&name="), std::string::npos) << q;
      }
    }
    // Most requests are valid by construction: the property is not vacuous.
    EXPECT_GT(built, 4000) << cty.cc;
  }
}

// Through the dispatcher: keys and values in any case.
TEST(ForeignIbanProperty, DispatcherAcceptsAnyCase) {
  Rng rng(7);
  for (int i = 0; i < 3000; i++) {
    const Country &cty = kCountries[uniform(rng, 0, 5)];
    Request r = valid_request(rng, cty);
    std::string q = query_of(rng, r);
    for (char &ch : q)
      if (ch >= 'a' && ch <= 'z' && uniform(rng, 0, 1)) ch = static_cast<char>(ch - 'a' + 'A');
    char code = 0;
    std::string line = call_handler(IbanGen_Main, q, 0, &code);
    ASSERT_EQ(code, cty.success) << q << " -> " << line;
    std::string iban = field(line, "ibn");
    EXPECT_TRUE(mod97_valid(iban)) << q;
    EXPECT_EQ(iban.substr(4),
              upper(pad(r.bank, cty.bank_width) + pad(r.account, cty.account_width)));
  }
}

// Damaged requests: whatever the answer, it is one bounded line, and an IBAN
// in it is sound.
TEST(ForeignIbanProperty, DamagedRequestsNeverGiveABadIban) {
  Rng rng(97);
  const char noise[] = "0123456789azAZ&=&= -\x80\xe4\xff";
  int built = 0;
  for (int i = 0; i < 20000; i++) {
    const Country &cty = kCountries[uniform(rng, 0, 5)];
    std::string q = query_of(rng, valid_request(rng, cty));
    int edits = uniform(rng, 1, 3);
    for (int e = 0; e < edits && !q.empty(); e++) {
      size_t at = static_cast<size_t>(uniform(rng, 0, static_cast<int>(q.size()) - 1));
      char ch = noise[uniform(rng, 0, static_cast<int>(sizeof noise) - 2)];
      switch (uniform(rng, 0, 3)) {
        case 0:
          q[at] = ch;
          break;
        case 1:
          q.insert(at, 1, ch);
          break;
        case 2:
          q.erase(at, 1);
          break;
        default:
          q += std::string("&") + q.substr(0, at);
          break;
      }
    }
    char code = 0;
    std::string line = call_handler(IbanGen_Main, q, 1, &code);
    ASSERT_LE(line.size(), RESPONSE_SIZE - 1) << q;
    ASSERT_EQ(line.substr(0, 6), std::string("code=") + code) << q;
    std::string iban = field(line, "ibn");
    if (iban.empty()) continue;
    built++;
    const char *format = format_of(iban.substr(0, 2));
    ASSERT_NE(format, nullptr) << iban;
    EXPECT_TRUE(mod97_valid(iban)) << q << " -> " << iban;
    EXPECT_TRUE(matches_format(iban, format)) << q << " -> " << iban;
  }
  // Most damage is refused; enough survives to exercise the builders.
  EXPECT_GT(built, 200);
}

// ---------------------------------------------------------------------------
// The built program: a sample of the same requests (each one a process start,
// slow under the sanitizers), exact status and bytes
// ---------------------------------------------------------------------------

TEST(ForeignIbanProperty, BinaryAnswersMatchAndAreSound) {
  Rng rng(2026);
  for (const Country &cty : kCountries) {
    for (int i = 0; i < 15; i++) {
      Request r = some_request(rng, cty);
      std::string q = query_of(rng, r);
      std::vector<std::string> args = {"iban"};
      if (i % 2) args.push_back("-allinfo");
      args.push_back(q);
      CliResult res = run_pluvar_cli(args);
      EXPECT_EQ(res.err, "");
      expect_sound_answer(r, res.out, res.status, q);
      // The program answers exactly as the handler does in-process.
      EXPECT_EQ(res.out, call_handler(cty.handler, q, static_cast<char>(i % 2))) << q;
    }
  }
}

}  // namespace
