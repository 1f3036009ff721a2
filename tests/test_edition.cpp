// The edition facts compiled in with the tables: the -v banner, --version,
// the calendar arithmetic behind "expired N days ago", and the facts of the
// editions the pipeline is proven on.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

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

// A request path's clock converts the clock once a second: a reading of the
// same second is reused, one of another second is not.
TEST(Calendar, DayClockConvertsOncePerSecond) {
  DayClock clock{-1, 0};
  uint32_t day = today_ymd(clock);
  EXPECT_TRUE(valid_ymd(day));
  EXPECT_NE(clock.second, -1);
  EXPECT_EQ(clock.day, day);
  DayClock stale{0, 19700101};  // read at the first second of 1970
  EXPECT_NE(today_ymd(stale), 19700101u);
  EXPECT_NE(stale.second, 0);
}

// ----- Two editions and the switch -----

// data/'s tables seen through another descriptor: its own edition facts, and
// only the first `rows` rows and `heads` bank records (a smaller edition).
struct OtherEdition {
  Edition_DE facts = edition_DE;
  uint32_t rows, heads, deleted = 0;
  GermanTables tables;
  OtherEdition(uint32_t valid_from, uint32_t n_rows, uint32_t n_heads,
               const uint16_t *head_rows = german_current.head_DE_row)
      : rows(n_rows),
        heads(n_heads),
        tables{facts,
               german_current.l,
               rows,
               german_current.Sprung,
               german_current.l_blz_number,
               german_current.l_zip_number,
               german_current.l_name_id,
               german_current.l_place_id,
               german_current.l_name_pool,
               german_current.l_name_pool_size,
               german_current.l_name_offset,
               german_current.l_names_size,
               german_current.l_place_pool,
               german_current.l_place_pool_size,
               german_current.l_place_offset,
               german_current.l_places_size,
               german_current.head_DE,
               heads,
               german_current.head_DE_text,
               german_current.head_DE_text_size,
               german_current.head_DE_key,
               head_rows,
               german_current.head_DE_method,
               german_current.head_DE_rule,
               german_current.head_DE_hash_multiplier,
               german_current.head_DE_hash_second_multiplier,
               german_current.head_DE_hash_bits,
               german_current.head_DE_slot,
               german_current.deleted_blz,
               german_current.deleted_successor,
               deleted} {
    facts.valid_from = valid_from;
  }
};

// The edition of a day is the latest that has taken effect by then; before
// all of them, the first.
TEST(EditionSwitch, LatestEditionInEffectOnTheDay) {
  OtherEdition a(20250303, 1, 1), b(20250908, 1, 1), c(20251208, 1, 1);
  const GermanTables *const two[] = {&a.tables, &b.tables};
  EXPECT_EQ(&german_edition_on(two, 2, 20250101), &a.tables);  // before both
  EXPECT_EQ(&german_edition_on(two, 2, 20250601), &a.tables);
  EXPECT_EQ(&german_edition_on(two, 2, 20250907), &a.tables);  // the gap before the next
  EXPECT_EQ(&german_edition_on(two, 2, 20250908), &b.tables);
  EXPECT_EQ(&german_edition_on(two, 2, 20301231), &b.tables);  // after both: the latest
  EXPECT_EQ(&german_edition_on(two, 1, 20301231), &a.tables);
  const GermanTables *const three[] = {&a.tables, &b.tables, &c.tables};
  EXPECT_EQ(&german_edition_on(three, 3, 20251001), &b.tables);
  EXPECT_EQ(&german_edition_on(three, 3, 20251208), &c.tables);
}

