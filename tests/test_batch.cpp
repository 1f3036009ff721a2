// Batch mode: `pluvar --batch` answers each line of its input exactly as the
// one-shot command line made of the line's TAB-separated fields would,
// followed by LF.  The judge here splits the lines itself and asks the
// request entry (and, for a sample, the built program) one line at a time.
#include <fcntl.h>
#include <poll.h>
#include <regex.h>
#include <unistd.h>

#include <cstdlib>
#include <random>
#include <thread>

#include "cli.h"

namespace {

// Runs `pluvar ARGS` with `input` on standard input (from a file, so any size
// goes in without a writer thread).
CliResult run_batch(const std::string &input, const std::vector<std::string> &args = {"--batch"},
                    const char *stdout_path = nullptr) {
  CliResult r;
  char path[] = "/tmp/pluvar_batch_in_XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) return r;
  if (!input.empty() && write(fd, input.data(), input.size()) != static_cast<ssize_t>(input.size()))
    return r;
  close(fd);
  int outp[2], errp[2];
  if (pipe(outp) != 0 || pipe(errp) != 0) return r;
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 0, path, O_RDONLY, 0);
  if (stdout_path)
    posix_spawn_file_actions_addopen(&fa, 1, stdout_path, O_WRONLY, 0);
  else
    posix_spawn_file_actions_adddup2(&fa, outp[1], 1);
  posix_spawn_file_actions_adddup2(&fa, errp[1], 2);
  posix_spawn_file_actions_addclose(&fa, outp[0]);
  posix_spawn_file_actions_addclose(&fa, errp[0]);
  std::string prog = PLUVAR_BIN;
  std::vector<std::string> copy = args;
  std::vector<char *> argv = {prog.data()};
  for (auto &a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  int rc = posix_spawn(&pid, prog.c_str(), &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  close(outp[1]);
  close(errp[1]);
  if (rc == 0) {
    r.out = read_all(outp[0]);
    r.err = read_all(errp[0]);
    int st = 0;
    waitpid(pid, &st, 0);
    if (WIFEXITED(st)) r.status = WEXITSTATUS(st);
  }
  close(outp[0]);
  close(errp[0]);
  unlink(path);
  return r;
}

// The judge's own reading of the line format: lines end at LF (a CR before
// it dropped), a last line may lack its LF, fields are separated by TAB and
// an empty line has none.
std::vector<std::vector<std::string>> split_requests(const std::string &input) {
  std::vector<std::vector<std::string>> lines;
  size_t pos = 0;
  while (pos < input.size()) {
    size_t lf = input.find('\n', pos);
    size_t end = lf == std::string::npos ? input.size() : lf;
    std::string line = input.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> fields;
    if (!line.empty()) {
      size_t f = 0;
      for (;;) {
        size_t tab = line.find('\t', f);
        fields.push_back(line.substr(f, tab == std::string::npos ? std::string::npos : tab - f));
        if (tab == std::string::npos) break;
        f = tab + 1;
      }
    }
    lines.push_back(fields);
    pos = end + 1;
  }
  return lines;
}

std::vector<std::string> with_prefix(const std::vector<std::string> &prefix,
                                     const std::vector<std::string> &fields) {
  std::vector<std::string> args = prefix;
  args.insert(args.end(), fields.begin(), fields.end());
  return args;
}

// One request through the request path, as the command line's entry makes
// it (which alone also knows --version, a description for people).
std::string request_inproc(const std::vector<std::string> &args) {
  std::vector<const char *> argv = {"pluvar"};
  for (const auto &a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  std::string out;
  Sink sink;
  sink_init(sink, append_to_string, &out);
  pluvar_request(kDefaultOptions, static_cast<int>(argv.size() - 1), argv.data(), sink);
  sink_finish(sink);
  return out;
}

std::string one_shot_answers(const std::string &input, const std::vector<std::string> &prefix = {}) {
  std::string all;
  for (const auto &fields : split_requests(input))
    all += request_inproc(with_prefix(prefix, fields)) + "\n";
  return all;
}

// Request lines of every mode, good and bad, with the odd shapes a file may
// hold: long lines, CR LF, empty lines, bytes above 0x7F, many fields.
std::vector<std::string> generated_lines(unsigned seed, size_t count) {
  std::mt19937 rng(seed);
  auto pick = [&](std::initializer_list<const char *> items) {
    return std::string(items.begin()[rng() % items.size()]);
  };
  auto digits = [&](size_t n) {
    std::string s;
    for (size_t i = 0; i < n; i++) s.push_back(static_cast<char>('0' + rng() % 10));
    return s;
  };
  auto noise = [&](size_t n) {
    std::string s;
    for (size_t i = 0; i < n; i++) {
      char c = static_cast<char>(1 + rng() % 255);
      if (c != '\n' && c != '\t') s.push_back(c);
    }
    return s;
  };
  auto bank_code = [&] { return std::string(l[rng() % l_size].blz); };
  std::vector<std::string> lines;
  for (size_t i = 0; i < count; i++) {
    std::vector<std::string> f;
    switch (rng() % 14) {
      case 0: case 1: case 2:
        f = {"knr=" + digits(1 + rng() % 10) + "&blz=" + bank_code()};
        break;
      case 3:
        f = {pick({"-allinfo", "-ALLINFO", "-allinf"}), "knr=" + digits(10) + "&blz=" + bank_code()};
        break;
      case 4:
        f = {"IBN=DE" + digits(2) + bank_code() + digits(10)};
        break;
      case 5:
        f = {pick({"sepa", "SEPA"}), "-allinfo",
             "IBN=" + pick({"DE89370400440532013000", "AT071100000012345678", "FR1420041010050500013M02606",
                            "CH7700202000000012345", "XX12"})};
        break;
      case 6:
        f = {"iban", pick({"-allinfo", "-x"}), "ccd=" + pick({"de", "at", "be", "xx"}) + "&blz=" +
                                                   bank_code() + "&knr=" + digits(rng() % 12)};
        break;
      case 7:
        f = {"search", "nam=" + pick({"spar", "bundesbank", "volks", "x", "m\xfc" "nchen"}) +
                           "&max=" + std::to_string(rng() % 40)};
        break;
      case 8:
        f = {"search", "-allinfo", "blz=" + digits(4 + rng() % 5)};
        break;
      case 9:
        f = {pick({"-v", "-V", "--batch", "", "search", "knr=1"})};
        if (rng() % 3 == 0) f.insert(f.begin(), pick({"--json", "--utf8", "--lenient", "--strict", "--x"}));
        break;
      case 10:  // a long query, cut as on the command line
        f = {pick({"", "-allinfo\t", "search\t"}) + "knr=" + digits(5) + "&blz=" + bank_code() +
             std::string(300 + rng() % 9000, static_cast<char>('0' + rng() % 10))};
        break;
      case 11:
        f = {noise(rng() % 60)};
        if (rng() % 2) f.push_back(noise(rng() % 60));
        break;
      case 12: {  // many fields
        size_t n = 2 + rng() % 80;
        for (size_t k = 0; k < n; k++) f.push_back(pick({"-allinfo", "search", "x", "", "--utf8", "--date"}));
        break;
      }
      default:
        break;  // empty line
    }
    std::string line;
    for (size_t k = 0; k < f.size(); k++) line += (k ? "\t" : "") + f[k];
    lines.push_back(line + (rng() % 4 == 0 ? "\r\n" : "\n"));
  }
  return lines;
}

TEST(Batch, EqualsOneShotAnswersLineForLine) {
  std::string input;
  for (const auto &line : generated_lines(20261208, 3000)) input += line;
  input += "knr=0532013000&blz=37040044";  // a last line without LF
  CliResult r = run_batch(input);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  std::string expected = one_shot_answers(input);
  ASSERT_EQ(r.out.size(), expected.size());
  EXPECT_TRUE(r.out == expected);
}

// Account lines are answered in runs (looked up together, checked method by
// method): long runs of them in both key orders, every account length, and
// near misses of their shape, which must fall back to the general path,
// give the one-shot answers, with and without threads.
TEST(Batch, RunsOfAccountLinesEqualOneShotAnswers) {
  std::mt19937 rng(20261209);
  auto digits = [&](size_t n) {
    std::string s;
    for (size_t i = 0; i < n; i++) s.push_back(static_cast<char>('0' + rng() % 10));
    return s;
  };
  auto bank_code = [&] { return std::string(l[rng() % l_size].blz); };
  const char kOdd[] = {'a', 'Z', '&', '=', '\0', '\r', ' ', '+', '9', '0', '\xfc'};
  std::string input;
  for (int i = 0; i < 30000; i++) {
    // Mostly ten-digit accounts, the shape read as words.
    const size_t nk = rng() % 3 ? 10 : rng() % 12;
    std::string knr = "knr=" + digits(nk), blz = "blz=" + (rng() % 50 ? bank_code() : digits(rng() % 10));
    std::string line = rng() % 2 ? knr + "&" + blz : blz + "&" + knr;
    if (rng() % 8 == 0) line[rng() % line.size()] = kOdd[rng() % sizeof kOdd];
    if (rng() % 40 == 0) line = "KNR=" + line.substr(4);
    if (rng() % 200 == 0) line = "-allinfo\t" + line;
    input += line + (rng() % 10 ? "\n" : "\r\n");
  }
  const std::string expected = one_shot_answers(input);
  for (const std::vector<std::string> &args :
       std::vector<std::vector<std::string>>{{"--batch"}, {"--threads", "2", "--batch"}}) {
    CliResult r = run_batch(input, args);
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(r.out.size(), expected.size()) << args[0];
    EXPECT_TRUE(r.out == expected) << args[0];
  }
}

// A line joins a run only when it is the account query of exactly its two
// values, judged by a second reading of the form (a POSIX regular
// expression) over mutations of both key orders: bytes replaced, inserted,
// dropped.
TEST(Batch, AccountLinesAreRecognisedByTheirForm) {
  regex_t form;
  ASSERT_EQ(regcomp(&form,
                    "^(knr=([0-9]{1,10})&blz=([0-9]{8})\r?|blz=([0-9]{8})&knr=([0-9]{1,10})\r?)$",
                    REG_EXTENDED),
            0);
  const std::string alphabet = "0123456789&=knrblzKB\r\t x";
  std::mt19937 rng(12);
  auto digits = [&](size_t n) {
    std::string s;
    for (size_t i = 0; i < n; i++) s.push_back(static_cast<char>('0' + rng() % 10));
    return s;
  };
  auto group = [](const std::string &line, const regmatch_t &m) {
    return m.rm_so < 0 ? std::string() : line.substr(static_cast<size_t>(m.rm_so),
                                                     static_cast<size_t>(m.rm_eo - m.rm_so));
  };
  for (int i = 0; i < 20000; i++) {
    const std::string knr = digits(rng() % 12), blz = digits(7 + rng() % 3);
    std::string line = rng() % 2 ? "knr=" + knr + "&blz=" + blz : "blz=" + blz + "&knr=" + knr;
    for (unsigned m = rng() % 3; m > 0 && !line.empty(); m--) {
      const size_t at = rng() % line.size();
      const char c = alphabet[rng() % alphabet.size()];
      switch (rng() % 3) {
        case 0: line[at] = c; break;
        case 1: line.insert(line.begin() + static_cast<long>(at), c); break;
        default: line.erase(at, 1);
      }
    }
    regmatch_t m[6];
    const bool judged = regexec(&form, line.c_str(), 6, m, 0) == 0;
    AccountLine a{};
    ASSERT_EQ(read_account_line(line, a), judged) << line;
    if (!judged) continue;
    EXPECT_EQ(std::string(a.blz, 8), group(line, m[3]) + group(line, m[4])) << line;
    EXPECT_EQ(std::string(a.knr, a.knr_len), group(line, m[2]) + group(line, m[5])) << line;
  }
  regfree(&form);
}

// The first read takes 16 KiB; once it fills, the batch reads on into
// larger buffers.  An account line (or one ending in CR LF) that stands
// across that border at any of its bytes is read whole.
TEST(Batch, LinesAcrossTheFirstReadAreReadWhole) {
  constexpr size_t kFirstRead = 16384;
  const std::string account = "knr=0532013000&blz=37040044";
  for (size_t back = 0; back <= account.size() + 2; back++) {
    std::string input;
    while (input.size() + 3 <= kFirstRead - back) input += "-v\n";
    input += std::string(kFirstRead - back - input.size(), 'x');  // the last filler line, refused
    input += "\n" + account + (back % 2 ? "\r\n" : "\n");
    for (int i = 0; i < 600; i++) input += account + "\n";
    const std::string expected = one_shot_answers(input);
    for (const char *threads : {"1", "2"}) {
      CliResult r = run_batch(input, {"--threads", threads, "--batch"});
      EXPECT_EQ(r.status, 0);
      EXPECT_TRUE(r.out == expected) << "border " << back << " bytes before the line, threads " << threads;
    }
  }
}

// Threads share the lines of each large read and give the same answers in
// the same order: several reads' worth of generated lines (so lines straddle
// the reads), a line longer than a read, and a last line without LF.
TEST(Batch, ThreadsGiveTheSameAnswersInTheSameOrder) {
  std::string input;
  for (const auto &line : generated_lines(20261209, 12000)) input += line;
  input += "knr=1&blz=" + std::string(300000, '7') + "\n";
  for (const auto &line : generated_lines(5, 3000)) input += line;
  input += "knr=0532013000&blz=37040044";
  const CliResult one = run_batch(input);
  ASSERT_EQ(one.status, 0);
  ASSERT_TRUE(one.out == one_shot_answers(input));
  for (const char *threads : {"2", "3", "16"}) {
    for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
             {"--threads", threads, "--batch"}, {"--batch", "--threads", threads}}) {
      CliResult r = run_batch(input, args);
      EXPECT_EQ(r.status, 0) << threads;
      EXPECT_EQ(r.err, "");
      ASSERT_EQ(r.out.size(), one.out.size()) << threads;
      EXPECT_TRUE(r.out == one.out) << threads;
    }
  }
  // The options still stand before every line.
  CliResult json = run_batch(input, {"--json", "--threads", "2", "--batch"});
  EXPECT_TRUE(json.out == run_batch(input, {"--json", "--batch"}).out);
}

// --threads belongs to the batch: a count outside 1-16, a second one, or
// --threads without --batch is an unusable command line.  Without a count
// it is an unknown option word, which stands before every line like any
// other (as --zz would) and makes each answer code=5.
TEST(Batch, ThreadCountsOutsideTheRangeAreRefused) {
  for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
           {"--threads", "0", "--batch"}, {"--threads", "17", "--batch"},
           {"--threads", "x", "--batch"}, {"--threads", "2", "--threads", "2", "--batch"},
           {"--threads", "1", "--batch", "--threads", "2"},
           {"--threads", "2", "knr=0532013000&blz=37040044"}}) {
    CliResult r = run_batch("knr=0532013000&blz=37040044\n", args);
    EXPECT_EQ(r.out, "code=5") << args[1];
    EXPECT_EQ(r.status, 5) << args[1];
  }
  CliResult r = run_batch("knr=0532013000&blz=37040044\n", {"--threads", "--batch"});
  EXPECT_EQ(r.out, "code=5\n");
  EXPECT_EQ(r.status, 0);
}

