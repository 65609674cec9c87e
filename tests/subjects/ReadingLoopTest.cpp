// The whole reading loop, headless: board menu, favourite, thread list, thread logs, through
// velkor-cli against a real nginx, with the stored state checked through the core.

#include <gtest/gtest.h>

#include <filesystem>

#include "app/DataDir.h"
#include "app/Settings.h"
#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "subjects/SubjectList.h"
#include "support/CliRunner.h"
#include "support/NginxFixture.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::NginxFixture;
using test::S;

std::string Dat(int from, int to) {
  std::string dat;
  for (int i = from; i <= to; ++i) {
    dat += S("名無しさん<>sage<>2026/12/07(月) 12:34:5") + std::to_string(i % 10) + "<> " +
           S("本文その") + std::to_string(i) + " <>" + (i == 1 ? S("読むスレ") : "") + "\n";
  }
  return dat;
}

// The loop runs over the scheme of the parameter: boards keep the scheme the menu gives them.
class ReadingLoopTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override { ASSERT_TRUE(nginx.IsRunning()) << nginx.ErrorLog(); }

  std::string Scheme() const { return GetParam(); }
  std::string Menu(const char* newsHost) const {
    return S("<HTML><BODY><B>ニュース</B><BR>\r\n<A HREF=" + Scheme() + "://" + newsHost +
             "/newsplus/>速報+</A><br>\r\n<BR><B>雑談</B><BR>\r\n<A HREF=" + Scheme() +
             "://talk.5ch.io/chat/>雑談</A><br>\r\n</BODY></HTML>\r\n");
  }

  test::CliResult Cli(std::vector<std::string> args, int exitCode = 0) {
    std::vector<std::string> all;
    for (const char* host : {"menu.5ch.io", "news.5ch.io", "news2.5ch.io", "talk.5ch.io"}) {
      for (const std::string& target : {nginx.ConnectTo(host), nginx.TlsConnectTo(host)}) {
        all.push_back("--connect-to");
        all.push_back(target);
      }
    }
    all.insert(all.end(), args.begin(), args.end());
    test::CliResult result = test::RunCli(data, all);
    EXPECT_EQ(result.exitCode, exitCode) << args[0] << ": " << result.err;
    return result;
  }
  std::string Threads(const std::string& show = "1") {
    return Cli({"threads", "ニュース", "速報+", "--show", show}).out;
  }

  test::TempDataDir data;
  NginxFixture nginx;
};

