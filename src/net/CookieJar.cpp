#include "net/CookieJar.h"

#include <algorithm>
#include <limits>

#include "base/FileUtil.h"
#include "base/Integer.h"
#include "base/Sjis.h"
#include "net/HttpUrl.h"

namespace velkor {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// RFC 6265 section 5.1.1: the bytes that separate the tokens of a cookie date.
bool IsDateDelimiter(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u == 0x09 || (u >= 0x20 && u <= 0x2F) || (u >= 0x3B && u <= 0x40) ||
         (u >= 0x5B && u <= 0x60) || (u >= 0x7B && u <= 0x7E);
}

// Reads minDigits to maxDigits decimal digits at the start of `text` that are followed by its end
// or a non-digit; `rest` is what follows them.
bool ReadDigits(std::string_view text, std::size_t minDigits, std::size_t maxDigits, int& value,
                std::string_view& rest) {
  std::size_t n = 0;
  value = 0;
  while (n < text.size() && IsDigit(text[n])) {
    if (n == maxDigits) return false;
    value = value * 10 + (text[n] - '0');
    ++n;
  }
  if (n < minDigits) return false;
  rest = text.substr(n);
  return true;
}

// hms-time: 1*2DIGIT ":" 1*2DIGIT ":" 1*2DIGIT, then the end or a non-digit.
bool ReadTime(std::string_view token, int& hour, int& minute, int& second) {
  std::string_view rest;
  if (!ReadDigits(token, 1, 2, hour, rest) || !rest.starts_with(':')) return false;
  if (!ReadDigits(rest.substr(1), 1, 2, minute, rest) || !rest.starts_with(':')) return false;
  return ReadDigits(rest.substr(1), 1, 2, second, rest);
}

int MonthOf(std::string_view token) {
  static constexpr std::string_view kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                                 "jul", "aug", "sep", "oct", "nov", "dec"};
  if (token.size() < 3) return 0;
  const std::string lower = AsciiLowerCopy(token.substr(0, 3));
  for (int m = 0; m < 12; ++m) {
    if (lower == kMonths[m]) return m + 1;
  }
  return 0;
}

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

bool HasControlByte(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
  });
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

bool IsIpAddress(std::string_view host) {
  return host.find(':') != std::string_view::npos ||
         std::all_of(host.begin(), host.end(), [](char c) { return IsDigit(c) || c == '.'; });
}

// A host name as a Domain attribute may give it: lower-case letters, digits, "-", "_" and dots
// between non-empty labels.
bool IsPlainDomain(std::string_view domain) {
  if (domain.empty() || domain.front() == '.' || domain.back() == '.' ||
      domain.find("..") != std::string_view::npos) {
    return false;
  }
  return std::all_of(domain.begin(), domain.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || IsDigit(c) || c == '-' || c == '_' || c == '.';
  });
}

// The attributes of one Set-Cookie value (section 5.2); for each, the last one given counts.
struct SetCookieFields {
  std::string_view name;
  std::string_view value;
  bool hasExpires = false;
  std::int64_t expires = 0;
  bool hasMaxAge = false;
  std::int64_t maxAge = 0;  // already capped to kMaxCookieLifetime; <= 0 expires at once
  bool hasDomain = false;
  std::string domain;  // lower case, one leading dot removed
  bool hasPath = false;
  std::string path;
  bool secure = false;
  bool httpOnly = false;
};

// Max-Age: an optional "-" and digits; false for anything else (the attribute is then ignored).
bool ReadMaxAge(std::string_view text, std::int64_t& seconds) {
  const bool negative = text.starts_with('-');
  const std::string_view digits = negative ? text.substr(1) : text;
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(), IsDigit)) return false;
  if (negative) {
    seconds = 0;
    return true;
  }
  seconds = 0;
  for (char c : digits) {
    seconds = std::min(seconds * 10 + (c - '0'), kMaxCookieLifetime + 1);
  }
  return true;
}

