#include "net/HttpSession.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>

#include "app/Settings.h"
#include "app/UiHooks.h"
#include "base/Integer.h"
#include "base/Sjis.h"
#include "net/ConnectOverrides.h"
#include "net/FetchContext.h"
#include "net/StatusTexts.h"

namespace velkor {
namespace {

std::chrono::milliseconds waitLimit = kWaitLimit;

// The time one wait has used, not counting the time the user interface spent in its event
// processing: a menu, a message box or a dialog held open there must not use up the wait. Off the
// window's thread nothing is processed.
class WaitClock {
 public:
  explicit WaitClock(bool offUiThread) : offUiThread_(offUiThread) {}
  // What is left of the wait limit (zero or less: the wait has run out).
  std::chrono::milliseconds Left() const {
    const auto used = CurrentClock().Now() - start_ - inEvents_;
    return std::chrono::ceil<std::chrono::milliseconds>(waitLimit - used);
  }
  // Lets the user interface process its events; the time that takes is not the wait's. Returns
  // that time.
  Clock::TimePoint::duration ProcessEvents() {
    if (offUiThread_) return Clock::TimePoint::duration{0};
    const auto before = CurrentClock().Now();
    Ui().ProcessEvents();
    const auto spent = CurrentClock().Now() - before;
    inEvents_ += spent;
    return spent;
  }

 private:
  bool offUiThread_;
  Clock::TimePoint start_ = CurrentClock().Now();
  Clock::TimePoint::duration inEvents_{0};
};

struct Address {
  sockaddr_storage storage{};
  socklen_t length = 0;
};

bool NumericAddress(const std::string& text, unsigned short port, Address& out) {
  auto* v4 = reinterpret_cast<sockaddr_in*>(&out.storage);
  if (::inet_pton(AF_INET, text.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    v4->sin_port = htons(port);
    out.length = sizeof(sockaddr_in);
    return true;
  }
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&out.storage);
  if (::inet_pton(AF_INET6, text.c_str(), &v6->sin6_addr) == 1) {
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(port);
    out.length = sizeof(sockaddr_in6);
    return true;
  }
  return false;
}

// A name lookup that runs on a helper thread, so the user interface keeps processing its events
// while the resolver works and the wait ends after the wait limit even when the resolver hangs.
struct PendingLookup {
  std::mutex mutex;
  bool done = false;
  bool found = false;
  Address address;
};

bool LookUpName(const std::string& name, unsigned short port, bool offUiThread, Address& out) {
  auto pending = std::make_shared<PendingLookup>();
  std::thread([pending, name, port] {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    bool found = ::getaddrinfo(name.c_str(), nullptr, &hints, &list) == 0 && list != nullptr;
    Address address;
    if (found) {
      std::memcpy(&address.storage, list->ai_addr, list->ai_addrlen);
      address.length = list->ai_addrlen;
      reinterpret_cast<sockaddr_in*>(&address.storage)->sin_port = htons(port);
    }
    if (list != nullptr) ::freeaddrinfo(list);
    std::lock_guard lock(pending->mutex);
    pending->done = true;
    pending->found = found;
    pending->address = address;
  }).detach();
  WaitClock clock(offUiThread);
  for (;;) {
    {
      std::lock_guard lock(pending->mutex);
      if (pending->done) {
        if (pending->found) out = pending->address;
        return pending->found;
      }
    }
    if (clock.Left().count() <= 0) return false;
    ::poll(nullptr, 0, static_cast<int>(std::min(kWaitSlice, waitLimit).count()));
    clock.ProcessEvents();
  }
}

// OpenSSL writes to the socket with write(), which raises SIGPIPE when the server has gone. While a
// thread holds a TLS connection, SIGPIPE is blocked on it, and one raised meanwhile is taken away
// unseen when the last such connection closes, so a closed peer is a failed call and never ends the
// process. Sessions may nest (a second fetch started while the first one waits): the outermost one
// blocks and restores.
thread_local int quietPipeDepth = 0;
thread_local sigset_t maskBeforeQuiet;

void QuietenPipe() {
  if (quietPipeDepth++ > 0) return;
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, &maskBeforeQuiet);
}

void RestorePipe() {
  if (--quietPipeDepth > 0) return;
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  sigset_t pending;
  if (sigismember(&maskBeforeQuiet, SIGPIPE) != 1 && sigpending(&pending) == 0 &&
      sigismember(&pending, SIGPIPE) == 1) {
    timespec none{0, 0};
    sigtimedwait(&pipe, nullptr, &none);
  }
  pthread_sigmask(SIG_SETMASK, &maskBeforeQuiet, nullptr);
}

bool Resolve(const std::string& name, unsigned short port, bool offUiThread, Address& out) {
  if (name.empty()) return false;
  if (NumericAddress(name, port, out)) return true;
  return LookUpName(name, port, offUiThread, out);
}

// Header numbers are read as atoi reads them, clamped to this.
constexpr std::int64_t kNumberCap = std::numeric_limits<std::int32_t>::max() * 4LL;

constexpr std::string_view kHeaderEnd = "\r\n\r\n";
constexpr std::string_view kContentLengthField = "Content-Length:";
constexpr std::string_view kLastModifiedField = "Last-Modified:";

}  // namespace

