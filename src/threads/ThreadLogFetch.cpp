#include "threads/ThreadLogFetch.h"

#include <algorithm>
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
#include "threads/ArchiveUrl.h"

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

// A fetch context that also remembers the last status text its fetch reported.
struct WatchedContext : FetchContext {
  std::string lastText;
};

int WatchingStatusHandler(const char* message, void* context, std::int32_t received,
                          std::int32_t total) {
  if (message != nullptr && context != nullptr) {
    static_cast<WatchedContext*>(static_cast<FetchContext*>(context))->lastText = message;
  }
  return StandardStatusHandler(message, context, received, total);
}

const std::string& FromArchiveText() {
  static const std::string text = Sjis("過去ログ倉庫から取得しました.");
  return text;
}

// True when the dat's answer says the thread is no longer served under dat/: a 302, or a 404.
// A whole fetch reports a 404 as "code:404"; a range fetch reports no text for a status it cannot
// use, so its failure right after the request was sent stands for such a status.
bool GoneFromTheList(const FetchOutcome& fetched, const WatchedContext& context,
                     bool differential) {
  static const std::string notFound = "code:404";
  if (fetched.Code() == FetchResult::kMoved) return true;
  if (fetched.Code() != FetchResult::kFailed) return false;
  return context.lastText == notFound ||
         (differential && context.lastText == net_text::SendingRequest());
}

// True when `log` starts with a dat line: its first line holds the "<>" field separator.
bool LooksLikeDat(std::string_view log) {
  return log.substr(0, log.find('\n')).find("<>") != std::string_view::npos;
}

// Asks the board's archive for the log: whole when none is stored, else from the stored log's last
// byte (never conditionally: the stored time stamp belongs to the dat's answers). On true `log` and
// `lastModified` hold the archived log and its time stamp; on false both are left as they were.
bool FetchFromArchive(HttpSession& session, const std::string& boardUrl, const std::string& datName,
                      std::string& log, std::string& lastModified) {
  auto archiveUrl = ArchiveLogUrl(boardUrl, datName);
  if (!archiveUrl.IsOk()) return false;
  std::string archived = log;
  std::string archiveModified;
  FetchOutcome fetched =
      archived.empty() ? FetchFull(session, archiveUrl.Value(), archived, archiveModified, false)
                       : FetchDifferential(session, archiveUrl.Value(), archived, archiveModified);
  if (!fetched.IsOk() || !LooksLikeDat(archived)) return false;
  log = std::move(archived);
  lastModified = std::move(archiveModified);
  return true;
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

UpdateResult FetchThreadLog(SubjectList& list, std::string_view datName) {
  return FetchThreadReplies(list, datName).result;
}

ThreadFetchReport FetchThreadReplies(SubjectList& list, std::string_view datNameView) {
  static const std::string notAThread = Sjis("エラー:スレッドのログではありません");
  static const std::string unreadable = Sjis("エラー:ログを読めません");
  static const std::string emptyLog = Sjis("エラー:ログが空です");
  const std::string datName(datNameView);
  if (!list.IsBound() || !IsThreadDatName(datName)) return {{Update::kFailed, notAThread}};
  const std::string dir = list.Dir();
  const std::string boardUrl = list.BoardUrlFromDir();
  const std::string url = CacheServerUrl(boardUrl) + "dat/" + datName;
  const std::string path = dir + datName;

  std::string log;
  bool stored = FileExists(path);
  if (stored) {
    auto bytes = ReadWholeFile(path);
    // Never replace a log that exists but cannot be read.
    if (!bytes) return {{Update::kFailed, unreadable + ": " + path}};
    log = std::move(*bytes);
  }
  if (stored) AgreeWithLog(list, datName, log);
  std::string lastModified = ReadLastModified(*list.Ini(), datName);
  const std::size_t storedSize = log.size();
  const std::int32_t storedCount = stored ? CountLines(log) : 0;

  WatchedContext context;
  // A fetch started while another runs for the board (the window stays live) hands the slot back
  // when it ends.
  FetchContext* previous = list.RunningFetch();
  list.SetRunningFetch(&context);
  FetchOutcome fetched;
  bool fromArchive = false;
  {
    HttpSession session;
    session.SetStatusHandler(static_cast<FetchContext*>(&context), WatchingStatusHandler);
    // An empty stored log has no last byte to continue from: fetch it whole.
    const bool differential = !log.empty();
    if (differential) {
      fetched = FetchDifferential(session, url, log, lastModified);
    } else {
      // Without a stored log the fetch is unconditional: a time stamp kept for a log that is gone
      // would be answered 304 and the thread could never be read again.
      lastModified.clear();
      fetched = FetchFull(session, url, log, lastModified, false);
    }
    if (GoneFromTheList(fetched, context, differential)) {
      fromArchive = FetchFromArchive(session, boardUrl, datName, log, lastModified);
    }
  }
  if (list.RunningFetch() == &context) list.SetRunningFetch(previous);

  if (!fromArchive) {
    if (fetched.Code() == FetchResult::kNotModified) return {{Update::kUnchanged}};
    if (!fetched.IsOk()) return {{Update::kFailed, fetched.Reason()}};
  }
  if (log.empty()) return {{Update::kFailed, emptyLog}};
  // The list may have been re-bound to another board while the download ran.
  if (!list.IsBound() || list.Dir() != dir) return {{Update::kFailed, net_text::Aborted()}};
  const std::string iniPath = dir + "subject.ini";
  if (!ReplaceFile(path, log)) return {{Update::kNotWritten, WriteFailureText(path)}};
  if (!list.StoreFetched(log, datName, !fromArchive, lastModified)) {
    return {{Update::kNotWritten, WriteFailureText(iniPath)}};
  }
  if (fromArchive && !list.MarkPast(datName, true)) {
    return {{Update::kNotWritten, WriteFailureText(iniPath)}};
  }
  // A differential answer that brought no byte is "nothing new"; a whole answer always counts.
  const bool grew = !stored || log.size() != storedSize;
  ThreadFetchReport report{{grew ? Update::kOk : Update::kUnchanged}};
  report.added = std::max(0, CountLines(log) - storedCount);
  report.fromArchive = fromArchive;
  if (fromArchive) StandardStatusHandler(FromArchiveText().c_str(), &context, 0, 0);
  return report;
}

}  // namespace velkor