bool ParseSetCookie(std::string_view setCookie, std::string_view requestPath,
                    SetCookieFields& fields) {
  const std::size_t semicolon = setCookie.find(';');
  const std::string_view pair = setCookie.substr(0, semicolon);
  const std::size_t equals = pair.find('=');
  if (equals == std::string_view::npos) return false;
  fields.name = TrimBlanks(pair.substr(0, equals));
  fields.value = TrimBlanks(pair.substr(equals + 1));
  if (fields.name.empty()) return false;
  std::string_view attributes =
      semicolon == std::string_view::npos ? std::string_view() : setCookie.substr(semicolon + 1);
  while (!attributes.empty()) {
    const std::size_t end = attributes.find(';');
    const std::string_view av = attributes.substr(0, end);
    attributes = end == std::string_view::npos ? std::string_view() : attributes.substr(end + 1);
    const std::size_t eq = av.find('=');
    const std::string_view key = TrimBlanks(av.substr(0, eq));
    const std::string_view value =
        eq == std::string_view::npos ? std::string_view() : TrimBlanks(av.substr(eq + 1));
    if (EqualsIgnoreAsciiCase(key, "expires")) {
      if (const auto seconds = ParseCookieDate(value)) {
        fields.hasExpires = true;
        fields.expires = *seconds;
      }
    } else if (EqualsIgnoreAsciiCase(key, "max-age")) {
      std::int64_t seconds = 0;
      if (ReadMaxAge(value, seconds)) {
        fields.hasMaxAge = true;
        fields.maxAge = seconds;
      }
    } else if (EqualsIgnoreAsciiCase(key, "domain")) {
      if (value.empty()) continue;
      fields.hasDomain = true;
      fields.domain = AsciiLowerCopy(value.starts_with('.') ? value.substr(1) : value);
    } else if (EqualsIgnoreAsciiCase(key, "path")) {
      fields.hasPath = true;
      fields.path = value.starts_with('/') ? std::string(value) : DefaultCookiePath(requestPath);
    } else if (EqualsIgnoreAsciiCase(key, "secure")) {
      fields.secure = true;
    } else if (EqualsIgnoreAsciiCase(key, "httponly")) {
      fields.httpOnly = true;
    }
  }
  return true;
}

bool SameKey(const Cookie& a, const Cookie& b) {
  return a.name == b.name && a.domain == b.domain && a.path == b.path;
}

bool Expired(const Cookie& cookie, std::int64_t now) {
  return cookie.persistent && cookie.expires <= now;
}

Result<CookieRefusal> Refuse(CookieRefusal code, std::string_view why) {
  static const std::string prefix = Sjis("Cookieを受け付けません: ");
  return {code, prefix + Sjis(why)};
}

// One line of cookies.txt taken apart; false for a line that holds no valid cookie.
bool ParseFileLine(std::string_view line, const PublicSuffixes& suffixes, Cookie& cookie) {
  constexpr std::string_view kHttpOnly = "#HttpOnly_";
  if (line.starts_with(kHttpOnly)) {
    cookie.httpOnly = true;
    line.remove_prefix(kHttpOnly.size());
  }
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  // curl leaves the value out when it is empty.
  if (fields.size() == 6) fields.emplace_back();
  if (fields.size() != 7 || std::any_of(fields.begin(), fields.end(), HasControlByte)) {
    return false;
  }
  std::string_view domain = fields[0];
  if (domain.starts_with('.')) domain.remove_prefix(1);
  cookie.domain = AsciiLowerCopy(domain);
  if (fields[1] != "TRUE" && fields[1] != "FALSE") return false;
  if (fields[3] != "TRUE" && fields[3] != "FALSE") return false;
  cookie.hostOnly = fields[1] == "FALSE";
  cookie.path = std::string(fields[2]);
  cookie.secure = fields[3] == "TRUE";
  const auto expires = ParseInteger<std::int64_t>(fields[4], IntegerSyntax::kDigits);
  if (!expires) return false;
  cookie.expires = *expires;
  cookie.persistent = *expires != 0;
  cookie.name = std::string(fields[5]);
  cookie.value = std::string(fields[6]);
  if (cookie.name.empty() || cookie.name.size() + cookie.value.size() > kMaxCookieSize ||
      !cookie.path.starts_with('/')) {
    return false;
  }
  if (IsIpAddress(cookie.domain)) {
    cookie.hostOnly = true;
    return cookie.domain.find_first_not_of("0123456789abcdef.:") == std::string::npos;
  }
  return IsPlainDomain(cookie.domain) &&
         (cookie.hostOnly || !suffixes.IsPublicSuffix(cookie.domain));
}

}  // namespace

