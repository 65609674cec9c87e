#pragma once

// Fetching and storing thread logs. A thread's log is Dir() of its board's SubjectList followed by
// its dat name: the server's dat bytes with every zero byte stored as "*". The log is fetched whole
// the first time and differentially (from its last byte) afterwards, and rewritten whole,
// crash-safely, on every successful fetch together with GotCount, LastModified and DatSize in
// subject.ini.

#include <string_view>

namespace velkor {

class SubjectList;
struct UpdateReport;

// Fetches only when needed: when ResCount is not 0, GotCount reaches it and the log exists, nothing
// is fetched, the result is false and `report` says unchanged; otherwise FetchThreadLog.
bool UpdateThreadLog(SubjectList& list, std::string_view datName, UpdateReport* report = nullptr);

// Always fetches the log of datName ("<key>.dat") of the list's board: differentially when the log
// exists, else whole (without gzip), from BoardUrlFromDir through CacheServerUrl + "dat/" +
// datName. On a new, non-empty log it replaces the file, stores the state (subject.ini written) and
// returns true. Any other outcome (304, moved, failure, abort, empty body, unbound list, a name
// that is not "<decimal>.dat") writes nothing and returns false. A log or subject.ini that could
// not be written gives false and an "エラー:" text to Ui().SetStatusText; subject.ini then never
// counts replies the log file does not hold. While it runs, list.RunningFetch() is its context.
// Status texts go through the standard status handler to Ui(). `report` (may be null) tells
// updated (new bytes stored), unchanged (304, or an answer with nothing new) or failed with a
// reason.
bool FetchThreadLog(SubjectList& list, std::string_view datName, UpdateReport* report = nullptr);

}  // namespace velkor
