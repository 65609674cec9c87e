#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"

namespace velkor {

// Where to connect instead of a host's own address and the URL's port. The request, the TLS server
// name and the certificate check still name the URL's host.
struct ConnectTarget {
  std::string address;  // numeric address or host name
  unsigned short port = 80;
};

// Adds overrides given as "HOST=ADDR:PORT" (for every port of HOST) or "HOST:PORT=ADDR:PORT" (only
// for URLs whose port, written or default 80 / 443, is PORT). HOST is a host name as a URL can name
// it (letters, digits, "-", "." and "_") or an IPv6 address in brackets; ADDR a host name, an IPv4
// address or an IPv6 address in brackets; PORT 1 to 65535 without sign or leading zero. The last
// item for the same HOST[:PORT] wins. An item that is anything else (a blank, a control byte, a
// second "=", a comma, an empty part) could never apply or would connect nowhere: it is refused,
// with a one-line reason naming it; items before it stay added.
Outcome AddConnectOverrides(const std::vector<std::string>& items);
// The same for the comma-separated items of the environment variable VELKOR_CONNECT_TO, if set
// (blanks around an item are dropped; empty items are skipped).
Outcome AddConnectOverridesFromEnvironment();
// Forgets every override.
void ClearConnectOverrides();
// The override for a host (compared case-insensitively) and port: the one naming that port, else
// the one for every port, if any.
std::optional<ConnectTarget> FindConnectOverride(std::string_view host, unsigned short port);

}  // namespace velkor