HttpSession::HttpSession() = default;

HttpSession::~HttpSession() {
  if (socket_ >= 0) Close();
  if (tlsContext_ != nullptr) SSL_CTX_free(tlsContext_);
}

void HttpSession::SetStatusHandler(void* context, StatusHandler handler) {
  handlerContext_ = context;
  traceContext_ = nullptr;
  statusHandler_ = handler;
}

void HttpSession::SetStatusHandler(FetchContext* context, StatusHandler handler) {
  handlerContext_ = context;
  traceContext_ = context;
  statusHandler_ = handler;
}

void HttpSession::SetStatusHandler(std::nullptr_t, StatusHandler handler) {
  SetStatusHandler(static_cast<void*>(nullptr), handler);
}

void HttpSession::RunOffUiThread(const std::atomic<bool>* stop) {
  offUiThread_ = true;
  stop_ = stop;
}

Outcome HttpSession::Connect(const std::string& host, unsigned short port, bool tls) {
  if (state_ == kSessionConnected) {
    if (host == host_ && port == port_ && tls == tls_) return {};
    Close();
  } else if (state_ == kSessionServerCloses) {
    Close();
  }
  std::optional<ConnectTarget> target = FindConnectOverride(host, port);
  Address address;
  if (host.empty() || !Resolve(target ? target->address : host, target ? target->port : port,
                               offUiThread_, address)) {
    return Fail(net_text::HostLookupFailed());
  }
  int fd = ::socket(address.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return Fail(net_text::SocketFailed());
  if (ReportStatus(host + net_text::ConnectTo()) != 0) {
    ::close(fd);
    return Failed(net_text::Aborted());
  }
  socket_ = fd;
  bool connected =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address.storage), address.length) == 0;
  WaitResult waited = WaitResult::kReady;
  if (!connected && errno == EINPROGRESS && (waited = WaitWritable()) == WaitResult::kReady) {
    int error = 0;
    socklen_t length = sizeof error;
    connected = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
  }
  if (!connected) {
    socket_ = -1;
    ::close(fd);
    return Fail(waited == WaitResult::kStopped ? net_text::Aborted()
                : timeUp_                      ? net_text::TimedOut()
                                               : net_text::ConnectFailed());
  }
  if (tls) {
    if (Outcome shaken = Handshake(fd, host); !shaken.IsOk()) {
      if (ssl_ != nullptr) {
        SSL_free(ssl_);
        ssl_ = nullptr;
        RestorePipe();
      }
      socket_ = -1;
      ::close(fd);
      return shaken;
    }
  }
  socket_ = -1;
  // Plain receives follow a readiness wait and may block; sends never do (MSG_DONTWAIT). A TLS
  // connection stays non-blocking throughout.
  if (!tls) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  ReportStatus(net_text::Connected());
  socket_ = fd;
  state_ = kSessionConnected;
  host_ = host;
  port_ = port;
  tls_ = tls;
  return {};
}

Outcome HttpSession::Fail(const std::string& text) {
  ReportStatus(text);
  return Failed(text);
}

