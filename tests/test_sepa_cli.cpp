// SEPA mode through the built binary: exact response bytes, exit status and
// an empty standard error for every case of the request, the IBAN checks and
// the bank and BIC resolution.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli.h"

namespace {

struct SepaCliCase {
  std::vector<std::string> args;
  std::string out;
  int status;
};

void PrintTo(const SepaCliCase &c, std::ostream *os) {
  for (const auto &a : c.args) *os << '[' << a << ']';
}

class SepaCli : public ::testing::TestWithParam<SepaCliCase> {};

TEST_P(SepaCli, ExactOutputAndStatus) {
  const SepaCliCase &c = GetParam();
  CliResult r = run_pluvar_cli(c.args);
  EXPECT_EQ(r.out, c.out);
  EXPECT_EQ(r.status, c.status);
  EXPECT_EQ(r.err, "");
  expect_api(c.args, c.out, c.status);
}

SepaCliCase sepa(const std::string &query, const std::string &out) {
  return {{"sepa", query}, out, out[5] - '0'};
}
SepaCliCase sepa_all(const std::string &query, const std::string &out) {
  return {{"sepa", "-allinfo", query}, out, out[5] - '0'};
}

const std::string kAustria =
    "&name=UniCredit Bank Austria AG&zip=AT-1020&location=Wien&country=AUSTRIA&mode=SEPA";
const std::string kCommerzbank =
    "&name=Commerzbank&zip=DE-50447&location=K\xF6ln&country=GERMANY&mode=SEPA";
const std::string kDeutscheBank =
    "&name=Deutsche Bank&zip=DE-60254&location=Frankfurt am Main&country=GERMANY&mode=SEPA";
const std::string kDkb =
    "&name=Deutsche Kreditbank Berlin&zip=DE-10117&location=Berlin&country=GERMANY&mode=SEPA";
const std::string kBelfius =
    "&name=BELFIUS BANK&zip=BE-1210&location=Sint-Joost-ten-Node&country=BELGIUM&mode=SEPA";
const std::string k35 = "IBN=AT071100000012345678123456789012345";  // 35 characters

INSTANTIATE_TEST_SUITE_P(
    Request, SepaCli,
    ::testing::Values(
        sepa("IBN=AT071100000012345678&BIC=BKAUATWW", "code=1" + kAustria),
        sepa("ibn=AT071100000012345678&bic=bkauatwwxxx", "code=1" + kAustria),
        sepa("IBN=AT071100000012345678", "code=1" + kAustria),
        sepa("ibn=at071100000012345678", "code=3&mode=SEPA"),
        sepa("IBN=At071100000012345678", "code=3&mode=SEPA"),
        sepa(k35, "code=3&mode=SEPA"),
        sepa(k35 + "&BIC=BKAUATWW", "code=3&mode=SEPA"),
        sepa("IBN=AT071100000012345678&BIC=BKAUATWWX", "code=2&mode=SEPA"),
        sepa("IBN=AT071100000012345678&BIC=BKAUATWWXX", "code=2&mode=SEPA"),
        sepa("IBN=AT071100000012345678&BIC=BKAU-TWW", "code=2&mode=SEPA"),
        sepa("IBN=at071100000012345678&BIC=BKAU-TWW", "code=3&mode=SEPA"),
        sepa("XBIC=1&IBN=AT071100000012345678", "code=3&mode=SEPA"),
        sepa("IBN=AT071100000012345678&XBIC=1", "code=6&mode=SEPA"),
        sepa("IBN=AT071100000012345678&BLZ=11000", "code=6&mode=SEPA"),
        sepa("IBN=AT071100000012345678&BIC=BKAUATWW&X=1", "code=6&mode=SEPA"),
        sepa("KNR=1&BLZ=11000", "code=6&mode=SEPA"),
        sepa("", "code=6&mode=SEPA"),
        // The mode word in any case; with -allinfo in the four-argument form.
        SepaCliCase{{"SEPA", "IBN=AT071100000012345678"}, "code=1" + kAustria, 1},
        SepaCliCase{{"Sepa", "-ALLINFO", "IBN=AT071100000012345678"},
                    "code=1&name=UniCredit Bank Austria AG&zip=AT-1020&location=Wien"
                    "&bic=BKAUATWWXXX&sct=1&sdd=1&b2b=1&scc=0&country=AUSTRIA&mode=SEPA",
                    1},
        SepaCliCase{{"sepa", "-allinfox", "IBN=AT071100000012345678"}, "code=5", 5},
        SepaCliCase{{"sepa", "IBN=AT071100000012345678", "-allinfo"}, "code=5", 5}));

INSTANTIATE_TEST_SUITE_P(
    Validation, SepaCli,
    ::testing::Values(
        sepa("ibn=XX1234567890", "code=0&country=&mode=SEPA"),
        sepa("IBN=AF1234567890", "code=0&country=AFGHANISTAN&mode=SEPA"),
        sepa("IBN=1234567890", "code=0&country=&mode=SEPA"),
        sepa("IBN=AT07110000001234567", "code=4&mode=SEPA"),
        sepa("IBN=AT0711000000123456789", "code=4&mode=SEPA"),
        sepa("IBN=AT07110000001234567A", "code=4&mode=SEPA"),
        sepa("IBN=IT6010542811101000000123456", "code=4&mode=SEPA"),
        sepa("IBN=AT319999900000000000", "code=7&mode=SEPA"),
        sepa("IBN=DE23999999990000000000", "code=7&mode=SEPA"),
        sepa("IBN=CH4699999000000012345", "code=7&mode=SEPA"),
        // Wrong check digits: the bank fields found stay.
        sepa("IBN=AT081100000012345678", "code=0" + kAustria),
        // Remainder 1 but the check digits 00, 01 or 99.
        sepa("IBN=AT021100000000000093", "code=1" + kAustria),
        sepa("IBN=AT991100000000000093", "code=0" + kAustria),
        sepa("IBN=AT971100000000000032", "code=1" + kAustria),
        sepa("IBN=AT001100000000000032", "code=0" + kAustria),
        sepa("IBN=AT981100000000000014", "code=1" + kAustria),
        sepa("IBN=AT011100000000000014", "code=0" + kAustria),
        // Belgium: national check digits wrong, ISO check digits right.
        sepa("IBN=BE18050123456765", "code=1" + kBelfius),
        sepa("IBN=BE88050123456766", "code=0" + kBelfius),
        sepa("IBN=BE54050000008097", "code=1" + kBelfius),
        sepa("IBN=BE54050000008000", "code=0" + kBelfius),
        // Czech Republic, Slovakia, Spain.
        sepa("IBN=CZ7801000000000000000123",
             "code=1&name=Komercn\xED banka, a.s.&zip=CZ-11000&location=Praha 1"
             "&country=CZECH REPUBLIC&mode=SEPA"),
        sepa("IBN=CZ5101000000000000000124",
             "code=0&name=Komercn\xED banka, a.s.&zip=CZ-11000&location=Praha 1"
             "&country=CZECH REPUBLIC&mode=SEPA"),
        sepa("IBN=SK9802000000000000000123",
             "code=1&name=V\x9A" "eobecn\xE1 \xFA" "verov\xE1 banka, a.s.&zip=SK-82990"
             "&location=Bratislava&country=SLOVAKIA&mode=SEPA"),
        sepa("IBN=SK0102000000000000000123",
             "code=0&name=V\x9A" "eobecn\xE1 \xFA" "verov\xE1 banka, a.s.&zip=SK-82990"
             "&location=Bratislava&country=SLOVAKIA&mode=SEPA"),
        sepa("IBN=ES5100030001810123456789",
             "code=1&name=BANCO DE DEPOSITOS, S.A.&zip=ES-28046&location=MADRID"
             "&country=SPAIN&mode=SEPA"),
        sepa("IBN=ES1600030001800123456789",
             "code=0&name=BANCO DE DEPOSITOS, S.A.&zip=ES-28046&location=MADRID"
             "&country=SPAIN&mode=SEPA"),
        // Germany: the IBAN rules must rebuild the IBAN.
        sepa("IBN=DE89370400440532013000", "code=1" + kCommerzbank),
        sepa("ibn=DE89370400440532013000", "code=1" + kCommerzbank),
        sepa("ibn=de89370400440532013000", "code=3&mode=SEPA"),
        sepa("IBN=DE50120300001234567897", "code=1" + kDkb),
        // Rule 0 asks for the account check, which method 00 refuses.
        sepa("IBN=DE45120300001234567890", "code=0" + kDkb),
        // Ten zeros are no account.
        sepa("IBN=DE02120300000000000000", "code=0" + kDkb)));

INSTANTIATE_TEST_SUITE_P(
    Resolution, SepaCli,
    ::testing::Values(
        sepa("IBN=DE89370400440532013000&BIC=COBADEFFXXX", "code=1" + kCommerzbank),
        sepa("IBN=DE89370400440532013000&BIC=DEUTDEFF", "code=9" + kCommerzbank),
        sepa("IBN=DE57500700100929070100&BIC=DEUTDEFF", "code=1" + kDeutscheBank),
        sepa("IBN=DE57500700100929070100&BIC=DEUTDEFFXXX", "code=1" + kDeutscheBank),
        sepa("IBN=DE57500700100929070100&BIC=DEUTDEFF500", "code=9" + kDeutscheBank),
        // A wrong BIC does not outweigh wrong check digits.
        sepa("IBN=DE88370400440532013000&BIC=DEUTDEFF", "code=0" + kCommerzbank),
        // Swiss clearing number 202: branch BIC and head BIC both confirm.
        sepa_all("IBN=CH7700202000000012345&BIC=UBSWCHZH80A",
                 "code=1&name=UBS Switzerland AG&zip=CH-8098&location=Z\xFCrich"
                 "&bic=UBSWCHZH86N&sct=1&sdd=1&b2b=1&scc=0&country=SWITZERLAND&mode=SEPA"),
        sepa("IBN=CH7700202000000012345&BIC=UBSWCHZH86N",
             "code=1&name=UBS Switzerland AG&zip=CH-8098&location=Z\xFCrich"
             "&country=SWITZERLAND&mode=SEPA"),
        sepa("IBN=CH7700202000000012345&BIC=UBSWCHZH81M",
             "code=9&name=UBS Switzerland AG&zip=CH-8098&location=Z\xFCrich"
             "&country=SWITZERLAND&mode=SEPA"),
        // France: bank code not in the table.
        sepa_all("IBN=FR6612345000000000000000000", "code=1&country=FRANCE&mode=SEPA"),
        sepa_all("IBN=FR6612345000000000000000000&BIC=DEUTDEFF",
                 "code=9&country=FRANCE&mode=SEPA"),
        sepa_all("IBN=FR6612345000000000000000000&BIC=CMCIFRPP",
                 "code=1&name=CM - CIC BANQUES&zip=75009&location=PARIS&bic=CMCIFRPPXXX"
                 "&sct=1&sdd=1&b2b=1&scc=0&country=FRANCE&mode=SEPA"),
        // France: bank code in the table; its BIC replaces the request's.
        sepa_all("IBN=FR1420041010050500013M02606&BIC=CMCIFRPP",
                 "code=9&name=LA BANQUE POSTALE&zip=75275&location=PARIS&bic=PSSTFRPPXXX"
                 "&sct=1&sdd=1&b2b=1&scc=0&country=FRANCE&mode=SEPA"),
        // A table BIC of another country.
        sepa_all("IBN=SE0790700000000000000001", "code=9&country=SWEDEN&mode=SEPA"),
        // Turkey has no table: the request's BIC decides; flags unknown.
        sepa_all("IBN=TR330006100519786457841326&BIC=TCZBTR2A",
                 "code=1&name=TURKIYE CUMHURIYETI ZIRAAT BANKASI A.S.&zip=06050&location=ANKARA"
                 "&bic=TCZBTR2AXXX&sct=9&sdd=9&b2b=9&scc=9&country=TURKEY&mode=SEPA"),
        sepa_all("IBN=TR330006100519786457841326", "code=1&country=TURKEY&mode=SEPA"),
        sepa_all("IBN=TR330006100519786457841326&BIC=ABCDTR2A", "code=9&country=TURKEY&mode=SEPA"),
        // Italy and San Marino: bank code after the check character.
        sepa("IBN=IT60X0542811101000000123456",
             "code=1&name=INTESA SANPAOLO SPA (FORMERLY UBI BANCA S.P.A.)&zip=24122"
             "&location=BERGAMO&country=ITALY&mode=SEPA"),
        sepa("IBN=SM69X0303409800000000123456",
             "code=1&name=BANCA AGRICOLA COMMERCIALE ISTITUTO BANCARIO SAMMARINESE S.P.A."
             "&zip=47891&location=DOGANA&country=SAN MARINO&mode=SEPA"),
        // Spain: bank 2100 of bank and branch 21000418.
        sepa("IBN=ES9121000418450200051332",
             "code=1&name=CAIXABANK, S.A.&zip=ES-46002&location=VALENCIA&country=SPAIN&mode=SEPA"),
        // Reachability: an 8-character entry, an 11-character entry, none.
        sepa_all("IBN=AT750010000000012345",
                 "code=1&name=Oesterreichische Nationalbank&zip=AT-1090&location=Wien"
                 "&bic=NABAATWWXXX&sct=1&sdd=0&b2b=0&scc=0&country=AUSTRIA&mode=SEPA"),
        sepa_all("IBN=DE50120300001234567897",
                 "code=1&name=Deutsche Kreditbank Berlin&zip=DE-10117&location=Berlin"
                 "&bic=BYLADEM1001&sct=1&sdd=1&b2b=1&scc=1&country=GERMANY&mode=SEPA"),
        sepa_all("IBN=DE92305200001234567890",
                 "code=1&name=RCI Banque Niederlassung Deutschland&zip=DE-41468&location=Neuss"
                 "&bic=RCIDDE3NXXX&sct=9&sdd=9&b2b=9&scc=9&country=GERMANY&mode=SEPA"),
        // A bank without BIC.
        sepa_all("IBN=BE78989000000086",
                 "code=1&name=bpost&zip=&location=&bic=&sct=9&sdd=9&b2b=9&scc=9"
                 "&country=BELGIUM&mode=SEPA"),
        sepa_all("IBN=CZ8385000000000000000123",
                 "code=1&name=Multitude Bank p.l.c.&zip=CZ-&location=&bic=&sct=9&sdd=9&b2b=9"
                 "&scc=9&country=CZECH REPUBLIC&mode=SEPA")));

TEST(SepaCli, HostileQueriesAlwaysAnswerOneLine) {
  // Every byte value in every place of a query: one line, a known code, the
  // exit status equal to it, nothing on standard error.
  const std::string base = "IBN=AT071100000012345678&BIC=BKAUATWW";
  for (int b = 1; b < 256; b += 7) {
    for (size_t at = 0; at < base.size(); at += 5) {
      std::string q = base;
      q[at] = static_cast<char>(b);
      InProcResult r = run_pluvar_inproc({"sepa", "-allinfo", q});
      ASSERT_GE(r.out.size(), 16u) << q;
      ASSERT_EQ(r.out.compare(0, 5, "code="), 0) << q;
      EXPECT_TRUE(std::string("01234679").find(r.out[5]) != std::string::npos) << q;
      EXPECT_EQ(r.status, r.out[5] - '0') << q;
      EXPECT_EQ(r.out.find('\n'), std::string::npos) << q;
    }
  }
  // Over-long queries are cut to 299 characters before the mode sees them.
  CliResult r = run_pluvar_cli({"sepa", "IBN=AT071100000012345678" + std::string(400, 'A')});
  EXPECT_EQ(r.out, "code=3&mode=SEPA");
  EXPECT_EQ(r.err, "");
}

}  // namespace
