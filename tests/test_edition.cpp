// The edition facts compiled in with the tables: the -v banner, --version,
// the calendar arithmetic behind "expired N days ago", and the facts of the
// editions the pipeline is proven on.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <string>

#include "cli.h"
#include "edition.h"

namespace {

std::string banner_of(uint32_t from, uint32_t to) {
  Edition_DE e = edition_DE;
  e.valid_from = from;
  e.valid_to = to;
  char banner[BANNER_SIZE];
  format_banner(banner, sizeof banner, e);
  return banner;
}

TEST(Banner, ShippedEditionExactly) {
  PLUVAR_ONLY_EDITION(kShippedEdition);
  expect_cli({{"-v"}, "Pluvar 3.25.1,  valid 03/03/25 - 06/08/25", 1});
}

TEST(Banner, DatesOfAnyEditionAsMonthDayYear) {
  EXPECT_EQ(banner_of(20250908, 20251207), "Pluvar 3.25.1,  valid 09/08/25 - 12/07/25");
  EXPECT_EQ(banner_of(20991231, 21000101), "Pluvar 3.25.1,  valid 12/31/99 - 01/01/00");
  EXPECT_LT(banner_of(20250303, 20250608).size(), BANNER_SIZE);
}

TEST(Banner, CommandLineTakesTheCompiledEdition) {
  char banner[BANNER_SIZE];
  format_banner(banner, sizeof banner, edition_DE);
  expect_cli({{"-v"}, banner, 1});
}

// The day count against the C library's own calendar (timegm).
TEST(Calendar, DayNumberAgreesWithTimegm) {
  for (int y : {1970, 1999, 2000, 2024, 2025, 2100, 2400}) {
    for (int m = 1; m <= 12; m++) {
      for (int d = 1; d <= 31; d++) {
        uint32_t ymd = static_cast<uint32_t>(y * 10000 + m * 100 + d);
        struct tm t = {};
        t.tm_year = y - 1900;
        t.tm_mon = m - 1;
        t.tm_mday = d;
        time_t secs = timegm(&t);
        bool real = t.tm_mday == d && t.tm_mon == m - 1;  // timegm normalises 31.04. etc.
        ASSERT_EQ(valid_ymd(ymd), real) << ymd;
        if (real) {
          ASSERT_EQ(day_number(ymd), secs / 86400) << ymd;
        }
      }
    }
  }
  EXPECT_FALSE(valid_ymd(0));
  EXPECT_FALSE(valid_ymd(20251300));
}

TEST(Calendar, StateAtTheEditionsBoundaries) {
  Edition_DE e = edition_DE;
  e.valid_from = 20250303;
  e.valid_to = 20250608;
  int32_t days = -1;
  EXPECT_EQ(edition_state(e, 20250302, &days), EditionState::NotYetValid);
  EXPECT_EQ(days, 1);
  EXPECT_EQ(edition_state(e, 20241231, &days), EditionState::NotYetValid);
  EXPECT_EQ(days, 62);
  EXPECT_EQ(edition_state(e, 20250303, &days), EditionState::Valid);
  EXPECT_EQ(days, 0);
  EXPECT_EQ(edition_state(e, 20250608, &days), EditionState::Valid);
  EXPECT_EQ(edition_state(e, 20250609, &days), EditionState::Expired);
  EXPECT_EQ(days, 1);
  EXPECT_EQ(edition_state(e, 20261208, &days), EditionState::Expired);
  EXPECT_EQ(days, 548);
}

std::string version_on(uint32_t day) {
  std::string s;
  Sink out;
  sink_init(out, append_to_string, &s);
  write_version(out, day);
  sink_finish(out);
  return s;
}

std::string state_line(uint32_t day) {
  std::string text = version_on(day);
  size_t at = text.find("German edition ");
  size_t end = text.find('\n', at);
  return at == std::string::npos ? "" : text.substr(at, end - at);
}

TEST(Version, SaysWhetherTheGermanEditionIsValid) {
  PLUVAR_ONLY_EDITION(kShippedEdition);
  EXPECT_EQ(state_line(20250401), "German edition 03.03.2025 - 08.06.2025: valid today (01.04.2025)");
  EXPECT_EQ(state_line(20250609),
            "German edition 03.03.2025 - 08.06.2025: expired 1 day ago; a newer edition is due "
            "(today is 09.06.2025)");
  EXPECT_EQ(state_line(20250301),
            "German edition 03.03.2025 - 08.06.2025: not yet valid; it takes effect in 2 days "
            "(today is 01.03.2025)");
  EXPECT_EQ(state_line(0), "German edition 03.03.2025 - 08.06.2025: today's date is unknown");
}

TEST(Version, NamesEveryTableSourceAndDigest) {
  std::string text = version_on(edition_DE.valid_from);
  EXPECT_EQ(text.rfind("Pluvar " PLUVAR_VERSION "\n", 0), 0u);
  EXPECT_NE(text.find(edition_DE.source), std::string::npos);
  EXPECT_NE(text.find(": valid today ("), std::string::npos);
  for (uint32_t i = 0; i < edition_sources_size; i++) {
    const Edition_Source &s = edition_sources[i];
    EXPECT_EQ(strlen(s.sha256), 64u) << s.unit;
    EXPECT_NE(text.find(std::string("  ") + s.unit + " (" + s.tables + "): " + s.edition + "\n"),
              std::string::npos)
        << s.unit;
    EXPECT_NE(text.find(std::string("    ") + s.source + ", sha256 " + s.sha256 + "\n"),
              std::string::npos)
        << s.unit;
  }
  EXPECT_EQ(text.back(), '\n');
}

// The command line answers with the same text for today's date, exit 0.
TEST(Version, CommandLine) {
  CliResult r = run_pluvar_cli({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  uint32_t today = today_ymd();
  std::string expected = version_on(today);
  if (r.out != expected) expected = version_on(today_ymd());  // the day turned meanwhile
  EXPECT_EQ(r.out, expected);
  // Only as the last word after options; anything else stays an unusable
  // command line or query.
  expect_cli({{"--version", "x"}, "code=5", 5});
  expect_cli({{"--version", "-v"}, "code=5", 5});
  expect_cli({{"--VERSION"}, "code=6", 6});
  expect_cli({{"--date", "2025-13-01", "--version"}, "code=5", 5});
  expect_cli({{"--frobnicate", "--version"}, "code=5", 5});
}

// --date answers as of that day, also about the edition's validity.
TEST(Version, AsOfTheGivenDate) {
  for (uint32_t day : {edition_DE.valid_from, edition_DE.valid_to + 1, 20000101u}) {
    char text[16];
    snprintf(text, sizeof text, "%04u-%02u-%02u", day / 10000, day / 100 % 100, day % 100);
    expect_cli({{"--date", text, "--version"}, version_on(day), 0});
  }
}

// The edition valid from 08.09.2025, built by tools/update-data from
// blz-2025-09-08.txt: what changed against the shipped edition.
TEST(Edition20250908, ChangesAgainstTheShippedEdition) {
  PLUVAR_ONLY_EDITION(kEdition20250908);
  EXPECT_EQ(edition_DE.valid_to, 20251207u);
  EXPECT_EQ(l_size, 13956u);
  EXPECT_EQ(head_DE_size, 3510u);
  for (const char *gone : {"30018800", "50961312", "51230600", "70010588", "70012400", "70030014"})
    expect_cli({{std::string("knr=1&blz=") + gone}, "code=7", 7});
  for (const char *added : {"21050055", "30013300", "86021000"}) {
    unsigned char method = 255;
    EXPECT_EQ(find_blz(german_current, added, &method), '1') << added;
    EXPECT_NE(run_pluvar_cli({std::string("knr=1&blz=") + added}).out, "code=7") << added;
  }
  for (const char *changed : {"50131700", "76090500"}) {
    unsigned char method = 255;
    ASSERT_EQ(find_blz(german_current, changed, &method), '1') << changed;
    EXPECT_EQ(method, 9) << changed;  // was 12 and 81; method 09 checks nothing
    CliResult r = run_pluvar_cli({std::string("knr=1234567890&blz=") + changed});
    EXPECT_EQ(r.out.substr(0, 7), "code=9&") << changed;
  }
  int64_t i = BinarySearch(head_DE, 0, head_DE_size - 1, 28020050);
  ASSERT_GE(i, 0);
  EXPECT_EQ(head_DE[i].iban_rule, 39u);  // was rule 0
}

}  // namespace
