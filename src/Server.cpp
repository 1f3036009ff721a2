// `pluvar serve`: the command line's answers over HTTP/1.1, and the page at
// "/".  Boost.Beast reads every request (its parser bounds the request line
// and header fields); this unit routes, maps the query string onto a command
// line (HttpQuery.cpp) and hands that to the request path, the same one the
// command line takes.  Nothing is read from disk: the page is compiled in.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>  // before Asio, whose C++20 parts use std::exchange without it
#include <vector>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include "Serve.h"
#include "WebAssets.h"
#include "pluvar.h"

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Seconds = std::chrono::seconds;

struct ServeConfig {
  std::string address = "127.0.0.1";
  unsigned short port = 8080;
  size_t max_connections = 512;
  unsigned threads = 0;       // 0: one per core
  Seconds idle_timeout{30};   // keep-alive: waiting for the next request
  Seconds read_timeout{10};   // from the request's first byte to its last
  Seconds write_timeout{10};  // sending one answer
  Seconds stop_grace{10};     // SIGTERM: longest wait for requests in flight
};

// A connection that was answered with an error is shut down for sending and
// read to its end before it is closed, so that the client sees the answer
// instead of a reset; bounded in time and bytes.
constexpr Seconds kLingerTime{2};
constexpr size_t kLingerBytes = 1 << 20;
constexpr size_t kReadChunk = 4096;
// Room for one request head beyond its limit, so that the parser, not the
// buffer, tells that the head is too long.
constexpr size_t kBufferLimit = HTTP_HEADER_LIMIT + kReadChunk;

const char kTextType[] = "text/plain; charset=windows-1252";
const char kJsonType[] = "application/json";
const char kErrorType[] = "text/plain; charset=utf-8";
// The page loads its script and style from this server only and talks to
// nothing else; no inline script or style runs.
const char kPagePolicy[] =
    "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; "
    "img-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

struct ModeRoute {
  std::string_view path;
  const char *mode_word;  // null: the account check (default mode)
};
const ModeRoute kModeRoutes[] = {
    {"/v1/account", nullptr}, {"/v1/iban", "iban"}, {"/v1/sepa", "sepa"}, {"/v1/search", "search"}};

using Request = http::request<http::empty_body>;
using Response = http::response<http::string_body>;

// ---------------------------------------------------------------------------
// Answers
// ---------------------------------------------------------------------------

void append_to_string(void *ctx, const char *data, size_t len) {
  static_cast<std::string *>(ctx)->append(data, len);
}

// The request path, as the command line takes it; returns the exit status.
int run_request_path(int argc, const char *const *argv, std::string &body) {
  std::unique_ptr<Sink> out(new Sink);  // sink_init sets what is read; the buffer is not cleared
  sink_init(*out, append_to_string, &body);
  int status = pluvar_run(argc, argv, *out);
  sink_finish(*out);
  return status;
}

void set_answer(Response &res, int status, bool json) {
  res.result(http::status::ok);
  res.set(http::field::content_type, json ? kJsonType : kTextType);
  res.set("Pluvar-Code", std::to_string(status));
  res.set(http::field::cache_control, "no-store");
  res.set(http::field::vary, "Accept");
}

void set_error(Response &res, http::status status, std::string_view text) {
  res.result(status);
  res.set(http::field::content_type, kErrorType);
  res.body() = std::to_string(static_cast<unsigned>(status)) + " ";
  res.body() += std::string(http::obsolete_reason(status));
  res.body() += ": ";
  res.body() += text;
  res.body() += "\n";
}

bool wants_json(const Request &req, int json_param) {
  if (json_param >= 0) return json_param == 1;
  auto it = req.find(http::field::accept);
  return it != req.end() && accept_wants_json(std::string_view(it->value().data(), it->value().size()));
}

