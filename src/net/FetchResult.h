#pragma once

#include <string>

#include "base/Result.h"

namespace velkor {

// What one fetch (FetchFull, FetchDifferential) and the steps that produce part of it
// (HttpSession::AwaitData, ReadResponseHeader) came to. The numbers are stable: the command line
// prints them.
enum class FetchResult : int {
  kOk = 0,              // new content (or updated log) delivered
  kNotModified = 1,     // 304
  kMoved = 2,           // 302 to another place
  kNoConnection = -1,   // no connection (Connect reported why), or a URL it cannot fetch
  kNotSent = -2,        // the request could not be sent
  kBodyAborted = -3,    // differential fetch: stopped while reading the body
  kReceiveFailed = -5,  // receive failure, early close, stop request, size limit
  kFailed = -6,         // time-out, overall time limit, unexpected status, malformed answer
  kGzipFailed = -7,     // the gzip body could not be decoded
};

// A fetch's result with, for every code but kOk and kNotModified, a one-line reason (CP932): the
// "エラー:" status text the fetch reported last, else FetchFailureText(code).
using FetchOutcome = Result<FetchResult>;

// The number the command line prints for a code.
inline int FetchResultNumber(FetchResult code) {
  return static_cast<int>(code);
}

// The reason given for a failed fetch that reported no "エラー:" text of its own: "移転しています."
// for kMoved, the connect, send, receive and gzip failure texts for their codes, otherwise
// "エラー:ダウンロードに失敗しました (<number>)". CP932.
std::string FetchFailureText(FetchResult code);

}  // namespace velkor
