// One account number each method accepts and one it refuses, for all 145
// method bytes.  Every expectation was worked out by hand from the method's
// definition; the note gives the arithmetic (d1..d10 are the digits, S the
// weighted sum, P the expected check digit).
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "pluvar.h"

namespace {

unsigned char method_byte(const std::string &name) {
  if (name[0] >= '0' && name[0] <= '9') return (name[0] - '0') * 10 + (name[1] - '0');
  return 100 + 10 * (name[0] - 'A') + (name[1] - '0');
}

char check(const std::string &method, const char *account, const char *blz = "00000000") {
  unsigned char knr[10];
  unsigned char b[8];
  for (int i = 0; i < 10; ++i) knr[i] = account[i] - '0';
  for (int i = 0; i < 8; ++i) b[i] = blz[i] - '0';
  return check_knr(b, knr, method_byte(method));
}

struct Case {
  const char *method;
  const char *knr;
  char expected;
  const char *blz;
  const char *note;
};

constexpr const char *kZero = "00000000";

// Two rows per method: the first accepted, the second refused.  Methods 09
// and 12 decide nothing ("9"); 83 and 91 answer "9" instead of refusing.
const Case kCases[] = {
    {"00", "0000000018", '1', kZero, "d9*2=2, P=8"},
    {"00", "0000000019", '0', kZero, "P=8"},
    {"01", "0000000017", '1', kZero, "d9*3=3, P=7"},
    {"01", "0000000018", '0', kZero, "P=7"},
    {"02", "0000000019", '1', kZero, "S=2, r=2, P=9"},
    {"02", "0000000230", '0', kZero, "S=3*2+2*3=12, r=1 admits no check digit"},
    {"03", "0000000018", '1', kZero, "S=2, P=8"},
    {"03", "0000000017", '0', kZero, "P=8"},
    {"04", "0000000019", '1', kZero, "S=2, P=9"},
    {"04", "0000000010", '0', kZero, "P=9"},
    {"05", "0000000013", '1', kZero, "d9*7=7, P=3"},
    {"05", "0000000017", '0', kZero, "P=3"},
    {"06", "0000000230", '1', kZero, "S=12, r=1 gives P=0"},
    {"06", "0000000018", '0', kZero, "P=9"},
    {"07", "0000000019", '1', kZero, "S=2, P=9"},
    {"07", "0000000012", '0', kZero, "P=9"},
    {"08", "0000060004", '1', kZero, "prefix 6000; method 00: d6*1=6, P=4"},
    {"08", "0000060000", '0', kZero, "method 00 wants 4"},
    {"09", "0000000018", '9', kZero, "never checked"},
    {"09", "0000000019", '9', kZero, "never checked"},
    {"10", "0000000019", '1', kZero, "S=2, P=9"},
    {"10", "0000000018", '0', kZero, "P=9"},
    {"11", "0000000069", '1', kZero, "S=6*2=12, r=1 gives 9"},
    {"11", "0000000060", '0', kZero, "P=9"},
    {"12", "0000000018", '9', kZero, "never checked"},
    {"12", "0000000019", '9', kZero, "never checked"},
    {"13", "0100000900", '1', kZero, "d2*1=1, P=9 at pos 8"},
    {"13", "0100000800", '0', kZero, "P=9 at pos 8; d2 not 0, no second variant"},
    {"14", "0000000019", '1', kZero, "S=2, P=9"},
    {"14", "0000000018", '0', kZero, "P=9"},
    {"15", "0000000019", '1', kZero, "S=2, P=9"},
    {"15", "0000000011", '0', kZero, "P=9"},
    {"16", "0000000066", '1', kZero, "S=12, r=1: P=d9=6"},
    {"16", "0000000065", '0', kZero, "r=1: P=d9=6"},
    {"17", "0500000600", '1', kZero, "S=5, r=4, P=6 at pos 8"},
    {"17", "0500000500", '0', kZero, "P=6 at pos 8"},
    {"18", "0000000017", '1', kZero, "d9*3=3, P=7"},
    {"18", "0000000013", '0', kZero, "P=7"},
    {"19", "0000000019", '1', kZero, "S=2, P=9"},
    {"19", "0000000010", '0', kZero, "P=9"},
    {"20", "0000000019", '1', kZero, "S=2, P=9"},
    {"20", "0000000017", '0', kZero, "P=9"},
    {"21", "0000000991", '1', kZero, "S=9+9=18 -> 9, P=1"},
    {"21", "0000000992", '0', kZero, "P=1 (method 00 would want 2)"},
    {"22", "0000000048", '1', kZero, "(4*3) mod 10=2, P=8"},
    {"22", "0000000049", '0', kZero, "P=8"},
    {"23", "0000019000", '1', kZero, "d6*2=2, P=9 at pos 7"},
    {"23", "0000018000", '0', kZero, "P=9 at pos 7"},
    {"24", "0000000012", '1', kZero, "d9 first non-zero: (1*(1+1)) mod 11=2, P=2"},
    {"24", "0000000013", '0', kZero, "P=2"},
    {"25", "0100000002", '1', kZero, "d2*9=9, r=9, P=2"},
    {"25", "0100000003", '0', kZero, "P=2"},
    {"26", "1000000900", '1', kZero, "no shift; d1*2=2, P=9 at pos 8"},
    {"26", "1000000800", '0', kZero, "P=9 at pos 8"},
    {"27", "1000000009", '1', kZero, "d1 not 0: transformation row 1 of 1 is 1, P=9"},
    {"27", "0000000019", '0', kZero, "d1=0: method 00 wants 8"},
    {"28", "0000001900", '1', kZero, "d7*2=2, P=9 at pos 8"},
    {"28", "0000001800", '0', kZero, "P=9 at pos 8"},
    {"29", "0000000025", '1', kZero, "row 1 of 2 is 5, P=5"},
    {"29", "0000000027", '0', kZero, "P=5"},
    {"30", "0900000018", '1', kZero, "d2 weight 0; d9*2=2, P=8"},
    {"30", "0000000019", '0', kZero, "P=8"},
    {"31", "0000000019", '1', kZero, "d9*9=9, P=r=9"},
    {"31", "0000000018", '0', kZero, "P=9"},
    {"32", "0000000019", '1', kZero, "S=2, P=9"},
    {"32", "0000000018", '0', kZero, "P=9"},
    {"33", "0000000019", '1', kZero, "S=2, P=9"},
    {"33", "0000000018", '0', kZero, "P=9"},
    {"34", "0000001900", '1', kZero, "d7*2=2, P=9 at pos 8"},
    {"34", "0000001800", '0', kZero, "P=9 at pos 8"},
    {"35", "0000000012", '1', kZero, "S=2, P=r=2"},
    {"35", "0000000019", '0', kZero, "P=2"},
    {"36", "0000000019", '1', kZero, "S=2, P=9"},
    {"36", "0000000011", '0', kZero, "P=9"},
    {"37", "0000000019", '1', kZero, "S=2, P=9"},
    {"37", "0000000018", '0', kZero, "P=9"},
    {"38", "0000000019", '1', kZero, "S=2, P=9"},
    {"38", "0000000018", '0', kZero, "P=9"},
    {"39", "0000000019", '1', kZero, "S=2, P=9"},
    {"39", "0000000018", '0', kZero, "P=9"},
    {"40", "0000000019", '1', kZero, "S=2, P=9"},
    {"40", "0000000012", '0', kZero, "P=9"},
    {"41", "1009000001", '1', kZero, "d4=9: positions 4-9 only, 9*1=9, P=1"},
    {"41", "0000000019", '0', kZero, "method 00 wants 8"},
    {"42", "0000000019", '1', kZero, "S=2, P=9"},
    {"42", "0000000018", '0', kZero, "P=9"},
    {"43", "0000000019", '1', kZero, "d9*1=1, P=9"},
    {"43", "0000000011", '0', kZero, "P=9"},
    {"44", "0000000019", '1', kZero, "S=2, P=9"},
    {"44", "0000000018", '0', kZero, "P=9"},
    {"45", "1000000008", '1', kZero, "method 00: d1*2=2, P=8"},
    {"45", "1000000009", '0', kZero, "P=8"},
    {"46", "0000001900", '1', kZero, "d7*2=2, P=9 at pos 8"},
    {"46", "0000001800", '0', kZero, "P=9 at pos 8"},
    {"47", "0000000190", '1', kZero, "d8*2=2, P=9 at pos 9"},
    {"47", "0000000180", '0', kZero, "P=9 at pos 9"},
    {"48", "0000000190", '1', kZero, "d8*2=2, P=9 at pos 9"},
    {"48", "0000000180", '0', kZero, "P=9 at pos 9"},
    {"49", "0000000017", '1', kZero, "00 wants 8, 01 wants 7"},
    {"49", "0000000010", '0', kZero, "00 wants 8, 01 wants 7"},
    {"50", "0000019000", '1', kZero, "d6*2=2, P=9 at pos 7"},
    {"50", "1000000000", '0', kZero, "d1*7=7, P=4 at pos 7; d1 not 0, no shift"},
    {"51", "0000000015", '1', kZero, "32, 33 want 9; variant 3 wants 8; C7 on 2 gives 5"},
    {"51", "0000000017", '0', kZero, "9, 9, 8 fail and d10=7 ends"},
    {"52", "0043001500", '1', "13051172", "ESER: K=4, P=3, S=123, r=2, w=10, k=3"},
    {"52", "0044001500", '0', "13051172", "same sum, k=3, P=4"},
    {"53", "0382432256", '1', "16052072", "ESER: K=3, T=8, P=2, S=161, r=7, w=7, k=2"},
    {"53", "0383432256", '0', "16052072", "same sum, k=2, P=3"},
    {"54", "4900000019", '1', kZero, "S=2, P=9"},
    {"54", "4900000018", '0', kZero, "P=9"},
    {"55", "0000000019", '1', kZero, "S=2, P=9"},
    {"55", "0000000018", '0', kZero, "P=9"},
    {"56", "9000000048", '1', kZero, "S=9*4+4*2=44, r=0, d1=9: P=8"},
    {"56", "0000000018", '0', kZero, "S=2, P=9"},
    {"57", "5100000003", '1', kZero, "block 51: 5*1+1*2=7, P=3"},
    {"57", "3230000001", '0', kZero, "block 32: 3*1+2*2+1*1=8, P=2 at pos 3"},
    {"58", "0000100005", '1', kZero, "d5*6=6, P=5"},
    {"58", "0000100004", '0', kZero, "P=5"},
    {"59", "0012345678", '1', kZero, "d1=d2=0"},
    {"59", "1000000009", '0', kZero, "method 00 wants 8"},
    {"60", "0000000018", '1', kZero, "S=2, P=8"},
    {"60", "0000000019", '0', kZero, "P=8"},
    {"61", "0000001080", '1', kZero, "d9=8: d9*1+d7*2=10, P=0 at pos 8"},
    {"61", "0000001700", '0', kZero, "d7*2=2, P=8 at pos 8"},
    {"62", "0000001800", '1', kZero, "d7*2=2, P=8 at pos 8"},
    {"62", "0000001900", '0', kZero, "P=8 at pos 8"},
    {"63", "0000000117", '1', kZero, "variant 1 wants 0 at pos 8; variant 2: 2+1=3, P=7"},
    {"63", "1000001800", '0', kZero, "d1 not 0"},
    {"64", "0000019000", '1', kZero, "d6*2=2, P=9 at pos 7"},
    {"64", "0000018000", '0', kZero, "P=9 at pos 7"},
    {"65", "0000001990", '1', kZero, "d9=9: 9*1+1*2=11, P=9 at pos 8"},
    {"65", "0000001900", '0', kZero, "d7*2=2, P=8 at pos 8"},
    {"66", "0000000001", '1', kZero, "S=0, r=0 gives P=1"},
    {"66", "0000000018", '0', kZero, "S=2, P=9"},
    {"67", "0000001800", '1', kZero, "d7*2=2, P=8 at pos 8"},
    {"67", "0000001900", '0', kZero, "P=8 at pos 8"},
    {"68", "0010000000", '1', kZero, "00 wants 8; without d3, d4: S=0, P=0"},
    {"68", "0010000009", '0', kZero, "00 wants 8, second wants 0"},
    {"69", "0000001900", '1', kZero, "method 28: d7*2=2, P=9 at pos 8"},
    {"69", "0000001800", '0', kZero, "28 wants 9; 29: 1 (row 3) + 5 (row 2 of 8), P=4"},
    {"70", "1005000009", '1', kZero, "d4=5: positions 4-9, 5*7=35, r=2, P=9"},
    {"70", "0000000018", '0', kZero, "S=2, P=9"},
    {"71", "0000001001", '1', kZero, "d7*1=1, r=1 gives 1"},
    {"71", "0000001000", '0', kZero, "P=1"},
    {"72", "0000000018", '1', kZero, "S=2, P=8"},
    {"72", "0000000019", '0', kZero, "P=8"},
    {"73", "0001000000", '1', kZero, "variant 1 wants 9; positions 5-9 sum 0, P=0"},
    {"73", "0001000005", '0', kZero, "9, 0, 0"},
    {"74", "0000100003", '1', kZero, "00: S=2 wants 8; six digits: 5-2=3"},
    {"74", "0000100004", '0', kZero, "8, 3, method 04 wants 5"},
    {"75", "0100008000", '1', kZero, "d2*2=2, P=8 at pos 7"},
    {"75", "0100007000", '0', kZero, "P=8 at pos 7"},
    {"76", "0000100006", '1', kZero, "4 wants 4 at pos 8; shifted 0010000600: 1*6, P=6"},
    {"76", "0000010400", '0', kZero, "3 at pos 8; 0001040000: 6; 0104000000: 5; no 00"},
    {"77", "0000000018", '1', kZero, "S1=8+2=10; S2=8*5+1*4=44"},
    {"77", "0000000017", '0', kZero, "S1=9, S2=39"},
    {"78", "0000000018", '1', kZero, "method 00"},
    {"78", "0000000019", '0', kZero, "method 00 wants 8"},
    {"79", "1000000090", '1', kZero, "d1=1: d1*1=1, P=9 at pos 9"},
    {"79", "1000000080", '0', kZero, "P=9 at pos 9"},
    {"80", "0000000015", '1', kZero, "C10 wants 8, C7 on 2 gives 5"},
    {"80", "0000000019", '0', kZero, "8, 5"},
    {"81", "1090000006", '1', kZero, "d3=9: S1=72 wants 5; S2=72+10=82, r=5, P=6"},
    {"81", "0000000018", '0', kZero, "method 32 wants 9"},
    {"82", "0099000008", '1', kZero, "d3=d4=9: method 10, 9*8+9*7=135, r=3, P=8"},
    {"82", "0000000018", '0', kZero, "method 33 wants 9"},
    {"83", "0000000015", '1', kZero, "32, 33 want 9; C7 gives 5"},
    {"83", "0000000017", '9', kZero, "9, 9, 5 all fail: not refused"},
    {"84", "0000000018", '1', kZero, "33 wants 9, C7 5, C10 (variant 0) 8"},
    {"84", "0000000017", '0', kZero, "9, 5, 8"},
    {"85", "0099000008", '1', kZero, "d3=d4=9: 135, r=3, P=8"},
    {"85", "0099000300", '0', kZero, "135+3*3=144, r=1 admits no check digit"},
    {"86", "0000000018", '1', kZero, "S=2, P=8"},
    {"86", "0000000017", '0', kZero, "8, then 32 wants 9"},
    {"87", "0001230007", '1', kZero, "exception procedure: a5=0, d2=1, TAB2[0]=7"},
    {"87", "0000000010", '0', kZero, "procedure 8 or 3, 33 wants 9, C7 5, C11 9"},
    {"88", "0090000005", '1', kZero, "d3=9: 9*8=72, r=6, P=5"},
    {"88", "0000000018", '0', kZero, "P=9"},
    {"89", "0002000006", '1', kZero, "seven digits: qs(2*7)=5, r=5, P=6"},
    {"89", "0001000003", '0', kZero, "1*7=7, P=4"},
    {"90", "0000000017", '1', kZero, "9, 9, C7 5, C9 7"},
    {"90", "0000000010", '0', kZero, "9, 9, 5, 7, 8, 5"},
    {"91", "0000014000", '1', kZero, "variant 1 wants 9; variant 2: 1*7=7, P=4 at pos 7"},
    {"91", "0000018000", '9', kZero, "9, 4, 6, 9 all fail: not refused"},
    {"92", "0000000017", '1', kZero, "d9*3=3, P=7"},
    {"92", "0000000018", '0', kZero, "P=7"},
    {"93", "1000010000", '1', kZero, "d1*6=6: C11 wants 5, C7 gives 1 at pos 6"},
    {"93", "1000000000", '0', kZero, "5, 1 at pos 6"},
    {"94", "0000000019", '1', kZero, "d9*1=1, P=9"},
    {"94", "0000000018", '0', kZero, "P=9"},
    {"95", "0001999999", '1', kZero, "prefix 199999 in the first range"},
    {"95", "0300000001", '0', kZero, "prefix 30000000; 06: 3*3=9, P=2"},
    {"96", "0001300000", '1', kZero, "19 wants 8, 00 wants 3; prefix 130000"},
    {"96", "0099400000", '0', kZero, "19 wants 6, 00 wants 4; prefix 9940000"},
    {"97", "0000000110", '1', kZero, "11 mod 11=0"},
    {"97", "0000000111", '0', kZero, "P=0"},
    {"98", "0000000017", '1', kZero, "d9*3=3, P=7"},
    {"98", "0000000018", '0', kZero, "7, then 32 wants 9"},
    {"99", "0396000000", '1', kZero, "prefix 39600000"},
    {"99", "0000000018", '0', kZero, "method 06 wants 9"},
    {"A0", "0000001003", '1', kZero, "prefix 100: d7*8=8, r=8, P=3"},
    {"A0", "0000001000", '0', kZero, "P=3"},
    {"A1", "0010000008", '1', kZero, "d3*2=2, P=8"},
    {"A1", "0010000009", '0', kZero, "P=8"},
    {"A2", "0000000019", '1', kZero, "00 wants 8, 04 wants 9"},
    {"A2", "0000000017", '0', kZero, "8, 9"},
    {"A3", "0000000019", '1', kZero, "00 wants 8, 10 wants 9"},
    {"A3", "0000000017", '0', kZero, "8, 9"},
    {"A4", "0000000015", '1', kZero, "C11 wants 9, C7 gives 5"},
    {"A4", "0000000010", '0', kZero, "9, 5; 93 on 0000010000: 9, 5 at pos 6"},
    {"A5", "0000000019", '1', kZero, "00 wants 8, 10 wants 9"},
    {"A5", "9000000000", '0', kZero, "00: qs(18)=9 wants 1; d1=9 ends"},
    {"A6", "0800000002", '1', kZero, "d2=8: method 00, 8*1=8, P=2"},
    {"A6", "0000000018", '0', kZero, "method 01 wants 7"},
    {"A7", "0000000018", '1', kZero, "method 00"},
    {"A7", "0000000017", '0', kZero, "8, 8"},
    {"A8", "0000000018", '1', kZero, "C11 wants 9, variant 1 C10 gives 8"},
    {"A8", "0000000017", '0', kZero, "9, 8"},
    {"A9", "0000000019", '1', kZero, "01 wants 7, 06 wants 9"},
    {"A9", "0000000018", '0', kZero, "7, 9"},
    {"B0", "1000000600", '1', kZero, "d8=6 without a check"},
    {"B0", "8000000100", '0', kZero, "d1=8"},
    {"B1", "0000000018", '1', kZero, "05 wants 3, 01 7, 00 8"},
    {"B1", "0000000019", '0', kZero, "3, 7, 8"},
    {"B2", "8000000003", '1', kZero, "d1=8: method 00, qs(16)=7, P=3"},
    {"B2", "0000000018", '0', kZero, "method 02 wants 9"},
    {"B3", "9000000008", '1', kZero, "d1=9: method 06, 9*4=36, r=3, P=8"},
    {"B3", "0000000018", '0', kZero, "method 32 wants 9"},
    {"B4", "9000000001", '1', kZero, "d1=9: method 00, qs(18)=9, P=1"},
    {"B4", "0000000018", '0', kZero, "method 02 wants 9"},
    {"B5", "0000000018", '1', kZero, "05 wants 3; method 00"},
    {"B5", "8000000000", '0', kZero, "05: 8*1=8 wants 2; d1=8 ends"},
    {"B6", "9000000006", '1', kZero, "d1 not 0: method 20, 9*3=27, r=5, P=6"},
    {"B6", "9000000005", '0', kZero, "P=6"},
    {"B7", "0001000009", '1', kZero, "prefix 100000: method 01, 1*1=1, P=9"},
    {"B7", "0001000000", '0', kZero, "P=9"},
    {"B8", "0000000019", '1', kZero, "method 20"},
    {"B8", "0000000018", '0', kZero, "20 wants 9, 29 wants 9; prefix 1"},
    {"B9", "0010000007", '1', kZero, "eight digits: (1*2) mod 11=2, P=2; 2+5=7"},
    {"B9", "0010000003", '0', kZero, "2 or 7"},
    {"C0", "0000000019", '1', kZero, "method 20"},
    {"C0", "0000000018", '0', kZero, "method 20 wants 9"},
    {"C1", "5000000006", '1', kZero, "d1=5: S=5, r=4, P=6"},
    {"C1", "5000000005", '0', kZero, "P=6"},
    {"C2", "0000000048", '1', kZero, "method 22: 2, P=8"},
    {"C2", "0000000010", '0', kZero, "22 wants 7, 00 8, 04 9"},
    {"C3", "9000100005", '1', kZero, "d1=9: method 58, d5*6=6, P=5"},
    {"C3", "0000000019", '0', kZero, "method 00 wants 8"},
    {"C4", "0000000019", '1', kZero, "method 15: S=2, P=9"},
    {"C4", "0000000018", '0', kZero, "P=9"},
    {"C5", "3500000009", '1', kZero, "prefix 350000000: method 00, 6+5=11, P=9"},
    {"C5", "0000099999", '0', kZero, "prefix 9999 lies in no range"},
    {"C6", "1000000007", '1', kZero, "S=0 plus addend 3, P=7"},
    {"C6", "1000000000", '0', kZero, "P=7"},
    {"C7", "1000000007", '1', kZero, "63 refuses d1=1; 06: 1*4=4, P=7"},
    {"C7", "1000000000", '0', kZero, "06 wants 7"},
    {"C8", "0000000019", '1', kZero, "00 wants 8, 04 wants 9"},
    {"C8", "0000000017", '0', kZero, "8, 9, 9"},
    {"C9", "0000000019", '1', kZero, "00 wants 8, 07 wants 9"},
    {"C9", "0000000017", '0', kZero, "8, 9"},
    {"D0", "0000000019", '1', kZero, "method 20"},
    {"D0", "0000000018", '0', kZero, "method 20 wants 9"},
    {"D1", "0000000017", '1', kZero, "S=2+1=3, P=7"},
    {"D1", "0000000018", '0', kZero, "P=7"},
    {"D2", "0001999999", '1', kZero, "method 95: prefix range"},
    {"D2", "0300000000", '0', kZero, "95 (06) wants 2, 00 wants 7, 68 wants 7"},
    {"D3", "1000000009", '1', kZero, "00 wants 8; 27 -> 29: row 1 of 1 is 1, P=9"},
    {"D3", "0000000019", '0', kZero, "00 wants 8, 27 (00) wants 8"},
    {"D4", "1000000009", '1', kZero, "S=2+9=11, P=9"},
    {"D4", "1000000008", '0', kZero, "P=9"},
    {"D5", "0000000018", '1', kZero, "S=2: C11 9, C7 5, C10 8"},
    {"D5", "0000000010", '0', kZero, "9, 5, 8"},
    {"D6", "0000000019", '1', kZero, "method 07 wants 9"},
    {"D6", "0000000010", '0', kZero, "9, 8, 8"},
    {"D7", "0000000012", '1', kZero, "S=2, P=2"},
    {"D7", "0000000018", '0', kZero, "P=2"},
    {"D8", "1000000008", '1', kZero, "d1 not 0: method 00"},
    {"D8", "1000000009", '0', kZero, "method 00 wants 8"},
    {"D9", "0000000017", '1', kZero, "00 wants 8, 10 wants 9, 18 wants 7"},
    {"D9", "0000000016", '0', kZero, "8, 9, 7"},
    {"E0", "0000000011", '1', kZero, "S=2+7=9, P=1"},
    {"E0", "0000000018", '0', kZero, "P=1"},
    {"E1", "0100000005", '1', kZero, "d2*10=10, (10+6) mod 11=5"},
    {"E1", "0100000004", '0', kZero, "P=5"},
    {"E2", "0000000013", '1', kZero, "S=2+5=7, P=3"},
    {"E2", "0000000018", '0', kZero, "P=3"},
    {"E3", "0000000991", '1', kZero, "00 wants 2; method 21 wants 1"},
    {"E3", "0000000019", '0', kZero, "8, 8"},
    {"E4", "0000000018", '1', kZero, "02 wants 9; method 00 accepts"},
    {"E4", "0000000017", '0', kZero, "9, 8"},
};

TEST(CheckDigitTable, EveryMethodAcceptsAndRefusesItsWorkedExample) {
  for (const Case &c : kCases) {
    SCOPED_TRACE(std::string("method ") + c.method + " account " + c.knr + ": " + c.note);
    EXPECT_EQ(check(c.method, c.knr, c.blz), c.expected);
  }
}

TEST(CheckDigitTable, CoversAll145MethodBytesWithTwoRowsEach) {
  std::set<unsigned char> bytes;
  for (size_t i = 0; i + 1 < std::size(kCases); i += 2) {
    ASSERT_STREQ(kCases[i].method, kCases[i + 1].method);
    bytes.insert(method_byte(kCases[i].method));
  }
  EXPECT_EQ(std::size(kCases), 290u);
  EXPECT_EQ(bytes.size(), 145u);
  EXPECT_EQ(*bytes.begin(), 0);
  EXPECT_EQ(*bytes.rbegin(), 144);
}

TEST(CheckDigitTable, ByteBoundaries) {
  EXPECT_EQ(check("E4", "0000000018"), '1');  // byte 144, the last method
  unsigned char knr[10] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 8};
  const unsigned char blz[8] = {};
  EXPECT_EQ(check_knr(blz, knr, 145), '8');
  EXPECT_EQ(check_knr(blz, knr, 200), '8');
  EXPECT_EQ(check_knr(blz, knr, 255), '8');
  EXPECT_EQ(method_byte("A0"), 100);
  EXPECT_EQ(method_byte("E4"), 144);
}

TEST(CheckDigitTable, Methods09And12DecideNothing) {
  const char *accounts[] = {"0000000000", "0000000018", "0000000019", "9999999999",
                            "1234567890", "0185125434", "0000000001"};
  for (const char *a : accounts) {
    EXPECT_EQ(check("09", a), '9') << a;
    EXPECT_EQ(check("12", a), '9') << a;
  }
}

}  // namespace
