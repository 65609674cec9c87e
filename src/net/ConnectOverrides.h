#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

// Where to connect instead of a host's own address and the URL's port. The request, the TLS server
// name and the certificate check still name the URL's host.
struct ConnectTarget {
  std::string address;  // numeric address or host name
  unsigned short port = 80;
};

// Adds overrides given as "HOST=ADDR:PORT" (for every port of HOST) or "HOST:PORT=ADDR:PORT" (only
// for URLs whose port, written or default 80 / 443, is PORT); an IPv6 HOST or ADDR is written in
// brackets. The last item for the same HOST[:PORT] wins. Returns false with a one-line reason for a
// malformed item; items before it stay added.
bool AddConnectOverrides(const std::vector<std::string>& items, std::string& error);
// The same for the comma-separated items of the environment variable VELKOR_CONNECT_TO, if set.
bool AddConnectOverridesFromEnvironment(std::string& error);
// Forgets every override.
void ClearConnectOverrides();
// The override for a host (compared case-insensitively) and port: the one naming that port, else
// the one for every port, if any.
std::optional<ConnectTarget> FindConnectOverride(std::string_view host, unsigned short port);

}  // namespace velkor
