// Edge cases of the check-digit methods, grouped by family: the regular
// one-sum methods, the methods with their own remainder handling, the ones
// with conditions and ranges, the chains, and the methods that rewrite the
// caller's digits.  Plus robustness over all method bytes and digit values.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "pluvar.h"

namespace {

using Digits = std::array<unsigned char, 10>;

Digits digits(const char *text) {
  Digits d{};
  for (int i = 0; i < 10; ++i) d[i] = static_cast<unsigned char>(text[i] - '0');
  return d;
}

std::string text(const Digits &d) {
  std::string s;
  for (unsigned char v : d) s += static_cast<char>('0' + v);
  return s;
}

unsigned char method_byte(const std::string &name) {
  if (name[0] >= '0' && name[0] <= '9') return (name[0] - '0') * 10 + (name[1] - '0');
  return 100 + 10 * (name[0] - 'A') + (name[1] - '0');
}

const unsigned char kNoBlz[8] = {};

char check(const char *method, const char *account) {
  Digits d = digits(account);
  return check_knr(kNoBlz, d.data(), method_byte(method));
}

struct Expect {
  const char *method;
  const char *knr;
  char expected;
  const char *why;
};

void run_cases(const Expect *begin, const Expect *end) {
  for (const Expect *c = begin; c != end; ++c)
    EXPECT_EQ(check(c->method, c->knr), c->expected)
        << "method " << c->method << " on " << c->knr << ": " << c->why;
}

template <size_t N>
void run_cases(const Expect (&cases)[N]) {
  run_cases(cases, cases + N);
}

// Fixed-seed generator: the same digits on every run.
struct Random {
  uint64_t state = 0x2545F4914F6CDD1Dull;
  unsigned next(unsigned bound) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<unsigned>(state % bound);
  }
  Digits account() {
    Digits d{};
    const unsigned length = 1 + next(10);
    for (unsigned i = 10 - length; i < 10; ++i) d[i] = static_cast<unsigned char>(next(10));
    return d;
  }
};

// ---------------------------------------------------------------------------
// Regular methods: each row's result equals the rule applied by hand to
// `checksum` over the row's patterns.
// ---------------------------------------------------------------------------

enum class Rule { C10, C11, C11X, Unit };

int expected_digit(int s, Rule rule) {
  switch (rule) {
    case Rule::C10:
      return (10 - s % 10) % 10;
    case Rule::C11:
      return s % 11 <= 1 ? 0 : 11 - s % 11;
    case Rule::C11X:
      return s % 11 == 1 ? -1 : s % 11 == 0 ? 0 : 11 - s % 11;
    case Rule::Unit:
      return s % 10;
  }
  return -1;
}

struct RegularRow {
  const char *method;
  const char *weights;
  const char *mask;
  char direction;
  int variant;
  Rule rule;
  int pos;
  int addend;
};

constexpr const char *X9 = "XXXXXXXXX0";

