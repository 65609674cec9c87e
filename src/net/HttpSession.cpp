#include "net/HttpSession.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
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
#include "base/Sjis.h"
#include "net/ConnectOverrides.h"
#include "net/FetchContext.h"
#include "net/StatusTexts.h"

namespace velkor {
namespace {

std::chrono::milliseconds waitLimit = kWaitLimit;

// The time one wait has used, not counting the time the user interface spent in its event
// processing: a menu, a message box or a dialog held open there must not use up the wait.
class WaitClock {
 public:
  // What is left of the wait limit (zero or less: the wait has run out).
  std::chrono::milliseconds Left() const {
    const auto used = std::chrono::steady_clock::now() - start_ - inEvents_;
    return std::chrono::ceil<std::chrono::milliseconds>(waitLimit - used);
  }
  // Lets the user interface process its events; the time that takes is not the wait's.
  void ProcessEvents() {
    const auto before = std::chrono::steady_clock::now();
    Ui().ProcessEvents();
    inEvents_ += std::chrono::steady_clock::now() - before;
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::duration inEvents_{0};
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

bool LookUpName(const std::string& name, unsigned short port, Address& out) {
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
  WaitClock clock;
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

bool Resolve(const std::string& name, unsigned short port, Address& out) {
  if (name.empty()) return false;
  if (NumericAddress(name, port, out)) return true;
  return LookUpName(name, port, out);
}

// Reads an optionally signed decimal number after leading white space, as atoi does, clamped to the
// range of the result type.
std::int64_t ParseNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  constexpr std::int64_t kCap = std::numeric_limits<std::int32_t>::max() * 4LL;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min(kCap, value * 10 + (text[i] - '0'));
  }
  return negative ? -value : value;
}

}  // namespace

HttpSession::HttpSession() = default;

HttpSession::~HttpSession() {
  if (socket_ >= 0) Close();
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

bool HttpSession::Connect(const std::string& host) {
  if (state_ == kSessionConnected) {
    if (host == host_) return true;
    Close();
  } else if (state_ == kSessionServerCloses) {
    Close();
  }
  std::optional<ConnectTarget> target = FindConnectOverride(host);
  Address address;
  if (host.empty() ||
      !Resolve(target ? target->address : host, target ? target->port : 80, address)) {
    ReportStatus(net_text::HostLookupFailed());
    return false;
  }
  int fd = ::socket(address.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    ReportStatus(net_text::SocketFailed());
    return false;
  }
  if (ReportStatus(host + net_text::ConnectTo()) != 0) {
    ::close(fd);
    return false;
  }
  socket_ = fd;
  bool connected =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address.storage), address.length) == 0;
  if (!connected && errno == EINPROGRESS && WaitWritable() > 0) {
    int error = 0;
    socklen_t length = sizeof error;
    connected = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
  }
  socket_ = -1;
  if (!connected) {
    ReportStatus(net_text::ConnectFailed());
    ::close(fd);
    return false;
  }
  // Receives follow a readiness wait and may block; sends never do (MSG_DONTWAIT).
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  ReportStatus(net_text::Connected());
  socket_ = fd;
  state_ = kSessionConnected;
  host_ = host;
  return true;
}

bool HttpSession::SendRequest(std::string_view text) {
  ReportStatus(net_text::SendingRequest());
  Trace(text);
  int attempts = 3;
  std::size_t sent = 0;
  while (sent < text.size()) {
    if (WaitWritable() == 0) {
      if (ReportStatus(net_text::TimeoutWarning()) != 0) return false;
      if (--attempts == 0) return false;
      continue;
    }
    ssize_t n = -1;
    if (socket_ >= 0) {
      n = ::send(socket_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
    }
    if (n < 0) {
      ReportStatus(net_text::SendFailed());
      Close();
      return false;
    }
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

int HttpSession::WaitFor(short events) {
  if (socket_ < 0) return -1;
  WaitClock clock;
  for (;;) {
    const std::chrono::milliseconds left = clock.Left();
    if (left.count() <= 0) return 0;
    pollfd entry{socket_, events, 0};
    int ready = ::poll(&entry, 1, static_cast<int>(std::min(left, kWaitSlice).count()));
    if (ready > 0) return ready;
    if (ready < 0 && errno != EINTR) return -1;
    clock.ProcessEvents();
  }
}

int HttpSession::WaitWritable() {
  return WaitFor(POLLOUT);
}

int HttpSession::WaitReadable() {
  return WaitFor(POLLIN);
}

int HttpSession::Receive(char* buffer, int size) {
  if (socket_ < 0) return -1;
  ssize_t n;
  do {
    n = ::recv(socket_, buffer, static_cast<std::size_t>(size), 0);
  } while (n < 0 && errno == EINTR);
  if (n > 0) Trace(std::string_view(buffer, static_cast<std::size_t>(n)));
  return static_cast<int>(n);
}

void HttpSession::Close() {
  if (socket_ >= 0) {
    ::shutdown(socket_, SHUT_RDWR);
    ::close(socket_);
    socket_ = -1;
  }
  state_ = kSessionClosed;
}

int HttpSession::ReportStatus(std::string_view text) {
  Trace(text);
  if (statusHandler_ == nullptr) return 0;
  std::string message(text);
  return statusHandler_(message.c_str(), handlerContext_, 0, 0);
}

int HttpSession::ReportProgress(std::int32_t received, std::int32_t total) {
  if (statusHandler_ == nullptr) return 0;
  return statusHandler_(nullptr, handlerContext_, received, total);
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

int HttpSession::ReadResponseHeader(bool replaceZeros, bool reportTimeout, std::string& header,
                                    std::string& earlyBody) {
  std::string buffer;
  std::size_t searchFrom = 0;
  int attempts = 3;
  char piece[kReceiveChunk];
  for (;;) {
    std::size_t end = buffer.find("\r\n\r\n", searchFrom);
    if (end != std::string::npos) {
      std::string early = buffer.substr(end + 4);
      buffer.resize(end);
      if (StatusCode(buffer) == 100) {
        buffer = std::move(early);
        searchFrom = 0;
        continue;
      }
      header = std::move(buffer);
      earlyBody = std::move(early);
      return 0;
    }
    if (buffer.size() > kMaxHeaderSize) {
      ReportStatus(net_text::HeaderTooLarge());
      Close();
      return -5;
    }
    searchFrom = buffer.size() < 3 ? 0 : buffer.size() - 3;
    if (WaitReadable() == 0) {
      if (ReportStatus(net_text::TimeoutWarning()) != 0) {
        Close();
        return -5;
      }
      if (--attempts > 0) continue;
      if (reportTimeout) ReportStatus(net_text::TimedOut());
      Close();
      return -6;
    }
    int n = Receive(piece, kReceiveChunk);
    if (n <= 0) {
      ReportStatus(net_text::ReceiveFailed());
      Close();
      return -5;
    }
    if (replaceZeros) std::replace(piece, piece + n, '\0', '*');
    buffer.append(piece, static_cast<std::size_t>(n));
    attempts = 3;
    if (ReportProgress(0, static_cast<std::int32_t>(buffer.size())) != 0) {
      ReportStatus(net_text::Aborted());
      Close();
      return -5;
    }
  }
}

int HttpSession::StatusCode(std::string_view header) {
  std::size_t space = header.find(' ');
  if (space == std::string_view::npos) return 0;
  std::int64_t value = ParseNumber(header.substr(space + 1));
  return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

std::int64_t HttpSession::ContentLength(std::string_view header) {
  std::size_t field = header.find("Content-Length:");
  if (field == std::string_view::npos) return 0;
  return ParseNumber(header.substr(field + 15));
}

bool HttpSession::HasContentLength(std::string_view header) {
  return header.find("Content-Length:") != std::string_view::npos;
}

std::string HttpSession::LastModifiedField(std::string_view header) {
  std::size_t field = header.find("Last-Modified:");
  if (field == std::string_view::npos) return {};
  std::string_view value = header.substr(field + 14);
  return std::string(value.substr(0, value.find("\r\n")));
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