// A sample judged by the built program itself, one process per line.
TEST(Batch, EqualsTheOneShotProgram) {
  std::vector<std::string> lines = generated_lines(7, 150);
  std::string input, expected;
  for (const auto &line : lines) {
    input += line;
    for (const auto &fields : split_requests(line)) expected += run_pluvar_cli(fields).out + "\n";
  }
  CliResult r = run_batch(input);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out == expected);
}

TEST(Batch, LinesLongerThanAnyBufferAreReadWhole) {
  std::string big(200000, '7');
  std::string input = "knr=1&blz=" + big + "\n" + "search\t-allinfo\tnam=spar" + big + "&max=3\r\n" +
                      std::string(100000, '\t') + "\n" + "knr=0532013000&blz=37040044\n";
  CliResult r = run_batch(input);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out == one_shot_answers(input));
  EXPECT_EQ(r.out.substr(r.out.rfind("code=", r.out.size() - 2)),
            "code=1&name=Commerzbank&zip=50447&location=K\xf6ln\n");
}

// However many words a line has, it is answered as a command line of those
// words (repeated options still leave a usable request); only a line beyond
// what any command line can carry is refused, in the batch's answer form.
TEST(Batch, LinesOfManyWordsAreAnsweredAsTheirCommandLine) {
  std::string options;
  for (int i = 0; i < 100; i++) options += (i % 2 ? "--json\t" : "--lenient\t");
  std::string input = options + "knr=0532013000&blz=37040044\n" + options + "-v--json\tx\ty\tz\n";
  CliResult r = run_batch(input);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out == one_shot_answers(input)) << r.out;
  EXPECT_EQ(r.out.rfind("{\"code\":1,", 0), 0u) << r.out;

  CliResult refused = run_batch(std::string(300000, '\t') + "\nknr=0532013000&blz=37040044\n",
                                {"--json", "--batch"});
  EXPECT_EQ(refused.status, 0);
  EXPECT_EQ(refused.out.substr(0, refused.out.find('\n')), "{\"code\":5,\"reason\":\"option-unknown\"}");
  EXPECT_NE(refused.out.find("\n{\"code\":1,"), std::string::npos) << refused.out;
}