const RegularRow kRegularRows[] = {
    {"00", "2121212120", X9, 'R', 1, Rule::C10, 10, 0},
    {"01", "3713713710", X9, 'R', 0, Rule::C10, 10, 0},
    {"02", "2345678920", X9, 'R', 0, Rule::C11X, 10, 0},
    {"03", "2121212120", X9, 'R', 0, Rule::C10, 10, 0},
    {"04", "2345672340", X9, 'R', 0, Rule::C11X, 10, 0},
    {"05", "7317317310", X9, 'R', 0, Rule::C10, 10, 0},
    {"06", "2345672340", X9, 'R', 0, Rule::C11, 10, 0},
    {"07", "23456789A0", X9, 'R', 0, Rule::C11X, 10, 0},
    {"10", "23456789A0", X9, 'R', 0, Rule::C11, 10, 0},
    {"14", "2345670000", "000XXXXXX0", 'R', 0, Rule::C11X, 10, 0},
    {"15", "2345000000", "00000XXXX0", 'R', 0, Rule::C11, 10, 0},
    {"18", "3971397130", X9, 'R', 0, Rule::C10, 10, 0},
    {"19", "2345678910", X9, 'R', 0, Rule::C11, 10, 0},
    {"20", "2345678930", X9, 'R', 0, Rule::C11, 10, 0},
    {"22", "3131313130", X9, 'R', 2, Rule::C10, 10, 0},
    {"28", "2345678000", "XXXXXXX000", 'R', 0, Rule::C11, 8, 0},
    {"30", "2000012120", X9, 'L', 0, Rule::C10, 10, 0},
    {"32", "2345670000", "000XXXXXX0", 'R', 0, Rule::C11, 10, 0},
    {"33", "2345600000", "0000XXXXX0", 'R', 0, Rule::C11, 10, 0},
    {"34", "2485A97000", "XXXXXXX000", 'R', 0, Rule::C11, 8, 0},
    {"36", "2485000000", "00000XXXX0", 'R', 0, Rule::C11, 10, 0},
    {"37", "2485A00000", "0000XXXXX0", 'R', 0, Rule::C11, 10, 0},
    {"38", "2485A90000", "000XXXXXX0", 'R', 0, Rule::C11, 10, 0},
    {"39", "2485A97000", "00XXXXXXX0", 'R', 0, Rule::C11, 10, 0},
    {"40", "2485A97360", X9, 'R', 0, Rule::C11, 10, 0},
    {"42", "2345678900", "0XXXXXXXX0", 'R', 0, Rule::C11, 10, 0},
    {"43", "1234567890", X9, 'R', 0, Rule::C10, 10, 0},
    {"44", "2485A00000", "0000XXXXX0", 'R', 0, Rule::C11, 10, 0},
    {"46", "2345600000", "00XXXXX000", 'R', 0, Rule::C11, 8, 0},
    {"47", "2345600000", "000XXXXX00", 'R', 0, Rule::C11, 9, 0},
    {"48", "2345670000", "00XXXXXX00", 'R', 0, Rule::C11, 9, 0},
    {"55", "2345678780", X9, 'R', 0, Rule::C11, 10, 0},
    {"60", "2121212000", "00XXXXXXX0", 'R', 1, Rule::C10, 10, 0},
    {"62", "2121200000", "00XXXXX000", 'R', 1, Rule::C10, 8, 0},
    {"64", "9A58420000", "XXXXXX0000", 'L', 0, Rule::C11, 7, 0},
    {"67", "2121212000", "XXXXXXX000", 'R', 1, Rule::C10, 8, 0},
    {"72", "2121210000", "000XXXXXX0", 'R', 1, Rule::C10, 10, 0},
    {"92", "3713710000", "000XXXXXX0", 'R', 0, Rule::C10, 10, 0},
    {"94", "1212121210", X9, 'R', 1, Rule::C10, 10, 0},
    {"D7", "2121212120", X9, 'R', 1, Rule::Unit, 10, 0},
    {"E0", "2121212120", X9, 'R', 1, Rule::C10, 10, 7},
};

TEST(CheckDigitRegularMethods, AgreeWithTheWeightedSumPrimitive) {
  Random rnd;
  for (const RegularRow &row : kRegularRows) {
    for (int n = 0; n < 3000; ++n) {
      Digits d = rnd.account();
      const int s = checksum(d.data(), row.weights, row.mask, row.direction, row.variant);
      const char want = check_x(expected_digit(s + row.addend, row.rule), d.data(), row.pos);
      const std::string before = text(d);
      ASSERT_EQ(check_knr(kNoBlz, d.data(), method_byte(row.method)), want)
          << "method " << row.method << " on " << before;
    }
  }
}

// Both answers occur: the cross-check above is not vacuous.
TEST(CheckDigitRegularMethods, EveryRowAcceptsAndRefusesSomeNumbers) {
  Random rnd;
  for (const RegularRow &row : kRegularRows) {
    int valid = 0, invalid = 0;
    for (int n = 0; n < 3000; ++n) {
      Digits d = rnd.account();
      (check_knr(kNoBlz, d.data(), method_byte(row.method)) == '1' ? valid : invalid)++;
    }
    EXPECT_GT(valid, 0) << row.method;
    EXPECT_GT(invalid, 0) << row.method;
  }
}

