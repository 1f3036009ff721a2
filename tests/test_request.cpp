// The request path: option words in front of the command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli.h"
#include "pluvar.h"

namespace {

std::vector<std::string> with(std::vector<std::string> front, const std::vector<std::string> &rest) {
  front.insert(front.end(), rest.begin(), rest.end());
  return front;
}

// Command lines of every mode whose answers none of the options below changes.
const std::vector<std::vector<std::string>> kLines = {
    {"knr=0532013000&blz=37040044"},
    {"-allinfo", "knr=0532013000&blz=37040044"},
    {"search", "blz=1000000"},
    {"SEARCH", "-ALLINFO", "blz=10000000"},
    {"iban", "ccd=de&blz=37040044&knr=532013000"},
    {"sepa", "-allinfo", "IBN=DE89370400440532013000"},
    {"sepa", "IBN=XX89370400440532013000"},
    {"-v"},
    {"search", "--utf8"},  // the last word is the query, never an option
    {"--json"},
    {"--date", "2025-01-01"},
    {"knr=1&blz=10000000", "extra"},
};

TEST(Request, OptionsWithoutEffectOnTheseLinesLeaveTheAnswer) {
  // Compact input: --lenient has nothing to remove.
  for (const char *opt : {"--lenient"}) {
    for (const auto &line : kLines) {
      InProcResult plain = run_pluvar_inproc(line);
      InProcResult r = run_pluvar_inproc(with({opt}, line));
      EXPECT_EQ(r.out, plain.out) << opt << ' ' << line.back();
      EXPECT_EQ(r.status, plain.status);
    }
  }
}

TEST(Request, UnknownOptionsAnswerCode5) {
  for (const char *opt : {"--batch", "--UTF8", "--", "--utf-8", "--jsonx", "--x"}) {
    InProcResult r = run_pluvar_inproc({opt, "knr=0532013000&blz=37040044"});
    EXPECT_EQ(r.out, "code=5") << opt;
    EXPECT_EQ(r.status, 5);
    r = run_pluvar_inproc({"--strict", opt, "search", "blz=10000000"});
    EXPECT_EQ(r.out, "code=5") << opt;
  }
}

TEST(Request, OptionsStandOnlyBeforeTheModeWord) {
  InProcResult r = run_pluvar_inproc({"search", "--strict", "blz=10000000"});
  EXPECT_EQ(r.out, "code=5");
  r = run_pluvar_inproc({"--strict", "search", "-allinfo", "x", "y"});
  EXPECT_EQ(r.out, "code=5");
}

TEST(Request, DateOption) {
  EXPECT_EQ(parse_option_date("2025-03-03"), 20250303u);
  EXPECT_EQ(parse_option_date("2024-02-29"), 20240229u);
  EXPECT_EQ(parse_option_date("2000-02-29"), 20000229u);
  for (const char *bad : {"2025-02-29", "1900-02-29", "2025-13-01", "2025-00-10", "2025-04-31",
                          "2025-1-01", "2025-01-1", "20250101", "2025/01/01", "2025-01-01x",
                          "", "0999-01-01", "2025-01-00", "+025-01-01", "2025-0a-01"})
    EXPECT_EQ(parse_option_date(bad), 0u) << bad;
  const std::vector<std::string> q = {"knr=0532013000&blz=37040044"};
  InProcResult plain = run_pluvar_inproc(q);
  EXPECT_EQ(run_pluvar_inproc(with({"--date", "2025-04-01"}, q)).out, plain.out);
  EXPECT_EQ(run_pluvar_inproc(with({"--date", "2025-04-31"}, q)).out, "code=5");
  EXPECT_EQ(run_pluvar_inproc(with({"--date", "--strict"}, q)).out, "code=5");
  EXPECT_EQ(run_pluvar_inproc(with({"--date"}, q)).out, "code=5");
}

TEST(Request, OptionsAddToTheCallersOptions) {
  RequestOptions base;
  base.strict = true;
  std::vector<const char *> argv = {"pluvar", "--date", "2025-06-01", "-v", nullptr};
  RequestOptions opts = base;
  OptionError error;
  EXPECT_EQ(parse_options(4, argv.data(), 1, opts, error), 3);
  EXPECT_EQ(error, OptionError::none);
  EXPECT_TRUE(opts.strict);
  EXPECT_EQ(opts.date, 20250601u);
  // The sink's options are those of the request only while it runs.
  std::string s;
  Sink out;
  sink_init(out, append_to_string, &s);
  EXPECT_EQ(pluvar_request(base, 4, argv.data(), out), 1);
  sink_finish(out);
  EXPECT_EQ(out.options, &kDefaultOptions);
  EXPECT_EQ(s, "Pluvar 3.25.1,  valid 03/03/25 - 06/08/25");
}

TEST(Request, ProcessAnswersLikeTheRequestPath) {
  for (const auto &line : kLines) {
    auto args = with({"--lenient"}, line);
    CliResult r = run_pluvar_cli(args);
    InProcResult in = run_pluvar_inproc(args);
    EXPECT_EQ(r.out, in.out);
    EXPECT_EQ(r.status, in.status);
    EXPECT_EQ(r.err, "");
  }
}

}  // namespace
