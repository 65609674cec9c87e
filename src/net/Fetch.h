#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "net/FetchResult.h"
#include "net/HttpRequest.h"
#include "net/HttpSession.h"

namespace velkor {

// Both fetches take an http:// or https:// URL (an explicit port is used; any other scheme fails
// with kNoConnection and "エラー:http/https以外のURLには対応していません"). A redirect (301,
// 302, 303, 307, 308) whose Location is the same URL with http turned into https is followed once,
// within the same fetch; every other redirect keeps the meaning given below. Each fetch, with its
// fallback or redirect, ends with kFailed and "タイムアウト." when the FetchTimeLimit setting
// passes (time read from CurrentClock()). `output` / `log` are left as they were by every result
// but kOk. The results are those of net/FetchResult.h, each failure with its reason.

// Downloads the whole resource at `url` with one GET through `session`. Sends
// "If-Modified-Since:" + lastModified when lastModified is not empty, and asks for gzip when
// `acceptGzip` is set (a gzip answer is decoded either way; a chunked answer is unframed first; a
// body in any other Content-Encoding is kFailed, "エラー:対応していない圧縮形式です").
// Results: kOk for 200: `output` is replaced by the body with every zero byte as '*', and
// `lastModified` by the answer's Last-Modified value (leading blank kept; empty when missing).
// kMoved (302, "移転しています."), kNotModified (304, "更新されていません."), kFailed for any
// other status ("code:<n>") or a Content-Length that is no number ("エラー:応答ヘッダが不正です"),
// and the negative results of net/FetchResult.h. `lastModified` is replaced as soon as a 200 header
// is read: use it only with kOk. A gzip body that cannot be
// decoded is kept in LogDir()/gzip.dmp and clears `lastModified`. Answers above kMaxHeaderSize /
// kMaxBodySize fail with an "エラー:" text.
FetchOutcome FetchFull(HttpSession& session, const std::string& url, std::string& output,
                       std::string& lastModified, bool acceptGzip);

// Brings the stored thread log `log` up to date from `url` with a range request that starts at the
// log's last byte. On kOk the log holds the stored bytes plus the new ones (206 whose first
// byte is a line feed), or the whole new file (200, reported as "警告:差分取得できません"; a gzip
// one is decoded as FetchFull does), and `lastModified` the answer's Last-Modified value. A 206
// that does not continue the stored log (first byte not a line feed; a Content-Range that does not
// start at the requested byte or whose total is below the stored size; a gzip-encoded range), and a
// 416, report "ログ詰まりのため再取得します." and return what FetchFull (without If-Modified-Since
// and without gzip) returns into the same log. kNotModified (304, "変更されていません.") leaves the
// log as it was; kMoved (302) has no text; kBodyAborted when stopped while the body is read. After
// a failure `lastModified` may be changed: use it only with kOk.
FetchOutcome FetchDifferential(HttpSession& session, const std::string& url, std::string& log,
                               std::string& lastModified);

// Sends one request through `session` and reads the whole answer, whatever its status: no
// redirect is followed and nothing is ever sent twice. A request other than GET and HEAD always
// goes over a new connection (a connection kept from an earlier answer may have been closed by the
// server meanwhile, and a request lost in it could not be told from one that arrived). The request
// asks the server to close after its answer, and the connection is closed when it has been read.
// The same waits, stop checks, overall deadline (FetchTimeLimit), size limits and trace as the
// fetches. The answer's body is unframed (chunked) and decoded (gzip, also unasked); zero bytes
// stay. kNotConnected and kNotSent mean that nothing reached the server; kNoAnswer that the
// request went out (whole or in part) and no whole, readable answer came back: it may have been
// acted on. The reason is the last "エラー:" text reported, else a general one.
RequestOutcome SendHttpRequest(HttpSession& session, const HttpRequest& request);

// The redirect a fetch follows: for an answer of status 301, 302, 303, 307 or 308 to a request for
// `url` ("http://REST") whose Location field is "https://REST" (the scheme in any letter case),
// that Location; otherwise empty.
std::string HttpsRedirectTarget(int status, std::string_view header, std::string_view url);

// One answer to FetchAnswer, whatever its status.
struct FetchedAnswer {
  int status = 0;
  std::string header;  // the header text, without the blank line (HttpSession's readers take it)
  // For status 200: the body as sent (unframed when chunked; zero bytes kept). Otherwise empty.
  std::string body;
};

// Looks at a 200 answer while it arrives: called with its header and the body so far once the
// header is read and after every piece. A non-empty text (an "エラー:" text) ends the fetch: it is
// reported, the connection closed, and the fetch fails with kFailed and that text as its reason.
using AnswerWatcher = std::function<std::string(std::string_view header, std::string_view body)>;

// Fetches `url` with one GET through `session` for content whose bytes must stay as they were
// sent (an image). The request asks for no content coding ("Accept-Encoding: identity") and a
// close after the answer, and carries "Referer: " + referer when `referer` is not empty (it must
// hold no control byte). Nothing is followed and no status judged: kOk when a final answer came,
// with its status and header in `answer`, and for status 200 its whole body, checked piece by
// piece by `watch` (may be empty) and never above kMaxBodySize. A body in a content coding other
// than identity fails (kFailed, "エラー:対応していない圧縮形式です"). Otherwise the failures,
// waits, stop checks, overall time limit and trace of FetchFull. `answer` is complete only on kOk.
FetchOutcome FetchAnswer(HttpSession& session, const std::string& url, const std::string& referer,
                         const AnswerWatcher& watch, FetchedAnswer& answer);

}  // namespace velkor
