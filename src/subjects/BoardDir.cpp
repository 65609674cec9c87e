#include "subjects/BoardDir.h"

#include "app/DataDir.h"
#include "app/UrlPaths.h"
#include "subjects/ThreadState.h"

namespace velkor {

std::optional<std::string> SafeBoardDir(std::string_view boardUrl) {
  if (!IsSafeBoardUrl(boardUrl)) return std::nullopt;
  std::string dir = LogDir() + UrlToLogDir(boardUrl);
  if (dir.back() != '/') dir += '/';
  return dir;
}

std::optional<std::string> SubjectIniPathOf(std::string_view boardUrl) {
  auto dir = SafeBoardDir(boardUrl);
  if (!dir) return std::nullopt;
  return SubjectIniPath(*dir);
}

}  // namespace velkor
