#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/Result.h"

namespace velkor {

// Removes a file, or a folder with everything in it, without asking and without showing anything.
// A symbolic link is removed itself, never its target. True when the path is gone afterwards.
using PathRemover = std::function<bool(const std::string& path)>;

// What a sweep came to: the report page (CP932, to be shown under LogSweeper::ReportTitle()), which
// lists every path handed to the remover, removed or not (as text: a folder named with markup
// stays text); and a failure when some removals failed,
// whose reason (to be shown as a warning under the same title) names those paths, one per line.
struct SweepReport {
  std::string page;
  Outcome result;
};

// What a sweep would remove, found without removing anything: every path it would hand to the
// remover, in the same order, and what they come to.
struct SweepPlan {
  std::vector<std::string> paths;
  std::size_t boards = 0;      // boards losing logs or files: folders going whole, or favourites
  std::size_t logs = 0;        // thread logs ("<number>.dat") among what goes, in folders or alone
  std::size_t otherFiles = 0;  // files going alone that are no thread logs
  std::size_t emptyFolders = 0;  // host folders going because they are left empty
};

// Cleans the log tree: removes the folders of boards that are no longer favourites, host folders
// that are left empty, and files in favourite boards' folders that belong to no known thread (a
// thread's log "<key>.dat" and its own-post list "<key>.own" stay while subject.ini knows the
// thread; the board's lists and SETTING.TXT with setting.ini stay). Every
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

  // Runs the three passes; shows nothing.
  SweepReport SweepLogs();
  // The three passes as SweepLogs would run them now, without removing anything (a host folder
  // counts as left empty when everything in it would go).
  SweepPlan Plan();

  // "ログ整理".
  static const std::string& ReportTitle();

 private:
  enum class Removal { kBoardFolder, kHostFolder, kFile };
  // Hands the path to the remover and lists it on the report; notes it in failedPaths_ when the
  // remover fails. While planning, notes it in plan_ instead.
  void RemovePath(const std::string& path, Removal kind, std::string& report);
  void RunPasses(std::string& report);
  void RemoveOtherBoards(const std::vector<std::string>& favoriteDirs, std::string& report);
  void RemoveEmptyHosts(std::string& report);
  void RemoveUnrelatedFiles(const std::vector<std::string>& favoriteDirs, std::string& report);
  // The favourite boards' folders (each ending in "/"), in catalog order, each once (exact
  // comparison); favourites whose URL names no folder of its own (BoardLogFolder) are left out.
  std::vector<std::string> FavoriteDirs() const;

  std::string logDir_;
  std::vector<std::string> favoriteUrls_;
  PathRemover remover_;
  std::vector<std::string> failedPaths_;
  bool planning_ = false;
  SweepPlan plan_;
};

}  // namespace velkor
