#include "net/Fetch.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>

#include "app/DataDir.h"
#include "app/Settings.h"
#include "base/FileUtil.h"
#include "base/Integer.h"
#include "base/Sjis.h"
#include "net/ChunkDecoder.h"
#include "net/Gunzip.h"
#include "net/HttpUrl.h"
#include "net/StatusTexts.h"

namespace velkor {
namespace {

constexpr std::uint64_t kUnknownLength = std::numeric_limits<std::uint64_t>::max();

// The body of one answer while it is read: how much was announced, how much came off the wire, and
// the chunked framing when the answer uses it.
struct Body {
  std::uint64_t length = kUnknownLength;
  std::uint64_t received = 0;
  bool chunked = false;
  ChunkDecoder chunks;

  bool Complete() const { return chunked ? chunks.Done() : received >= length; }
  std::int32_t Total() const {
    return length == kUnknownLength ? -1 : static_cast<std::int32_t>(length);
  }
};

// The largest length or range number read: as far as they have always been read.
constexpr std::int64_t kLargestNumber = std::int64_t{kMaxBodySize} * 1024 * 10 + 9;

// Reads a decimal number without sign; false for anything else (also for an empty text).
bool ParseDecimal(std::string_view text, std::uint64_t& value) {
  auto number = ParseInteger(text, 0, kLargestNumber, IntegerSyntax::kDigits);
  if (!number) return false;
  value = static_cast<std::uint64_t>(*number);
  return true;
}

// The body framing of a 200 or 206 answer. False for a Content-Length that is no decimal number
// (after reporting it and closing the connection): such an answer is a failure, not an empty body.
bool BodyOf(HttpSession& session, std::string_view header, Body& body) {
  body.chunked = HttpSession::IsChunked(header);
  if (body.chunked || !HttpSession::HasContentLength(header)) return true;
  if (!ParseDecimal(HttpSession::ContentLengthValue(header), body.length)) {
    session.ReportStatus(net_text::BadHeader());
    session.Close();
    return false;
  }
  return true;
}

// Takes raw body bytes in: counts them, unframes them when chunked, and appends the content (never
// more than an announced length) to `content`. On a limit or framing fault reports it, closes the
// connection and returns FetchResult::kReceiveFailed; else FetchResult::kOk.
FetchResult TakeIn(HttpSession& session, Body& body, std::string_view raw, std::string& content) {
  std::uint64_t before = body.received;
  body.received += raw.size();
  if (body.received > kMaxBodySize) {
    session.ReportStatus(net_text::BodyTooLarge());
    session.Close();
    return FetchResult::kReceiveFailed;
  }
  if (body.chunked) {
    if (body.chunks.Feed(raw, content)) return FetchResult::kOk;
    session.ReportStatus(net_text::BadChunks());
    session.Close();
    return FetchResult::kReceiveFailed;
  }
  if (body.received > body.length) {
    raw = raw.substr(0, static_cast<std::size_t>(body.length > before ? body.length - before : 0));
  }
  content.append(raw);
  return FetchResult::kOk;
}

// Waits for the next piece (as HttpSession::AwaitData, reporting "タイムアウト.") and receives at
// most `size` bytes into `piece`, setting `n` to the byte count (0: the server closed). A failure
// is reported, the connection closed, and its result returned; else kOk.
FetchResult NextPiece(HttpSession& session, char* piece, int size, int& n) {
  if (FetchResult waited = session.AwaitData(true); waited != FetchResult::kOk) return waited;
  n = session.Receive(piece, size);
  if (n < 0) {
    session.ReportStatus(net_text::ReceiveFailed());
    session.Close();
    return FetchResult::kReceiveFailed;
  }
  return FetchResult::kOk;
}

FetchResult EndedEarly(HttpSession& session) {
  session.ReportStatus(net_text::ReceiveFailed());
  session.Close();
  return FetchResult::kReceiveFailed;
}

// The most room made ahead for an announced body: a real log fits, and a server announcing more
// than it sends cannot make every fetch hold a large buffer for nothing.
constexpr std::uint64_t kMostReservedAhead = 8 * 1024 * 1024;

// Asked after every piece with the content so far: false ends the read with kFailed (the watcher
// has reported why and closed the connection).
using ContentWatcher = std::function<bool(std::string_view content)>;

// Reads the body to its end: the announced length, the end of the chunked framing, or (with
// neither) the server's close. A close before an announced end is a receive failure. A stop request
// after a piece reports "中断しました." and gives `abortResult`.
FetchResult ReadRest(HttpSession& session, Body& body, std::string& content, bool replaceZeros,
                     FetchResult abortResult, const ContentWatcher& watch = {}) {
  // Room for an announced body at once, so a large log is not copied each time its buffer doubles.
  if (!body.chunked && body.length != kUnknownLength && body.length > body.received) {
    content.reserve(content.size() + static_cast<std::size_t>(std::min(body.length - body.received,
                                                                       kMostReservedAhead)));
  }
  char piece[kReceiveChunk];
  while (!body.Complete()) {
    int n = 0;
    if (FetchResult got = NextPiece(session, piece, kReceiveChunk, n); got != FetchResult::kOk) {
      return got;
    }
    if (n == 0) {
      if (body.chunked || body.length != kUnknownLength) return EndedEarly(session);
      break;
    }
    if (replaceZeros) std::replace(piece, piece + n, '\0', '*');
    FetchResult taken =
        TakeIn(session, body, std::string_view(piece, static_cast<std::size_t>(n)), content);
    if (taken != FetchResult::kOk) return taken;
    if (watch && !watch(content)) return FetchResult::kFailed;
    if (session.ReportProgress(static_cast<std::int32_t>(body.received), body.Total()) != 0) {
      session.ReportStatus(net_text::Aborted());
      session.Close();
      return abortResult;
    }
  }
  return FetchResult::kOk;
}

std::string RequestHead(const HttpUrl& target) {
  std::string request = "GET " + target.target + " HTTP/1.1\r\n";
  request += "Host: " + HostField(target) + "\r\n";
  request += "User-Agent: " + AppSettings().userAgent + "\r\n";
  return request;
}

// Gives the whole of one fetch its overall time limit (the FetchTimeLimit setting) unless an outer
// fetch on the same session (a fallback, a redirect) already set one.
class DeadlineScope {
 public:
  explicit DeadlineScope(HttpSession& session) : session_(session), owner_(!session.HasDeadline()) {
    int seconds = AppSettings().fetchTimeLimit;
    if (owner_ && seconds > 0) {
      session.SetDeadline(CurrentClock().Now() + std::chrono::seconds(seconds));
    }
  }
  ~DeadlineScope() {
    if (owner_) session_.SetDeadline(std::nullopt);
  }
  DeadlineScope(const DeadlineScope&) = delete;
  DeadlineScope& operator=(const DeadlineScope&) = delete;

