// `pluvar serve`: the query-string mapping in-process, and the running server
// on a free loopback port, judged by the command line's own answers.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include "Serve.h"
#include "cli.h"

namespace {

// ---------------------------------------------------------------------------
// The query string as a command line
// ---------------------------------------------------------------------------

std::vector<std::string> argv_of(std::string_view raw, bool json, const char *mode,
                                 HttpQueryError *error = nullptr) {
  auto call = std::make_unique<HttpCall>();
  HttpQueryError e = parse_http_query(raw, *call);
  if (error) *error = e;
  if (e != HttpQueryError::none) return {};
  const char *argv[HTTP_ARGV_SIZE];
  int argc = http_call_argv(*call, json, mode, argv);
  return std::vector<std::string>(argv, argv + argc);
}

using Words = std::vector<std::string>;

TEST(HttpQuery, ControlParametersBecomeOptionWords) {
  EXPECT_EQ(argv_of("knr=1&blz=10000000", false, nullptr), (Words{"pluvar", "knr=1&blz=10000000"}));
  EXPECT_EQ(argv_of("allinfo=1&knr=1&blz=10000000", false, nullptr),
            (Words{"pluvar", "-allinfo", "knr=1&blz=10000000"}));
  EXPECT_EQ(argv_of("IBN=DE89370400440532013000&allinfo=1&utf8=1&lenient=1&strict=1&date=2025-04-01",
                    true, "sepa"),
            (Words{"pluvar", "--json", "--utf8", "--lenient", "--strict", "--date", "2025-04-01", "sepa",
                   "-allinfo", "IBN=DE89370400440532013000"}));
  EXPECT_EQ(argv_of("allinfo=0&json=0&nam=bank", false, "search"), (Words{"pluvar", "search", "nam=bank"}));
  EXPECT_EQ(argv_of("", false, "iban"), (Words{"pluvar", "iban", ""}));
  // Mode keys keep their spelling and order; empty fields stay, so the mode
  // judges the same text as on the command line.
  EXPECT_EQ(argv_of("BLZ=1&&KNR=2&", false, nullptr), (Words{"pluvar", "BLZ=1&&KNR=2&"}));
  // Only the exact lowercase names are control parameters.
  EXPECT_EQ(argv_of("ALLINFO=1", false, nullptr), (Words{"pluvar", "ALLINFO=1"}));
}

TEST(HttpQuery, PercentDecoding) {
  EXPECT_EQ(argv_of("nam=m%FCnchen", false, "search")[2], "nam=m\xFCnchen");
  EXPECT_EQ(argv_of("nam=deutsche+bank%20ag", false, "search")[2], "nam=deutsche bank ag");
  EXPECT_EQ(argv_of("%6Bnr=1%26blz=2", false, nullptr)[1], "knr=1&blz=2");  // decoded '&' is the query's
  EXPECT_EQ(argv_of("all%69nfo=1&ibn=x", false, nullptr), (Words{"pluvar", "-allinfo", "ibn=x"}));
  HttpQueryError e;
  for (const char *bad : {"knr=%", "knr=%4", "knr=%G1", "knr=%%41", "a=%4x&b=1"}) {
    argv_of(bad, false, nullptr, &e);
    EXPECT_EQ(e, HttpQueryError::bad_escape) << bad;
  }
  argv_of("knr=%00", false, nullptr, &e);
  EXPECT_EQ(e, HttpQueryError::nul_byte);
}

TEST(HttpQuery, ControlParameterErrors) {
  HttpQueryError e;
  for (const char *bad : {"allinfo=yes", "allinfo=", "allinfo", "json=2", "utf8=10", "strict=true"}) {
    argv_of(bad, false, nullptr, &e);
    EXPECT_EQ(e, HttpQueryError::bad_flag) << bad;
  }
  argv_of("allinfo=1&allinfo=1", false, nullptr, &e);
  EXPECT_EQ(e, HttpQueryError::repeated);
  argv_of("date=2025-04-01-2025-05-01", false, nullptr, &e);
  EXPECT_EQ(e, HttpQueryError::bad_flag);
  std::string longest(HTTP_HEADER_LIMIT, 'a');
  argv_of(longest, false, nullptr, &e);
  EXPECT_EQ(e, HttpQueryError::none);
  argv_of(longest + "a", false, nullptr, &e);
  EXPECT_EQ(e, HttpQueryError::too_long);
}

// A second reading of the query: decode the whole string, then drop the
// control fields.  Both readings agree wherever no field decodes to '&'.
TEST(HttpQuery, AgreesWithDecodeThenSplit) {
  std::mt19937 rng(17);
  const std::string alphabet = "knrblz=&%+aZ09-\xFC";
  for (int i = 0; i < 3000; i++) {
    std::string raw;
    int fields = static_cast<int>(rng() % 4);
    int control_at = static_cast<int>(rng() % 6), control = static_cast<int>(rng() % 2);
    for (int f = 0; f < fields; f++) {
      if (f) raw += '&';
      if (f == control_at) raw += control ? "allinfo=1" : "json=0";
      else
        for (int n = static_cast<int>(rng() % 8); n > 0; n--) {
          char ch = alphabet[rng() % alphabet.size()];
          if (ch == '%') {
            static const char kHex[] = "0123456789abcdef";
            raw += '%';
            raw += kHex[2 + rng() % 6];  // 0x20..0x7f: never '&' (0x26) by choice below
            raw += kHex[rng() % 16];
            if (raw.substr(raw.size() - 2) == "26" || raw.substr(raw.size() - 2) == "3d") raw.back() = '1';
          } else {
            raw += ch;
          }
        }
    }
    HttpQueryError e;
    Words got = argv_of(raw, false, "search", &e);
    ASSERT_EQ(e, HttpQueryError::none) << raw;
    std::string expected;
    bool allinfo = false;
    std::string field;
    bool first = true;
    size_t start = 0;
    while (start <= raw.size() && !raw.empty()) {
      size_t end = raw.find('&', start);
      if (end == std::string::npos) end = raw.size();
      field = raw.substr(start, end - start);
      start = end + 1;
      if (field == "allinfo=1") {
        allinfo = true;
        continue;
      }
      if (field == "json=0") continue;
      std::string decoded;
      for (size_t k = 0; k < field.size(); k++) {
        if (field[k] == '+') decoded += ' ';
        else if (field[k] == '%') {
          decoded += static_cast<char>(std::stoi(field.substr(k + 1, 2), nullptr, 16));
          k += 2;
        } else decoded += field[k];
      }
      expected += (first ? "" : "&") + decoded;
      first = false;
    }
    Words want{"pluvar", "search"};
    if (allinfo) want.push_back("-allinfo");
    want.push_back(expected);
    EXPECT_EQ(got, want) << raw;
  }
}

TEST(HttpQuery, AcceptHeader) {
  EXPECT_TRUE(accept_wants_json("application/json"));
  EXPECT_TRUE(accept_wants_json("text/html, Application/JSON;q=0.9"));
  EXPECT_TRUE(accept_wants_json("application/json; q=0.5"));
  EXPECT_FALSE(accept_wants_json("application/json;q=0"));
  EXPECT_FALSE(accept_wants_json("application/json; q=0.000"));
  EXPECT_FALSE(accept_wants_json("*/*"));
  EXPECT_FALSE(accept_wants_json("text/plain"));
  EXPECT_FALSE(accept_wants_json("application/jsonx"));
  EXPECT_FALSE(accept_wants_json(""));
}

// ---------------------------------------------------------------------------
// The running server
// ---------------------------------------------------------------------------

// `pluvar serve` on a free loopback port (the server picks it and names it
// on its first output line); stopped with SIGTERM by the destructor.
class ServerProcess {
 public:
  explicit ServerProcess(std::vector<std::string> extra = {}) {
    int outp[2];
    if (pipe(outp) != 0) return;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, outp[1], 1);
    posix_spawn_file_actions_addclose(&fa, outp[0]);
    std::vector<std::string> args{PLUVAR_BIN, "serve", "--listen", "127.0.0.1:0", "--threads", "2"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char *> argv;
    for (auto &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int rc = posix_spawn(&pid_, PLUVAR_BIN, &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    close(outp[1]);
    if (rc != 0) {
      pid_ = -1;
      close(outp[0]);
      return;
    }
    std::string line;
    char ch;
    while (read(outp[0], &ch, 1) == 1 && ch != '\n') line += ch;
    out_fd_ = outp[0];
    size_t colon = line.rfind(':');
    if (colon != std::string::npos) port_ = std::atoi(line.c_str() + colon + 1);
  }
  ~ServerProcess() {
    if (pid_ > 0 && !stopped_) stop();
    if (out_fd_ >= 0) close(out_fd_);
  }
  int port() const { return port_; }
  // SIGTERM, then the exit status (-1 when it did not exit by itself).
  int stop() {
    stopped_ = true;
    kill(pid_, SIGTERM);
    int st = 0;
    waitpid(pid_, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int out_fd_ = -1;
  int port_ = 0;
  bool stopped_ = false;
};

int connect_to(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

bool send_all(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// The test's client side: one response read from the connection (status
// line, fields, a body of Content-Length bytes).
struct HttpResponse {
  int status = 0;  // 0: the connection ended without a response
  std::string version;
  std::map<std::string, std::string> fields;  // names in lowercase
  std::string body;
  std::string field(const std::string &name) const {
    auto it = fields.find(name);
    return it == fields.end() ? "" : it->second;
  }
};

class Connection {
 public:
  explicit Connection(int port) : fd_(connect_to(port)) {}
  ~Connection() {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0; }
  bool send(std::string_view data) { return send_all(fd_, data); }
  void shutdown_write() { ::shutdown(fd_, SHUT_WR); }

  // Waits at most `timeout_ms` for more bytes; false at the end of the stream.
  bool fill(int timeout_ms = 5000) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0) return false;
    char buf[65536];
    ssize_t n = recv(fd_, buf, sizeof buf, 0);
    if (n <= 0) return false;
    in_.append(buf, static_cast<size_t>(n));
    return true;
  }

  HttpResponse read_response(bool head_request = false) {
    HttpResponse r;
    size_t end;
    while ((end = in_.find("\r\n\r\n")) == std::string::npos)
      if (!fill()) return r;
    std::istringstream head(in_.substr(0, end));
    in_.erase(0, end + 4);
    std::string line;
    std::getline(head, line);
    std::istringstream status_line(line);
    status_line >> r.version >> r.status;
    while (std::getline(head, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      size_t colon = line.find(':');
      std::string name = line.substr(0, colon);
      for (char &ch : name) ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
      r.fields[name] = line.substr(line.find_first_not_of(' ', colon + 1));
    }
    size_t length = head_request ? 0 : std::stoul(r.field("content-length").empty() ? "0" : r.field("content-length"));
    while (in_.size() < length)
      if (!fill()) return r;
    r.body = in_.substr(0, length);
    in_.erase(0, length);
    return r;
  }

  // True when the server closes the connection within timeout_ms.
  bool closed_within(int timeout_ms) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < until) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 50) > 0) {
        char buf[4096];
        ssize_t n = recv(fd_, buf, sizeof buf, 0);
        if (n <= 0) return true;
      }
    }
    return false;
  }