TEST(CheckDigitRegularMethods, Edges) {
  const Expect cases[] = {
      {"00", "0000000018", '1', "d9*2=2, P=8"},
      {"00", "0000000019", '0', "P=8"},
      {"02", "0000000230", '0', "S=12, remainder 1: no check digit"},
      {"02", "0000000231", '0', "remainder 1 whatever d10"},
      {"02", "0000000239", '0', "remainder 1 whatever d10"},
      {"06", "0000000230", '1', "same remainder expects 0"},
      {"06", "0000000231", '0', "expects 0"},
      {"04", "0000000230", '0', "C11X like 02"},
      {"07", "0000000060", '0', "S=12, remainder 1"},
      {"10", "0000000060", '1', "C11: remainder 1 expects 0"},
      {"30", "1999900018", '0', "d1*2 joins d9*2: S=4, P=6"},
      {"30", "0999900018", '1', "positions 2-5 weigh 0"},
      {"64", "0000000009", '1', "positions 7-10 do not take part: S=0, P=0 at pos 7"},
      {"D7", "0000000012", '1', "unit digit of S=2 itself"},
      {"D7", "0000000018", '0', "not the complement"},
      {"E0", "0000000011", '1', "S=2+7=9, P=1"},
  };
  run_cases(cases);
}

// ---------------------------------------------------------------------------
// Methods with their own remainder handling
// ---------------------------------------------------------------------------

TEST(CheckDigitOwnRemainder, Edges) {
  const Expect cases[] = {
      {"11", "0000000069", '1', "remainder 1 gives 9"},
      {"11", "0000000060", '0', "remainder 1 gives 9"},
      {"11", "0000000000", '1', "remainder 0 gives 0"},
      {"17", "0500000600", '1', "S=5, (5-1) mod 11=4, P=6"},
      {"17", "0100000000", '1', "S=1, r=0, P=0"},
      {"21", "0000000991", '1', "18 -> 9, P=1"},
      {"21", "0000000000", '0', "S=0 asks for 10"},
      {"21", "0000000990", '0', "P=1"},
      {"23", "0000066000", '1', "S=12, remainder 1: P=d6=6"},
      {"23", "0000065000", '0', "remainder 1: P=d6=6"},
      {"31", "0000000019", '1', "r=9"},
      {"35", "0000000055", '1', "S=10, remainder 10: P=d9=5"},
      {"35", "0000000050", '0', "P=d9=5"},
      {"56", "9000000048", '1', "d1=9, r=0: P=8"},
      {"56", "9000000307", '1', "d1=9, S=36+9=45, r=1: P=7"},
      {"56", "9000000308", '0', "P=7"},
      {"56", "0000000000", '0', "r=0 and d1 not 9"},
      {"56", "0000000067", '0', "S=12, r=1 and d1 not 9"},
      {"71", "0000001001", '1', "remainder 1 gives 1"},
      {"71", "0000000000", '1', "remainder 0 gives 0"},
      {"97", "0000000110", '1', "prefix 11, remainder 0"},
      {"97", "0000000100", '1', "prefix 10, remainder 10 gives 0"},
      {"97", "0000000101", '0', "P=0"},
      {"97", "9999999999", '1', "999999999 mod 11 = 9"},
  };
  run_cases(cases);
}

TEST(CheckDigitOwnRemainder, Method16WithRemainder1AcceptsEqualLastDigits) {
  // S = 3*d8 + 2*d9; wherever that leaves 1 mod 11, exactly d10 = d9 passes.
  int seen = 0;
  for (int d8 = 0; d8 <= 9; ++d8)
    for (int d9 = 0; d9 <= 9; ++d9) {
      if ((3 * d8 + 2 * d9) % 11 != 1) continue;
      ++seen;
      for (int d10 = 0; d10 <= 9; ++d10) {
        Digits d = digits("0000000000");
        d[7] = static_cast<unsigned char>(d8);
        d[8] = static_cast<unsigned char>(d9);
        d[9] = static_cast<unsigned char>(d10);
        EXPECT_EQ(check_knr(kNoBlz, d.data(), 16), d10 == d9 ? '1' : '0') << text(d);
      }
    }
  EXPECT_GT(seen, 5);
}

TEST(CheckDigitOwnRemainder, Method17WithoutDigits2To7Refuses) {
  for (int d8 = 0; d8 <= 9; ++d8) {
    Digits d = digits("9000000999");
    d[7] = static_cast<unsigned char>(d8);
    EXPECT_EQ(check_knr(kNoBlz, d.data(), 17), '0') << text(d);
  }
}

TEST(CheckDigitOwnRemainder, Method31WithRemainder10Refuses) {
  for (int last = 0; last <= 9; ++last) {
    Digits d = digits("0000000060");  // 6*9 = 54, remainder 10
    d[9] = static_cast<unsigned char>(last);
    EXPECT_EQ(check_knr(kNoBlz, d.data(), 31), '0') << last;
  }
}