 private:
  HttpSession& session_;
  bool owner_;
};

enum class Encoding { kNone, kGzip, kUnknown };

// How a 200 or 206 body is encoded: gzip when IsGzip says so or a Content-Encoding field (any
// letter case) names gzip; unknown for any other encoding but identity, which is reported (and the
// connection closed): such a body is never stored.
Encoding BodyEncoding(HttpSession& session, std::string_view header) {
  std::string value = AsciiLowerCopy(HttpSession::FieldValue(header, "Content-Encoding"));
  if (HttpSession::IsGzip(header) || value == "gzip" || value == "x-gzip") return Encoding::kGzip;
  if (value.empty() || value == "identity") return Encoding::kNone;
  session.ReportStatus(net_text::UnknownEncoding());
  session.Close();
  return Encoding::kUnknown;
}

// Takes the URL apart and connects to it. False (after a status text) when that fails.
bool Open(HttpSession& session, const std::string& url, HttpUrl& target) {
  switch (ParseHttpUrl(url, target)) {
    case HttpUrlStatus::kOk:
      return session.Connect(target.host, target.port, target.tls).IsOk();
    case HttpUrlStatus::kUnsupportedScheme:
      session.ReportStatus(net_text::UnsupportedScheme());
      return false;
    case HttpUrlStatus::kMalformed:
      break;
  }
  session.ReportStatus(net_text::HostLookupFailed());
  return false;
}

// Decodes a gzip body into `output` (left as it was on failure). A body that cannot be decoded is
// kept in LogDir()/gzip.dmp and clears `lastModified`.
FetchResult DecodeGzip(HttpSession& session, const std::string& raw, std::string& output,
                       std::string& lastModified) {
  session.ReportStatus(net_text::GzipDecoding());
  std::string decoded;
  GunzipResult result = Gunzip(raw, decoded);
  if (result == GunzipResult::kOk) {
    output = std::move(decoded);
    session.ReportStatus(net_text::Ok());
    session.Trace(output);
    return FetchResult::kOk;
  }
  lastModified.clear();
  if (result == GunzipResult::kTooLarge) {
    session.ReportStatus(net_text::DecodedTooLarge());
    return FetchResult::kGzipFailed;
  }
  session.ReportStatus(net_text::GzipFailed());
  ReplaceFile(LogDir() + "/gzip.dmp", raw);
  return FetchResult::kGzipFailed;
}

// True when a Content-Range value ("bytes FIRST-LAST/TOTAL", TOTAL may be "*", nothing else between
// the unit and the numbers) answers a request that started at `first` for a log of `stored` bytes:
// the same first byte, and a total that leaves the stored bytes inside the file.
bool RangeFits(std::string_view value, std::uint64_t first, std::uint64_t stored) {
  constexpr std::string_view kUnit = "bytes ";
  if (value.size() <= kUnit.size() ||
      !EqualsIgnoreAsciiCase(value.substr(0, kUnit.size()), kUnit)) {
    return false;
  }
  value.remove_prefix(kUnit.size());
  std::size_t dash = value.find('-');
  std::size_t slash = value.find('/');
  std::uint64_t from = 0;
  std::uint64_t to = 0;
  std::uint64_t total = 0;
  if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash ||
      !ParseDecimal(value.substr(0, dash), from) ||
      !ParseDecimal(value.substr(dash + 1, slash - dash - 1), to) || from != first || to < from) {
    return false;
  }
  std::string_view length = value.substr(slash + 1);
  return length == "*" || (ParseDecimal(length, total) && total > to && total >= stored);
}

FetchResult Full(HttpSession& session, const std::string& url, std::string& output,
                 std::string& lastModified, bool acceptGzip, bool mayRedirect);

FetchResult Differential(HttpSession& session, const std::string& url, std::string& log,
                         std::string& lastModified, bool mayRedirect);

// Gives up the differential fetch for a full one that replaces the whole log.
FetchResult Refetch(HttpSession& session, const std::string& url, std::string& log,
                    std::string& lastModified) {
  session.ReportStatus(net_text::Refetching());
  session.Close();
  lastModified.clear();
  return Full(session, url, log, lastModified, false, false);
}

FetchResult Full(HttpSession& session, const std::string& url, std::string& output,
                 std::string& lastModified, bool acceptGzip, bool mayRedirect) {
  HttpUrl target;
  if (!Open(session, url, target))
    return session.OverallTimeUp() ? FetchResult::kFailed : FetchResult::kNoConnection;
  session.ReportStatus(url);
  std::string request = RequestHead(target) + "Connection: close\r\n";
  if (!lastModified.empty()) request += "If-Modified-Since:" + lastModified + "\r\n";
  if (acceptGzip) request += "Accept-Encoding: gzip\r\n";
  request += "\r\n";
  if (!session.SendRequest(request).IsOk()) {
    return session.OverallTimeUp() ? FetchResult::kFailed : FetchResult::kNotSent;
  }

  std::string header;
  std::string early;
  FetchResult read = session.ReadResponseHeader(false, false, header, early);
  if (read != FetchResult::kOk) return read;
  int status = HttpSession::StatusCode(header);
  if (std::string https = mayRedirect ? HttpsRedirectTarget(status, header, url) : std::string();
      !https.empty()) {
    session.Close();  // its body is not read
    return Full(session, https, output, lastModified, acceptGzip, false);
  }
  if (status == 302) {
    session.ReportStatus(net_text::Moved());
    session.Close();  // its body is not read
    return FetchResult::kMoved;
  }
  if (status == 304) {
    session.ReportStatus(net_text::NotUpdated());
    session.NoteConnectionClose(header);
    return FetchResult::kNotModified;
  }
  if (status != 200) {
    session.ReportStatus("code:" + std::to_string(status));
    session.Close();
    return FetchResult::kFailed;
  }

  lastModified = HttpSession::LastModifiedField(header);
  Body body;
  if (!BodyOf(session, header, body)) return FetchResult::kFailed;
  Encoding encoding = BodyEncoding(session, header);
  if (encoding == Encoding::kUnknown) return FetchResult::kFailed;
  bool gzip = encoding == Encoding::kGzip;
  session.NoteConnectionClose(header);
  std::string raw;
  FetchResult result = TakeIn(session, body, early, raw);
  if (result == FetchResult::kOk)
    result = ReadRest(session, body, raw, false, FetchResult::kReceiveFailed);
  if (result != FetchResult::kOk) return result;

  if (gzip) return DecodeGzip(session, raw, output, lastModified);
  std::replace(raw.begin(), raw.end(), '\0', '*');
  output = std::move(raw);
  session.ReportStatus(net_text::Ok());
  return FetchResult::kOk;
}

FetchResult Differential(HttpSession& session, const std::string& url, std::string& log,
                         std::string& lastModified, bool mayRedirect) {
  if (log.empty()) {
    // Nothing stored to continue from.
    lastModified.clear();
    return Full(session, url, log, lastModified, false, mayRedirect);
  }
  HttpUrl target;
  if (!Open(session, url, target))
    return session.OverallTimeUp() ? FetchResult::kFailed : FetchResult::kNoConnection;
  session.ReportStatus(url);
  std::string request = RequestHead(target);
  if (!lastModified.empty()) request += "If-Modified-Since:" + lastModified + "\r\n";
  request += "Range: bytes=" + std::to_string(log.size() - 1) + "-\r\n\r\n";
  if (!session.SendRequest(request).IsOk()) {
    return session.OverallTimeUp() ? FetchResult::kFailed : FetchResult::kNotSent;
  }

  std::string header;
  std::string early;
  // Zero bytes are replaced below: not in a gzip body, which is decoded first.
  FetchResult read = session.ReadResponseHeader(false, true, header, early);
  if (read != FetchResult::kOk) return read;
  std::replace(header.begin(), header.end(), '\0', '*');
  int status = HttpSession::StatusCode(header);
  lastModified = HttpSession::LastModifiedField(header);
  session.NoteConnectionClose(header);
  if (std::string https = mayRedirect ? HttpsRedirectTarget(status, header, url) : std::string();
      !https.empty()) {
    session.Close();  // its body is not read
    return Differential(session, https, log, lastModified, false);
  }
  bool body200or206 = status == 200 || status == 206;
  Encoding encoding = body200or206 ? BodyEncoding(session, header) : Encoding::kNone;
  if (encoding == Encoding::kUnknown) return FetchResult::kFailed;
  bool gzip = encoding == Encoding::kGzip;
  if (!gzip) std::replace(early.begin(), early.end(), '\0', '*');
  Body body;
  if (body200or206 && !BodyOf(session, header, body)) return FetchResult::kFailed;

  switch (status) {
    case 206: {
      // A compressed range is a range of the compressed file: useless for the stored log.
      if (gzip) return Refetch(session, url, log, lastModified);
      std::string range = HttpSession::FieldValue(header, "Content-Range");
      if (!range.empty() && !RangeFits(range, log.size() - 1, log.size())) {
        return Refetch(session, url, log, lastModified);
      }
      std::string content;
      FetchResult result = TakeIn(session, body, early, content);
      if (result != FetchResult::kOk) return result;
      char piece[kReceiveChunk];
      // The first byte may come on its own; a chunked answer may need several pieces for it.
      while (content.empty()) {
        if (body.Complete()) return EndedEarly(session);
        int n = 0;
        result = NextPiece(session, piece, body.chunked ? kReceiveChunk : 1, n);
        if (result != FetchResult::kOk) return result;
        if (n == 0) return EndedEarly(session);
        std::replace(piece, piece + n, '\0', '*');
        result =
            TakeIn(session, body, std::string_view(piece, static_cast<std::size_t>(n)), content);
        if (result != FetchResult::kOk) return result;
      }
      if (content[0] != '\n') return Refetch(session, url, log, lastModified);
      content.erase(0, 1);
      result = ReadRest(session, body, content, true, FetchResult::kBodyAborted);
      if (result != FetchResult::kOk) return result;
      log += content;
      break;
    }
    case 200: {
      std::string content;
      FetchResult result = TakeIn(session, body, early, content);
      if (result != FetchResult::kOk) return result;
      session.ReportStatus(net_text::NoDifferential());
      result = ReadRest(session, body, content, !gzip, FetchResult::kBodyAborted);
      if (result != FetchResult::kOk) return result;
      if (gzip) return DecodeGzip(session, content, log, lastModified);
      log = std::move(content);
      break;
    }
    case 302:
      session.Close();  // its body is not read
      return FetchResult::kMoved;
    case 304:
      session.ReportStatus(net_text::NotChanged());
      return FetchResult::kNotModified;
    case 416:
      return Refetch(session, url, log, lastModified);
    default:
      session.Close();
      return FetchResult::kFailed;
  }
  session.ReportStatus(net_text::Ok());
  return FetchResult::kOk;
}

// The result with its reason: the last "エラー:" text this fetch reported, else the general one.
FetchOutcome WithReason(const HttpSession& session, FetchResult code) {
  if (code == FetchResult::kOk || code == FetchResult::kNotModified) return {code};
  return {code, session.LastError().empty() ? FetchFailureText(code) : session.LastError()};
}

}  // namespace

