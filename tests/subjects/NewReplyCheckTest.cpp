#include "subjects/NewReplyCheck.h"

#include <gtest/gtest.h>

#include <functional>

#include "app/DataDir.h"
#include "app/UiHooks.h"
#include "base/FileUtil.h"
#include "base/IniDocument.h"
#include "net/ConnectOverrides.h"
#include "net/StatusTexts.h"
#include "support/HttpTestServer.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::HttpTestServer;
using test::S;

// Hooks that run a step of the test whenever the check lets the user interface breathe.
class BreathingHooks final : public UiHooks {
 public:
  BreathingHooks() { SetUiHooks(this); }
  ~BreathingHooks() override { SetUiHooks(nullptr); }
  void ShowMessage(MessageIcon, const std::string&, const std::string&) override {}
  void ShowHtmlPage(const std::string&, const std::string&) override {}
  void SetStatusText(const std::string&) override {}
  void ProcessEvents() override {
    if (onEvents) onEvents();
  }
  std::function<void()> onEvents;
};

const std::string kStamp = " Mon, 07 Dec 2026 10:00:00 GMT";

std::string Answer200(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nLast-Modified: Tue, 08 Dec 2026 10:00:00 GMT\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}
const std::string kNotModified = "HTTP/1.1 304 Not Modified\r\n\r\n";

class NewReplyCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearConnectOverrides();
    server.Route("a.test");
    server.Route("b.test");
  }
  void TearDown() override { ClearConnectOverrides(); }

  // A board folder with a stored list: bbs.ini's time stamp and subject.ini as given.
  void Store(const std::string& host, const std::string& board, const std::string& ini) {
    const std::string dir = "log/" + host + "/" + board + "/";
    data.WriteFile(dir + "bbs.ini", "[subject.txt]\r\nLastModified=" + kStamp + "\r\n\r\n");
    data.WriteFile(dir + "subject.ini", ini);
  }
  std::string IniOf(const std::string& host, const std::string& board) const {
    return ReadWholeFile(LogDir() + "/" + host + "/" + board + "/subject.ini").value_or("");
  }

  test::TempDataDir data;
  BreathingHooks ui;
  HttpTestServer server;
  NewReplyCheck check;
};

// Threads with a log that the list announces more replies for: [1.dat] 10 of 12 stored, listed.
const std::string kOneNew =
    "[1.dat]\r\nNowNo=1\r\nPreNo=1\r\nResCount=12\r\nTitle=A\r\nGotCount=10\r\nUnread=11\r\n\r\n"
    "[2.dat]\r\nNowNo=2\r\nPreNo=2\r\nResCount=5\r\nTitle=read\r\nGotCount=5\r\nUnread=6\r\n\r\n"
    "[3.dat]\r\nNowNo=-1\r\nPreNo=3\r\nResCount=9\r\nTitle=past\r\nGotCount=4\r\n\r\n"
    "[4.dat]\r\nNowNo=3\r\nPreNo=3\r\nResCount=9\r\nTitle=nolog\r\n\r\n";

TEST_F(NewReplyCheckTest, BoardsThatChangeStayAndFailAreAllChecked) {
  Store("a.test", "changed", kOneNew);
  Store("b.test", "same", kOneNew);
  Store("a.test", "broken", kOneNew);
  const std::string sameBefore = IniOf("b.test", "same");
  // The changed list: 1.dat grew to 15, 2.dat to 7 (read before, now new), 5.dat is new without
  // log.
  server.AddConnection(HttpTestServer::Script().ReadRequest().Send(
      Answer200("1.dat<>A (15)\n2.dat<>read (7)\n5.dat<>fresh (1)\n")));
  server.AddConnection(HttpTestServer::Script().ReadRequest().Send(kNotModified));
  server.AddConnection(HttpTestServer::Script().ReadRequest().Send(
      "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n"));
  std::vector<std::pair<std::size_t, std::size_t>> progress;
  CheckOptions options;
  options.progress = [&](std::size_t done, std::size_t total) {
    progress.emplace_back(done, total);
  };

  CheckReport report = check.Run({{"c", "changed", "http://a.test/changed/"},
                                  {"c", "same", "http://b.test/same/"},
                                  {"c", "bad url", "http://a.test/../x/"},
                                  {"c", "broken", "http://a.test/broken/"}},
                                 options);

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u) << "one conditional request per board and nothing more";
  const char* paths[] = {"GET /changed/subject.txt ", "GET /same/subject.txt ",
                         "GET /broken/subject.txt "};
  for (std::size_t i = 0; i < requests.size(); ++i) {
    EXPECT_TRUE(requests[i].bytes.starts_with(paths[i])) << requests[i].bytes;
    EXPECT_NE(requests[i].bytes.find("If-Modified-Since:" + kStamp + "\r\n"), std::string::npos);
  }
  ASSERT_EQ(report.boards.size(), 4u);
  EXPECT_EQ(report.boards[0].state, BoardCheckState::kChanged);
  EXPECT_EQ(report.boards[1].state, BoardCheckState::kUnchanged);
  EXPECT_EQ(report.boards[2].state, BoardCheckState::kFailed);
  EXPECT_FALSE(report.boards[2].reason.empty());
  EXPECT_EQ(report.boards[3].state, BoardCheckState::kFailed);
  EXPECT_EQ(report.FailedBoards(), 2u);
  EXPECT_FALSE(report.stopped);
  EXPECT_EQ(IniOf("b.test", "same"), sameBefore) << "a 304 writes nothing";
  EXPECT_NE(IniOf("a.test", "changed").find("[1.dat]\r\nNowNo=1\r\nPreNo=1\r\nResCount=15\r\n"),
            std::string::npos)
      << "merged into subject.ini as a reload merges";

  struct Expected {
    std::size_t board;
    const char* datName;
    std::int32_t newReplies;
  };
  const Expected expected[] = {{0, "1.dat", 5}, {0, "2.dat", 2}, {1, "1.dat", 2}, {3, "1.dat", 2}};
  ASSERT_EQ(report.threads.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(report.threads[i].board, expected[i].board) << i;
    EXPECT_EQ(report.threads[i].item.datName, expected[i].datName) << i;
    EXPECT_EQ(report.threads[i].newReplies, expected[i].newReplies) << i;
  }
  EXPECT_EQ(report.threads[0].item.title, "A");
  EXPECT_EQ(progress.front(), std::make_pair(std::size_t{0}, std::size_t{4}));
  EXPECT_EQ(progress.back(), std::make_pair(std::size_t{4}, std::size_t{4}));
  EXPECT_EQ(progress.size(), 5u);
}