void answer_mode(const Request &req, std::string_view query, const char *mode_word, Response &res) {
  std::unique_ptr<HttpCall> call(new HttpCall);  // parse_http_query sets every field
  HttpQueryError e = parse_http_query(query, *call);
  if (e != HttpQueryError::none) return set_error(res, http::status::bad_request, http_query_error_text(e));
  bool json = wants_json(req, call->json);
  const char *argv[HTTP_ARGV_SIZE];
  int argc = http_call_argv(*call, json, mode_word, argv);
  set_answer(res, run_request_path(argc, argv, res.body()), json);
}

// GET /v1/version: the answer of `pluvar -v` (or `pluvar --json -v`).
void answer_version(const Request &req, std::string_view query, Response &res) {
  int json_param = -1;
  if (query == "json=1") json_param = 1;
  if (query == "json=0") json_param = 0;
  bool json = wants_json(req, json_param);
  const char *argv[] = {"pluvar", "--json", "-v", nullptr};
  if (json)
    set_answer(res, run_request_path(3, argv, res.body()), true);
  else {
    argv[1] = "-v";
    argv[2] = nullptr;
    set_answer(res, run_request_path(2, argv, res.body()), false);
  }
}

bool answer_asset(std::string_view path, Response &res) {
  for (size_t i = 0; i < kWebAssetCount; i++) {
    const WebAsset &a = kWebAssets[i];
    if (path != a.path) continue;
    res.result(http::status::ok);
    res.set(http::field::content_type, a.content_type);
    res.set("Content-Security-Policy", kPagePolicy);
    res.set(http::field::cache_control, "no-cache");
    res.set("Referrer-Policy", "no-referrer");
    res.body().assign(reinterpret_cast<const char *>(a.data), a.size);
    return true;
  }
  return false;
}

// Fills res for a request that the parser read whole.
void answer(const Request &req, Response &res) {
  res.set("X-Content-Type-Options", "nosniff");
  if (req.method() != http::verb::get && req.method() != http::verb::head) {
    res.set(http::field::allow, "GET, HEAD");
    return set_error(res, http::status::method_not_allowed, "only GET and HEAD");
  }
  std::string_view target(req.target().data(), req.target().size());
  size_t q = target.find('?');
  std::string_view path = target.substr(0, q);
  std::string_view query = q == std::string_view::npos ? std::string_view() : target.substr(q + 1);
  for (const ModeRoute &r : kModeRoutes)
    if (path == r.path) return answer_mode(req, query, r.mode_word, res);
  if (path == "/v1/version") return answer_version(req, query, res);
  if (path == "/healthz") {
    res.set(http::field::content_type, kErrorType);
    res.set(http::field::cache_control, "no-store");
    res.body() = "ok\n";
    return;
  }
  if (answer_asset(path, res)) return;
  set_error(res, http::status::not_found, "no such resource");
}

// ---------------------------------------------------------------------------
// Connections
// ---------------------------------------------------------------------------

class Session;

class Server {
 public:
  // One event loop per thread, each run by its thread alone, so handlers
  // take no locks; connections are dealt to the loops in turn.  The first
  // loop also runs the acceptor, the signals and the grace timer.
  Server(std::vector<std::unique_ptr<asio::io_context>> &loops, const ServeConfig &cfg)
      : loops_(loops), acceptor_(*loops[0]), signals_(*loops[0], SIGTERM, SIGINT), grace_(*loops[0]),
        cfg_(cfg) {}

  bool listen(std::string &error);
  tcp::endpoint local_endpoint() const { return acceptor_.local_endpoint(); }
  void start();
  bool stopping() const { return stopping_.load(); }
  const ServeConfig &config() const { return cfg_; }
  void enter(Session *s, std::weak_ptr<Session> w);
  void leave(Session *s);

 private:
  void accept();
  void on_accept(beast::error_code ec, tcp::socket socket);
  void refuse(tcp::socket &socket);
  void begin_stop();

  void stop_loops() {
    for (auto &loop : loops_) loop->stop();
  }

  std::vector<std::unique_ptr<asio::io_context>> &loops_;
  size_t next_loop_ = 0;
  tcp::acceptor acceptor_;
  asio::signal_set signals_;
  asio::steady_timer grace_;
  ServeConfig cfg_;
  std::mutex mutex_;
  std::unordered_map<Session *, std::weak_ptr<Session>> sessions_;
  std::atomic<bool> stopping_{false};
};