TEST(Batch, EmptyInputAndEmptyLines) {
  EXPECT_EQ(run_batch("").out, "");
  EXPECT_EQ(run_batch("").status, 0);
  CliResult r = run_batch("\n\r\n\t\n");
  EXPECT_EQ(r.out, "code=5\ncode=5\ncode=5\n");
  EXPECT_EQ(r.status, 0);
}

TEST(Batch, OptionsOfTheCommandLineStandBeforeEveryLine) {
  std::string input = "knr=0532013000&blz=37040044\n-v\n\nsearch\tblz=10000000\n--json\t-v\n";
  struct Case {
    std::vector<std::string> args, prefix;
  };
  for (const Case &c : std::vector<Case>{
           {{"--utf8", "--batch"}, {"--utf8"}},
           {{"--batch", "--json"}, {"--json"}},
           {{"--date", "2025-04-01", "--batch", "--strict"}, {"--date", "2025-04-01", "--strict"}},
           {{"--zz", "--batch"}, {"--zz"}}}) {
    CliResult r = run_batch(input, c.args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, one_shot_answers(input, c.prefix));
  }
}

TEST(Batch, FurtherWordsAreRefusedLikeABadCommandLine) {
  // Not every word an option: one request, which the request entry refuses
  // (code=5) or, with --batch as the query, judges as a query.
  for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
           {"--batch", "knr=0532013000&blz=37040044"}, {"--batch", "-allinfo"},
           {"search", "--batch"}, {"--batch", "search", "blz=10000000"}}) {
    CliResult r = run_batch("knr=0532013000&blz=37040044\n", args);
    InProcResult one_shot = run_pluvar_inproc(args);
    EXPECT_EQ(r.out, one_shot.out);
    EXPECT_EQ(r.status, one_shot.status);
    EXPECT_EQ(r.err, "");
  }
}

