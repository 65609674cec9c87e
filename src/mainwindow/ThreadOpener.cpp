#include "mainwindow/ThreadOpener.h"

#include "subjects/SubjectList.h"
#include "subjects/ThreadState.h"
#include "threads/ThreadLogFetch.h"

namespace velkor {

ThreadOpener::ThreadOpener(Window window) : window_(std::move(window)) {}

void ThreadOpener::Open(const Request& request) {
  SubjectList* shown = window_.shownList();
  const bool throughShown = shown->IsBound() && shown->Dir() == request.boardDir;
  SubjectList own;
  if (!throughShown) own.Bind(SubjectIniPath(request.boardDir), request.boardUrl);
  SubjectList& list = throughShown ? *shown : own;
  window_.prepareCacheServer(request.boardUrl);
  const UpdateResult updated = UpdateThreadLog(list, request.datName);
  window_.unwritten(updated);
  // The download lets the window run: its list may have been bound to another board meanwhile.
  if (throughShown && (!shown->IsBound() || shown->Dir() != request.boardDir)) return;
  const int row = list.IndexOfDat(request.datName);
  const bool fetched = updated.Code() == Update::kOk || updated.Code() == Update::kUnchanged;
  if (fetched && row >= 0) list.RefreshRow(static_cast<std::size_t>(row));
  const ThreadItem item = list.ReadItem(request.datName);
  const std::string title = request.title.empty() ? item.title : request.title;
  window_.beforeShow();
  if (!fetched && item.gotCount <= 0) {
    Request again = request;
    again.where = TabChoice::kActiveTab;
    again.title = title;
    ThreadTabs().ShowFetchFailure(request.boardDir, request.datName, title, updated.Reason(),
                                  request.where, [this, again] { Open(again); });
    return;
  }
  const int firstUnread = list.UnreadOf(request.datName);
  if (row >= 0) {
    list.SetUnreadAt(static_cast<std::size_t>(row), request.datName, true, -1);
    if (throughShown) window_.rowChanged(row);
  } else {
    list.SetUnread(request.datName, -1, true);
  }
  ThreadTabs().OpenThread(request.boardDir, request.datName, request.anchor, firstUnread,
                          request.where, title);
}

}  // namespace velkor
