#include "threads/ThreadLogFetch.h"

#include <string>

#include "base/FileUtil.h"
#include "base/IniDocument.h"
#include "net/CacheServerUrl.h"
#include "net/Fetch.h"
#include "net/FetchContext.h"
#include "net/HttpSession.h"
#include "subjects/SubjectList.h"
#include "subjects/SubjectText.h"

namespace velkor {

bool UpdateThreadLog(SubjectList& list, std::string_view datName) {
  if (!list.IsBound()) return false;
  const IniDocument& ini = *list.Ini();
  long long resCount = ini.ReadInteger(datName, "ResCount", 0);
  long long gotCount = ini.ReadInteger(datName, "GotCount", 0);
  // A log removed behind the program's back is fetched again whatever its stored count says.
  bool stored = FileExists(list.Dir() + std::string(datName));
  if (resCount != 0 && gotCount >= resCount && stored) return false;
  return FetchThreadLog(list, datName);
}

bool FetchThreadLog(SubjectList& list, std::string_view datNameView) {
  const std::string datName(datNameView);
  if (!list.IsBound() || !IsThreadDatName(datName)) return false;
  const std::string dir = list.Dir();
  const std::string url = CacheServerUrl(list.BoardUrlFromDir()) + "dat/" + datName;
  const std::string path = dir + datName;
  std::string lastModified = list.Ini()->ReadString(datName, "LastModified", "");

  std::string log;
  bool stored = FileExists(path);
  if (stored) {
    auto bytes = ReadWholeFile(path);
    if (!bytes) return false;  // never replace a log that exists but cannot be read
    log = std::move(*bytes);
  }

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

  if (result != kFetchOk || log.empty()) return false;
  // The list may have been re-bound to another board while the download ran.
  if (!list.IsBound() || list.Dir() != dir) return false;
  if (!ReplaceFile(path, log)) return false;
  return list.StoreFetched(log, datName, true, lastModified);
}

}  // namespace velkor