// Starts `pluvar --batch` on the pipes' child ends (standard error on
// `errp` when given) and closes them here; returns the process, or -1.
pid_t spawn_batch(int inp[2], int outp[2], int errp[2],
                  const std::vector<std::string> &words = {"--batch"}) {
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, inp[0], 0);
  posix_spawn_file_actions_adddup2(&fa, outp[1], 1);
  posix_spawn_file_actions_addclose(&fa, inp[1]);
  if (errp) {
    posix_spawn_file_actions_adddup2(&fa, errp[1], 2);
    posix_spawn_file_actions_addclose(&fa, errp[0]);
  }
  std::string prog = PLUVAR_BIN;
  std::vector<std::string> args = words;
  std::vector<char *> argv = {prog.data()};
  for (std::string &w : args) argv.push_back(w.data());
  argv.push_back(nullptr);
  pid_t pid;
  int rc = posix_spawn(&pid, prog.c_str(), &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  close(inp[0]);
  close(outp[1]);
  if (errp) close(errp[1]);
  return rc == 0 ? pid : -1;
}

TEST(Batch, FailedWriteStopsWithAMessageAndStatus74) {
  std::string input;
  for (int i = 0; i < 20000; i++) input += "knr=0532013000&blz=37040044\n";
  CliResult r = run_batch(input, {"--batch"}, "/dev/full");
  EXPECT_EQ(r.status, EXIT_WRITE_FAILED);
  EXPECT_NE(r.err.find("pluvar --batch: cannot write the answers"), std::string::npos) << r.err;
  r = run_batch("-v\n", {"--batch"}, "/dev/full");  // one short answer, written at the end
  EXPECT_EQ(r.status, EXIT_WRITE_FAILED);
}

