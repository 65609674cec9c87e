#include "demo/DemoServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <vector>

#include "base/Sjis.h"
#include "demo/DemoRequest.h"

namespace velkor::demo {
namespace {

constexpr long long kIdleSeconds = 15;
constexpr std::size_t kChunkSize = 8 * 1024;
constexpr std::size_t kMaxConnections = 1024;
// Descriptors kept free for everything that is not a connection.
constexpr rlim_t kReservedFds = 16;

long long Now() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string ReasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 206:
      return "Partial Content";
    case 302:
      return "Found";
    case 304:
      return "Not Modified";
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 411:
      return "Length Required";
    case 413:
      return "Payload Too Large";
    case 416:
      return "Range Not Satisfiable";
    default:
      return "Internal Server Error";
  }
}

// "bytes=FIRST-" or "bytes=FIRST-LAST"; false for anything else (which is then ignored, as a
// server may do with a range it does not serve).
bool ParseRange(std::string_view value, long long& first, long long& last) {
  if (value.substr(0, 6) != "bytes=") return false;
  value.remove_prefix(6);
  std::size_t dash = value.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash > 15 || value.size() - dash > 16) {
    return false;
  }
  std::string a(value.substr(0, dash));
  std::string b(value.substr(dash + 1));
  if (a.find_first_not_of("0123456789") != std::string::npos ||
      b.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  first = std::stoll(a);
  last = b.empty() ? -1 : std::stoll(b);
  return last < 0 || last >= first;
}

std::string Gzip(std::string_view data) {
  z_stream stream{};
  if (deflateInit2(&stream, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return result == Z_STREAM_END ? out : std::string();
}

std::string Chunked(std::string_view body) {
  std::string out;
  for (std::size_t at = 0; at < body.size(); at += kChunkSize) {
    std::size_t n = std::min(kChunkSize, body.size() - at);
    char size[24];
    std::snprintf(size, sizeof size, "%zx\r\n", n);
    out += size;
    out.append(body.substr(at, n));
    out += "\r\n";
  }
  return out + "0\r\n\r\n";
}

// How many connections may be open at once: below the process's descriptor limit with room for the
// listening socket, standard streams and files, and never more than kMaxConnections.
std::size_t ConnectionLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
    return kMaxConnections;
  }
  rlim_t usable = limit.rlim_cur > kReservedFds + 1 ? limit.rlim_cur - kReservedFds : 1;
  return static_cast<std::size_t>(std::min<rlim_t>(usable, kMaxConnections));
}

bool ParseNumber(const std::string& text, long long& value) {
  if (text.empty() || text.size() > 15 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  value = std::stoll(text);
  return true;
}

}  // namespace

std::string HttpDate(long long when) {
  std::time_t t = static_cast<std::time_t>(when);
  std::tm tm{};
  gmtime_r(&t, &tm);
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char text[40];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[tm.tm_wday],
                tm.tm_mday, kMonths[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min,
                tm.tm_sec);
  return text;
}

bool ParseHttpDate(std::string_view text, long long& when) {
  std::string copy(TrimView(text));
  std::tm tm{};
  const char* end = strptime(copy.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &tm);
  if (!end || *end != '\0') return false;
  when = static_cast<long long>(timegm(&tm));
  return true;
}

