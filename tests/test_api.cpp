// The C interface: typed calls against the command line's answers, the
// request call against the command line, buffers and callbacks at their
// limits, and answers under several threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "cli.h"

namespace {

std::string code_text(int code) { return "code=" + std::to_string(code); }

// Every bank code of the German directory once, in table order.
std::vector<std::string> german_bank_codes() {
  std::vector<std::string> codes;
  for (uint32_t i = 0; i < l_size; i++)
    if (codes.empty() || codes.back() != l[i].blz) codes.emplace_back(l[i].blz);
  return codes;
}

std::string random_digits(std::mt19937 &rng, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; i++) s += static_cast<char>('0' + rng() % 10);
  return s;
}

// Values of any shape without '&' and '=': digits mostly, now and then a
// letter, a blank or a byte above 0x7f; 0 to 12 characters.
std::string random_value(std::mt19937 &rng) {
  static const char kOdd[] = {'a', 'Z', ' ', '-', '\xfc', '+'};
  size_t n = rng() % 13;
  std::string s;
  for (size_t i = 0; i < n; i++)
    s += rng() % 12 == 0 ? kOdd[rng() % sizeof kOdd] : static_cast<char>('0' + rng() % 10);
  return s;
}

// The account check's answer line as the README describes it, from the
// typed result alone.
std::string account_line(const pluvar_account &a, bool allinfo) {
  std::string s = code_text(a.code);
  if (a.code == 0 || a.code == 1 || a.code == 8 || a.code == 9)
    s += std::string("&name=") + a.bank.name + "&zip=" + a.bank.zip + "&location=" +
         a.bank.location;
  if (allinfo && (a.code == 0 || a.code == 1 || a.code == 9)) {
    if (a.iban[0]) s += std::string("&ibn=") + a.iban;
    s += std::string("&bic=") + a.bank.bic;
  }
  return s;
}

TEST(TypedAccountCheck, EqualsTheCommandLineForEveryBankCode) {
  std::mt19937 rng(14);
  size_t compared = 0;
  for (const std::string &blz : german_bank_codes()) {
    for (int round = 0; round < 2; round++) {
      std::string knr = random_digits(rng, 1 + rng() % 10);
      for (bool allinfo : {false, true}) {
        pluvar_account a;
        int code = pluvar_check_account(blz.c_str(), knr.c_str(), allinfo ? PLUVAR_ALLINFO : 0, &a);
        std::vector<std::string> args{"knr=" + knr + "&blz=" + blz};
        if (allinfo) args.insert(args.begin(), "-allinfo");
        InProcResult cli = run_pluvar_inproc(args);
        ASSERT_EQ(code, cli.status) << args.back();
        ASSERT_EQ(a.code, code);
        ASSERT_EQ(account_line(a, allinfo), cli.out) << args.back();
        compared++;
      }
    }
  }
  EXPECT_GT(compared, 4u * 3000u);
}

// Values of every shape: the code and fields are the command line's.
TEST(TypedAccountCheck, CodesOfMalformedValuesEqualTheCommandLine) {
  std::mt19937 rng(1414);
  for (int i = 0; i < 20000; i++) {
    std::string blz = rng() % 3 ? random_value(rng) : "37040044";
    std::string knr = random_value(rng);
    pluvar_account a;
    int code = pluvar_check_account(blz.c_str(), knr.c_str(), 0, &a);
    InProcResult cli = run_pluvar_inproc({"knr=" + knr + "&blz=" + blz});
    ASSERT_EQ(code, cli.status) << "[" << knr << "] [" << blz << "]";
    ASSERT_EQ(account_line(a, false), cli.out);
  }
}

