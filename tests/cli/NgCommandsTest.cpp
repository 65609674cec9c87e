// Black-box tests of velkor-cli's ng command.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/CliRunner.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;

TEST(NgCommandsTest, AddListRemove) {
  test::TempDataDir dir;
  dir.WriteFile("ini/subscrib.ini", S("[ニュース]\r\n速報=http://h.example/news/\r\n\r\n"));
  auto added = test::RunCli(dir, {"ng", "add", "word", "宣伝", "--chain"});
  ASSERT_EQ(added.exitCode, 0) << added.err;
  EXPECT_EQ(added.out, "1\tword\t宣伝\tglobal\tabone+chain\n");
  ASSERT_EQ(
      test::RunCli(dir, {"ng", "add", "id", "Abc123", "--board", "ニュース", "速報", "--hidden"})
          .exitCode,
      0);
  ASSERT_EQ(test::RunCli(dir, {"ng", "add", "regex", "^a+$"}).exitCode, 0);
  auto again = test::RunCli(dir, {"ng", "add", "word", "宣伝", "--chain"});
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_EQ(again.out, "1\tword\t宣伝\tglobal\tabone+chain\n") << "an existing rule is not added";

  auto list = test::RunCli(dir, {"ng", "list"});
  ASSERT_EQ(list.exitCode, 0) << list.err;
  EXPECT_EQ(list.out,
            "1\tword\t宣伝\tglobal\tabone+chain\n"
            "2\tid\tAbc123\th.example/news\thidden\n"
            "3\tregex\t^a+$\tglobal\tabone\n");
  EXPECT_NE(dir.ReadFile("ini/ng.txt").find(S("word\t宣伝\tglobal\tabone+chain\r\n")),
            std::string::npos);

  ASSERT_EQ(test::RunCli(dir, {"ng", "remove", "2"}).exitCode, 0);
  EXPECT_EQ(test::RunCli(dir, {"ng", "list"}).out,
            "1\tword\t宣伝\tglobal\tabone+chain\n2\tregex\t^a+$\tglobal\tabone\n");
  auto missing = test::RunCli(dir, {"ng", "remove", "3"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("no rule 3"), std::string::npos);
}

TEST(NgCommandsTest, RefusesWhatItCannotStore) {
  test::TempDataDir dir;
  auto regex = test::RunCli(dir, {"ng", "add", "regex", "(a"});
  EXPECT_EQ(regex.exitCode, 1);
  EXPECT_NE(regex.err.find("（・３・）アルェー　検索ワードがおかしいＹＯ"), std::string::npos)
      << regex.err;
  auto costly = test::RunCli(dir, {"ng", "add", "regex", "(a+)+$"});
  EXPECT_EQ(costly.exitCode, 1);
  EXPECT_NE(costly.err.find("エラー:この正規表現は重すぎるためNGルールにできません."),
            std::string::npos)
      << costly.err;
  EXPECT_EQ(test::RunCli(dir, {"ng", "add", "word", "a\tb"}).exitCode, 1);
  auto board = test::RunCli(dir, {"ng", "add", "word", "x", "--board", "ニュース", "無い"});
  EXPECT_EQ(board.exitCode, 1);
  EXPECT_NE(board.err.find("no favourite board"), std::string::npos);
  EXPECT_FALSE(dir.Exists("ini/ng.txt")) << "nothing was written";
}

TEST(NgCommandsTest, ReportsDamagedLinesAndKeepsThem) {
  test::TempDataDir dir;
  dir.WriteFile("ini/ng.txt", "# mine\r\nwrod\tx\r\nword\ty\r\n");
  auto list = test::RunCli(dir, {"ng", "list"});
  ASSERT_EQ(list.exitCode, 0);
  EXPECT_EQ(list.out, "1\tword\ty\tglobal\tabone\n");
  EXPECT_NE(list.err.find("ng.txt line 2 skipped: unknown kind \"wrod\""), std::string::npos)
      << list.err;
  ASSERT_EQ(test::RunCli(dir, {"ng", "add", "mail", "sage"}).exitCode, 0);
  EXPECT_EQ(dir.ReadFile("ini/ng.txt"),
            "# mine\r\nwrod\tx\r\nword\ty\r\nmail\tsage\tglobal\tabone\r\n");
}

TEST(NgCommandsTest, UsageErrors) {
  test::TempDataDir dir;
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"ng"},
                                             {"ng", "show"},
                                             {"ng", "add", "word"},
                                             {"ng", "add", "words", "x"},
                                             {"ng", "add", "word", "x", "--board", "only-one"},
                                             {"ng", "list", "--hidden"},
                                             {"ng", "remove"},
                                             {"ng", "remove", "one"},
                                             {"ng", "remove", "-1"}}) {
    EXPECT_EQ(test::RunCli(dir, args).exitCode, 2) << args.back();
  }
}

}  // namespace
}  // namespace velkor
