// Writing answers to a file descriptor.  A caller trusts the exit status, so
// every byte is accounted for: a write that cannot be completed marks the
// output failed, and the entries then exit with EXIT_WRITE_FAILED instead of
// the answer's digit.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "pluvar.h"

namespace {

// A descriptor in non-blocking mode that is momentarily full is waited on,
// not abandoned: the reader is slow, not gone.
bool wait_writable(int fd) {
  struct pollfd p = {fd, POLLOUT, 0};
  for (;;) {
    int r = poll(&p, 1, -1);
    if (r > 0) return true;  // writable, or an error the next write reports
    if (r < 0 && errno != EINTR) return false;
  }
}

}  // namespace

bool write_fully(int fd, const char *data, size_t len) {
  while (len > 0) {
    ssize_t n = write(fd, data, len);
    if (n > 0) {
      data += n;
      len -= static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!wait_writable(fd)) return false;
    } else {
      if (n == 0) errno = EIO;  // a descriptor that takes nothing
      return false;
    }
  }
  return true;
}

void fd_output_init(FdOutput &o, int fd) {
  o.fd = fd;
  o.failed = false;
  o.error = 0;
}

void fd_output_flush(void *ctx, const char *data, size_t len) {
  FdOutput &o = *static_cast<FdOutput *>(ctx);
  if (o.failed) return;  // the answer is lost already; the status tells
  if (!write_fully(o.fd, data, len)) {
    o.failed = true;
    o.error = errno;
  }
}

void fd_output_finish_answer(Sink &out, FdOutput &o) {
  // The sink never splits one of its writes across two flushes, so its last
  // bytes hold the whole response line: the text after the last line end
  // (hit lines end in CR LF, the response line in none).  A pipe takes up to
  // PIPE_BUF bytes whole; a larger rest is written in two parts so that the
  // response line still goes in one write of its own even when a
  // non-blocking pipe takes only part of a write.
  const char *data = out.buf;
  size_t len = out.len;
  out.len = 0;
  constexpr size_t kAtomicWrite = 4096;  // PIPE_BUF on Linux
  if (len > kAtomicWrite) {
    size_t line_start = len;
    while (line_start > 0 && data[line_start - 1] != '\n') line_start--;
    if (line_start > 0 && line_start < len) {
      fd_output_flush(&o, data, line_start);
      data += line_start;
      len -= line_start;
    }
  }
  if (len > 0) fd_output_flush(&o, data, len);
}

bool fd_output_close(FdOutput &o) {
  // Some file systems report a failed write only when the file is closed.
  if (close(o.fd) != 0 && errno != EINTR && !o.failed) {
    o.failed = true;
    o.error = errno;
  }
  return !o.failed;
}

void report_error(const char *prefix, const char *what, int error) {
  const char *parts[] = {prefix, ": ", what, ": ", strerror(error), "\n"};
  for (const char *part : parts) write_fully(STDERR_FILENO, part, strlen(part));
}
