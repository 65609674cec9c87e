#pragma once

// The demo server's TLS side: a certificate authority made up on the spot and a server certificate
// it signs for the demo hosts, so clients can trust the demo by trusting one CA file.

#include <string>
#include <vector>

struct ssl_ctx_st;

namespace velkor::demo {

class DemoTls {
 public:
  DemoTls() = default;
  ~DemoTls();
  DemoTls(const DemoTls&) = delete;
  DemoTls& operator=(const DemoTls&) = delete;

  // Generates a fresh CA and a server certificate for `hosts` (and "localhost", 127.0.0.1), both on
  // P-256 keys valid for 30 days, writes the CA certificate (PEM) to `caPath` and prepares the
  // server context. Returns false with a one-line reason; nothing is written then except perhaps
  // `caPath`.
  bool Init(const std::vector<std::string>& hosts, const std::string& caPath, std::string& error);
  // The server context, or null before a successful Init.
  ssl_ctx_st* Context() const { return context_; }

 private:
  ssl_ctx_st* context_ = nullptr;
};

}  // namespace velkor::demo
