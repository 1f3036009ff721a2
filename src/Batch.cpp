// Batch mode: one process answers a stream of requests, one per line.
//
// A line holds the words of a one-shot command line separated by TAB; its
// answer is exactly what that command line prints, through the same request
// path and the same sink, followed by LF.  The batch command line's options
// stand before every line's words, so they apply to each line as if given on
// its command line, and a line may add its own.  Answers collect in the sink and
// go out in large writes; they are flushed whenever every line read so far is
// answered and more input is not at hand, so a caller that writes one line
// and waits gets its answer.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <type_traits>
#include <vector>

#include "HugePages.h"
#include "pluvar.h"

namespace {

constexpr size_t kReadSize = 262144;
// Bytes kept of one field.  The request entry reads at most the first 299
// bytes of a query and compares words by their first few bytes, so a longer
// field answers as the whole field would.
constexpr size_t kFieldKeep = 4096;
// Fields and bytes kept of one line: more than a command line can carry
// (Linux passes a program at most a quarter of its stack for arguments and
// environment, by default 2 MiB), so every line that could stand as a
// command line is answered as that command line would be.  A line beyond
// them is refused like an unusable command line.  The line's store grows
// only as far as its line needs.
constexpr size_t kMaxFields = size_t{1} << 18;
constexpr size_t kMaxLineText = size_t{8} << 20;

// The line being read: its fields stored one after another, each with its NUL.
struct Line {
  std::vector<char> text;
  std::vector<size_t> start;  // offset of each field in text
  size_t used;                // bytes of text in use
  size_t field_len;           // whole length of the current field, kept or not
  bool too_many;              // the line passed kMaxFields or kMaxLineText
  bool last_cr;               // the last byte read was CR
  size_t n_fields() const { return start.size(); }
};

// Makes room for `n` more elements; false when the line's bounds or the
// memory do not allow it.
template <typename T>
bool make_room(std::vector<T> &v, size_t used, size_t n, size_t limit) {
  if (n > limit || used > limit - n) return false;
  if (used + n <= v.size()) return true;
  try {
    v.resize(std::max(used + n, std::min(limit, 2 * v.size() + 4096)));
  } catch (const std::bad_alloc &) {
    return false;
  }
  return true;
}

// Answers on their way out.  The sink hands on its buffer whenever it
// fills; those pieces are gathered into writes of up to kOutboxSize bytes,
// as a system call costs more than copying them.
constexpr size_t kOutboxSize = size_t{1} << 18;

struct Outbox {
  FdOutput *output;
  size_t len;
  char data[kOutboxSize];
};

void outbox_send(Outbox &box) {
  if (box.len > 0) fd_output_flush(box.output, box.data, box.len);
  box.len = 0;
}

// Pieces from this size on (a worker's answers) are written where they
// stand, after what the outbox holds, rather than copied.
constexpr size_t kWriteWhereTheyStand = size_t{1} << 16;

void outbox_put(void *ctx, const char *data, size_t len) {
  Outbox &box = *static_cast<Outbox *>(ctx);
  if (len > kOutboxSize - box.len || len >= kWriteWhereTheyStand) outbox_send(box);
  if (len >= kWriteWhereTheyStand) return fd_output_flush(box.output, data, len);
  memcpy(box.data + box.len, data, len);
  box.len += len;
}

// A batch reads its first piece into a small buffer and answers straight to
// the output.  Once the input proves large (a read fills that buffer), it
// takes large buffers: two for the input, so that with workers the next
// piece is read while they answer, and the outbox.  A batch of a few lines
// (a coprocess, a short file) so never maps memory it does not use.
constexpr size_t kFirstRead = size_t{16} << 10;

struct BatchState {
  char first_input[kFirstRead];
  Line line;
};

struct LargeBuffers {
  char input[2][kReadSize];  // the second only for reading ahead, with workers
  Outbox outbox;
};

// Large buffers lie in one block, in huge pages where the system offers
// them (HugePages.h).
struct FreeLargeBuffers {
  void operator()(LargeBuffers *b) const { huge_page_free(b); }
};
using LargeBuffersPtr = std::unique_ptr<LargeBuffers, FreeLargeBuffers>;

LargeBuffersPtr new_large_buffers() {
  static_assert(std::is_trivially_destructible_v<LargeBuffers>);
  void *block = huge_page_alloc(sizeof(LargeBuffers));
  return LargeBuffersPtr(block ? new (block) LargeBuffers : nullptr);
}

// Whether a read would return at once (input at hand, end of input, or an
// error the read reports).
bool input_at_hand(int fd) {
  struct pollfd p = {fd, POLLIN, 0};
  return poll(&p, 1, 0) > 0;
}

// Reads what is at hand, waiting for at least one byte; a non-blocking input
// is waited on with poll.  Returns the count, 0 at the end, -1 on an error.
ssize_t read_some(int fd, char *buf, size_t size) {
  for (;;) {
    ssize_t n = read(fd, buf, size);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    struct pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, -1) < 0 && errno != EINTR) return -1;
  }
}

