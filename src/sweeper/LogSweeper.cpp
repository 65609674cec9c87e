#include "sweeper/LogSweeper.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "app/HtmlPage.h"
#include "app/UrlPaths.h"
#include "base/IniDocument.h"
#include "base/Sjis.h"

namespace velkor {
namespace {

namespace fs = std::filesystem;

// A real folder: a directory that is not a symbolic link.
bool IsRealFolder(const fs::path& path) {
  std::error_code error;
  return fs::is_directory(fs::symlink_status(path, error));
}

// The names in a real folder, in the order the file system lists them; empty when it cannot be
// listed.
std::vector<std::string> ListNames(const std::string& folder) {
  std::vector<std::string> names;
  if (!IsRealFolder(folder)) return names;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    names.push_back(it->path().filename().string());
  }
  return names;
}

// True when `path` (ending in "/") equals `dir` or lies below it, ignoring ASCII letter case.
bool IsSameOrBelow(std::string_view path, std::string_view dir) {
  return path.size() >= dir.size() && EqualsIgnoreAsciiCase(path.substr(0, dir.size()), dir);
}

// True when every folder from below logDir down to `folder` is a real folder (no symbolic link).
bool IsRealFolderChain(const std::string& logDir, const std::string& folder) {
  for (std::size_t slash = folder.find('/', logDir.size() + 1); slash != std::string::npos;
       slash = folder.find('/', slash + 1)) {
    if (!IsRealFolder(folder.substr(0, slash))) return false;
  }
  return true;
}

// A thread log's name: decimal digits and ".dat", in any letter case.
bool IsThreadLogName(std::string_view name) {
  static constexpr std::string_view kDat = ".dat";
  if (name.size() <= kDat.size()) return false;
  const std::string_view digits = name.substr(0, name.size() - kDat.size());
  return EqualsIgnoreAsciiCase(name.substr(digits.size()), kDat) &&
         std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

LogSweeper::LogSweeper(std::string logDir, std::vector<std::string> favoriteUrls,
                       PathRemover remover)
    : logDir_(std::move(logDir)),
      favoriteUrls_(std::move(favoriteUrls)),
      remover_(std::move(remover)) {}

const std::string& LogSweeper::ReportTitle() {
  static const std::string title = Sjis("ログ整理");
  return title;
}

SweepReport LogSweeper::SweepLogs() {
  failedPaths_.clear();
  std::string report(kHtmlPageHead);
  RunPasses(report);
  report += "<hr></body></html>";
  if (failedPaths_.empty()) return {std::move(report), {}};
  static const std::string intro = Sjis("次のものは削除できませんでした:");
  std::string text = intro;
  for (const std::string& path : failedPaths_) text += "\n" + path;
  return {std::move(report), Failed(std::move(text))};
}

SweepPlan LogSweeper::Plan() {
  plan_ = SweepPlan();
  planning_ = true;
  std::string report;
  RunPasses(report);
  planning_ = false;
  return std::move(plan_);
}

void LogSweeper::RunPasses(std::string& report) {
  static const std::string pass1 = Sjis("<h2>現在お気に入りに無い板のログ削除</h2>");
  static const std::string pass2 = Sjis("<hr><h2>空のフォルダ削除</h2>");
  static const std::string pass3 = Sjis("<hr><h2>関連の無いファイル削除</h2>");
  const std::vector<std::string> favoriteDirs = FavoriteDirs();
  report += pass1;
  RemoveOtherBoards(favoriteDirs, report);
  report += pass2;
  RemoveEmptyHosts(report);
  report += pass3;
  RemoveUnrelatedFiles(favoriteDirs, report);
}

void LogSweeper::RemovePath(const std::string& path, Removal kind, std::string& report) {
  report += HtmlText(path);
  report += "<br>";
  if (!planning_) {
    if (!(remover_ && remover_(path))) failedPaths_.push_back(path);
    return;
  }
  plan_.paths.push_back(path);
  switch (kind) {
    case Removal::kBoardFolder:
      ++plan_.boards;
      for (const std::string& name : ListNames(path)) {
        if (IsThreadLogName(name) && !IsRealFolder(path + "/" + name)) ++plan_.logs;
      }
      break;
    case Removal::kHostFolder:
      ++plan_.emptyFolders;
      break;
    case Removal::kFile: {
      const std::string folder = path.substr(0, path.rfind('/') + 1);
      const bool boardCounted = std::any_of(
          plan_.paths.begin(), plan_.paths.end() - 1,
          [&folder](const std::string& earlier) { return earlier.rfind(folder, 0) == 0; });
      if (!boardCounted) ++plan_.boards;
      if (IsThreadLogName(path.substr(folder.size()))) {
        ++plan_.logs;
      } else {
        ++plan_.otherFiles;
      }
      break;
    }
  }
}

std::vector<std::string> LogSweeper::FavoriteDirs() const {
  std::vector<std::string> dirs;
  for (const std::string& url : favoriteUrls_) {
    const std::optional<std::string> folder = BoardLogFolder(url);
    if (!folder) continue;
    const std::string dir = logDir_ + *folder;
    // Folders that differ in letter case are different folders here: each gets its pass 3.
    if (std::find(dirs.begin(), dirs.end(), dir) == dirs.end()) dirs.push_back(dir);
  }
  return dirs;
}

void LogSweeper::RemoveOtherBoards(const std::vector<std::string>& favoriteDirs,
                                   std::string& report) {
  for (const std::string& host : ListNames(logDir_)) {
    const std::string hostDir = logDir_ + "/" + host;
    if (!IsRealFolder(hostDir)) continue;
    for (const std::string& board : ListNames(hostDir)) {
      const std::string boardDir = hostDir + "/" + board + "/";
      if (!IsRealFolder(boardDir)) continue;
      // A folder that is, or holds, a favourite board's folder stays.
      const bool favorite =
          std::any_of(favoriteDirs.begin(), favoriteDirs.end(),
                      [&](const std::string& dir) { return IsSameOrBelow(dir, boardDir); });
      if (!favorite) {
        RemovePath(boardDir.substr(0, boardDir.size() - 1), Removal::kBoardFolder, report);
      }
    }
  }
}

void LogSweeper::RemoveEmptyHosts(std::string& report) {
  for (const std::string& host : ListNames(logDir_)) {
    const std::string hostDir = logDir_ + "/" + host;
    if (!IsRealFolder(hostDir)) continue;
    bool empty = false;
    if (planning_) {
      // Empty once the boards planned to go are gone (a host folder holds nothing else then).
      const std::vector<std::string> names = ListNames(hostDir);
      empty = std::all_of(names.begin(), names.end(), [&](const std::string& name) {
        return std::find(plan_.paths.begin(), plan_.paths.end(), hostDir + "/" + name) !=
               plan_.paths.end();
      });
    } else {
      std::error_code error;
      empty = fs::is_empty(hostDir, error) && !error;
    }
    if (empty) RemovePath(hostDir, Removal::kHostFolder, report);
  }
}

void LogSweeper::RemoveUnrelatedFiles(const std::vector<std::string>& favoriteDirs,
                                      std::string& report) {
  for (const std::string& dir : favoriteDirs) {
    if (!IsRealFolderChain(logDir_, dir)) continue;
    IniDocument subjects;
    subjects.Load(dir + "subject.ini");
    for (const std::string& name : ListNames(dir)) {
      const std::string path = dir + name;
      if (IsRealFolder(path)) continue;
      const std::string lower = AsciiLowerCopy(name);
      if (subjects.SectionExists(lower)) continue;
      if (lower == "bbs.ini" || lower == "subject.ini" || lower == "subject.txt") continue;
      // The board's posting limits, and the own-post list of every thread whose log stays.
      if (lower == "setting.txt" || lower == "setting.ini") continue;
      if (lower.ends_with(".own") &&
          OwnPostsFileName(lower.substr(0, lower.size() - 4) + ".dat") == lower &&
          subjects.SectionExists(lower.substr(0, lower.size() - 4) + ".dat")) {
        continue;
      }
      RemovePath(path, Removal::kFile, report);
    }
  }
}

}  // namespace velkor
