#pragma once

// The cookies the boards set (the posting identity cookies among them), kept as RFC 6265 says a
// user agent keeps them and stored across runs in the Netscape cookies.txt format that curl and
// wget read. Times are calendar seconds since 1970 (UTC), handed in by the caller so that tests
// decide them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"
#include "net/PublicSuffixes.h"

namespace velkor {

struct Cookie {
  std::string name;
  std::string value;
  std::string domain;        // lower case, no leading dot: the host itself for a host-only cookie
  std::string path;          // begins with "/"
  std::int64_t expires = 0;  // calendar seconds; 0 for a session cookie
  bool persistent = false;   // false: a session cookie, forgotten at exit and never saved
  bool hostOnly = true;      // sent to `domain` only, not to the hosts below it
  bool secure = false;       // sent over https only
  bool httpOnly = false;
};

// Why a Set-Cookie was not taken.
enum class CookieRefusal {
  kOk,
  kMalformed,      // no "=" in the name-value pair, an empty name, a control byte (CR, LF, TAB...)
  kTooLarge,       // name and value above kMaxCookieSize bytes, or the field above twice that
  kBadUrl,         // the request URL does not take apart
  kForeignDomain,  // a Domain the request host is not in, or one that is no plain host name
  kPublicSuffix,   // a Domain that is a public suffix ("com", "co.jp") other than the host
  kNotSecure,      // Secure set over plain http, or a plain-http cookie shadowing a secure one
};

inline constexpr std::size_t kMaxCookieSize = 4096;  // name and value
inline constexpr std::size_t kMaxCookiesPerDomain = 50;
inline constexpr std::size_t kMaxCookies = 1000;
// The longest a cookie lives from the time it was set, whatever its Expires or Max-Age say.
inline constexpr std::int64_t kMaxCookieLifetime = 400LL * 24 * 60 * 60;
// A cookies.txt above this size is not read.
inline constexpr std::size_t kMaxCookieFileSize = 4 * 1024 * 1024;

// Reads an RFC 6265 cookie date (the Expires attribute: "Wed, 21 Oct 2015 07:28:00 GMT" and the
// older forms "Wednesday, 21-Oct-15 07:28:00 GMT", "Wed Oct 21 07:28:00 2015"), as section 5.1.1
// reads it. Calendar seconds, or nullopt when the text names no valid date.
std::optional<std::int64_t> ParseCookieDate(std::string_view text);

class CookieJar {
 public:
  // `suffixes` must outlive the jar.
  explicit CookieJar(const PublicSuffixes& suffixes = SystemPublicSuffixes());

  // Takes one Set-Cookie field value that the answer to `requestUrl` carried, at time `now`
  // (RFC 6265 sections 5.2 and 5.3): the host-only flag, the Domain check against the request
  // host and the public suffixes, the default path, Max-Age over Expires. A cookie with the same
  // name, domain and path replaces the old one (keeping its place in the order); one that has
  // already expired only removes the old one. A Secure cookie is taken from https only, and a
  // plain-http cookie may not shadow a secure one of the same name. Beyond kMaxCookiesPerDomain
  // for its domain, or kMaxCookies in all, the oldest cookie goes. On refusal nothing changes.
  Result<CookieRefusal> Store(std::string_view requestUrl, std::string_view setCookie,
                              std::int64_t now);

  // The value of the Cookie field for a request to `requestUrl` at time `now` (section 5.4):
  // "name=value" of every unexpired cookie whose domain and path match and, when it is Secure,
  // only over https; longer paths first, then older cookies first; joined by "; ". Empty when no
  // cookie matches or the URL does not take apart.
  std::string CookieHeader(std::string_view requestUrl, std::int64_t now) const;

  // Replaces the jar with the cookies of a cookies.txt file. A missing file gives an empty jar.
  // Lines that are no valid cookie (wrong field count, bad flags, a Domain cookie for a public
  // suffix, a control byte) and cookies expired at `now` are skipped; a line with expiry 0 is a
  // session cookie. The limits hold as for Store: cookies of a domain beyond
  // kMaxCookiesPerDomain and any beyond kMaxCookies are left out. Fails, leaving the jar empty,
  // when the file exists but cannot be read or is above kMaxCookieFileSize.
  Outcome Load(const std::string& path, std::int64_t now);

  // Writes the persistent cookies that have not expired at `now` to `path` in the Netscape
  // format, crash-safely and readable by the owner only (mode 0600). Session cookies are not
  // written. On failure the old file is left as it was.
  Outcome Save(const std::string& path, std::int64_t now) const;

  // The file text Save writes.
  std::string FileText(std::int64_t now) const;

  // Forgets the session cookies (at exit, before the last Save).
  void DropSessionCookies();

  // Every cookie, in the order they were first set.
  const std::vector<Cookie>& Cookies() const { return cookies_; }

 private:
  void Insert(Cookie cookie, std::int64_t now);

  const PublicSuffixes* suffixes_;
  std::vector<Cookie> cookies_;
};

// RFC 6265 section 5.1.4: the path a cookie gets when its Set-Cookie names none, from the request
// target (the URL's path, no query).
std::string DefaultCookiePath(std::string_view requestPath);

// Section 5.1.4: whether a request path lies below a cookie path.
bool CookiePathMatches(std::string_view requestPath, std::string_view cookiePath);

// Section 5.1.3: whether `host` (lower case) is `domain` or a host name below it on a label
// boundary; an IP address matches only itself.
bool CookieDomainMatches(std::string_view host, std::string_view domain);

}  // namespace velkor
