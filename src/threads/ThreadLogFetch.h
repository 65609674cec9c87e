#pragma once

// Fetching and storing thread logs. A thread's log is Dir() of its board's SubjectList followed by
// its dat name: the server's dat bytes with every zero byte stored as "*". The log is fetched whole
// the first time and differentially (from its last byte) afterwards, and rewritten whole,
// crash-safely, on every successful fetch together with GotCount, LastModified and DatSize in
// subject.ini.

#include <string_view>

#include "subjects/UpdateResult.h"

namespace velkor {

class SubjectList;

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
UpdateResult FetchThreadLog(SubjectList& list, std::string_view datName);

}  // namespace velkor
