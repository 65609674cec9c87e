#include "net/CacheServerUrl.h"

#include <gtest/gtest.h>

#include "NetTestHelpers.h"
#include "app/Settings.h"
#include "net/ConnectOverrides.h"
#include "support/HttpTestServer.h"
#include "support/RecordingUiHooks.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::HttpAnswer;
using test::HttpTestServer;
using test::S;
using Script = HttpTestServer::Script;

const std::string kIndex =
    "<html><body><A HREF=\"/news/\">news/</A><br>"
    "<a href=\"/Tech/\">Tech/</a> <a href=\"/cars\">cars</a> <b>bold/</b> "
    "<abbr title=x>abbr/</abbr><a href=\"/last/\">last/</a></body></html>";

TEST(ParseCacheServerBoardListTest, TakesLinkTextsEndingInASlash) {
  EXPECT_EQ(ParseCacheServerBoardList(kIndex),
            (std::vector<std::string>{"news/", "Tech/", "last/"}));
}

TEST(ParseCacheServerBoardListTest, StopsWhereATagIsUnfinished) {
  EXPECT_EQ(ParseCacheServerBoardList("<a href=x>one/</a><a href=y>two/"),
            std::vector<std::string>{"one/"});
  EXPECT_TRUE(ParseCacheServerBoardList("<a href=x").empty());
}

class CacheServerUrlTest : public testing::Test {
 protected:
  CacheServerUrlTest() {
    ResetCacheServerBoardListForTesting();
    server.Route("cache.test");
    Settings& settings = AppSettings();
    settings.cacheServerEnable = true;
    settings.cacheServerMatch = ".board.test";
    settings.cacheServerHost = "cache.test";
  }
  ~CacheServerUrlTest() override {
    ResetCacheServerBoardListForTesting();
    ClearConnectOverrides();
    AppSettings() = Settings();
  }

  void ServeIndex() {
    server.AddConnection(Script().ReadRequest().Send(HttpAnswer(
        "HTTP/1.1 200 OK", {"Content-Length: " + std::to_string(kIndex.size())}, kIndex)));
  }

  test::TempDataDir dataDir;
  test::RecordingUiHooks ui;
  HttpTestServer server;
};

TEST_F(CacheServerUrlTest, DisabledLeavesEveryUrlAndDownloadsNothing) {
  AppSettings().cacheServerEnable = false;
  EXPECT_TRUE(PrepareCacheServer("http://news.board.test/news/").IsOk());
  EXPECT_EQ(CacheServerUrl("http://news.board.test/news/"), "http://news.board.test/news/");
  EXPECT_EQ(server.AcceptedConnections(), 0);
}

TEST_F(CacheServerUrlTest, UrlOutsideTheMatchDownloadsNothing) {
  EXPECT_TRUE(PrepareCacheServer("http://elsewhere.test/news/").IsOk());
  EXPECT_EQ(CacheServerUrl("http://elsewhere.test/news/"), "http://elsewhere.test/news/");
  EXPECT_EQ(server.AcceptedConnections(), 0);
}

TEST_F(CacheServerUrlTest, CarriedBoardsAreRedirectedWithOneDownloadPerRun) {
  ServeIndex();
  EXPECT_EQ(CacheServerUrl("http://news.board.test/news/"), "http://news.board.test/news/")
      << "no board list at hand yet";
  ASSERT_TRUE(PrepareCacheServer("http://news.board.test/news/").IsOk());
  EXPECT_TRUE(PrepareCacheServer("http://x.board.test/tech/").IsOk());
  EXPECT_EQ(CacheServerUrl("http://news.board.test/news/"), "http://cache.test/news/");
  EXPECT_EQ(CacheServerUrl("http://x.board.test/tech/"), "http://cache.test/tech/");
  EXPECT_EQ(CacheServerUrl("http://x.board.test/cars/"), "http://x.board.test/cars/");
  EXPECT_EQ(CacheServerUrl("http://x.board.test/noslash"), "http://x.board.test/noslash");
  EXPECT_EQ(CacheServerUrl("HTTPS://x.board.test/news/"), "https://cache.test/news/");
  EXPECT_EQ(server.AcceptedConnections(), 1);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].bytes.rfind("GET / HTTP/1.1\r\nHost: cache.test\r\n", 0), 0u);
  EXPECT_EQ(ui.statusTexts.front(), S("キャッシュサーバから板一覧を取得..."));
  EXPECT_EQ(ui.statusTexts.back(), S("キャッシュ板一覧を取得しました."));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CacheServerUrlTest, FailedDownloadWarnsAndIsTriedAgain) {
  server.AddConnection(
      Script().ReadRequest().Send(HttpAnswer("HTTP/1.1 404 Not Found", {})).Close());
  ServeIndex();
  Outcome prepared = PrepareCacheServer("http://news.board.test/news/");
  EXPECT_FALSE(prepared.IsOk());
  EXPECT_EQ(prepared.Reason(),
            S("キャッシュサーバから板の一覧をダウンロードできませんでした。\n"
              "このまま閲覧を続けた場合、読み書きが規制される可能性があります。"));
  EXPECT_TRUE(ui.messages.empty()) << "the caller shows the warning";
  EXPECT_EQ(CacheServerUrl("http://news.board.test/news/"), "http://news.board.test/news/");
  EXPECT_TRUE(PrepareCacheServer("http://news.board.test/news/").IsOk());
  EXPECT_EQ(CacheServerUrl("http://news.board.test/news/"), "http://cache.test/news/");
  EXPECT_EQ(server.AcceptedConnections(), 2);
}

}  // namespace
}  // namespace velkor