TEST(CheckDigitOwnRemainder, MethodE1WithRemainder10Refuses) {
  for (int last = 0; last <= 9; ++last) {
    Digits d = digits("0100000050");  // 10 + 5 = 15, (15 + 6) mod 11 = 10
    d[9] = static_cast<unsigned char>(last);
    EXPECT_EQ(check_knr(kNoBlz, d.data(), method_byte("E1")), '0') << last;
  }
}

// ---------------------------------------------------------------------------
// Conditions, ranges and fixed answers
// ---------------------------------------------------------------------------

TEST(CheckDigitConditions, NumberedMethods) {
  const Expect cases[] = {
      {"08", "0000059999", '9', "below 60000"},
      {"08", "0000060000", '0', "method 00 wants 4"},
      {"08", "0000060004", '1', "method 00"},
      {"13", "0000099999", '0', "d1-d5 all 0"},
      {"13", "0000100008", '1', "variant 2 on the digits moved two places"},
      {"13", "0000100007", '0', "8 at pos 8 or at pos 10"},
      {"25", "1100000002", '0', "d1 not 0"},
      {"25", "0000000002", '0', "d2 = 0"},
      {"25", "0800000030", '1', "r=1 with d2=8 gives 0"},
      {"25", "0100000070", '0', "r=1 with d2=1: refused"},
      {"45", "0000000018", '9', "d1 = 0"},
      {"45", "1000100008", '9', "d5 = 1"},
      {"45", "4800000000", '9', "begins 48"},
      {"54", "0000000019", '0', "not 49"},
      {"54", "4900000000", '0', "r=0"},
      {"57", "0185125434", '1', "listed number"},
      {"57", "0012345678", '0', "begins 00"},
      {"57", "4012345678", '9', "begins 40"},
      {"57", "9912345678", '9', "begins 99"},
      {"57", "7777770005", '9', "block 777777"},
      {"57", "8888889999", '9', "block 888888"},
      {"57", "7777780002", '1', "block 77: 7+5+7+5+7+7=38, P=2"},
      {"57", "1501123000", '1', "month 01, d7=3"},
      {"57", "3112003000", '1', "month 12"},
      {"57", "1513123000", '0', "month 13"},
      {"57", "1500123000", '0', "month 00"},
      {"57", "1501125000", '0', "d7=5"},
      {"57", "5100000003", '1', "block 51: check digit at the end"},
      {"57", "3230000000", '1', "block 32: 3+2*2=7, P=3 at pos 3"},
      {"57", "3210000010", '1', "3+4+1*2=9, P=1 at pos 3"},
      {"57", "3230000010", '0', "3+4+1*2=9 wants 1 at pos 3"},
      {"58", "0000099999", '0', "prefix 9999"},
      {"58", "0000100005", '1', "d5*6=6, P=5"},
      {"59", "0099999999", '1', "d1=d2=0"},
      {"66", "1000000000", '0', "d1 not 0"},
      {"66", "0900000000", '9', "d2=9"},
      {"68", "1000000000", '0', "ten digits, d4 not 9"},
      {"68", "1009000001", '1', "ten digits, d4=9: 9*1, P=1"},
      {"68", "0400000000", '9', "d2=4"},
      {"68", "0000000018", '0', "d2-d5 all 0"},
      {"69", "9300000000", '9', "begins 93"},
      {"69", "9700000000", '0', "begins 97: method 29, 6 (row 1 of 9) + 7 (row 4), P=7"},
      {"69", "9700000007", '1', "method 29"},
      {"74", "0000100508", '1', "six digits, 00: S=2+5=7 wants 3; 15-7=8"},
      {"74", "0000100300", '1', "six digits, S=2+3=5 wants 5; 5-5=0"},
      {"74", "0010000003", '0', "seven digits: no half decade; 00 wants 8, 04 wants 9"},
      {"75", "1000000000", '0', "d1 not 0"},
      {"75", "0910000800", '1', "d2=9: d3*2=2, P=8 at pos 8"},
      {"75", "0010000000", '0', "d2=0, d3 not 0"},
      {"75", "0001000000", '1', "seven digits, S=00000: sum 0, P=0"},
      {"75", "0001002253", '1', "seven digits with d5=0: S=00225, 0+0+4+2+1=7, P=3"},
      {"75", "0009012344", '1', "seven digits: S=01234, 0+1+4+3+(8)=16, P=4"},
      {"75", "0009012345", '0', "seven digits: P=4 wanted"},
      {"75", "0000012345", '0', "d4 and d5 both 0: five digits or fewer"},
      {"75", "0000100008", '1', "d5*2=2, P=8"},
      {"76", "1000000000", '0', "d1=1"},
      {"76", "0000005000", '0', "d1-d6 all 0"},
      {"76", "0000019000", '9', "3+18=21, remainder 10"},
      {"76", "0000010300", '1', "d6*3=3, P=3 at pos 8"},
      {"77", "0000000019", '1', "S1=9+2=11"},
      {"78", "0012345678", '9', "eight digits"},
      {"79", "0000000018", '0', "d1=0"},
      {"79", "3000000004", '1', "d1=3: method 00, 6, P=4"},
      {"82", "0099000008", '1', "d3=d4=9: method 10"},
      {"89", "1000000000", '9', "ten digits"},
      {"89", "0100000002", '1', "nine digits: method 10, 9, P=2"},
      {"89", "0000000019", '9', "six digits or fewer"},
      {"89", "0002000006", '1', "seven digits: qs(14)=5, P=6"},
      {"95", "0001999999", '1', "prefix 199999"},
      {"95", "0002000000", '0', "prefix 200000: method 06, 2*7=14 wants 8"},
      {"95", "0009000000", '1', "prefix 900000"},
      {"95", "0396000000", '1', "prefix 39600000"},
      {"95", "0700000000", '1', "prefix 70000000"},
      {"95", "0910000000", '1', "prefix 91000000"},
      {"95", "0990000001", '0', "prefix 99000000: method 06, 27+18=45, r=1, P=0"},
      {"96", "0001300000", '1', "both fail; prefix 130000"},
      {"96", "0099400000", '0', "both fail; prefix 9940000"},
      {"96", "0001299990", '0', "19 wants 9, 00 wants 9; prefix 129999"},
      {"96", "0099399991", '1', "19 wants 7, 00 wants 0; prefix 9939999"},
      {"99", "0499999999", '1', "prefix 49999999"},
      {"99", "0500000000", '0', "prefix 50000000: method 06, 5*3=15 wants 7"},
  };
  run_cases(cases);
}