class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket &&socket, Server &server) : stream_(std::move(socket)), buffer_(kBufferLimit), server_(server) {}
  ~Session() { server_.leave(this); }

  void start() {
    server_.enter(this, weak_from_this());
    beast::error_code ec;
    stream_.socket().set_option(tcp::no_delay(true), ec);
    asio::dispatch(stream_.get_executor(), [self = shared_from_this()] { self->wait_for_request(); });
  }

  asio::any_io_executor executor() { return stream_.get_executor(); }

  // On the session's strand: a connection waiting for its next request is
  // closed at once when the server stops; one in the middle of a request is
  // answered first.
  void stop_if_idle() {
    if (!idle_) return;
    beast::error_code ec;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ec);
    stream_.socket().close(ec);
  }

 private:
  void wait_for_request() {
    if (server_.stopping()) return close();
    parser_.emplace();
    parser_->header_limit(HTTP_HEADER_LIMIT);
    if (buffer_.size() > 0) return read_request();  // a pipelined request
    idle_ = true;
    stream_.expires_after(server_.config().idle_timeout);
    stream_.async_read_some(buffer_.prepare(kReadChunk),
                            beast::bind_front_handler(&Session::on_first_bytes, shared_from_this()));
  }

  void on_first_bytes(beast::error_code ec, size_t n) {
    idle_ = false;
    if (ec) return close();  // end of the connection, idle timeout, or stop
    buffer_.commit(n);
    read_request();
  }

  void read_request() {
    idle_ = false;
    stream_.expires_after(server_.config().read_timeout);
    http::async_read(stream_, buffer_, *parser_,
                     beast::bind_front_handler(&Session::on_request, shared_from_this()));
  }

  void on_request(beast::error_code ec, size_t) {
    if (ec == beast::error::timeout || ec == asio::error::operation_aborted) return;  // closed already
    if (ec == http::error::end_of_stream) return close();
    if (ec == http::error::header_limit || ec == http::error::buffer_overflow) {
      if (request_line_complete())
        return send_error(http::status::request_header_fields_too_large, "request header fields too large");
      return send_error(http::status::uri_too_long, "request line too long");
    }
    if (ec == http::error::unexpected_body && parser_->is_header_done()) {
      http::verb m = parser_->get().method();
      if (m != http::verb::get && m != http::verb::head) {
        res_ = {};
        res_.set(http::field::allow, "GET, HEAD");
        return send_error(http::status::method_not_allowed, "only GET and HEAD");
      }
      return send_error(http::status::bad_request, "a request body is not accepted");
    }
    if (ec == http::error::partial_message) return send_error(http::status::bad_request, "incomplete request");
    if (ec) return send_error(http::status::bad_request, "malformed request");

    Request req = parser_->release();
    res_ = {};
    res_.version(req.version());
    answer(req, res_);
    bool keep_alive = req.keep_alive() && !server_.stopping() &&
                      res_.result() != http::status::method_not_allowed;
    res_.keep_alive(keep_alive);
    if (req.method() == http::verb::head) {
      size_t size = res_.body().size();
      res_.body().clear();
      res_.content_length(size);
    } else {
      res_.prepare_payload();
    }
    send(keep_alive);
  }

  // Whether the bytes read so far hold the whole request line: the head
  // that was too long is then too long in its header fields.
  bool request_line_complete() const {
    std::string_view seen(static_cast<const char *>(buffer_.data().data()), buffer_.size());
    return seen.find('\n') != std::string_view::npos;
  }

  void send(bool keep_alive) {
    stream_.expires_after(server_.config().write_timeout);
    http::async_write(stream_, res_,
                      beast::bind_front_handler(&Session::on_sent, shared_from_this(), keep_alive));
  }

  void on_sent(bool keep_alive, beast::error_code ec, size_t) {
    if (ec) return close();
    if (!keep_alive) return linger();
    wait_for_request();
  }

  // Errors close the connection: after a malformed request the stream is
  // not trusted to hold another one.
  void send_error(http::status status, const char *text) {
    res_.version(11);
    res_.set("X-Content-Type-Options", "nosniff");
    set_error(res_, status, text);
    res_.keep_alive(false);
    res_.prepare_payload();
    send(false);
  }

  void linger() {
    beast::error_code ec;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ec);
    if (ec) return close();
    buffer_.clear();
    stream_.expires_after(kLingerTime);
    stream_.async_read_some(asio::buffer(scratch_),
                            beast::bind_front_handler(&Session::on_linger, shared_from_this()));
  }

  void on_linger(beast::error_code ec, size_t n) {
    drained_ += n;
    if (ec || drained_ > kLingerBytes) return close();
    stream_.async_read_some(asio::buffer(scratch_),
                            beast::bind_front_handler(&Session::on_linger, shared_from_this()));
  }

  void close() {
    beast::error_code ec;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ec);
    stream_.socket().close(ec);
  }

  beast::tcp_stream stream_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::empty_body>> parser_;
  Response res_;
  Server &server_;
  bool idle_ = false;
  size_t drained_ = 0;
  char scratch_[kReadChunk];
};

