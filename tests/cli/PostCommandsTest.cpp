// velkor-cli post, new-thread and own against the offline demo network, and post against a server
// that cuts the connection after the request.

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <sstream>

#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "support/CliRunner.h"
#include "support/DemoServerProcess.h"
#include "support/HttpTestServer.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::CliResult;
using test::HttpTestServer;
using test::S;
using Script = HttpTestServer::Script;

constexpr char kBoardDir[] = "log/hayabusa.5ch.io/cook/";

class PostCommandsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server = new test::DemoServerProcess({"--post-interval", "0"}); }
  static void TearDownTestSuite() {
    delete server;
    server = nullptr;
  }

  void SetUp() override {
    ASSERT_FALSE(server->connectTo.empty());
    ASSERT_EQ(Run({"menu-update", server->menuUrl}).exitCode, 0);
    ASSERT_EQ(Run({"subscribe", "趣味", "料理"}).exitCode, 0);
    ASSERT_EQ(Run({"refresh", "趣味", "料理"}).exitCode, 0);
    // An open thread with room for replies, and a full one.
    std::istringstream rows(Run({"threads", "趣味", "料理", "--show", "1"}).out);
    for (std::string row; std::getline(rows, row);) {
      std::vector<std::string> cells;
      std::istringstream split(row);
      for (std::string cell; std::getline(split, cell, '\t');) cells.push_back(cell);
      const int replies = std::stoi(cells[3]);
      const std::string key = cells[8].substr(0, cells[8].size() - 4);
      if (openKey.empty() && replies < 900) openKey = key;
      if (fullKey.empty() && replies >= 1000) fullKey = key;
    }
    ASSERT_FALSE(openKey.empty());
    ASSERT_FALSE(fullKey.empty());
    ASSERT_EQ(Run({"fetch", "趣味", "料理", openKey}).exitCode, 0);
  }

  CliResult Run(std::vector<std::string> args) {
    std::vector<std::string> all;
    for (const std::string& item : server->ConnectItems()) {
      all.insert(all.end(), {"--connect-to", item});
    }
    all.insert(all.end(), args.begin(), args.end());
    return test::RunCli(data, all);
  }
  // The thread's log line of reply `n` (1-based), CP932.
  std::string Reply(const std::string& key, int n) const {
    std::istringstream log(data.ReadFile(std::string(kBoardDir) + key + ".dat"));
    std::string line;
    for (int i = 0; i < n && std::getline(log, line);) ++i;
    return line;
  }

  static test::DemoServerProcess* server;
  test::TempDataDir data;
  std::string openKey;
  std::string fullKey;
};

test::DemoServerProcess* PostCommandsTest::server = nullptr;