std::optional<std::int64_t> ParseCookieDate(std::string_view text) {
  bool foundTime = false;
  bool foundDay = false;
  bool foundMonth = false;
  bool foundYear = false;
  int hour = 0, minute = 0, second = 0, day = 0, month = 0, year = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsDateDelimiter(text[i])) ++i;
    const std::size_t start = i;
    while (i < text.size() && !IsDateDelimiter(text[i])) ++i;
    const std::string_view token = text.substr(start, i - start);
    if (token.empty()) break;
    std::string_view rest;
    int h = 0, m = 0, s = 0, value = 0;
    if (!foundTime && ReadTime(token, h, m, s)) {
      foundTime = true;
      hour = h;
      minute = m;
      second = s;
    } else if (!foundDay && ReadDigits(token, 1, 2, value, rest)) {
      foundDay = true;
      day = value;
    } else if (!foundMonth && MonthOf(token) != 0) {
      foundMonth = true;
      month = MonthOf(token);
    } else if (!foundYear && ReadDigits(token, 2, 4, value, rest)) {
      foundYear = true;
      year = value;
    }
  }
  if (year >= 70 && year <= 99) year += 1900;
  if (year >= 0 && year <= 69) year += 2000;
  if (!foundTime || !foundDay || !foundMonth || !foundYear || day < 1 || day > 31 || year < 1601 ||
      hour > 23 || minute > 59 || second > 59 || day > DaysInMonth(year, month)) {
    return std::nullopt;
  }
  return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

std::string DefaultCookiePath(std::string_view requestPath) {
  if (!requestPath.starts_with('/')) return "/";
  const std::size_t last = requestPath.rfind('/');
  if (last == 0) return "/";
  return std::string(requestPath.substr(0, last));
}

bool CookiePathMatches(std::string_view requestPath, std::string_view cookiePath) {
  if (requestPath == cookiePath) return true;
  if (!requestPath.starts_with(cookiePath)) return false;
  return cookiePath.ends_with('/') || requestPath[cookiePath.size()] == '/';
}

bool CookieDomainMatches(std::string_view host, std::string_view domain) {
  if (host == domain) return true;
  if (IsIpAddress(host) || host.size() <= domain.size() || !host.ends_with(domain)) return false;
  return host[host.size() - domain.size() - 1] == '.';
}

CookieJar::CookieJar(const PublicSuffixes& suffixes) : suffixes_(&suffixes) {}

