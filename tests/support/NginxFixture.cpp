#include "support/NginxFixture.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "base/FileUtil.h"
#include "net/ConnectOverrides.h"

namespace velkor::test {
namespace {

constexpr const char* kNginx = "/usr/sbin/nginx";

// A port nothing listens on right now (nginx may still lose it to another process; Start retries).
unsigned short FreePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  unsigned short port = 0;
  if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  if (fd >= 0) ::close(fd);
  return port;
}

bool Accepts(unsigned short port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  bool ok = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  if (fd >= 0) ::close(fd);
  return ok;
}

// The test certificates, made once per process in a temporary directory that is removed when the
// process exits.
struct TestPki {
  std::string dir;
  std::string error;  // empty when every file was made
};

bool Run(const std::string& command, std::string& error) {
  if (std::system((command + " >/dev/null 2>&1").c_str()) == 0) return true;
  error = "failed: " + command;
  return false;
}

// A CA (self-signed) or a server certificate signed by `caName` for `names`, as NAME.key/NAME.crt.
bool MakeCertificate(const std::string& dir, const std::string& name, const std::string& caName,
                     const std::string& names, std::string& error) {
  const std::string key =
      " -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout " + dir + "/" + name + ".key";
  if (caName.empty()) {
    return Run("openssl req -x509" + key + " -out " + dir + "/" + name +
                   ".crt -days 3650 -subj '/CN=" + name +
                   "' -addext basicConstraints=critical,CA:TRUE -addext " +
                   "keyUsage=critical,keyCertSign,cRLSign",
               error);
  }
  std::string ext = dir + "/" + name + ".ext";
  if (!ReplaceFile(ext, "subjectAltName=" + names +
                            "\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n")) {
    error = "cannot write " + ext;
    return false;
  }
  return Run("openssl req" + key + " -out " + dir + "/" + name + ".csr -subj '/CN=" + name + "'",
             error) &&
         Run("openssl x509 -req -in " + dir + "/" + name + ".csr -CA " + dir + "/" + caName +
                 ".crt -CAkey " + dir + "/" + caName + ".key -CAcreateserial -days 3650 -out " +
                 dir + "/" + name + ".crt -extfile " + ext,
             error);
}

const TestPki& Pki() {
  static TestPki pki;
  static std::once_flag once;
  std::call_once(once, [] {
    std::string tmpl = (std::filesystem::temp_directory_path() / "velkor-pki-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) {
      pki.error = "mkdtemp failed";
      return;
    }
    pki.dir = tmpl;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(pki.dir, ec);
    });
    std::string names = "DNS:*.5ch.io,DNS:*.bbspink.com,DNS:localhost,IP:127.0.0.1";
    for (const char* name : NginxFixture::kTlsTestHosts) names += std::string(",DNS:") + name;
    if (MakeCertificate(pki.dir, "ca", "", "", pki.error) &&
        MakeCertificate(pki.dir, "server", "ca", names, pki.error) &&
        MakeCertificate(pki.dir, "wrongname", "ca", "DNS:someone-else.example", pki.error) &&
        MakeCertificate(pki.dir, "otherca", "", "", pki.error) &&
        MakeCertificate(pki.dir, "unknownca", "otherca", names, pki.error)) {
      ::setenv("SSL_CERT_FILE", (pki.dir + "/ca.crt").c_str(), 1);
    }
  });
  return pki;
}

std::string TlsServer(const std::string& pki, const std::string& root, unsigned short port,
                      const std::string& name, const std::string& certificate) {
  std::string conf = "  server {\n    listen 127.0.0.1:" + std::to_string(port) + " ssl;\n";
  conf += "    server_name " + name + ";\n    root " + root + ";\n";
  conf += "    ssl_certificate " + pki + "/" + certificate + ".crt;\n";
  conf += "    ssl_certificate_key " + pki + "/" + certificate + ".key;\n";
  conf += "    location /norange/ { max_ranges 0; }\n";
  conf += "    location /chunked/ { ssi on; ssi_types text/plain; ssi_last_modified on; }\n  }\n";
  return conf;
}

