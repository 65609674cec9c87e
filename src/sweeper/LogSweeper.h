#pragma once

#include <functional>
#include <string>
#include <vector>

namespace velkor {

// Removes a file, or a folder with everything in it, without asking and without showing anything.
// A symbolic link is removed itself, never its target. True when the path is gone afterwards.
using PathRemover = std::function<bool(const std::string& path)>;

// Cleans the log tree: removes the folders of boards that are no longer favourites, host folders
// that are left empty, and files in favourite boards' folders that belong to no known thread. Every
// removal goes through the injected remover and is listed on a report page.
//
// The sweeper stays inside the log directory: it lists only real folders (a symbolic link is never
// entered), never removes a folder that holds a favourite board's folder, and every path it hands
// to the remover lies below the log directory. Nothing of the log tree may be held open while it
// runs.
class LogSweeper {
 public:
  // `logDir`: the log directory (no final "/"). `favoriteUrls`: the favourite boards' URLs in
  // catalog order (duplicates allowed).
  LogSweeper(std::string logDir, std::vector<std::string> favoriteUrls, PathRemover remover);

  // Runs the three passes, shows the report through Ui().ShowHtmlPage under the title "ログ整理"
  // and returns it. Every path handed to the remover is listed on the report, removed or not; when
  // some removals failed, a warning message under the same title then names those paths.
  std::string SweepLogs();

  // The paths whose removal failed in the last SweepLogs, in report order.
  const std::vector<std::string>& FailedPaths() const { return failedPaths_; }

  static const std::string& ReportTitle();

 private:
  // Hands the path to the remover and lists it on the report; notes it in failedPaths_ when the
  // remover fails.
  void RemovePath(const std::string& path, std::string& report);
  void RemoveOtherBoards(const std::vector<std::string>& favoriteDirs, std::string& report);
  void RemoveEmptyHosts(std::string& report);
  void RemoveUnrelatedFiles(const std::vector<std::string>& favoriteDirs, std::string& report);
  // The favourite boards' folders (each ending in "/"), in catalog order, each once (exact
  // comparison); favourites whose URL cannot name a folder below the log directory are left out.
  std::vector<std::string> FavoriteDirs() const;

  std::string logDir_;
  std::vector<std::string> favoriteUrls_;
  PathRemover remover_;
  std::vector<std::string> failedPaths_;
};

}  // namespace velkor