// The bulk check against the command line, pair by pair: every bank code
// with random accounts (ten zeros too), values of every shape, bank codes
// with a leading 0, and null texts, shuffled together and more than the
// call's inner stretches hold, so that the grouping by method and the
// stretch borders are crossed.
TEST(BulkAccountCheck, CodesEqualTheCommandLine) {
  std::mt19937 rng(1415);
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const std::string &blz : german_bank_codes()) {
    pairs.emplace_back(blz, random_digits(rng, 1 + rng() % 10));
    pairs.emplace_back(blz, random_digits(rng, 10));
    pairs.emplace_back(blz, random_digits(rng, 10));
  }
  for (int i = 0; i < 4000; i++) pairs.emplace_back(random_value(rng), random_value(rng));
  for (const char *odd : {"0000000000", "0", "00000000000", "12345678901"})
    pairs.emplace_back("37040044", odd);
  pairs.emplace_back("03704004", "532013000");
  pairs.emplace_back("00000000", "532013000");
  pairs.emplace_back("370400440", "532013000");
  std::shuffle(pairs.begin(), pairs.end(), rng);
  std::vector<pluvar_account_text> texts;
  for (const auto &[blz, knr] : pairs) texts.push_back({blz.c_str(), knr.c_str()});
  texts.insert(texts.begin() + 5000, {nullptr, "532013000"});
  texts.insert(texts.begin() + 9000, {"37040044", nullptr});
  std::vector<int> codes(texts.size(), -99);
  ASSERT_EQ(pluvar_check_accounts(texts.data(), texts.size(), codes.data()), 0);
  std::set<int> seen;
  for (size_t i = 0; i < texts.size(); i++) {
    if (texts[i].blz == nullptr || texts[i].knr == nullptr) {
      EXPECT_EQ(codes[i], PLUVAR_EARGUMENT);
      continue;
    }
    const std::string query = std::string("knr=") + texts[i].knr + "&blz=" + texts[i].blz;
    ASSERT_EQ(codes[i], run_pluvar_inproc({query}).status) << query;
    seen.insert(codes[i]);
  }
  for (int code : {0, 1, 2, 3, 6, 7, 9}) EXPECT_TRUE(seen.count(code)) << code;
  EXPECT_GT(texts.size(), 3 * 4096u);
}

TEST(BulkAccountCheck, RefusesNullArraysButNotAnEmptyCall) {
  int code = -99;
  pluvar_account_text one{"37040044", "532013000"};
  EXPECT_EQ(pluvar_check_accounts(nullptr, 0, nullptr), 0);
  EXPECT_EQ(pluvar_check_accounts(nullptr, 1, &code), PLUVAR_EARGUMENT);
  EXPECT_EQ(pluvar_check_accounts(&one, 1, nullptr), PLUVAR_EARGUMENT);
  EXPECT_EQ(pluvar_check_accounts(&one, 1, &code), 0);
  EXPECT_EQ(code, 1);
}

std::string iban_de_line(const pluvar_iban_de &r, bool allinfo) {
  std::string s = code_text(r.code);
  if (r.iban[0]) {
    s += std::string("&ibn=") + r.iban;
    if (allinfo) {
      if (r.bank.name[0])
        s += std::string("&name=") + r.bank.name + "&zip=" + r.bank.zip + "&location=" +
             r.bank.location;
      s += std::string("&bic=") + r.bank.bic;
    }
  }
  return s + "&mode=IBAN";
}

TEST(TypedIbanBuild, EqualsTheCommandLine) {
  std::mt19937 rng(1415);
  std::vector<std::string> codes = german_bank_codes();
  for (int i = 0; i < 12000; i++) {
    std::string blz = i % 5 == 4 ? random_value(rng) : codes[rng() % codes.size()];
    std::string knr = i % 7 == 6 ? random_value(rng) : random_digits(rng, 1 + rng() % 10);
    bool allinfo = i % 2;
    pluvar_iban_de r;
    int code = pluvar_build_iban_de(blz.c_str(), knr.c_str(), allinfo ? PLUVAR_ALLINFO : 0, &r);
    std::vector<std::string> args{"iban", "ccd=de&blz=" + blz + "&knr=" + knr};
    if (allinfo) args.insert(args.begin() + 1, "-allinfo");
    InProcResult cli = run_pluvar_inproc(args);
    ASSERT_EQ(code, cli.status) << args.back();
    ASSERT_EQ(iban_de_line(r, allinfo), cli.out) << args.back();
  }
}

