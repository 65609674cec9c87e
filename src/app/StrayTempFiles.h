#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velkor {

// Temporary files that a crash left in the data directory. ReplaceFile writes "<name>.tmp" and six
// letters or digits beside the file it replaces, and the protocol trace is TempFile's "tmp" and six
// in the log folder; a process that ends while writing one leaves it behind. The window removes
// them at start-up from "ini", from the log folder itself (board.html, gzip.dmp and the trace
// live there) and from the draft folders ("draft/<host>/<board>"). The log's board folders are not
// walked: they are the log sweeper's, which removes every file there that is no log or list of the
// board.
class StrayTempFiles {
 public:
  // Whether `name` (a bare file name) is ReplaceFile's temporary name, or, with `traceToo`, also
  // the trace's.
  static bool IsTempName(std::string_view name, bool traceToo);

  // Removes the stray temporary files of the data directory fixed by InitDataDir (regular files
  // only; links are never followed) and returns their paths. Only the process that holds the
  // single-instance lock may call it, before it writes anything: a second window would remove the
  // files the first one is writing. Removes nothing while a Guard of the same data directory lives
  // in any process, or when the guard's lock file cannot be opened.
  static std::vector<std::string> Remove();

  // Held by a process that writes into the data directory while the window may run (velkor-cli):
  // no Remove runs while it lives. Its constructor waits while a Remove runs. Any number of
  // processes may hold one at once (a shared flock on "ini/velkor-cli.lock"). When the lock file
  // cannot be opened there is no guard, and Remove cannot run either.
  class Guard {
   public:
    Guard();
    ~Guard();
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

   private:
    int fd_ = -1;
  };
};

}  // namespace velkor
