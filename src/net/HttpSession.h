#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velkor {

struct FetchContext;

// Receives status texts (a non-null CP932 message) and progress reports (a null message). During
// header reading `received` is 0 and `total` the header bytes read so far; during body reading
// `received` counts the body bytes and `total` is the announced length, or -1 (all ones) when none
// was announced. A non-zero result asks the running operation to stop.
using StatusHandler = int (*)(const char* message, void* context, std::int32_t received,
                              std::int32_t total);

// Connection states of an HttpSession.
enum : std::uint8_t {
  kSessionNew = 0,
  kSessionConnected = 1,
  kSessionClosed = 2,
  kSessionServerCloses = 3,  // the last answer carried "Connection: close"
};

// Longest response header accepted; a longer one ends the fetch with a failure.
inline constexpr std::size_t kMaxHeaderSize = 64 * 1024;
// Largest body (and largest decoded gzip output) accepted.
inline constexpr std::size_t kMaxBodySize = 64 * 1024 * 1024;
// Size of one receive.
inline constexpr int kReceiveChunk = 1024;
// How long one readiness wait (connect, send, receive) lasts before it counts as a time-out.
inline constexpr std::chrono::milliseconds kWaitLimit{10000};
// While waiting, the user interface gets to process its events this often.
inline constexpr std::chrono::milliseconds kWaitSlice{50};

// The program's own HTTP/1.1 client connection over TCP (port 80 unless a connect override names
// another address). One session serves one user operation: make it on the stack, install the status
// handler, run one or two fetches (net/Fetch.h), let it go. A Connect to the host of the open
// connection reuses it. Every step is reported as a status text through the handler, which is also
// asked after every report and received piece whether to stop. With the DebugLog setting on and a
// FetchContext as handler context, everything sent and received is traced into the context's file.
// Nothing throws; the socket is closed by Close and by the destructor.
class HttpSession {
 public:
  HttpSession();
  ~HttpSession();
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  // Installs the handler and the context passed back to it (either may be null). Only a context
  // installed through the FetchContext overload receives the trace.
  void SetStatusHandler(void* context, StatusHandler handler);
  void SetStatusHandler(FetchContext* context, StatusHandler handler);
  void SetStatusHandler(std::nullptr_t, StatusHandler handler);

  // Opens a connection to port 80 of `host` (or to its connect override), or keeps the open one
  // when it is to the same host (exact comparison) and the server did not announce a close. Reports
  // "<host>に接続..." and "接続しました." or one "エラー:" text. Connecting is bounded by
  // kWaitLimit. False when no connection was made (also when the handler asked to stop at
  // "<host>に接続...").
  bool Connect(const std::string& host);
  // Sends the whole request, reporting "リクエスト送信." and tracing the text. Up to three waits
  // that run out ("警告:タイムアウト" each) are tolerated; false after the third, after the handler
  // asked to stop at a time-out, or when sending fails ("エラー:サーバへの送信失敗", closed).
  bool SendRequest(std::string_view text);
  // One readiness wait of at most kWaitLimit: positive when ready, 0 when the time ran out,
  // negative on error. The user interface processes its events every kWaitSlice meanwhile; the
  // time spent there (a menu or a dialog held open) does not count towards the limit.
  int WaitWritable();
  int WaitReadable();
  // One receive of at most `size` bytes; the bytes are traced. Returns the count, 0 when the server
  // closed the connection, negative on error.
  int Receive(char* buffer, int size);
  // Shuts the connection down and closes it (state kSessionClosed). Harmless without a connection.
  void Close();
  // Traces the CP932 text, then hands it to the handler. Returns the handler's answer (0 without
  // one).
  int ReportStatus(std::string_view text);
  // Hands a progress report to the handler; returns its answer (0 without one).
  int ReportProgress(std::int32_t received, std::int32_t total);
  // Appends one trace record ("id:<id>" CR LF, the bytes, CR LF) when DebugLog is on and the
  // handler context is a FetchContext with a trace file; otherwise does nothing.
  void Trace(std::string_view bytes);

  // Reads one response header, skipping interim "100" answers. Every piece goes through the handler
  // as a progress report. With `replaceZeros`, zero bytes of each received piece become '*' before
  // they are stored. On success returns 0 and fills `header` (the text before the blank line,
  // without its final CR LF; StatusCode gives its status) and `earlyBody` (bytes after the blank
  // line that came with it). Failures close the connection and return -5 (receive failure, server
  // closed, stop request, header above kMaxHeaderSize) or -6 (three waits in a row ran out; with
  // `reportTimeout` the text "タイムアウト." is reported first).
  int ReadResponseHeader(bool replaceZeros, bool reportTimeout, std::string& header,
                         std::string& earlyBody);

  // Header field readers; every search is an exact, case-sensitive substring search.
  // The decimal number after the first blank (0 when none).
  static int StatusCode(std::string_view header);
  // The number after the first "Content-Length:" (0 when missing).
  static std::int64_t ContentLength(std::string_view header);
  // True when the header holds "Content-Length:".
  static bool HasContentLength(std::string_view header);
  // From just after the colon of the first "Last-Modified:" (keeping the blank) up to the next CR
  // LF, or to the end of the header when the field is its last line. Empty when missing.
  static std::string LastModifiedField(std::string_view header);
  // True when the header holds "Content-Encoding: gzip".
  static bool IsGzip(std::string_view header);
  // True when a "Transfer-Encoding:" field (name in any letter case) names "chunked".
  static bool IsChunked(std::string_view header);
  // When the header holds "Connection: close", the next Connect opens a new connection.
  void NoteConnectionClose(std::string_view header);

  std::uint8_t State() const { return state_; }
  const std::string& Host() const { return host_; }

  // Test support only: shortens (or restores, with kWaitLimit) the length of one readiness wait.
  static void SetWaitLimitForTesting(std::chrono::milliseconds limit);

 private:
  int WaitFor(short events);

  StatusHandler statusHandler_ = nullptr;
  void* handlerContext_ = nullptr;
  FetchContext* traceContext_ = nullptr;
  int socket_ = -1;
  std::string host_;
  std::uint8_t state_ = kSessionNew;
};

}  // namespace velkor
