// Starts a program with stdout sent to /dev/null and waits for it: the cost
// of one whole request as a caller sees it.
#ifndef PLUVAR_BENCH_PROCESS_H
#define PLUVAR_BENCH_PROCESS_H

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char **environ;

// Returns the exit status, or -1 when the program could not be run.
inline int run_process(const char *path, const std::vector<std::string> &args) {
  std::vector<std::string> copy = args;
  std::vector<char *> argv;
  std::string prog = path;
  argv.push_back(prog.data());
  for (auto &a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  int rc = posix_spawn(&pid, path, &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0) return -1;
  int st = 0;
  waitpid(pid, &st, 0);
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

#endif
