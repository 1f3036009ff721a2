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

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "pluvar.h"

namespace {

constexpr size_t kReadSize = 65536;
// Bytes kept of one field.  The request entry reads at most the first 299
// bytes of a query and compares words by their first few bytes, so a longer
// field answers as the whole field would.
constexpr size_t kFieldKeep = 4096;
// Fields kept of one line: far more than any accepted command line has words.
// A line with more is refused like an unusable command line.
constexpr int kMaxFields = 64;

// The line being read: its fields stored one after another, each with its NUL.
struct Line {
  char text[kMaxFields * (kFieldKeep + 1)];
  size_t start[kMaxFields];  // offset of each field in text
  int n_fields;              // fields begun; 0 while the line is empty
  size_t used;               // bytes of text in use
  size_t field_len;          // whole length of the current field, kept or not
  bool too_many;             // a field beyond kMaxFields was begun
  bool last_cr;              // the last byte read was CR
};

struct BatchState {
  char input[kReadSize];
  Line line;
};

void line_reset(Line &l) {
  l.n_fields = 0;
  l.used = 0;
  l.field_len = 0;
  l.too_many = false;
  l.last_cr = false;
}

void begin_field(Line &l) {
  if (l.n_fields == kMaxFields) {
    l.too_many = true;
    return;
  }
  l.start[l.n_fields++] = l.used;
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
  char *end = l.text + l.used - 1;  // the field's NUL
  memcpy(end, p, take);
  end[take] = '\0';
  l.used += take;
  l.field_len += n;
}

// Reads a piece of a line (no LF in it), splitting it into fields at TAB.
void add_to_line(Line &l, const char *p, size_t n) {
  if (n == 0) return;
  if (l.n_fields == 0) begin_field(l);
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
  if (!l.last_cr || l.n_fields == 0 || l.too_many) return;
  if (l.field_len <= kFieldKeep) {
    l.used--;
    l.text[l.used - 1] = '\0';
  }
  l.field_len--;
  if (l.n_fields == 1 && l.field_len == 0) line_reset(l);
}

class Batch {
 public:
  Batch(int out_fd, int n_prefix, const char *const *prefix, BatchState &st, const char **argv)
      : n_prefix_(n_prefix), prefix_(prefix), st_(st), argv_(argv) {
    fd_output_init(output_, out_fd);
    sink_init(sink_, fd_output_flush, &output_);
    line_reset(st_.line);
  }

  bool failed() const { return output_.failed; }
  int error() const { return output_.error; }
  bool has_pending_answers() const { return sink_.len > 0; }
  bool line_begun() const { return st_.line.n_fields > 0 || st_.line.too_many; }
  void flush() { sink_finish(sink_); }
  bool close() { return fd_output_close(output_); }

  // Answers every line completed by the bytes read; the rest of an
  // unfinished line stays in the line state.
  void feed(const char *p, size_t n) {
    while (n > 0 && !output_.failed) {
      const char *lf = static_cast<const char *>(memchr(p, '\n', n));
      size_t k = lf ? static_cast<size_t>(lf - p) : n;
      add_to_line(st_.line, p, k);
      if (!lf) return;
      answer_line();
      p += k + 1;
      n -= k + 1;
    }
  }

  // The line has ended (LF or end of input): answer it as the command line
  // made of the batch options and the line's fields would be answered.
  void answer_line() {
    Line &l = st_.line;
    end_line(l);
    int argc = 0;
    argv_[argc++] = "pluvar";
    for (int i = 0; i < n_prefix_; i++) argv_[argc++] = prefix_[i];
    // So many words are no usable command line: the request path refuses
    // the option word --batch (and still reads the line's options, which
    // shape that answer).
    if (l.too_many) argv_[argc++] = "--batch";
    for (int i = 0; i < l.n_fields; i++) argv_[argc++] = l.text + l.start[i];
    argv_[argc] = nullptr;
    pluvar_request(kDefaultOptions, argc, argv_, sink_);
    sink_write(sink_, "\n", 1);
    line_reset(l);
  }

 private:
  int n_prefix_;
  const char *const *prefix_;
  BatchState &st_;
  const char **argv_;
  FdOutput output_;
  Sink sink_;
};

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

int report(const char *what, int error) {
  report_error("pluvar --batch", what, error);
  return EXIT_WRITE_FAILED;
}

}  // namespace

int pluvar_batch(int in_fd, int out_fd, int n_prefix, const char *const *prefix) {
  std::unique_ptr<BatchState> st(new (std::nothrow) BatchState);
  std::unique_ptr<const char *[]> argv(
      new (std::nothrow) const char *[static_cast<size_t>(n_prefix) + kMaxFields + 3]);
  if (!st || !argv) {
    close(out_fd);
    return report("cannot start", ENOMEM);
  }
  Batch batch(out_fd, n_prefix, prefix, *st, argv.get());
  int read_error = 0;
  for (;;) {
    if (batch.has_pending_answers() && !input_at_hand(in_fd)) batch.flush();
    if (batch.failed()) break;
    ssize_t n = read_some(in_fd, st->input, sizeof st->input);
    if (n < 0) read_error = errno;
    if (n <= 0) break;
    batch.feed(st->input, static_cast<size_t>(n));
  }
  // The last line may end without LF.
  if (!batch.failed() && read_error == 0 && batch.line_begun()) batch.answer_line();
  batch.flush();
  bool written = batch.close();
  if (!written) return report("cannot write the answers", batch.error());
  if (read_error != 0) return report("cannot read the requests", read_error);
  return 0;
}