Outcome HttpSession::Handshake(int fd, const std::string& host) {
  if (tlsContext_ == nullptr) {
    tlsContext_ = SSL_CTX_new(TLS_client_method());
    if (tlsContext_ == nullptr) return Fail(net_text::TlsHandshakeFailed());
    SSL_CTX_set_min_proto_version(tlsContext_, TLS1_2_VERSION);
    SSL_CTX_set_default_verify_paths(tlsContext_);
    SSL_CTX_set_verify(tlsContext_, SSL_VERIFY_PEER, nullptr);
    // A body without a length ends where the server closes; a truncated one with a length is
    // caught by the length check.
    SSL_CTX_set_options(tlsContext_, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(tlsContext_, SSL_MODE_ENABLE_PARTIAL_WRITE);
  }
  ERR_clear_error();
  ssl_ = SSL_new(tlsContext_);
  if (ssl_ != nullptr) QuietenPipe();
  if (ssl_ == nullptr || SSL_set_fd(ssl_, fd) != 1) return Fail(net_text::TlsHandshakeFailed());
  Address numeric;
  bool isAddress = NumericAddress(host, 0, numeric);
  X509_VERIFY_PARAM* param = SSL_get0_param(ssl_);
  X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
  if (isAddress ? X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) != 1
                : (SSL_set_tlsext_host_name(ssl_, host.c_str()) != 1 ||
                   X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size()) != 1)) {
    return Fail(net_text::TlsHandshakeFailed());
  }
  SSL_set_connect_state(ssl_);
  for (;;) {
    int done = SSL_do_handshake(ssl_);
    if (done == 1) return {};
    int error = SSL_get_error(ssl_, done);
    WaitResult waited = WaitForTls(error);
    if (waited == WaitResult::kReady) continue;
    long verify = SSL_get_verify_result(ssl_);
    ERR_clear_error();
    if (waited == WaitResult::kStopped) return Fail(net_text::Aborted());
    if (waited == WaitResult::kTimedOut) {
      return Fail(timeUp_ ? net_text::TimedOut() : net_text::TlsTimedOut());
    }
    if (verify == X509_V_ERR_HOSTNAME_MISMATCH || verify == X509_V_ERR_IP_ADDRESS_MISMATCH) {
      return Fail(net_text::TlsHostMismatch());
    }
    if (verify != X509_V_OK) return Fail(net_text::TlsUntrusted());
    return Fail(net_text::TlsHandshakeFailed());
  }
}

WaitResult HttpSession::WaitForTls(int error) {
  if (error == SSL_ERROR_WANT_READ) return WaitFor(POLLIN);
  if (error == SSL_ERROR_WANT_WRITE) return WaitFor(POLLOUT);
  return WaitResult::kError;
}

