#include "threads/ThreadLogFetch.h"

#include <string>

#include "app/UiHooks.h"
#include "base/FileUtil.h"
#include "base/IniDocument.h"
#include "base/Sjis.h"
#include "net/CacheServerUrl.h"
#include "net/Fetch.h"
#include "net/FetchContext.h"
#include "net/HttpSession.h"
#include "net/StatusTexts.h"
#include "subjects/SubjectList.h"
#include "subjects/SubjectText.h"
#include "subjects/ThreadState.h"
#include "subjects/UpdateReport.h"

namespace velkor {

bool UpdateThreadLog(SubjectList& list, std::string_view datName, UpdateReport* report) {
  if (report != nullptr) *report = UpdateReport{};
  if (!list.IsBound()) {
    if (report != nullptr) report->Fail(net_text::Aborted());
    return false;
  }
  // A log removed behind the program's back is fetched again whatever its stored count says.
  bool stored = FileExists(list.Dir() + std::string(datName));
  if (HoldsListedReplies(*list.Ini(), datName) && stored) return false;
  return FetchThreadLog(list, datName, report);
}

bool FetchThreadLog(SubjectList& list, std::string_view datNameView, UpdateReport* report) {
  UpdateReport local;
  UpdateReport& outcome = report != nullptr ? *report : local;
  outcome = UpdateReport{};
  static const std::string notAThread = Sjis("エラー:スレッドのログではありません");
  static const std::string unreadable = Sjis("エラー:ログを読めません");
  static const std::string emptyLog = Sjis("エラー:ログが空です");
  const std::string datName(datNameView);
  if (!list.IsBound() || !IsThreadDatName(datName)) {
    outcome.Fail(notAThread);
    return false;
  }
  const std::string dir = list.Dir();
  const std::string url = CacheServerUrl(list.BoardUrlFromDir()) + "dat/" + datName;
  const std::string path = dir + datName;
  std::string lastModified = ReadLastModified(*list.Ini(), datName);

  std::string log;
  bool stored = FileExists(path);
  if (stored) {
    auto bytes = ReadWholeFile(path);
    if (!bytes) {  // never replace a log that exists but cannot be read
      outcome.Fail(unreadable + ": " + path);
      return false;
    }
    log = std::move(*bytes);
  }
  const std::size_t storedSize = log.size();

  FetchContext context;
  // A fetch started while another runs for the board (the window stays live) hands the slot back
  // when it ends.
  FetchContext* previous = list.RunningFetch();
  list.SetRunningFetch(&context);
  int result;
  {
    HttpSession session;
    session.SetStatusHandler(&context, StandardStatusHandler);
    // An empty stored log has no last byte to continue from: fetch it whole.
    if (!log.empty()) {
      result = FetchDifferential(session, url, log, lastModified);
    } else {
      // Without a stored log the fetch is unconditional: a time stamp kept for a log that is gone
      // would be answered 304 and the thread could never be read again.
      lastModified.clear();
      result = FetchFull(session, url, log, lastModified, false);
    }
  }
  if (list.RunningFetch() == &context) list.SetRunningFetch(previous);

  if (result == kFetchNotModified) return false;
  if (result != kFetchOk) {
    outcome.Fail(FetchFailureText(result));
    return false;
  }
  if (log.empty()) {
    outcome.Fail(emptyLog);
    return false;
  }
  // The list may have been re-bound to another board while the download ran.
  if (!list.IsBound() || list.Dir() != dir) {
    outcome.Fail(net_text::Aborted());
    return false;
  }
  auto failWrite = [&outcome](const std::string& file) {
    outcome.Fail(WriteFailureText(file));
    Ui().SetStatusText(outcome.reason);
    return false;
  };
  if (!ReplaceFile(path, log)) return failWrite(path);
  if (!list.StoreFetched(log, datName, true, lastModified)) return failWrite(dir + "subject.ini");
  // A differential answer that brought no byte is "nothing new"; a whole answer always counts.
  const bool grew = !stored || log.size() != storedSize;
  outcome.outcome = grew ? UpdateOutcome::kUpdated : UpdateOutcome::kUnchanged;
  return true;
}

}  // namespace velkor