bool Server::listen(std::string &error) {
  beast::error_code ec;
  tcp::endpoint endpoint(asio::ip::make_address(cfg_.address, ec), cfg_.port);
  if (ec) {
    error = "not a numeric address";
    return false;
  }
  acceptor_.open(endpoint.protocol(), ec);
  if (!ec) acceptor_.set_option(asio::socket_base::reuse_address(true), ec);
  if (!ec) acceptor_.bind(endpoint, ec);
  if (!ec) acceptor_.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) error = ec.message();
  return !ec;
}

void Server::start() {
  signals_.async_wait([this](beast::error_code ec, int) {
    if (!ec) begin_stop();
  });
  accept();
}

void Server::accept() {
  asio::io_context &loop = *loops_[next_loop_++ % loops_.size()];
  acceptor_.async_accept(loop, beast::bind_front_handler(&Server::on_accept, this));
}

void Server::on_accept(beast::error_code ec, tcp::socket socket) {
  if (stopping_) return;
  if (!ec) {
    size_t open;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      open = sessions_.size();
    }
    if (open >= cfg_.max_connections)
      refuse(socket);
    else
      std::make_shared<Session>(std::move(socket), *this)->start();
  }
  accept();
}

// Past the cap on open connections a new one is told so and closed, without
// waiting for its request.
void Server::refuse(tcp::socket &socket) {
  static const char kBody[] = "503 Service Unavailable: too many open connections\n";
  static const std::string kBusy = std::string(
      "HTTP/1.1 503 Service Unavailable\r\nConnection: close\r\nRetry-After: 1\r\n"
      "Content-Type: text/plain; charset=utf-8\r\nContent-Length: ") +
      std::to_string(sizeof kBody - 1) + "\r\n\r\n" + kBody;
  beast::error_code ec;
  socket.non_blocking(true, ec);
  socket.write_some(asio::buffer(kBusy), ec);
  socket.shutdown(tcp::socket::shutdown_both, ec);
  socket.close(ec);
}

void Server::enter(Session *s, std::weak_ptr<Session> w) {
  std::lock_guard<std::mutex> lock(mutex_);
  sessions_.emplace(s, std::move(w));
}

void Server::leave(Session *s) {
  std::lock_guard<std::mutex> lock(mutex_);
  sessions_.erase(s);
  if (stopping_ && sessions_.empty()) stop_loops();
}

// SIGTERM or SIGINT: no new connections; idle ones are closed, requests in
// flight are answered (with "Connection: close"), then the server ends; at
// the latest after the grace time.
void Server::begin_stop() {
  beast::error_code ec;
  acceptor_.close(ec);
  std::vector<std::shared_ptr<Session>> open;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    if (sessions_.empty()) {
      stop_loops();
      return;
    }
    for (auto &entry : sessions_)
      if (auto s = entry.second.lock()) open.push_back(std::move(s));
  }
  for (auto &s : open) asio::post(s->executor(), [s] { s->stop_if_idle(); });
  grace_.expires_after(cfg_.stop_grace);
  grace_.async_wait([this](beast::error_code wait_ec) {
    if (!wait_ec) stop_loops();
  });
}