// The requests as read: a piece of input, its size (0 at the end, -1 on an
// error) and the error.
struct Piece {
  const char *data;
  ssize_t size;
  int error;
};

// The input: the first piece into the batch's small buffer, the rest, once
// large buffers are given, into one of them while the lines of the other are
// still being answered (with workers, the next read is made while they
// answer, instead of keeping them waiting for it).
class Reader {
 public:
  Reader(int fd, BatchState &st) : fd_(fd), buf_{st.first_input, nullptr}, size_(kFirstRead) {}

  bool has_read_ahead() const { return ahead_; }
  // Whether the last piece filled the small buffer: more is likely to come.
  bool wants_large_buffers() const { return buf_[1] == nullptr && last_size_ == kFirstRead; }

  // Reads into these from the next piece on; the current piece is answered.
  void use(LargeBuffers &large) {
    buf_[0] = large.input[0];
    buf_[1] = large.input[1];
    size_ = kReadSize;
    current_ = 0;
  }

  // The next piece: the one read ahead, else one read now, waiting for it.
  Piece next() {
    if (ahead_) {
      ahead_ = false;
      current_ ^= 1;
      last_size_ = ahead_size_;
      return {buf_[current_], ahead_size_, ahead_error_};
    }
    const ssize_t n = read_some(fd_, buf_[current_], size_);
    last_size_ = n;
    return {buf_[current_], n, n < 0 ? errno : 0};
  }

  // Reads the next piece into the other large buffer if that takes no
  // waiting.  The caller has answered nothing yet from beyond the current
  // piece.
  void read_ahead() {
    if (ahead_ || buf_[1] == nullptr || !input_at_hand(fd_)) return;
    ssize_t n;
    do n = read(fd_, buf_[current_ ^ 1], size_);
    while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    ahead_ = true;
    ahead_size_ = n;
    ahead_error_ = n < 0 ? errno : 0;
  }

 private:
  int fd_;
  char *buf_[2];
  size_t size_;
  int current_ = 0;
  ssize_t last_size_ = 0;
  bool ahead_ = false;
  ssize_t ahead_size_ = 0;
  int ahead_error_ = 0;
};

void line_reset(Line &l) {
  l.start.clear();
  l.used = 0;
  l.field_len = 0;
  l.too_many = false;
  l.last_cr = false;
}

void begin_field(Line &l) {
  if (l.too_many) return;
  if (l.n_fields() == kMaxFields || !make_room(l.text, l.used, 1, kMaxLineText)) {
    l.too_many = true;
    return;
  }
  try {
    l.start.push_back(l.used);
  } catch (const std::bad_alloc &) {
    l.too_many = true;
    return;
  }
  l.text[l.used++] = '\0';
  l.field_len = 0;
}

