#include "boards/BoardMenuUpdater.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <string>
#include <vector>

#include "app/AppConfig.h"
#include "base/IniDocument.h"
#include "boards/BoardCatalog.h"
#include "net/ConnectOverrides.h"
#include "net/Fetch.h"
#include "support/NginxFixture.h"
#include "support/RecordingUiHooks.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;
constexpr MenuUpdateCode kImported = MenuUpdateCode::kOk;

std::string Menu(const char* newsHost) {
  return S(std::string("<HTML><BODY><BR><B>ニュース</B><BR>\r\n<A HREF=http://") + newsHost +
           "/newsplus/>ニュース速報+</A><br>\r\n<A HREF=http://egg.5ch.io/eq/>地震速報</A><br>\r\n"
           "</BODY></HTML>\r\n");
}

class RecordingSink : public BoardMenuStatusSink {
 public:
  void ShowStatusText(const std::string& text) override {
    texts.push_back(text);
    if (abortAt == texts.size() && updater != nullptr) updater->RequestAbort();
  }
  void ShowProgress(std::int32_t received, std::int32_t total) override {
    progress.emplace_back(received, total);
  }
  std::vector<std::string> texts;
  std::vector<std::pair<std::int32_t, std::int32_t>> progress;
  std::size_t abortAt = 0;
  BoardMenuUpdater* updater = nullptr;
};

class BoardMenuUpdaterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    config.Open(dir.Path() + "/ini/config.ini");
    boardList.Open(dir.Path() + "/ini/board.ini");
    favorites.Open(dir.Path() + "/ini/subscrib.ini");
  }
  void TearDown() override { ClearConnectOverrides(); }

  IniDocument ConfigFile() const {
    IniDocument ini;
    ini.Load(dir.Path() + "/ini/config.ini");
    return ini;
  }

  test::TempDataDir dir;
  test::RecordingUiHooks ui;
  AppConfig config;
  BoardCatalog boardList;
  BoardCatalog favorites;
};

TEST_F(BoardMenuUpdaterTest, StartsOnTheFirstHistoryEntryAndANewUrlForcesARebuild) {
  dir.WriteFile(
      "ini/config.ini",
      "[BBSMenuURL]\r\nHistory1=http://a.test/m.html\r\nHistory2=\r\n"
      "History3=http://b.test/m.html\r\nTimestamp= Mon, 01 Jan 2024 00:00:00 GMT\r\n\r\n");
  AppConfig own;
  own.Open(dir.Path() + "/ini/config.ini");
  BoardMenuUpdater updater(boardList, favorites, own);
  EXPECT_EQ(updater.History(),
            (std::vector<std::string>{"http://a.test/m.html", "http://b.test/m.html"}));
  EXPECT_EQ(updater.Url(), "http://a.test/m.html");
  EXPECT_FALSE(updater.Rebuild());
  updater.SetUrl("http://b.test/m.html");
  EXPECT_TRUE(updater.Rebuild());
  updater.SetUrl("http://a.test/m.html");
  EXPECT_FALSE(updater.Rebuild());
}

TEST_F(BoardMenuUpdaterTest, DialogStatusFeedsTheSinkAndAnswersStopUnlessDownloading) {
  BoardMenuUpdater updater(boardList, favorites, config);
  RecordingSink sink;
  updater.SetStatusSink(&sink);
  EXPECT_EQ(BoardMenuUpdater::DialogStatus("x", nullptr, 0, 0), 0);
  EXPECT_TRUE(sink.texts.empty());
  EXPECT_EQ(BoardMenuUpdater::DialogStatus(S("接続しました.").c_str(), &updater, 0, 0), 1);
  EXPECT_EQ(BoardMenuUpdater::DialogStatus(nullptr, &updater, 10, 100), 1);
  EXPECT_EQ(sink.texts, std::vector<std::string>{S("接続しました.")});
  ASSERT_EQ(sink.progress.size(), 1u);
  EXPECT_EQ(sink.progress[0], std::make_pair(10, 100));
  EXPECT_EQ(ui.processEventsCalls, 2);

  updater.SetStatusSink(nullptr);
  BoardMenuUpdater::DialogStatus("status", &updater, 0, 0);
  EXPECT_EQ(ui.statusTexts, std::vector<std::string>{"status"});
}

