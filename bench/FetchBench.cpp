// Fetching a 1 MB thread log over TLS from a local nginx: FetchFull with a fresh HttpSession per
// run (connect, handshake with certificate check, request, body), beside curl on the same URL.
//
// The program makes its own test CA and server certificate with the openssl command-line tool,
// starts /usr/sbin/nginx on a free loopback port in a temporary directory, and removes both at the
// end. curl's time is its own "time_total" (name lookup to last byte), so its process start-up is
// not counted against it.

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "BenchLog.h"
#include "net/ConnectOverrides.h"
#include "net/Fetch.h"

namespace velkor {
namespace {

constexpr const char* kHost = "bench.test";
constexpr const char* kPath = "/board/dat/1700000000.dat";

unsigned short FreePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  unsigned short port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

bool Accepts(unsigned short port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

void Write(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// The served log: the shared generated kind (BenchLog.h), 1 MB.
std::string Dat() {
  bench::LogShape shape(1);
  shape.minBytes = 1024 * 1024;
  return bench::MakeThreadLog(shape);
}

// nginx with TLS, running for the program's lifetime.
class Server {
 public:
  Server() {
    std::string tmpl =
        (std::filesystem::temp_directory_path() / "velkor-fetch-bench-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) return;
    dir_ = tmpl;
    const std::string key = " -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout ";
    Write(dir_ + "/server.ext", "subjectAltName=DNS:" + std::string(kHost) + "\n");
    bool made =
        Run("openssl req -x509" + key + dir_ + "/ca.key -out " + dir_ +
            "/ca.crt -days 30 -subj /CN=bench-ca -addext basicConstraints=critical,CA:TRUE") &&
        Run("openssl req" + key + dir_ + "/server.key -out " + dir_ +
            "/server.csr -subj /CN=" + kHost) &&
        Run("openssl x509 -req -in " + dir_ + "/server.csr -CA " + dir_ + "/ca.crt -CAkey " + dir_ +
            "/ca.key -CAcreateserial -days 30 -out " + dir_ + "/server.crt -extfile " + dir_ +
            "/server.ext");
    if (!made) return;
    const std::string dat = Dat();
    bytes_ = dat.size();
    Write(dir_ + "/www" + kPath, dat);
    port_ = FreePort();
    std::string conf = ::geteuid() == 0 ? "user root;\n" : "";
    conf += "daemon off;\nmaster_process off;\nworker_processes 1;\npid " + dir_ +
            "/nginx.pid;\nerror_log " + dir_ + "/error.log;\nevents { worker_connections 64; }\n";
    conf += "http {\n  access_log off;\n  types { text/plain dat; }\n";
    for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"}) {
      conf += std::string("  ") + temp + "_temp_path " + dir_ + "/" + temp + ";\n";
    }
    conf += "  server {\n    listen 127.0.0.1:" + std::to_string(port_) + " ssl;\n    root " +
            dir_ + "/www;\n    ssl_certificate " + dir_ + "/server.crt;\n    ssl_certificate_key " +
            dir_ + "/server.key;\n  }\n}\n";
    Write(dir_ + "/nginx.conf", conf);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::execl("/usr/sbin/nginx", "nginx", "-p", dir_.c_str(), "-c", (dir_ + "/nginx.conf").c_str(),
              "-e", (dir_ + "/error.log").c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    for (int i = 0; i < 500 && !Accepts(port_); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::setenv("SSL_CERT_FILE", (dir_ + "/ca.crt").c_str(), 1);
    (void)AddConnectOverrides({std::string(kHost) + "=127.0.0.1:" + std::to_string(port_)});
  }
  ~Server() {
    if (pid_ > 0) {
      ::kill(pid_, SIGQUIT);
      ::waitpid(pid_, nullptr, 0);
    }
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  std::size_t Bytes() const { return bytes_; }
  bool Ready() const { return pid_ > 0 && Accepts(port_); }
  std::string Url() const { return std::string("https://") + kHost + kPath; }
  std::string Curl() const {
    return "curl -s -o /dev/null -w '%{time_total}' --cacert " + dir_ + "/ca.crt --connect-to " +
           kHost + ":443:127.0.0.1:" + std::to_string(port_) + " " + Url();
  }

 private:
  static bool Run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
  }

  std::string dir_;
  std::size_t bytes_ = 0;
  unsigned short port_ = 0;
  pid_t pid_ = -1;
};

Server& TheServer() {
  static Server server;
  return server;
}

void FetchFullOverTls(benchmark::State& state) {
  Server& server = TheServer();
  if (!server.Ready()) {
    state.SkipWithError("nginx or the test certificates could not be set up");
    return;
  }
  std::string url = server.Url();
  std::size_t bytes = 0;
  for (auto _ : state) {
    HttpSession session;
    std::string body;
    std::string lastModified;
    if (!FetchFull(session, url, body, lastModified, false).IsOk()) {
      state.SkipWithError("the fetch failed");
      return;
    }
    bytes = body.size();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.counters["body_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(FetchFullOverTls)->Unit(benchmark::kMillisecond)->UseRealTime();

void CurlOverTls(benchmark::State& state) {
  Server& server = TheServer();
  if (!server.Ready()) {
    state.SkipWithError("nginx or the test certificates could not be set up");
    return;
  }
  std::string command = server.Curl();
  for (auto _ : state) {
    FILE* curl = ::popen(command.c_str(), "r");
    double seconds = 0;
    if (curl == nullptr || std::fscanf(curl, "%lf", &seconds) != 1 || ::pclose(curl) != 0) {
      state.SkipWithError("curl failed");
      return;
    }
    state.SetIterationTime(seconds);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * server.Bytes()));
}
BENCHMARK(CurlOverTls)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace
}  // namespace velkor
