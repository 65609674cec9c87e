// Response-header fields and the fetches that read them. Input: a whole response as a server
// sends it (header, blank line, body). The header readers run on its header part; then a loopback
// server answers every connection with the input and closes, while FetchFull, FetchDifferential
// and FetchImage fetch from it. Oracles: no value taken from a header can carry a line break (it is
// written to INI files); a successful fetch delivers no zero byte and nothing above the body limit;
// an answer whose Content-Length is no number is no success; a differential fetch never stores an
// encoded body and only appends a 206 whose range starts at the byte it asked for. A POST of the
// same answer (SendHttpRequest) is never counted as unsent, and its fields hold no line break. An
// image answer's redirect leads only to an http(s) URL of link bytes; an image comes only from a
// 200 answer, within 20 MB, with a start the header reader does not refuse, and, for a plain answer
// with a length, exactly the bytes sent (zero bytes kept).

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "FuzzSupport.h"
#include "base/Sjis.h"
#include "images/ImageCache.h"
#include "images/ImageFetch.h"
#include "images/ImageLinks.h"
#include "net/ConnectOverrides.h"
#include "net/Fetch.h"
#include "net/HttpSession.h"

namespace {

// Answers every connection with the current response, then closes it.
class LoopbackServer {
 public:
  LoopbackServer() {
    listen_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listen_, 16) != 0 ||
        getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
      velkor::fuzz::Fail("cannot open the loopback server");
    }
    port_ = ntohs(addr.sin_port);
    std::thread([this] { Serve(); }).detach();
  }

  unsigned short Port() const { return port_; }
  void SetResponse(std::string_view response) {
    std::lock_guard<std::mutex> lock(mutex_);
    response_.assign(response);
  }

 private:
  void Serve() {
    for (;;) {
      int fd = accept(listen_, nullptr, nullptr);
      if (fd < 0) continue;
      // The request header ends with a blank line; the client sends nothing after it.
      std::string request;
      char buffer[1024];
      while (request.find("\r\n\r\n") == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 2000) <= 0) break;
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<std::size_t>(n));
      }
      std::string response;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        response = response_;
      }
      for (std::size_t sent = 0; sent < response.size();) {
        ssize_t n = send(fd, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
      }
      shutdown(fd, SHUT_WR);
      close(fd);
    }
  }

  int listen_ = -1;
  unsigned short port_ = 0;
  std::mutex mutex_;
  std::string response_;
};

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

