#include "post/PostFlow.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>

#include "app/DataDir.h"
#include "base/FileUtil.h"
#include "net/ConnectOverrides.h"
#include "net/HttpSession.h"
#include "post/WritingLog.h"
#include "support/HttpTestServer.h"
#include "support/RecordingUiHooks.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::HttpTestServer;
using test::S;
using Script = HttpTestServer::Script;
using namespace std::chrono_literals;

constexpr const char* kBoardUrl = "http://ex.5ch.io/board/";
constexpr const char* kStoredLog = "a<>b<>c<> one <>t&amp;t\nd<>e<>f<> two <>\n";

std::string Answer(std::string_view head, std::string_view body) {
  return std::string(head) + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
         std::string(body);
}

std::string Page(std::string_view kind, std::string_view title, std::string_view body) {
  return "<html lang=\"ja\">\n<!-- 2ch_X:" + std::string(kind) + " -->\n<head><title>" +
         std::string(title) + "</title></head><body>" + std::string(body) + "</body></html>\n";
}

// The server's answer to the differential fetch after the post: the post as reply 3.
std::string NewReply() {
  return Answer("HTTP/1.1 206 Partial Content",
                "\n" + S("名無しさん<>sage<>2027/01/15(金) 17:00:00.00 ID:Abc<> hello <br> "
                         "world <>\n"));
}

// How the flow ends for each way the server can answer the POST; the POST is sent once, and
// nothing is recorded as posted unless the answer said so.
struct FlowCase {
  const char* name;
  std::function<Script()> post;  // the script of the POST's connection
  PostCode code;
  bool refreshes;      // the thread is fetched again (and holds the post as reply 3)
  int number;          // result.number
  const char* reason;  // part of the reason (UTF-8)
};

void PrintTo(const FlowCase& c, std::ostream* os) {
  *os << c.name;
}

Script Answering(std::string bytes) {
  return Script().ReadRequest().Send(std::move(bytes)).Close();
}

const FlowCase kFlowCases[] = {
    {"PostedWithResnum",
     [] {
       return Answering(Answer("HTTP/1.1 200 OK\r\nx-Resnum: 3",
                               Page("true", S("書きこみました。"), S("書きこみが終わりました。"))));
     },
     PostCode::kOk, true, 3, ""},
    {"PostedWithAWarning",
     [] {
       return Answering(Answer("HTTP/1.1 200 OK", Page("false", S("書きこみました。"),
                                                       S("<b>注意: 連投は控えてください</b>"))));
     },
     PostCode::kWarning, true, 3, "注意: 連投は控えてください"},
    {"Refused",
     [] {
       return Answering(Answer("HTTP/1.1 200 OK", Page("error", S("ＥＲＲＯＲ！"),
                                                       S("<b>ERROR: 本文がありません！</b>"))));
     },
     PostCode::kRefused, false, 0, "ERROR: 本文がありません！"},
    {"Confirmation",
     [] {
       return Answering(Answer(
           "HTTP/1.1 200 OK\r\nSet-Cookie: MonaTicket=t1; path=/; domain=.5ch.io",
           Page("cookie", S("■ 書き込み確認 ■"),
                S("投稿者は承諾します<form method=\"POST\" action=\"../test/bbs.cgi?guid=ON\">"
                  "<input type=\"hidden\" name=\"feature\" value=\"confirmed:x\"></form>"))));
     },
     PostCode::kConfirm, false, 0, "投稿者は承諾します"},
    {"ConfirmationSendingElsewhere",
     [] {
       return Answering(
           Answer("HTTP/1.1 200 OK",
                  Page("cookie", S("■ 書き込み確認 ■"),
                       "<form method=\"POST\" action=\"http://evil.test/test/bbs.cgi\"></form>")));
     },
     PostCode::kMayHaveBeenPosted, true, 3, "送り返すフォームがない"},
    {"GarbageAnswer", [] { return Answering("\x01\x02garbage\r\n\r\nzz"); },
     PostCode::kMayHaveBeenPosted, true, 3, "書き込めたかどうか分からない応答です (HTTP 0)"},
    {"ServerError",
     [] { return Answering(Answer("HTTP/1.1 500 Internal Server Error", "Internal error")); },
     PostCode::kMayHaveBeenPosted, true, 3, "(HTTP 500)\nInternal error"},
    {"RedirectToHttps",
     [] {
       return Answering(
           Answer("HTTP/1.1 302 Found\r\nLocation: https://ex.5ch.io/test/bbs.cgi", ""));
     },
     PostCode::kMayHaveBeenPosted, true, 3, "(HTTP 302)"},
    {"CutAfterTheRequest", [] { return Script().ReadRequest().Close(); },
     PostCode::kMayHaveBeenPosted, true, 3, "エラー:サーバからの受信失敗"},
    {"SilentAfterTheRequest",
     [] { return Script().ReadRequest().Hold(std::make_shared<HttpTestServer::Gate>()); },
     PostCode::kMayHaveBeenPosted, true, 3,
     "エラー:サーバからの応答を最後まで受け取れませんでした"},
};

