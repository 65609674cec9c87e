#include "app/UrlPaths.h"

#include <algorithm>

#include "app/Deployment.h"
#include "base/Sjis.h"

namespace velkor {
namespace {

std::string PercentDecode(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && HexDigitValue(s[i + 1]) >= 0 &&
        HexDigitValue(s[i + 2]) >= 0) {
      out += static_cast<char>(HexDigitValue(s[i + 1]) * 16 + HexDigitValue(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

bool IsSchemeChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '-' || c == '.';
}

}  // namespace

UrlAuthority SplitAuthority(std::string_view afterScheme) {
  const std::size_t end = afterScheme.find_first_of("/?#");
  UrlAuthority parts;
  parts.authority = afterScheme.substr(0, end);
  if (end != std::string_view::npos) parts.tail = afterScheme.substr(end);
  const std::size_t at = parts.authority.rfind('@');
  if (at != std::string_view::npos) parts.authority.remove_prefix(at + 1);
  return parts;
}

bool SplitUrl(std::string_view url, std::string& host, std::string& path) {
  std::size_t schemeEnd = url.find("://");
  if (schemeEnd == std::string_view::npos || schemeEnd == 0) return false;
  for (std::size_t i = 0; i < schemeEnd; ++i) {
    if (!IsSchemeChar(url[i])) return false;
  }
  auto [authority, tail] = SplitAuthority(url.substr(schemeEnd + 3));
  std::size_t colon = authority.rfind(':');
  if (colon != std::string_view::npos) authority = authority.substr(0, colon);
  if (authority.empty()) return false;

  std::string_view rawPath = tail.substr(0, tail.find_first_of("?#"));
  std::string decodedHost = PercentDecode(authority);
  std::string decodedPath = PercentDecode(rawPath);
  if (decodedHost.size() > kMaxUrlPartLength || decodedPath.size() > kMaxUrlPartLength) {
    return false;
  }
  host = std::move(decodedHost);
  path = std::move(decodedPath);
  return true;
}

std::string UrlToLogDir(std::string_view url) {
  std::string host;
  std::string path;
  SplitUrl(url, host, path);
  return "/" + host + path;
}

std::string ThreadUrlToLogPath(std::string_view url, std::string& remainder) {
  remainder.clear();
  std::string host;
  std::string path;
  SplitUrl(url, host, path);
  std::string_view rest = path;
  rest.remove_prefix(std::min(rest.size(), kReadCgiPath.size()));
  std::string result = "/" + host + "/";
  std::size_t slash = SjisFindChar(rest, '/');
  if (slash == std::string_view::npos) return result;
  result.append(rest.substr(0, slash));
  result += '/';
  rest.remove_prefix(slash + 1);
  slash = SjisFindChar(rest, '/');
  if (slash != std::string_view::npos) {
    result.append(rest.substr(0, slash));
    remainder.assign(rest.substr(slash + 1));
  } else {
    result.append(rest);
  }
  result += ".dat";
  return result;
}

void LogPathToBoard(std::string_view logPath, std::string& host, std::string& boardPath) {
  std::size_t last = SjisFindLastChar(logPath, '/');
  std::string_view dir =
      last == std::string_view::npos ? std::string_view() : logPath.substr(0, last);
  std::size_t boardStart = SjisFindLastChar(dir, '/');
  std::string_view board = boardStart == std::string_view::npos ? dir : dir.substr(boardStart + 1);
  boardPath = "/" + std::string(board) + "/";
  std::string_view above =
      boardStart == std::string_view::npos ? std::string_view() : dir.substr(0, boardStart);
  std::size_t hostStart = SjisFindLastChar(above, '/');
  host.assign(hostStart == std::string_view::npos ? above : above.substr(hostStart + 1));
}

std::string OwnPostsFileName(std::string_view datName) {
  constexpr std::string_view kDat = ".dat";
  if (!datName.ends_with(kDat) || datName.size() == kDat.size()) return {};
  const std::string_view key = datName.substr(0, datName.size() - kDat.size());
  for (char c : key) {
    if (c < '0' || c > '9') return {};
  }
  return std::string(key) + ".own";
}

bool IsSafePathComponent(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  // A control byte is never the second byte of a CP932 character; "\" may be one and is refused
  // all the same, as a folder name holding it would not survive a copy to another system.
  const bool plainBytes = std::none_of(name.begin(), name.end(), [](char c) {
    auto byte = static_cast<unsigned char>(c);
    return c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F;
  });
  if (!plainBytes) return false;
  // A name that ends in the lead byte of a two-byte character would swallow the "/" after it when
  // a path is read back character by character.
  std::size_t i = 0;
  while (i < name.size()) i += IsLeadByte(name[i]) ? 2 : 1;
  return i == name.size();
}

bool IsSafeBoardUrl(std::string_view url) {
  std::string host;
  std::string path;
  if (!SplitUrl(url, host, path) || !IsSafePathComponent(host)) return false;
  // The host folder must read back as the same host when a URL is rebuilt from it: no ":", "#",
  // "@" or any other byte a decoded escape could smuggle into a host name.
  const bool plainHost = std::all_of(host.begin(), host.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
  });
  if (!plainHost) return false;
  // The request goes to the host as written: it must be the folder's host, without escapes or a
  // user part.
  std::string_view authority = url.substr(url.find("://") + 3);
  authority = authority.substr(0, authority.find_first_of("/?#"));
  if (authority.find_first_of("%@") != std::string_view::npos) return false;
  if (path.size() < 2 || path.front() != '/') return false;
  std::string_view rest = std::string_view(path).substr(1);
  if (rest.back() == '/') rest.remove_suffix(1);
  while (true) {
    std::size_t slash = rest.find('/');
    if (!IsSafePathComponent(rest.substr(0, slash))) return false;
    if (slash == std::string_view::npos) return true;
    rest.remove_prefix(slash + 1);
  }
}

std::optional<std::string> BoardLogFolder(std::string_view boardUrl) {
  if (!IsSafeBoardUrl(boardUrl)) return std::nullopt;
  std::string folder = UrlToLogDir(boardUrl);
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::string UrlScheme(std::string_view url) {
  std::size_t end = url.find("://");
  if (end == std::string_view::npos || end == 0) return {};
  std::string scheme(url.substr(0, end));
  for (char& c : scheme) {
    if (!IsSchemeChar(c)) return {};
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return scheme;
}

bool HostInDomain(std::string_view host, std::string_view domain) {
  if (domain.empty() || host.size() < domain.size()) return false;
  if (!EqualsIgnoreAsciiCase(host.substr(host.size() - domain.size()), domain)) return false;
  return host.size() == domain.size() || host[host.size() - domain.size() - 1] == '.';
}

bool IsServiceHost(std::string_view host) {
  return HostInDomain(host, kPrimaryDomain) || HostInDomain(host, kSisterDomain);
}

std::string_view DefaultSchemeOfHost(std::string_view host) {
  return IsServiceHost(host) ? "https" : "http";
}

std::string RebuiltBoardUrl(std::string_view logDir) {
  if (logDir.empty()) return {};
  std::string folder(logDir);
  if (folder.back() != '/') folder += '/';
  std::string host;
  std::string board;
  LogPathToBoard(folder, host, board);
  std::string url = std::string(DefaultSchemeOfHost(host)) + "://";
  for (char c : host + board) {
    if (c == '%') {
      url += "%25";
    } else if (c == '?') {
      url += "%3F";
    } else if (c == '#') {
      url += "%23";
    } else {
      url += c;
    }
  }
  return url;
}

std::string ThreadUrl(std::string_view boardUrl, std::string_view key, bool finalSlash) {
  const std::size_t schemeEnd = boardUrl.find("://");
  std::string_view scheme = "http";
  std::string_view rest = boardUrl;
  if (schemeEnd != std::string_view::npos) {
    scheme = boardUrl.substr(0, schemeEnd);
    rest = boardUrl.substr(schemeEnd + 3);
  }
  rest = rest.substr(0, rest.find_first_of("?#"));
  const std::size_t slash = rest.find('/');
  const std::string_view host = rest.substr(0, slash);
  const std::string_view path =
      slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
  std::string url;
  url.reserve(boardUrl.size() + key.size() + 24);
  url.append(scheme).append("://").append(host).append(kReadCgiPath);
  if (!path.empty()) url.append(path.substr(1));
  if (url.back() != '/') url += '/';
  url.append(key);
  if (finalSlash) url += '/';
  return url;
}

}  // namespace velkor