TEST(Batch, ReaderGoneStopsWithStatus74) {
  int inp[2], outp[2], errp[2];
  ASSERT_EQ(pipe(inp), 0);
  ASSERT_EQ(pipe(outp), 0);
  ASSERT_EQ(pipe(errp), 0);
  close(outp[0]);  // nobody reads the answers
  pid_t pid = spawn_batch(inp, outp, errp);
  ASSERT_GT(pid, 0);
  const char line[] = "knr=0532013000&blz=37040044\n";
  void (*old)(int) = signal(SIGPIPE, SIG_IGN);
  write_fully(inp[1], line, sizeof line - 1);  // may fail once pluvar has stopped
  close(inp[1]);
  signal(SIGPIPE, old);
  std::string err = read_all(errp[0]);
  close(errp[0]);
  int st = 0;
  waitpid(pid, &st, 0);
  ASSERT_TRUE(WIFEXITED(st));
  EXPECT_EQ(WEXITSTATUS(st), EXIT_WRITE_FAILED);
  EXPECT_NE(err.find("cannot write the answers"), std::string::npos) << err;
}

// Reads from `fd` until `n_lines` LF have arrived or 20 s have passed.
std::string read_lines(int fd, int n_lines) {
  std::string got;
  for (int lines = 0; lines < n_lines;) {
    struct pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, 20000) <= 0) break;
    char buf[4096];
    ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) break;
    for (ssize_t i = 0; i < n; i++) lines += buf[i] == '\n';
    got.append(buf, static_cast<size_t>(n));
  }
  return got;
}

