// The check-digit primitives (weighted sum, digit helpers) and the four
// special procedures: ESER, iterated transformation, the method-87
// exception procedure and the general-ledger procedure.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>

#include "pluvar.h"

namespace {

using Digits = std::array<unsigned char, 10>;

Digits digits(const char *text) {
  Digits d{};
  for (int i = 0; i < 10; ++i) d[i] = static_cast<unsigned char>(text[i] - '0');
  return d;
}

std::array<unsigned char, 8> blz_digits(const char *text) {
  std::array<unsigned char, 8> d{};
  for (int i = 0; i < 8; ++i) d[i] = static_cast<unsigned char>(text[i] - '0');
  return d;
}

std::string text(const Digits &d) {
  std::string s;
  for (unsigned char v : d) s += static_cast<char>('0' + v);
  return s;
}

constexpr const char *X9 = "XXXXXXXXX0";

// ---------------------------------------------------------------------------
// checksum
// ---------------------------------------------------------------------------

struct SumCase {
  const char *knr;
  const char *weights;
  const char *mask;
  char direction;
  int variant;
  int expected;
  const char *note;
};

const SumCase kSumCases[] = {
    {"0000000018", "2121212120", X9, 'R', 1, 2, "method 00 worked example"},
    {"9999999999", "2121212120", "0000000000", 'R', 0, 0, "empty mask"},
    {"1000000000", "23456789A0", X9, 'R', 0, 10, "A is 10: position 1 weighted 10 from the right"},
    {"0100000000", "23456789B0", X9, 'R', 0, 9, "position 2 takes the eighth weight, 9"},
    {"1000000000", "B000000000", "X000000000", 'L', 0, 11, "B is 11"},
    {"9000000000", "Z000000000", "X000000000", 'L', 0, 315, "Z is 35"},
    {"9000000000", "Z000000000", "X000000000", 'L', 1, 9, "digit sum of 315 taken once"},
    {"9000000000", "Z000000000", "X000000000", 'L', 2, 5, "unit digit of 315"},
    {"0000000099", "2121212120", "XXXXXXXXXX", 'R', 1, 18, "9*2=18 -> 9, 9*1=9"},
    {"1200000000", "3400000000", "XX00000000", 'L', 0, 11, "1*3+2*4 from the left"},
    {"1200000000", "3400000000", "XX00000000", 'R', 0, 10, "from the right position 2 gets 3"},
    {"1234567890", "1111111111", "0X0X0X0X0X", 'L', 0, 2 + 4 + 6 + 8 + 0, "mask selects"},
    // Variant 3: (w * (d + 1)) mod 11; leading zeros in visiting order take
    // no weight, zeros after the first significant digit do.
    {"0010000000", "1234567890", X9, 'L', 3, 2 + 2 + 3 + 4 + 5 + 6 + 7,
     "positions 1, 2 skipped; position 3 weight 1, position 4 weight 2"},
    {"0010000000", "1234567890", X9, 'R', 3, 2 + 2 + 3,
     "positions 9..4 skipped from the right; position 3 weight 1"},
    {"0000000009", "9000000000", "XXXXXXXXXX", 'R', 3, 90 % 11, "(9*(9+1)) mod 11 = 2"},
    {"0000000000", "1234567890", "XXXXXXXXXX", 'L', 3, 0, "no significant digit: nothing"},
};

// MOD 97-10 against the schoolbook reading: letters written out as their two
// digits, then the remainder carried one digit at a time.  Every fourth text
// is long runs of digits, now and then broken by a letter or by the
// characters beside the digits ('/' and ':'), which is where a reading of
// several digits at once could go wrong.
TEST(Mod97, AgreesWithDigitByDigitDivision) {
  const std::string alphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcxyz -";
  const std::string mostly_digits = std::string(20, '0') + "123456789123456789/:AZ";
  std::mt19937 rng(97);
  for (int n = 0; n < 20000; n++) {
    std::string text(rng() % 80, '0');
    for (char &ch : text) {
      if (n % 4 == 0)
        ch = rng() % 16 ? "0123456789"[rng() % 10] : mostly_digits[rng() % mostly_digits.size()];
      else
        ch = alphabet[rng() % (n % 3 ? 40 : alphabet.size())];
    }
    const int rem = static_cast<int>(rng() % 97);
    int want = rem;
    for (char ch : text) {
      std::string digits;
      if (ch >= '0' && ch <= '9') digits = ch;
      else if ((ch | 0x20) >= 'a' && (ch | 0x20) <= 'z') digits = std::to_string(10 + (ch | 0x20) - 'a');
      else { want = -1; break; }
      for (char d : digits) want = (want * 10 + (d - '0')) % 97;
    }
    ASSERT_EQ(mod97(text, rem), want) << text << " from " << rem;
  }
  EXPECT_EQ(mod97("370400440532013000DE89"), 1);  // DE89 3704 0044 0532 0130 00
}

// all_digits over a text of known length reads eight characters at a time:
// compared with a reading one character at a time, on runs of digits broken
// now and then by their neighbours '/' and ':', a NUL or a high byte.
TEST(AllDigits, AgreesWithACharacterByCharacterReading) {
  const std::string breakers("/:\0\xb0" "A", 5);
  std::mt19937 rng(8);
  for (int n = 0; n < 20000; n++) {
    std::string text(rng() % 40, '0');
    for (char &ch : text)
      ch = rng() % 24 ? static_cast<char>('0' + rng() % 10) : breakers[rng() % breakers.size()];
    bool want = true;
    for (char ch : text) want = want && ch >= '0' && ch <= '9';
    ASSERT_EQ(all_digits(std::string_view(text)), want) << text;
  }
}

TEST(CheckDigitChecksum, WorkedSums) {
  for (const SumCase &c : kSumCases) {
    const Digits d = digits(c.knr);
    EXPECT_EQ(checksum(d.data(), c.weights, c.mask, c.direction, c.variant), c.expected)
        << c.knr << " " << c.weights << " " << c.mask << " " << c.direction << c.variant << ": "
        << c.note;
  }
}

TEST(CheckDigitChecksum, ShortPatternsEndEarlyInsteadOfReadingOn) {
  const Digits d = digits("1111111111");
  // Only the positions the mask names take part; missing weights count 0.
  EXPECT_EQ(checksum(d.data(), "2", "XXX", 'L', 0), 2);
  EXPECT_EQ(checksum(d.data(), "2345", "", 'R', 0), 0);
  EXPECT_EQ(checksum(d.data(), "", "XXXXXXXXXX", 'L', 1), 0);
}

TEST(CheckDigitChecksum, DoesNotChangeTheDigits) {
  Digits d = digits("9876543210");
  checksum(d.data(), "1231231230", X9, 'L', 3);
  EXPECT_EQ(text(d), "9876543210");
}

// ---------------------------------------------------------------------------
// Small helpers
// ---------------------------------------------------------------------------

TEST(CheckDigitHelpers, CheckX) {
  const Digits d = digits("0123456789");
  EXPECT_EQ(check_x(9, d.data(), 10), '1');
  EXPECT_EQ(check_x(0, d.data(), 1), '1');
  EXPECT_EQ(check_x(8, d.data(), 10), '0');
  EXPECT_EQ(check_x(10, d.data(), 10), '0');
  EXPECT_EQ(check_x(11, d.data(), 10), '0');
  EXPECT_EQ(check_x(-1, d.data(), 10), '0');
  // Positions outside 1..10 never match (and are not read).
  EXPECT_EQ(check_x(0, d.data(), 0), '0');
  EXPECT_EQ(check_x(0, d.data(), 11), '0');
  const Digits ten = digits("0000000000");
  EXPECT_EQ(check_x(10, ten.data(), 10), '0');
}

TEST(CheckDigitHelpers, Quersumme) {
  EXPECT_EQ(quersumme(0), 0);
  EXPECT_EQ(quersumme(7), 7);
  EXPECT_EQ(quersumme(9), 9);
  EXPECT_EQ(quersumme(10), 1);
  EXPECT_EQ(quersumme(18), 9);
  EXPECT_EQ(quersumme(99), 18);
  EXPECT_EQ(quersumme(315), 9);
  EXPECT_EQ(quersumme(8925), 24);
}

TEST(CheckDigitHelpers, Vl9) {
  const Digits d = digits("0185125434");
  EXPECT_EQ(vl9(d.data(), 'l'), 185125434u);
  EXPECT_EQ(vl9(d.data(), 'f'), 18512543u);
  EXPECT_EQ(vl9(d.data(), 'x'), 18512543u);  // any other selector: the prefix
  const Digits nines = digits("9999999999");
  EXPECT_EQ(vl9(nines.data(), 'l'), 999999999u);
  EXPECT_EQ(vl9_char("0185125434", 'l'), 185125434u);
  EXPECT_EQ(vl9_char("0185125434", 'f'), 18512543u);
  EXPECT_EQ(vl9_char("9999999990", 'f'), 999999999u);
}

TEST(CheckDigitHelpers, AddZeros) {
  Digits d = digits("0012345678");
  EXPECT_EQ(add_zeros(d.data(), 2), '1');
  EXPECT_EQ(text(d), "1234567800");

  Digits e = digits("0112345678");
  EXPECT_EQ(add_zeros(e.data(), 2), '0');
  EXPECT_EQ(text(e), "0112345678");

  Digits f = digits("0000000001");
  EXPECT_EQ(add_zeros(f.data(), 9), '1');
  EXPECT_EQ(text(f), "1000000000");

  Digits g = digits("0001234567");
  EXPECT_EQ(add_zeros(g.data(), 4), '0');
  EXPECT_EQ(text(g), "0001234567");
  EXPECT_EQ(add_zeros(g.data(), 3), '1');
  EXPECT_EQ(text(g), "1234567000");

  // Shift widths outside 1..9 are refused and change nothing.
  Digits h = digits("0000000000");
  EXPECT_EQ(add_zeros(h.data(), 0), '0');
  EXPECT_EQ(add_zeros(h.data(), 10), '0');
  EXPECT_EQ(text(h), "0000000000");
}

TEST(CheckDigitHelpers, AddZerosNoCheck) {
  Digits d = digits("1234567890");
  EXPECT_EQ(add_zeros_no_check(d.data(), 2), '1');
  EXPECT_EQ(text(d), "3456789000");
  Digits e = digits("1234567890");
  EXPECT_EQ(add_zeros_no_check(e.data(), 0), '1');
  EXPECT_EQ(text(e), "1234567890");
  EXPECT_EQ(add_zeros_no_check(e.data(), 12), '1');  // everything shifted out
  EXPECT_EQ(text(e), "0000000000");
}

TEST(CheckDigitHelpers, PowOfTen) {
  EXPECT_EQ(pow_of_ten(-5), 1);
  EXPECT_EQ(pow_of_ten(0), 1);
  EXPECT_EQ(pow_of_ten(1), 10);
  EXPECT_EQ(pow_of_ten(2), 100);
  EXPECT_EQ(pow_of_ten(3), 1000);
  EXPECT_EQ(pow_of_ten(6), 1000000);
  EXPECT_EQ(pow_of_ten(8), 100000000);
  EXPECT_EQ(pow_of_ten(9), 1000000000);
  // 10^10 does not fit: the largest power that does instead of an overflow.
  EXPECT_EQ(pow_of_ten(10), 1000000000);
  EXPECT_EQ(pow_of_ten(40), 1000000000);
}

// ---------------------------------------------------------------------------
// ESER procedure
// ---------------------------------------------------------------------------

struct EserCase {
  const char *blz;
  const char *knr;
  int form;
  char expected;
  const char *note;
};

const EserCase kEserCases[] = {
    {"13051172", "0043001500", 8, '1',
     "K=4, P=3, rest 1500; old 1172431500, sum 123, r=2, w=10, k=3"},
    {"13051172", "0043001501", 8, '0', "sum 123+2=125, r=4, 4+10k=10 mod 11 gives k=5"},
    {"13051172", "0042001505", 8, '1', "sum 133, r=1, 1+10k=10 mod 11 gives k=2"},
    {"13051172", "0043001505", 8, '0', "k=2"},
    {"16052072", "0382432256", 9, '1',
     "K=3, T=8, P=2; old 208232432256 (T for b7), sum 161, r=7, w=7, k=2"},
    {"16052072", "0381432256", 9, '0', "same sum, k=2, P=1"},
    // Empty rest: P is the last digit and weighted 2.  K*4=4, 4+2k=10: k=3.
    {"00000000", "0000000013", 8, '1', "K at 9, P at 10: P weighted 2, k=3"},
    {"00000000", "0000000017", 8, '0', "k=3"},
    // The zero skip runs to the end of the ten digits, so a rest of zeros is
    // empty as well: old number K, P; K*4=4, w=2, 4+2k=10: k=3.
    {"00000000", "0000001300", 8, '1', "rest 00 is skipped whole: P weighted 2, k=3"},
    {"00000000", "0000001600", 8, '0', "k=3"},
    {"13051172", "0030000000", 8, '0',
     "K=3, P=0, rest empty; old 1172 3 P, sum 82, r=5, w=2, k=8"},
    {"13051172", "0038000000", 8, '1', "same sum, k=8=P"},
    // K=3 at 9: 3*4=12, r=1, 1+2k=10 needs k=10: no check digit exists.
    {"00000000", "0000000030", 8, '9', "k=10"},
    {"00000000", "0000000039", 8, '9', "k=10 whatever P is"},
    {"00000000", "0000000000", 8, '0', "no significant digit"},
    {"00000000", "0000000000", 9, '0', "no significant digit"},
    // Too short to hold the check digit.
    {"99999999", "0000000005", 8, '0', "K is the last digit, no P"},
    {"99999999", "0000000051", 9, '0', "K and T only, no P"},
};

TEST(CheckDigitEser, WorkedNumbers) {
  for (const EserCase &c : kEserCases) {
    const auto b = blz_digits(c.blz);
    const Digits d = digits(c.knr);
    EXPECT_EQ(eser_system(b.data(), d.data(), c.form), c.expected)
        << c.blz << " " << c.knr << " form " << c.form << ": " << c.note;
  }
}

TEST(CheckDigitEser, LongNumbersStillGiveAnAnswer) {
  // Outside the lengths methods 52 and 53 pass the result has no meaning,
  // but it is one of the result characters and nothing is read out of range.
  const auto b = blz_digits("99999999");
  for (const char *k : {"1234567890", "9999999999", "1000000000", "1000000009"}) {
    const Digits d = digits(k);
    for (int form : {8, 9}) {
      const char r = eser_system(b.data(), d.data(), form);
      EXPECT_TRUE(r == '0' || r == '1' || r == '9') << k << " form " << form;
    }
  }
}

// ---------------------------------------------------------------------------
// Iterated transformation
// ---------------------------------------------------------------------------

constexpr const char *kTable = "0159374826017698325401846295730123456789";

TEST(CheckDigitTransformation, Sums) {
  const struct {
    const char *knr;
    int expected;
    const char *note;
  } cases[] = {
      {"0000000000", 0, "all zero"},
      {"0000000025", 5, "d9=2 in row 1 is 5; d10 not taken"},
      {"1111111110", 9, "every row keeps 1"},
      {"2222222220", 5 + 7 + 8 + 2 + 5 + 7 + 8 + 2 + 5, "rows 1,2,3,4,1,2,3,4,1 of 2"},
      {"0000009990", 3 + 4 + 6 + 0, "9 in rows 1 (6), 2 (4), 3 (3)"},
      {"9000000000", 6, "position 1 in row 1"},
  };
  for (const auto &c : cases) {
    const Digits d = digits(c.knr);
    EXPECT_EQ(transformation(d.data(), "1234123410", X9, kTable, 'R'), c.expected)
        << c.knr << ": " << c.note;
  }
}

TEST(CheckDigitTransformation, UsedByMethod29) {
  const unsigned char blz[8] = {};
  Digits zero = digits("0000000000");
  EXPECT_EQ(check_knr(blz, zero.data(), 29), '1');
  Digits a = digits("0000000025");
  EXPECT_EQ(check_knr(blz, a.data(), 29), '1');
  Digits b = digits("0000000027");
  EXPECT_EQ(check_knr(blz, b.data(), 29), '0');
  Digits c = digits("2222222221");  // sum 49, check digit 1
  EXPECT_EQ(check_knr(blz, c.data(), 29), '1');
  EXPECT_EQ(check_knr(blz, c.data(), 27), '1');  // d1 not 0: as method 29
}

// ---------------------------------------------------------------------------
// Method-87 exception procedure
// ---------------------------------------------------------------------------

TEST(CheckDigitMethod87a, NoDigitsInPositions4To9AcceptsOnly0And5) {
  for (int last = 0; last <= 9; ++last) {
    Digits d = digits("1230000000");
    d[9] = static_cast<unsigned char>(last);
    EXPECT_EQ(method_87_a(d.data()), (last == 0 || last == 5) ? '1' : '0') << last;
  }
}

TEST(CheckDigitMethod87a, WorkedNumbers) {
  const struct {
    const char *knr;
    char expected;
    const char *note;
  } cases[] = {
      // d9=1 only: start 9, c2=1; 1->6 with c2!=d2 and c2=1: d2=1, a5=-6 -> 4;
      // TAB2[4]=8.  d4=0, so 8-5=3 counts as well.
      {"0000000018", '1', "p=8"},
      {"0000000013", '1', "p-5=3 since d4=0"},
      {"0000000010", '0', "neither 8 nor 3"},
      // 1,2,3,0,0,0 at positions 4-9: a5 runs 6, 8, 5, 10, 5, 10 -> 0; d2=1:
      // TAB2[0]=7.  d4 is 1, so no second chance.
      {"0001230007", '1', "p=7"},
      {"0001230002", '0', "d4 not 0: 7 only"},
  };
  for (const auto &c : cases) {
    const Digits d = digits(c.knr);
    EXPECT_EQ(method_87_a(d.data()), c.expected) << c.knr << ": " << c.note;
  }
}

TEST(CheckDigitMethod87a, LeavesTheDigitsAlone) {
  Digits d = digits("0001230007");
  method_87_a(d.data());
  EXPECT_EQ(text(d), "0001230007");
}

// ---------------------------------------------------------------------------
// General-ledger procedure
// ---------------------------------------------------------------------------

TEST(CheckDigitSachkonten, FirstThenSecondSum) {
  // d3=9: S1 = 9*8 = 72, r=6, P=5.  With d1=1, S2 = 72 + 1*10 = 82, r=5, P=6.
  const struct {
    const char *knr;
    char expected;
  } cases[] = {
      {"0090000005", '1'},  // both sums give 5
      {"1090000005", '1'},  // first sum
      {"1090000006", '1'},  // fails the first, passes the second
      {"1090000007", '0'},
  };
  for (const auto &c : cases) {
    const Digits d = digits(c.knr);
    EXPECT_EQ(sachkonten(d.data()), c.expected) << c.knr;
  }
}

}  // namespace
