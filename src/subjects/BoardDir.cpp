#include "subjects/BoardDir.h"

#include "app/DataDir.h"
#include "app/UrlPaths.h"
#include "subjects/ThreadState.h"

namespace velkor {

std::optional<std::string> SafeBoardDir(std::string_view boardUrl) {
  std::string host;
  std::string path;
  if (!SplitUrl(boardUrl, host, path) || !IsSafePathComponent(host)) return std::nullopt;
  if (path.size() < 2 || path.front() != '/') return std::nullopt;
  if (path.back() != '/') path += '/';
  // Every segment between the leading and the trailing "/" must be a plain name.
  std::size_t start = 1;
  while (start < path.size()) {
    std::size_t end = path.find('/', start);
    if (!IsSafePathComponent(std::string_view(path).substr(start, end - start))) {
      return std::nullopt;
    }
    start = end + 1;
  }
  return LogDir() + "/" + host + path;
}

std::optional<std::string> SubjectIniPathOf(std::string_view boardUrl) {
  auto dir = SafeBoardDir(boardUrl);
  if (!dir) return std::nullopt;
  return SubjectIniPath(*dir);
}

}  // namespace velkor