std::string DemoServer::ControlAnswer(std::string_view path, long long now) {
  std::string text;
  if (path == "/_demo/step") {
    text = network_.Step(now);
  } else {
    // "/_demo/grow/BOARD/KEY/N" (N optional).
    std::vector<std::string> parts;
    std::string_view rest = path.substr(std::string_view("/_demo/grow/").size());
    for (std::size_t slash; (slash = rest.find('/')) != std::string_view::npos;) {
      parts.emplace_back(rest.substr(0, slash));
      rest.remove_prefix(slash + 1);
    }
    parts.emplace_back(rest);
    long long key = 0;
    long long count = 1;
    if (parts.size() < 2 || parts.size() > 3 || !ParseNumber(parts[1], key) ||
        (parts.size() == 3 && !ParseNumber(parts[2], count))) {
      return "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    }
    int added = network_.Grow(parts[0], key, static_cast<int>(std::min(count, 1000LL)), now);
    text = "added " + std::to_string(added);
  }
  text += "\n";
  return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
         std::to_string(text.size()) + "\r\nConnection: close\r\n\r\n" + text;
}

std::string DemoServer::Answer(std::string_view bytes, long long now) {
  std::string common = "Date: " + HttpDate(now) + "\r\nServer: velkor-demo\r\n";
  auto simple = [&](int status, std::string extra) {
    std::string body =
        "<html><body>" + std::to_string(status) + " " + ReasonPhrase(status) + "</body></html>\n";
    return "HTTP/1.1 " + std::to_string(status) + " " + ReasonPhrase(status) + "\r\n" + common +
           extra + "Content-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
  };
  std::optional<DemoRequest> request = DemoRequest::Parse(bytes);
  if (!request) return simple(400, "");
  const std::string& method = request->Method();
  std::string_view path = request->Path();
  if (method == "POST" && path == "/test/bbs.cgi") {
    // A body is taken only by its Content-Length, and only whole.
    std::optional<std::size_t> length = request->ContentLength();
    if (request->Header("Transfer-Encoding") || !length) return simple(411, "");
    if (*length > DemoRequest::kMaxBody) return simple(413, "");
    if (request->Body().size() != *length) return simple(400, "");
    DemoPostAnswer posted = post_.Answer(*request, now);
    return "HTTP/1.1 200 OK\r\n" + common + "Content-Type: text/html; charset=Shift_JIS\r\n" +
           posted.headers + "Content-Length: " + std::to_string(posted.page.size()) +
           "\r\nConnection: close\r\n\r\n" + posted.page;
  }
  if (method != "GET" && method != "HEAD") return simple(405, "Allow: GET, HEAD\r\n");
  if (path == "/_demo/step" || path.substr(0, 12) == "/_demo/grow/")
    return ControlAnswer(path, now);

  DemoResource resource = network_.Find(request->Host(), path);
  if (resource.status == 404) return simple(404, "");
  if (resource.status == 302) return simple(302, "Location: " + resource.location + "\r\n");

  std::string head = common + "Content-Type: " + resource.contentType +
                     "\r\nLast-Modified: " + HttpDate(resource.modified) +
                     "\r\nAccept-Ranges: bytes\r\nConnection: close\r\n";
  long long since = 0;
  if (ParseHttpDate(request->Header("If-Modified-Since").value_or(""), since) &&
      resource.modified <= since) {
    return "HTTP/1.1 304 Not Modified\r\n" + head + "\r\n";
  }
  bool bodyWanted = method == "GET";
  const std::string& body = resource.body;
  long long size = static_cast<long long>(body.size());
  long long first = 0;
  long long last = 0;
  if (ParseRange(request->Header("Range").value_or(""), first, last)) {
    if (first >= size) {
      return "HTTP/1.1 416 Range Not Satisfiable\r\n" + head + "Content-Range: bytes */" +
             std::to_string(size) + "\r\nContent-Length: 0\r\n\r\n";
    }
    if (last < 0 || last >= size) last = size - 1;
    std::string part =
        body.substr(static_cast<std::size_t>(first), static_cast<std::size_t>(last - first + 1));
    return "HTTP/1.1 206 Partial Content\r\n" + head + "Content-Range: bytes " +
           std::to_string(first) + "-" + std::to_string(last) + "/" + std::to_string(size) +
           "\r\nContent-Length: " + std::to_string(part.size()) + "\r\n\r\n" +
           (bodyWanted ? part : std::string());
  }
  std::string encodings = AsciiLowerCopy(request->Header("Accept-Encoding").value_or(""));
  if (encodings.find("gzip") != std::string::npos) {
    std::string packed = Gzip(body);
    if (!packed.empty()) {
      head += "Content-Encoding: gzip\r\nVary: Accept-Encoding\r\n";
      if (request->Http11()) {
        return "HTTP/1.1 200 OK\r\n" + head + "Transfer-Encoding: chunked\r\n\r\n" +
               (bodyWanted ? Chunked(packed) : std::string());
      }
      return "HTTP/1.1 200 OK\r\n" + head + "Content-Length: " + std::to_string(packed.size()) +
             "\r\n\r\n" + (bodyWanted ? packed : std::string());
    }
  }
  return "HTTP/1.1 200 OK\r\n" + head + "Content-Length: " + std::to_string(size) + "\r\n\r\n" +
         (bodyWanted ? body : std::string());
}

struct DemoServer::Connection {
  int fd = -1;
  SSL* ssl = nullptr;
  std::string in;
  std::string out;
  std::size_t sent = 0;
  bool answered = false;
  bool wantWrite = false;  // TLS: the last call asked to wait for writability
  long long deadline = 0;
};

DemoServer::~DemoServer() {
  if (listenFd_ >= 0) close(listenFd_);
}

bool DemoServer::Listen(unsigned short port, std::string& error) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd, SOMAXCONN) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
    close(fd);
    return false;
  }
  if (listenFd_ >= 0) close(listenFd_);
  listenFd_ = fd;
  port_ = ntohs(address.sin_port);
  return true;
}

