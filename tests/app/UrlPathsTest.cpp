#include "app/UrlPaths.h"

#include <gtest/gtest.h>

namespace velkor {
namespace {

struct SplitCase {
  const char* url;
  bool ok;
  const char* host;
  const char* path;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
  *os << '"' << c.url << '"';
}

class SplitUrlTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitUrlTest, Splits) {
  const SplitCase& c = GetParam();
  std::string host = "unchanged";
  std::string path = "unchanged";
  EXPECT_EQ(SplitUrl(c.url, host, path), c.ok);
  EXPECT_EQ(host, c.host);
  EXPECT_EQ(path, c.path);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitUrlTest,
    ::testing::Values(SplitCase{"http://host/board/", true, "host", "/board/"},
                      SplitCase{"http://host", true, "host", ""},
                      SplitCase{"http://host:8080/a?b=c#d", true, "host", "/a"},
                      SplitCase{"http://u:p@host/a#x/y", true, "host", "/a"},
                      SplitCase{"http://host/%E3%81%82b%2Fc/", true, "host",
                                "/\xE3\x81\x82"
                                "b/c/"},
                      SplitCase{"http://host/100%/", true, "host", "/100%/"},
                      SplitCase{"", false, "unchanged", "unchanged"},
                      SplitCase{"host/board/", false, "unchanged", "unchanged"},
                      SplitCase{"http:///board/", false, "unchanged", "unchanged"}));

TEST(SplitUrlTest, PartLongerThan511Fails) {
  std::string host;
  std::string path;
  EXPECT_TRUE(SplitUrl("http://h/" + std::string(510, 'a'), host, path));
  EXPECT_EQ(path.size(), 511u);
  host.clear();
  path.clear();
  EXPECT_FALSE(SplitUrl("http://h/" + std::string(511, 'a'), host, path));
  EXPECT_TRUE(path.empty());
  // The limit counts decoded bytes: 600 escapes decode to 200 bytes.
  std::string escaped;
  for (int i = 0; i < 200; ++i) escaped += "%41";
  EXPECT_TRUE(SplitUrl("http://h/" + escaped, host, path));
  EXPECT_EQ(path, "/" + std::string(200, 'A'));
}

TEST(UrlPathsTest, UrlToLogDir) {
  EXPECT_EQ(UrlToLogDir("http://host/board/"), "/host/board/");
  EXPECT_EQ(UrlToLogDir(""), "/");
  EXPECT_EQ(UrlToLogDir("http://host/b%61rd/"), "/host/bard/");
}

struct ThreadCase {
  const char* url;
  const char* path;
  const char* remainder;
};

void PrintTo(const ThreadCase& c, std::ostream* os) {
  *os << c.url;
}

class ThreadUrlToLogPathTest : public ::testing::TestWithParam<ThreadCase> {};

TEST_P(ThreadUrlToLogPathTest, Converts) {
  std::string remainder = "stale";
  EXPECT_EQ(ThreadUrlToLogPath(GetParam().url, remainder), GetParam().path);
  EXPECT_EQ(remainder, GetParam().remainder);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ThreadUrlToLogPathTest,
    ::testing::Values(
        ThreadCase{"http://host/test/read.cgi/board/1234567890/l50", "/host/board/1234567890.dat",
                   "l50"},
        ThreadCase{"http://host/test/read.cgi/board/1234567890", "/host/board/1234567890.dat", ""},
        ThreadCase{"http://host/test/read.cgi/board/1234567890/", "/host/board/1234567890.dat", ""},
        ThreadCase{"http://host/test/read.cgi/board/key/50-60", "/host/board/key.dat", "50-60"},
        ThreadCase{"http://host/test/read.cgi/board", "/host/", ""},
        ThreadCase{"not a url", "//", ""}));

struct BoardCase {
  const char* path;
  const char* host;
  const char* board;
};

void PrintTo(const BoardCase& c, std::ostream* os) {
  *os << '"' << c.path << '"';
}

class LogPathToBoardTest : public ::testing::TestWithParam<BoardCase> {};

TEST_P(LogPathToBoardTest, Converts) {
  std::string host;
  std::string board;
  LogPathToBoard(GetParam().path, host, board);
  EXPECT_EQ(host, GetParam().host);
  EXPECT_EQ(board, GetParam().board);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogPathToBoardTest,
    ::testing::Values(BoardCase{"/app/log/host/board/1234567890.dat", "host", "/board/"},
                      BoardCase{"/app/log/host/board/", "host", "/board/"},
                      BoardCase{"board/", "", "/board/"}, BoardCase{"", "", "//"}));

TEST(UrlPathsTest, SafePathComponents) {
  EXPECT_TRUE(IsSafePathComponent("1234567890.dat"));
  EXPECT_TRUE(IsSafePathComponent("host.example"));
  EXPECT_TRUE(IsSafePathComponent("\x95\x40"));
  for (std::string_view bad :
       std::vector<std::string_view>{"", ".", "..", "a/b", "a\\b", std::string_view("a\0b", 3),
                                     "a\r\nX: y", "a\tb", "a\x7F", "a\x86"}) {
    EXPECT_FALSE(IsSafePathComponent(bad)) << bad;
  }
}

struct SafeUrlCase {
  const char* name;
  const char* url;
  bool safe;
};

void PrintTo(const SafeUrlCase& c, std::ostream* os) {
  *os << c.name;
}

class SafeBoardUrlTest : public ::testing::TestWithParam<SafeUrlCase> {};

TEST_P(SafeBoardUrlTest, Decides) {
  EXPECT_EQ(IsSafeBoardUrl(GetParam().url), GetParam().safe);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, SafeBoardUrlTest,
    ::testing::Values(SafeUrlCase{"Board", "http://a.5ch.io/board/", true},
                      SafeUrlCase{"Https", "https://a.5ch.io/board/", true},
                      SafeUrlCase{"MissingSlash", "http://h.example/board", true},
                      SafeUrlCase{"TwoLevels", "http://a.5ch.io/x/board/", true},
                      SafeUrlCase{"RootPath", "http://www.bbspink.com/", false},
                      SafeUrlCase{"NoPath", "http://a.5ch.io", false},
                      SafeUrlCase{"DotDot", "http://a.5ch.io/../x/", false},
                      SafeUrlCase{"Dot", "http://a.5ch.io/./x/", false},
                      SafeUrlCase{"EncodedDotDot", "http://a.5ch.io/%2e%2e/", false},
                      SafeUrlCase{"EncodedSlashDotDot", "http://h.example/a%2F..%2F..%2F/", false},
                      SafeUrlCase{"EmptySegment", "http://a.5ch.io//x/", false},
                      SafeUrlCase{"BackslashInPath", "http://a.5ch.io/a%5Cb/", false},
                      SafeUrlCase{"BackslashInHost", "http://a%5C..5ch.io/x/", false},
                      SafeUrlCase{"SlashInHost", "http://a%2Fb/x/", false},
                      SafeUrlCase{"CrLfInPath", "http://a.5ch.io/a%0D%0AX-Injected:%20yes/", false},
                      SafeUrlCase{"ControlByteInHost", "http://a%01.5ch.io/x/", false},
                      SafeUrlCase{"EncodedPortAndFragmentInHost",
                                  "http://evil.example%3A80%23.5ch.io/news/", false},
                      SafeUrlCase{"EncodedAtInHost", "http://evil.example%40a.5ch.io/news/", false},
                      SafeUrlCase{"EscapedPlainHost", "http://a%2E5ch.io/news/", false},
                      SafeUrlCase{"UserPart", "http://evil.example@a.5ch.io/news/", false},
                      SafeUrlCase{"Port", "http://a.5ch.io:8080/news/", true},
                      SafeUrlCase{"DotDotHost", "http://../x/", false},
                      SafeUrlCase{"NoHost", "http:///x/", false},
                      SafeUrlCase{"NotAUrl", "board", false}),
    [](const ::testing::TestParamInfo<SafeUrlCase>& info) { return info.param.name; });

TEST(UrlPathsTest, ServiceHostsEndOnALabelBoundary) {
  EXPECT_TRUE(IsServiceHost("news.5ch.io"));
  EXPECT_TRUE(IsServiceHost("MOMONGA.BBSPINK.COM"));
  EXPECT_TRUE(IsServiceHost("5ch.io"));
  EXPECT_FALSE(IsServiceHost("evil5ch.io"));
  EXPECT_FALSE(IsServiceHost("a.5ch.io.evil.example"));
  EXPECT_FALSE(IsServiceHost(""));
  EXPECT_EQ(DefaultSchemeOfHost("news.5ch.io"), "https");
  EXPECT_EQ(DefaultSchemeOfHost("h.example"), "http");
  EXPECT_EQ(UrlScheme("HTTPS://a/"), "https");
  EXPECT_EQ(UrlScheme("a/b"), "");
}

struct ThreadUrlCase {
  const char* boardUrl;
  bool finalSlash;
  const char* url;
};

void PrintTo(const ThreadUrlCase& c, std::ostream* os) {
  *os << c.boardUrl << (c.finalSlash ? " /" : "");
}

class ThreadUrlTest : public ::testing::TestWithParam<ThreadUrlCase> {};

TEST_P(ThreadUrlTest, Builds) {
  EXPECT_EQ(ThreadUrl(GetParam().boardUrl, "123", GetParam().finalSlash), GetParam().url);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ThreadUrlTest,
    ::testing::Values(
        ThreadUrlCase{"http://h.example/b/", true, "http://h.example/test/read.cgi/b/123/"},
        ThreadUrlCase{"http://h.example/b/", false, "http://h.example/test/read.cgi/b/123"},
        ThreadUrlCase{"https://a.5ch.io/b/", false, "https://a.5ch.io/test/read.cgi/b/123"},
        ThreadUrlCase{"https://a.5ch.io/b", true, "https://a.5ch.io/test/read.cgi/b/123/"},
        // The board URL's own bytes: an escape is not decoded into the thread URL.
        ThreadUrlCase{"http://h.example/%252e/", false, "http://h.example/test/read.cgi/%252e/123"},
        ThreadUrlCase{"http://h.example:8080/b/?x#y", false,
                      "http://h.example:8080/test/read.cgi/b/123"}));

}  // namespace
}  // namespace velkor