// Appends bytes without TAB or LF to the current field, keeping at most
// kFieldKeep of them.
void add_to_field(Line &l, const char *p, size_t n) {
  if (n == 0) return;
  l.last_cr = p[n - 1] == '\r';
  if (l.too_many) return;
  size_t kept = l.field_len < kFieldKeep ? l.field_len : kFieldKeep;
  size_t room = kFieldKeep - kept;
  size_t take = n < room ? n : room;
  if (!make_room(l.text, l.used, take, kMaxLineText)) {
    l.too_many = true;
    return;
  }
  char *end = l.text.data() + l.used - 1;  // the field's NUL
  memcpy(end, p, take);
  end[take] = '\0';
  l.used += take;
  l.field_len += n;
}

// Reads a piece of a line (no LF in it), splitting it into fields at TAB.
void add_to_line(Line &l, const char *p, size_t n) {
  if (n == 0) return;
  if (l.n_fields() == 0) begin_field(l);
  for (;;) {
    const char *tab = static_cast<const char *>(memchr(p, '\t', n));
    size_t k = tab ? static_cast<size_t>(tab - p) : n;
    add_to_field(l, p, k);
    if (!tab) return;
    l.last_cr = false;
    begin_field(l);
    p += k + 1;
    n -= k + 1;
  }
}

// A line ending in CR LF is read like one ending in LF: the CR is dropped
// from the last field, and a line that was only CR has no fields.
void end_line(Line &l) {
  if (!l.last_cr || l.n_fields() == 0 || l.too_many) return;
  if (l.field_len <= kFieldKeep) {
    l.used--;
    l.text[l.used - 1] = '\0';
  }
  l.field_len--;
  if (l.n_fields() == 1 && l.field_len == 0) line_reset(l);
}

// The words of a line as the command line they stand for: the batch's
// options, then the line's fields, answered through the request path.
class LineAnswerer {
 public:
  // ready() is false when the words of a refused line find no room.
  LineAnswerer(int n_prefix, const char *const *prefix, Line &line)
      : n_prefix_(n_prefix), prefix_(prefix), line_(line) {
    const size_t refusal_words = static_cast<size_t>(n_prefix) + 5;
    ready_ = make_room(argv_, 0, refusal_words, refusal_words) &&
             make_room(accounts_, 0, kAccountRun, kAccountRun);
    line_reset(line_);
  }

  bool ready() const { return ready_; }
  Line &line() { return line_; }

  // Many lines are coming: room for the fields of every bank at once, so
  // that the store does not grow step by step through fresh pages.
  void expect_many_lines() {
    constexpr size_t kBankFieldsRoom = size_t{256} << 10;  // ~3,500 banks, 55 bytes each
    try {
      bank_fields_.text.reserve(kBankFieldsRoom);
    } catch (const std::bad_alloc &) {
      // It grows as it goes.
    }
  }

  // The line has ended (LF or end of input): answer it as the command line
  // made of the batch options and the line's fields would be answered.
  void answer(Sink &out) {
    Line &l = line_;
    end_line(l);
    const size_t words = static_cast<size_t>(n_prefix_) + l.n_fields() + 3;
    if (!l.too_many && !make_room(argv_, 0, words, words)) l.too_many = true;
    int argc = 0;
    argv_[argc++] = "pluvar";
    for (int i = 0; i < n_prefix_; i++) argv_[argc++] = prefix_[i];
    if (l.too_many) {
      // No command line carries so much: the request path refuses the
      // option word --batch, as it refuses --batch among a command line's
      // words, in the form the batch's options ask for.
      argv_[argc++] = "--batch";
      argv_[argc++] = "";
    } else {
      for (size_t i = 0; i < l.n_fields(); i++) argv_[argc++] = l.text.data() + l.start[i];
    }
    argv_[argc] = nullptr;
    pluvar_request(kDefaultOptions, argc, argv_.data(), out);
    sink_write(out, "\n", 1);
    line_reset(l);
  }

