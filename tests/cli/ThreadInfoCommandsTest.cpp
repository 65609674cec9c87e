// Black-box tests of velkor-cli's answers and ids commands.

#include <gtest/gtest.h>

#include "support/CliRunner.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;

constexpr const char* kLog =
    "名無し<>sage<>2026/12/07(月) 12:00:00.00 ID:Abc+/12<>スレ立て<>題\n"
    "名無し<><>2026/12/07(月) 12:01:00.00 ID:Def<>"
    "<a href=\"../test/read.cgi/news/1/1\" target=\"_blank\">&gt;&gt;1</a> 乙<>\n"
    "名無し<><>2026/12/07(月) 12:02:00.00 ID:Abc+/12<>＞＞１－２ どうも<>\n"
    "名無し<><>2026/12/07(月) 12:03:00.00 ID:\?\?\?<>&gt;&gt;3, 1<>\n"
    "名無し<><>2026/12/07(月) 12:04:00.00<>≫２<>\n";

TEST(ThreadInfoCommandsTest, Answers) {
  test::TempDataDir dir;
  dir.WriteFile("log.dat", S(kLog));
  auto out = test::RunCli(dir, {"answers", dir.Path() + "/log.dat"});
  ASSERT_EQ(out.exitCode, 0) << out.err;
  EXPECT_EQ(out.out, "1\t2,3,4\n2\t3,5\n3\t4\n");
}

TEST(ThreadInfoCommandsTest, Ids) {
  test::TempDataDir dir;
  dir.WriteFile("log.dat", S(kLog));
  auto out = test::RunCli(dir, {"ids", dir.Path() + "/log.dat"});
  ASSERT_EQ(out.exitCode, 0) << out.err;
  EXPECT_EQ(out.out, "Abc+/12\t2\t1,3\nDef\t1\t2\n");
}

TEST(ThreadInfoCommandsTest, Failures) {
  test::TempDataDir dir;
  for (const char* command : {"answers", "ids"}) {
    auto missing = test::RunCli(dir, {command, dir.Path() + "/none.dat"});
    EXPECT_EQ(missing.exitCode, 1) << command;
    EXPECT_NE(missing.err.find("cannot read"), std::string::npos) << command;
    EXPECT_EQ(test::RunCli(dir, {command}).exitCode, 2) << command;
    EXPECT_EQ(test::RunCli(dir, {command, "a", "b"}).exitCode, 2) << command;
  }
}

}  // namespace
}  // namespace velkor