// Answers end in LF, hit lines in CR LF: the lines to read for an answer.
int lf_count(const std::string &answers) {
  int n = 0;
  for (char c : answers) n += c == '\n';
  return n;
}

// The caller closes its end of the requests: the batch answers nothing more
// and exits with 0.
void expect_clean_end(int requests, int answers, pid_t pid) {
  close(requests);
  EXPECT_EQ(read_all(answers), "");
  close(answers);
  int st = 0;
  waitpid(pid, &st, 0);
  EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
}

// A long-lived caller writes one line and waits for its answer while keeping
// the pipe open.
TEST(Batch, CoprocessGetsEachAnswerWhileTheWriterStaysOpen) {
  int inp[2], outp[2];
  ASSERT_EQ(pipe(inp), 0);
  ASSERT_EQ(pipe(outp), 0);
  pid_t pid = spawn_batch(inp, outp, nullptr);
  ASSERT_GT(pid, 0);

  struct Exchange {
    std::string line;
    std::vector<std::string> args;
  };
  const Exchange exchanges[] = {
      {"-allinfo\tknr=0532013000&blz=37040044\n", {"-allinfo", "knr=0532013000&blz=37040044"}},
      {"search\tblz=1000\r\n", {"search", "blz=1000"}},
      {"sepa\tIBN=DE89370400440532013000\n", {"sepa", "IBN=DE89370400440532013000"}},
  };
  for (const Exchange &x : exchanges) {
    ASSERT_TRUE(write_fully(inp[1], x.line.data(), x.line.size()));
    std::string expected = request_inproc(x.args) + "\n";
    EXPECT_EQ(read_lines(outp[0], lf_count(expected)), expected) << x.line;
  }
  expect_clean_end(inp[1], outp[0], pid);
}

// With workers, the reading thread reads ahead while they answer; a caller
// that writes a large block and waits, the pipe still open, gets every
// answer of the block, in order, before it writes the next.
TEST(Batch, ThreadsAnswerEachBlockWhileTheWriterStaysOpen) {
  int inp[2], outp[2];
  ASSERT_EQ(pipe(inp), 0);
  ASSERT_EQ(pipe(outp), 0);
  pid_t pid = spawn_batch(inp, outp, nullptr, {"--threads", "2", "--batch"});
  ASSERT_GT(pid, 0);
  for (unsigned block = 0; block < 3; block++) {
    std::string input;
    for (const auto &line : generated_lines(block, 4000)) input += line;
    const std::string expected = one_shot_answers(input);
    // The answers are read while the block is written: neither pipe holds
    // a whole block.
    std::thread writer([&] { EXPECT_TRUE(write_fully(inp[1], input.data(), input.size())); });
    const std::string got = read_lines(outp[0], lf_count(expected));
    writer.join();
    ASSERT_EQ(got.size(), expected.size()) << block;
    EXPECT_TRUE(got == expected) << block;
  }
  expect_clean_end(inp[1], outp[0], pid);
}

}  // namespace
