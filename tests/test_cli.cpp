// The command line: argument forms, mode words, the banner, code 5, the
// query cut, exit status.  These run the built binary and compare exact bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli.h"

namespace {

const char kBanner[] = "Pluvar 3.25.1,  valid 03/03/25 - 06/08/25";

class CommandLine : public ::testing::TestWithParam<CliCase> {};

TEST_P(CommandLine, ExactOutputAndStatus) { expect_cli(GetParam()); }

const std::string kBundesbankHit = "blz=10000000&name=Bundesbank&zip=10591&location=Berlin\r\n";

INSTANTIATE_TEST_SUITE_P(
    Forms, CommandLine,
    ::testing::Values(
        CliCase{{}, "code=5", 5},
        CliCase{{"-v"}, kBanner, 1},
        CliCase{{"-v", "blz=10000000"}, "code=5", 5},
        CliCase{{"-V", "x"}, "code=5", 5},
        CliCase{{"search", "blz=10000000"}, kBundesbankHit + "code=1&mode=SEARCH", 1},
        CliCase{{"SEARCH", "blz=10000000"}, kBundesbankHit + "code=1&mode=SEARCH", 1},
        CliCase{{"Search", "blz=10000000"}, kBundesbankHit + "code=1&mode=SEARCH", 1},
        CliCase{{"search", "-ALLINFO", "blz=10000000"},
                "blz=10000000&name=Bundesbank&zip=10591&location=Berlin&bic=MARKDEF1100\r\n"
                "code=1&mode=SEARCH",
                1},
        CliCase{{"searchsearch", "blz=10000000"}, "code=5", 5},
        CliCase{{"search", "-allinfo", "blz=10000000", "extra"}, "code=5", 5},
        CliCase{{"search", "allinfo", "blz=10000000"}, "code=5", 5},
        CliCase{{"-allinfo", "-allinfo", "blz=10000000"}, "code=5", 5},
        CliCase{{"unknown", "blz=10000000"}, "code=5", 5},
        CliCase{{"", ""}, "code=5", 5},
        CliCase{{"a", "b", "c", "d"}, "code=5", 5}));

// A word is cut to nine characters before it is compared; "search" plus
// three blanks is still nine characters and differs from "search".
TEST(CommandLine, ModeWordCutToNineCharacters) {
  EXPECT_EQ(run_pluvar_cli({"search   x", "blz=10000000"}).out, "code=5");
  EXPECT_EQ(run_pluvar_cli({"search\xff", "blz=10000000"}).out, "code=5");
}

// A long query is cut after its 299th character and the handler judges what
// is left.
TEST(CommandLine, QueryCutAt299Characters) {
  // 295 characters, then "&zip=12": the cut keeps "&zip" only, so the query
  // has one '&' but one '=' and is refused for its shape.
  std::string query = "loc=" + std::string(291, 'a') + "&zip=12";
  EXPECT_EQ(run_pluvar_cli({"search", query}).out, "code=6&mode=SEARCH");
  EXPECT_EQ(run_pluvar_cli({"search", query.substr(0, 299)}).out, "code=6&mode=SEARCH");

  // A place part of 295 letters fills the 299 characters exactly (too long
  // for a place: code 3); what stands beyond the cut changes nothing.
  std::string exact = "loc=" + std::string(295, 'a');
  EXPECT_EQ(run_pluvar_cli({"search", exact}).out, "code=3&mode=SEARCH");
  EXPECT_EQ(run_pluvar_cli({"search", exact + std::string(51, '&')}).out, "code=3&mode=SEARCH");
}

// Whatever bytes arrive, there is one response line, its code is the exit
// status, and nothing goes to standard error.
TEST(CommandLine, HostileArgumentsAlwaysAnswer) {
  std::vector<std::vector<std::string>> cases = {
      {""},
      {std::string(10000, 'x')},
      {"search", std::string(10000, '&')},
      {"search", std::string(10000, '=')},
      {"search", "\x01\x02\x7f\x80\xff"},
      {"search", "-allinfo", std::string("nam=\xe4\xe4\xe4&loc=\xdf\xdf\xdf")},
      {"\xff\xfe", "blz=1"},
  };
  for (const auto &args : cases) {
    CliResult r = run_pluvar_cli(args);
    ASSERT_GE(r.status, 0);
    ASSERT_LE(r.status, 9);
    size_t last = r.out.rfind("code=");
    ASSERT_NE(last, std::string::npos) << r.out;
    EXPECT_EQ(r.out[last + 5] - '0', r.status);
    EXPECT_EQ(r.err, "");
  }
}

TEST(CommandLine, InProcessMatchesProcess) {
  std::vector<std::vector<std::string>> cases = {
      {"-v"}, {"search", "-allinfo", "blz=1001"}, {"search", "zip=01&max=3"}, {}};
  for (const auto &args : cases) {
    CliResult p = run_pluvar_cli(args);
    InProcResult i = run_pluvar_inproc(args);
    EXPECT_EQ(p.out, i.out);
    EXPECT_EQ(p.status, i.status);
  }
}

}  // namespace