// Without --accept the confirmation is shown and nothing more is sent; its cookies are kept, so
// the next run posts at once. The new reply is found, recorded as own, and written to the log.
TEST_F(PostCommandsTest, ConfirmationDeclinedThenTheCookieCarriesTheNextRun) {
  CliResult asked = Run({"post", "趣味", "料理", openKey, "--message", "一回目"});
  EXPECT_EQ(asked.exitCode, 3) << asked.err;
  EXPECT_EQ(asked.out, "confirm\n");
  EXPECT_NE(asked.err.find("書きこみ＆クッキー確認"), std::string::npos) << asked.err;
  EXPECT_FALSE(data.Exists(std::string(kBoardDir) + openKey + ".own"));
  EXPECT_FALSE(data.Exists("log/kakikomi.txt"));
  EXPECT_NE(data.ReadFile("ini/cookies.txt").find("\tMonaTicket\t"), std::string::npos);

  const std::string replies = std::to_string(
      SplitLines(data.ReadFile(std::string(kBoardDir) + openKey + ".dat")).size() + 1);
  CliResult posted = Run({"post", "趣味", "料理", openKey, "--name", "テスター#key", "--mail",
                          "sage", "--message", "二回目 <b>\n😀"});
  ASSERT_EQ(posted.exitCode, 0) << posted.err;
  EXPECT_EQ(posted.out, "posted " + replies + "\n");
  EXPECT_NE(Reply(openKey, std::stoi(replies)).find(S("<>sage<>")), std::string::npos);
  EXPECT_NE(Reply(openKey, std::stoi(replies)).find(S(" 二回目 &lt;b&gt; <br> &#128512; <>")),
            std::string::npos)
      << Reply(openKey, std::stoi(replies));
  EXPECT_EQ(data.ReadFile(std::string(kBoardDir) + openKey + ".own"), replies + "\r\n");
  const std::string written = data.ReadFile("log/kakikomi.txt");
  EXPECT_NE(
      written.find(S("FROM : テスター#key\r\nMAIL : sage\r\n\r\n二回目 <b>\r\n&#128512;\r\n")),
      std::string::npos)
      << written;
  EXPECT_NE(written.find("URL : http://hayabusa.5ch.io/test/read.cgi/cook/" + openKey + "/\r\n"),
            std::string::npos);

  // An answer to it shows beside it; marks by hand change the list.
  CliResult answered = Run({"post", "趣味", "料理", openKey, "--message", ">>" + replies});
  ASSERT_EQ(answered.exitCode, 0) << answered.err;
  const std::string answer = answered.out.substr(7, answered.out.size() - 8);
  EXPECT_EQ(Run({"own", "趣味", "料理", openKey}).out,
            replies + "\t" + answer + "\n" + answer + "\t\n");
  ASSERT_EQ(Run({"own", "趣味", "料理", openKey, "--unmark", answer}).exitCode, 0);
  ASSERT_EQ(Run({"own", "趣味", "料理", openKey, "--mark", "1"}).exitCode, 0);
  EXPECT_EQ(data.ReadFile(std::string(kBoardDir) + openKey + ".own"), "1\r\n" + replies + "\r\n");
}

// With --accept the confirmation's form goes back in the same run and the post goes through; a new
// thread is found in the refreshed list by its title.
TEST_F(PostCommandsTest, AcceptedConfirmationAndANewThread) {
  CliResult posted = Run({"new-thread", "趣味", "料理", "--subject", "新しい <スレ>", "--message",
                          "一番乗り", "--accept"});
  ASSERT_EQ(posted.exitCode, 0) << posted.err;
  ASSERT_TRUE(posted.out.starts_with("posted ")) << posted.out;
  const std::string key = posted.out.substr(7, posted.out.size() - 8);
  EXPECT_NE(Run({"threads", "趣味", "料理"}).out.find("\t新しい <スレ>\t1\t1\t"),
            std::string::npos);
  EXPECT_EQ(Run({"own", "趣味", "料理", key}).out, "1\t\n");
  EXPECT_NE(
      data.ReadFile("log/kakikomi.txt")
          .find(S("Subject : 新しい <スレ>\r\nURL : http://hayabusa.5ch.io/test/read.cgi/cook/") +
                key + "/\r\n"),
      std::string::npos);
}

// Each refusal: "error", the reason on stderr, exit 1, nothing recorded; the local checks send
// nothing to bbs.cgi.
enum class Thread { kOpen, kFull, kMissing };

struct ErrorCase {
  const char* name;
  std::vector<std::string> options;  // after post CATEGORY NAME KEY
  Thread thread;
  const char* reason;
  bool sent;  // the POST was made
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
  *os << c.name;
}

class PostErrorTest : public PostCommandsTest, public testing::WithParamInterface<ErrorCase> {};