std::string iban_check_line(const pluvar_iban_check &r, bool allinfo) {
  std::string s = code_text(r.code);
  if (r.code == 0 || r.code == 1 || r.code == 9) {
    if (r.bank_found) {
      s += std::string("&name=") + r.bank.name + "&zip=" + r.bank.zip + "&location=" +
           r.bank.location;
      if (allinfo)
        s += std::string("&bic=") + r.bank.bic + "&sct=" + r.sct + "&sdd=" + r.sdd + "&b2b=" +
             r.b2b + "&scc=" + r.scc;
    }
    s += std::string("&country=") + r.country;
  }
  return s + "&mode=SEPA";
}

// An IBAN of the country's format with right check digits: digits, capitals
// and, where the format allows any character, both.
std::string random_iban(std::mt19937 &rng, const Country_t &country) {
  std::string bban;
  const char *f = country.format;
  int item = 0;
  while (*f) {
    int n = 0;
    while (*f >= '0' && *f <= '9') n = n * 10 + (*f++ - '0');
    if (*f == '!') f++;
    char type = *f ? *f++ : 'n';
    if (item++ < 2) continue;  // the country code and the check digits
    for (int i = 0; i < n; i++) {
      bool letter = type == 'a' || (type == 'c' && rng() % 3 == 0);
      bban += letter ? static_cast<char>('A' + rng() % 26) : static_cast<char>('0' + rng() % 10);
    }
  }
  int check = 98 - iban_check_value(country.code, bban.c_str());
  if (check < 0 || check > 98) check = 0;  // a character no IBAN holds
  return std::string(country.code) + static_cast<char>('0' + check / 10) +
         static_cast<char>('0' + check % 10) + bban;
}

TEST(TypedIbanValidation, EqualsTheCommandLine) {
  std::mt19937 rng(1416);
  std::vector<const Country_t *> with_iban;
  for (uint32_t i = 0; i < c_size; i++)
    if (c[i].format[0]) with_iban.push_back(&c[i]);
  ASSERT_GT(with_iban.size(), 80u);
  std::vector<std::string> codes = german_bank_codes();
  std::set<int> seen;
  for (int i = 0; i < 12000; i++) {
    std::string iban;
    if (i % 3 == 0) {
      iban = "DE00" + codes[rng() % codes.size()] + random_digits(rng, 10);
      int check = 98 - iban_check_value("DE", iban.c_str() + 4);
      iban[2] = static_cast<char>('0' + check / 10);
      iban[3] = static_cast<char>('0' + check % 10);
    } else {
      iban = random_iban(rng, *with_iban[rng() % with_iban.size()]);
    }
    if (i % 11 == 0) iban[2 + rng() % (iban.size() - 2)] = static_cast<char>('0' + rng() % 10);
    if (i % 13 == 0) iban = random_value(rng);
    bool allinfo = i % 2;
    // The bank's own BIC half the time, else none or one of another bank.
    std::string bic;
    if (i % 4 == 1) {
      pluvar_iban_check first;
      pluvar_validate_iban(iban.c_str(), nullptr, PLUVAR_ALLINFO, &first);
      bic = first.bank.bic;
      if (bic.size() == 11 && rng() % 2) bic.resize(8);
    } else if (i % 4 == 3) {
      bic = "COBADEFFXXX";
    }
    pluvar_iban_check r;
    int code = pluvar_validate_iban(iban.c_str(), bic.empty() ? nullptr : bic.c_str(),
                                    allinfo ? PLUVAR_ALLINFO : 0, &r);
    std::string query = "IBN=" + iban + (bic.empty() ? "" : "&BIC=" + bic);
    std::vector<std::string> args{"sepa", query};
    if (allinfo) args.insert(args.begin() + 1, "-allinfo");
    InProcResult cli = run_pluvar_inproc(args);
    ASSERT_EQ(code, cli.status) << query;
    ASSERT_EQ(iban_check_line(r, allinfo), cli.out) << query;
    seen.insert(code);
  }
  // The sample reaches the answers with and without a bank.
  for (int code : {0, 1, 3, 4, 7, 9}) EXPECT_TRUE(seen.count(code)) << code;
}