std::string FetchFailureText(FetchResult code) {
  switch (code) {
    case FetchResult::kMoved:
      return net_text::Moved();
    case FetchResult::kNoConnection:
      return net_text::ConnectFailed();
    case FetchResult::kNotSent:
      return net_text::SendFailed();
    case FetchResult::kBodyAborted:
    case FetchResult::kReceiveFailed:
      return net_text::ReceiveFailed();
    case FetchResult::kGzipFailed:
      return net_text::GzipFailed();
    default:
      return net_text::DownloadFailed() + std::to_string(FetchResultNumber(code)) + ")";
  }
}

namespace {

bool HasControlByte(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

}  // namespace

std::string HttpsRedirectTarget(int status, std::string_view header, std::string_view url) {
  if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308) return {};
  constexpr std::string_view kHttp = "http://";
  constexpr std::string_view kHttps = "https://";
  std::string location = HttpSession::FieldValue(header, "Location");
  if (url.size() <= kHttp.size() || !EqualsIgnoreAsciiCase(url.substr(0, kHttp.size()), kHttp) ||
      location.size() <= kHttps.size() ||
      !EqualsIgnoreAsciiCase(std::string_view(location).substr(0, kHttps.size()), kHttps) ||
      std::string_view(location).substr(kHttps.size()) != url.substr(kHttp.size()) ||
      HasControlByte(location) || location.find(' ') != std::string::npos) {
    return {};
  }
  return location;
}

