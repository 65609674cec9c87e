#include "threads/NgRule.h"

#include <array>
#include <filesystem>
#include <system_error>

#include "app/DataDir.h"
#include "app/UrlPaths.h"
#include "search/RegexEngine.h"

namespace velkor {
namespace {

constexpr std::array<std::string_view, 5> kKindNames = {"word", "name", "mail", "id", "regex"};

// "host/board" from LogPathToBoard's parts, or empty when either is missing.
std::string JoinBoard(const std::string& host, const std::string& boardPath) {
  const std::string_view board = std::string_view(boardPath).substr(1, boardPath.size() - 2);
  if (host.empty() || board.empty()) return {};
  return host + "/" + std::string(board);
}

}  // namespace

Result<PrepareCode> PrepareNgRegex(RegexEngine& engine, std::string_view pattern) {
  if (!engine.IsLoaded()) engine.Load();
  return engine.Prepare(pattern, false);
}

std::string_view NgKindName(NgKind kind) {
  return kKindNames[static_cast<std::size_t>(kind)];
}

std::optional<NgKind> ParseNgKind(std::string_view name) {
  for (std::size_t i = 0; i < kKindNames.size(); ++i) {
    if (kKindNames[i] == name) return static_cast<NgKind>(i);
  }
  return std::nullopt;
}

std::string NgScopeText(const NgRule& rule) {
  return rule.board.empty() ? "global" : rule.board;
}

std::string NgModeText(const NgRule& rule) {
  std::string text = rule.hidden ? "hidden" : "abone";
  if (rule.chain) text += "+chain";
  return text;
}

std::string NgBoardOfLogPath(std::string_view path) {
  if (LogDir().empty() || path.empty()) return {};
  std::error_code error;
  std::string full =
      std::filesystem::absolute(std::filesystem::path(path), error).lexically_normal().string();
  if (error) return {};
  // lexically_normal keeps a final "/" of a directory path, which LogPathToBoard relies on.
  const std::string root = std::filesystem::path(LogDir()).lexically_normal().string() +
                           (LogDir().back() == '/' ? "" : "/");
  if (full.size() <= root.size() || full.compare(0, root.size(), root) != 0) return {};
  // Below the root there must be a host and a board folder: at least two "/"-ended parts, or a
  // host folder, a board folder and a file.
  const std::string_view rest = std::string_view(full).substr(root.size());
  const std::size_t hostEnd = rest.find('/');
  if (hostEnd == std::string_view::npos || rest.find('/', hostEnd + 1) == std::string_view::npos) {
    return {};
  }
  std::string host;
  std::string boardPath;
  LogPathToBoard(full, host, boardPath);
  return JoinBoard(host, boardPath);
}

std::string NgBoardOfUrl(std::string_view url) {
  const std::optional<std::string> folder = BoardLogFolder(url);
  if (!folder) return {};
  std::string host;
  std::string boardPath;
  LogPathToBoard(*folder, host, boardPath);
  return JoinBoard(host, boardPath);
}

}  // namespace velkor
