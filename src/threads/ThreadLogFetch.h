#pragma once

// Fetching and storing thread logs. A thread's log is Dir() of its board's SubjectList followed by
// its dat name: the server's dat bytes with every zero byte stored as "*". The log is fetched whole
// the first time and differentially (from its last byte) afterwards, and rewritten whole,
// crash-safely, on every successful fetch together with GotCount, LastModified and DatSize in
// subject.ini.

#include <string_view>

namespace velkor {

class SubjectList;

// Fetches only when needed: when ResCount is not 0 and GotCount reaches it, nothing is fetched and
// the result is false; otherwise the result of FetchThreadLog.
bool UpdateThreadLog(SubjectList& list, std::string_view datName);

// Always fetches the log of datName ("<key>.dat") of the list's board: differentially when the log
// exists, else whole (without gzip), from BoardUrlFromDir through CacheServerUrl + "dat/" +
// datName. On a new, non-empty log it replaces the file, stores the state (subject.ini written) and
// returns true. Any other outcome (304, moved, failure, abort, empty body, unbound list, a name
// that is not
// "<decimal>.dat") writes nothing and returns false. While it runs, list.RunningFetch() is its
// context. Status texts go through the standard status handler to Ui().
bool FetchThreadLog(SubjectList& list, std::string_view datName);

}  // namespace velkor
