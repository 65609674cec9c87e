#pragma once

#include <string>

#include "net/HttpSession.h"

namespace velkor {

// Results of FetchFull and FetchDifferential.
inline constexpr int kFetchOk = 0;             // new content (or updated log) delivered
inline constexpr int kFetchNotModified = 1;    // 304
inline constexpr int kFetchMoved = 2;          // 302
inline constexpr int kFetchNoConnection = -1;  // Connect failed (it reported why)
inline constexpr int kFetchNotSent = -2;       // the request could not be sent
inline constexpr int kFetchBodyAborted = -3;   // differential fetch: stopped while reading the body
inline constexpr int kFetchReceiveFailed = -5;  // receive failure, early close, stop request, limit
inline constexpr int kFetchFailed = -6;         // three time-outs in a row, or an unexpected status
inline constexpr int kFetchGzipFailed = -7;     // the gzip body could not be decoded

// Downloads the whole resource at `url` (http://host/path) with one GET through `session`. Sends
// "If-Modified-Since:" + lastModified when lastModified is not empty, and asks for gzip when
// `acceptGzip` is set (a gzip answer is decoded either way; a chunked answer is unframed first).
// Results: kFetchOk for 200: `output` is replaced by the body with every zero byte as '*', and
// `lastModified` by the answer's Last-Modified value (leading blank kept; empty when missing).
// kFetchMoved (302, "移転しています."), kFetchNotModified (304, "更新されていません."),
// kFetchFailed for any other status ("code:<n>") and the negative results above. `lastModified` is
// replaced as soon as a 200 header is read, and `output` may hold partial data after a failure: use
// both only with kFetchOk. A gzip body that cannot be decoded is kept in LogDir()/gzip.dmp and
// clears `lastModified`. Answers above kMaxHeaderSize / kMaxBodySize fail with an "エラー:" text.
int FetchFull(HttpSession& session, const std::string& url, std::string& output,
              std::string& lastModified, bool acceptGzip);

// Brings the stored thread log `log` up to date from `url` with a range request that starts at the
// log's last byte. On kFetchOk the log holds the stored bytes plus the new ones (206 whose first
// byte is a line feed), or the whole new file (200, reported as "警告:差分取得できません"), and
// `lastModified` the answer's Last-Modified value. A 206 whose first byte is not a line feed, and a
// 416, report "ログ詰まりのため再取得します." and return what FetchFull (without If-Modified-Since
// and without gzip) returns into the same log. kFetchNotModified (304, "変更されていません.")
// leaves the log as it was; kFetchMoved (302) has no text; kFetchBodyAborted when stopped while the
// body is read. After a failure `log` and `lastModified` may be changed: use them only with
// kFetchOk.
int FetchDifferential(HttpSession& session, const std::string& url, std::string& log,
                      std::string& lastModified);

}  // namespace velkor