TEST_P(ReadingLoopTest, MenuFavouriteListAndLogsRunHeadless) {
  const std::time_t t0 = NginxFixture::kFixedTime;
  const std::string board = "log/news.5ch.io/newsplus/";

  // The board menu with two categories is fetched and applied; a board becomes a favourite.
  nginx.WriteFile("bbsmenu.html", Menu("news.5ch.io"), t0);
  EXPECT_EQ(Cli({"menu-update", Scheme() + "://menu.5ch.io/bbsmenu.html"}).out, "updated\n");
  EXPECT_EQ(Cli({"boards"}).out, "ニュース\t速報+\t" + Scheme() +
                                     "://news.5ch.io/newsplus/\n雑談\t雑談\t" + Scheme() +
                                     "://talk.5ch.io/chat/\n");
  Cli({"subscribe", "ニュース", "速報+"});
  EXPECT_EQ(Cli({"favorites"}).out, "ニュース\t速報+\t" + Scheme() + "://news.5ch.io/newsplus/\n");

  // The thread list (served gzip-compressed to a client that accepts it) is merged.
  nginx.WriteFile("newsplus/subject.txt",
                  S("111.dat<>読むスレ (3)\n222.dat<>二番目 &quot;引用&quot; (20)\n"
                    "333.dat<>三番目 (1001)\n"),
                  t0);
  EXPECT_EQ(Cli({"refresh", "ニュース", "速報+"}).out, "merged\n");
  EXPECT_EQ(Cli({"refresh", "ニュース", "速報+"}).out, "unchanged\n");
  EXPECT_EQ(Threads("0"),
            "1\t-\t読むスレ\t3\t0\t0\t\t0\t111.dat\n"
            "2\t-\t二番目 \"引用\"\t20\t0\t0\t\t0\t222.dat\n"
            "3\t-\t三番目\t1001\t0\t0\t\t0\t333.dat\n");

  // A thread is fetched whole.
  nginx.WriteFile("newsplus/dat/111.dat", Dat(1, 3), t0);
  EXPECT_EQ(Cli({"fetch", "ニュース", "速報+", "111"}).out, "stored\n");
  EXPECT_EQ(data.ReadFile(board + "111.dat"), Dat(1, 3));

  // The server's dat grows: only the new bytes are fetched (a changed first byte of the stored copy
  // survives) and the stored count rises.
  std::string local = Dat(1, 3);
  local[0] = 'X';
  data.WriteFile(board + "111.dat", local);
  nginx.WriteFile("newsplus/dat/111.dat", Dat(1, 5), t0 + 60);
  EXPECT_EQ(Cli({"fetch", "ニュース", "速報+", "111.dat"}).out, "stored\n");
  EXPECT_EQ(data.ReadFile(board + "111.dat"), local + Dat(4, 5));
  std::string lm60 = SjisToUtf8Lossy(NginxFixture::LastModifiedText(t0 + 60));
  std::string size = std::to_string(Dat(1, 5).size());
  EXPECT_EQ(Threads("2"), "1\t-\t読むスレ\t3\t5\t5\t" + lm60 + "\t" + size + "\t111.dat\n");
  EXPECT_EQ(Cli({"fetch", "ニュース", "速報+", "111"}).out, "unchanged\n");

  // The server's dat is rewritten shorter: the log is replaced.
  nginx.WriteFile("newsplus/dat/111.dat", Dat(1, 4), t0 + 120);
  EXPECT_EQ(Cli({"fetch", "ニュース", "速報+", "111"}).out, "stored\n");
  EXPECT_EQ(data.ReadFile(board + "111.dat"), Dat(1, 4));

  // Opening the thread: nothing new to fetch (4 stored, 3 listed), first unread 1, then all read.
  EXPECT_EQ(Cli({"open", "ニュース", "速報+", "111", "--page", data.Path() + "/page.html"}).out,
            "1\n");
  EXPECT_NE(data.ReadFile("page.html").find(S("本文その4")), std::string::npos);
  EXPECT_EQ(Cli({"open", "ニュース", "速報+", "111"}).out, "5\n");

  // A new list without 111 moves it into the past.
  nginx.WriteFile("newsplus/subject.txt", S("444.dat<>新しい (1)\n222.dat<>二番目 (25)\n"),
                  t0 + 180);
  EXPECT_EQ(Cli({"refresh", "ニュース", "速報+"}).out, "merged\n");
  std::string lm120 = SjisToUtf8Lossy(NginxFixture::LastModifiedText(t0 + 120));
  std::string size4 = std::to_string(Dat(1, 4).size());
  EXPECT_EQ(Threads("1"), "dat\t1\t読むスレ\t3\t4\t0\t" + lm120 + "\t" + size4 +
                              "\t111.dat\n"
                              "1\t-\t新しい\t1\t0\t0\t\t0\t444.dat\n"
                              "2\t2\t二番目 \"引用\"\t25\t0\t0\t\t0\t222.dat\n");
  EXPECT_EQ(Threads("0"), "dat\t1\t読むスレ\t3\t4\t0\t" + lm120 + "\t" + size4 +
                              "\t111.dat\n"
                              "1\t-\t新しい\t1\t0\t0\t\t0\t444.dat\n");

  // Flags and colours, as the list view sees them.
  Settings saved = AppSettings();
  AppSettings().unreadThreadColor = 1;
  AppSettings().pastThreadColor = 2;
  AppSettings().logExistThreadColor = 3;
  AppSettings().newThreadColor = 4;
  AppSettings().nologThreadColor = 6;
  SubjectList list;
  ASSERT_TRUE(list.Bind(LogDir() + "/news.5ch.io/newsplus/subject.ini"));
  list.Fill(ShowTypeMask(ShowType::kAll));
  ASSERT_EQ(list.RowCount(), 3u);
  EXPECT_EQ(list.Row(0).state, kThreadPast | kThreadLog);
  EXPECT_EQ(list.RowColour(0), 2);
  EXPECT_EQ(list.Row(1).state, kThreadNew | kThreadNoLog);
  EXPECT_EQ(list.RowColour(1), 4);
  EXPECT_EQ(list.Row(2).state, kThreadNoLog);
  EXPECT_EQ(list.RowColour(2), 6);
  AppSettings() = saved;
  list.Release();

  // The board moves to another host: the menu update moves its logs and state along.
  nginx.WriteFile("bbsmenu.html", Menu("news2.5ch.io"), t0 + 240);
  EXPECT_EQ(Cli({"menu-update", "--page", data.Path() + "/moved.html"}).out, "updated\n");
  EXPECT_EQ(Cli({"favorites"}).out, "ニュース\t速報+\t" + Scheme() + "://news2.5ch.io/newsplus/\n");
  EXPECT_FALSE(data.Exists(board + "111.dat"));
  EXPECT_EQ(data.ReadFile("log/news2.5ch.io/newsplus/111.dat"), Dat(1, 4));
  EXPECT_EQ(Threads("0"), "dat\t1\t読むスレ\t3\t4\t0\t" + lm120 + "\t" + size4 +
                              "\t111.dat\n"
                              "1\t-\t新しい\t1\t0\t0\t\t0\t444.dat\n");
  nginx.WriteFile("newsplus/dat/444.dat", Dat(1, 1), t0);
  EXPECT_EQ(Cli({"fetch", "ニュース", "速報+", "444"}).out, "stored\n");
  EXPECT_EQ(data.ReadFile("log/news2.5ch.io/newsplus/444.dat"), Dat(1, 1));

  // Failures are failures: a thread the server does not have, a list that cannot be stored.
  auto missing = Cli({"fetch", "ニュース", "速報+", "555"}, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_NE(missing.err.find("velkor-cli: "), std::string::npos);
  EXPECT_FALSE(data.Exists("log/news2.5ch.io/newsplus/555.dat"));
  const std::string state = data.ReadFile("log/news2.5ch.io/newsplus/subject.ini");
  ASSERT_TRUE(std::filesystem::remove(data.Path() + "/log/news2.5ch.io/newsplus/subject.txt"));
  ASSERT_TRUE(
      std::filesystem::create_directory(data.Path() + "/log/news2.5ch.io/newsplus/subject.txt"));
  nginx.WriteFile("newsplus/subject.txt", S("666.dat<>もっと新しい (1)\n"), t0 + 300);
  auto full = Cli({"refresh", "ニュース", "速報+"}, 1);
  EXPECT_EQ(full.out, "");
  EXPECT_NE(full.err.find("velkor-cli: エラー:"), std::string::npos) << full.err;
  EXPECT_EQ(data.ReadFile("log/news2.5ch.io/newsplus/subject.ini"), state);
}

INSTANTIATE_TEST_SUITE_P(Schemes, ReadingLoopTest, ::testing::Values("http", "https"));

}  // namespace
}  // namespace velkor
