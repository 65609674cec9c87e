#include "net/HttpUrl.h"

#include <gtest/gtest.h>

#include <ostream>

namespace velkor {
namespace {

struct UrlCase {
  const char* name;
  const char* url;
  HttpUrlStatus status;
  bool tls = false;
  const char* host = "";
  unsigned short port = 0;
  const char* target = "";
  const char* hostField = "";
  const char* path = nullptr;  // when it differs from the target
};

void PrintTo(const UrlCase& c, std::ostream* os) {
  *os << c.name;
}

const UrlCase kUrlCases[] = {
    {"PlainDefaultPort", "http://ex.5ch.io/board/dat/1.dat", HttpUrlStatus::kOk, false, "ex.5ch.io",
     80, "/board/dat/1.dat", "ex.5ch.io"},
    {"TlsDefaultPort", "HTTPS://ex.5ch.io/board/", HttpUrlStatus::kOk, true, "ex.5ch.io", 443,
     "/board/", "ex.5ch.io"},
    {"ExplicitPortQueryAndUser", "https://u:p@h.test:8443/a%20b?q=1#f", HttpUrlStatus::kOk, true,
     "h.test", 8443, "/a%20b?q=1", "h.test:8443", "/a%20b"},
    {"QueryWithoutPath", "http://h.test?guid=ON/x", HttpUrlStatus::kOk, false, "h.test", 80,
     "/?guid=ON/x", "h.test", "/"},
    {"NoPathAndIpv6", "http://[::1]:81", HttpUrlStatus::kOk, false, "::1", 81, "/", "[::1]:81"},
    {"OtherScheme", "ftp://h.test/a", HttpUrlStatus::kUnsupportedScheme},
    {"NoScheme", "h.test/a", HttpUrlStatus::kMalformed},
    {"PortOutOfRange", "http://h.test:65536/", HttpUrlStatus::kMalformed},
    {"PortNotANumber", "http://h.test:8o/", HttpUrlStatus::kMalformed},
    {"EncodedHost", "http://h%2etest/", HttpUrlStatus::kMalformed},
    {"ControlByteInPath", "http://h.test/a\tb", HttpUrlStatus::kMalformed},
    {"BlankInPath", "http://h.test/a b", HttpUrlStatus::kMalformed},
    {"LineBreakInQuery", "http://h.test/a?b\r\nX: y", HttpUrlStatus::kMalformed},
};

class HttpUrlTest : public testing::TestWithParam<UrlCase> {};

TEST_P(HttpUrlTest, TakesApart) {
  const UrlCase& c = GetParam();
  HttpUrl url;
  url.host = "untouched";
  ASSERT_EQ(ParseHttpUrl(c.url, url), c.status);
  if (c.status != HttpUrlStatus::kOk) {
    EXPECT_EQ(url.host, "untouched");
    return;
  }
  EXPECT_EQ(url.tls, c.tls);
  EXPECT_EQ(url.host, c.host);
  EXPECT_EQ(url.port, c.port);
  EXPECT_EQ(url.target, c.target);
  EXPECT_EQ(url.path, c.path != nullptr ? c.path : c.target);
  EXPECT_EQ(HostField(url), c.hostField);
}

INSTANTIATE_TEST_SUITE_P(Urls, HttpUrlTest, testing::ValuesIn(kUrlCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor
