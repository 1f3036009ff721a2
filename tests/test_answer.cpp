// Answers under --utf8, --json and --lenient; the reasons; UTF-8 search queries.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "cli.h"
#include "pluvar.h"

namespace {

std::string run(const std::vector<std::string> &args, int *status = nullptr) {
  InProcResult r = run_pluvar_inproc(args);
  if (status) *status = r.status;
  return r.out;
}

// A sink collecting into s with the given options.
void json_sink(Sink &out, std::string &s, const RequestOptions &options) {
  sink_init(out, append_to_string, &s);
  out.options = &options;
}

std::vector<std::string> with(std::string opt, std::vector<std::string> rest) {
  rest.insert(rest.begin(), opt);
  return rest;
}

// ---------------------------------------------------------------------------
// Examples of every mode
// ---------------------------------------------------------------------------

TEST(Utf8Option, EveryModeSpellsTextsAsTheSource) {
  EXPECT_EQ(run({"--utf8", "-allinfo", "knr=0532013000&blz=37040044"}),
            "code=1&name=Commerzbank&zip=50447&location=K\xC3\xB6ln"
            "&ibn=DE89370400440532013000&bic=COBADEFFXXX");
  EXPECT_EQ(run({"--utf8", "search", "blz=25050299"}),
            "blz=25050299&name=Sparkasse Hannover -alt-&zip=30056&location=Hannover\r\n"
            "code=1&mode=SEARCH");
  EXPECT_EQ(run({"--utf8", "iban", "-allinfo", "ccd=de&blz=37040044&knr=532013000"}),
            "code=1&ibn=DE89370400440532013000&name=Commerzbank&zip=DE-50447"
            "&location=K\xC3\xB6ln&bic=COBADEFFXXX&mode=IBAN");
  // Czech letters that Windows-1252 lacks: folded in the default answer,
  // spelled in UTF-8 under --utf8.
  const std::string cz = "IBN=CZ6508000000192000145399";
  EXPECT_EQ(run({"sepa", cz}),
            "code=1&name=Cesk\xE1 spori"
            "telna, a.s.&zip=CZ-14000&location=Praha 4&country=CZECH REPUBLIC&mode=SEPA");
  EXPECT_EQ(run({"--utf8", "sepa", cz}),
            "code=1&name=\xC4\x8C" "esk\xC3\xA1 spo\xC5\x99itelna, a.s.&zip=CZ-14000"
            "&location=Praha 4&country=CZECH REPUBLIC&mode=SEPA");
  EXPECT_EQ(run({"--utf8", "-v"}), "Pluvar 3.25.1,  valid 03/03/25 - 06/08/25");
}

TEST(JsonOption, EveryMode) {
  int status = -1;
  EXPECT_EQ(run({"--json", "-allinfo", "knr=0532013000&blz=37040044"}, &status),
            "{\"code\":1,\"reason\":\"valid\",\"name\":\"Commerzbank\",\"zip\":\"50447\","
            "\"location\":\"K\xC3\xB6ln\",\"ibn\":\"DE89370400440532013000\","
            "\"bic\":\"COBADEFFXXX\"}");
  EXPECT_EQ(status, 1);
  EXPECT_EQ(run({"--json", "search", "blz=25050299"}),
            "{\"hits\":[{\"blz\":\"25050299\",\"name\":\"Sparkasse Hannover -alt-\","
            "\"zip\":\"30056\",\"location\":\"Hannover\",\"deleted\":true,"
            "\"successor\":\"25050180\"}],\"code\":1,\"reason\":\"all-hits\",\"mode\":\"SEARCH\"}");
  EXPECT_EQ(run({"--json", "search", "nam=qqqq"}),
            "{\"code\":0,\"reason\":\"no-hits\",\"mode\":\"SEARCH\"}");
  EXPECT_EQ(run({"--json", "iban", "ccd=at&blz=11000&knr=12345"}),
            "{\"code\":9,\"reason\":\"built\",\"ibn\":\"AT651100000000012345\",\"mode\":\"IBAN\"}");
  EXPECT_EQ(run({"--json", "sepa", "IBN=DE88370400440532013000"}, &status),
            "{\"code\":0,\"reason\":\"check-digits\",\"name\":\"Commerzbank\","
            "\"zip\":\"DE-50447\",\"location\":\"K\xC3\xB6ln\",\"country\":\"GERMANY\","
            "\"mode\":\"SEPA\"}");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(run({"--json", "-v"}),
            "{\"code\":1,\"reason\":\"version\","
            "\"banner\":\"Pluvar 3.25.1,  valid 03/03/25 - 06/08/25\"}");
  EXPECT_EQ(run({"--json", "--bogus", "knr=1&blz=10000000"}),
            "{\"code\":5,\"reason\":\"option-unknown\"}");
  // The option that selects JSON may follow the bad one.
  EXPECT_EQ(run({"--date", "2025-02-30", "--json", "knr=1&blz=10000000"}),
            "{\"code\":5,\"reason\":\"option-date\"}");
}

TEST(JsonOption, DeletionMarkInEveryModeThatNamesAGermanBank) {
  const char mark[] = "\"deleted\":true,\"successor\":\"25050180\"";
  EXPECT_NE(run({"--json", "knr=1&blz=25050299"}).find(mark), std::string::npos);
  // The IBAN mode names the bank its rule leaves (10090300 keeps its code).
  EXPECT_NE(run({"--json", "iban", "-allinfo", "ccd=de&blz=10090300&knr=1234567890"})
                .find("\"location\":\"Berlin\",\"deleted\":true,\"bic\""),
            std::string::npos);
  EXPECT_NE(run({"--json", "sepa", "IBN=DE49250502990000000001"}).find(mark), std::string::npos);
  // A bank without a mark carries no key, and the line format never does.
  EXPECT_EQ(run({"--json", "knr=0532013000&blz=37040044"}).find("deleted"), std::string::npos);
  EXPECT_EQ(run({"knr=1&blz=25050299"}).find("deleted"), std::string::npos);
  uint32_t successor = 1;
  EXPECT_TRUE(deletion_mark(german_current, 25050299, &successor));
  EXPECT_EQ(successor, 25050180u);
  EXPECT_FALSE(deletion_mark(german_current, 37040044, &successor));
}

TEST(LenientOption, PrintedFormsInEveryMode) {
  const std::string compact_de = run({"ibn=DE89370400440532013000"});
  for (const char *printed : {"ibn=DE89 3704 0044 0532 0130 00", "ibn=de89-3704-0044-0532-0130-00",
                              "IBN=IBAN DE89 3704 0044 0532 0130 00", "ibn=iban de89370400440532013000"})
    EXPECT_EQ(run({"--lenient", printed}), compact_de) << printed;
  EXPECT_EQ(run({"--lenient", "-allinfo", "knr=0532 0130 00&blz=370 400 44"}),
            run({"-allinfo", "knr=0532013000&blz=37040044"}));
  EXPECT_EQ(run({"--lenient", "iban", "ccd=de&blz=370 400 44&knr=532 013 000"}),
            run({"iban", "ccd=de&blz=37040044&knr=532013000"}));
  EXPECT_EQ(run({"--lenient", "sepa", "-allinfo", "IBN=IBAN DE89 3704-0044 0532 0130 00&BIC=COBADEFFXXX"}),
            run({"sepa", "-allinfo", "IBN=DE89370400440532013000&BIC=COBADEFFXXX"}));
  EXPECT_EQ(run({"--lenient", "search", "blz=2505 0299"}), run({"search", "blz=25050299"}));
  // Without the option the printed form is refused as before.
  EXPECT_EQ(run({"ibn=DE89 3704 0044 0532 0130 00"}), "code=4");
  // ASCII only: a no-break space or a full-width digit stays and is refused.
  EXPECT_EQ(run({"--lenient", "ibn=DE89\xC2\xA0" "370400440532013000"}), "code=4");
  EXPECT_EQ(run({"--lenient", "sepa", "IBN=DE89 3704 0044 0532 0130 0\xEF\xBC\x90"}),
            "code=3&mode=SEPA");
  // Other keys keep their blanks: a name part with a blank stays one.
  EXPECT_EQ(run({"--lenient", "search", "nam=sparkasse hannover&max=1"}),
            run({"search", "nam=sparkasse hannover&max=1"}));
}

// ---------------------------------------------------------------------------
// UTF-8 search queries
// ---------------------------------------------------------------------------

TEST(Utf8Search, FindsWhatTheWindows1252SpellingFinds) {
  EXPECT_EQ(run({"search", "nam=m\xC3\xBCnchen&max=50"}), run({"search", "nam=m\xFCnchen&max=50"}));
  EXPECT_EQ(run({"search", "loc=D\xC3\x9Csseldorf"}), run({"search", "loc=d\xDCsseldorf"}));
  EXPECT_NE(run({"search", "nam=m\xC3\xBCnchen"}).find("M\xFCnchen"), std::string::npos);
  // A letter Windows-1252 lacks matches the base letter stored: Ł is L.
  EXPECT_EQ(run({"search", "loc=\xC5\x81\xC3\xBC" "beck"}), run({"search", "loc=l\xFC" "beck"}));
  // Not UTF-8 (a lone continuation byte): judged as before.
  EXPECT_EQ(run({"search", "nam=m\xBCnchen"}), "code=4&mode=SEARCH");
  char value[] = "\xC4\x8D\xC3\xA9z";  // čéz
  EXPECT_TRUE(utf8_to_stored(value));
  EXPECT_STREQ(value, "c\xE9z");
  char ascii[] = "abc", bad[] = "a\xC3", overlong[] = "\xC0\xAF";
  EXPECT_FALSE(utf8_to_stored(ascii));
  EXPECT_FALSE(utf8_to_stored(bad));
  EXPECT_FALSE(utf8_to_stored(overlong));
  EXPECT_STREQ(bad, "a\xC3");
}

// A Windows-1252 query that is valid UTF-8 beyond ASCII needs a byte
// 0x80-0xBF, which no name or place part may hold; so no query answered
// before changes.  The same holds for the stored texts: none is valid
// UTF-8 beyond ASCII, or a UTF-8 query could match it byte for byte.
TEST(Utf8Search, NoStoredTextIsUtf8BeyondAscii) {
  for (uint32_t i = 0; i < l_names_size; i++) {
    std::string t = l_name_pool + l_name_offset[i];
    EXPECT_FALSE(utf8_to_stored(t.data())) << t;
  }
  for (uint32_t i = 0; i < l_places_size; i++) {
    std::string t = l_place_pool + l_place_offset[i];
    EXPECT_FALSE(utf8_to_stored(t.data())) << t;
  }
}

// ---------------------------------------------------------------------------
// Reasons
// ---------------------------------------------------------------------------

std::string reason_of(const std::string &json) {
  size_t at = json.find("\"reason\":\"");
  if (at == std::string::npos) return "";
  at += 10;
  return json.substr(at, json.find('"', at) - at);
}

struct ReasonCase {
  std::vector<std::string> args;
  const char *reason;
  int code;
};

const std::vector<ReasonCase> kReasonCases = {
    {{"-v"}, "version", 1},
    {{"x", "y"}, "command-line", 5},
    {{"--x", "y"}, "option-unknown", 5},
    {{"--date", "2025-13-01", "y"}, "option-date", 5},
    {{"kto=1&blz=10000000"}, "query-shape", 6},
    {{"knr=0532013000&blz=37040044"}, "valid", 1},
    {{"knr=1234567890&blz=12030000"}, "check-digit", 0},
    {{"knr=0&blz=37040044"}, "ten-zeros", 0},
    {{"knr=1&blz=10000000"}, "no-check-digit", 9},
    {{"knr=1&blz=1234567"}, "blz-malformed", 2},
    {{"knr=1a&blz=10000000"}, "knr-malformed", 3},
    {{"ibn=de89370400440532013000"}, "ibn-malformed", 4},
    {{"knr=1&blz=12345678"}, "blz-unknown", 7},
    {{"ibn=DE88370400440532013000"}, "check-digits", 0},
    {{"ibn=DE41370400440000000001"}, "iban-not-confirmed", 0},
    {{"ibn=DE44100500000000000135"}, "iban-not-derived", 0},
    {{"iban", "ccd=de&blz=37040044&knr=532013000"}, "built", 1},
    {{"iban", "ccd=de&blz=30150001&knr=1234567890"}, "rule-refuses", 0},
    {{"iban", "ccd=be&blz=050&knr=123456789"}, "national-check", 0},
    {{"iban", "ccd=deu&blz=37040044&knr=1"}, "ccd-malformed", 4},
    {{"iban", "ccd=xx&blz=37040044&knr=1"}, "ccd-missing", 4},
    {{"sepa", "IBN=DE89370400440532013000&BIC=COBA"}, "bic-malformed", 2},
    {{"sepa", "IBN=XX89370400440532013000"}, "country-unknown", 0},
    {{"sepa", "IBN=US12345"}, "country-without-iban", 0},
    {{"sepa", "IBN=AT0711000000123456"}, "format-mismatch", 4},
    {{"sepa", "IBN=DE89999999990532013000"}, "bank-unknown", 7},
    {{"sepa", "IBN=DE89370400440532013000&BIC=DEUTDEFFXXX"}, "bic-not-confirmed", 9},
    {{"search", "blz=25050299"}, "all-hits", 1},
    {{"search", "nam=bank&max=2"}, "more-hits", 9},
    {{"search", "nam=qqqq"}, "no-hits", 0},
    {{"search", "zip=1"}, "zip-malformed", 2},
    {{"search", "max=12345"}, "max-malformed", 7},
    {{"search", "nam=x"}, "nam-malformed", 4},
    {{"search", "loc=x"}, "loc-malformed", 3},
};

TEST(Reasons, EveryTokenIsReachableAndMatchesItsCode) {
  std::set<std::string> reached;
  for (const ReasonCase &c : kReasonCases) {
    int status = -1;
    std::string out = run(with("--json", c.args), &status);
    EXPECT_EQ(reason_of(out), c.reason) << out;
    EXPECT_EQ(status, c.code) << out;
    reached.insert(reason_of(out));
  }
  // The method byte of no present bank is reached through the account
  // check's method override.
  std::string s;
  RequestOptions json;
  json.json = true;
  Sink out;
  json_sink(out, s, json);
  EXPECT_EQ(account_check("", "37040044", "0532013000", 0, 200, out), '8');
  sink_finish(out);
  EXPECT_EQ(reason_of(s), "method-unknown");
  reached.insert(reason_of(s));
  // A malformed IBAN format could only come from a damaged country table;
  // the generator refuses one, so no request reaches it.
  reached.insert("format-malformed");
  for (int r = 1; r < static_cast<int>(Reason::count_); r++)
    EXPECT_TRUE(reached.count(reason_token(static_cast<Reason>(r)))) << reason_token(static_cast<Reason>(r));
  EXPECT_EQ(reached.size(), static_cast<size_t>(Reason::count_) - 1);
}

TEST(Reasons, SearchNamesTheKeyThatShareItsCode) {
  EXPECT_EQ(reason_of(run({"--json", "search", "blz=1"})), "blz-malformed");
  EXPECT_EQ(reason_of(run({"--json", "search", "bic=a"})), "bic-malformed");
}

// ---------------------------------------------------------------------------
// Texts
// ---------------------------------------------------------------------------

TEST(Texts, SourceSpellingsAreUtf8AndFoldToTheStoredText) {
  EXPECT_STREQ(source_spelling("CESK\xC1 N\xC1RODN\xCD BANKA"),
               "\xC4\x8C" "ESK\xC3\x81 N\xC3\x81RODN\xC3\x8D BANKA");
  EXPECT_EQ(source_spelling("Commerzbank"), nullptr);
  EXPECT_EQ(cp1252_point(0x80), 0x20ACu);
  EXPECT_EQ(cp1252_point(0xFC), 0xFCu);
}

// Under --json every control byte of a value is escaped; a value with a
// quote or backslash stays one string.
TEST(Texts, JsonEscapesEveryControlByte) {
  std::string s;
  RequestOptions json;
  json.json = true;
  Sink out;
  json_sink(out, s, json);
  std::string value;
  for (int b = 1; b < 0x20; b++) value.push_back(static_cast<char>(b));
  value += "\"\\/\x7F\x80\xFF";
  answer_begin(out, '1', Reason::valid);
  answer_field(out, "name", value.c_str());
  answer_end(out);
  sink_finish(out);
  std::string want = "{\"code\":1,\"reason\":\"valid\",\"name\":\"";
  const char hex[] = "0123456789abcdef";
  for (int b = 1; b < 0x20; b++) want += std::string("\\u00") + hex[b >> 4] + hex[b & 15];
  want += "\\\"\\\\/\x7F\xE2\x82\xAC\xC3\xBF\"}";
  EXPECT_EQ(s, want);
}

// No table text makes a line answer reach the 299 characters at which the
// line builders used to cut it, so writing fields straight to the sink gives
// the same bytes.
TEST(Texts, LongestBankFieldsFitTheLine) {
  size_t longest = 0;
  auto measure = [&](const char *name, const char *zip, const char *loc) {
    size_t n = strlen(name) + strlen(zip) + strlen(loc);
    if (n > longest) longest = n;
  };
  struct T {
    const Head_t_SEPA *t;
    uint32_t n;
    const char *text;
  } heads[] = {{head_DE, head_DE_size, head_DE_text}, {head_AT, head_AT_size, head_AT_text},
               {head_BE, head_BE_size, head_BE_text}, {head_CH, head_CH_size, head_CH_text},
               {head_CZ, head_CZ_size, head_CZ_text}, {head_ES, head_ES_size, head_ES_text},
               {head_SK, head_SK_size, head_SK_text}};
  for (const T &h : heads)
    for (uint32_t i = 0; i < h.n; i++)
      measure(text_at(h.text, h.t[i].name), text_at(h.text, h.t[i].zip),
              text_at(h.text, h.t[i].location));
  for (uint32_t i = 0; i < list_EU_size; i++)
    measure(text_at(list_EU_text, list_EU[i].name), text_at(list_EU_text, list_EU[i].zip),
            text_at(list_EU_text, list_EU[i].location));
  // The longest SEPA answer: code, bank fields, BIC, four flags, country
  // (at most 50) and mode.
  const size_t fixed = strlen("code=1&name=&zip=&location=&bic=XXXXXXXXXXX&sct=9&sdd=9&b2b=9&scc=9"
                              "&country=&mode=SEPA") + 50;
  EXPECT_LT(longest + fixed, RESPONSE_SIZE - 1);
}

}  // namespace