namespace {

bool IsMethod(std::string_view method) {
  return !method.empty() && std::all_of(method.begin(), method.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  });
}

// The answer of a request once its header has been read: the body read, unframed and decoded.
RequestOutcome ReadAnswer(HttpSession& session, const HttpRequest& request, std::string header,
                          std::string early) {
  const auto noAnswer = [&session] {
    return RequestOutcome(RequestReach::kNoAnswer,
                          session.LastError().empty() ? net_text::NoAnswer() : session.LastError());
  };
  HttpResponse answer;
  answer.status = HttpSession::StatusCode(header);
  answer.fields = ParseHeaderFields(header);
  const bool bodiless = request.method == "HEAD" || answer.status == 204 || answer.status == 304 ||
                        (answer.status >= 100 && answer.status < 200);
  if (!bodiless) {
    Body body;
    const Encoding encoding = BodyEncoding(session, header);
    if (encoding == Encoding::kUnknown || !BodyOf(session, header, body)) return noAnswer();
    std::string raw;
    if (TakeIn(session, body, early, raw) != FetchResult::kOk ||
        ReadRest(session, body, raw, false, FetchResult::kReceiveFailed) != FetchResult::kOk) {
      return noAnswer();
    }
    if (encoding == Encoding::kGzip) {
      session.ReportStatus(net_text::GzipDecoding());
      GunzipResult decoded = Gunzip(raw, answer.body, kMaxBodySize, true);
      if (decoded != GunzipResult::kOk) {
        session.ReportStatus(decoded == GunzipResult::kTooLarge ? net_text::DecodedTooLarge()
                                                                : net_text::GzipFailed());
        session.Close();
        return noAnswer();
      }
    } else {
      answer.body = std::move(raw);
    }
  }
  session.ReportStatus(net_text::Ok());
  session.Close();
  return answer;
}

}  // namespace

