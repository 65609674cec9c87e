#pragma once

#include <sys/types.h>

#include <ctime>
#include <string>
#include <string_view>

namespace velkor::test {

// A real nginx (/usr/sbin/nginx) started for one test on a free loopback port, with its own
// configuration, logs and document root in a temporary directory that is removed afterwards. Static
// files get byte ranges, conditional answers (If-Modified-Since) and, for requests that accept it,
// gzip (text/plain, text/html; .txt and .dat are text/plain); no ETag is sent. Below "/norange/"
// range requests are ignored (answered with 200 and the whole file); below "/tohttps/" plain HTTP
// answers with a 301 to the same URL over https; below "/chunked/" TLS answers have no length
// (ranges ignored), so a kept-alive connection gets them chunked. Tests may change the files
// between requests.
//
// The same files are also served over TLS on a second port. Its certificate is signed by a test CA
// made once per test process with the openssl command-line tool and trusted through SSL_CERT_FILE
// (set by the first fixture); it names every "*.5ch.io" and "*.bbspink.com" host, the test hosts in
// kTlsTestHosts (a wildcard cannot cover a one-label suffix such as ".test") and 127.0.0.1. Two
// host names get another certificate: kWrongNameHost one made for another name, and kUnknownCaHost
// one signed by a CA nobody trusts.
//
//   NginxFixture nginx;
//   ASSERT_TRUE(nginx.IsRunning()) << nginx.ErrorLog();
//   nginx.WriteFile("board/dat/123.dat", "a<>b\n", NginxFixture::kFixedTime);
//   nginx.Route("host.test");    // http://host.test/... and https://host.test/... reach nginx
//   ... FetchFull(session, "http://host.test/board/dat/123.dat", ...);
class NginxFixture {
 public:
  // A fixed modification time (2024-01-02 03:04:05 UTC) for deterministic Last-Modified texts.
  static constexpr std::time_t kFixedTime = 1704164645;
  // The ".test" hosts the TLS certificate names.
  static constexpr const char* kTlsTestHosts[] = {
      "a.test",   "b.test",     "board.test",  "cache.test", "example.test",
      "h.test",   "host.test",  "menu.test",   "new.test",   "news.test",
      "old.test", "other.test", "second.test", "hobby.test"};
  // Hosts whose TLS certificate fails the check (see above).
  static constexpr const char* kWrongNameHost = "wrongname.test";
  static constexpr const char* kUnknownCaHost = "unknownca.test";

  NginxFixture();   // starts nginx; a failure is recorded with ADD_FAILURE and IsRunning is false
  ~NginxFixture();  // stops nginx (SIGQUIT, then SIGKILL after 5 s) and removes the directory
  NginxFixture(const NginxFixture&) = delete;
  NginxFixture& operator=(const NginxFixture&) = delete;

  bool IsRunning() const { return pid_ > 0; }
  unsigned short Port() const { return port_; }
  unsigned short TlsPort() const { return tlsPort_; }
  // The directory served as "/".
  const std::string& DocumentRoot() const { return root_; }
  // Writes a file below the document root (creating folders; `relative` uses "/") and gives it
  // the modification time `mtime`.
  void WriteFile(std::string_view relative, std::string_view bytes,
                 std::time_t mtime = kFixedTime) const;
  // Makes the program connect to this nginx for `host` (connect overrides, as --connect-to makes):
  // port 443 to the TLS port, every other port to the plain one.
  void Route(const std::string& host) const;
  // The "HOST=127.0.0.1:PORT" text for --connect-to or VELKOR_CONNECT_TO (plain HTTP).
  std::string ConnectTo(const std::string& host) const;
  // The "HOST:443=127.0.0.1:TLSPORT" text for https:// URLs of `host`.
  std::string TlsConnectTo(const std::string& host) const;
  // The test CA's certificate file (what SSL_CERT_FILE names).
  static std::string CaFile();
  // The Last-Modified value nginx sends for `mtime`, as the program keeps it (with its leading
  // blank): " Tue, 02 Jan 2024 03:04:05 GMT".
  static std::string LastModifiedText(std::time_t mtime);
  // The contents of nginx's error log (for failure messages).
  std::string ErrorLog() const;

 private:
  bool Start();

  std::string dir_;
  std::string root_;
  unsigned short port_ = 0;
  unsigned short tlsPort_ = 0;
  pid_t pid_ = -1;
};

}  // namespace velkor::test
