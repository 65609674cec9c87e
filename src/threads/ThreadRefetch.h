#pragma once

#include <string>

#include "threads/ThreadLogFetch.h"

namespace velkor {

class SubjectList;

// What fetching a shown thread's log again came to.
struct ThreadRefetch {
  ThreadFetchReport fetch;
  // Why the cache server's board list could not be had (the log then came from the board's own
  // host); empty otherwise.
  std::string cacheServerWarning;
};

// A thread tab's "再読み込み": fetches the log boardDir + datName again (FetchThreadReplies, which
// always asks the server) through `shown` when that list (may be null) is bound to boardDir, else
// through a list bound to the board's subject.ini for this fetch alone (its URL from
// BoardUrlOfLogDir). The cache server's board list is prepared first (PrepareCacheServer).
// When the fetch succeeded (kOk, kUnchanged) the thread counts as read up to its last stored reply
// (Unread = GotCount + 1), as opening it from the thread list makes it; through `shown` its row
// shows the new state. An empty board directory or a dat name that is not "<decimal>.dat" fetches
// and writes nothing (kFailed).
// The window runs while the log downloads.
ThreadRefetch RefetchThread(const std::string& boardDir, const std::string& datName,
                            SubjectList* shown);

}  // namespace velkor