RequestOutcome SendHttpRequest(HttpSession& session, const HttpRequest& request) {
  DeadlineScope deadline(session);
  session.ForgetLastError();
  bool fieldsOk = IsMethod(request.method);
  for (const auto& [name, value] : request.fields) {
    fieldsOk = fieldsOk && !name.empty() && name.find(':') == std::string::npos &&
               !HasControlByte(name) && !HasControlByte(value);
  }
  if (!fieldsOk) {
    session.ReportStatus(net_text::BadRequestField());
    return {RequestReach::kNotConnected, net_text::BadRequestField()};
  }
  if (request.method != "GET" && request.method != "HEAD") session.Close();
  HttpUrl target;
  if (!Open(session, request.url, target)) {
    return {RequestReach::kNotConnected,
            session.LastError().empty() ? net_text::ConnectFailed() : session.LastError()};
  }
  session.ReportStatus(request.url);
  std::string text = request.method + " " + target.target + " HTTP/1.1\r\n";
  text += "Host: " + HostField(target) + "\r\n";
  text += "User-Agent: " + AppSettings().userAgent + "\r\n";
  text += "Connection: close\r\n";
  for (const auto& [name, value] : request.fields) text += name + ": " + value + "\r\n";
  if (!request.body.empty() || request.method == "POST") {
    text += "Content-Length: " + std::to_string(request.body.size()) + "\r\n";
  }
  text += "\r\n";
  text += request.body;
  if (Outcome sent = session.SendRequest(text); !sent.IsOk()) {
    session.Close();
    return {session.BytesSent() == 0 ? RequestReach::kNotSent : RequestReach::kNoAnswer,
            session.LastError().empty() ? net_text::SendFailed() : session.LastError()};
  }
  std::string header;
  std::string early;
  if (session.ReadResponseHeader(false, true, header, early) != FetchResult::kOk) {
    return {RequestReach::kNoAnswer,
            session.LastError().empty() ? net_text::NoAnswer() : session.LastError()};
  }
  return ReadAnswer(session, request, std::move(header), std::move(early));
}

