// velkor-cli check and next against a real nginx.

#include <gtest/gtest.h>

#include "support/CliRunner.h"
#include "support/NginxFixture.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::NginxFixture;
using test::S;

constexpr char kBoardDir[] = "log/news.test/board/";

std::string Dat(int from, int to) {
  std::string dat;
  for (int i = from; i <= to; ++i) {
    dat += S("名無し<>sage<>2026/12/07(月) 12:00:0") + std::to_string(i % 10) + "<> " + S("本文") +
           std::to_string(i) + " <>" + (i == 1 ? S("観測スレ Part1") : "") + "\n";
  }
  return dat;
}

class CheckCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(nginx.IsRunning()) << nginx.ErrorLog();
    data.WriteFile("ini/subscrib.ini", S("[ニュース]\r\n速報=http://news.test/board/\r\n"
                                         "消えた板=http://news.test/gone/\r\n\r\n"));
    data.WriteFile(std::string(kBoardDir) + "subject.ini",
                   S("[1700000000.dat]\r\nNowNo=1\r\nPreNo=1\r\nResCount=2\r\n"
                     "Title=観測スレ\tPart1\r\nGotCount=2\r\nUnread=3\r\n\r\n"));
    data.WriteFile(std::string(kBoardDir) + "1700000000.dat", Dat(1, 2));
    nginx.WriteFile("board/subject.txt", S("1700000000.dat<>観測スレ Part1 (4)\n"
                                           "1700000300.dat<>雑談スレ (8)\n"
                                           "1700000100.dat<>観測スレ Part2 (3)\n"));
    nginx.WriteFile("board/dat/1700000000.dat", Dat(1, 4));
  }
  test::CliResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--connect-to", nginx.ConnectTo("news.test")});
    return test::RunCli(data, args);
  }

  test::TempDataDir data;
  NginxFixture nginx;
};

TEST_F(CheckCommandsTest, CheckPrintsTheThreadsWithNewRepliesAndNamesTheBoardThatFailed) {
  auto checked = Run({"check"});
  EXPECT_EQ(checked.exitCode, 1);
  EXPECT_EQ(checked.out, "ニュース\t速報\t1700000000\t2\t観測スレ Part1\n")
      << "a TAB in the title is a blank";
  EXPECT_EQ(checked.err, "velkor-cli: ニュース：消えた板: エラー:ダウンロードに失敗しました (-6)\n")
      << "one line per failure and nothing else";
  EXPECT_EQ(data.ReadFile(std::string(kBoardDir) + "1700000000.dat"), Dat(1, 2))
      << "no log is fetched without --fetch";

  auto fetched = Run({"check", "--fetch"});
  EXPECT_EQ(fetched.exitCode, 1);
  EXPECT_EQ(fetched.out, "ニュース\t速報\t1700000000\t2\t観測スレ Part1\n");
  EXPECT_EQ(data.ReadFile(std::string(kBoardDir) + "1700000000.dat"), Dat(1, 4));

  EXPECT_EQ(Run({"check"}).out, "") << "nothing new any more";
}

TEST_F(CheckCommandsTest, NextPrintsTheSuccessorsBestFirst) {
  auto next = Run({"next", "ニュース", "速報", "1700000000"});
  ASSERT_EQ(next.exitCode, 0) << next.err;
  EXPECT_EQ(next.out, "1700000100\t100\t観測スレ Part2\n");
  auto none = Run({"next", "ニュース", "速報", "1700000100.dat"});
  EXPECT_EQ(none.exitCode, 0) << none.err;
  EXPECT_EQ(none.out, "");
}

}  // namespace
}  // namespace velkor
