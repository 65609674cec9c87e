#pragma once

#include <string>
#include <string_view>

namespace velkor {

// Where one request goes: taken apart from an absolute http:// or https:// URL.
struct HttpUrl {
  bool tls = false;         // https
  std::string host;         // as written in the URL (no brackets around an IPv6 address)
  unsigned short port = 0;  // the URL's port, or 80 / 443
  std::string path;         // the URL's own path bytes ("/" when empty), without the query
  std::string target;       // the request target: the path and the query ("?..."), if any
};

enum class HttpUrlStatus {
  kOk,
  kUnsupportedScheme,  // a scheme other than http and https (letter case ignored)
  kMalformed,          // no scheme or host, a bad port, a control byte or blank, a part too long
};

// Takes `url` apart. The fragment is not part of the target, and nothing is percent-decoded: the
// request carries the URL's bytes (path and query) as they are. `out` is filled only on kOk.
HttpUrlStatus ParseHttpUrl(std::string_view url, HttpUrl& out);

// The text a connect override and the Host field use for the host and port: "host" for the
// scheme's default port, else "host:port" (an IPv6 address in brackets).
std::string HostField(const HttpUrl& url);

}  // namespace velkor
