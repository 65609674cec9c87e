#pragma once

// A small single-threaded HTTP/1.1 server on loopback that serves a DemoNetwork the way the board
// servers do: gzip (chunked) when asked, Last-Modified / If-Modified-Since (304), single byte
// ranges (206, 416), 302 to the archive for a thread that fell off its board, "Connection: close"
// after every answer. Optionally over TLS. POST /test/bbs.cgi on every host posts (DemoPost).
// Besides the network's own paths it answers two control paths on every host, for scripts and
// tests that want the network to grow when they say so:
//   /_demo/step                          one step of the network's life (see DemoNetwork::Step)
//   /_demo/grow/DIR/KEY[/N]              N (default 1) new replies to one thread
//   (DemoNetwork::Grow)

#include <csignal>
#include <string>
#include <string_view>

#include "demo/DemoNetwork.h"
#include "demo/DemoPost.h"

struct ssl_ctx_st;

namespace velkor::demo {

class DemoServer {
 public:
  explicit DemoServer(DemoNetwork& network) : network_(network), post_(network) {}
  ~DemoServer();
  DemoServer(const DemoServer&) = delete;
  DemoServer& operator=(const DemoServer&) = delete;

  // Listens on 127.0.0.1:`port` (0: a free port the system picks). Returns false with a reason.
  bool Listen(unsigned short port, std::string& error);
  unsigned short Port() const { return port_; }
  // Serves over TLS with this context (owned by the caller, alive while Run runs); null: plain
  // HTTP.
  void UseTls(ssl_ctx_st* context) { tls_ = context; }

  // Posts from one cookie closer together than `seconds` are refused (default 10; 0 allows any).
  void SetPostInterval(int seconds) { post_.SetInterval(seconds); }

  // Serves until `stop` becomes non-zero (set it from a signal handler), stepping the network every
  // `stepSeconds` seconds (0: only when asked through /_demo/step). Each step's summary goes to
  // stderr. Open connections are closed on return.
  void Run(const volatile std::sig_atomic_t& stop, int stepSeconds);

  // The whole answer (head and body) to one request (its head and, for a POST, its body, as
  // DemoRequest::Size frames it), as of `now` (seconds since the epoch). Used by Run for every
  // request; tests call it directly.
  std::string Answer(std::string_view request, long long now);

 private:
  struct Connection;
  std::string ControlAnswer(std::string_view path, long long now);

  DemoNetwork& network_;
  DemoPost post_;
  int listenFd_ = -1;
  unsigned short port_ = 0;
  ssl_ctx_st* tls_ = nullptr;
};

// "Mon, 07 Dec 2026 23:50:00 GMT".
std::string HttpDate(long long when);
// Parses that form (the only one the board servers and this program write); false when malformed.
bool ParseHttpDate(std::string_view text, long long& when);

}  // namespace velkor::demo
