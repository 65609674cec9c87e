#include "net/HttpUrl.h"

#include "app/UrlPaths.h"
#include "base/Integer.h"
#include "base/Sjis.h"

namespace velkor {
namespace {

bool IsHostChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_';
}

bool IsAddressChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' ||
         c == '.';
}

// A request target may carry any byte but the ones that end or split a request line.
bool IsTargetByte(char c) {
  auto u = static_cast<unsigned char>(c);
  return u > 0x20 && u != 0x7F;
}

}  // namespace

HttpUrlStatus ParseHttpUrl(std::string_view url, HttpUrl& out) {
  constexpr std::string_view kSchemeEnd = "://";
  std::size_t schemeEnd = url.find(kSchemeEnd);
  if (schemeEnd == std::string_view::npos || schemeEnd == 0) return HttpUrlStatus::kMalformed;
  std::string_view scheme = url.substr(0, schemeEnd);
  bool tls = EqualsIgnoreAsciiCase(scheme, "https");
  if (!tls && !EqualsIgnoreAsciiCase(scheme, "http")) {
    for (char c : scheme) {
      if (!IsHostChar(c) && c != '+') return HttpUrlStatus::kMalformed;
    }
    return HttpUrlStatus::kUnsupportedScheme;
  }
  const auto [authority, tail] = SplitAuthority(url.substr(schemeEnd + kSchemeEnd.size()));
  std::string_view host = authority;
  std::string_view port;
  if (!host.empty() && host.front() == '[') {
    std::size_t close = host.find(']');
    if (close == std::string_view::npos) return HttpUrlStatus::kMalformed;
    std::string_view after = host.substr(close + 1);
    host = host.substr(1, close - 1);
    if (!after.empty()) {
      if (after.front() != ':') return HttpUrlStatus::kMalformed;
      port = after.substr(1);
    }
    for (char c : host) {
      if (!IsAddressChar(c)) return HttpUrlStatus::kMalformed;
    }
  } else {
    std::size_t colon = host.find(':');
    if (colon != std::string_view::npos) {
      port = host.substr(colon + 1);
      host = host.substr(0, colon);
    }
    for (char c : host) {
      if (!IsHostChar(c)) return HttpUrlStatus::kMalformed;
    }
  }
  if (host.empty() || host.size() > kMaxUrlPartLength) return HttpUrlStatus::kMalformed;

  unsigned short number = tls ? 443 : 80;
  if (!port.empty()) {
    auto value = ParseInteger(port, 1, 65535, IntegerSyntax::kDigits);
    if (!value) return HttpUrlStatus::kMalformed;
    number = static_cast<unsigned short>(*value);
  }

  const std::string_view target = tail.substr(0, tail.find('#'));
  const std::string_view path = target.substr(0, target.find('?'));
  const std::string_view query = target.substr(path.size());
  if (path.size() > kMaxUrlPartLength || query.size() > kMaxUrlPartLength) {
    return HttpUrlStatus::kMalformed;
  }
  for (char c : target) {
    if (!IsTargetByte(c)) return HttpUrlStatus::kMalformed;
  }
  out.tls = tls;
  out.host = std::string(host);
  out.port = number;
  out.path = path.empty() ? "/" : std::string(path);
  out.target = out.path + std::string(query);
  return HttpUrlStatus::kOk;
}

std::string HostField(const HttpUrl& url) {
  bool v6 = url.host.find(':') != std::string::npos;
  std::string field = v6 ? "[" + url.host + "]" : url.host;
  if (url.port != (url.tls ? 443 : 80)) field += ":" + std::to_string(url.port);
  return field;
}

}  // namespace velkor