TEST_F(BoardMenuUpdaterTest, ApplyMenuRebuildsTheListAndReportsMovedFavourites) {
  dir.WriteFile("ini/subscrib.ini",
                S("[ニュース]\r\nニュース速報+=http://asahi.5ch.io/newsplus/\r\n"
                  "地震速報=http://egg.5ch.io/eq/\r\n\r\n"));
  dir.WriteFile("log/asahi.5ch.io/newsplus/1000000000.dat", "a<>b<>c<>d<>t\n");
  BoardCatalog subscribed;
  subscribed.Open(dir.Path() + "/ini/subscrib.ini");
  BoardMenuUpdater updater(boardList, subscribed, config);

  const MenuUpdateResult applied = updater.ApplyMenu(Menu("ai.5ch.io"));
  ASSERT_EQ(applied.Code(), kImported);
  EXPECT_EQ(boardList.TreeNodeCount(), 4u);
  EXPECT_EQ(boardList.BoardUrl(S("ニュース"), S("ニュース速報+")), "http://ai.5ch.io/newsplus/");
  EXPECT_NE(applied.MovedReport().find(S("→http://ai.5ch.io/newsplus/<br>")), std::string::npos);
  EXPECT_TRUE(ui.pages.empty()) << "the caller shows the report";
  EXPECT_EQ(subscribed.BoardUrl(S("ニュース"), S("ニュース速報+")), "http://ai.5ch.io/newsplus/");
  EXPECT_EQ(dir.ReadFile("log/ai.5ch.io/newsplus/1000000000.dat"), "a<>b<>c<>d<>t\n");

  // Applying the same menu again finds nothing moved.
  const MenuUpdateResult again = updater.ApplyMenu(Menu("ai.5ch.io"));
  ASSERT_EQ(again.Code(), kImported);
  EXPECT_EQ(again.MovedReport(), "");
}

TEST_F(BoardMenuUpdaterTest, SchemeOnlyChangeIsNoMoveAndKeepsTheLogs) {
  dir.WriteFile("ini/subscrib.ini", S("[ニュース]\r\n速報=http://asahi.5ch.io/newsplus/\r\n\r\n"));
  dir.WriteFile("log/asahi.5ch.io/newsplus/1000000000.dat", "a<>b<>c<>d<>t\n");
  BoardCatalog subscribed;
  subscribed.Open(dir.Path() + "/ini/subscrib.ini");
  BoardMenuUpdater updater(boardList, subscribed, config);

  for (const char* scheme : {"https", "http"}) {
    const MenuUpdateResult applied = updater.ApplyMenu(
        S(std::string("<B>ニュース</B><A HREF=") + scheme + "://asahi.5ch.io/newsplus/>速報</A>"));
    ASSERT_EQ(applied.Code(), kImported);
    EXPECT_EQ(dir.ReadFile("ini/subscrib.ini"),
              S(std::string("[ニュース]\r\n速報=") + scheme + "://asahi.5ch.io/newsplus/\r\n\r\n"));
    EXPECT_EQ(applied.MovedReport(), "") << scheme;
    EXPECT_EQ(dir.ReadFile("log/asahi.5ch.io/newsplus/1000000000.dat"), "a<>b<>c<>d<>t\n");
  }
}

TEST_F(BoardMenuUpdaterTest, PageWithoutBoardsIsNoMenuAndChangesNothing) {
  const std::string boards = S("[ニュース]\r\n速報=http://a.5ch.io/news/\r\n\r\n");
  const std::string favourites =
      S("[ニュース]\r\n速報=http://a.5ch.io/news/\r\n\r\n"
        "[趣味]\r\n将棋=http://c.5ch.io/shogi/\r\n\r\n");
  dir.WriteFile("ini/board.ini", boards);
  dir.WriteFile("ini/subscrib.ini", favourites);
  BoardCatalog list;
  list.Open(dir.Path() + "/ini/board.ini");
  BoardCatalog subscribed;
  subscribed.Open(dir.Path() + "/ini/subscrib.ini");
  BoardMenuUpdater updater(list, subscribed, config);

  // A maintenance page: a heading, links that are no boards.
  const MenuUpdateResult applied = updater.ApplyMenu(
      S("<HTML><BODY><B>ニュース</B><BR><A HREF=http://www.5ch.io/>top</A></BODY></HTML>"));
  EXPECT_EQ(applied.Code(), MenuUpdateCode::kNotAMenu);
  EXPECT_EQ(applied.Reason(), S("ボード一覧ではありません（板が見つかりません）。"));
  EXPECT_EQ(dir.ReadFile("ini/board.ini"), boards);
  EXPECT_EQ(list.AllUrls(), std::vector<std::string>{"http://a.5ch.io/news/"});
  EXPECT_EQ(applied.MovedReport(), "");
  EXPECT_EQ(dir.ReadFile("ini/subscrib.ini"), favourites);
}