  // Reads bytes and answers every line they complete; the rest of an
  // unfinished line stays in the line state.  Stops early once *stop is set
  // (the answers can no longer be written); returns the bytes read.
  size_t feed(const char *p, size_t n, Sink &out, const bool *stop) {
    const char *const begin = p;
    while (n > 0 && !*stop) {
      // Most lines of a file of accounts have the same length: one is
      // looked for there before the line end is searched.
      if (n > kCommonAccountLine && p[kCommonAccountLine] == '\n' &&
          take_account_line(std::string_view(p, kCommonAccountLine), out)) {
        p += kCommonAccountLine + 1;
        n -= kCommonAccountLine + 1;
        continue;
      }
      const char *lf = static_cast<const char *>(memchr(p, '\n', n));
      size_t k = lf ? static_cast<size_t>(lf - p) : n;
      if (lf && take_account_line(std::string_view(p, k), out)) {
        p += k + 1;
        n -= k + 1;
        continue;
      }
      answer_accounts(out);  // the answers keep the order of the lines
      add_to_line(line_, p, k);
      if (!lf) return static_cast<size_t>(p + k - begin);
      answer(out);
      p += k + 1;
      n -= k + 1;
    }
    answer_accounts(out);
    return static_cast<size_t>(p - begin);
  }

 private:
  // Lines held back to be answered together: the bulk account check looks a
  // run's bank codes up side by side and checks them method by method.
  static constexpr size_t kAccountRun = 512;
  // "knr=" and ten digits, "&blz=" and eight.
  static constexpr size_t kCommonAccountLine = 27;

  // Takes a whole line that is a plain account query (when no batch option
  // changes its answer) into the run; false for any other line, which the
  // caller answers after the run.
  bool take_account_line(std::string_view text, Sink &out) {
    if (n_prefix_ != 0 || line_.n_fields() != 0 || line_.too_many) return false;
    if (!read_account_line(text, accounts_[n_accounts_])) return false;
    n_accounts_++;
    if (n_accounts_ == kAccountRun) answer_accounts(out);
    return true;
  }

  // Answers the run; its lines stand in the bytes being fed.
  void answer_accounts(Sink &out) {
    if (n_accounts_ == 0) return;
    // The edition of today, as the request path would choose it.
    const GermanTables &de = german_edition_for(0, out.clock);
    answer_account_lines(de, std::span(accounts_.data(), n_accounts_), bank_fields_, out);
    n_accounts_ = 0;
  }

  int n_prefix_;
  const char *const *prefix_;
  Line &line_;
  std::vector<const char *> argv_;  // the words of the line being answered
  std::vector<AccountLine> accounts_;
  size_t n_accounts_ = 0;
  BankFieldsCache bank_fields_;
  bool ready_ = false;
};

using AnswerStore = std::vector<char, HugePageAllocator<char>>;

// A thread that answers a run of whole lines into memory, for --threads:
// the batch hands each worker a part of what it has read and writes the
// parts' answers in input order once all are done.
class Worker {
 public:
  Worker(int n_prefix, const char *const *prefix) : answerer_(n_prefix, prefix, line_) {
    sink_init(sink_, append_answers, this);
  }
  ~Worker() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      state_ = State::quit;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  // False when the worker cannot work (no memory, no thread).
  bool start() {
    if (!answerer_.ready()) return false;
    answerer_.expect_many_lines();  // a worker answers only large inputs
    // The answers to a part take about twice its bytes; room for them at
    // once spares copying them as the string grows.
    try {
      answers_.reserve(2 * kReadSize);
    } catch (const std::bad_alloc &) {
      return false;
    }
    try {
      thread_ = std::thread([this] { run(); });
    } catch (const std::system_error &) {
      return false;
    }
    return true;
  }

