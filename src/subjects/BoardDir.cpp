#include "subjects/BoardDir.h"

#include "app/DataDir.h"
#include "app/UrlPaths.h"
#include "subjects/ThreadState.h"

namespace velkor {

std::optional<std::string> SafeBoardDir(std::string_view boardUrl) {
  const std::optional<std::string> folder = BoardLogFolder(boardUrl);
  if (!folder) return std::nullopt;
  return LogDir() + *folder;
}

std::optional<std::string> SubjectIniPathOf(std::string_view boardUrl) {
  auto dir = SafeBoardDir(boardUrl);
  if (!dir) return std::nullopt;
  return SubjectIniPath(*dir);
}

}  // namespace velkor