 private:
  int fd_;
  std::string in_;
};

std::string get_request(const std::string &target, const std::string &extra = "") {
  return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n";
}

HttpResponse get(int port, const std::string &target, const std::string &extra = "") {
  Connection c(port);
  c.send(get_request(target, extra));
  return c.read_response();
}

// Percent-encodes every byte but letters, digits, '=' and '&' (so the
// fields stay fields).
std::string encode_query(const std::string &q) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string s;
  for (unsigned char ch : q) {
    if (isalnum(ch) || ch == '=' || ch == '&' || ch == '-') {
      s += static_cast<char>(ch);
    } else {
      s += '%';
      s += kHex[ch >> 4];
      s += kHex[ch & 15];
    }
  }
  return s;
}

// The HTTP request for a command line [MODE] [-allinfo] QUERY.
std::string target_for(const std::vector<std::string> &args) {
  size_t i = 0;
  std::string path = "/v1/account";
  if (i < args.size() && (args[i] == "search" || args[i] == "iban" || args[i] == "sepa")) path = "/v1/" + args[i++];
  std::string extra;
  if (i < args.size() && args[i] == "-allinfo") {
    extra = "&allinfo=1";
    i++;
  }
  return path + "?" + encode_query(args.at(i)) + extra;
}

// The command lines of the README's examples ("$ pluvar ..." lines).
std::vector<std::vector<std::string>> readme_command_lines() {
  std::ifstream in(std::string(PLUVAR_SOURCE_DIR) + "/README.md");
  std::vector<std::vector<std::string>> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("$ pluvar ", 0) != 0) continue;
    std::vector<std::string> words;
    size_t p = 9;
    while (p < line.size() && words.size() < 3) {
      while (p < line.size() && line[p] == ' ') p++;
      if (p >= line.size() || line[p] == '(') break;
      std::string w;
      if (line[p] == '\'') {
        size_t q = line.find('\'', p + 1);
        w = line.substr(p + 1, q - p - 1);
        p = q + 1;
      } else {
        size_t q = line.find(' ', p);
        if (q == std::string::npos) q = line.size();
        w = line.substr(p, q - p);
        p = q;
      }
      words.push_back(w);
      if (w != "search" && w != "iban" && w != "sepa" && w != "-allinfo") break;  // the query
    }
    if (!words.empty() && words[0] != "-v" && words[0] != "serve") lines.push_back(words);
  }
  return lines;
}

