// A failed write is never reported as success: with standard output unable
// to take the answer, every mode exits with status 74 and writes nothing to
// standard error; a slow non-blocking reader still gets the whole answer; the
// response line reaches the output in one piece.
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include "cli.h"

namespace {

// One command line of every mode, a large search answer and a refused one.
const std::vector<std::vector<std::string>> kEveryMode = {
    {"-v"},
    {"knr=0532013000&blz=37040044"},
    {"-allinfo", "knr=0532013000&blz=37040044"},
    {"iban", "-allinfo", "ccd=de&blz=37040044&knr=532013000"},
    {"sepa", "-allinfo", "IBN=DE89370400440532013000"},
    {"search", "blz=10000000"},
    {"search", "-allinfo", "nam=spark&max=9999"},
    {"too", "many", "words", "here"},
};

// Starts pluvar; `setup` runs in the child after fork, before exec, and
// arranges its descriptors.
template <typename Setup>
pid_t start_pluvar(const std::vector<std::string> &args, Setup setup) {
  std::vector<std::string> copy = args;
  std::vector<char *> argv;
  std::string prog = PLUVAR_BIN;
  argv.push_back(prog.data());
  for (auto &a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    setup();
    execv(prog.c_str(), argv.data());
    _exit(127);
  }
  return pid;
}

int wait_status(pid_t pid) {
  int st = 0;
  if (waitpid(pid, &st, 0) != pid || !WIFEXITED(st)) return -1;
  return WEXITSTATUS(st);
}

// Runs pluvar with standard output set up by `setup_stdout` in the child.
// Returns stderr's bytes and the exit status.
template <typename Setup>
CliResult run_with_stdout(const std::vector<std::string> &args, Setup setup_stdout) {
  CliResult r;
  int errp[2];
  if (pipe(errp) != 0) return r;
  pid_t pid = start_pluvar(args, [&] {
    dup2(errp[1], 2);
    close(errp[0]);
    close(errp[1]);
    setup_stdout();
  });
  close(errp[1]);
  r.err = read_all(errp[0]);
  close(errp[0]);
  r.status = wait_status(pid);
  return r;
}

void expect_write_failure(const char *how, void (*setup)()) {
  for (const auto &args : kEveryMode) {
    CliResult r = run_with_stdout(args, setup);
    EXPECT_EQ(r.status, EXIT_WRITE_FAILED) << how << " " << CliCase{args, "", 0};
    EXPECT_EQ(r.err, "") << how << " " << CliCase{args, "", 0};
  }
}

TEST(WriteFailure, DevFull) {
  expect_write_failure("/dev/full", [] {
    int fd = open("/dev/full", O_WRONLY);
    dup2(fd, 1);
    close(fd);
  });
}

TEST(WriteFailure, ClosedStdout) {
  expect_write_failure("closed", [] { close(1); });
}

TEST(WriteFailure, ReadOnlyDescriptor) {
  expect_write_failure("read-only", [] {
    int fd = open("/dev/null", O_RDONLY);
    dup2(fd, 1);
    close(fd);
  });
}

TEST(WriteFailure, ReaderGoneWithSigpipeIgnored) {
  expect_write_failure("broken pipe", [] {
    int p[2];
    if (pipe(p) != 0) _exit(126);
    close(p[0]);
    dup2(p[1], 1);
    close(p[1]);
    signal(SIGPIPE, SIG_IGN);  // stays ignored across exec
  });
}

TEST(WriteFailure, FileSizeLimitWithSigxfszIgnored) {
  // The search answer is larger than the limit; the shorter answers fit.
  CliResult r = run_with_stdout({"search", "-allinfo", "nam=spark&max=9999"}, [] {
    char path[] = "/tmp/pluvar_fsize_XXXXXX";
    int fd = mkstemp(path);
    unlink(path);
    struct rlimit lim = {1000, 1000};
    setrlimit(RLIMIT_FSIZE, &lim);
    signal(SIGXFSZ, SIG_IGN);
    dup2(fd, 1);
    close(fd);
  });
  EXPECT_EQ(r.status, EXIT_WRITE_FAILED);
  EXPECT_EQ(r.err, "");
}

// The same answer on a working output: the digit, as before.
TEST(WriteFailure, WorkingOutputKeepsTheDigit) {
  for (const auto &args : kEveryMode) {
    InProcResult expected = run_pluvar_inproc(args);
    CliResult r = run_pluvar_cli(args);
    EXPECT_EQ(r.out, expected.out) << CliCase{args, "", 0};
    EXPECT_EQ(r.status, expected.status) << CliCase{args, "", 0};
    EXPECT_EQ(r.err, "");
  }
}

// A non-blocking pipe whose reader takes small bites with pauses: the whole
// answer arrives, byte for byte as the in-process answer, with its digit.
TEST(NonBlockingOutput, SlowReaderGetsTheWholeSearchAnswer) {
  const std::vector<std::string> args = {"search", "-allinfo", "nam=spark&max=9999"};
  InProcResult expected = run_pluvar_inproc(args);
  // Every matching row fits under the limit: code 1.
  ASSERT_GT(expected.out.size(), 200000u);
  int p[2];
  ASSERT_EQ(pipe(p), 0);
  // The flag belongs to the open pipe end, which the child shares.
  fcntl(p[1], F_SETFL, fcntl(p[1], F_GETFL) | O_NONBLOCK);
  int write_end = p[1], read_end = p[0];
  pid_t pid = start_pluvar(args, [&] {
    dup2(write_end, 1);
    close(write_end);
    close(read_end);
  });
  close(write_end);
  std::string got;
  char buf[1000];
  for (int bites = 0;; bites++) {
    if (bites % 16 == 0) usleep(2000);  // let the pipe fill up now and then
    ssize_t n = read(read_end, buf, sizeof buf);
    if (n <= 0) break;
    got.append(buf, static_cast<size_t>(n));
  }
  close(read_end);
  EXPECT_EQ(wait_status(pid), expected.status);
  EXPECT_EQ(got.size(), expected.out.size());
  EXPECT_TRUE(got == expected.out);
}

// The sink hands a response line to one flush whole, however many hit
// lines come before it; the process entry writes that flush's last line
// with one write (tools/check-response-write.sh watches it with strace).
TEST(ResponseLine, ReachesOneFlushWhole) {
  for (const char *max : {"max=749", "max=1298", "max=9999", "max=1", "max=160", "max=161"}) {
    std::vector<std::string> chunks;
    Sink out;
    sink_init(out, [](void *ctx, const char *d, size_t n) {
      static_cast<std::vector<std::string> *>(ctx)->emplace_back(d, n);
    }, &chunks);
    const char *argv[] = {"pluvar", "search", "-allinfo", max, nullptr};
    pluvar_run(4, argv, out);
    sink_finish(out);
    ASSERT_FALSE(chunks.empty());
    std::string all;
    for (const auto &c : chunks) all += c;
    std::string line = all.substr(all.rfind('\n') + 1);
    ASSERT_EQ(line.compare(0, 5, "code="), 0) << max;
    const std::string &last = chunks.back();
    ASSERT_GE(last.size(), line.size()) << max;
    EXPECT_EQ(last.substr(last.size() - line.size()), line) << max;
  }
}

TEST(WriteFully, WaitsOnAFullNonBlockingPipe) {
  int p[2];
  ASSERT_EQ(pipe(p), 0);
  fcntl(p[1], F_SETFL, fcntl(p[1], F_GETFL) | O_NONBLOCK);
  std::string data(300000, 'x');
  for (size_t i = 0; i < data.size(); i++) data[i] = static_cast<char>('a' + i % 26);
  pid_t pid = fork();
  if (pid == 0) {
    close(p[0]);
    _exit(write_fully(p[1], data.data(), data.size()) ? 0 : 1);
  }
  close(p[1]);
  usleep(20000);  // the writer meets a full pipe first
  std::string got = read_all(p[0]);
  close(p[0]);
  int st = 0;
  waitpid(pid, &st, 0);
  EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
  EXPECT_TRUE(got == data);
}

TEST(WriteFully, ReportsABrokenPipe) {
  int p[2];
  ASSERT_EQ(pipe(p), 0);
  close(p[0]);
  void (*old)(int) = signal(SIGPIPE, SIG_IGN);
  EXPECT_FALSE(write_fully(p[1], "code=1", 6));
  signal(SIGPIPE, old);
  close(p[1]);
}

}  // namespace