TEST(CheckDigitConditions, LetteredMethods) {
  const Expect cases[] = {
      {"A0", "0000000999", '1', "999 or less"},
      {"A0", "1000000000", '1', "positions 1-4 weigh 0: S=0"},
      {"A1", "0100000008", '0', "nine digits"},
      {"A1", "0000099999", '0', "seven digits or fewer"},
      {"A1", "1000000000", '1', "d1, d2 outside the sum: S=0"},
      {"B0", "8123456789", '0', "begins 8"},
      {"B0", "0123456789", '0', "begins 0"},
      {"B0", "1000000600", '1', "d8=6"},
      {"B0", "1000000100", '1', "d8=1"},
      {"B0", "1000000000", '0', "method 06 wants 7"},
      {"B6", "0269100000", '0', "0269, d5 not 0: method 20, 18+48+63+6=135, P=8"},
      {"B6", "0269100008", '1', "method 20"},
      {"B7", "0001000000", '0', "prefix 100000: method 01 wants 9"},
      {"B7", "0001000009", '1', "method 01"},
      {"B7", "0000999999", '9', "prefix 99999"},
      {"B7", "0600000000", '9', "prefix 60000000"},
      {"B7", "0700000001", '1', "prefix 70000000: method 01, 7*7=49, P=1"},
      {"B8", "5100000000", '9', "both fail; prefix 510000000"},
      {"B8", "9010000000", '9', "20 wants 9, 29 wants 3; prefix 901000000"},
      {"B9", "0100000000", '0', "d2 not 0"},
      {"B9", "1000000000", '0', "d1 not 0"},
      {"B9", "0000123456", '0', "six digits"},
      {"B9", "0010000002", '1', "eight digits, P=2"},
      {"B9", "0010100009", '1', "zero between: 2+3+4=9"},
      {"B9", "0010100004", '1', "9-5=4"},
      {"B9", "0001000006", '1', "seven digits, r=6"},
      {"B9", "0001000001", '1', "6-5=1"},
      {"B9", "0001000002", '0', "6 or 1"},
      {"B9", "0001300000", '1', "r=10: 0"},
      {"B9", "0001300005", '1', "r=10: 5"},
      {"B9", "0001300001", '0', "r=10: 0 or 5 only"},
      {"C1", "0500000600", '1', "d1 not 5: method 17"},
      {"C3", "9000000000", '1', "d1=9: method 58, S=0"},
      {"C4", "9000000000", '1', "d1=9: method 58"},
      {"C5", "0000099999", '0', "prefix 9999 in no range"},
      {"C5", "0035000000", '9', "method 09"},
      {"C5", "7050000000", '9', "method 09"},
      {"C5", "8500000000", '9', "method 09"},
      {"C5", "3500000000", '0', "method 00 wants 9"},
      {"C5", "3500000009", '1', "method 00"},
      {"C5", "0000100008", '1', "prefix 10000: method 75"},
      {"C5", "0000899999", '0', "prefix 89999: method 75"},
      {"C5", "0000900000", '0', "prefix 90000 in no range"},
      {"C5", "1000000009", '1', "method 29: row 1 of 1"},
      {"C5", "2000000000", '0', "prefix 200000000 in no range"},
      {"C5", "8000000000", '0', "prefix 800000000 in no range"},
      {"C6", "8000000000", '1', "d1=8 adds nothing: S=0"},
      {"C6", "9000000018", '1', "d1=9 adds nothing: S=2"},
      {"C6", "3000000002", '1', "addend 8: P=2"},
      {"C6", "7000000009", '1', "addend 1: P=9"},
      {"D0", "5700000000", '9', "begins 57"},
      {"D1", "8000000000", '0', "begins 8"},
      {"D4", "0000000018", '0', "begins 0"},
      {"D8", "0012345678", '9', "prefix 1234567"},
      {"D8", "0001234567", '0', "prefix 123456"},
      {"D8", "0099999999", '9', "prefix 9999999"},
      {"D5", "0099000008", '1', "d3=d4=9: 135, r=3, P=8"},
      {"D5", "0099000005", '0', "d3=d4=9: final"},
      {"E1", "1000000000", '0', "d1 not 0"},
      {"E1", "0000000005", '0', "d2 = 0"},
      {"E2", "6000000000", '0', "begins 6"},
      {"E2", "9000000000", '0', "begins 9"},
      {"E2", "5000000000", '0', "qs(10)=1 +5 = 6 wants 4"},
      {"E2", "5000000004", '1', "S=1+5, P=4"},
  };
  run_cases(cases);
}

