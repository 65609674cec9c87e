// Black-box tests of velkor-cli's render and popup commands.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

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

// With no rule that applies, the page is byte for byte the one rendered without any rule file.
TEST(RenderCommandsTest, RenderWithoutApplicableRulesIsUnchanged) {
  test::TempDataDir dir;
  const std::string log = dir.Path() + "/log/h.example/news/1.dat";
  dir.WriteFile("log/h.example/news/1.dat", kLog);
  const std::vector<std::string> args = {"render", log, "--unread", "2"};
  test::RunCli(dir, args);  // writes the skin files
  const auto before = test::RunCli(dir, args);
  ASSERT_EQ(before.exitCode, 0);
  for (const char* rules : {"", "# only a comment\r\n", "word\tzzz\r\n",
                            "word\tone\th.example/other\r\n", "damaged\r\n"}) {
    dir.WriteFile("ini/ng.txt", rules);
    const auto after = test::RunCli(dir, args);
    EXPECT_EQ(after.exitCode, 0);
    EXPECT_EQ(after.out, before.out) << rules;
  }
}

TEST(RenderCommandsTest, RenderAndPopupHonourTheRulesOfTheLogsBoard) {
  test::TempDataDir dir;
  const std::string log = dir.Path() + "/log/h.example/news/1.dat";
  dir.WriteFile("log/h.example/news/1.dat", kLog);
  dir.WriteFile("skin/Res.html", "R<PLAINNUMBER/><NAME/><MESSAGE/>");
  dir.WriteFile("skin/NewRes.html", "N<PLAINNUMBER/><NAME/><MESSAGE/>");
  dir.WriteFile("skin/Header.html", "");
  dir.WriteFile("skin/Bookmark.html", "");
  dir.WriteFile("skin/Footer.html", "");
  dir.WriteFile("ini/ng.txt", "word\tone\th.example/news\r\nname\tn2\tglobal\thidden\r\nbad\r\n");
  auto page = test::RunCli(dir, {"render", log});
  ASSERT_EQ(page.exitCode, 0) << page.err;
  EXPECT_EQ(page.out, S("<a name=\"midoku\"></a><a name=\"a1\"></a>N1あぼーんあぼーん\r\n"
                        "<a name=\"a2\"></a>"));
  EXPECT_NE(page.err.find("ng.txt line 3 skipped"), std::string::npos) << page.err;
  auto popup = test::RunCli(dir, {"popup", log, "1-2"});
  ASSERT_EQ(popup.exitCode, 0) << popup.err;
  EXPECT_EQ(popup.out, "T\r\n\r\n1 名前：あぼーん メール：あぼーん 投稿日：あぼーん\r\nあぼーん\n");

  // The board rule stays on its board; the global one applies anywhere.
  dir.WriteFile("elsewhere.dat", kLog);
  auto other = test::RunCli(dir, {"render", dir.Path() + "/elsewhere.dat"});
  EXPECT_EQ(other.out, S("<a name=\"midoku\"></a><a name=\"a1\"></a>N1n1<a href=\"#a2,\">"
                         "&gt;&gt;2 </a>one\r\n<a name=\"a2\"></a>"));
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

// A rule whose matching runs away is switched off for the page and named on stderr; the page is
// written all the same.
TEST(RenderCommandsTest, RenderNamesARuleSwitchedOffAsTooCostly) {
  test::TempDataDir dir;
  std::string log;
  for (int k = 0; k < 1000; ++k) log += "n<><>d<>" + std::string(40, 'a') + "!<>\n";
  dir.WriteFile("1.dat", log);
  dir.WriteFile("ini/ng.txt", "regex\t(a+)+$\r\n");
  const auto page = test::RunCli(dir, {"render", dir.Path() + "/1.dat"});
  EXPECT_EQ(page.exitCode, 0) << page.err;
  EXPECT_NE(page.err.find("警告:重すぎるNGルールをこのスレでは止めました: regex (a+)+$"),
            std::string::npos)
      << page.err;
  EXPECT_NE(page.out.find("<a name=\"a1000\">"), std::string::npos);
}

// Runs velkor-cli with SIGTERM already pending: blocked and raised before exec, so the command
// receives it as soon as it lets the signal through. Returns the exit code; stderr goes to `err`.
int RunWithPendingStop(const test::TempDataDir& dir, const std::vector<std::string>& args,
                       std::string& err) {
  const std::string errPath = dir.Path() + "/stderr.txt";
  std::vector<std::string> argv{VELKOR_CLI_PATH, "--data-dir", dir.Path()};
  argv.insert(argv.end(), args.begin(), args.end());
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, 2);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigprocmask(SIG_BLOCK, &stop, nullptr);
    ::raise(SIGTERM);
    std::vector<char*> cargv;
    for (std::string& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    ::execv(cargv[0], cargv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  err = dir.ReadFile("stderr.txt");
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// SIGTERM (and SIGINT) stop render, popup and search, which do not download, as they stop a
// download.
TEST(RenderCommandsTest, AStopSignalStopsCommandsThatDoNotDownload) {
  test::TempDataDir dir;
  dir.WriteFile("log.dat", kLog);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"render", dir.Path() + "/log.dat"},
        std::vector<std::string>{"popup", dir.Path() + "/log.dat", "1"},
        std::vector<std::string>{"search", "--scope", "3", "word"}}) {
    std::string err;
    EXPECT_EQ(RunWithPendingStop(dir, args, err), 1) << args[0] << ": " << err;
    EXPECT_NE(err.find("stopped"), std::string::npos) << args[0] << ": " << err;
  }
}

}  // namespace
}  // namespace velkor
