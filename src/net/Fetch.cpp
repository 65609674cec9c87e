#include "net/Fetch.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "app/DataDir.h"
#include "app/Deployment.h"
#include "app/UrlPaths.h"
#include "base/FileUtil.h"
#include "net/ChunkDecoder.h"
#include "net/Gunzip.h"
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

Body BodyOf(std::string_view header) {
  Body body;
  body.chunked = HttpSession::IsChunked(header);
  if (!body.chunked && HttpSession::HasContentLength(header)) {
    std::int64_t length = HttpSession::ContentLength(header);
    if (length >= 0) body.length = static_cast<std::uint64_t>(length);
  }
  return body;
}

// Takes raw body bytes in: counts them, unframes them when chunked, and appends the content (never
// more than an announced length) to `content`. On a limit or framing fault reports it, closes the
// connection and returns kFetchReceiveFailed; else kFetchOk.
int TakeIn(HttpSession& session, Body& body, std::string_view raw, std::string& content) {
  std::uint64_t before = body.received;
  body.received += raw.size();
  if (body.received > kMaxBodySize) {
    session.ReportStatus(net_text::BodyTooLarge());
    session.Close();
    return kFetchReceiveFailed;
  }
  if (body.chunked) {
    if (body.chunks.Feed(raw, content)) return kFetchOk;
    session.ReportStatus(net_text::BadChunks());
    session.Close();
    return kFetchReceiveFailed;
  }
  if (body.received > body.length) {
    raw = raw.substr(0, static_cast<std::size_t>(body.length > before ? body.length - before : 0));
  }
  content.append(raw);
  return kFetchOk;
}

// Waits for the next piece (three waits in a row that run out are a time-out) and receives at most
// `size` bytes. Returns the byte count (0: the server closed), or a negative fetch result after
// reporting it and closing the connection.
int NextPiece(HttpSession& session, char* piece, int size) {
  int attempts = 3;
  while (session.WaitReadable() == 0) {
    if (session.ReportStatus(net_text::TimeoutWarning()) != 0) {
      session.Close();
      return kFetchReceiveFailed;
    }
    if (--attempts == 0) {
      session.ReportStatus(net_text::TimedOut());
      session.Close();
      return kFetchFailed;
    }
  }
  int n = session.Receive(piece, size);
  if (n < 0) {
    session.ReportStatus(net_text::ReceiveFailed());
    session.Close();
    return kFetchReceiveFailed;
  }
  return n;
}

int EndedEarly(HttpSession& session) {
  session.ReportStatus(net_text::ReceiveFailed());
  session.Close();
  return kFetchReceiveFailed;
}

// Reads the body to its end: the announced length, the end of the chunked framing, or (with
// neither) the server's close. A close before an announced end is a receive failure. A stop request
// after a piece reports "中断しました." and gives `abortResult`.
int ReadRest(HttpSession& session, Body& body, std::string& content, bool replaceZeros,
             int abortResult) {
  char piece[kReceiveChunk];
  while (!body.Complete()) {
    int n = NextPiece(session, piece, kReceiveChunk);
    if (n < 0) return n;
    if (n == 0) {
      if (body.chunked || body.length != kUnknownLength) return EndedEarly(session);
      break;
    }
    if (replaceZeros) std::replace(piece, piece + n, '\0', '*');
    int taken =
        TakeIn(session, body, std::string_view(piece, static_cast<std::size_t>(n)), content);
    if (taken != kFetchOk) return taken;
    if (session.ReportProgress(static_cast<std::int32_t>(body.received), body.Total()) != 0) {
      session.ReportStatus(net_text::Aborted());
      session.Close();
      return abortResult;
    }
  }
  return kFetchOk;
}

std::string RequestHead(const std::string& host, const std::string& path) {
  std::string request = "GET " + (path.empty() ? std::string("/") : path) + " HTTP/1.1\r\n";
  request += "Host: " + host + "\r\n";
  request += "User-Agent: ";
  request += kUserAgent;
  request += "\r\n";
  return request;
}

// Gives up the differential fetch for a full one that replaces the whole log.
int Refetch(HttpSession& session, const std::string& url, std::string& log,
            std::string& lastModified) {
  session.ReportStatus(net_text::Refetching());
  session.Close();
  lastModified.clear();
  return FetchFull(session, url, log, lastModified, false);
}

}  // namespace