// Generated requests of every mode: real bank codes with random accounts,
// the IBANs the IBAN mode builds for them, searches by name fragments.
std::vector<std::vector<std::string>> generated_command_lines() {
  std::mt19937 rng(2017);
  std::vector<std::vector<std::string>> lines;
  for (int i = 0; i < 150; i++) {
    const BLZ_Row &row = l[rng() % l_size];
    std::string knr = std::to_string(rng() % 10000000000ull);
    std::string account = "knr=" + knr + "&blz=" + row.blz;
    lines.push_back({account});
    lines.push_back({"-allinfo", account});
    std::vector<std::string> iban_mode{"iban", "-allinfo", "ccd=de&blz=" + std::string(row.blz) + "&knr=" + knr};
    lines.push_back(iban_mode);
    InProcResult built = run_pluvar_inproc(iban_mode);
    size_t at = built.out.find("ibn=");
    if (at != std::string::npos) {
      std::string iban = built.out.substr(at + 4, 22);
      lines.push_back({"sepa", "-allinfo", "IBN=" + iban});
      lines.push_back({"-allinfo", "ibn=" + iban});
    }
    std::string name = row.name;
    if (name.size() >= 4) {
      size_t from = rng() % (name.size() - 3);
      lines.push_back({"search", "-allinfo", "nam=" + name.substr(from, 4) + "&max=5"});
    }
  }
  return lines;
}

