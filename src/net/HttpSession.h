#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/Clock.h"
#include "base/Result.h"
#include "net/FetchResult.h"

struct ssl_st;
struct ssl_ctx_st;

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

// How one readiness wait ended.
enum class WaitResult {
  kReady,     // the socket can be read (or written)
  kTimedOut,  // the wait ran out (OverallTimeUp tells whether the overall deadline passed)
  kStopped,   // a stop was requested while it waited
  kError,     // no connection, or the wait itself failed
};

// The program's own HTTP/1.1 client connection, over TCP for http:// and over TLS (OpenSSL, TLS 1.2
// or later, SNI, certificate chain and host name checked against the system trust store, which
// SSL_CERT_FILE / SSL_CERT_DIR change) for https://. One session serves one user operation: make it
// on the stack, install the status handler, run one or two fetches (net/Fetch.h), let it go. A
// Connect to the scheme, host and port of the open connection reuses it. Every step is reported as
// a status text through the handler, which is also asked after every report and received piece
// whether to stop; a FetchContext installed as handler context is also asked between the slices of
// every wait (its abortRequested), and so is the process-wide stop (RequestStopOfAllFetches).
// With the DebugLog setting on and a FetchContext as handler context, everything sent and received
// (for TLS: the plain text) is traced into the context's file. Nothing throws; the connection is
// closed by Close and by the destructor.
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
  // For a session that runs off the window's thread: its waits no longer let the user interface
  // process its events (its handler must not touch the user interface either), and `stop`, when
  // not null, set from any thread, stops it between the slices of every wait as a FetchContext's
  // abortRequested does. `stop` must outlive the session.
  void RunOffUiThread(const std::atomic<bool>* stop);

  // Opens a connection to `port` of `host` (or to its connect override), with a TLS handshake when
  // `tls` is set, or keeps the open one when it is to the same scheme, host (exact comparison) and
  // port and the server did not announce a close. Reports "<host>に接続..." and "接続しました." or
  // one "エラー:" text (for TLS: handshake failed or timed out, untrusted certificate, host name
  // mismatch); "中断しました." when stopped during a wait, "タイムアウト." when the overall
  // deadline passed. The TCP connect and each handshake step wait at most kWaitLimit. Fails, with
  // the text it reported as the reason, when no connection was made (also when the handler asked
  // to stop at "<host>に接続...": reason "中断しました."); a TLS failure never falls back to plain
  // TCP.
  Outcome Connect(const std::string& host, unsigned short port = 80, bool tls = false);
  // Sends the whole request, reporting "リクエスト送信." and tracing the text. Up to three waits
  // that run out ("警告:タイムアウト" each) are tolerated; fails after the third, after the handler
  // asked to stop at a time-out (reason "警告:タイムアウト"), when sending fails
  // ("エラー:サーバへの送信失敗", closed), when a stop is requested during a wait ("中断しました.",
  // closed) or when the overall deadline passes ("タイムアウト.", closed).
  Outcome SendRequest(std::string_view text);
  // How many bytes of the text given to the last SendRequest went into the connection (sent or
  // handed to the system to send): after a failed send, 0 means that nothing of the request can
  // have reached the server.
  std::size_t BytesSent() const { return bytesSent_; }
  // One readiness wait of at most kWaitLimit (and never past the overall deadline); kReady at once
  // when TLS holds decrypted bytes. The user interface processes its events every kWaitSlice
  // meanwhile; the time spent there (a menu or a dialog held open) counts neither towards the wait
  // nor towards the overall deadline. Time is read from CurrentClock().
  WaitResult WaitWritable();
  WaitResult WaitReadable();
  // Waits until a receive can proceed. Up to three waits that run out are tolerated, each
  // reported "警告:タイムアウト" (a stop asked for there gives kReceiveFailed). After the
  // third (reporting "タイムアウト." first when `reportTimeout`) the result is kFailed, and so
  // it is, always with "タイムアウト.", when the overall deadline passes. A stop requested during a
  // wait reports "中断しました." and gives kReceiveFailed. Every failure closes the
  // connection. kOk when ready (or when the wait failed: the receive then reports it).
  FetchResult AwaitData(bool reportTimeout);
  // One receive of at most `size` bytes; the bytes (for TLS: decrypted) are traced. Returns the
  // count, 0 when the server closed the connection, negative on error.
  int Receive(char* buffer, int size);
  // Shuts the connection down and closes it (state kSessionClosed). Harmless without a connection.
  void Close();
  // Traces the CP932 text, then hands it to the handler. Returns the handler's answer (0 without
  // one), or 1 once the process-wide stop was requested. A text starting with "エラー:" is kept as
  // LastError().
  int ReportStatus(std::string_view text);
  // The last "エラー:" text reported since the session was made or ForgetLastError was called.
  const std::string& LastError() const { return lastError_; }
  void ForgetLastError() { lastError_.clear(); }
  // Hands a progress report to the handler; returns its answer as ReportStatus does.
  int ReportProgress(std::int32_t received, std::int32_t total);
  // Appends one trace record ("id:<id>" CR LF, the bytes, CR LF) when DebugLog is on and the
  // handler context is a FetchContext with a trace file; otherwise does nothing.
  void Trace(std::string_view bytes);

  // Reads one response header, skipping interim "100" answers. Every piece goes through the handler
  // as a progress report. With `replaceZeros`, zero bytes of each received piece become '*' before
  // they are stored. On success returns kOk and fills `header` (the text before the blank
  // line, without its final CR LF; StatusCode gives its status) and `earlyBody` (bytes after the
  // blank line that came with it). Failures close the connection and return kReceiveFailed
  // (receive failure, server closed, stop request, header above kMaxHeaderSize) or kFailed
  // (as AwaitData: three waits in a row ran out, or the overall deadline passed).
  FetchResult ReadResponseHeader(bool replaceZeros, bool reportTimeout, std::string& header,
                                 std::string& earlyBody);

  // The overall deadline of the running fetch: waits never last past it, and AwaitData ends the
  // fetch when it has passed. Without one (the default) only the per-wait limit holds.
  void SetDeadline(std::optional<Clock::TimePoint> deadline);
  bool HasDeadline() const { return deadline_.has_value(); }
  // True once a wait ended because the overall deadline passed.
  bool OverallTimeUp() const { return timeUp_; }

  // Header field readers; but for FieldValue and IsChunked every search is an exact,
  // case-sensitive substring search.
  // The decimal number after the first blank (0 when none).
  static int StatusCode(std::string_view header);
  // The number after the first "Content-Length:" (0 when missing).
  static std::int64_t ContentLength(std::string_view header);
  // True when the header holds "Content-Length:".
  static bool HasContentLength(std::string_view header);
  // The text after the first "Content-Length:" up to the next CR or LF, without blanks around it
  // (empty when missing).
  static std::string_view ContentLengthValue(std::string_view header);
  // From just after the colon of the first "Last-Modified:" (keeping the blank) up to the next CR
  // or LF, or to the end of the header when the field is its last line. Empty when missing. Never
  // holds a line break.
  static std::string LastModifiedField(std::string_view header);
  // The value of the first field named `name` (letter case ignored) at the start of a line,
  // without the blanks around it, cut at the first CR or LF. Empty when missing.
  static std::string FieldValue(std::string_view header, std::string_view name);
  // True when the header holds "Content-Encoding: gzip".
  static bool IsGzip(std::string_view header);
  // True when a "Transfer-Encoding:" field (name in any letter case) names "chunked".
  static bool IsChunked(std::string_view header);
  // When the header holds "Connection: close", the next Connect opens a new connection.
  void NoteConnectionClose(std::string_view header);

  std::uint8_t State() const { return state_; }
  const std::string& Host() const { return host_; }
  bool IsTls() const { return ssl_ != nullptr; }

  // Test support only: shortens (or restores, with kWaitLimit) the length of one readiness wait.
  static void SetWaitLimitForTesting(std::chrono::milliseconds limit);

 private:
  WaitResult WaitFor(short events);
  bool StopRequested() const;
  Outcome Handshake(int fd, const std::string& host);
  // Reports the text and fails with it as the reason.
  Outcome Fail(const std::string& text);
  // Waits for what OpenSSL asked for after a failed call (`error`): kReady to retry the call.
  WaitResult WaitForTls(int error);

  StatusHandler statusHandler_ = nullptr;
  void* handlerContext_ = nullptr;
  FetchContext* traceContext_ = nullptr;
  int socket_ = -1;
  ssl_ctx_st* tlsContext_ = nullptr;
  ssl_st* ssl_ = nullptr;
  std::string host_;
  unsigned short port_ = 0;
  bool tls_ = false;
  std::uint8_t state_ = kSessionNew;
  std::optional<Clock::TimePoint> deadline_;
  bool timeUp_ = false;
  std::string lastError_;
  std::size_t bytesSent_ = 0;
  bool offUiThread_ = false;
  const std::atomic<bool>* stop_ = nullptr;
};

}  // namespace velkor