// The handlers read the edition the sink carries, not data/'s names: an
// edition of the Bundesbank's row alone knows no other bank and marks none
// for deletion.
TEST(EditionSwitch, HandlersAnswerFromTheSinksEdition) {
  OtherEdition small(20250908, 1, 1);
  auto answer = [](const GermanTables *de, auto handler, const char *query, char allinfo,
                   const RequestOptions &opts = kDefaultOptions) {
    char q[QUERY_SIZE] = {0};
    strncpy(q, query, QUERY_SIZE - 1);
    std::string s;
    Sink out;
    sink_init(out, append_to_string, &s);
    out.options = &opts;
    if (de) out.german = de;
    handler(q, allinfo, out);
    sink_finish(out);
    return s;
  };
  const GermanTables *small_de = &small.tables;
  EXPECT_EQ(answer(small_de, Account_Main, "knr=0532013000&blz=37040044", 0), "code=7");
  EXPECT_EQ(answer(nullptr, Account_Main, "knr=0532013000&blz=37040044", 0).substr(0, 7),
            "code=1&");
  EXPECT_EQ(answer(small_de, Account_Main, "knr=1&blz=10000000", 1),
            answer(nullptr, Account_Main, "knr=1&blz=10000000", 1));
  EXPECT_EQ(answer(small_de, IbanGen_Main, "ccd=de&blz=37040044&knr=0532013000", 0),
            "code=7&mode=IBAN");
  EXPECT_EQ(answer(small_de, Sepa_Main, "IBN=DE89370400440532013000", 0), "code=7&mode=SEPA");
  EXPECT_EQ(answer(small_de, Search_Main, "nam=sparkasse", 0), "code=0&mode=SEARCH");
  RequestOptions json;
  json.json = true;
  ASSERT_GT(german_current.deleted_count, 0u);
  char deleted[16];  // a bank code the edition marks for deletion
  snprintf(deleted, sizeof deleted, "blz=%08u", german_current.deleted_blz[0]);
  OtherEdition all_rows(20250908, german_current.l_size, german_current.head_DE_size);
  EXPECT_NE(answer(nullptr, Search_Main, deleted, 0, json).find("\"deleted\":true"),
            std::string::npos);
  EXPECT_EQ(answer(&all_rows.tables, Search_Main, deleted, 0, json).find("\"deleted\""),
            std::string::npos);
}

// A batch keeps each bank's fields per edition: the same store, asked from
// an edition whose bank records name each other's rows, answers from that
// edition, and from the first again after it.
TEST(EditionSwitch, BatchAccountRunsKeepBankFieldsPerEdition) {
  const uint32_t heads = german_current.head_DE_size;
  std::vector<uint16_t> rotated(heads);
  for (uint32_t i = 0; i < heads; i++) rotated[i] = german_current.head_DE_row[(i + 1) % heads];
  OtherEdition shifted(20250908, german_current.l_size, heads, rotated.data());
  std::mt19937 rng(9);
  std::vector<std::string> texts;
  for (int i = 0; i < 1500; i++)
    texts.push_back("knr=" + std::to_string(rng() % 10000000000ULL) +
                    "&blz=" + german_current.l[rng() % german_current.l_size].blz);
  std::vector<AccountLine> lines(texts.size());
  for (size_t i = 0; i < texts.size(); i++) ASSERT_TRUE(read_account_line(texts[i], lines[i]));
  BankFieldsCache cache;
  const GermanTables *const editions[] = {&german_current, &shifted.tables, &german_current};
  for (const GermanTables *de : editions) {
    std::string got, expected;
    Sink out;
    sink_init(out, append_to_string, &got);
    answer_account_lines(*de, lines, cache, out);
    sink_finish(out);
    for (const std::string &text : texts) {
      char query[QUERY_SIZE] = {0};
      strncpy(query, text.c_str(), QUERY_SIZE - 1);
      Sink one;
      sink_init(one, append_to_string, &expected);
      one.german = de;
      Account_Main(query, 0, one);
      sink_write(one, "\n", 1);
      sink_finish(one);
    }
    EXPECT_TRUE(got == expected) << (de == &german_current ? "shipped" : "shifted");
  }
}

// The default build carries data/'s edition alone: every request answers
// from it, whatever day --date names, through every entry.
TEST(EditionSwitch, OneEditionAnswersAlikeOnEveryDay) {
  if (german_editions_size != 1) GTEST_SKIP() << "a build of " << german_editions_size
                                              << " editions";
  EXPECT_EQ(german_editions[0], &german_current);
  EXPECT_EQ(&german_edition_for(0), &german_current);
  EXPECT_EQ(&german_edition_for(20991231), &german_current);
  for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
           {"-v"},
           {"-allinfo", "knr=0532013000&blz=37040044"},
           {"iban", "-allinfo", "ccd=de&blz=28020050&knr=1234567890"},
           {"sepa", "-allinfo", "IBN=DE89370400440532013000"},
           {"--json", "search", "-allinfo", "blz=2505029"}}) {
    InProcResult plain = run_pluvar_inproc(args);
    for (const char *day : {"1999-01-01", "2025-06-01", "2025-10-01", "2030-12-31"}) {
      std::vector<std::string> dated = {"--date", day};
      dated.insert(dated.end(), args.begin(), args.end());
      InProcResult r = run_pluvar_inproc(dated);
      EXPECT_EQ(r.out, plain.out) << day << " " << args.back();
      EXPECT_EQ(r.status, plain.status) << day << " " << args.back();
      expect_api(dated, plain.out, plain.status);
    }
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
  int64_t i = head_DE_index(german_current, 28020050);
  ASSERT_GE(i, 0);
  EXPECT_EQ(head_DE[i].iban_rule, 39u);  // was rule 0
}

}  // namespace