Result<CookieRefusal> CookieJar::Store(std::string_view requestUrl, std::string_view setCookie,
                                       std::int64_t now) {
  HttpUrl url;
  if (ParseHttpUrl(requestUrl, url) != HttpUrlStatus::kOk) {
    return Refuse(CookieRefusal::kBadUrl, "URLが不正です");
  }
  if (setCookie.size() > 2 * kMaxCookieSize) {
    return Refuse(CookieRefusal::kTooLarge, "大きすぎます");
  }
  if (HasControlByte(setCookie)) return Refuse(CookieRefusal::kMalformed, "制御文字があります");
  SetCookieFields fields;
  if (!ParseSetCookie(setCookie, url.path, fields)) {
    return Refuse(CookieRefusal::kMalformed, "形式が不正です");
  }
  if (fields.name.size() + fields.value.size() > kMaxCookieSize) {
    return Refuse(CookieRefusal::kTooLarge, "大きすぎます");
  }
  const std::string host = AsciiLowerCopy(url.host);
  Cookie cookie;
  cookie.name = std::string(fields.name);
  cookie.value = std::string(fields.value);
  if (fields.hasMaxAge) {
    cookie.persistent = true;
    cookie.expires = now + std::min(fields.maxAge, kMaxCookieLifetime);
    if (fields.maxAge <= 0) cookie.expires = std::numeric_limits<std::int64_t>::min();
  } else if (fields.hasExpires) {
    cookie.persistent = true;
    cookie.expires = std::min(fields.expires, now + kMaxCookieLifetime);
  }
  std::string domain = fields.hasDomain ? fields.domain : std::string();
  if (!domain.empty()) {
    if (domain != host && (!IsPlainDomain(domain) || IsIpAddress(domain))) {
      return Refuse(CookieRefusal::kForeignDomain, "ドメインが不正です");
    }
    if (suffixes_->IsPublicSuffix(domain)) {
      if (domain != host) {
        return Refuse(CookieRefusal::kPublicSuffix, "ドメインが公開サフィックスです");
      }
      domain.clear();
    }
  }
  if (!domain.empty()) {
    if (!CookieDomainMatches(host, domain)) {
      return Refuse(CookieRefusal::kForeignDomain, "ドメインが一致しません");
    }
    cookie.hostOnly = IsIpAddress(domain);
    cookie.domain = domain;
  } else {
    cookie.hostOnly = true;
    cookie.domain = host;
  }
  cookie.path = fields.hasPath ? fields.path : DefaultCookiePath(url.path);
  cookie.secure = fields.secure;
  cookie.httpOnly = fields.httpOnly;
  if (cookie.secure && !url.tls) {
    return Refuse(CookieRefusal::kNotSecure, "Secure属性はhttpsでのみ受け付けます");
  }
  if (!url.tls) {
    const bool shadows = std::any_of(cookies_.begin(), cookies_.end(), [&](const Cookie& old) {
      return old.secure && old.name == cookie.name &&
             (CookieDomainMatches(old.domain, cookie.domain) ||
              CookieDomainMatches(cookie.domain, old.domain)) &&
             CookiePathMatches(cookie.path, old.path) && !Expired(old, now);
    });
    if (shadows) {
      return Refuse(CookieRefusal::kNotSecure, "httpsで設定された同名のCookieがあります");
    }
  }
  Insert(std::move(cookie), now);
  return {};
}

void CookieJar::Insert(Cookie cookie, std::int64_t now) {
  const bool expired = Expired(cookie, now);
  auto old = std::find_if(cookies_.begin(), cookies_.end(),
                          [&](const Cookie& c) { return SameKey(c, cookie); });
  if (old != cookies_.end()) {
    if (expired) {
      cookies_.erase(old);
    } else {
      *old = cookie;
    }
  } else if (!expired) {
    cookies_.push_back(cookie);
  }
  std::erase_if(cookies_, [&](const Cookie& c) { return Expired(c, now); });
  if (expired) return;
  // Evicts the oldest other cookie that `pick` selects while `tooMany` holds.
  auto evict = [&](auto pick, auto tooMany) {
    while (tooMany()) {
      auto victim = std::find_if(cookies_.begin(), cookies_.end(),
                                 [&](const Cookie& c) { return pick(c) && !SameKey(c, cookie); });
      if (victim == cookies_.end()) return;
      cookies_.erase(victim);
    }
  };
  auto sameDomain = [&](const Cookie& c) { return c.domain == cookie.domain; };
  evict(sameDomain, [&] {
    return static_cast<std::size_t>(std::count_if(cookies_.begin(), cookies_.end(), sameDomain)) >
           kMaxCookiesPerDomain;
  });
  evict([](const Cookie&) { return true; }, [&] { return cookies_.size() > kMaxCookies; });
}

