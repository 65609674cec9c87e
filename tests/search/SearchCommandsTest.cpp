#include <gtest/gtest.h>

#include "support/CliRunner.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;

class SearchCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.WriteFile("ini/subscrib.ini", S("[ニュース]\r\nBoard A=http://host1/a/\r\n\r\n"));
    dir.WriteFile("log/host1/a/subject.ini",
                  S("[100.dat]\r\nNowNo=1\r\nPreNo=1\r\nTitle=Velkor release\r\nGotCount=2\r\n\r\n"
                    "[101.dat]\r\nNowNo=2\r\nPreNo=2\r\nTitle=天気\r\nGotCount=1\r\n\r\n"));
    dir.WriteFile("log/host1/a/100.dat", "first\nvelkor second\n");
    dir.WriteFile("log/host1/a/101.dat", S("晴れ\n"));
  }

  test::TempDataDir dir;
};

TEST_F(SearchCommandsTest, FavoriteLogsPageGoesToTheFile) {
  const auto result =
      test::RunCli(dir, {"search", "--scope", "3", "VELKOR", "--page", dir.Path() + "/page.html"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::string page = dir.ReadFile("page.html");
  EXPECT_NE(page.find("\"VELKOR\"" + S(" を含むログ<br>")), std::string::npos);
  EXPECT_NE(page.find("<dd><a href=\"http://host1/test/read.cgi/a/100/2\">Velkor release</a>"),
            std::string::npos)
      << page;
}

TEST_F(SearchCommandsTest, CaseFlagMakesLetterCaseCount) {
  const auto result = test::RunCli(dir, {"search", "--scope", "2", "--case", "VELKOR"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out.find("Velkor release"), std::string::npos) << result.out;
}

TEST_F(SearchCommandsTest, JapaneseWordFromTheTerminal) {
  const auto result =
      test::RunCli(dir, {"search", "--scope", "1", "--board", "ニュース", "Board A", "晴れ"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("/a/101/1\">" + S("天気")), std::string::npos);
}

TEST_F(SearchCommandsTest, ScopeZeroPrintsTheMatchingRows) {
  const auto result =
      test::RunCli(dir, {"search", "--scope", "0", "--board", "ニュース", "Board A", "release"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("Velkor release"), std::string::npos);
  EXPECT_EQ(result.out.find("天気"), std::string::npos);
}

// A word that backtracks without end on a log's line stops matching at once; the page is written
// with what was found and stderr says that the search was cut short.
TEST_F(SearchCommandsTest, CostlyWordIsCutShortAndSaysSo) {
  dir.WriteFile("log/host1/a/101.dat", std::string(64, 'a') + "!\n");
  const auto result = test::RunCli(dir, {"search", "--scope", "3", "(a+)+$"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.err.find("警告:検索ワードが重すぎるため途中で止めました."), std::string::npos)
      << result.err;
  EXPECT_NE(result.out.find("(a+)+$"), std::string::npos) << "the page is written";
}

TEST_F(SearchCommandsTest, RejectedPatternIsReportedAndFails) {
  const auto result = test::RunCli(dir, {"search", "--scope", "3", "(abc"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("（・３・）アルェー　検索ワードがおかしいＹＯ"), std::string::npos)
      << result.err;
  EXPECT_TRUE(result.out.empty());
}

TEST_F(SearchCommandsTest, UsageErrors) {
  EXPECT_EQ(test::RunCli(dir, {"search", "x"}).exitCode, 2) << "no scope";
  EXPECT_EQ(test::RunCli(dir, {"search", "--scope", "4", "x"}).exitCode, 2);
  EXPECT_EQ(test::RunCli(dir, {"search", "--scope", "1", "x"}).exitCode, 2) << "no board";
  EXPECT_EQ(test::RunCli(dir, {"search", "--scope", "1", "x", "--board", "C"}).exitCode, 2);
  EXPECT_EQ(test::RunCli(dir, {"search", "--scope", "2"}).exitCode, 2) << "no pattern";
}

TEST_F(SearchCommandsTest, UnknownBoardFails) {
  const auto result =
      test::RunCli(dir, {"search", "--scope", "1", "--board", "Other", "Board A", "x"});
  EXPECT_EQ(result.exitCode, 1);
}

}  // namespace
}  // namespace velkor
