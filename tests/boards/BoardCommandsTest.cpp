#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/CliRunner.h"
#include "support/NginxFixture.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;

const char* const kMenu =
    "<HTML><BODY><B>ニュース</B><BR>\r\n"
    "<A HREF=http://asahi.5ch.io/newsplus/>ニュース速報+</A><br>\r\n"
    "<A HREF=http://egg.5ch.io/eq/>地震速報</A><br>\r\n"
    "<B>趣味</B><BR>\r\n"
    "<A HREF=http://medaka.5ch.io/shogi/>将棋</A><br>\r\n"
    "</BODY></HTML>\r\n";

class BoardCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.WriteFile("menu.html", S(kMenu));
    ASSERT_EQ(Run({"menu-import", dir.Path() + "/menu.html"}).exitCode, 0);
  }
  test::CliResult Run(const std::vector<std::string>& args) { return test::RunCli(dir, args); }

  test::TempDataDir dir;
};

TEST_F(BoardCommandsTest, BoardsListsTheImportedMenuInFileOrder) {
  auto boards = Run({"boards"});
  EXPECT_EQ(boards.exitCode, 0);
  EXPECT_EQ(boards.out,
            "ニュース\tニュース速報+\thttp://asahi.5ch.io/newsplus/\n"
            "ニュース\t地震速報\thttp://egg.5ch.io/eq/\n"
            "趣味\t将棋\thttp://medaka.5ch.io/shogi/\n");
  EXPECT_EQ(Run({"favorites"}).out, "");
}

TEST_F(BoardCommandsTest, EveryLineHoldsThreeFieldsWhateverTheBytes) {
  // A name ending in a lone lead byte, and one holding a TAB.
  dir.WriteFile("ini/subscrib.ini",
                "[c]\r\nbad\x81=http://a.5ch.io/b/\r\nx\ty=http://a.5ch.io/d/\r\n\r\n");
  EXPECT_EQ(Run({"favorites"}).out,
            "c\tbad\xEF\xBF\xBD\thttp://a.5ch.io/b/\nc\tx y\thttp://a.5ch.io/d/\n");
}