int FetchFull(HttpSession& session, const std::string& url, std::string& output,
              std::string& lastModified, bool acceptGzip) {
  std::string host;
  std::string path;
  SplitUrl(url, host, path);
  if (!session.Connect(host)) return kFetchNoConnection;
  session.ReportStatus(url);
  std::string request = RequestHead(host, path) + "Connection: close\r\n";
  if (!lastModified.empty()) request += "If-Modified-Since:" + lastModified + "\r\n";
  if (acceptGzip) request += "Accept-Encoding: gzip\r\n";
  request += "\r\n";
  if (!session.SendRequest(request)) return kFetchNotSent;

  std::string header;
  std::string early;
  int read = session.ReadResponseHeader(false, false, header, early);
  if (read != kFetchOk) return read;
  int status = HttpSession::StatusCode(header);
  if (status == 302) {
    session.ReportStatus(net_text::Moved());
    session.Close();  // its body is not read
    return kFetchMoved;
  }
  if (status == 304) {
    session.ReportStatus(net_text::NotUpdated());
    session.NoteConnectionClose(header);
    return kFetchNotModified;
  }
  if (status != 200) {
    session.ReportStatus("code:" + std::to_string(status));
    session.Close();
    return kFetchFailed;
  }

  lastModified = HttpSession::LastModifiedField(header);
  Body body = BodyOf(header);
  bool gzip = HttpSession::IsGzip(header);
  session.NoteConnectionClose(header);
  std::string raw;
  int result = TakeIn(session, body, early, raw);
  if (result == kFetchOk) result = ReadRest(session, body, raw, false, kFetchReceiveFailed);
  if (result != kFetchOk) return result;

  if (gzip) {
    session.ReportStatus(net_text::GzipDecoding());
    GunzipResult decoded = Gunzip(raw, output);
    if (decoded == GunzipResult::kOk) {
      session.ReportStatus(net_text::Ok());
      session.Trace(output);
      return kFetchOk;
    }
    lastModified.clear();
    if (decoded == GunzipResult::kTooLarge) {
      output.clear();
      session.ReportStatus(net_text::DecodedTooLarge());
      return kFetchGzipFailed;
    }
    session.ReportStatus(net_text::GzipFailed());
    ReplaceFile(LogDir() + "/gzip.dmp", raw);
    return kFetchGzipFailed;
  }
  std::replace(raw.begin(), raw.end(), '\0', '*');
  output = std::move(raw);
  session.ReportStatus(net_text::Ok());
  return kFetchOk;
}

int FetchDifferential(HttpSession& session, const std::string& url, std::string& log,
                      std::string& lastModified) {
  if (log.empty()) {
    // Nothing stored to continue from.
    lastModified.clear();
    return FetchFull(session, url, log, lastModified, false);
  }
  std::string host;
  std::string path;
  SplitUrl(url, host, path);
  if (!session.Connect(host)) return kFetchNoConnection;
  session.ReportStatus(url);
  std::string request = RequestHead(host, path);
  if (!lastModified.empty()) request += "If-Modified-Since:" + lastModified + "\r\n";
  request += "Range: bytes=" + std::to_string(log.size() - 1) + "-\r\n\r\n";
  if (!session.SendRequest(request)) return kFetchNotSent;

  std::string header;
  std::string early;
  int read = session.ReadResponseHeader(true, true, header, early);
  if (read != kFetchOk) return read;
  int status = HttpSession::StatusCode(header);
  lastModified = HttpSession::LastModifiedField(header);
  session.NoteConnectionClose(header);
  Body body = BodyOf(header);

  switch (status) {
    case 206: {
      std::string content;
      int result = TakeIn(session, body, early, content);
      if (result != kFetchOk) return result;
      char piece[kReceiveChunk];
      // The first byte may come on its own; a chunked answer may need several pieces for it.
      while (content.empty()) {
        if (body.Complete()) return EndedEarly(session);
        int n = NextPiece(session, piece, body.chunked ? kReceiveChunk : 1);
        if (n < 0) return n;
        if (n == 0) return EndedEarly(session);
        std::replace(piece, piece + n, '\0', '*');
        result =
            TakeIn(session, body, std::string_view(piece, static_cast<std::size_t>(n)), content);
        if (result != kFetchOk) return result;
      }
      if (content[0] != '\n') return Refetch(session, url, log, lastModified);
      log.append(content, 1);
      result = ReadRest(session, body, log, true, kFetchBodyAborted);
      if (result != kFetchOk) return result;
      break;
    }
    case 200: {
      log.clear();
      int result = TakeIn(session, body, early, log);
      if (result != kFetchOk) return result;
      session.ReportStatus(net_text::NoDifferential());
      result = ReadRest(session, body, log, true, kFetchBodyAborted);
      if (result != kFetchOk) return result;
      break;
    }
    case 302:
      session.Close();  // its body is not read
      return kFetchMoved;
    case 304:
      session.ReportStatus(net_text::NotChanged());
      return kFetchNotModified;
    case 416:
      return Refetch(session, url, log, lastModified);
    default:
      session.Close();
      return kFetchFailed;
  }
  session.ReportStatus(net_text::Ok());
  return kFetchOk;
}

}  // namespace velkor