TEST_P(PostErrorTest, RefusedWithTheReason) {
  const ErrorCase& c = GetParam();
  data.WriteFile("bad.txt", "caf\xe9");
  const std::string key = c.thread == Thread::kOpen   ? openKey
                          : c.thread == Thread::kFull ? fullKey
                                                      : "1234567890";
  std::vector<std::string> args = {"post", "趣味", "料理", key};
  for (const std::string& option : c.options) {
    args.push_back(option == "BAD" ? data.Path() + "/bad.txt" : option);
  }
  CliResult refused = Run(args);
  EXPECT_EQ(refused.exitCode, 1) << refused.err;
  EXPECT_EQ(refused.out, "error\n");
  EXPECT_NE(refused.err.find(c.reason), std::string::npos) << refused.err;
  EXPECT_EQ(refused.err.find("/test/bbs.cgi") != std::string::npos, c.sent) << refused.err;
  EXPECT_FALSE(data.Exists("log/kakikomi.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, PostErrorTest,
    testing::Values(
        ErrorCase{"EmptyMessage", {"--message", " \n "}, Thread::kOpen, "本文がありません", false},
        ErrorCase{"MessageTooLong",
                  {"--message", std::string(1025, 'x')},
                  Thread::kOpen,
                  "本文が長すぎます (1025 バイト / 上限 1024)",
                  false},
        ErrorCase{"TooManyLines",
                  {"--message", std::string(32, '\n') + "x"},
                  Thread::kOpen,
                  "本文の行が多すぎます (33 行 / 上限 32)",
                  false},
        ErrorCase{
            "NotUtf8", {"--message-file", "BAD"}, Thread::kOpen, "UTF-8ではありません", false},
        ErrorCase{"FullThread",
                  {"--message", "x"},
                  Thread::kFull,
                  "ERROR: このスレッドは1000を超えました。",
                  true},
        ErrorCase{"ThreadNotListed",
                  {"--message", "x", "--mail", "sage"},
                  Thread::kMissing,
                  "ERROR: 該当するスレッドは存在しません。",
                  true}),
    [](const auto& info) { return std::string(info.param.name); });

// A connection cut after the request: "unknown" (exit 4), the request made once, the thread asked
// for again, the message file untouched, nothing recorded.
TEST(PostCommandsUnknownTest, ACutConnectionMayHaveBeenPosted) {
  test::TempDataDir data;
  data.WriteFile("ini/subscrib.ini", S("[趣味]\r\n料理=http://ex.5ch.io/board/\r\n\r\n"));
  data.WriteFile("log/ex.5ch.io/board/123.dat", "a<><>d<> one <>title\n");
  data.WriteFile("message.txt", "もう一度は送らない\n");
  HttpTestServer server;
  server.AddConnection(Script().ReadRequest().Send("HTTP/1.1 404 Not Found\r\n\r\n").Close());
  server.AddConnection(Script().ReadRequest().Close());
  server.AddConnection(Script().ReadRequest().Send("HTTP/1.1 304 Not Modified\r\n\r\n").Close());
  CliResult result = test::RunCli(
      data, {"--connect-to", "ex.5ch.io=127.0.0.1:" + std::to_string(server.Port()), "post", "趣味",
             "料理", "123", "--message-file", data.Path() + "/message.txt"});
  EXPECT_EQ(result.exitCode, 4) << result.err;
  EXPECT_EQ(result.out, "unknown\n");
  EXPECT_NE(result.err.find("エラー:サーバからの受信失敗"), std::string::npos) << result.err;
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_TRUE(requests[1].bytes.starts_with("POST /test/bbs.cgi "));
  EXPECT_NE(requests[1].body.find("MESSAGE=%82%E0%82%A4"), std::string::npos);
  EXPECT_TRUE(requests[2].bytes.starts_with("GET /board/dat/123.dat "));
  EXPECT_EQ(data.ReadFile("message.txt"), "もう一度は送らない\n");
  EXPECT_FALSE(data.Exists("log/kakikomi.txt"));
  EXPECT_FALSE(data.Exists("log/ex.5ch.io/board/123.own"));
}

}  // namespace
}  // namespace velkor