void expect_same_answers(int port, const std::vector<std::vector<std::string>> &lines, bool via_binary) {
  Connection c(port);  // one keep-alive connection for all of them
  ASSERT_TRUE(c.ok());
  for (const auto &args : lines) {
    std::string cli_out;
    int cli_status;
    if (via_binary) {
      CliResult r = run_pluvar_cli(args);
      cli_out = r.out;
      cli_status = r.status;
    } else {
      InProcResult r = run_pluvar_inproc(args);
      cli_out = r.out;
      cli_status = r.status;
    }
    std::string target = target_for(args);
    ASSERT_TRUE(c.send(get_request(target)));
    HttpResponse r = c.read_response();
    ASSERT_EQ(r.status, 200) << target;
    EXPECT_EQ(r.body, cli_out) << target;
    EXPECT_EQ(r.field("pluvar-code"), std::to_string(cli_status)) << target;
    EXPECT_EQ(r.field("content-type"), "text/plain; charset=windows-1252");
  }
}

TEST(Server, ReadmeExamplesAnswerAsTheCommandLine) {
  ServerProcess server;
  ASSERT_GT(server.port(), 0);
  auto lines = readme_command_lines();
  EXPECT_GT(lines.size(), 50u);
  expect_same_answers(server.port(), lines, true);
  EXPECT_EQ(server.stop(), 0);
}

