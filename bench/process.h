// Starts a program with stdout sent to /dev/null and waits for it: the cost
// of one whole request as a caller sees it.
#ifndef PLUVAR_BENCH_PROCESS_H
#define PLUVAR_BENCH_PROCESS_H

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
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

// Microseconds one run of a program takes, as its caller waits for it.
inline double time_process_us(const char *path, const std::vector<std::string> &args) {
  auto t0 = std::chrono::steady_clock::now();
  benchmark::DoNotOptimize(run_process(path, args));
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
}

inline double median_of(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// One pluvar request as a whole process against the static one-line program
// (the baseline) and against `pluvar -v` (pluvar's start-up alone).  The three
// run in turn in every iteration, so machine load hits them alike; the
// counters are medians in microseconds and the ratios to the baseline.
inline void compare_with_one_liner(benchmark::State &state, const std::vector<std::string> &args) {
  std::vector<double> baseline, version, request;
  for (auto _ : state) {
    baseline.push_back(time_process_us(PLUVAR_ONE_LINER, {}));
    version.push_back(time_process_us(PLUVAR_BIN, {"-v"}));
    request.push_back(time_process_us(PLUVAR_BIN, args));
  }
  double b = median_of(baseline), v = median_of(version), r = median_of(request);
  state.counters["one_liner_us"] = b;
  state.counters["version_us"] = v;
  state.counters["pluvar_us"] = r;
  state.counters["ratio"] = b > 0 ? r / b : 0.0;
  state.counters["ratio_version"] = b > 0 ? v / b : 0.0;
}

#endif