const FlowCase& CaseNamed(std::string_view name) {
  for (const FlowCase& c : kFlowCases) {
    if (c.name == name) return c;
  }
  return kFlowCases[0];
}

class PostFlowTest : public testing::Test {
 protected:
  PostFlowTest() {
    server.Route("ex.5ch.io");
    data.WriteFile("log/ex.5ch.io/board/123.dat", kStoredLog);
    data.WriteFile("log/ex.5ch.io/board/subject.ini",
                   "[123.dat]\r\nNowNo=1\r\nResCount=2\r\nGotCount=2\r\nUnread=3\r\n"
                   "DatSize=43\r\n\r\n");
    draft.boardUrl = kBoardUrl;
    draft.key = "123";
    draft.mail = "sage";
    draft.message = "hello\nworld";
  }
  ~PostFlowTest() override {
    ClearConnectOverrides();
    HttpSession::SetWaitLimitForTesting(kWaitLimit);
  }

  void ServeSetting() {
    server.AddConnection(Answering(
        Answer("HTTP/1.1 200 OK\r\nLast-Modified: Tue, 02 Jan 2024 03:04:05 GMT",
               S("BBS_NONAME_NAME=名無しさん\nBBS_MESSAGE_COUNT=2048\nBBS_LINE_NUMBER=16\n"))));
  }
  int Posts() const {
    int posts = 0;
    for (const auto& request : server.Requests()) posts += request.bytes.starts_with("POST ");
    return posts;
  }
  bool Recorded() const {
    return data.Exists("log/ex.5ch.io/board/123.own") || FileExists(WritingLogPath());
  }

  test::TempDataDir data;
  test::RecordingUiHooks ui;
  HttpTestServer server;
  PostDraft draft;
};

class PostFlowAnswerTest : public PostFlowTest, public testing::WithParamInterface<FlowCase> {};

