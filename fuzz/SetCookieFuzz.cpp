// Set-Cookie parsing, matching and the cookies.txt file. Input: lines, each one step:
//   S<d><Set-Cookie value>   store the value as the answer to request URL number <d>
//   G<d>                     ask for the Cookie field of request URL number <d>
//   T<digits>                let that many seconds pass
//   R                        save the jar to cookies.txt and read it back
// (<d> picks one of the URLs below by its last four bits.) Oracles: every name=value sent to a
// host was set by that host, or by a host in the same domain that its Set-Cookie named, the domain
// being no public suffix; nothing set Secure goes over plain http; the Cookie field holds no
// control byte; the file has seven TAB-separated fields per cookie line and no control byte, and
// reading it back gives the same file and sends the same cookies as the jar without its session
// cookies.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "app/DataDir.h"
#include "app/UrlPaths.h"
#include "base/Integer.h"
#include "base/Sjis.h"
#include "net/CookieJar.h"
#include "net/HttpUrl.h"

namespace {

constexpr const char* kUrls[16] = {"https://eagle.5ch.io/test/bbs.cgi",
                                   "http://eagle.5ch.io/test/read.cgi/news/1/",
                                   "https://hawk.5ch.io/",
                                   "https://5ch.io/",
                                   "http://evil-5ch.io/",
                                   "http://www.example.co.jp/a/b",
                                   "http://example.co.jp/",
                                   "http://127.0.0.1:8080/x",
                                   "http://[::1]/",
                                   "https://github.io/",
                                   "http://a.b.kobe.jp/",
                                   "http://city.kobe.jp/",
                                   "http://x.city.kobe.jp/",
                                   "https://co.jp/",
                                   "http://io/",
                                   "http://EAGLE.5CH.IO/TEST/"};

std::string HostOf(std::string_view url) {
  velkor::HttpUrl parsed;
  velkor::ParseHttpUrl(url, parsed);
  return velkor::AsciiLowerCopy(parsed.host);
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// One Set-Cookie the jar took, read apart here on its own: the pair, the host that set it, every
// Domain it named and whether it said Secure.
struct Taken {
  std::string pair;
  std::string setter;
  std::vector<std::string> domains;
  bool secure = false;
};

Taken Record(std::string_view setCookie, std::string_view url) {
  Taken taken;
  taken.setter = HostOf(url);
  std::size_t semicolon = setCookie.find(';');
  const std::string_view pair = setCookie.substr(0, semicolon);
  const std::size_t equals = pair.find('=');
  taken.pair =
      std::string(Trim(pair.substr(0, equals))) + "=" + std::string(Trim(pair.substr(equals + 1)));
  while (semicolon != std::string_view::npos) {
    const std::size_t next = setCookie.find(';', semicolon + 1);
    const std::string_view av = setCookie.substr(semicolon + 1, next - semicolon - 1);
    semicolon = next;
    const std::size_t eq = av.find('=');
    const std::string key = velkor::AsciiLowerCopy(Trim(av.substr(0, eq)));
    if (key == "secure") taken.secure = true;
    if (key != "domain" || eq == std::string_view::npos) continue;
    std::string_view domain = Trim(av.substr(eq + 1));
    if (domain.starts_with('.')) domain.remove_prefix(1);
    taken.domains.push_back(velkor::AsciiLowerCopy(domain));
  }
  return taken;
}

// Whether `taken` may reach `host` over `tls`.
bool MayReach(const Taken& taken, const std::string& host, bool tls) {
  if (taken.secure && !tls) return false;
  if (host == taken.setter) return true;
  for (const std::string& domain : taken.domains) {
    if (domain.find('.') == std::string::npos ||
        velkor::SystemPublicSuffixes().IsPublicSuffix(domain)) {
      continue;
    }
    if (velkor::HostInDomain(host, domain) && velkor::HostInDomain(taken.setter, domain)) {
      return true;
    }
  }
  return false;
}

void CheckHeader(const std::string& header, std::string_view url, const std::vector<Taken>& taken) {
  FUZZ_CHECK(!velkor::fuzz::HasControlByte(header), "a Cookie field holds a control byte", header);
  if (header.empty()) return;
  const std::string host = HostOf(url);
  const bool tls = url.starts_with("https:");
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = header.find("; ", start);
    const std::string pair = header.substr(start, end - start);
    bool allowed = false;
    for (const Taken& t : taken) {
      if (t.pair == pair && MayReach(t, host, tls)) allowed = true;
    }
    FUZZ_CHECK(allowed, "a cookie went to a host outside its domain", pair + " -> " + host);
    if (end == std::string::npos) break;
    start = end + 2;
  }
}

void CheckFile(const velkor::CookieJar& jar, std::int64_t now) {
  using namespace velkor;
  const std::string text = jar.FileText(now);
  for (std::string_view line : SplitLines(text)) {
    if (line.empty() || (line.starts_with('#') && !line.starts_with("#HttpOnly_"))) continue;
    FUZZ_CHECK(std::count(line.begin(), line.end(), '\t') == 6, "a cookie line has no seven fields",
               line);
    std::string fields(line);
    std::replace(fields.begin(), fields.end(), '\t', ' ');
    FUZZ_CHECK(!fuzz::HasControlByte(fields), "a cookie line holds a control byte", line);
  }
  const std::string path = IniDir() + "/cookies.txt";
  FUZZ_CHECK(jar.Save(path, now).IsOk(), "cookies.txt not written", path);
  CookieJar loaded;
  FUZZ_CHECK(loaded.Load(path, now).IsOk(), "cookies.txt not read back", path);
  FUZZ_CHECK(loaded.FileText(now) == text, "cookies.txt changed on a round trip", text);
  CookieJar persistent = jar;
  persistent.DropSessionCookies();
  for (const char* url : kUrls) {
    FUZZ_CHECK(loaded.CookieHeader(url, now) == persistent.CookieHeader(url, now),
               "a stored cookie is sent differently after reading the file back", url);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velkor;
  if (size > 16 * 1024) return 0;
  fuzz::ScratchDataDir();
  CookieJar jar;
  std::vector<Taken> taken;
  std::int64_t now = 1'800'000'000;
  for (std::string_view line : SplitLines(fuzz::AsText(data, size))) {
    if (line.empty()) continue;
    const char op = line.front();
    const std::string_view url =
        line.size() > 1 ? kUrls[static_cast<unsigned char>(line[1]) & 15] : kUrls[0];
    if (op == 'S' && line.size() > 1) {
      const std::string_view setCookie = line.substr(2);
      if (jar.Store(url, setCookie, now).IsOk()) taken.push_back(Record(setCookie, url));
    } else if (op == 'G') {
      CheckHeader(jar.CookieHeader(url, now), url, taken);
    } else if (op == 'T') {
      now += LeadingInteger(line.substr(1), 100'000'000);
    } else if (op == 'R') {
      CheckFile(jar, now);
    }
  }
  CheckFile(jar, now);
  return 0;
}