// ---------------------------------------------------------------------------
// Command line of the serve mode
// ---------------------------------------------------------------------------

bool parse_number(const char *text, unsigned long max, unsigned long &value) {
  if (!text || !*text) return false;
  value = 0;
  for (const char *p = text; *p; p++) {
    if (!is_digit(static_cast<unsigned char>(*p))) return false;
    value = value * 10 + static_cast<unsigned long>(*p - '0');
    if (value > max) return false;
  }
  return true;
}

// ADDR:PORT, ADDR a numeric IPv4 address or an IPv6 address in brackets.
bool parse_listen(const char *text, ServeConfig &cfg) {
  std::string_view s(text);
  size_t colon = s.rfind(':');
  if (colon == std::string_view::npos) return false;
  std::string_view addr = s.substr(0, colon);
  if (addr.size() >= 2 && addr.front() == '[' && addr.back() == ']') addr = addr.substr(1, addr.size() - 2);
  unsigned long port;
  std::string port_text(s.substr(colon + 1));
  if (addr.empty() || !parse_number(port_text.c_str(), 65535, port)) return false;
  cfg.address = std::string(addr);
  cfg.port = static_cast<unsigned short>(port);
  return true;
}

bool parse_serve_args(int argc, const char *const *argv, ServeConfig &cfg) {
  for (int i = 2; i < argc; i += 2) {
    if (i + 1 >= argc) return false;
    std::string_view word(argv[i]);
    const char *value = argv[i + 1];
    unsigned long n;
    if (word == "--listen") {
      if (!parse_listen(value, cfg)) return false;
    } else if (word == "--max-connections" && parse_number(value, 100000, n) && n > 0) {
      cfg.max_connections = n;
    } else if (word == "--threads" && parse_number(value, 64, n) && n > 0) {
      cfg.threads = static_cast<unsigned>(n);
    } else if (word == "--idle-timeout" && parse_number(value, 3600, n) && n > 0) {
      cfg.idle_timeout = Seconds(n);
    } else if (word == "--read-timeout" && parse_number(value, 3600, n) && n > 0) {
      cfg.read_timeout = cfg.write_timeout = Seconds(n);
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int pluvar_serve(int argc, const char *const *argv) {
  ServeConfig cfg;
  if (!parse_serve_args(argc, argv, cfg)) {
    fputs("code=5", stdout);
    return 5;
  }
  unsigned threads = cfg.threads ? cfg.threads : std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::unique_ptr<asio::io_context>> loops;
  for (unsigned i = 0; i < threads; i++) loops.push_back(std::make_unique<asio::io_context>(1));
  Server server(loops, cfg);
  std::string error;
  if (!server.listen(error)) {
    fprintf(stderr, "pluvar serve: cannot listen on %s:%u: %s\n", cfg.address.c_str(), cfg.port, error.c_str());
    return SERVE_START_FAILED;
  }
  tcp::endpoint at = server.local_endpoint();
  std::string host = at.address().to_string();
  if (at.address().is_v6()) host = "[" + host + "]";
  printf("pluvar serve: listening on http://%s:%u/\n", host.c_str(), at.port());
  fflush(stdout);
  // A loop without connections waits for its next one instead of ending;
  // the loops end when the server stops them.
  std::vector<asio::executor_work_guard<asio::io_context::executor_type>> keep;
  for (auto &loop : loops) keep.push_back(asio::make_work_guard(*loop));
  server.start();
  std::vector<std::thread> pool;
  for (unsigned i = 1; i < threads; i++) pool.emplace_back([&loops, i] { loops[i]->run(); });
  loops[0]->run();
  for (auto &t : pool) t.join();
  return 0;
}