TEST(TypedCalls, RefuseMissingArgumentsAndUnknownFlags) {
  pluvar_account a;
  pluvar_iban_de d;
  pluvar_iban_check s;
  EXPECT_EQ(pluvar_check_account(nullptr, "1", 0, &a), PLUVAR_EARGUMENT);
  EXPECT_EQ(pluvar_check_account("10000000", nullptr, 0, &a), PLUVAR_EARGUMENT);
  EXPECT_EQ(pluvar_check_account("10000000", "1", 0, nullptr), PLUVAR_EARGUMENT);
  EXPECT_EQ(pluvar_check_account("10000000", "1", PLUVAR_JSON, &a), PLUVAR_EARGUMENT);
  EXPECT_EQ(pluvar_build_iban_de("10000000", nullptr, 0, &d), PLUVAR_EARGUMENT);
  EXPECT_EQ(pluvar_validate_iban(nullptr, nullptr, 0, &s), PLUVAR_EARGUMENT);
  EXPECT_EQ(pluvar_validate_iban("DE89370400440532013000", nullptr, 0x100, &s), PLUVAR_EARGUMENT);
}

TEST(TypedCalls, ReadmeExamples) {
  pluvar_account a;
  EXPECT_EQ(pluvar_check_account("37040044", "532013000", PLUVAR_ALLINFO, &a), 1);
  EXPECT_STREQ(a.bank.name, "Commerzbank");
  EXPECT_STREQ(a.reason, "valid");
  EXPECT_STREQ(a.iban, "DE89370400440532013000");
  EXPECT_STREQ(a.bank.bic, "COBADEFFXXX");
  pluvar_iban_de d;
  EXPECT_EQ(pluvar_build_iban_de("50850049", "1234567897", PLUVAR_ALLINFO, &d), 1);
  EXPECT_STREQ(d.iban, "DE21500500001234567897");
  EXPECT_STREQ(d.bank.zip, "DE-60297");
  pluvar_iban_check s;
  EXPECT_EQ(pluvar_validate_iban("CH7700202000000012345", "UBSWCHZH80A", PLUVAR_ALLINFO, &s), 1);
  EXPECT_STREQ(s.country, "SWITZERLAND");
  EXPECT_STREQ(s.bank.bic, "UBSWCHZH86N");
  EXPECT_EQ(s.scc, '0');
  pluvar_account_text pairs[] = {{"37040044", "532013000"}, {"37040044", "1234567890"},
                                 {"1234567", "1"}};
  int codes[3];
  EXPECT_EQ(pluvar_check_accounts(pairs, 3, codes), 0);
  EXPECT_EQ(codes[0], 1);
  EXPECT_EQ(codes[1], 0);
  EXPECT_EQ(codes[2], 2);
}

// ----- The request call -----

std::string answer_text(const pluvar_req &r, int *code) {
  std::string s;
  *code = pluvar_answer_to(&r, append_to_string_api, &s);
  return s;
}

