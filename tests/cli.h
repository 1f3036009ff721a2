// Runs the built pluvar binary and captures what it writes, so tests can
// compare exact output bytes and exit status.
#ifndef PLUVAR_TESTS_CLI_H
#define PLUVAR_TESTS_CLI_H

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include <pluvar/pluvar.h>

#include "pluvar.h"

extern char **environ;

struct CliResult {
  std::string out;
  std::string err;
  int status = -1;  // exit status, or -1 when the process did not exit normally
};

inline std::string read_all(int fd) {
  std::string s;
  char buf[65536];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) break;
    s.append(buf, static_cast<size_t>(n));
  }
  return s;
}

// Runs pluvar with the given arguments (the program name is added).
inline CliResult run_pluvar_cli(const std::vector<std::string> &args,
                                const std::string &program = PLUVAR_BIN) {
  CliResult r;
  int outp[2], errp[2];
  if (pipe(outp) != 0 || pipe(errp) != 0) return r;
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, outp[1], 1);
  posix_spawn_file_actions_adddup2(&fa, errp[1], 2);
  posix_spawn_file_actions_addclose(&fa, outp[0]);
  posix_spawn_file_actions_addclose(&fa, errp[0]);
  std::vector<char *> argv;
  std::string prog = program;
  argv.push_back(prog.data());
  std::vector<std::string> copy = args;
  for (auto &a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  int rc = posix_spawn(&pid, prog.c_str(), &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  close(outp[1]);
  close(errp[1]);
  if (rc != 0) {
    close(outp[0]);
    close(errp[0]);
    return r;
  }
  // stderr stays small (it must stay empty); read stdout first.
  r.out = read_all(outp[0]);
  r.err = read_all(errp[0]);
  close(outp[0]);
  close(errp[0]);
  int st = 0;
  waitpid(pid, &st, 0);
  if (WIFEXITED(st)) r.status = WEXITSTATUS(st);
  return r;
}

// One command line and the exact answer it must give.
struct CliCase {
  std::vector<std::string> args;
  std::string out;
  int status;
};

inline std::ostream &operator<<(std::ostream &os, const CliCase &c) {
  for (const auto &a : c.args) os << '[' << a << ']';
  return os;
}

// The same command line through the library's C call, the answer collected
// by the write callback.
struct ApiResult {
  std::string out;
  int status = -1;
};

inline int append_to_string_api(void *ctx, const char *data, size_t len) {
  static_cast<std::string *>(ctx)->append(data, len);
  return 0;
}

inline ApiResult run_pluvar_api(const std::vector<std::string> &args) {
  ApiResult r;
  std::vector<const char *> argv{"pluvar"};
  for (const auto &a : args) argv.push_back(a.c_str());
  r.status = pluvar_command_to(static_cast<int>(argv.size()), argv.data(), append_to_string_api,
                               &r.out);
  return r;
}

// The library answers a command line with the program's bytes and code.
inline void expect_api(const std::vector<std::string> &args, const std::string &out, int status) {
  ApiResult a = run_pluvar_api(args);
  EXPECT_EQ(a.out, out) << "library call";
  EXPECT_EQ(a.status, status) << "library call";
}

// Runs the case through the built binary: exact stdout bytes, exit status,
// and nothing on stderr; and through the library's C call.
inline void expect_cli(const CliCase &c) {
  CliResult r = run_pluvar_cli(c.args);
  EXPECT_EQ(r.out, c.out) << c;
  EXPECT_EQ(r.err, "") << c;
  EXPECT_EQ(r.status, c.status) << c;
  expect_api(c.args, c.out, c.status);
}

// Runs the same command line in-process through the output sink.
struct InProcResult {
  std::string out;
  int status = -1;
};

inline void append_to_string(void *ctx, const char *data, size_t len) {
  static_cast<std::string *>(ctx)->append(data, len);
}

inline InProcResult run_pluvar_inproc(const std::vector<std::string> &args) {
  InProcResult r;
  std::vector<std::string> copy = args;
  std::vector<const char *> argv;
  argv.push_back("pluvar");
  for (auto &a : copy) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  Sink out;
  sink_init(out, append_to_string, &r.out);
  r.status = pluvar_run(static_cast<int>(argv.size() - 1), argv.data(), out);
  sink_finish(out);
  return r;
}

// Calls one handler on a query copied into a fresh query buffer.
template <typename Handler>
inline std::string call_handler(Handler h, const std::string &query, char allinfo,
                                char *code = nullptr) {
  char q[QUERY_SIZE] = {0};
  query.copy(q, QUERY_SIZE - 1);
  std::string s;
  Sink out;
  sink_init(out, append_to_string, &s);
  char rc = h(q, allinfo, out);
  sink_finish(out);
  if (code) *code = rc;
  return s;
}

#endif
