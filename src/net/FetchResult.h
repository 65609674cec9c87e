#pragma once

namespace velkor {

// The result of one fetch (FetchFull, FetchDifferential) and of the steps that produce part of it
// (HttpSession::ReadResponseHeader). The numbers are stable: callers and the command line print
// them.
enum FetchResult : int {
  kFetchOk = 0,              // new content (or updated log) delivered
  kFetchNotModified = 1,     // 304
  kFetchMoved = 2,           // 302 to another place
  kFetchNoConnection = -1,   // no connection (Connect reported why), or a URL it cannot fetch
  kFetchNotSent = -2,        // the request could not be sent
  kFetchBodyAborted = -3,    // differential fetch: stopped while reading the body
  kFetchReceiveFailed = -5,  // receive failure, early close, stop request, size limit
  kFetchFailed = -6,         // time-out, overall time limit, unexpected status, malformed answer
  kFetchGzipFailed = -7,     // the gzip body could not be decoded
};

}  // namespace velkor