TEST(RequestCall, EqualsTheCommandLineWordForWord) {
  struct Case {
    int mode;
    const char *word;
  };
  const Case kModesWords[] = {{PLUVAR_MODE_ACCOUNT, nullptr},
                              {PLUVAR_MODE_IBAN, "iban"},
                              {PLUVAR_MODE_SEPA, "sepa"},
                              {PLUVAR_MODE_SEARCH, "search"}};
  const char *kQueries[] = {"knr=0532013000&blz=37040044", "ibn=DE89370400440532013000",
                            "ccd=de&blz=37040044&knr=532013000", "IBN=CH7700202000000012345",
                            "blz=1000&max=3", "nam=bundesbank", "", "x"};
  for (const Case &m : kModesWords) {
    for (const char *q : kQueries) {
      for (bool allinfo : {false, true}) {
        pluvar_req r{m.mode, allinfo ? PLUVAR_ALLINFO : 0u, q, nullptr};
        std::vector<std::string> args;
        if (m.word) args.push_back(m.word);
        if (allinfo) args.push_back("-allinfo");
        args.push_back(q);
        InProcResult cli = run_pluvar_inproc(args);
        int code;
        EXPECT_EQ(answer_text(r, &code), cli.out) << q;
        EXPECT_EQ(code, cli.status) << q;
      }
    }
  }
  pluvar_req v{PLUVAR_MODE_VERSION, 0, nullptr, nullptr};
  int code;
  EXPECT_EQ(answer_text(v, &code), run_pluvar_inproc({"-v"}).out);
  EXPECT_EQ(code, 1);
}

TEST(RequestCall, RefusesWhatIsNoRequest) {
  char buf[PLUVAR_ANSWER_SIZE];
  pluvar_req r{PLUVAR_MODE_SEPA, 0, nullptr, nullptr};
  EXPECT_EQ(pluvar_answer(&r, buf, sizeof buf, nullptr), PLUVAR_EARGUMENT);
  r = {7, 0, "x", nullptr};
  EXPECT_EQ(pluvar_answer(&r, buf, sizeof buf, nullptr), PLUVAR_EARGUMENT);
  r = {PLUVAR_MODE_SEPA, 0x80, "x", nullptr};
  EXPECT_EQ(pluvar_answer(&r, buf, sizeof buf, nullptr), PLUVAR_EARGUMENT);
  r = {PLUVAR_MODE_VERSION, PLUVAR_ALLINFO, nullptr, nullptr};
  EXPECT_EQ(pluvar_answer(&r, buf, sizeof buf, nullptr), PLUVAR_EARGUMENT);
  EXPECT_EQ(pluvar_answer(nullptr, buf, sizeof buf, nullptr), PLUVAR_EARGUMENT);
  EXPECT_EQ(pluvar_answer_to(&r, nullptr, nullptr), PLUVAR_EARGUMENT);
  const char *argv[] = {"pluvar", nullptr};
  EXPECT_EQ(pluvar_command(2, argv, buf, sizeof buf, nullptr), PLUVAR_EARGUMENT);
  EXPECT_EQ(pluvar_command(0, argv, buf, sizeof buf, nullptr), PLUVAR_EARGUMENT);
  EXPECT_EQ(pluvar_command(1, argv, nullptr, 5, nullptr), PLUVAR_EARGUMENT);
}

// ----- Buffers and callbacks -----

TEST(AnswerBuffer, CutAnswersAreReportedWithTheirLength) {
  pluvar_req r{PLUVAR_MODE_ACCOUNT, 0, "knr=1&blz=10000000", nullptr};
  const std::string expect = "code=9&name=Bundesbank&zip=10591&location=Berlin";
  ASSERT_EQ(run_pluvar_inproc({r.query}).out, expect);
  std::vector<char> buf(expect.size() + 1, 'x');
  size_t length = 0;
  EXPECT_EQ(pluvar_answer(&r, buf.data(), buf.size(), &length), 9);
  EXPECT_EQ(std::string(buf.data()), expect);
  EXPECT_EQ(length, expect.size());
  // One byte short: the beginning, a NUL, and the length needed.
  std::fill(buf.begin(), buf.end(), 'x');
  EXPECT_EQ(pluvar_answer(&r, buf.data(), expect.size(), &length), PLUVAR_ESPACE);
  EXPECT_EQ(std::string(buf.data()), expect.substr(0, expect.size() - 1));
  EXPECT_EQ(buf[expect.size()], 'x');  // nothing written past the size given
  EXPECT_EQ(length, expect.size());
  // No buffer at all: only the length.
  EXPECT_EQ(pluvar_answer(&r, nullptr, 0, &length), PLUVAR_ESPACE);
  EXPECT_EQ(length, expect.size());
}

