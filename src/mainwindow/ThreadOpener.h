#pragma once

#include <functional>
#include <string>

#include "subjects/UpdateResult.h"
#include "threads/ui/ThreadTabList.h"

namespace velkor {

class SubjectList;

// Opens a thread of a favourite board in the thread-view tabs after bringing its log up to date,
// as a click on its row does: through the window's thread list when that shows the thread's board
// (its row is refreshed and repainted), else through a list bound to the board for the moment.
// The thread is then marked read and shown, its marker before the first reply not read before.
// When the log could not be had and none is stored, the tab says why instead of showing an empty
// page, with a retry that runs the same open again in that tab.
class ThreadOpener {
 public:
  struct Request {
    std::string boardUrl;
    std::string boardDir;  // SafeBoardDir(boardUrl)
    std::string datName;
    std::string anchor;  // where the page opens ("midoku", "a<n>")
    std::string title;   // empty: the title subject.ini holds
    TabChoice where = TabChoice::kActiveTab;
  };

  struct Window {
    // The window's thread list (never null while the window lives).
    std::function<SubjectList*()> shownList;
    // A row of that list changed.
    std::function<void(int row)> rowChanged;
    // Before a thread is shown: the window makes room for the tabs.
    std::function<void()> beforeShow;
    // A step's result the status bar has not shown yet (a file that could not be written).
    std::function<void(const UpdateResult&)> unwritten;
    // Before the download: the cache server's board list, with the window's warning when it
    // cannot be had.
    std::function<void(const std::string& boardUrl)> prepareCacheServer;
  };

  explicit ThreadOpener(Window window);

  // Fetches and shows the thread of `request`. When the fetch lets the window run and the window's
  // list is meanwhile bound to another board, a thread fetched through it is not shown (the click
  // belonged to the board shown before).
  void Open(const Request& request);

 private:
  Window window_;
};

}  // namespace velkor
