// Black-box tests of velkor-cli's render and popup commands.

#include <gtest/gtest.h>

#include <string>

#include "support/CliRunner.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;

constexpr const char* kLog = "n1<>sage<>d1<>&gt;&gt;2 one<>T\nn2<><>d2<>two<>\n";

TEST(RenderCommandsTest, RenderWritesThePageWithTheDataDirectorysSkin) {
  test::TempDataDir dir;
  dir.WriteFile("log.dat", kLog);
  dir.WriteFile("skin/Res.html", "R<PLAINNUMBER/>");
  dir.WriteFile("skin/NewRes.html", "N<PLAINNUMBER/><MESSAGE/>");
  dir.WriteFile("skin/Header.html", "<&TITLE>");
  dir.WriteFile("skin/Bookmark.html", "B");
  auto out =
      test::RunCli(dir, {"render", dir.Path() + "/log.dat", "--title", "題名", "--unread", "2"});
  ASSERT_EQ(out.exitCode, 0) << out.err;
  EXPECT_EQ(out.out, S("題名\r\n<a name=\"a1\"></a>R1\r\n<a name=\"midoku\"></a>B\r\n"
                       "<a name=\"a2\"></a>N2two\r\n") +
                         "</dl><hr><br><br><br><br><br><br><br><br><br><br><br><br></body></html>");
  EXPECT_EQ(dir.ReadFile("skin/Footer.html"),
            "</dl><hr><br><br><br><br><br><br><br><br><br><br><br><br></body></html>\r\n");
}

TEST(RenderCommandsTest, RenderDefaultsAndPageFile) {
  test::TempDataDir dir;
  dir.WriteFile("log.dat", kLog);
  auto out =
      test::RunCli(dir, {"render", dir.Path() + "/log.dat", "--page", dir.Path() + "/p.html"});
  ASSERT_EQ(out.exitCode, 0) << out.err;
  const std::string page = dir.ReadFile("p.html");
  EXPECT_NE(page.find(S("未読へ</a><dl><a name=\"midoku\"></a>")), std::string::npos)
      << "first unread 1 by default";
  EXPECT_NE(page.find("<a href=\"#a2,\">&gt;&gt;2 </a>one"), std::string::npos);
}

TEST(RenderCommandsTest, RenderFailures) {
  test::TempDataDir dir;
  auto missing = test::RunCli(dir, {"render", dir.Path() + "/none.dat"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("cannot read"), std::string::npos);
  EXPECT_EQ(test::RunCli(dir, {"render"}).exitCode, 2);
  EXPECT_EQ(test::RunCli(dir, {"render", "x", "--unread", "abc"}).exitCode, 2);
  EXPECT_EQ(test::RunCli(dir, {"render", "x", "--old-shown", "99999999999"}).exitCode, 2);
}

TEST(RenderCommandsTest, PopupPrintsUtf8) {
  test::TempDataDir dir;
  dir.WriteFile("log.dat", S("名前<>m<>d<>&gt;&gt;2 本文<>スレ\nb<><>d2<>x<>\n"));
  auto out = test::RunCli(dir, {"popup", dir.Path() + "/log.dat", "1"});
  ASSERT_EQ(out.exitCode, 0) << out.err;
  EXPECT_EQ(out.out, "スレ\r\n\r\n1 名前：名前 メール：m 投稿日：d\r\n>>2 本文\n");
  auto limited = test::RunCli(dir, {"popup", dir.Path() + "/log.dat", "1-2", "--lines", "3"});
  EXPECT_EQ(limited.out, "スレ\r\n\r\n1 名前：名前 メール：m 投稿日：d\n");
  EXPECT_EQ(test::RunCli(dir, {"popup", dir.Path() + "/log.dat", "9"}).out, "スレ\n")
      << "the title alone when no stored reply is selected";
  EXPECT_EQ(test::RunCli(dir, {"popup", dir.Path() + "/none.dat", "1"}).exitCode, 1);
  EXPECT_EQ(test::RunCli(dir, {"popup", dir.Path() + "/log.dat"}).exitCode, 2);
  EXPECT_EQ(test::RunCli(dir, {"popup", dir.Path() + "/log.dat", "1", "--lines", "0"}).exitCode, 2);
}

}  // namespace
}  // namespace velkor
