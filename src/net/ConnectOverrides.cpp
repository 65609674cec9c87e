#include "net/ConnectOverrides.h"

#include <cstdlib>
#include <map>

#include "base/IniDocument.h"
#include "base/Sjis.h"

namespace velkor {
namespace {

std::map<std::string, ConnectTarget>& Overrides() {
  static std::map<std::string, ConnectTarget> overrides;
  return overrides;
}

// Reads "1".."65535" without sign, blanks or leading zero.
std::optional<unsigned short> PortNumber(std::string_view text) {
  if (text.empty() || text.size() > 5 || text[0] == '0') return std::nullopt;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > 65535) return std::nullopt;
  return static_cast<unsigned short>(value);
}

// The map key of "HOST" or "HOST:PORT" (an IPv6 host in brackets): the host in lower case, then
// ":" and the port when one is named. Empty when the text is no host.
std::string OverrideKey(std::string_view text) {
  std::string_view host = text;
  std::string_view port;
  bool hasPort = false;
  if (!text.empty() && text.front() == '[') {
    std::size_t close = text.find(']');
    if (close == std::string_view::npos) return {};
    host = text.substr(1, close - 1);
    std::string_view after = text.substr(close + 1);
    if (!after.empty() && after.front() != ':') return {};
    hasPort = !after.empty();
    if (hasPort) port = after.substr(1);
  } else if (std::size_t colon = text.find(':'); colon != std::string_view::npos) {
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    hasPort = true;
  }
  if (host.empty()) return {};
  std::string key = AsciiLowerCopy(host);
  if (hasPort) {
    auto number = PortNumber(port);
    if (!number) return {};
    key += ":" + std::to_string(*number);
  }
  return key;
}

bool AddOne(std::string_view item, std::string& error) {
  std::size_t eq = item.find('=');
  std::size_t colon = item.rfind(':');
  if (eq == std::string_view::npos || eq == 0 || colon == std::string_view::npos || colon < eq ||
      colon == eq + 1) {
    error = "--connect-to wants HOST[:PORT]=ADDR:PORT, not \"" + std::string(item) + "\"";
    return false;
  }
  auto port = ParseIniInteger(item.substr(colon + 1));
  if (!port || *port < 1 || *port > 65535 || item[colon + 1] == '$' || item[colon + 1] == '0') {
    error = "--connect-to: bad port in \"" + std::string(item) + "\"";
    return false;
  }
  std::string address(item.substr(eq + 1, colon - eq - 1));
  if (address.size() >= 2 && address.front() == '[' && address.back() == ']') {
    address = address.substr(1, address.size() - 2);
  }
  std::string key = OverrideKey(item.substr(0, eq));
  if (key.empty()) {
    error = "--connect-to: bad host in \"" + std::string(item) + "\"";
    return false;
  }
  Overrides()[key] = ConnectTarget{std::move(address), static_cast<unsigned short>(*port)};
  return true;
}

}  // namespace

bool AddConnectOverrides(const std::vector<std::string>& items, std::string& error) {
  for (const std::string& item : items) {
    if (!AddOne(item, error)) return false;
  }
  return true;
}

bool AddConnectOverridesFromEnvironment(std::string& error) {
  const char* value = std::getenv("VELKOR_CONNECT_TO");
  if (value == nullptr) return true;
  std::string_view rest(value);
  while (!rest.empty()) {
    std::size_t comma = rest.find(',');
    std::string_view item = TrimView(rest.substr(0, comma));
    if (!item.empty() && !AddOne(item, error)) return false;
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return true;
}

void ClearConnectOverrides() {
  Overrides().clear();
}

std::optional<ConnectTarget> FindConnectOverride(std::string_view host, unsigned short port) {
  std::string key = AsciiLowerCopy(host);
  auto it = Overrides().find(key + ":" + std::to_string(port));
  if (it == Overrides().end()) it = Overrides().find(key);
  if (it == Overrides().end()) return std::nullopt;
  return it->second;
}

}  // namespace velkor
