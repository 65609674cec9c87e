#include <gtest/gtest.h>

#include <filesystem>

#include "app/Settings.h"
#include "base/FileUtil.h"
#include "base/IniDocument.h"
#include "net/ConnectOverrides.h"
#include "net/FetchContext.h"
#include "subjects/BoardDir.h"
#include "subjects/SubjectList.h"
#include "support/HttpTestServer.h"
#include "support/NginxFixture.h"
#include "support/RecordingUiHooks.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::NginxFixture;
using test::S;

// Not a service host: with no favourite naming the folder, its board URL is rebuilt as http.
constexpr char kHost[] = "news.example.net";
constexpr char kBoardUrl[] = "http://news.example.net/board/";

class RefreshTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearConnectOverrides();
    ASSERT_TRUE(list.Bind(SubjectIniPathOf(kBoardUrl).value()));
  }
  void TearDown() override { ClearConnectOverrides(); }
  std::string File(const char* name) const {
    return ReadWholeFile(list.Dir() + name).value_or("<missing>");
  }

  test::TempDataDir data;
  test::RecordingUiHooks ui;
  SubjectList list;
};

TEST_F(RefreshTest, MergesANewListAndAnswersNotModifiedAfterwards) {
  NginxFixture nginx;
  ASSERT_TRUE(nginx.IsRunning()) << nginx.ErrorLog();
  nginx.Route(kHost);
  std::string subject = S("111.dat<>【実況】テスト&amp;確認 (12)\n222.dat<>雑談 (3)\n");
  nginx.WriteFile("board/subject.txt", subject);

  ASSERT_EQ(list.Refresh().Code(), Update::kOk);
  EXPECT_EQ(File("subject.txt"), subject);
  EXPECT_EQ(File("bbs.ini"), "[subject.txt]\r\nLastModified=Tue, 02 Jan 2024 03:04:05 GMT\r\n\r\n");
  EXPECT_EQ(File("subject.ini"),
            S("[111.dat]\r\nPreNo=0\r\nNowNo=1\r\nResCount=12\r\nTitle=【実況】テスト&確認\r\n\r\n"
              "[222.dat]\r\nPreNo=0\r\nNowNo=2\r\nResCount=3\r\nTitle=雑談\r\n\r\n"));
  EXPECT_EQ(list.RunningFetch(), nullptr);

  std::string ini = File("subject.ini");
  EXPECT_EQ(list.Refresh().Code(), Update::kUnchanged) << "not modified";
  EXPECT_EQ(File("subject.ini"), ini);

  nginx.WriteFile("board/subject.txt", S("222.dat<>雑談 (4)\n"), NginxFixture::kFixedTime + 60);
  ASSERT_EQ(list.Refresh().Code(), Update::kOk);
  EXPECT_EQ(list.Ini()->ReadInteger("222.dat", "NowNo", 0), 1);
  EXPECT_EQ(list.Ini()->ReadInteger("222.dat", "PreNo", 0), 2);
  EXPECT_FALSE(list.Ini()->SectionExists("111.dat")) << "fell off without a log";
}

TEST_F(RefreshTest, AsksForGzipAsConfiguredAndSendsTheStoredTimeStamp) {
  test::HttpTestServer server;
  server.Route(kHost);
  ASSERT_TRUE(ReplaceFile(list.Dir() + "bbs.ini",
                          "[subject.txt]\r\nLastModified=Mon, 07 Dec 2026 00:00:00 GMT\r\n\r\n"));
  for (int i = 0; i < 2; ++i) {
    server.AddConnection(test::HttpTestServer::Script().ReadRequest().Send(
        "HTTP/1.1 304 Not Modified\r\nConnection: close\r\n\r\n"));
  }
  Settings saved = AppSettings();
  AppSettings().subjectGzip = true;
  EXPECT_FALSE(list.Refresh().IsOk());
  AppSettings().subjectGzip = false;
  EXPECT_FALSE(list.Refresh().IsOk());
  AppSettings() = saved;
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].bytes.rfind("GET /board/subject.txt HTTP/1.1\r\n", 0), 0u);
  EXPECT_NE(requests[0].bytes.find("If-Modified-Since:Mon, 07 Dec 2026 00:00:00 GMT\r\n"),
            std::string::npos);
  EXPECT_NE(requests[0].bytes.find("Accept-Encoding: gzip\r\n"), std::string::npos);
  EXPECT_EQ(requests[1].bytes.find("Accept-Encoding"), std::string::npos);
  EXPECT_FALSE(FileExists(list.Dir() + "subject.txt"));
}