// ApplyMenu in a child process whose files may grow to `limit` bytes at most, as on a full disk:
// the result's code, or -1 when the child did not end normally.
int ApplyMenuWithFileSizeLimit(BoardMenuUpdater& updater, const std::string& page, rlim_t limit) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const rlimit small{limit, limit};
    // A write beyond the limit then fails with EFBIG instead of ending the process.
    ::signal(SIGXFSZ, SIG_IGN);
    if (::setrlimit(RLIMIT_FSIZE, &small) != 0) ::_exit(100);
    ::_exit(static_cast<int>(updater.ApplyMenu(page).Code()));
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(BoardMenuUpdaterTest, FavouritesThatCannotBeWrittenReportNoMoveAndMoveNothing) {
  // Favourites too big for the full disk; the new board list is small enough.
  std::string favourites = S("[ニュース]\r\nニュース速報+=http://asahi.5ch.io/newsplus/\r\n\r\n");
  for (int i = 0; i < 40; ++i) {
    favourites += S("[趣味") + std::to_string(i) + "]\r\nb=http://c.5ch.io/b" + std::to_string(i) +
                  "/\r\n\r\n";
  }
  dir.WriteFile("ini/subscrib.ini", favourites);
  dir.WriteFile("log/asahi.5ch.io/newsplus/1000000000.dat", "a<>b<>c<>d<>t\n");
  BoardCatalog subscribed;
  subscribed.Open(dir.Path() + "/ini/subscrib.ini");
  BoardMenuUpdater updater(boardList, subscribed, config);

  ASSERT_EQ(ApplyMenuWithFileSizeLimit(updater, Menu("ai.5ch.io"), 400),
            static_cast<int>(MenuUpdateCode::kFavoritesNotWritten));
  // The board list took the new menu; the favourites and the logs stayed, and nothing is pending.
  BoardCatalog list;
  list.Open(dir.Path() + "/ini/board.ini");
  EXPECT_EQ(list.BoardUrl(S("ニュース"), S("ニュース速報+")), "http://ai.5ch.io/newsplus/");
  EXPECT_EQ(dir.ReadFile("ini/subscrib.ini"), favourites);
  EXPECT_EQ(dir.ReadFile("log/asahi.5ch.io/newsplus/1000000000.dat"), "a<>b<>c<>d<>t\n");
  EXPECT_FALSE(dir.Exists("ini/boardmove.lst"));

  // With room on the disk the same menu finishes the move.
  const MenuUpdateResult again = updater.ApplyMenu(Menu("ai.5ch.io"));
  EXPECT_TRUE(again.IsOk()) << again.Reason();
  EXPECT_NE(again.MovedReport().find(S("→http://ai.5ch.io/newsplus/<br>")), std::string::npos);
  EXPECT_EQ(dir.ReadFile("log/ai.5ch.io/newsplus/1000000000.dat"), "a<>b<>c<>d<>t\n");
}

TEST_F(BoardMenuUpdaterTest, UnreadableLocalFileChangesNothing) {
  dir.WriteFile("ini/board.ini", "[a]\r\nb=http://c.5ch.io/d/\r\n\r\n");
  BoardMenuUpdater updater(boardList, favorites, config);
  const MenuUpdateResult missing = updater.ApplyMenuFile(dir.Path() + "/missing.html");
  EXPECT_EQ(missing.Code(), MenuUpdateCode::kFileNotRead);
  EXPECT_EQ(missing.Reason(), S("ボード一覧の取得に失敗。"));
  EXPECT_EQ(dir.ReadFile("ini/board.ini"), "[a]\r\nb=http://c.5ch.io/d/\r\n\r\n");
  dir.WriteFile("menu.html", Menu("asahi.5ch.io"));
  EXPECT_EQ(updater.ApplyMenuFile(dir.Path() + "/menu.html").Code(), kImported);
  EXPECT_EQ(boardList.AllUrls().size(), 2u);
}

