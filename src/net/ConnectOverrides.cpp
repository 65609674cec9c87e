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

bool AddOne(std::string_view item, std::string& error) {
  std::size_t eq = item.find('=');
  std::size_t colon = item.rfind(':');
  if (eq == std::string_view::npos || eq == 0 || colon == std::string_view::npos || colon < eq ||
      colon == eq + 1) {
    error = "--connect-to wants HOST=ADDR:PORT, not \"" + std::string(item) + "\"";
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
  Overrides()[AsciiLowerCopy(item.substr(0, eq))] =
      ConnectTarget{std::move(address), static_cast<unsigned short>(*port)};
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

std::optional<ConnectTarget> FindConnectOverride(std::string_view host) {
  auto it = Overrides().find(AsciiLowerCopy(host));
  if (it == Overrides().end()) return std::nullopt;
  return it->second;
}

}  // namespace velkor