// ---------------------------------------------------------------------------
// Chains and variants
// ---------------------------------------------------------------------------

TEST(CheckDigitChains, LaterMembersOnlyAfterARefusal) {
  const Expect cases[] = {
      {"51", "0000000015", '1', "C7 last"},
      {"51", "0000000016", '0', "nothing fits, d10 not 7-9"},
      {"51", "1090000006", '1', "d3=9: general-ledger second sum"},
      {"73", "0000000015", '1', "variant 3 (C7)"},
      {"83", "0000000017", '9', "every variant fails"},
      {"83", "0099000300", '1', "d3=d4=9: 135+3*3=144, r=1 gives 0 under C11"},
      {"83", "0099000301", '9', "d3=d4=9 fails"},
      {"85", "0000000015", '1', "C7"},
      {"85", "0000000016", '0', "32, 33, C7 fail"},
      {"87", "0000000000", '1', "procedure: d4-d9 all 0 accepts 0"},
      {"87", "0000000005", '1', "and 5"},
      {"87", "0000000019", '1', "33"},
      {"87", "0000000015", '1', "C7"},
      {"87", "0090000005", '1', "d3=9: general ledger"},
      {"90", "0000000015", '1', "C7"},
      {"90", "0000000018", '1', "C10"},
      {"90", "0090000005", '1', "d3=9"},
      {"90", "0090000004", '0', "d3=9 only its own sum"},
      {"91", "0000018000", '9', "all four fail"},
      {"A5", "9000000001", '1', "00 passes even with d1=9"},
      {"A5", "9000000009", '0', "00 wants 1, d1=9: 10 (90, r=2, P=9) not tried"},
      {"A5", "8000000008", '1', "00 fails, d1=8: method 10: 8*10=80, r=3, P=8"},
      {"B1", "0000000017", '1', "01"},
      {"B5", "8000000003", '0', "05 wants 2, d1=8: 00 (P=3) not tried"},
      {"C2", "0000000019", '1', "04 last"},
      {"D2", "0000000018", '1', "95: prefix 1 in range"},
      {"E4", "0000000018", '1', "02 fails, 00 passes"},
      {"E4", "0000000019", '1', "02 passes"},
  };
  run_cases(cases);
}