TEST(Server, GeneratedRequestsAnswerAsTheCommandLine) {
  ServerProcess server;
  ASSERT_GT(server.port(), 0);
  expect_same_answers(server.port(), generated_command_lines(), false);
  EXPECT_EQ(server.stop(), 0);
}

TEST(Server, VersionHealthAndJsonChoice) {
  ServerProcess server;
  int port = server.port();
  HttpResponse v = get(port, "/v1/version");
  EXPECT_EQ(v.status, 200);
  EXPECT_EQ(v.body, run_pluvar_cli({"-v"}).out);
  EXPECT_EQ(v.field("pluvar-code"), "1");
  EXPECT_EQ(get(port, "/healthz").body, "ok\n");
  // JSON by parameter or Accept header: the answer of the --json command line.
  std::vector<std::string> json_line{"--json", "sepa", "-allinfo", "IBN=DE89370400440532013000"};
  CliResult cli = run_pluvar_cli(json_line);
  for (const auto &[target, accept] :
       std::vector<std::pair<std::string, std::string>>{
           {"/v1/sepa?IBN=DE89370400440532013000&allinfo=1&json=1", ""},
           {"/v1/sepa?IBN=DE89370400440532013000&allinfo=1", "Accept: text/html, application/json\r\n"}}) {
    HttpResponse r = get(port, target, accept);
    EXPECT_EQ(r.body, cli.out) << target;
    EXPECT_EQ(r.field("content-type"), "application/json") << target;
    EXPECT_EQ(r.field("pluvar-code"), std::to_string(cli.status));
  }
  HttpResponse text = get(port, "/v1/sepa?IBN=DE89370400440532013000&json=0", "Accept: application/json\r\n");
  EXPECT_EQ(text.field("content-type"), "text/plain; charset=windows-1252");
}

TEST(Server, HeadAnswersTheHeadOfGet) {
  ServerProcess server;
  Connection c(server.port());
  c.send(get_request("/v1/search?nam=bundesbank"));
  HttpResponse g = c.read_response();
  c.send("HEAD /v1/search?nam=bundesbank HTTP/1.1\r\nHost: x\r\n\r\n");
  HttpResponse h = c.read_response(true);
  EXPECT_EQ(h.status, 200);
  EXPECT_EQ(h.field("content-length"), std::to_string(g.body.size()));
  EXPECT_EQ(h.field("pluvar-code"), g.field("pluvar-code"));
  EXPECT_EQ(h.body, "");
  c.send(get_request("/healthz"));  // nothing of a body was left in between
  EXPECT_EQ(c.read_response().body, "ok\n");
}

TEST(Server, PageWithPolicyAndScriptAsResources) {
  ServerProcess server;
  HttpResponse page = get(server.port(), "/");
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.field("content-type"), "text/html; charset=utf-8");
  std::string csp = page.field("content-security-policy");
  EXPECT_NE(csp.find("default-src 'none'"), std::string::npos);
  EXPECT_NE(csp.find("script-src 'self'"), std::string::npos);
  EXPECT_EQ(csp.find("unsafe"), std::string::npos);
  // No inline script: every script element loads its source.
  for (size_t at = page.body.find("<script"); at != std::string::npos; at = page.body.find("<script", at + 1))
    EXPECT_NE(page.body.substr(at, page.body.find('>', at) - at).find(" src="), std::string::npos);
  EXPECT_EQ(page.body.find("innerHTML"), std::string::npos);
  HttpResponse js = get(server.port(), "/app.js");
  EXPECT_EQ(js.field("content-type"), "text/javascript; charset=utf-8");
  EXPECT_EQ(js.body.find("innerHTML"), std::string::npos);
  EXPECT_EQ(js.body.find("insertAdjacentHTML"), std::string::npos);
  EXPECT_EQ(get(server.port(), "/app.css").status, 200);
  EXPECT_EQ(get(server.port(), "/../etc/passwd").status, 404);
  EXPECT_EQ(get(server.port(), "/index.html").status, 404);
}

