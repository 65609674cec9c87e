#pragma once

#include <sys/types.h>
#include <optional>
#include <string>

namespace velkor::bench {

// Writes `bytes` to `path`, making its folders first.
void WriteBenchFile(const std::string& path, const std::string& bytes);

// /usr/sbin/nginx serving the folder `www` on a free loopback port, plain or, given a certificate
// and its key, over TLS. Its configuration, pid file, logs and temporary folders go into `folder`,
// which must exist. Started by the constructor (which waits up to five seconds for the port to
// answer), stopped by the destructor.
class BenchNginx {
 public:
  struct Tls {
    std::string certificate;
    std::string key;
  };

  BenchNginx(const std::string& folder, const std::string& www,
             const std::optional<Tls>& tls = std::nullopt);
  ~BenchNginx();
  BenchNginx(const BenchNginx&) = delete;
  BenchNginx& operator=(const BenchNginx&) = delete;

  unsigned short Port() const { return port_; }
  // Whether the server runs and accepts connections.
  bool Ready() const;

 private:
  unsigned short port_ = 0;
  pid_t pid_ = -1;
};

}  // namespace velkor::bench