TEST(CheckDigitChains, ANotDecidedAnswerEndsTheChain) {
  // Eight digits, bank code 00000000: the ESER sum leaves remainder 3 with
  // P weighted 4, so no check digit exists and method 52 answers "9".
  // Method 20 alone would accept the number (1*8=8, P=3), but C0 asks 52
  // first and stops there.
  const unsigned char blz[8] = {};
  Digits a = digits("0010000003");
  EXPECT_EQ(check_knr(blz, a.data(), 52), '9');
  Digits b = digits("0010000003");
  EXPECT_EQ(check_knr(blz, b.data(), 20), '1');
  Digits c = digits("0010000003");
  EXPECT_EQ(check_knr(blz, c.data(), method_byte("C0")), '9');
}

TEST(CheckDigitChains, EserThroughMethods52And53AndTheirUsers) {
  const unsigned char blz8[8] = {1, 3, 0, 5, 1, 1, 7, 2};
  const unsigned char blz9[8] = {1, 6, 0, 5, 2, 0, 7, 2};
  Digits a = digits("0043001500");
  EXPECT_EQ(check_knr(blz8, a.data(), 52), '1');
  Digits b = digits("0043001500");
  EXPECT_EQ(check_knr(blz8, b.data(), method_byte("C0")), '1');
  Digits c = digits("0382432256");
  EXPECT_EQ(check_knr(blz9, c.data(), 53), '1');
  Digits d = digits("0382432256");
  EXPECT_EQ(check_knr(blz9, d.data(), method_byte("B6")), '1');
  Digits e = digits("0382432256");
  EXPECT_EQ(check_knr(blz9, e.data(), 52), '9');  // d2 not 0: not checked
  Digits f = digits("1382432256");
  EXPECT_EQ(check_knr(blz9, f.data(), 53), '9');  // d1 not 0 or 9
  // The bank code matters: the same account under another bank code.
  const unsigned char other[8] = {1, 3, 0, 5, 0, 0, 0, 0};
  Digits g = digits("0043001500");
  EXPECT_EQ(check_knr(other, g.data(), 52), '0');  // sum 36+40+5=81, r=4, k=5
}

// ---------------------------------------------------------------------------
// Methods that rewrite the caller's digits, and the one that must not
// ---------------------------------------------------------------------------

struct Rewrite {
  const char *method;
  const char *before;
  const char *after;
  char expected;
  const char *why;
};

TEST(CheckDigitRewrites, CallerSeesTheDigitsAsTheMethodLeftThem) {
  const Rewrite cases[] = {
      {"24", "9870000012", "0000000012", '1', "d1=9 clears d1-d3"},
      {"24", "4000000012", "0000000012", '1', "d1=4 clears d1"},
      {"24", "3000000013", "0000000013", '0', "d1=3 clears d1; P=2"},
      {"24", "1000000012", "1000000012", '1', "d1=1 stays: 2+2+3+1+2+3+1+2+6=22"},
      {"24", "8000000012", "8000000012", '0', "d1=8 stays: 9+14+6=29, P=9"},
      {"26", "0012345674", "1234567400", '1', "two leading zeros: shifted, S=106, P=4 at pos 8"},
      {"26", "0012345678", "1234567800", '0', "computed on 1234567800: P=4, d8=8"},
      {"26", "0112345678", "0112345678", '0', "no shift"},
      {"50", "0001000004", "1000004000", '1', "shift by three, then 7, P=4"},
      {"50", "0001000005", "1000005000", '0', "shift by three, then no more zeros"},
      {"50", "0000001001", "1001000000", '1', "two shifts: 7+4=11, P=0"},
      {"50", "0000001000", "1000000000", '0', "two shifts, then d1=1"},
      {"50", "0000019000", "0000019000", '1', "first attempt"},
      {"76", "0000100006", "0010000600", '1', "shift by two: 1*6, P=6"},
      {"76", "0000010400", "0104000000", '0', "3 at pos 8; 0001040000: 6; 0104000000: 5"},
      {"93", "0000100005", "1000050000", '1', "four leading zeros: d1*6=6, P=5 at pos 6"},
      {"93", "1000050000", "1000050000", '1', "no shift"},
      {"A4", "0000000010", "0000100000", '0', "through method 93: 2, C11 9, C7 5 at pos 6"},
      {"A4", "1000050000", "1000050000", '1', "C11 8, C7 3 fail; 93 without shift: 6, P=5"},
      {"13", "0000100008", "0000100008", '1', "variant 2 on a copy"},
      {"13", "0000100007", "0000100007", '0', "variant 2 on a copy"},
  };
  for (const Rewrite &c : cases) {
    Digits d = digits(c.before);
    EXPECT_EQ(check_knr(kNoBlz, d.data(), method_byte(c.method)), c.expected)
        << c.method << " " << c.before << ": " << c.why;
    EXPECT_EQ(text(d), c.after) << c.method << " " << c.before << ": " << c.why;
  }
}