  void post(const char *p, size_t n) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      job_ = p;
      job_size_ = n;
      answers_.clear();
      failed_ = false;
      state_ = State::work;
    }
    wake_.notify_all();
  }

  // Waits for the posted part; false when its answers could not be kept
  // (the caller then answers the part itself).
  bool wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return state_ == State::done; });
    state_ = State::idle;
    return !failed_;
  }

  const AnswerStore &answers() const { return answers_; }

  // Whether the posted part is answered, without waiting for it.
  bool finished() {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_ == State::done;
  }

 private:
  enum class State { idle, work, done, quit };

  static void append_answers(void *ctx, const char *data, size_t len) {
    Worker &w = *static_cast<Worker *>(ctx);
    if (w.failed_) return;
    try {
      w.answers_.insert(w.answers_.end(), data, data + len);
    } catch (const std::bad_alloc &) {
      w.failed_ = true;
    }
  }

  void run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return state_ == State::work || state_ == State::quit; });
      if (state_ == State::quit) return;
      lock.unlock();
      line_reset(line_);  // a part stopped early may have left a line begun
      answerer_.feed(job_, job_size_, sink_, &failed_);
      sink_finish(sink_);
      lock.lock();
      state_ = State::done;
      done_.notify_all();
    }
  }

  Line line_;
  LineAnswerer answerer_;
  Sink sink_;
  AnswerStore answers_;
  bool failed_ = false;
  const char *job_ = nullptr;
  size_t job_size_ = 0;
  State state_ = State::idle;
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  std::thread thread_;
};

// Whole lines below this many bytes are answered by the reading thread
// alone: a caller that writes one line and waits gains nothing from workers.
constexpr size_t kShareFrom = 8192;

class Batch {
 public:
  // ready() is false when the words of a refused line find no room.
  Batch(int out_fd, int n_prefix, const char *const *prefix, int threads, BatchState &st)
      : own_share_(kShares / static_cast<size_t>(threads)), answerer_(n_prefix, prefix, st.line) {
    fd_output_init(output_, out_fd);
    sink_init(sink_, fd_output_flush, &output_);
    for (int i = 1; i < threads; i++) {
      std::unique_ptr<Worker> w(new (std::nothrow) Worker(n_prefix, prefix));
      if (!w || !w->start()) break;  // fewer workers, the same answers
      try {
        workers_.push_back(std::move(w));
      } catch (const std::bad_alloc &) {
        break;
      }
    }
  }

  bool ready() const { return answerer_.ready(); }
  bool failed() const { return output_.failed; }
  int error() const { return output_.error; }
  bool has_pending_answers() const { return sink_.len > 0 || (outbox_ && outbox_->len > 0); }
  bool line_begun() { return answerer_.line().n_fields() > 0 || answerer_.line().too_many; }
  void flush() {
    sink_finish(sink_);
    if (outbox_) outbox_send(*outbox_);
  }

  // Gathers the answers in the outbox from now on.
  void use(LargeBuffers &large) {
    answerer_.expect_many_lines();
    sink_finish(sink_);
    outbox_ = &large.outbox;
    outbox_->output = &output_;
    outbox_->len = 0;
    sink_.flush = outbox_put;
    sink_.ctx = outbox_;
  }
  bool close() { return fd_output_close(output_); }
  void answer_last_line() { answerer_.answer(sink_); }

  // Answers every line completed by the bytes read; the rest of an
  // unfinished line stays in the line state.
  void feed(const char *p, size_t n, Reader &reader) {
    const char *last_lf =
        workers_.empty() ? nullptr : static_cast<const char *>(memrchr(p, '\n', n));
    if (last_lf != nullptr && line_begun()) {
      // The line begun in an earlier read ends first, here.
      const char *first_lf = static_cast<const char *>(memchr(p, '\n', n));
      const size_t used = static_cast<size_t>(first_lf - p) + 1;
      answerer_.feed(p, used, sink_, &output_.failed);
      p += used;
      n -= used;
      if (output_.failed) return;
    }
    if (last_lf != nullptr && last_lf >= p && static_cast<size_t>(last_lf - p) + 1 >= kShareFrom) {
      const size_t whole = static_cast<size_t>(last_lf - p) + 1;
      answer_shared(p, whole, reader);
      p += whole;
      n -= whole;
    }
    answerer_.feed(p, n, sink_, &output_.failed);
  }