// True when the header has a Content-Length field whose value (after blanks) is no decimal number.
bool HasBadContentLength(std::string_view header) {
  std::size_t field = header.find("Content-Length:");
  if (field == std::string_view::npos) return false;
  std::string_view value = header.substr(field + 15);
  value = value.substr(0, value.find_first_of("\r\n"));
  // Blanks and control bytes around the number are no part of it (as the fetch reads the field).
  value = velkor::TrimView(value);
  if (value.empty()) return true;
  for (char c : value) {
    if (c < '0' || c > '9') return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velkor;
  if (size > 96 * 1024) return 0;
  fuzz::ScratchDataDir();
  static LoopbackServer* server = [] {
    auto* made = new LoopbackServer;
    (void)AddConnectOverrides({"fuzz.test=127.0.0.1:" + std::to_string(made->Port())});
    HttpSession::SetWaitLimitForTesting(std::chrono::milliseconds(3000));
    return made;
  }();
  const std::string_view response = fuzz::AsText(data, size);
  const std::size_t blank = response.find("\r\n\r\n");
  const std::string_view header = response.substr(0, blank);

  FUZZ_CHECK(!HasLineBreak(HttpSession::LastModifiedField(header)),
             "a Last-Modified value carries a line break", header);
  HttpSession::ContentLength(header);
  HttpSession::IsChunked(header);
  const bool gzip = HttpSession::IsGzip(header);
  // Only a plain answer tells the oracles about the header the fetch acts on.
  // (An interim 1xx answer is skipped by the fetch, whatever its version text says.)
  const bool plain = blank != std::string_view::npos && HttpSession::StatusCode(header) / 100 != 1;
  server->SetResponse(response);

  {
    HttpSession session;
    std::string output;
    std::string lastModified;
    FetchOutcome result =
        FetchFull(session, "http://fuzz.test/news/subject.txt", output, lastModified, true);
    if (result.IsOk()) {
      FUZZ_CHECK(output.find('\0') == std::string::npos, "a fetched body holds a zero byte", "");
      FUZZ_CHECK(output.size() <= kMaxBodySize, "a fetched body exceeds the limit", "");
      FUZZ_CHECK(!HasLineBreak(lastModified), "a fetched Last-Modified carries a line break",
                 lastModified);
      FUZZ_CHECK(!(plain && !HttpSession::IsChunked(header) && HasBadContentLength(header)),
                 "an answer with a Content-Length that is no number was taken", header);
    }
  }
  {
    const std::string stored = "1<><>2024/01/02<>a<>title\n";
    HttpSession session;
    std::string log = stored;
    std::string lastModified = " Tue, 02 Jan 2024 03:04:05 GMT";
    FetchOutcome result =
        FetchDifferential(session, "http://fuzz.test/news/dat/1.dat", log, lastModified);
    if (result.IsOk()) {
      FUZZ_CHECK(log.find('\0') == std::string::npos, "a fetched log holds a zero byte", "");
      FUZZ_CHECK(!HasLineBreak(lastModified), "a fetched Last-Modified carries a line break",
                 lastModified);
      if (plain && gzip) {
        FUZZ_CHECK(log.find("\x1F\x8B\x08") == std::string::npos,
                   "a differential fetch stored a gzip body raw", "");
      }
      std::string range = HttpSession::FieldValue(header, "Content-Range");
      for (char& c : range) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      const std::string asked = "bytes " + std::to_string(stored.size() - 1) + "-";
      if (plain && HttpSession::StatusCode(header) == 206 && !range.empty()) {
        FUZZ_CHECK(range.rfind(asked, 0) == 0, "a 206 for another range was appended", header);
      }
      FUZZ_CHECK(!(plain && !HttpSession::IsChunked(header) && HasBadContentLength(header)),
                 "an answer with a Content-Length that is no number was taken", header);
    }
  }
  {
    HttpSession session;
    HttpRequest request;
    request.method = "POST";
    request.url = "http://fuzz.test/test/bbs.cgi";
    request.body = "MESSAGE=x";
    RequestOutcome sent = SendHttpRequest(session, request);
    FUZZ_CHECK(sent.Code() != RequestReach::kNotConnected && sent.Code() != RequestReach::kNotSent,
               "a request that went out counted as never sent", "");
    if (sent.IsOk()) {
      for (const auto& [name, value] : sent.Value().fields) {
        FUZZ_CHECK(!name.empty() && !HasLineBreak(name) && !HasLineBreak(value),
                   "an answer's field is empty or carries a line break", name + ": " + value);
      }
      FUZZ_CHECK(sent.Value().body.size() <= kMaxBodySize, "an answer's body exceeds the limit",
                 "");
      const int status = HttpSession::StatusCode(header);
      const bool bodiless = status == 204 || status == 304;
      FUZZ_CHECK(
          !(plain && !bodiless && !HttpSession::IsChunked(header) && HasBadContentLength(header)),
          "an answer with a Content-Length that is no number was taken", header);
    }
  }
  {
    const std::string url = "http://fuzz.test/i/a.png";
    const std::string location = HttpSession::FieldValue(header, "Location");
    if (std::optional<std::string> next = ImageRedirectTarget(url, location)) {
      const std::string lower = AsciiLowerCopy(next->substr(0, 8));
      FUZZ_CHECK(IsFetchableUrl(*next) && (lower.rfind("http://", 0) == 0 || lower == "https://"),
                 "an image redirect leads to no http(s) link", *next);
    }
    HttpSession session;
    ResultWith<FetchedImage, ImageFetchCode> image = FetchImage(session, url, "http://fuzz.test/");
    // (Past an interim answer the header the fetch acts on is another: only plain ones are judged.)
    if (image.IsOk() && plain) {
      const std::string& body = image.Value().body;
      FUZZ_CHECK(HttpSession::StatusCode(header) == 200,
                 "an image came from an answer other than 200", header);
      FUZZ_CHECK(body.size() <= kMaxImageBytes, "an image above 20 MB was taken", "");
      bool headerPassed = false;
      FUZZ_CHECK(WatchImageAnswer(header, body, headerPassed).empty(),
                 "an image the watcher refuses was taken", header);
      const std::string_view sent =
          blank == std::string_view::npos ? std::string_view() : response.substr(blank + 4);
      if (HttpSession::HasContentLength(header) && !HasBadContentLength(header) &&
          !HttpSession::IsChunked(header)) {
        const auto length = static_cast<std::size_t>(HttpSession::ContentLength(header));
        FUZZ_CHECK(sent.size() >= length && body == sent.substr(0, length),
                   "an image's bytes differ from those sent", header);
      }
    }
  }
  return 0;
}
