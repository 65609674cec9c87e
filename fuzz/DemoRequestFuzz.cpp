// The demo server's request handling. Input: the bytes of one request as a client sent them (head
// and body). Oracles: the answer is one well-formed HTTP answer whose head lines are printable
// ASCII (nothing from the request reaches a header raw); it is bounded in size; a redirect stays
// on the network's own hosts; and a request is served (2xx) only for a path made of plain segments
// that names one of the network's own kinds of resource (a page, list, log, form target or
// picture), never a path that climbs, doubles a slash, or hides a segment behind an escape. The
// control paths (/_demo/) answer only their one-line summaries.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "demo/DemoNetwork.h"
#include "demo/DemoServer.h"

namespace {

constexpr long long kStart = 1796688000;
constexpr std::size_t kMaxAnswer = 4 * 1024 * 1024;

bool PlainSegment(std::string_view segment) {
  if (segment.empty() || segment == "." || segment == "..") return false;
  for (char c : segment) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '.' || c == '_' || c == '-';
    if (!plain) return false;
  }
  return true;
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// True when `path` is one the network may serve: "/" then plain segments, the last of which names a
// page, list, log, form target or control path.
bool ServablePath(std::string_view path) {
  if (path.size() < 2 || path[0] != '/') return false;
  std::vector<std::string_view> segments;
  for (std::size_t at = 1; at <= path.size();) {
    std::size_t slash = path.find('/', at);
    if (slash == std::string_view::npos) slash = path.size();
    segments.push_back(path.substr(at, slash - at));
    at = slash + 1;
  }
  for (std::string_view segment : segments) {
    if (!PlainSegment(segment)) return false;
  }
  std::string_view last = segments.back();
  return last == "bbsmenu.html" || last == "subject.txt" || last == "SETTING.TXT" ||
         last == "bbs.cgi" || EndsWith(last, ".dat") ||
         (segments.size() == 2 && segments.front() == "i" &&
          (EndsWith(last, ".png") || EndsWith(last, ".jpg") || EndsWith(last, ".gif") ||
           EndsWith(last, ".webp") || EndsWith(last, ".bmp")));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velkor;
  if (size > 64 * 1024) return 0;
  const std::string_view request = fuzz::AsText(data, size);
  // A fresh copy of the network for every input, so inputs that grow or post do not pile up.
  static const demo::DemoNetwork prototype("http", kStart);
  demo::DemoNetwork network = prototype;
  demo::DemoServer server(network);
  const std::string answer = server.Answer(request, kStart + 30);

  FUZZ_CHECK(answer.size() <= kMaxAnswer, "the answer is unbounded", request);
  const std::size_t headEnd = answer.find("\r\n\r\n");
  FUZZ_CHECK(headEnd != std::string::npos, "the answer has no end of head", request);
  FUZZ_CHECK(answer.rfind("HTTP/1.1 ", 0) == 0 && answer.size() >= 12, "no status line", answer);
  const std::string_view head = std::string_view(answer).substr(0, headEnd + 2);
  for (std::size_t at = 0; at < head.size();) {
    std::size_t end = head.find("\r\n", at);
    for (char c : head.substr(at, end - at)) {
      FUZZ_CHECK(c >= 0x20 && c < 0x7F, "a head line holds a byte that is not printable ASCII",
                 head);
    }
    at = end + 2;
  }
  const int status = std::stoi(answer.substr(9, 3));
  const std::string_view line = request.substr(0, request.find("\r\n"));
  const std::size_t sp1 = line.find(' ');
  const std::size_t sp2 = line.find(' ', sp1 == std::string_view::npos ? sp1 : sp1 + 1);
  const std::string_view target = sp1 == std::string_view::npos || sp2 == std::string_view::npos
                                      ? std::string_view()
                                      : line.substr(sp1 + 1, sp2 - sp1 - 1);
  const std::string_view path = target.substr(0, target.find('?'));
  if (status >= 200 && status < 300 && path.rfind("/_demo/", 0) == 0) {
    const std::string_view body = std::string_view(answer).substr(headEnd + 4);
    FUZZ_CHECK(body.rfind("added ", 0) == 0 || body.rfind("step ", 0) == 0,
               "a control path served something else", request);
  } else if (status >= 200 && status < 300) {
    FUZZ_CHECK(ServablePath(path), "a path outside the network was served", request);
  }
  if (status == 302) {
    const std::size_t at = head.find("\r\nLocation: http://");
    FUZZ_CHECK(at != std::string_view::npos, "a redirect without a location", head);
    const std::string_view rest = head.substr(at + 19);
    const std::string_view host = rest.substr(0, rest.find('/'));
    bool ours = false;
    for (const std::string& name : network.Hosts()) ours = ours || host == name;
    FUZZ_CHECK(ours, "a redirect leaves the network", head);
  }
  return 0;
}