TEST_P(PostFlowAnswerTest, SentOnceAndRecordedOnlyWhenPosted) {
  const FlowCase& c = GetParam();
  HttpSession::SetWaitLimitForTesting(100ms);
  ServeSetting();
  server.AddConnection(c.post());
  if (c.refreshes) server.AddConnection(Answering(NewReply()));
  PostFlow flow(draft);
  const PostResult result = flow.Send();
  EXPECT_EQ(result.Code(), c.code) << result.Reason();
  EXPECT_NE(result.Reason().find(S(c.reason)), std::string::npos) << result.Reason();
  EXPECT_EQ(result.number, c.number);
  EXPECT_EQ(result.datName, "123.dat");
  EXPECT_EQ(Posts(), 1);
  EXPECT_EQ(server.AcceptedConnections(), c.refreshes ? 3 : 2);
  EXPECT_EQ(Recorded(), result.Posted());
  EXPECT_EQ(data.ReadFile("log/ex.5ch.io/board/123.dat"),
            kStoredLog +
                std::string(c.refreshes ? NewReply().substr(NewReply().find("\r\n\r\n") + 5) : ""));
  if (result.Posted()) {
    EXPECT_EQ(data.ReadFile("log/ex.5ch.io/board/123.own"), "3\r\n");
    // The list does not know the thread's title: the log's first line gives it.
    EXPECT_NE(ReadWholeFile(WritingLogPath()).value_or("").find("Subject : t&t\r\n"),
              std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, PostFlowAnswerTest, testing::ValuesIn(kFlowCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The request: the form from the draft to the board's bbs.cgi, with Referer and Origin.
TEST_F(PostFlowTest, PostsTheFormToTheBoardsServer) {
  ServeSetting();
  server.AddConnection(
      Answering(Answer("HTTP/1.1 200 OK",
                       Page("error", S("ＥＲＲＯＲ！"), S("ERROR: 時刻情報が正しくありません")))));
  draft.name = S("名前");
  EXPECT_EQ(PostFlow(draft).Send().Code(), PostCode::kRefused);
  ASSERT_EQ(server.Requests().size(), 2u);
  const std::string head = server.Requests()[1].bytes;
  EXPECT_TRUE(head.starts_with("POST /test/bbs.cgi HTTP/1.1\r\nHost: ex.5ch.io\r\n")) << head;
  EXPECT_NE(head.find("\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                      "Referer: http://ex.5ch.io/test/read.cgi/board/123/\r\n"
                      "Origin: http://ex.5ch.io\r\n"),
            std::string::npos)
      << head;
  const std::string body = server.Requests()[1].body;
  EXPECT_TRUE(body.starts_with("bbs=board&key=123&time=")) << body;
  EXPECT_TRUE(
      body.ends_with("&FROM=%96%BC%91O&mail=sage&MESSAGE=hello%0D%0Aworld&submit=%8F%91%82%"
                     "AB%8D%9E%82%DE"))
      << body;
}

// A confirmation: nothing more is sent until Accept, which sends the page's form back once, with
// the cookie it set, to its action (query kept); then the post goes on as usual.
TEST_F(PostFlowTest, ConfirmationGoesBackOnlyWhenAccepted) {
  ServeSetting();
  server.AddConnection(CaseNamed("Confirmation").post());
  server.AddConnection(
      Answering(Answer("HTTP/1.1 200 OK\r\nx-Resnum: 3", Page("true", S("書きこみました。"), ""))));
  server.AddConnection(Answering(NewReply()));
  PostFlow flow(draft);
  EXPECT_EQ(flow.Accept().Code(), PostCode::kLocalRefused) << "no confirmation yet";
  EXPECT_TRUE(server.Requests().empty());
  PostResult result = flow.Send();
  ASSERT_EQ(result.Code(), PostCode::kConfirm) << result.Reason();
  EXPECT_EQ(result.form.action, "http://ex.5ch.io/test/bbs.cgi?guid=ON");
  EXPECT_EQ(Posts(), 1);
  EXPECT_EQ(flow.Send().Code(), PostCode::kLocalRefused) << "a flow posts once";
  EXPECT_EQ(Posts(), 1);
  result = flow.Accept();
  EXPECT_EQ(result.Code(), PostCode::kOk) << result.Reason();
  EXPECT_EQ(result.number, 3);
  ASSERT_EQ(Posts(), 2);
  const auto accepted = server.Requests()[2];
  EXPECT_TRUE(accepted.bytes.starts_with("POST /test/bbs.cgi?guid=ON HTTP/1.1\r\n"));
  EXPECT_NE(accepted.bytes.find("\r\nCookie: MonaTicket=t1\r\n"), std::string::npos);
  EXPECT_EQ(accepted.body, "feature=confirmed%3Ax");
  EXPECT_EQ(flow.Accept().Code(), PostCode::kLocalRefused) << "one acceptance per confirmation";
  EXPECT_EQ(Posts(), 2);
  EXPECT_EQ(data.ReadFile("ini/cookies.txt").find("MonaTicket"), std::string::npos)
      << "a cookie without expiry lives in memory only";
}

// The local checks refuse before the post is sent; SETTING.TXT is asked for once per board and
// run.
TEST_F(PostFlowTest, LocalChecksSendNothing) {
  ServeSetting();
  draft.message = std::string(2049, 'x');
  PostResult result = PostFlow(draft).Send();
  EXPECT_EQ(result.Code(), PostCode::kLocalRefused);
  EXPECT_EQ(result.Reason(), S("本文が長すぎます (2049 バイト / 上限 2048)"));
  draft.message = " \n ";
  result = PostFlow(draft).Send();
  EXPECT_EQ(result.Code(), PostCode::kLocalRefused);
  EXPECT_EQ(result.Reason(), S("本文がありません"));
  EXPECT_EQ(server.AcceptedConnections(), 1);
  EXPECT_EQ(Posts(), 0);
  EXPECT_EQ(data.ReadFile("log/ex.5ch.io/board/SETTING.TXT").substr(0, 26),
            S("BBS_NONAME_NAME=名無しさん"));
}

}  // namespace
}  // namespace velkor
