// The search mode: query parsing, ranges, matching, hit limit, result codes.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "cli.h"

namespace {

// Splits the search output into hit lines (without "\r\n") and the final
// response line; fails the test when a hit line lacks its line end.
struct SearchOutput {
  std::vector<std::string> hits;
  std::string response;
};

SearchOutput parse(const std::string &out) {
  SearchOutput s;
  size_t pos = 0;
  for (;;) {
    size_t end = out.find("\r\n", pos);
    if (end == std::string::npos) break;
    s.hits.push_back(out.substr(pos, end - pos));
    pos = end + 2;
  }
  s.response = out.substr(pos);
  return s;
}

SearchOutput search(const std::string &query, char allinfo = 0) {
  return parse(call_handler(Search_Main, query, allinfo));
}

struct CountCase {
  const char *query;
  size_t hits;
  char code;
};

// Readable test names: the query's letters and digits.
template <typename Case>
std::string case_name(const ::testing::TestParamInfo<Case> &info) {
  std::string name = std::to_string(info.index) + "_";
  for (const char *p = info.param.query; *p; p++)
    name += (std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_');
  return name;
}

class SearchCounts : public ::testing::TestWithParam<CountCase> {};

TEST_P(SearchCounts, HitsAndCode) {
  const CountCase &c = GetParam();
  SearchOutput s = search(c.query);
  EXPECT_EQ(s.hits.size(), c.hits) << c.query;
  EXPECT_EQ(s.response, std::string("code=") + c.code + "&mode=SEARCH") << c.query;
}

INSTANTIATE_TEST_SUITE_P(
    Edition, SearchCounts,
    ::testing::Values(
        CountCase{"blz=10000000", 1, '1'}, CountCase{"blz=1001", 15, '1'},
        CountCase{"BLZ=1001", 15, '1'}, CountCase{"nam=bundesbank", 30, '9'},
        CountCase{"nam=BundesBank&max=40", 37, '1'}, CountCase{"nam=bundesbank&max=37", 37, '9'},
        CountCase{"nam=bundesbank&max=36", 36, '9'}, CountCase{"zip=10", 30, '9'},
        CountCase{"zip=10&max=9999", 97, '1'}, CountCase{"max=5", 5, '9'},
        CountCase{"max=0", 30, '9'}, CountCase{"blz=99999999", 0, '0'},
        CountCase{"nam=xyzxyz", 0, '0'},
        // The last row of the table is a hit and the limit is reached there.
        CountCase{"blz=87096214&zip=09557&max=1", 1, '1'},
        CountCase{"bic=markdef1100", 1, '1'}, CountCase{"bic=markde&max=9999", 37, '1'}),
    case_name<CountCase>);

struct ErrorCase {
  const char *query;
  char code;
};

class SearchErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(SearchErrors, CodeWithoutHits) {
  const ErrorCase &c = GetParam();
  std::string out = call_handler(Search_Main, c.query, 0);
  EXPECT_EQ(out, std::string("code=") + c.code + "&mode=SEARCH") << c.query;
}

INSTANTIATE_TEST_SUITE_P(
    Parsing, SearchErrors,
    ::testing::Values(
        ErrorCase{"", '6'}, ErrorCase{"blz=123", '8'}, ErrorCase{"blz=123456789", '8'},
        ErrorCase{"blz=12a4", '8'}, ErrorCase{"zip=1", '2'}, ErrorCase{"zip=123456", '2'},
        ErrorCase{"max=10000", '7'}, ErrorCase{"max=a", '7'}, ErrorCase{"nam=ab", '4'},
        ErrorCase{"nam=bank.", '4'}, ErrorCase{"nam=bank1", '4'}, ErrorCase{"loc=ber1", '3'},
        ErrorCase{"loc=be", '3'}, ErrorCase{"bic=cobad", '8'}, ErrorCase{"bic=cobadeff0010", '8'},
        ErrorCase{"bic=coba.eff", '8'},
        // An unknown key sets 6; a failing value check checked later replaces it.
        ErrorCase{"blz=12&foo=1", '8'}, ErrorCase{"foo=1&blz=12", '6'},
        ErrorCase{"foo=1", '6'}, ErrorCase{"nam=bank&nam=kasse", '6'},
        ErrorCase{"bic=cobadeff&bic=dresdeff", '6'},
        // Shape: counts of '&' and '='.
        ErrorCase{"blz", '6'}, ErrorCase{"blz=1001&", '6'}, ErrorCase{"blz==1001", '6'},
        ErrorCase{"a=1&b=2&c=3&d=4&e=5&f=6&g=7&h=8", '6'},
        // The last failing check in the order blz, zip, max, nam, loc, bic wins.
        ErrorCase{"bic=x&blz=1", '8'}, ErrorCase{"blz=1&zip=1", '2'},
        ErrorCase{"loc=a&nam=b", '3'}, ErrorCase{"max=12345&zip=1", '7'}),
    case_name<ErrorCase>);

TEST(Search, EmptyPartEndsExamination) {
  // "blz=1001&&" has two '&' but needs three '='; use a query whose counts
  // fit: an empty part stops the examination, so the key after it is unread.
  SearchOutput s = search("blz=10000000&&nam==x");
  EXPECT_EQ(s.response, "code=1&mode=SEARCH");
  EXPECT_EQ(s.hits.size(), 1u);
}

TEST(Search, HitLineFormats) {
  SearchOutput s = search("blz=10000000");
  ASSERT_EQ(s.hits.size(), 1u);
  EXPECT_EQ(s.hits[0], "blz=10000000&name=Bundesbank&zip=10591&location=Berlin");
  s = search("blz=10000000", 1);
  ASSERT_EQ(s.hits.size(), 1u);
  EXPECT_EQ(s.hits[0], "blz=10000000&name=Bundesbank&zip=10591&location=Berlin&bic=MARKDEF1100");
  // With allinfo a bank without BIC keeps the first format.
  s = search("blz=60050009", 1);
  ASSERT_FALSE(s.hits.empty());
  EXPECT_EQ(s.hits[0].find("&bic="), std::string::npos);
  // The substituted BIC is reported: 25050299 has none of its own.
  s = search("blz=25050299", 1);
  ASSERT_FALSE(s.hits.empty());
  EXPECT_NE(s.hits[0].find("&bic=SPKHDE2HXXX"), std::string::npos);
}

TEST(Search, HitsInTableOrder) {
  SearchOutput s = search("nam=bundesbank&max=40");
  ASSERT_EQ(s.hits.size(), 37u);
  for (size_t i = 1; i < s.hits.size(); i++) EXPECT_LE(s.hits[i - 1].substr(4, 8), s.hits[i].substr(4, 8));
  // "max=5" lists the first five rows of the table.
  s = search("max=5");
  ASSERT_EQ(s.hits.size(), 5u);
  for (size_t i = 0; i < 5; i++) EXPECT_EQ(s.hits[i].substr(4, 8), l[i].blz);
}

// A prefix selects by its digits: postcodes of the eastern regions begin
// with 0, and "zip=01" must select 01000 to 01999, not 10000 to 19999.
TEST(Search, PrefixWithLeadingZeroSelectsByDigits) {
  SearchOutput s = search("zip=01&max=9999");
  ASSERT_FALSE(s.hits.empty());
  for (const std::string &hit : s.hits) {
    size_t z = hit.find("&zip=");
    ASSERT_NE(z, std::string::npos);
    EXPECT_EQ(hit.substr(z + 5, 2), "01") << hit;
  }
  EXPECT_EQ(search("zip=00&max=9999").hits.size(), 0u);
  EXPECT_EQ(search("blz=0100").response, "code=0&mode=SEARCH");
  // Without a leading zero the ranges are as before: 10 selects 10000-10999.
  for (const std::string &hit : search("zip=10&max=9999").hits)
    EXPECT_EQ(hit.substr(hit.find("&zip=") + 5, 2), "10");
}

TEST(Search, PlaceAndNameMatching) {
  // Only ASCII letters are lowercased: an umlaut matches itself in the same case.
  SearchOutput lower = search("loc=m\xfcnchen&max=9999");
  EXPECT_FALSE(lower.hits.empty());
  EXPECT_EQ(search("loc=m\xdcnchen").response, "code=0&mode=SEARCH");
  for (const std::string &hit : lower.hits) {
    std::string place = hit.substr(hit.find("&location=") + 10);
    for (char &ch : place)
      if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    EXPECT_NE(place.find("m\xfcnchen"), std::string::npos) << hit;
  }
  // Blank, hyphen, parentheses and comma are allowed in a name part.
  EXPECT_EQ(search("nam=(alt),-x").response, "code=0&mode=SEARCH");
  // A row without BIC never matches a BIC part.
  EXPECT_EQ(search("blz=60050009&bic=xxx").response, "code=8&mode=SEARCH");
}

TEST(Search, CliExactBytes) {
  CliResult r = run_pluvar_cli({"search", "blz=10000000"});
  EXPECT_EQ(r.out, "blz=10000000&name=Bundesbank&zip=10591&location=Berlin\r\ncode=1&mode=SEARCH");
  EXPECT_EQ(r.status, 1);
  r = run_pluvar_cli({"search", "-allinfo", "nam=bundesbank"});
  EXPECT_EQ(r.status, 9);
  EXPECT_EQ(parse(r.out).hits.size(), 30u);
  r = run_pluvar_cli({"search", "blz=123"});
  EXPECT_EQ(r.out, "code=8&mode=SEARCH");
  EXPECT_EQ(r.status, 8);
}

// An answer of about 300 kB, many times the sink's buffer, against a second
// reading of the directory: every row of the wide table whose name holds
// "spark" in any ASCII letter case, in table order, with the bank's BIC.
TEST(Search, AnswerLargerThanTheSinkBuffer) {
  std::string expected;
  uint32_t hits = 0;
  for (uint32_t i = 0; i < l_size; i++) {
    std::string name = l[i].name, lower;
    for (char ch : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (lower.find("spark") == std::string::npos) continue;
    hits++;
    expected += std::string("blz=") + l[i].blz + "&name=" + name + "&zip=" + l[i].zip +
                "&location=" + l[i].place;
    const char *bic = getBIC_DE(german_current, l[i].blz);
    if (bic && bic[0]) expected += std::string("&bic=") + bic;
    expected += "\r\n";
  }
  ASSERT_LT(hits, 9999u);
  expected += "code=1&mode=SEARCH";
  ASSERT_GT(expected.size(), 4 * sizeof(Sink::buf));
  char code;
  EXPECT_EQ(call_handler(Search_Main, "nam=spark&max=9999", 1, &code), expected);
  EXPECT_EQ(code, '1');
  CliResult r = run_pluvar_cli({"search", "-allinfo", "nam=spark&max=9999"});
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(r.status, 1);
}

}  // namespace