TEST_F(BoardMenuUpdaterTest, FailedDownloadKeepsTheListsAndStillRecordsTheHistory) {
  dir.WriteFile("ini/config.ini",
                "[BBSMenuURL]\r\nHistory1=http://m1.test/\r\nHistory2=http://m2.test/\r\n"
                "History3=http://m3.test/\r\nHistory4=http://m4.test/\r\n"
                "History5=http://m5.test/\r\nTimestamp= old\r\n\r\n");
  dir.WriteFile("ini/board.ini", "[a]\r\nb=http://c.5ch.io/d/\r\n\r\n");
  AppConfig own;
  own.Open(dir.Path() + "/ini/config.ini");
  // Nothing listens on the discard port of the loopback address.
  ASSERT_TRUE(AddConnectOverrides({"fresh.test=127.0.0.1:9"}).IsOk());
  BoardMenuUpdater updater(boardList, favorites, own);
  updater.SetUrl("http://fresh.test/bbsmenu.html");

  const MenuUpdateResult result = updater.RunUpdate();
  EXPECT_EQ(result.Code(), MenuUpdateCode::kFetchFailed);
  EXPECT_EQ(result.Reason(), S("ボード一覧の取得に失敗。"));
  EXPECT_LT(FetchResultNumber(result.Fetch()), 0);
  EXPECT_EQ(updater.CurrentRunFlag(), BoardMenuUpdater::kIdle);
  EXPECT_TRUE(ui.messages.empty()) << "the caller shows the reason";
  EXPECT_EQ(dir.ReadFile("ini/board.ini"), "[a]\r\nb=http://c.5ch.io/d/\r\n\r\n");
  EXPECT_FALSE(dir.Exists("log/board.html"));

  IniDocument file = ConfigFile();
  EXPECT_EQ(file.ReadString("BBSMenuURL", "History1", ""), "http://fresh.test/bbsmenu.html");
  EXPECT_EQ(file.ReadString("BBSMenuURL", "History2", ""), "http://m1.test/");
  EXPECT_EQ(file.ReadString("BBSMenuURL", "History5", ""), "http://m4.test/");
  // The request was not conditional, so nothing is remembered as its time stamp.
  EXPECT_EQ(file.ReadString("BBSMenuURL", "Timestamp", "missing"), "");
}

TEST_F(BoardMenuUpdaterTest, UsedUrlLeavesItsFirstHistoryPlaceOnly) {
  dir.WriteFile("ini/config.ini",
                "[BBSMenuURL]\r\nHistory1=http://m1.test/\r\nHistory2=http://m2.test/\r\n"
                "History3=http://m1.test/\r\nHistory4=http://m4.test/\r\n\r\n");
  AppConfig own;
  own.Open(dir.Path() + "/ini/config.ini");
  ASSERT_TRUE(AddConnectOverrides({"m2.test=127.0.0.1:9"}).IsOk());
  BoardMenuUpdater updater(boardList, favorites, own);
  updater.SetUrl("http://m2.test/");
  EXPECT_EQ(updater.RunUpdate().Code(), MenuUpdateCode::kFetchFailed);
  updater.SetUrl("http://m1.test/");
  ASSERT_TRUE(AddConnectOverrides({"m1.test=127.0.0.1:9"}).IsOk());
  EXPECT_EQ(updater.RunUpdate().Code(), MenuUpdateCode::kFetchFailed);

  // Only the first of the two equal entries gives way.
  EXPECT_EQ(updater.History(), (std::vector<std::string>{"http://m1.test/", "http://m2.test/",
                                                         "http://m1.test/", "http://m4.test/"}));
  IniDocument file = ConfigFile();
  EXPECT_EQ(file.ReadString("BBSMenuURL", "History1", ""), "http://m1.test/");
  EXPECT_EQ(file.ReadString("BBSMenuURL", "History3", ""), "http://m1.test/");
  EXPECT_EQ(file.ReadString("BBSMenuURL", "History4", ""), "http://m4.test/");
  EXPECT_FALSE(file.ValueExists("BBSMenuURL", "History5"));
}