TEST(CheckDigitRewrites, NoOtherMethodChangesTheDigits) {
  const unsigned char rewriters[] = {24, 26, 50, 76, 93, 104 /* A4 */};
  Random rnd;
  for (int m = 0; m < 256; ++m) {
    bool rewrites = false;
    for (unsigned char r : rewriters) rewrites = rewrites || r == m;
    if (rewrites) continue;
    for (int n = 0; n < 500; ++n) {
      Digits d = rnd.account();
      const Digits before = d;
      const unsigned char blz[8] = {1, 2, 3, 4, 5, 6, 7, 8};
      check_knr(blz, d.data(), static_cast<unsigned char>(m));
      ASSERT_EQ(text(d), text(before)) << "method byte " << m;
    }
  }
}

// ---------------------------------------------------------------------------
// Robustness: every byte, every kind of digit array
// ---------------------------------------------------------------------------

bool is_result(char r) { return r == '0' || r == '1' || r == '9' || r == '8'; }

TEST(CheckDigitRobustness, EveryByteAnswersWithAResultCharacter) {
  Random rnd;
  const char *fixed[] = {"0000000000", "9999999999", "0000000001", "1000000000",
                         "0000000009", "9000000000", "0123456789", "9876543210"};
  for (int m = 0; m < 256; ++m) {
    const unsigned char byte = static_cast<unsigned char>(m);
    for (const char *f : fixed) {
      Digits d = digits(f);
      const unsigned char blz[8] = {9, 9, 9, 9, 9, 9, 9, 9};
      const char r = check_knr(blz, d.data(), byte);
      ASSERT_TRUE(is_result(r)) << m << " " << f;
      ASSERT_EQ(r == '8', m > 144) << m << " " << f;
    }
    for (int n = 0; n < 2000; ++n) {
      Digits d{};
      for (auto &v : d) v = static_cast<unsigned char>(rnd.next(10));
      unsigned char blz[8];
      for (auto &v : blz) v = static_cast<unsigned char>(rnd.next(10));
      const char r = check_knr(blz, d.data(), byte);
      ASSERT_TRUE(is_result(r)) << m;
      ASSERT_EQ(r == '8', m > 144) << m;
    }
  }
}

// The engine is promised digit values only; still, any byte values must
// stay inside the ten and eight positions (the sanitizer build watches).
TEST(CheckDigitRobustness, OutOfRangeDigitValuesStayInBounds) {
  Random rnd;
  for (int m = 0; m <= 144; ++m) {
    for (int n = 0; n < 300; ++n) {
      Digits d{};
      for (auto &v : d) v = static_cast<unsigned char>(rnd.next(256));
      unsigned char blz[8];
      for (auto &v : blz) v = static_cast<unsigned char>(rnd.next(256));
      ASSERT_TRUE(is_result(check_knr(blz, d.data(), static_cast<unsigned char>(m)))) << m;
    }
    Digits all_max{};
    all_max.fill(255);
    unsigned char blz_max[8];
    for (auto &v : blz_max) v = 255;
    ASSERT_TRUE(is_result(check_knr(blz_max, all_max.data(), static_cast<unsigned char>(m))))
        << m;
  }
}

}  // namespace