 private:
  // Whole lines, split into as many parts as there are threads at line
  // ends; the workers answer theirs while this thread answers the first and
  // reads ahead, then their answers follow in order.  This thread also reads
  // and writes, so its part is sized as it goes: smaller when the workers
  // were done before it, larger when it had to wait for them.
  void answer_shared(const char *p, size_t n, Reader &reader) {
    const size_t parts = workers_.size() + 1;
    const char *bounds[kMaxThreads + 1];
    bounds[0] = p;
    const size_t own = n / kShares * own_share_;
    for (size_t k = 1; k < parts; k++) {
      const size_t offset = own + (n - own) / (parts - 1) * (k - 1);
      const char *at = std::max(bounds[k - 1], p + offset);
      const char *lf = at < p + n ? static_cast<const char *>(memchr(at, '\n', p + n - at)) : nullptr;
      bounds[k] = lf ? lf + 1 : p + n;
    }
    bounds[parts] = p + n;
    for (size_t k = 1; k < parts; k++)
      workers_[k - 1]->post(bounds[k], static_cast<size_t>(bounds[k + 1] - bounds[k]));
    answerer_.feed(bounds[0], static_cast<size_t>(bounds[1] - bounds[0]), sink_, &output_.failed);
    reader.read_ahead();
    bool workers_were_done = true;
    for (const auto &w : workers_) workers_were_done = workers_were_done && w->finished();
    if (workers_were_done)
      own_share_ = std::max(kLeastShare, own_share_ - 1);
    else
      own_share_ = std::min(kShares - kLeastShare, own_share_ + 1);
    for (size_t k = 1; k < parts; k++) {
      Worker &w = *workers_[k - 1];
      const bool kept = w.wait();
      if (output_.failed) continue;
      if (kept) {
        // Whole answers, after those of the parts before.
        sink_finish(sink_);
        sink_.flush(sink_.ctx, w.answers().data(), w.answers().size());
      } else {
        answerer_.feed(bounds[k], static_cast<size_t>(bounds[k + 1] - bounds[k]), sink_,
                       &output_.failed);
      }
    }
  }

  // This thread's part of shared lines, in 64ths.
  static constexpr size_t kShares = 64, kLeastShare = 4;
  size_t own_share_;
  LineAnswerer answerer_;
  FdOutput output_;
  Outbox *outbox_ = nullptr;  // once the input has proved large
  Sink sink_;
  std::vector<std::unique_ptr<Worker>> workers_;
};

int report(const char *what, int error) {
  report_error("pluvar --batch", what, error);
  return EXIT_WRITE_FAILED;
}

}  // namespace

int pluvar_batch(int in_fd, int out_fd, int n_prefix, const char *const *prefix, int threads) {
  std::unique_ptr<BatchState> st(new (std::nothrow) BatchState);
  if (!st) {
    close(out_fd);
    return report("cannot start", ENOMEM);
  }
  Batch batch(out_fd, n_prefix, prefix, std::clamp(threads, 1, kMaxThreads), *st);
  if (!batch.ready()) {
    batch.close();
    return report("cannot start", ENOMEM);
  }
  Reader reader(in_fd, *st);
  LargeBuffersPtr large;
  int read_error = 0;
  for (;;) {
    if (batch.has_pending_answers() && !reader.has_read_ahead() && !input_at_hand(in_fd))
      batch.flush();
    if (batch.failed()) break;
    const Piece piece = reader.next();
    if (piece.size < 0) read_error = piece.error;
    if (piece.size <= 0) break;
    batch.feed(piece.data, static_cast<size_t>(piece.size), reader);
    // Without memory for them, the batch goes on with its small buffer.
    if (reader.wants_large_buffers() && (large = new_large_buffers())) {
      reader.use(*large);
      batch.use(*large);
    }
  }
  // The last line may end without LF.
  if (!batch.failed() && read_error == 0 && batch.line_begun()) batch.answer_last_line();
  batch.flush();
  bool written = batch.close();
  if (!written) return report("cannot write the answers", batch.error());
  if (read_error != 0) return report("cannot read the requests", read_error);
  return 0;
}