// Every malformed request gets its documented answer, and the server goes on
// answering the next connection.
TEST(Server, MalformedRequests) {
  ServerProcess server({"--read-timeout", "1"});
  int port = server.port();
  auto still_serving = [port] { EXPECT_EQ(get(port, "/healthz").body, "ok\n"); };

  EXPECT_EQ(get(port, "/v1/account?knr=%zz&blz=1").status, 400);
  EXPECT_EQ(get(port, "/v1/account?knr=1%").status, 400);
  EXPECT_EQ(get(port, "/v1/search?nam=%00abc").status, 400);
  EXPECT_EQ(get(port, "/v1/account?allinfo=yes&knr=1&blz=10000000").status, 400);
  still_serving();

  {  // a 100 kB query
    Connection c(port);
    c.send(get_request("/v1/search?nam=" + std::string(100000, 'a')));
    HttpResponse r = c.read_response();
    EXPECT_EQ(r.status, 414);
    EXPECT_EQ(r.field("connection"), "close");
  }
  {  // header fields past the limit
    Connection c(port);
    c.send(get_request("/healthz", "X-Filler: " + std::string(HTTP_HEADER_LIMIT, 'x') + "\r\n"));
    EXPECT_EQ(c.read_response().status, 431);
  }
  still_serving();

  for (std::string bytes : {std::string("GET /v1/account?knr=\x01\xff HTTP/1.1\r\n\r\n"),
                            std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11) + "\r\n\r\n",
                            std::string("GET / HTTP/9.9\r\n\r\n"), std::string("GET /\0x HTTP/1.1\r\n\r\n", 20),
                            std::string("GET / HTTP/1.1\r\nBad Field: x\r\n\r\n")}) {
    Connection c(port);
    c.send(bytes);
    EXPECT_EQ(c.read_response().status, 400) << bytes;
  }
  still_serving();

  {  // methods other than GET and HEAD, also with a body
    Connection c(port);
    c.send("POST /v1/account HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello");
    HttpResponse r = c.read_response();
    EXPECT_EQ(r.status, 405);
    EXPECT_EQ(r.field("allow"), "GET, HEAD");
    EXPECT_EQ(get(port, "/v1/iban", "").status, 200);
    Connection d(port);
    d.send("DELETE / HTTP/1.1\r\n\r\n");
    EXPECT_EQ(d.read_response().status, 405);
    Connection e(port);
    e.send("GET /healthz HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc");
    EXPECT_EQ(e.read_response().status, 400);
  }
  EXPECT_EQ(get(port, "/v2/account").status, 404);
  still_serving();
}

TEST(Server, Http10AndPipelining) {
  ServerProcess server;
  int port = server.port();
  {  // HTTP/1.0 without keep-alive: answered, then closed
    Connection c(port);
    c.send("GET /v1/account?knr=0532013000&blz=37040044 HTTP/1.0\r\n\r\n");
    HttpResponse r = c.read_response();
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.version, "HTTP/1.0");
    EXPECT_EQ(r.body, run_pluvar_cli({"knr=0532013000&blz=37040044"}).out);
    EXPECT_TRUE(c.closed_within(2000));
  }
  {  // three requests in one write: three answers in their order
    Connection c(port);
    c.send(get_request("/v1/account?knr=1&blz=10000000") + get_request("/v1/version") +
           get_request("/v1/search?blz=10000000"));
    EXPECT_EQ(c.read_response().body, run_pluvar_cli({"knr=1&blz=10000000"}).out);
    EXPECT_EQ(c.read_response().body, run_pluvar_cli({"-v"}).out);
    EXPECT_EQ(c.read_response().body, run_pluvar_cli({"search", "blz=10000000"}).out);
  }
}

