#include "app/UrlPaths.h"

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

bool SplitUrl(std::string_view url, std::string& host, std::string& path) {
  std::size_t schemeEnd = url.find("://");
  if (schemeEnd == std::string_view::npos || schemeEnd == 0) return false;
  for (std::size_t i = 0; i < schemeEnd; ++i) {
    if (!IsSchemeChar(url[i])) return false;
  }
  std::string_view rest = url.substr(schemeEnd + 3);
  std::size_t authorityEnd = rest.find_first_of("/?#");
  std::string_view authority = rest.substr(0, authorityEnd);
  std::string_view tail =
      authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);
  std::size_t at = authority.rfind('@');
  if (at != std::string_view::npos) authority.remove_prefix(at + 1);
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
  rest.remove_prefix(std::min<std::size_t>(rest.size(), 15));  // "/test/read.cgi/"
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

bool IsSafePathComponent(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

}  // namespace velkor