// While one board's answer is held, the check lets the window run but opens no second connection,
// to the same host or another.
TEST_F(NewReplyCheckTest, NeverTwoRequestsAtOnce) {
  Store("a.test", "one", kOneNew);
  Store("a.test", "two", kOneNew);
  Store("b.test", "three", kOneNew);
  auto gate = std::make_shared<HttpTestServer::Gate>();
  server.AddConnection(HttpTestServer::Script().ReadRequest().Hold(gate).Send(kNotModified));
  server.AddConnection(HttpTestServer::Script().ReadRequest().Send(kNotModified));
  server.AddConnection(HttpTestServer::Script().ReadRequest().Send(kNotModified));
  int breaths = 0;
  int acceptedWhileHeld = 0;
  ui.onEvents = [&] {
    if (++breaths == 10) {
      acceptedWhileHeld = server.AcceptedConnections();
      gate->Open();
    }
  };
  CheckReport report = check.Run({{"c", "one", "http://a.test/one/"},
                                  {"c", "two", "http://a.test/two/"},
                                  {"c", "three", "http://b.test/three/"}},
                                 {});
  EXPECT_GE(breaths, 10);
  EXPECT_EQ(acceptedWhileHeld, 1);
  EXPECT_EQ(server.AcceptedConnections(), 3);
  EXPECT_EQ(report.FailedBoards(), 0u);
}

TEST_F(NewReplyCheckTest, StopEndsTheRunningRequestAndSkipsTheRest) {
  Store("a.test", "one", kOneNew);
  Store("b.test", "two", kOneNew);
  auto gate = std::make_shared<HttpTestServer::Gate>();
  server.AddConnection(HttpTestServer::Script().ReadRequest().Hold(gate).Send(kNotModified));
  server.AddConnection(HttpTestServer::Script().ReadRequest().Send(kNotModified));
  int breathsAfterStop = -1;
  ui.onEvents = [&] {
    if (breathsAfterStop >= 0) {
      ++breathsAfterStop;
    } else if (server.Requests().size() == 1) {
      check.Stop();
      breathsAfterStop = 0;
    }
  };
  CheckReport report =
      check.Run({{"c", "one", "http://a.test/one/"}, {"c", "two", "http://b.test/two/"}}, {});
  gate->Open();
  EXPECT_LE(breathsAfterStop, 1) << "the wait ends at its next slice";
  EXPECT_TRUE(report.stopped);
  EXPECT_EQ(report.boards[0].state, BoardCheckState::kFailed);
  EXPECT_EQ(report.boards[0].reason, net_text::Aborted());
  EXPECT_EQ(report.boards[1].state, BoardCheckState::kNotChecked);
  EXPECT_EQ(server.AcceptedConnections(), 1);
  ASSERT_EQ(report.threads.size(), 1u) << "what the stopped board's stored list knows is shown";
  EXPECT_FALSE(check.Running());
}

TEST_F(NewReplyCheckTest, FetchingCountsTheRepliesAddedAndWritesThroughTheShownList) {
  Store("a.test", "shown", kOneNew);
  Store("b.test", "other", kOneNew);
  server.AddConnection(HttpTestServer::Script().ReadRequest().Send(kNotModified));
  server.AddConnection(HttpTestServer::Script().ReadRequest().Send(kNotModified));
  SubjectList shown;
  ASSERT_TRUE(shown.Bind(LogDir() + "/a.test/shown/subject.ini", "http://a.test/shown/"));
  std::vector<std::string> fetched;
  CheckOptions options;
  options.shownList = [&] { return &shown; };
  options.fetchLog = [&](SubjectList& list, const std::string& datName) {
    fetched.push_back(list.Dir() + datName);
    // The shown board's fetch goes through the shown list; the other board's through its own.
    EXPECT_EQ(&list == &shown, list.Dir() == shown.Dir());
    list.StoreFetched(std::string(11, '\n'), datName, true, "");
    return CheckedFetch{{Update::kOk}, 1};
  };
  CheckReport report = check.Run(
      {{"c", "shown", "http://a.test/shown/"}, {"c", "other", "http://b.test/other/"}}, options);
  ASSERT_EQ(fetched.size(), 2u);
  EXPECT_EQ(fetched[0], LogDir() + "/a.test/shown/1.dat");
  EXPECT_EQ(fetched[1], LogDir() + "/b.test/other/1.dat");
  ASSERT_EQ(report.threads.size(), 2u);
  EXPECT_EQ(report.threads[0].newReplies, 1) << "the replies the fetch added";
  EXPECT_EQ(report.threads[0].item.gotCount, 11) << "the state after the fetch";
  EXPECT_EQ(shown.ReadItem("1.dat").gotCount, 11);
}

}  // namespace
}  // namespace velkor
