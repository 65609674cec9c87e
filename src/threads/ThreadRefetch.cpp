#include "threads/ThreadRefetch.h"

#include "base/Sjis.h"
#include "boards/BoardCatalog.h"
#include "net/CacheServerUrl.h"
#include "subjects/SubjectList.h"
#include "subjects/ThreadState.h"

namespace velkor {
namespace {

// Fetches through `list` and marks the thread read, its row (when it has one) following.
ThreadRefetch FetchAndMarkRead(SubjectList& list, const std::string& datName) {
  ThreadRefetch refetched;
  if (Outcome prepared = PrepareCacheServer(list.BoardUrlFromDir()); !prepared.IsOk()) {
    refetched.cacheServerWarning = prepared.Reason();
  }
  refetched.fetch = FetchThreadReplies(list, datName);
  const Update code = refetched.fetch.result.Code();
  if (code != Update::kOk && code != Update::kUnchanged) return refetched;
  const int row = list.IndexOfDat(datName);
  if (row < 0) {
    list.SetUnread(datName, -1, true);
  } else {
    list.RefreshRow(static_cast<std::size_t>(row));
    list.SetUnreadAt(static_cast<std::size_t>(row), datName, true, -1);
  }
  return refetched;
}

}  // namespace

ThreadRefetch RefetchThread(const std::string& boardDir, const std::string& datName,
                            SubjectList* shown) {
  if (boardDir.empty()) {
    ThreadRefetch nothing;
    nothing.fetch.result =
        UpdateResult(Update::kFailed, Sjis("エラー:スレッドが開かれていません."));
    return nothing;
  }
  if (shown != nullptr && shown->IsBound() && shown->Dir() == boardDir) {
    return FetchAndMarkRead(*shown, datName);
  }
  SubjectList list;
  list.Bind(SubjectIniPath(boardDir), BoardUrlOfLogDir(boardDir));
  return FetchAndMarkRead(list, datName);
}

}  // namespace velkor