std::string Configuration(const std::string& dir, const std::string& root, unsigned short port,
                          unsigned short tlsPort) {
  std::string conf;
  // As root, nginx would switch its worker to "nobody", who cannot read the private directory.
  if (::geteuid() == 0) conf += "user root;\n";
  conf += "daemon off;\nmaster_process off;\nworker_processes 1;\n";
  conf += "pid " + dir + "/nginx.pid;\nerror_log " + dir + "/error.log info;\n";
  conf += "events { worker_connections 64; }\n";
  conf += "http {\n";
  conf += "  access_log " + dir + "/access.log;\n";
  for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"}) {
    conf += std::string("  ") + temp + "_temp_path " + dir + "/" + temp + ";\n";
  }
  conf += "  types { text/plain txt dat; text/html html; }\n";
  conf += "  default_type application/octet-stream;\n";
  conf += "  etag off;\n";
  conf += "  gzip on;\n  gzip_types text/plain;\n  gzip_min_length 0;\n";
  conf += "  server {\n    listen 127.0.0.1:" + std::to_string(port) + ";\n";
  conf += "    server_name _;\n    root " + root + ";\n";
  conf += "    location /norange/ { max_ranges 0; }\n";
  conf += "    location /tohttps/ { return 301 https://$host$request_uri; }\n  }\n";
  const std::string& pki = Pki().dir;
  conf += TlsServer(pki, root, tlsPort, "_", "server");  // the first one is the default
  conf += TlsServer(pki, root, tlsPort, NginxFixture::kWrongNameHost, "wrongname");
  conf += TlsServer(pki, root, tlsPort, NginxFixture::kUnknownCaHost, "unknownca");
  conf += "}\n";
  return conf;
}

}  // namespace

NginxFixture::NginxFixture() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "velkor-nginx-XXXXXX").string();
  if (::mkdtemp(tmpl.data()) == nullptr) {
    ADD_FAILURE() << "mkdtemp failed";
    return;
  }
  dir_ = tmpl;
  root_ = dir_ + "/www";
  if (!Pki().error.empty()) {
    ADD_FAILURE() << "test certificates: " << Pki().error;
    return;
  }
  MakeDirectories(root_);
  for (int attempt = 0; attempt < 5 && pid_ <= 0; ++attempt) {
    if (Start()) return;
  }
  ADD_FAILURE() << "nginx did not start: " << ErrorLog();
}

bool NginxFixture::Start() {
  port_ = FreePort();
  tlsPort_ = FreePort();
  if (port_ == 0 || tlsPort_ == 0 || tlsPort_ == port_) return false;
  std::string confPath = dir_ + "/nginx.conf";
  if (!ReplaceFile(confPath, Configuration(dir_, root_, port_, tlsPort_))) return false;
  std::string errorLog = dir_ + "/error.log";
  pid_t pid = ::fork();
  if (pid < 0) return false;
  if (pid == 0) {
    int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, 0);
      ::dup2(null, 1);
    }
    int log = ::open(errorLog.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (log >= 0) ::dup2(log, 2);
    ::execl(kNginx, kNginx, "-p", dir_.c_str(), "-c", confPath.c_str(), "-e", errorLog.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) return false;  // it ended: port taken or bad conf
    if (Accepts(port_) && Accepts(tlsPort_)) {
      pid_ = pid;
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  return false;
}

NginxFixture::~NginxFixture() {
  if (pid_ > 0) {
    ::kill(pid_, SIGQUIT);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() < deadline) {
      ended = ::waitpid(pid_, nullptr, WNOHANG) == pid_;
      if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!ended) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  if (!dir_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
}

void NginxFixture::WriteFile(std::string_view relative, std::string_view bytes,
                             std::time_t mtime) const {
  std::filesystem::path full = std::filesystem::path(root_) / relative;
  MakeDirectories(full.parent_path().string());
  ASSERT_TRUE(ReplaceFile(full.string(), bytes)) << full;
  ::chmod(full.c_str(), 0644);
  timespec times[2] = {{mtime, 0}, {mtime, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, full.c_str(), times, 0), 0) << full;
}

void NginxFixture::Route(const std::string& host) const {
  Outcome added = AddConnectOverrides({ConnectTo(host), TlsConnectTo(host)});
  if (!added.IsOk()) ADD_FAILURE() << added.Reason();
}

std::string NginxFixture::ConnectTo(const std::string& host) const {
  return host + "=127.0.0.1:" + std::to_string(port_);
}

std::string NginxFixture::TlsConnectTo(const std::string& host) const {
  return host + ":443=127.0.0.1:" + std::to_string(tlsPort_);
}

std::string NginxFixture::CaFile() {
  return Pki().dir + "/ca.crt";
}

std::string NginxFixture::LastModifiedText(std::time_t mtime) {
  std::tm utc{};
  ::gmtime_r(&mtime, &utc);
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char text[64];
  std::snprintf(text, sizeof text, " %s, %02d %s %04d %02d:%02d:%02d GMT", kDays[utc.tm_wday],
                utc.tm_mday, kMonths[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min,
                utc.tm_sec);
  return text;
}

std::string NginxFixture::ErrorLog() const {
  return ReadWholeFile(dir_ + "/error.log").value_or("<no error log>");
}

}  // namespace velkor::test
