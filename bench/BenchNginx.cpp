#include "BenchNginx.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace velkor::bench {
namespace {

sockaddr_in Loopback(unsigned short port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  return address;
}

unsigned short FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(0);
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
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in address = Loopback(port);
  const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

void WriteBenchFile(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

BenchNginx::BenchNginx(const std::string& folder, const std::string& www,
                       const std::optional<Tls>& tls)
    : port_(FreePort()) {
  std::string conf = ::geteuid() == 0 ? "user root;\n" : "";
  conf += "daemon off;\nmaster_process off;\nworker_processes 1;\npid " + folder +
          "/nginx.pid;\nerror_log " + folder + "/error.log;\nevents { worker_connections 256; }\n";
  conf += "http {\n  access_log off;\n  types { text/plain txt dat; }\n";
  for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"}) {
    conf += std::string("  ") + temp + "_temp_path " + folder + "/" + temp + ";\n";
  }
  conf += "  server {\n    listen 127.0.0.1:" + std::to_string(port_) + (tls ? " ssl" : "") +
          ";\n    root " + www + ";\n";
  if (tls) {
    conf += "    ssl_certificate " + tls->certificate + ";\n    ssl_certificate_key " + tls->key +
            ";\n";
  }
  conf += "  }\n}\n";
  WriteBenchFile(folder + "/nginx.conf", conf);
  pid_ = ::fork();
  if (pid_ == 0) {
    ::execl("/usr/sbin/nginx", "nginx", "-p", folder.c_str(), "-c",
            (folder + "/nginx.conf").c_str(), "-e", (folder + "/error.log").c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  for (int i = 0; i < 500 && !Accepts(port_); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

BenchNginx::~BenchNginx() {
  if (pid_ > 0) {
    ::kill(pid_, SIGQUIT);
    ::waitpid(pid_, nullptr, 0);
  }
}

bool BenchNginx::Ready() const {
  return pid_ > 0 && Accepts(port_);
}

}  // namespace velkor::bench