TEST(Server, StalledClientIsClosedAndOthersAreServed) {
  ServerProcess server({"--read-timeout", "1"});
  int port = server.port();
  Connection stalled(port);
  stalled.send("GET /v1/account?knr=1&bl");
  EXPECT_EQ(get(port, "/healthz").body, "ok\n");
  EXPECT_TRUE(stalled.closed_within(4000));
  // A client that gives up in the middle of its request.
  {
    Connection gone(port);
    gone.send("GET /v1/search?nam=spar");
  }
  {
    Connection half(port);
    half.send("GET /v1/search?nam=spar");
    half.shutdown_write();
    EXPECT_EQ(half.read_response().status, 400);
  }
  EXPECT_EQ(get(port, "/healthz").body, "ok\n");
  EXPECT_EQ(server.stop(), 0);
}

TEST(Server, ConnectionCap) {
  ServerProcess server({"--max-connections", "4"});
  int port = server.port();
  std::vector<std::unique_ptr<Connection>> open;
  for (int i = 0; i < 4; i++) {
    open.push_back(std::make_unique<Connection>(port));
    open.back()->send(get_request("/healthz"));
    EXPECT_EQ(open.back()->read_response().status, 200);  // the server has it now
  }
  Connection over(port);
  EXPECT_EQ(over.read_response().status, 503);
  open.pop_back();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(get(port, "/healthz").status, 200);
}

TEST(Server, SigtermAnswersRequestsInFlight) {
  ServerProcess server;
  int port = server.port();
  Connection idle(port);
  idle.send(get_request("/healthz"));
  EXPECT_EQ(idle.read_response().status, 200);
  Connection busy(port);
  busy.send("GET /v1/account?knr=0532013000&blz=37040044 HTTP/1.1\r\nHost: x\r\n");  // not yet complete
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  kill(server.pid(), SIGTERM);
  EXPECT_TRUE(idle.closed_within(2000));
  busy.send("\r\n");
  HttpResponse r = busy.read_response();
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.field("connection"), "close");
  EXPECT_EQ(r.body, run_pluvar_cli({"knr=0532013000&blz=37040044"}).out);
  EXPECT_EQ(server.stop(), 0);
}

TEST(Server, BadCommandLines) {
  for (const std::vector<std::string> &args :
       {std::vector<std::string>{"serve", "--listen"}, {"serve", "--listen", "localhost"},
        {"serve", "--listen", "127.0.0.1:99999"}, {"serve", "--port", "1"}, {"serve", "--threads", "0"}}) {
    CliResult r = run_pluvar_cli(args);
    EXPECT_EQ(r.out, "code=5");
    EXPECT_EQ(r.status, 5);
  }
  CliResult r = run_pluvar_cli({"serve", "--listen", "256.1.1.1:80"});
  EXPECT_EQ(r.status, 10);
  EXPECT_NE(r.err.find("cannot listen"), std::string::npos);
}

// `pluvar serve` runs pluvar-serve from its own folder; a pluvar without it
// says so and exits as a server that cannot start, never as an answer.
TEST(Server, ProgramMissingBesidePluvar) {
  namespace fs = std::filesystem;
  char dir[] = "/tmp/pluvar-lone-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const fs::path lone = fs::path(dir) / "pluvar";
  fs::copy_file(PLUVAR_BIN, lone);
  CliResult r = run_pluvar_cli({"serve", "--listen", "127.0.0.1:0"}, lone.string());
  EXPECT_EQ(r.status, 10);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("cannot run " + (fs::path(dir) / "pluvar-serve").string()), std::string::npos)
      << r.err;
  // Every other mode needs nothing beside the program.
  EXPECT_EQ(run_pluvar_cli({"knr=0532013000&blz=37040044"}, lone.string()).out,
            run_pluvar_cli({"knr=0532013000&blz=37040044"}).out);
  fs::remove_all(dir);
}

}  // namespace
