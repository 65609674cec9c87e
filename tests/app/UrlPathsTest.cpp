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
  for (std::string_view bad :
       std::vector<std::string_view>{"", ".", "..", "a/b", "a\\b", std::string_view("a\0b", 3)}) {
    EXPECT_FALSE(IsSafePathComponent(bad)) << bad;
  }
}

}  // namespace
}  // namespace velkor