struct UnmergedCase {
  const char* name;
  const char* response;
  bool savesSubjectTxt;
};

class RefreshUnmergedTest : public RefreshTest,
                            public ::testing::WithParamInterface<UnmergedCase> {};

TEST_P(RefreshUnmergedTest, LeavesTheStateAlone) {
  std::string ini = "[9.dat]\r\nNowNo=1\r\nPreNo=0\r\nResCount=1\r\nTitle=x\r\n\r\n";
  ASSERT_TRUE(ReplaceFile(list.Dir() + "subject.ini", ini));
  ASSERT_TRUE(ReplaceFile(list.Dir() + "bbs.ini", "[subject.txt]\r\nLastModified=old\r\n\r\n"));
  ASSERT_TRUE(ReplaceFile(list.Dir() + "subject.txt", "9.dat<>x (1)\n"));
  test::HttpTestServer server;
  server.Route(kHost);
  server.AddConnection(
      test::HttpTestServer::Script().ReadRequest().Send(GetParam().response).Close());
  UpdateResult refreshed = list.Refresh();
  EXPECT_EQ(refreshed.Code(), Update::kFailed);
  EXPECT_FALSE(refreshed.Reason().empty());
  EXPECT_EQ(File("subject.ini"), ini);
  EXPECT_EQ(File("bbs.ini"), "[subject.txt]\r\nLastModified=old\r\n\r\n");
  EXPECT_EQ(File("subject.txt") == "9.dat<>x (1)\n", !GetParam().savesSubjectTxt);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, RefreshUnmergedTest,
    ::testing::Values(
        UnmergedCase{"NotADigit", "HTTP/1.1 200 OK\r\nContent-Length: 13\r\n\r\n<html>busy</>",
                     true},
        UnmergedCase{"EmptyBody", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", false},
        UnmergedCase{"ServerError", "HTTP/1.1 503 Busy\r\nContent-Length: 4\r\n\r\n1.da", false},
        UnmergedCase{"Moved", "HTTP/1.1 302 Found\r\nLocation: http://x/\r\n\r\n", false},
        UnmergedCase{"CutShort", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n1.dat<>a (1)\n",
                     false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RefreshTest, AStateThatCannotBeWrittenIsAFailureAndKeepsTheTimeStamp) {
  ASSERT_TRUE(ReplaceFile(list.Dir() + "bbs.ini", "[subject.txt]\r\nLastModified=old\r\n\r\n"));
  // A folder where subject.ini belongs: every write of the state fails, as on a full disk.
  ASSERT_TRUE(std::filesystem::create_directory(list.Dir() + "subject.ini"));
  test::HttpTestServer server;
  server.Route(kHost);
  server.AddConnection(test::HttpTestServer::Script().ReadRequest().Send(
      "HTTP/1.1 200 OK\r\nLast-Modified: new\r\nContent-Length: 13\r\n\r\n1.dat<>a (1)\n"));
  UpdateResult refreshed = list.Refresh();
  EXPECT_EQ(refreshed.Code(), Update::kNotWritten);
  EXPECT_EQ(refreshed.Reason(), S("エラー:保存できません: ") + list.Dir() + "subject.ini");
  EXPECT_EQ(File("bbs.ini"), "[subject.txt]\r\nLastModified=old\r\n\r\n");
}

// A thread-log download of the board shown before keeps running; the next board's list loads.
TEST_F(RefreshTest, AnotherBoardsRunningDownloadIsNotStopped) {
  FetchContext threadDownload;
  list.SetRunningFetch(&threadDownload);
  ASSERT_TRUE(list.Bind(SubjectIniPathOf("http://news.example.net/other/").value()));
  NginxFixture nginx;
  ASSERT_TRUE(nginx.IsRunning()) << nginx.ErrorLog();
  nginx.Route(kHost);
  nginx.WriteFile("other/subject.txt", S("333.dat<>別の板 (5)\n"));
  EXPECT_EQ(list.Refresh().Code(), Update::kOk);
  EXPECT_EQ(threadDownload.abortRequested, 0);
  EXPECT_EQ(list.Ini()->ReadInteger("333.dat", "ResCount", 0), 5);
}

TEST_F(RefreshTest, UnboundListDoesNothing) {
  list.Release();
  EXPECT_FALSE(list.Refresh().IsOk());
}

}  // namespace
}  // namespace velkor
