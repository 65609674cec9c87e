#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

// Where to connect instead of a host's own address and port 80. The request still names the host.
struct ConnectTarget {
  std::string address;  // numeric address or host name
  unsigned short port = 80;
};

// Adds overrides given as "HOST=ADDR:PORT" (the last one for a host wins). Returns false with a
// one-line reason for a malformed item; items before it stay added.
bool AddConnectOverrides(const std::vector<std::string>& items, std::string& error);
// The same for the comma-separated items of the environment variable VELKOR_CONNECT_TO, if set.
bool AddConnectOverridesFromEnvironment(std::string& error);
// Forgets every override.
void ClearConnectOverrides();
// The override for a host (compared case-insensitively), if any.
std::optional<ConnectTarget> FindConnectOverride(std::string_view host);

}  // namespace velkor