FetchOutcome FetchFull(HttpSession& session, const std::string& url, std::string& output,
                       std::string& lastModified, bool acceptGzip) {
  DeadlineScope deadline(session);
  session.ForgetLastError();
  return WithReason(session, Full(session, url, output, lastModified, acceptGzip, true));
}

FetchOutcome FetchDifferential(HttpSession& session, const std::string& url, std::string& log,
                               std::string& lastModified) {
  DeadlineScope deadline(session);
  session.ForgetLastError();
  return WithReason(session, Differential(session, url, log, lastModified, true));
}

namespace {

FetchResult Answer(HttpSession& session, const std::string& url, const std::string& referer,
                   const AnswerWatcher& watch, FetchedAnswer& answer) {
  HttpUrl target;
  if (!Open(session, url, target)) {
    return session.OverallTimeUp() ? FetchResult::kFailed : FetchResult::kNoConnection;
  }
  session.ReportStatus(url);
  std::string request = RequestHead(target);
  if (!referer.empty()) request += "Referer: " + referer + "\r\n";
  request += "Accept-Encoding: identity\r\nConnection: close\r\n\r\n";
  if (!session.SendRequest(request).IsOk()) {
    return session.OverallTimeUp() ? FetchResult::kFailed : FetchResult::kNotSent;
  }
  std::string early;
  FetchResult result = session.ReadResponseHeader(false, false, answer.header, early);
  if (result != FetchResult::kOk) return result;
  answer.status = HttpSession::StatusCode(answer.header);
  answer.body.clear();
  if (answer.status != 200) {
    session.Close();  // its body is not read
    return FetchResult::kOk;
  }
  Body body;
  if (!BodyOf(session, answer.header, body)) return FetchResult::kFailed;
  const Encoding encoding = BodyEncoding(session, answer.header);
  if (encoding == Encoding::kUnknown) return FetchResult::kFailed;
  if (encoding == Encoding::kGzip) {
    session.ReportStatus(net_text::UnknownEncoding());
    session.Close();
    return FetchResult::kFailed;
  }
  const ContentWatcher watchContent = [&](std::string_view content) {
    const std::string refusal = watch ? watch(answer.header, content) : std::string();
    if (refusal.empty()) return true;
    session.ReportStatus(refusal);
    session.Close();
    return false;
  };
  result = TakeIn(session, body, early, answer.body);
  if (result != FetchResult::kOk) return result;
  if (!watchContent(answer.body)) return FetchResult::kFailed;
  result = ReadRest(session, body, answer.body, false, FetchResult::kReceiveFailed, watchContent);
  if (result != FetchResult::kOk) return result;
  session.ReportStatus(net_text::Ok());
  session.Close();
  return FetchResult::kOk;
}

}  // namespace

FetchOutcome FetchAnswer(HttpSession& session, const std::string& url, const std::string& referer,
                         const AnswerWatcher& watch, FetchedAnswer& answer) {
  DeadlineScope deadline(session);
  session.ForgetLastError();
  return WithReason(session, Answer(session, url, referer, watch, answer));
}

}  // namespace velkor