TEST(AnswerBuffer, LongSearchAnswersStreamThroughTheCallback) {
  const std::vector<std::string> args{"search", "-allinfo", "nam=bank&max=9999"};
  InProcResult cli = run_pluvar_inproc(args);
  ASSERT_GT(cli.out.size(), 3u * sizeof(Sink::buf));  // several flushes
  ApiResult lib = run_pluvar_api(args);
  EXPECT_EQ(lib.out, cli.out);
  EXPECT_EQ(lib.status, cli.status);
  std::vector<char> buf(cli.out.size() + 1);
  size_t length = 0;
  const char *argv[] = {"pluvar", "search", "-allinfo", "nam=bank&max=9999"};
  EXPECT_EQ(pluvar_command(4, argv, buf.data(), buf.size(), &length), cli.status);
  EXPECT_EQ(std::string(buf.data(), length), cli.out);
}

int refuse_second_piece(void *ctx, const char *, size_t) {
  int &calls = *static_cast<int *>(ctx);
  return ++calls >= 2 ? 1 : 0;
}

TEST(AnswerCallback, AFailedWriteIsNeverReportedAsAnAnswer) {
  int calls = 0;
  const char *argv[] = {"pluvar", "search", "-allinfo", "nam=bank&max=9999"};
  EXPECT_EQ(pluvar_command_to(4, argv, refuse_second_piece, &calls), PLUVAR_EWRITE);
  EXPECT_EQ(calls, 2);  // nothing is handed on after the refusal
}

// ----- Threads -----

// Mixed requests answered by eight threads at once equal the serial answers
// (the ThreadSanitizer program test_threads runs many more).
TEST(Threads, ConcurrentAnswersEqualSerialOnes) {
  std::mt19937 rng(8);
  std::vector<std::vector<std::string>> requests;
  std::vector<std::string> codes = german_bank_codes();
  for (int i = 0; i < 400; i++) {
    const std::string &blz = codes[rng() % codes.size()];
    std::string knr = random_digits(rng, 10);
    switch (i % 4) {
      case 0:
        requests.push_back({"-allinfo", "knr=" + knr + "&blz=" + blz});
        break;
      case 1:
        requests.push_back({"iban", "-allinfo", "ccd=de&blz=" + blz + "&knr=" + knr});
        break;
      case 2:
        requests.push_back({"sepa", "-allinfo", "IBN=DE00" + blz + knr});
        break;
      default:
        requests.push_back({"search", "blz=" + blz.substr(0, 5) + "&max=5"});
    }
  }
  std::vector<ApiResult> serial;
  for (const auto &r : requests) serial.push_back(run_pluvar_api(r));
  std::vector<int> mismatches(8, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; t++) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 5; round++)
        for (size_t i = t; i < requests.size(); i++) {
          ApiResult a = run_pluvar_api(requests[i]);
          if (a.out != serial[i].out || a.status != serial[i].status) mismatches[t]++;
        }
    });
  }
  for (auto &t : threads) t.join();
  for (int m : mismatches) EXPECT_EQ(m, 0);
}

TEST(Version, LibraryVersionAndEditionMatchTheBanner) {
  std::string banner = run_pluvar_inproc({"-v"}).out;
  EXPECT_EQ(banner.rfind(std::string("Pluvar ") + pluvar_version() + ",", 0), 0u) << banner;
  unsigned long from = 0, to = 0;
  EXPECT_EQ(pluvar_data_edition(&from, &to), 0);
  // The banner writes the dates as MM/DD/YY.
  auto us_date = [](unsigned long ymd) {
    char text[9];
    snprintf(text, sizeof text, "%02lu/%02lu/%02lu", ymd / 100 % 100, ymd % 100, ymd / 10000 % 100);
    return std::string(text);
  };
  EXPECT_NE(banner.find("valid " + us_date(from) + " - " + us_date(to)), std::string::npos)
      << banner;
}

}  // namespace