TEST_F(BoardCommandsTest, MenuImportOfAPageWithoutBoardsFailsAndKeepsTheList) {
  const std::string before = dir.ReadFile("ini/board.ini");
  dir.WriteFile("maintenance.html", "<HTML><BODY>maintenance</BODY></HTML>");
  auto result = Run({"menu-import", dir.Path() + "/maintenance.html"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("no board menu"), std::string::npos);
  EXPECT_EQ(dir.ReadFile("ini/board.ini"), before);
}

TEST_F(BoardCommandsTest, SubscribeThatCannotBeWrittenFails) {
  // A folder where subscrib.ini belongs, as a full disk would refuse the write.
  ASSERT_TRUE(std::filesystem::create_directory(dir.Path() + "/ini/subscrib.ini"));
  auto result = Run({"subscribe", "趣味", "将棋"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("cannot write"), std::string::npos);
}

TEST_F(BoardCommandsTest, SubscribeAndUnsubscribe) {
  EXPECT_EQ(Run({"subscribe", "趣味", "将棋"}).exitCode, 0);
  EXPECT_EQ(Run({"subscribe", "ニュース", "地震速報"}).exitCode, 0);
  auto again = Run({"subscribe", "趣味", "将棋"});
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_NE(again.err.find("favourite already"), std::string::npos);
  EXPECT_EQ(Run({"subscribe", "趣味", "囲碁"}).exitCode, 1);
  EXPECT_EQ(Run({"favorites"}).out,
            "趣味\t将棋\thttp://medaka.5ch.io/shogi/\n"
            "ニュース\t地震速報\thttp://egg.5ch.io/eq/\n");
  EXPECT_EQ(dir.ReadFile("ini/subscrib.ini"),
            S("[趣味]\r\n将棋=http://medaka.5ch.io/shogi/\r\n\r\n"
              "[ニュース]\r\n地震速報=http://egg.5ch.io/eq/\r\n\r\n"));

  EXPECT_EQ(Run({"unsubscribe", "趣味", "将棋"}).exitCode, 0);
  EXPECT_EQ(Run({"unsubscribe", "趣味", "将棋"}).exitCode, 1);
  EXPECT_EQ(Run({"favorites"}).out, "ニュース\t地震速報\thttp://egg.5ch.io/eq/\n");
  EXPECT_EQ(Run({"subscribe", "趣味"}).exitCode, 2);
}

TEST_F(BoardCommandsTest, MenuImportWritesTheMovedBoardReport) {
  ASSERT_EQ(Run({"subscribe", "ニュース", "ニュース速報+"}).exitCode, 0);
  dir.WriteFile("log/asahi.5ch.io/newsplus/1111111111.dat", "x<>y<>z<>w<>t\n");
  std::string moved = kMenu;
  moved.replace(moved.find("asahi"), 5, "ai");
  dir.WriteFile("moved.html", S(moved));

  auto result = Run({"menu-import", dir.Path() + "/moved.html", "--page", dir.Path() + "/r.html"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_NE(dir.ReadFile("r.html").find(S("→http://ai.5ch.io/newsplus/<br>")), std::string::npos);
  EXPECT_EQ(dir.ReadFile("log/ai.5ch.io/newsplus/1111111111.dat"), "x<>y<>z<>w<>t\n");
  EXPECT_EQ(Run({"favorites"}).out, "ニュース\tニュース速報+\thttp://ai.5ch.io/newsplus/\n");
  EXPECT_EQ(Run({"menu-import", dir.Path() + "/missing.html"}).exitCode, 1);
}

TEST_F(BoardCommandsTest, PinUnpinAndButtons) {
  EXPECT_EQ(Run({"pin", "▽ニュース"}).exitCode, 0);
  EXPECT_EQ(Run({"pin", "将棋"}).exitCode, 0);
  EXPECT_EQ(Run({"pin", "将棋"}).exitCode, 1);
  EXPECT_EQ(Run({"buttons"}).out, "▽ニュース\n将棋\n");
  EXPECT_EQ(dir.ReadFile("ini/favbrd.lst"), S("▽ニュース\r\n将棋\r\n"));
  EXPECT_EQ(Run({"unpin", "▽ニュース"}).exitCode, 0);
  EXPECT_EQ(Run({"unpin", "▽ニュース"}).exitCode, 1);
  EXPECT_EQ(Run({"buttons"}).out, "将棋\n");
}

TEST_F(BoardCommandsTest, MenuUpdateReportsFailureWithoutTouchingTheList) {
  std::string before = dir.ReadFile("ini/board.ini");
  auto result = Run(
      {"--connect-to", "menu.test=127.0.0.1:9", "menu-update", "http://menu.test/bbsmenu.html"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "failed\n");
  EXPECT_NE(result.err.find("エラー:"), std::string::npos);
  EXPECT_EQ(dir.ReadFile("ini/board.ini"), before);
  EXPECT_NE(dir.ReadFile("ini/config.ini").find("History1=http://menu.test/bbsmenu.html\r\n"),
            std::string::npos);
}

TEST_F(BoardCommandsTest, MenuUpdateDownloadsThenAsksConditionally) {
  test::NginxFixture nginx;
  ASSERT_TRUE(nginx.IsRunning()) << nginx.ErrorLog();
  std::string moved = kMenu;
  moved.replace(moved.find("medaka"), 6, "mevius");
  nginx.WriteFile("bbsmenu.html", S(moved));
  ASSERT_EQ(Run({"subscribe", "趣味", "将棋"}).exitCode, 0);
  std::vector<std::string> update{"--connect-to", nginx.ConnectTo("menu.test"),
                                  "menu-update",  "http://menu.test/bbsmenu.html",
                                  "--page",       dir.Path() + "/report.html"};

  auto first = Run(update);
  EXPECT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(first.out, "updated\n");
  EXPECT_EQ(dir.ReadFile("log/board.html"), S(moved));
  EXPECT_EQ(Run({"favorites"}).out, "趣味\t将棋\thttp://mevius.5ch.io/shogi/\n");
  EXPECT_NE(dir.ReadFile("report.html").find("http://mevius.5ch.io/shogi/"), std::string::npos);

  update.pop_back();
  update.pop_back();
  auto second = Run(update);
  EXPECT_EQ(second.exitCode, 0) << second.err;
  EXPECT_EQ(second.out, "not-modified\n");
  update.push_back("--rebuild");
  EXPECT_EQ(Run(update).out, "updated\n");
}

// velkor-cli killed with SIGKILL at seeded random points while menu imports move a favourite back
// and forth between two hosts. After every kill, once the next start has finished the moves left
// pending, board.ini is one of the two lists, the favourite's logs all lie in the folder its URL in
// subscrib.ini names and none in the other; after a run that ended, that URL is the one it
// reported.
TEST(BoardMoveCrashTest, ListsAndLogFoldersAgreeAfterEveryKill) {
  using Clock = std::chrono::steady_clock;
  constexpr int kLogs = 60;
  constexpr int kRuns = 24;
  test::TempDataDir dir;
  const std::string hosts[2] = {"ex.5ch.io", "ex2.5ch.io"};
  std::string lists[2];
  for (int m = 0; m < 2; ++m) {
    dir.WriteFile("menu" + std::to_string(m) + ".html",
                  S("<B>ニュース</B><A HREF=http://" + hosts[m] + "/news/>速報</A>"));
    lists[m] = S("[ニュース]\r\n速報=http://" + hosts[m] + "/news/\r\n\r\n");
  }
  dir.WriteFile("ini/board.ini", lists[0]);
  dir.WriteFile("ini/subscrib.ini", lists[0]);
  for (int k = 0; k < kLogs; ++k) {
    dir.WriteFile("log/ex.5ch.io/news/" + std::to_string(1700000000 + k) + ".dat",
                  std::string(20000, 'x') + "\n");
  }

  // One unkilled import tells how long a run takes.
  auto importMenu = [&](int m, Clock::duration killAfter) {
    const std::string menu = dir.Path() + "/menu" + std::to_string(m) + ".html";
    std::vector<std::string> argv{VELKOR_CLI_PATH, "--data-dir", dir.Path(), "menu-import", menu};
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int null = ::open("/dev/null", O_RDWR);
      ::dup2(null, 1);
      ::dup2(null, 2);
      std::vector<char*> cargv;
      for (std::string& arg : argv) cargv.push_back(arg.data());
      cargv.push_back(nullptr);
      ::execv(cargv[0], cargv.data());
      ::_exit(127);
    }
    const Clock::time_point start = Clock::now();
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      if (Clock::now() - start >= killAfter) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return false;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  };
  const Clock::time_point start = Clock::now();
  ASSERT_TRUE(importMenu(1, std::chrono::seconds(60)));
  const auto runTime = Clock::now() - start;

  std::mt19937 random(20261208);
  for (int run = 0; run < kRuns; ++run) {
    const int m = run % 2;
    std::uniform_int_distribution<long long> delay(0, runTime.count());
    const bool ended = importMenu(m, Clock::duration(delay(random)));
    // The next start finishes what the killed run left pending.
    ASSERT_EQ(test::RunCli(dir, {"favorites"}).exitCode, 0);

    const std::string boardList = dir.ReadFile("ini/board.ini");
    EXPECT_TRUE(boardList == lists[0] || boardList == lists[1])
        << "run " << run << ": " << boardList;
    const std::string favourites = dir.ReadFile("ini/subscrib.ini");
    const int named = favourites == lists[1] ? 1 : 0;
    ASSERT_TRUE(favourites == lists[named]) << "run " << run << ": " << favourites;
    if (ended) {
      EXPECT_EQ(named, m) << "run " << run << " reported a move the files do not show";
    }
    int here = 0;
    int there = 0;
    for (int k = 0; k < kLogs; ++k) {
      const std::string name = "/news/" + std::to_string(1700000000 + k) + ".dat";
      here += dir.Exists("log/" + hosts[named] + name) ? 1 : 0;
      there += dir.Exists("log/" + hosts[1 - named] + name) ? 1 : 0;
    }
    EXPECT_EQ(here, kLogs) << "run " << run;
    EXPECT_EQ(there, 0) << "run " << run;
    EXPECT_FALSE(dir.Exists("ini/boardmove.lst")) << "run " << run;
  }
}

}  // namespace
}  // namespace velkor
