// Fetching a 1 MB thread log over TLS from a local nginx: FetchFull with a fresh HttpSession per
// run (connect, handshake with certificate check, request, body), beside curl on the same URL.
//
// The program makes its own test CA and server certificate with the openssl command-line tool,
// starts /usr/sbin/nginx on a free loopback port in a temporary directory, and removes both at the
// end. curl's time is its own "time_total" (name lookup to last byte), so its process start-up is
// not counted against it.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "BenchLog.h"
#include "BenchNginx.h"
#include "net/ConnectOverrides.h"
#include "net/Fetch.h"

namespace velkor {
namespace {

constexpr const char* kHost = "bench.test";
constexpr const char* kPath = "/board/dat/1700000000.dat";

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
    bench::WriteBenchFile(dir_ + "/server.ext", "subjectAltName=DNS:" + std::string(kHost) + "\n");
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
    bench::WriteBenchFile(dir_ + "/www" + kPath, dat);
    nginx_.emplace(dir_, dir_ + "/www",
                   bench::BenchNginx::Tls{dir_ + "/server.crt", dir_ + "/server.key"});
    ::setenv("SSL_CERT_FILE", (dir_ + "/ca.crt").c_str(), 1);
    (void)AddConnectOverrides(
        {std::string(kHost) + "=127.0.0.1:" + std::to_string(nginx_->Port())});
  }
  ~Server() {
    nginx_.reset();
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  std::size_t Bytes() const { return bytes_; }
  bool Ready() const { return nginx_ && nginx_->Ready(); }
  std::string Url() const { return std::string("https://") + kHost + kPath; }
  std::string Curl() const {
    return "curl -s -o /dev/null -w '%{time_total}' --cacert " + dir_ + "/ca.crt --connect-to " +
           kHost + ":443:127.0.0.1:" + std::to_string(nginx_->Port()) + " " + Url();
  }

 private:
  static bool Run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
  }

  std::string dir_;
  std::size_t bytes_ = 0;
  std::optional<bench::BenchNginx> nginx_;
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