Outcome HttpSession::SendRequest(std::string_view text) {
  ReportStatus(net_text::SendingRequest());
  Trace(text);
  int attempts = 3;
  std::size_t& sent = bytesSent_;
  sent = 0;
  while (sent < text.size()) {
    WaitResult waited = WaitWritable();
    if (waited == WaitResult::kTimedOut && timeUp_) {
      Close();
      return Fail(net_text::TimedOut());
    }
    if (waited == WaitResult::kTimedOut) {
      if (ReportStatus(net_text::TimeoutWarning()) != 0 || --attempts == 0) {
        return Failed(net_text::TimeoutWarning());
      }
      continue;
    }
    if (waited == WaitResult::kStopped) {
      Close();
      return Fail(net_text::Aborted());
    }
    ssize_t n = -1;
    if (ssl_ != nullptr) {
      std::size_t written = 0;
      ERR_clear_error();
      int done = SSL_write_ex(ssl_, text.data() + sent, text.size() - sent, &written);
      if (done == 1) {
        n = static_cast<ssize_t>(written);
      } else {
        int error = SSL_get_error(ssl_, done);
        if (error == SSL_ERROR_WANT_WRITE) continue;
        if (error == SSL_ERROR_WANT_READ && WaitFor(POLLIN) == WaitResult::kReady) continue;
      }
    } else if (socket_ >= 0) {
      n = ::send(socket_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
    }
    if (n < 0) {
      Close();
      return Fail(net_text::SendFailed());
    }
    sent += static_cast<std::size_t>(n);
  }
  return {};
}

bool HttpSession::StopRequested() const {
  return StopOfAllFetchesRequested() ||
         (traceContext_ != nullptr && traceContext_->abortRequested != 0) ||
         (stop_ != nullptr && stop_->load());
}

WaitResult HttpSession::WaitFor(short events) {
  if (socket_ < 0) return WaitResult::kError;
  WaitClock clock(offUiThread_);
  for (;;) {
    if (StopRequested()) return WaitResult::kStopped;
    std::chrono::milliseconds left = clock.Left();
    bool endsAtDeadline = false;
    if (deadline_) {
      auto toDeadline =
          std::chrono::ceil<std::chrono::milliseconds>(*deadline_ - CurrentClock().Now());
      if (toDeadline <= left) {
        left = toDeadline;
        endsAtDeadline = true;
      }
    }
    if (left.count() <= 0) {
      if (endsAtDeadline) timeUp_ = true;
      return WaitResult::kTimedOut;
    }
    pollfd entry{socket_, events, 0};
    int ready = ::poll(&entry, 1, static_cast<int>(std::min(left, kWaitSlice).count()));
    if (ready > 0) return WaitResult::kReady;
    if (ready < 0 && errno != EINTR) return WaitResult::kError;
    const auto inEvents = clock.ProcessEvents();
    if (deadline_) *deadline_ += inEvents;
  }
}

WaitResult HttpSession::WaitWritable() {
  return WaitFor(POLLOUT);
}

WaitResult HttpSession::WaitReadable() {
  if (ssl_ != nullptr && SSL_pending(ssl_) > 0) return WaitResult::kReady;
  return WaitFor(POLLIN);
}

FetchResult HttpSession::AwaitData(bool reportTimeout) {
  int attempts = 3;
  for (;;) {
    WaitResult waited = WaitReadable();
    if (waited == WaitResult::kStopped) {
      ReportStatus(net_text::Aborted());
      Close();
      return FetchResult::kReceiveFailed;
    }
    if (waited != WaitResult::kTimedOut) return FetchResult::kOk;
    if (!timeUp_) {
      if (ReportStatus(net_text::TimeoutWarning()) != 0) {
        Close();
        return FetchResult::kReceiveFailed;
      }
      if (--attempts > 0) continue;
    }
    if (reportTimeout || timeUp_) ReportStatus(net_text::TimedOut());
    Close();
    return FetchResult::kFailed;
  }
}

int HttpSession::Receive(char* buffer, int size) {
  if (socket_ < 0) return -1;
  ssize_t n;
  if (ssl_ != nullptr) {
    for (;;) {
      std::size_t read = 0;
      ERR_clear_error();
      int done = SSL_read_ex(ssl_, buffer, static_cast<std::size_t>(size), &read);
      if (done == 1) {
        n = static_cast<ssize_t>(read);
        break;
      }
      int error = SSL_get_error(ssl_, done);
      if (error == SSL_ERROR_ZERO_RETURN) return 0;
      if (WaitForTls(error) != WaitResult::kReady) return -1;
    }
  } else {
    do {
      n = ::recv(socket_, buffer, static_cast<std::size_t>(size), 0);
    } while (n < 0 && errno == EINTR);
  }
  if (n > 0) Trace(std::string_view(buffer, static_cast<std::size_t>(n)));
  return static_cast<int>(n);
}

void HttpSession::Close() {
  if (ssl_ != nullptr) {
    SSL_shutdown(ssl_);  // one try; the socket is non-blocking
    SSL_free(ssl_);
    ssl_ = nullptr;
    RestorePipe();
    ERR_clear_error();
  }
  if (socket_ >= 0) {
    ::shutdown(socket_, SHUT_RDWR);
    ::close(socket_);
    socket_ = -1;
  }
  state_ = kSessionClosed;
}

void HttpSession::SetDeadline(std::optional<Clock::TimePoint> deadline) {
  deadline_ = deadline;
  timeUp_ = false;
}

int HttpSession::ReportStatus(std::string_view text) {
  Trace(text);
  static const std::string errorPrefix = Sjis("エラー:");
  if (text.starts_with(errorPrefix)) lastError_ = text;
  if (statusHandler_ == nullptr) return StopOfAllFetchesRequested();
  std::string message(text);
  int answer = statusHandler_(message.c_str(), handlerContext_, 0, 0);
  return answer != 0 ? answer : StopOfAllFetchesRequested();
}

int HttpSession::ReportProgress(std::int32_t received, std::int32_t total) {
  if (statusHandler_ == nullptr) return StopOfAllFetchesRequested();
  int answer = statusHandler_(nullptr, handlerContext_, received, total);
  return answer != 0 ? answer : StopOfAllFetchesRequested();
}

void HttpSession::Trace(std::string_view bytes) {
  if (!AppSettings().debugLog || bytes.data() == nullptr || traceContext_ == nullptr ||
      !traceContext_->traceStream) {
    return;
  }
  std::string record = "id:" + std::to_string(traceContext_->id) + "\r\n";
  record += bytes;
  record += "\r\n";
  traceContext_->traceStream->Write(record);
}

FetchResult HttpSession::ReadResponseHeader(bool replaceZeros, bool reportTimeout,
                                            std::string& header, std::string& earlyBody) {
  std::string buffer;
  std::size_t searchFrom = 0;
  char piece[kReceiveChunk];
  for (;;) {
    std::size_t end = buffer.find(kHeaderEnd, searchFrom);
    if (end != std::string::npos) {
      std::string early = buffer.substr(end + kHeaderEnd.size());
      buffer.resize(end);
      if (StatusCode(buffer) == 100) {
        buffer = std::move(early);
        searchFrom = 0;
        continue;
      }
      header = std::move(buffer);
      earlyBody = std::move(early);
      return FetchResult::kOk;
    }
    if (buffer.size() > kMaxHeaderSize) {
      ReportStatus(net_text::HeaderTooLarge());
      Close();
      return FetchResult::kReceiveFailed;
    }
    // The end mark may have begun in the bytes already searched.
    searchFrom = buffer.size() < kHeaderEnd.size() ? 0 : buffer.size() - (kHeaderEnd.size() - 1);
    if (FetchResult waited = AwaitData(reportTimeout); waited != FetchResult::kOk) return waited;
    int n = Receive(piece, kReceiveChunk);
    if (n <= 0) {
      ReportStatus(net_text::ReceiveFailed());
      Close();
      return FetchResult::kReceiveFailed;
    }
    if (replaceZeros) std::replace(piece, piece + n, '\0', '*');
    buffer.append(piece, static_cast<std::size_t>(n));
    if (ReportProgress(0, static_cast<std::int32_t>(buffer.size())) != 0) {
      ReportStatus(net_text::Aborted());
      Close();
      return FetchResult::kReceiveFailed;
    }
  }
}

int HttpSession::StatusCode(std::string_view header) {
  std::size_t space = header.find(' ');
  if (space == std::string_view::npos) return 0;
  std::int64_t value = LeadingInteger(header.substr(space + 1), kNumberCap);
  return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

std::int64_t HttpSession::ContentLength(std::string_view header) {
  std::size_t field = header.find(kContentLengthField);
  if (field == std::string_view::npos) return 0;
  return LeadingInteger(header.substr(field + kContentLengthField.size()), kNumberCap);
}

bool HttpSession::HasContentLength(std::string_view header) {
  return header.find(kContentLengthField) != std::string_view::npos;
}

std::string_view HttpSession::ContentLengthValue(std::string_view header) {
  std::size_t field = header.find(kContentLengthField);
  if (field == std::string_view::npos) return {};
  std::string_view value = header.substr(field + kContentLengthField.size());
  return TrimView(value.substr(0, value.find_first_of("\r\n")));
}

std::string HttpSession::LastModifiedField(std::string_view header) {
  std::size_t field = header.find(kLastModifiedField);
  if (field == std::string_view::npos) return {};
  std::string_view value = header.substr(field + kLastModifiedField.size());
  return std::string(value.substr(0, value.find_first_of("\r\n")));
}

std::string HttpSession::FieldValue(std::string_view header, std::string_view name) {
  std::size_t start = 0;
  while (start < header.size()) {
    std::size_t end = header.find_first_of("\r\n", start);
    std::string_view line =
        header.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (line.size() > name.size() && line[name.size()] == ':' &&
        EqualsIgnoreAsciiCase(line.substr(0, name.size()), name)) {
      return std::string(TrimView(line.substr(name.size() + 1)));
    }
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return {};
}

bool HttpSession::IsGzip(std::string_view header) {
  return header.find("Content-Encoding: gzip") != std::string_view::npos;
}

bool HttpSession::IsChunked(std::string_view header) {
  constexpr std::string_view kName = "transfer-encoding:";
  std::size_t start = 0;
  while (start < header.size()) {
    std::size_t end = header.find("\r\n", start);
    std::string_view line =
        header.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (line.size() >= kName.size() && EqualsIgnoreAsciiCase(line.substr(0, kName.size()), kName) &&
        AsciiLowerCopy(line.substr(kName.size())).find("chunked") != std::string::npos) {
      return true;
    }
    if (end == std::string_view::npos) break;
    start = end + 2;
  }
  return false;
}

void HttpSession::NoteConnectionClose(std::string_view header) {
  if (header.find("Connection: close") != std::string_view::npos) state_ = kSessionServerCloses;
}

void HttpSession::SetWaitLimitForTesting(std::chrono::milliseconds limit) {
  waitLimit = limit;
}

}  // namespace velkor
