#pragma once

// The new-reply check ("新着チェック") of the favourite boards: every board's thread list is
// refreshed exactly as a reload of that board does (the same conditional request, the same merge
// into subject.ini), and every listed thread that has a stored log and for which the list now
// announces more replies than are stored is collected, across boards. Optionally those threads'
// logs are brought up to date as well. Boards are checked one after the other, so no two requests
// of the check ever go to one host at the same time; a board whose list did not change costs its
// conditional request and nothing more. A board that fails is named and the others still finish.
// docs/check.md describes it.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "subjects/SubjectList.h"
#include "subjects/UpdateResult.h"

namespace velkor {

// A favourite board to check. Texts are CP932; url is the favourite's stored board URL.
struct CheckBoard {
  std::string category;
  std::string name;
  std::string url;
};

// What bringing one thread's log up to date came to: the result and the replies the log gained.
struct CheckedFetch {
  UpdateResult result;
  std::int32_t added = 0;
};

// Brings the log of `datName` of the list's board up to date (the thread-log fetch; the check
// lives below it and is handed it by its caller).
using CheckLogFetcher = std::function<CheckedFetch(SubjectList& list, const std::string& datName)>;

// One thread with new replies.
struct NewReplyThread {
  std::size_t board = 0;  // index into the checked boards
  ThreadItem item;        // its state after the check, as a row of its board's list shows it
  // Server count minus stored count; when logs are fetched, the replies the fetch added.
  std::int32_t newReplies = 0;
};

// What the check of one board came to.
enum class BoardCheckState {
  kNotChecked,  // the check was stopped before this board
  kChanged,     // a new list was merged
  kUnchanged,   // the list did not change (304)
  kFailed,      // the board failed: reason tells why
};

struct BoardCheckResult {
  BoardCheckState state = BoardCheckState::kNotChecked;
  std::string reason;  // CP932, for kFailed
};

// A thread whose log could not be brought up to date (only when logs are fetched).
struct ThreadCheckFailure {
  std::size_t board = 0;
  std::string datName;
  std::string reason;  // CP932
};

struct CheckReport {
  std::vector<BoardCheckResult> boards;  // one per checked board, in their order
  std::vector<NewReplyThread> threads;   // by board, then by rank
  std::vector<ThreadCheckFailure> fetchFailures;
  bool stopped = false;  // Stop() was called: boards after the stop are kNotChecked
  // The first warning of the cache server's board list (net/CacheServerUrl.h), or empty.
  std::string cacheServerWarning;
  // The boards that failed.
  std::size_t FailedBoards() const;
};

struct CheckOptions {
  // When set, the logs of the threads found are brought up to date with it, and newReplies counts
  // the replies each fetch added.
  CheckLogFetcher fetchLog;
  // Asked before each board: a list already bound to the board being checked (the window's shown
  // list), which the check then refreshes and writes through instead of a list of its own, so that
  // its rows and later writes keep the merge. May return null.
  std::function<SubjectList*()> shownList;
  // Told after each board with the boards done and the boards in all (also once with 0 first).
  std::function<void(std::size_t done, std::size_t total)> progress;
};

class NewReplyCheck {
 public:
  // Checks the boards in order. Status texts of the downloads go through the standard status
  // handler to Ui(), which also lets the window run meanwhile. A board URL that names no folder of
  // its own, or whose folder cannot be made, fails that board without a request.
  CheckReport Run(const std::vector<CheckBoard>& boards, const CheckOptions& options);
  // Called while Run runs (from the window's events): the running request ends within one wait
  // slice, and no further board or thread is asked for.
  void Stop();
  bool Running() const { return running_; }

 private:
  bool running_ = false;
  bool stopRequested_ = false;
  SubjectList* current_ = nullptr;
};

}  // namespace velkor
