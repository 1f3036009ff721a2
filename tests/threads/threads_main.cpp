// Many threads answering mixed requests through the C interface at once, each
// answer compared with the one a single thread gave for the same request.
// Built with ThreadSanitizer (test_threads_tsan), so a data race anywhere on
// the request path fails the run even when the answers happen to agree.
//   pluvar_threads [THREADS [REQUESTS]]   default 8 threads, 100000 requests each
#include <fcntl.h>
#include <pluvar/pluvar.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

// The batch entry (Batch.cpp, not part of the C interface).
int pluvar_batch(int in_fd, int out_fd, int n_prefix, const char *const *prefix, int threads);

namespace {

struct Request {
  std::vector<std::string> words;  // after the program name
};

struct Answer {
  uint64_t hash = 0;
  int code = -100;
};

// FNV-1a over the answer's bytes, streamed by the write callback.
int hash_piece(void *ctx, const char *data, size_t len) {
  uint64_t &h = *static_cast<uint64_t *>(ctx);
  for (size_t i = 0; i < len; i++) h = (h ^ static_cast<unsigned char>(data[i])) * 1099511628211u;
  return 0;
}

Answer answer(const Request &r) {
  std::vector<const char *> argv{"pluvar"};
  for (const std::string &w : r.words) argv.push_back(w.c_str());
  Answer a;
  a.hash = 14695981039346656037u;
  a.code = pluvar_command_to(static_cast<int>(argv.size()), argv.data(), hash_piece, &a.hash);
  return a;
}

std::string digits(std::mt19937 &rng, int n) {
  std::string s;
  for (int i = 0; i < n; i++) s += static_cast<char>('0' + rng() % 10);
  return s;
}

// Bank codes from a few search answers, so the account requests hit banks.
const char *const kBankCodes[] = {"10000000", "37040044", "50010517", "12030000", "30150001",
                                  "50850049", "62220000", "10080000", "70150000", "20041111",
                                  "43060967", "76026000", "55050000", "66650085", "28020050"};
const char *const kIbans[] = {"DE89370400440532013000", "CH7700202000000012345",
                              "FR1420041010050500013M02606", "BE88050123456766",
                              "AT611904300234573201", "TR330006100519786457841326",
                              "ES9121000418450200051332", "GB29NWBK60161331926819"};

std::vector<Request> mixed_requests(size_t n) {
  std::mt19937 rng(20261208);
  std::vector<Request> list;
  const size_t banks = sizeof kBankCodes / sizeof kBankCodes[0];
  const size_t ibans = sizeof kIbans / sizeof kIbans[0];
  for (size_t i = 0; i < n; i++) {
    std::string blz = kBankCodes[rng() % banks];
    std::string knr = digits(rng, 1 + static_cast<int>(rng() % 10));
    switch (rng() % 20) {
      case 0:
        list.push_back({{"search", "blz=" + blz.substr(0, 5) + "&max=3"}});
        break;
      case 1:
      case 2:
      case 3:
        list.push_back({{"sepa", "-allinfo", std::string("IBN=") + kIbans[rng() % ibans]}});
        break;
      case 4:
      case 5:
      case 6:
      case 7:
        list.push_back({{"iban", "-allinfo", "ccd=de&blz=" + blz + "&knr=" + knr}});
        break;
      case 8:
        list.push_back({{"-v"}});
        break;
      case 9:
        list.push_back({{"iban", "ccd=at&blz=19043&knr=" + knr}});
        break;
      default:
        list.push_back({{"-allinfo", "knr=" + knr + "&blz=" + blz}});
    }
  }
  return list;
}

// The requests as batch lines, answered by pluvar_batch with `threads`
// threads; the answers' bytes, or "" when a file could not be made.
std::string batch_answers(const std::vector<Request> &requests, int threads) {
  std::string lines;
  for (const Request &r : requests) {
    for (size_t i = 0; i < r.words.size(); i++) lines += (i ? "\t" : "") + r.words[i];
    lines += "\n";
  }
  char in_path[] = "/tmp/pluvar_threads_in_XXXXXX", out_path[] = "/tmp/pluvar_threads_out_XXXXXX";
  int in = mkstemp(in_path), out = mkstemp(out_path);
  std::string answers;
  if (in >= 0 && out >= 0 && write(in, lines.data(), lines.size()) == static_cast<ssize_t>(lines.size()) &&
      lseek(in, 0, SEEK_SET) == 0 && pluvar_batch(in, dup(out), 0, nullptr, threads) == 0) {
    char buf[65536];
    ssize_t n;
    lseek(out, 0, SEEK_SET);
    while ((n = read(out, buf, sizeof buf)) > 0) answers.append(buf, static_cast<size_t>(n));
  }
  if (in >= 0) close(in);
  if (out >= 0) close(out);
  unlink(in_path);
  unlink(out_path);
  return answers;
}

}  // namespace

int main(int argc, char **argv) {
  const int threads = argc > 1 ? atoi(argv[1]) : 8;
  const size_t count = argc > 2 ? static_cast<size_t>(atol(argv[2])) : 100000;
  if (threads < 1 || count < 1) {
    fprintf(stderr, "usage: %s [THREADS [REQUESTS]]\n", argv[0]);
    return 2;
  }
  const std::vector<Request> requests = mixed_requests(count);
  std::vector<Answer> serial;
  serial.reserve(count);
  for (const Request &r : requests) serial.push_back(answer(r));

  // Each thread answers every request, starting at its own place in the list.
  std::vector<size_t> mismatches(threads, 0);
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; t++) {
    pool.emplace_back([&, t] {
      for (size_t k = 0; k < count; k++) {
        size_t i = (k + static_cast<size_t>(t) * count / threads) % count;
        Answer a = answer(requests[i]);
        if (a.hash != serial[i].hash || a.code != serial[i].code) mismatches[t]++;
      }
    });
  }
  for (auto &th : pool) th.join();
  size_t total = 0;
  for (size_t m : mismatches) total += m;
  printf("%d threads x %zu requests: %zu answers differ from the serial run\n", threads, count,
         total);

  // The batch's worker threads share the same lines' answers.
  const std::string one = batch_answers(requests, 1);
  const std::string shared = batch_answers(requests, threads);
  const bool batch_same = !one.empty() && one == shared;
  printf("batch with %d threads: %s\n", threads, batch_same ? "the same answers" : "answers differ");
  return total == 0 && batch_same ? 0 : 1;
}
