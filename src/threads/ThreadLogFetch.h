#pragma once

// Fetching and storing thread logs. A thread's log is Dir() of its board's SubjectList followed by
// its dat name: the server's dat bytes with every zero byte stored as "*". The log is fetched whole
// the first time and differentially (from its last byte) afterwards, and rewritten whole,
// crash-safely, on every successful fetch together with GotCount, LastModified and DatSize in
// subject.ini.

#include <cstdint>
#include <string_view>

#include "subjects/UpdateResult.h"

namespace velkor {

class SubjectList;

// What one log fetch came to, for callers that need more than the result: how many replies the
// stored log gained, and whether it came from the board's archive.
struct ThreadFetchReport {
  UpdateResult result;
  // GotCount after the fetch minus GotCount before it (0 when it did not grow, or on failure).
  std::int32_t added = 0;
  // The dat answered 302 or 404 and the log was found in the archive (ArchiveUrl.h): it is stored
  // whole and the thread is marked past (SubjectList::MarkPast).
  bool fromArchive = false;
};

// Fetches only when needed: when ResCount is not 0, GotCount reaches it and the log exists, nothing
// is fetched and the result is kUnchanged; otherwise FetchThreadLog.
UpdateResult UpdateThreadLog(SubjectList& list, std::string_view datName);

// Always fetches the log of datName ("<key>.dat") of the list's board: differentially when the log
// exists, else whole (without gzip), from BoardUrlFromDir through CacheServerUrl + "dat/" +
// datName. On a new, non-empty log it replaces the file, stores the state (subject.ini written) and
// gives kOk, or kUnchanged when a differential answer brought no new byte. 304 gives kUnchanged
// and writes nothing; so does every failure (moved, failed, stopped, empty body, unbound list, a
// name that is not "<decimal>.dat": kFailed). A log or subject.ini that could not be written gives
// kNotWritten; subject.ini then never counts replies the log file does not hold. While it runs,
// list.RunningFetch() is its context. Status texts go through the standard status handler to Ui().
//
// When the dat answers 302 or 404 (for a range request: any status it cannot use), the board's
// archive (ArchiveLogUrl of the board URL) is asked next, on the same connection when it is still
// open: for the whole log when none is stored, else for a range with the same checks as a
// differential fetch, never conditionally. An archived log whose first line is no dat line is not
// taken. Found: the log and its state are stored as above, the thread is marked past, the status
// text "過去ログ倉庫から取得しました." is shown last, and the result is kOk (kUnchanged when the
// stored log was already complete). Not found: the result of the dat request, as without archive.
UpdateResult FetchThreadLog(SubjectList& list, std::string_view datName);

// FetchThreadLog, also telling how many replies came and whether the archive served them: what a
// caller that fetches a thread again on its own (a new-reply check, an automatic reload) reports.
ThreadFetchReport FetchThreadReplies(SubjectList& list, std::string_view datName);

}  // namespace velkor