std::string CookieJar::CookieHeader(std::string_view requestUrl, std::int64_t now) const {
  HttpUrl url;
  if (ParseHttpUrl(requestUrl, url) != HttpUrlStatus::kOk) return {};
  const std::string host = AsciiLowerCopy(url.host);
  std::vector<const Cookie*> matching;
  for (const Cookie& cookie : cookies_) {
    if (Expired(cookie, now) || (cookie.secure && !url.tls)) continue;
    const bool domainOk =
        cookie.hostOnly ? host == cookie.domain : CookieDomainMatches(host, cookie.domain);
    if (domainOk && CookiePathMatches(url.path, cookie.path)) matching.push_back(&cookie);
  }
  std::stable_sort(matching.begin(), matching.end(), [](const Cookie* a, const Cookie* b) {
    return a->path.size() > b->path.size();
  });
  std::string header;
  for (const Cookie* cookie : matching) {
    if (!header.empty()) header += "; ";
    header += cookie->name + "=" + cookie->value;
  }
  return header;
}

Outcome CookieJar::Load(const std::string& path, std::int64_t now) {
  cookies_.clear();
  if (!FileExists(path)) return {};
  static const std::string cannotRead = Sjis("エラー:Cookieファイルを読めません: ");
  static const std::string tooLarge = Sjis("エラー:Cookieファイルが大きすぎます: ");
  auto text = ReadWholeFile(path);
  if (!text) return Failed(cannotRead + path);
  if (text->size() > kMaxCookieFileSize) return Failed(tooLarge + path);
  for (std::string_view line : SplitLines(*text)) {
    if (cookies_.size() >= kMaxCookies) break;
    if (line.empty() || (line.starts_with('#') && !line.starts_with("#HttpOnly_"))) continue;
    Cookie cookie;
    if (!ParseFileLine(line, *suffixes_, cookie) || Expired(cookie, now)) continue;
    auto same = std::find_if(cookies_.begin(), cookies_.end(),
                             [&](const Cookie& c) { return SameKey(c, cookie); });
    if (same != cookies_.end()) {
      *same = std::move(cookie);
    } else if (static_cast<std::size_t>(
                   std::count_if(cookies_.begin(), cookies_.end(), [&](const Cookie& c) {
                     return c.domain == cookie.domain;
                   })) < kMaxCookiesPerDomain) {
      cookies_.push_back(std::move(cookie));
    }
  }
  return {};
}

std::string CookieJar::FileText(std::int64_t now) const {
  std::string text =
      "# Netscape HTTP Cookie File\n"
      "# Written by Velkor: the cookies the boards set. Session cookies are not kept.\n\n";
  for (const Cookie& cookie : cookies_) {
    if (!cookie.persistent || Expired(cookie, now)) continue;
    if (cookie.httpOnly) text += "#HttpOnly_";
    text += (cookie.hostOnly ? "" : ".") + cookie.domain + "\t" +
            (cookie.hostOnly ? "FALSE" : "TRUE") + "\t" + cookie.path + "\t" +
            (cookie.secure ? "TRUE" : "FALSE") + "\t" + std::to_string(cookie.expires) + "\t" +
            cookie.name + "\t" + cookie.value + "\n";
  }
  return text;
}

Outcome CookieJar::Save(const std::string& path, std::int64_t now) const {
  static const std::string cannotSave = Sjis("エラー:保存できません: ");
  if (!ReplacePrivateFile(path, FileText(now))) return Failed(cannotSave + path);
  return {};
}

void CookieJar::DropSessionCookies() {
  std::erase_if(cookies_, [](const Cookie& c) { return !c.persistent; });
}

}  // namespace velkor
