#include "net/ConnectOverrides.h"

#include <algorithm>
#include <cstdlib>
#include <map>

#include "app/UrlPaths.h"
#include "base/Integer.h"
#include "base/Sjis.h"

namespace velkor {
namespace {

std::map<std::string, ConnectTarget>& Overrides() {
  static std::map<std::string, ConnectTarget> overrides;
  return overrides;
}

// Reads "1".."65535" without sign, blanks or leading zero.
std::optional<unsigned short> PortNumber(std::string_view text) {
  if (text.starts_with('0')) return std::nullopt;
  auto value = ParseInteger(text, 1, 65535, IntegerSyntax::kDigits);
  if (!value) return std::nullopt;
  return static_cast<unsigned short>(*value);
}

// A host name as a URL names it (net/HttpUrl.cpp takes the same bytes).
bool IsHostName(std::string_view text) {
  if (text.empty() || text.size() > kMaxUrlPartLength) return false;
  return std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
  });
}

// An IPv6 address as written between brackets: hexadecimal digits, ":" and "." only.
bool IsV6Address(std::string_view text) {
  if (text.empty() || text.size() > kMaxUrlPartLength || text.find(':') == std::string_view::npos) {
    return false;
  }
  return std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' ||
           c == '.';
  });
}

// A host or address and an optional port: "name", "name:port", "[v6]" or "[v6]:port". The name
// (without brackets) and the port text; nullopt when it is none of these.
struct HostAndPort {
  std::string_view host;
  std::optional<std::string_view> port;
};

std::optional<HostAndPort> SplitHostAndPort(std::string_view text) {
  HostAndPort parts;
  if (!text.empty() && text.front() == '[') {
    std::size_t close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    parts.host = text.substr(1, close - 1);
    std::string_view after = text.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return std::nullopt;
      parts.port = after.substr(1);
    }
    if (!IsV6Address(parts.host)) return std::nullopt;
    return parts;
  }
  std::size_t colon = text.find(':');
  parts.host = text.substr(0, colon);
  if (colon != std::string_view::npos) parts.port = text.substr(colon + 1);
  if (!IsHostName(parts.host)) return std::nullopt;
  return parts;
}

Outcome Refused(std::string_view what, std::string_view item) {
  // The item is shown as given, but without bytes that would break the message.
  std::string shown;
  for (char c : item) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      shown += "\\x";
      shown += kHex[u >> 4];
      shown += kHex[u & 0x0F];
    } else {
      shown += c;
    }
  }
  return Failed("--connect-to" + std::string(what) + " \"" + shown + "\"");
}

Outcome AddOne(std::string_view item) {
  std::size_t eq = item.find('=');
  if (eq == std::string_view::npos || item.find('=', eq + 1) != std::string_view::npos) {
    return Refused(" wants HOST[:PORT]=ADDR:PORT, not", item);
  }
  std::optional<HostAndPort> host = SplitHostAndPort(item.substr(0, eq));
  if (!host || (host->port && !PortNumber(*host->port))) return Refused(": bad host in", item);
  std::optional<HostAndPort> target = SplitHostAndPort(item.substr(eq + 1));
  if (!target || !target->port) return Refused(" wants HOST[:PORT]=ADDR:PORT, not", item);
  std::optional<unsigned short> port = PortNumber(*target->port);
  if (!port) return Refused(": bad port in", item);
  std::string key = AsciiLowerCopy(host->host);
  if (host->port) key += ":" + std::to_string(*PortNumber(*host->port));
  Overrides()[key] = ConnectTarget{std::string(target->host), *port};
  return {};
}

}  // namespace

Outcome AddConnectOverrides(const std::vector<std::string>& items) {
  for (const std::string& item : items) {
    if (Outcome added = AddOne(item); !added.IsOk()) return added;
  }
  return {};
}

Outcome AddConnectOverridesFromEnvironment() {
  const char* value = std::getenv("VELKOR_CONNECT_TO");
  if (value == nullptr) return {};
  std::string_view rest(value);
  while (!rest.empty()) {
    std::size_t comma = rest.find(',');
    std::string_view item = TrimView(rest.substr(0, comma));
    if (!item.empty()) {
      if (Outcome added = AddOne(item); !added.IsOk()) return added;
    }
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return {};
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
