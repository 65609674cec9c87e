// The answer path of a fetch once a connection (plain or TLS: the same code reads both) has a
// response header: its status line, its fields and the redirect decision. Input: the first line is
// the URL asked for, the rest a response header. Oracles: the redirect a fetch would follow is only
// the same URL with http turned into https (same host, letter case aside, and the same request
// target), only for a redirect status, and never carries a byte that would break a request line;
// a Location naming exactly that URL is followed when it fits a request line; header values never
// hold a line break.

#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "base/Sjis.h"
#include "net/Fetch.h"
#include "net/HttpSession.h"
#include "net/HttpUrl.h"

namespace {

bool IsRedirectStatus(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const velkor::fuzz::Head input = velkor::fuzz::SplitHead(velkor::fuzz::AsText(data, size));
  const std::string_view url = input.line;
  const std::string_view header = input.rest;
  using velkor::HttpSession;

  const int status = HttpSession::StatusCode(header);
  FUZZ_CHECK(!HasLineBreak(HttpSession::LastModifiedField(header)),
             "a Last-Modified value holds a line break", header);
  FUZZ_CHECK(!HasLineBreak(HttpSession::FieldValue(header, "Location")),
             "a Location value holds a line break", header);
  FUZZ_CHECK(!HasLineBreak(HttpSession::ContentLengthValue(header)),
             "a Content-Length value holds a line break", header);

  const std::string target = velkor::HttpsRedirectTarget(status, header, url);
  if (!target.empty()) {
    FUZZ_CHECK(IsRedirectStatus(status), "a redirect followed for another status", header);
    FUZZ_CHECK(!velkor::fuzz::HasControlByte(target) && target.find(' ') == std::string::npos,
               "a followed redirect breaks a request line", target);
    velkor::HttpUrl from;
    velkor::HttpUrl to;
    const bool fromParsed = velkor::ParseHttpUrl(url, from) == velkor::HttpUrlStatus::kOk;
    const bool toParsed = velkor::ParseHttpUrl(target, to) == velkor::HttpUrlStatus::kOk;
    FUZZ_CHECK(fromParsed == toParsed,
               "a redirect turns a URL that can be fetched into one that "
               "cannot, or the other way round",
               target);
    if (fromParsed) {
      FUZZ_CHECK(!from.tls && to.tls, "a followed redirect does not go from http to https", target);
      FUZZ_CHECK(velkor::EqualsIgnoreAsciiCase(from.host, to.host) && from.target == to.target,
                 "a followed redirect goes to another host or path", target);
    }
  } else if (IsRedirectStatus(status) && url.size() > 7 && !velkor::fuzz::HasControlByte(url) &&
             url.find(' ') == std::string_view::npos &&
             velkor::EqualsIgnoreAsciiCase(url.substr(0, 7), "http://")) {
    const std::string https = "https://" + std::string(url.substr(7));
    FUZZ_CHECK(HttpSession::FieldValue(header, "Location") != https,
               "a redirect to the same URL over https is not followed", header);
  }
  return 0;
}
