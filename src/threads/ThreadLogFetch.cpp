#include "threads/ThreadLogFetch.h"

#include <cstdint>
#include <string>

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

namespace velkor {
namespace {

// Makes the thread's stored state agree with its log on disk: a process killed between writing the
// log and writing the state, or a log changed by hand, leaves GotCount and DatSize describing other
// bytes. They are then taken from the log, and LastModified is cleared, since it described those
// other bytes: the next request must not be answered "not modified". Writes subject.ini only when
// something changed (a failed write leaves the corrected state in memory; the fetch that follows
// writes it again). A thread without a log is fetched whole anyway.
void AgreeWithLog(SubjectList& list, const std::string& datName, std::string_view log) {
  const IniDocument& ini = *list.Ini();
  if (!ini.SectionExists(datName)) return;
  if (ini.ReadNumber<std::int64_t>(datName, "GotCount", 0) == CountLines(log) &&
      ini.ReadNumber<std::int64_t>(datName, "DatSize", 0) ==
          static_cast<std::int64_t>(log.size())) {
    return;
  }
  list.StoreFetched(log, datName, true, std::string());
}

}  // namespace

UpdateResult UpdateThreadLog(SubjectList& list, std::string_view datNameView) {
  if (!list.IsBound()) return {Update::kFailed, net_text::Aborted()};
  const std::string datName(datNameView);
  // A log removed behind the program's back is fetched again whatever its stored count says, and
  // one that holds fewer replies than the state claims is continued.
  const std::string path = list.Dir() + datName;
  bool stored = FileExists(path);
  if (stored && IsThreadDatName(datName)) {
    if (auto log = ReadWholeFile(path)) AgreeWithLog(list, datName, *log);
  }
  if (HoldsListedReplies(*list.Ini(), datName) && stored) return {Update::kUnchanged};
  return FetchThreadLog(list, datName);
}

UpdateResult FetchThreadLog(SubjectList& list, std::string_view datNameView) {
  static const std::string notAThread = Sjis("エラー:スレッドのログではありません");
  static const std::string unreadable = Sjis("エラー:ログを読めません");
  static const std::string emptyLog = Sjis("エラー:ログが空です");
  const std::string datName(datNameView);
  if (!list.IsBound() || !IsThreadDatName(datName)) return {Update::kFailed, notAThread};
  const std::string dir = list.Dir();
  const std::string url = CacheServerUrl(list.BoardUrlFromDir()) + "dat/" + datName;
  const std::string path = dir + datName;

  std::string log;
  bool stored = FileExists(path);
  if (stored) {
    auto bytes = ReadWholeFile(path);
    // Never replace a log that exists but cannot be read.
    if (!bytes) return {Update::kFailed, unreadable + ": " + path};
    log = std::move(*bytes);
  }
  if (stored) AgreeWithLog(list, datName, log);
  std::string lastModified = ReadLastModified(*list.Ini(), datName);
  const std::size_t storedSize = log.size();

  FetchContext context;
  // A fetch started while another runs for the board (the window stays live) hands the slot back
  // when it ends.
  FetchContext* previous = list.RunningFetch();
  list.SetRunningFetch(&context);
  FetchOutcome fetched;
  {
    HttpSession session;
    session.SetStatusHandler(&context, StandardStatusHandler);
    // An empty stored log has no last byte to continue from: fetch it whole.
    if (!log.empty()) {
      fetched = FetchDifferential(session, url, log, lastModified);
    } else {
      // Without a stored log the fetch is unconditional: a time stamp kept for a log that is gone
      // would be answered 304 and the thread could never be read again.
      lastModified.clear();
      fetched = FetchFull(session, url, log, lastModified, false);
    }
  }
  if (list.RunningFetch() == &context) list.SetRunningFetch(previous);

  if (fetched.Code() == FetchResult::kNotModified) return {Update::kUnchanged};
  if (!fetched.IsOk()) return {Update::kFailed, fetched.Reason()};
  if (log.empty()) return {Update::kFailed, emptyLog};
  // The list may have been re-bound to another board while the download ran.
  if (!list.IsBound() || list.Dir() != dir) return {Update::kFailed, net_text::Aborted()};
  if (!ReplaceFile(path, log)) return {Update::kNotWritten, WriteFailureText(path)};
  if (!list.StoreFetched(log, datName, true, lastModified)) {
    return {Update::kNotWritten, WriteFailureText(dir + "subject.ini")};
  }
  // A differential answer that brought no byte is "nothing new"; a whole answer always counts.
  const bool grew = !stored || log.size() != storedSize;
  return {grew ? Update::kOk : Update::kUnchanged};
}

}  // namespace velkor