class BoardMenuUpdaterHttpTest : public BoardMenuUpdaterTest {
 protected:
  void SetUp() override {
    BoardMenuUpdaterTest::SetUp();
    ASSERT_TRUE(nginx.IsRunning()) << nginx.ErrorLog();
    nginx.WriteFile("bbsmenu.html", Menu("asahi.5ch.io"));
    nginx.Route("menu.test");
    dir.WriteFile("ini/config.ini",
                  "[BBSMenuURL]\r\nHistory1=http://menu.test/bbsmenu.html\r\n\r\n");
    own.Open(dir.Path() + "/ini/config.ini");
  }

  test::NginxFixture nginx;
  AppConfig own;
};

TEST_F(BoardMenuUpdaterHttpTest, SecondUpdateFromTheSameUrlIsConditional) {
  {
    BoardMenuUpdater updater(boardList, favorites, own);
    EXPECT_TRUE(updater.RunUpdate().IsOk());
  }
  EXPECT_EQ(dir.ReadFile("log/board.html"), Menu("asahi.5ch.io"));
  EXPECT_EQ(dir.ReadFile("ini/board.ini"),
            S("[ニュース]\r\nニュース速報+=http://asahi.5ch.io/newsplus/\r\n"
              "地震速報=http://egg.5ch.io/eq/\r\n\r\n"));
  EXPECT_EQ(ConfigFile().ReadString("BBSMenuURL", "Timestamp", ""),
            test::NginxFixture::LastModifiedText(test::NginxFixture::kFixedTime));

  {
    BoardMenuUpdater updater(boardList, favorites, own);
    const MenuUpdateResult result = updater.RunUpdate();
    EXPECT_EQ(result.Code(), MenuUpdateCode::kNotModified);
    EXPECT_EQ(result.Reason(), S("更新されていません。"));
    EXPECT_EQ(result.Fetch(), FetchResult::kNotModified);
  }
  EXPECT_EQ(ConfigFile().ReadString("BBSMenuURL", "Timestamp", ""),
            test::NginxFixture::LastModifiedText(test::NginxFixture::kFixedTime));

  // "再構築する" asks for the whole page again.
  nginx.WriteFile("bbsmenu.html", Menu("ai.5ch.io"));
  BoardMenuUpdater updater(boardList, favorites, own);
  updater.SetRebuild(true);
  EXPECT_TRUE(updater.RunUpdate().IsOk());
  EXPECT_EQ(boardList.BoardUrl(S("ニュース"), S("ニュース速報+")), "http://ai.5ch.io/newsplus/");
}

TEST_F(BoardMenuUpdaterHttpTest, DownloadedPageWithoutBoardsChangesNothingAndFails) {
  const std::string config = dir.ReadFile("ini/config.ini");
  dir.WriteFile("ini/board.ini", "[a]\r\nb=http://c.5ch.io/d/\r\n\r\n");
  dir.WriteFile("log/board.html", "old page");
  nginx.WriteFile("bbsmenu.html", "<HTML><BODY>maintenance</BODY></HTML>");
  BoardCatalog list;
  list.Open(dir.Path() + "/ini/board.ini");
  BoardMenuUpdater updater(list, favorites, own);
  updater.SetUrl("http://menu.test/bbsmenu.html");
  const MenuUpdateResult result = updater.RunUpdate();
  EXPECT_EQ(result.Code(), MenuUpdateCode::kNotAMenu);
  EXPECT_EQ(result.Reason(), S("ボード一覧ではありません（板が見つかりません）。"));
  EXPECT_EQ(dir.ReadFile("ini/board.ini"), "[a]\r\nb=http://c.5ch.io/d/\r\n\r\n");
  EXPECT_EQ(dir.ReadFile("log/board.html"), "old page");
  EXPECT_EQ(dir.ReadFile("ini/config.ini"), config);
}

TEST_F(BoardMenuUpdaterHttpTest, AbortDuringTheDownloadLeavesTheBoardListAlone) {
  BoardMenuUpdater updater(boardList, favorites, own);
  RecordingSink sink;
  sink.abortAt = 1;
  sink.updater = &updater;
  updater.SetStatusSink(&sink);
  EXPECT_EQ(updater.RunUpdate().Code(), MenuUpdateCode::kFetchFailed);
  EXPECT_FALSE(dir.Exists("ini/board.ini"));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(updater.CurrentRunFlag(), BoardMenuUpdater::kIdle);
}

}  // namespace
}  // namespace velkor