void DemoServer::Run(const volatile std::sig_atomic_t& stop, int stepSeconds) {
  std::vector<std::unique_ptr<Connection>> connections;
  std::size_t live = 0;  // connections whose socket is open
  auto drop = [&live](Connection& c) {
    if (c.fd < 0) return;
    if (c.ssl) {
      if (c.answered) SSL_shutdown(c.ssl);
      SSL_free(c.ssl);
    }
    close(c.fd);
    c.fd = -1;
    --live;
  };
  // Makes room for a new connection by closing the oldest one still waiting for its request; false
  // when every open connection is being answered.
  auto dropOldestIdle = [&]() {
    for (auto& c : connections) {
      if (c->fd >= 0 && !c->answered) {
        drop(*c);
        return true;
      }
    }
    return false;
  };
  const std::size_t limit = ConnectionLimit();
  bool acceptPaused = false;
  long long nextStep = stepSeconds > 0 ? Now() + stepSeconds : 0;
  while (!stop) {
    std::vector<pollfd> fds;
    // The listening socket is left out while accepting cannot succeed, since it stays readable and
    // would wake every poll at once: for one round after the system refused a descriptor with no
    // idle connection to give up, and while every allowed connection is being answered.
    bool roomToAccept = live < limit || std::any_of(connections.begin(), connections.end(),
                                                    [](const auto& c) { return !c->answered; });
    fds.push_back({acceptPaused || !roomToAccept ? -1 : listenFd_, POLLIN, 0});
    acceptPaused = false;
    for (const auto& c : connections) {
      bool writing = c->answered || c->wantWrite;
      fds.push_back({c->fd, static_cast<short>(writing ? POLLOUT : POLLIN), 0});
    }
    int ready = poll(fds.data(), fds.size(), 200);
    if (ready < 0 && errno != EINTR) break;
    long long now = Now();
    if (nextStep != 0 && now >= nextStep) {
      std::fprintf(stderr, "demo-server: %s\n", network_.Step(now).c_str());
      nextStep = now + stepSeconds;
    }
    if (ready <= 0) {
      for (auto& c : connections) {
        if (now > c->deadline) drop(*c);
      }
    } else {
      if (fds[0].revents & POLLIN) {
        while (live < limit || dropOldestIdle()) {
          int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
          if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
              if (dropOldestIdle()) continue;
              acceptPaused = true;
            }
            break;
          }
          ++live;
          auto c = std::make_unique<Connection>();
          c->fd = fd;
          c->deadline = now + kIdleSeconds;
          if (tls_) {
            c->ssl = SSL_new(tls_);
            if (!c->ssl || SSL_set_fd(c->ssl, fd) != 1) {
              drop(*c);
              continue;
            }
            SSL_set_accept_state(c->ssl);
          }
          connections.push_back(std::move(c));
        }
      }
      for (std::size_t i = 1; i < fds.size(); ++i) {
        Connection& c = *connections[i - 1];
        if (c.fd < 0) continue;
        if (fds[i].revents == 0) {
          if (now > c.deadline) drop(c);
          continue;
        }
        c.wantWrite = false;
        if (!c.answered) {
          char buffer[4096];
          long n;
          if (c.ssl) {
            n = SSL_read(c.ssl, buffer, sizeof buffer);
            if (n <= 0) {
              int code = SSL_get_error(c.ssl, static_cast<int>(n));
              if (code == SSL_ERROR_WANT_WRITE) c.wantWrite = true;
              if (code != SSL_ERROR_WANT_READ && code != SSL_ERROR_WANT_WRITE) drop(c);
              continue;
            }
          } else {
            n = recv(c.fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
              if (n == 0 || (errno != EAGAIN && errno != EINTR)) drop(c);
              continue;
            }
          }
          c.in.append(buffer, static_cast<std::size_t>(n));
          std::size_t size = DemoRequest::Size(c.in);
          if (size == 0) {
            // Still reading: a head is bounded here, a body by the Content-Length Size accepted.
            if (c.in.find("\r\n\r\n") == std::string::npos && c.in.size() > DemoRequest::kMaxHead) {
              drop(c);
            }
            continue;
          }
          c.out = Answer(std::string_view(c.in).substr(0, size), now);
          c.answered = true;
          continue;
        }
        long n;
        std::size_t left = std::min<std::size_t>(c.out.size() - c.sent, 64 * 1024);
        if (c.ssl) {
          n = SSL_write(c.ssl, c.out.data() + c.sent, static_cast<int>(left));
          if (n <= 0) {
            int code = SSL_get_error(c.ssl, static_cast<int>(n));
            if (code != SSL_ERROR_WANT_READ && code != SSL_ERROR_WANT_WRITE) drop(c);
            continue;
          }
        } else {
          n = send(c.fd, c.out.data() + c.sent, left, MSG_NOSIGNAL);
          if (n < 0) {
            if (errno != EAGAIN && errno != EINTR) drop(c);
            continue;
          }
        }
        c.sent += static_cast<std::size_t>(n);
        c.deadline = now + kIdleSeconds;
        if (c.sent == c.out.size()) {
          if (!c.ssl) shutdown(c.fd, SHUT_WR);
          drop(c);
        }
      }
    }
    connections.erase(std::remove_if(connections.begin(), connections.end(),
                                     [](const auto& c) { return c->fd < 0; }),
                      connections.end());
  }
  for (auto& c : connections) drop(*c);
}

}  // namespace velkor::demo
