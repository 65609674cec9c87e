#include "net/HttpSession.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <ostream>
#include <thread>

#include <filesystem>

#include "NetTestHelpers.h"
#include "app/DataDir.h"
#include "app/Settings.h"
#include "app/UiHooks.h"
#include "base/Clock.h"
#include "base/FileUtil.h"
#include "net/ConnectOverrides.h"
#include "net/Fetch.h"
#include "net/FetchContext.h"
#include "support/HttpTestServer.h"
#include "support/RecordingUiHooks.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::HttpAnswer;
using test::HttpTestServer;
using test::S;
using Script = HttpTestServer::Script;
using namespace std::chrono_literals;

const std::string kOk5 = HttpAnswer("HTTP/1.1 200 OK", {"Content-Length: 5"}, "hello");

class HttpSessionTest : public testing::Test {
 protected:
  HttpSessionTest() {
    server.Route("example.test");
    server.Route("other.test");
    recorder.Install(session);
  }
  ~HttpSessionTest() override {
    ClearConnectOverrides();
    HttpSession::SetWaitLimitForTesting(kWaitLimit);
    AppSettings().debugLog = false;
  }

  FetchResult Get(const std::string& url, std::string& out) {
    std::string lastModified;
    return FetchFull(session, url, out, lastModified, false).Code();
  }

  test::TempDataDir dataDir;
  test::RecordingUiHooks ui;
  HttpTestServer server;
  test::StatusRecorder recorder;
  HttpSession session;
};

struct FieldCase {
  const char* name;
  const char* header;
  int status;
  std::int64_t length;
  const char* lastModified;
  bool gzip;
};

void PrintTo(const FieldCase& c, std::ostream* os) {
  *os << c.name;
}

const FieldCase kFieldCases[] = {
    {"Ordinary",
     "HTTP/1.1 200 OK\r\nContent-Length: 42\r\nLast-Modified: Tue, 02 Jan 2024 03:04:05 "
     "GMT\r\nContent-Encoding: gzip",
     200, 42, " Tue, 02 Jan 2024 03:04:05 GMT", true},
    {"LowerCaseFieldsAreNotRecognised",
     "HTTP/1.1 206 Partial\r\ncontent-length: 42\r\nlast-modified: x\r\ncontent-encoding: gzip",
     206, 0, "", false},
    {"LastModifiedOnTheLastLine", "HTTP/1.1 304 Not Modified\r\nLast-Modified: Mon, 01 Jan 2024",
     304, 0, " Mon, 01 Jan 2024", false},
    {"NoBlankGivesStatusZero", "HTTP/1.1", 0, 0, "", false},
    {"NoDigitsGiveStatusZero", "HTTP/1.1 OK\r\nContent-Length:   7", 0, 7, "", false},
    // A value never carries a line break on into a file that stores it.
    {"BareLineFeedEndsTheValue",
     "HTTP/1.1 200 OK\r\nLast-Modified: x\n[9999999999.dat]\nTitle=INJECTED\r\nContent-Length: 3",
     200, 3, " x", false},
};

class HeaderFieldTest : public testing::TestWithParam<FieldCase> {};

TEST_P(HeaderFieldTest, Reads) {
  const FieldCase& c = GetParam();
  EXPECT_EQ(HttpSession::StatusCode(c.header), c.status);
  EXPECT_EQ(HttpSession::ContentLength(c.header), c.length);
  EXPECT_EQ(HttpSession::LastModifiedField(c.header), c.lastModified);
  EXPECT_EQ(HttpSession::IsGzip(c.header), c.gzip);
}

INSTANTIATE_TEST_SUITE_P(Fields, HeaderFieldTest, testing::ValuesIn(kFieldCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HeaderFieldTest, ChunkedInAnyLetterCase) {
  EXPECT_TRUE(HttpSession::IsChunked("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked"));
  EXPECT_TRUE(
      HttpSession::IsChunked("HTTP/1.1 200 OK\r\ntransfer-encoding: gzip, Chunked\r\nX: y"));
  EXPECT_FALSE(HttpSession::IsChunked("HTTP/1.1 200 OK\r\nX-Transfer-Encoding: chunked"));
}

TEST_F(HttpSessionTest, SameHostReusesTheConnection) {
  server.AddConnection(Script().ReadRequest().Send(kOk5).ReadRequest().Send(kOk5));
  std::string out;
  ASSERT_EQ(Get("http://example.test/a", out), FetchResult::kOk);
  recorder.texts.clear();
  ASSERT_EQ(Get("http://example.test/b", out), FetchResult::kOk);
  EXPECT_EQ(out, "hello");
  EXPECT_EQ(server.AcceptedConnections(), 1);
  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(server.Requests()[1].connection, 0);
  EXPECT_FALSE(recorder.Saw(S("接続しました.")));
}

TEST_F(HttpSessionTest, ConnectionCloseMakesTheNextRequestReconnect) {
  std::string closing =
      HttpAnswer("HTTP/1.1 200 OK", {"Content-Length: 5", "Connection: close"}, "hello");
  server.AddConnection(Script().ReadRequest().Send(closing).Close());
  server.AddConnection(Script().ReadRequest().Send(kOk5));
  std::string out;
  ASSERT_EQ(Get("http://example.test/a", out), FetchResult::kOk);
  EXPECT_EQ(session.State(), kSessionServerCloses);
  ASSERT_EQ(Get("http://example.test/a", out), FetchResult::kOk);
  EXPECT_EQ(server.AcceptedConnections(), 2);
  EXPECT_EQ(session.State(), kSessionConnected);
}

TEST_F(HttpSessionTest, AnotherHostClosesTheFirstConnection) {
  server.AddConnection(Script().ReadRequest().Send(kOk5));
  server.AddConnection(Script().ReadRequest().Send(kOk5));
  std::string out;
  ASSERT_EQ(Get("http://example.test/a", out), FetchResult::kOk);
  ASSERT_EQ(Get("http://other.test/a", out), FetchResult::kOk);
  EXPECT_EQ(server.AcceptedConnections(), 2);
  EXPECT_EQ(session.Host(), "other.test");
  EXPECT_NE(server.Requests()[1].bytes.find("Host: other.test\r\n"), std::string::npos);
}

TEST_F(HttpSessionTest, InterimContinueIsSkipped) {
  server.AddConnection(Script().ReadRequest().SendInPieces(
      "HTTP/1.1 100 Continue\r\n\r\n" + HttpAnswer("HTTP/1.1 200 OK", {"Content-Length: 3"}, "abc"),
      10));
  std::string out;
  EXPECT_EQ(Get("http://example.test/a", out), FetchResult::kOk);
  EXPECT_EQ(out, "abc");
}

TEST_F(HttpSessionTest, HeaderSplitOverManyPiecesWithEarlyBody) {
  std::vector<std::string> fields;
  for (int i = 0; i < 60; ++i)
    fields.push_back("X-Padding-" + std::to_string(i) + ": " + std::string(40, 'p'));
  std::string body(3000, 'b');
  fields.push_back("Content-Length: " + std::to_string(body.size()));
  std::string answer = HttpAnswer("HTTP/1.1 200 OK", fields, body);
  std::size_t headerEnd = answer.find("\r\n\r\n") + 4;
  // The piece that ends the header also brings the first 100 body bytes.
  server.AddConnection(Script()
                           .ReadRequest()
                           .SendInPieces(answer.substr(0, headerEnd - 10), 700, 10ms)
                           .Pause(20ms)
                           .Send(answer.substr(headerEnd - 10, 110))
                           .Pause(20ms)
                           .Send(answer.substr(headerEnd + 100)));
  std::string out;
  ASSERT_EQ(Get("http://example.test/a", out), FetchResult::kOk);
  EXPECT_EQ(out, body);
  ASSERT_FALSE(recorder.progress.empty());
  EXPECT_EQ(recorder.progress.front().received, 0);
  EXPECT_GT(recorder.progress.front().total, 0);
  EXPECT_EQ(recorder.progress.back().received, 3000);
  EXPECT_EQ(recorder.progress.back().total, 3000);
}

// The server below never answers (its script ends without a close): every wait runs out.
TEST_F(HttpSessionTest, ThreeSilentWaitsEndTheRead) {
  HttpSession::SetWaitLimitForTesting(20ms);
  server.AddConnection(Script().ReadRequest());
  std::string out;
  EXPECT_EQ(Get("http://example.test/a", out), FetchResult::kFailed);
  EXPECT_EQ(std::count(recorder.texts.begin(), recorder.texts.end(), S("警告:タイムアウト")), 3);
  EXPECT_FALSE(recorder.Saw(S("タイムアウト.")));
  EXPECT_EQ(session.State(), kSessionClosed);
  // The user interface kept processing events while the session waited.
  EXPECT_GE(ui.processEventsCalls, 3);
}

// Each piece is held back until the second time-out in a row, and is in the socket before the third
// wait starts.
TEST_F(HttpSessionTest, AReceivedPieceResetsTheTimeOutCount) {
  HttpSession::SetWaitLimitForTesting(20ms);
  auto first = std::make_shared<HttpTestServer::Gate>();
  auto second = std::make_shared<HttpTestServer::Gate>();
  std::string answer = kOk5;
  server.AddConnection(Script()
                           .ReadRequest()
                           .Hold(first)
                           .Send(answer.substr(0, 10))
                           .Hold(second)
                           .Send(answer.substr(10)));
  int warnings = 0;
  recorder.onReport = [&](const char* text) {
    if (text == nullptr || text != S("警告:タイムアウト")) return;
    ++warnings;
    if (warnings == 2) first->OpenAndWait();
    if (warnings == 4) second->OpenAndWait();
  };
  std::string out;
  EXPECT_EQ(Get("http://example.test/a", out), FetchResult::kOk);
  EXPECT_EQ(out, "hello");
  EXPECT_EQ(warnings, 4);
}

// Event processing that takes longer than a whole wait (on the test's clock), as a menu or a dialog
// left open during a download does, once the server has the request; the answer comes only after
// it.
class SlowEventsUi final : public UiHooks {
 public:
  SlowEventsUi(ManualClock& clock, const HttpTestServer& server, HttpTestServer::Gate& answer)
      : clock_(clock), server_(server), answer_(answer) {
    SetUiHooks(this);
  }
  ~SlowEventsUi() override { SetUiHooks(nullptr); }
  void ShowMessage(MessageIcon, const std::string&, const std::string&) override {}
  void ShowHtmlPage(const std::string&, const std::string&) override {}
  void SetStatusText(const std::string&) override {}
  void ProcessEvents() override {
    if (acted_ || server_.Requests().empty()) return;
    acted_ = true;
    clock_.Advance(1s);
    answer_.OpenAndWait();
  }

 private:
  ManualClock& clock_;
  const HttpTestServer& server_;
  HttpTestServer::Gate& answer_;
  bool acted_ = false;
};

TEST_F(HttpSessionTest, TimeSpentProcessingEventsIsNotWaitTime) {
  HttpSession::SetWaitLimitForTesting(300ms);
  AppSettings().fetchTimeLimit = 1;
  ManualClock clock;
  SetClockForTesting(&clock);
  auto answer = std::make_shared<HttpTestServer::Gate>();
  SlowEventsUi slowUi(clock, server, *answer);
  server.AddConnection(Script().ReadRequest().Hold(answer).Send(kOk5));
  std::string out;
  FetchResult result = Get("http://example.test/a", out);
  SetClockForTesting(nullptr);
  AppSettings().fetchTimeLimit = Settings().fetchTimeLimit;
  EXPECT_EQ(result, FetchResult::kOk);
  EXPECT_EQ(out, "hello");
  EXPECT_FALSE(recorder.Saw(S("警告:タイムアウト")));
  EXPECT_FALSE(recorder.Saw(S("タイムアウト.")));
}

TEST_F(HttpSessionTest, StopRequestAtATimeOut) {
  HttpSession::SetWaitLimitForTesting(20ms);
  recorder.stopAtText = S("警告:タイムアウト");
  server.AddConnection(Script().ReadRequest());
  std::string out;
  EXPECT_EQ(Get("http://example.test/a", out), FetchResult::kReceiveFailed);
  EXPECT_EQ(std::count(recorder.texts.begin(), recorder.texts.end(), S("警告:タイムアウト")), 1);
}

TEST_F(HttpSessionTest, RefusedConnection) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), length), 0);
  ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
  ASSERT_TRUE(
      AddConnectOverrides({"closed.test=127.0.0.1:" + std::to_string(ntohs(address.sin_port))})
          .IsOk());
  EXPECT_FALSE(session.Connect("closed.test").IsOk());
  ::close(fd);
  EXPECT_EQ(recorder.texts, (std::vector<std::string>{"closed.test" + S("に接続..."),
                                                      S("エラー:サーバへの接続失敗")}));
  EXPECT_EQ(session.State(), kSessionNew);
}

// A listener whose accept queue is full drops new connection attempts, as an unreachable host does.
TEST_F(HttpSessionTest, UnansweredConnectEndsWithinTheWait) {
  HttpSession::SetWaitLimitForTesting(300ms);
  int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
  ASSERT_EQ(::listen(listener, 0), 0);
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  std::vector<int> fillers;
  for (int i = 0; i < 4; ++i) {
    fillers.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
    ::connect(fillers.back(), reinterpret_cast<sockaddr*>(&address), length);
  }
  ASSERT_TRUE(
      AddConnectOverrides({"silent.test=127.0.0.1:" + std::to_string(ntohs(address.sin_port))})
          .IsOk());
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(session.Connect("silent.test").IsOk());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_EQ(recorder.texts.back(), S("エラー:サーバへの接続失敗"));
  EXPECT_GE(ui.processEventsCalls, 2);
  for (int fd : fillers) ::close(fd);
  ::close(listener);
}

TEST_F(HttpSessionTest, OverrideAddressGivenByName) {
  server.AddConnection(Script().ReadRequest().Send(kOk5));
  ASSERT_TRUE(
      AddConnectOverrides({"named.test=localhost:" + std::to_string(server.Port())}).IsOk());
  std::string out;
  ASSERT_EQ(Get("http://named.test/x", out), FetchResult::kOk);
  EXPECT_EQ(out, "hello");
  EXPECT_EQ(server.Requests()[0].bytes.rfind("GET /x HTTP/1.1\r\nHost: named.test\r\n", 0), 0u);
}

TEST_F(HttpSessionTest, SendingWithoutAConnectionFails) {
  errno = EAGAIN;  // a stale "try again" must not be taken for the send's own answer
  EXPECT_FALSE(session.SendRequest("GET / HTTP/1.1\r\n\r\n").IsOk());
  EXPECT_EQ(recorder.texts,
            (std::vector<std::string>{S("リクエスト送信."), S("エラー:サーバへの送信失敗")}));
  EXPECT_EQ(session.State(), kSessionClosed);
}

TEST_F(HttpSessionTest, StopRequestAtConnecting) {
  recorder.stopAtText = "example.test" + S("に接続...");
  EXPECT_FALSE(session.Connect("example.test").IsOk());
  EXPECT_EQ(recorder.texts.size(), 1u);
  EXPECT_EQ(server.AcceptedConnections(), 0);
}

struct RefusedUrlCase {
  const char* name;
  const char* url;
  const char* text;  // UTF-8
};

void PrintTo(const RefusedUrlCase& c, std::ostream* os) {
  *os << c.name;
}

const RefusedUrlCase kRefusedUrlCases[] = {
    {"Unsplittable", "not a url", "エラー:ホストアドレス取得失敗"},
    {"OtherScheme", "ftp://example.test/a", "エラー:http/https以外のURLには対応していません"},
    {"LineBreakInThePath", "http://example.test/a\r\nX-Injected: yes",
     "エラー:ホストアドレス取得失敗"},
};

class RefusedUrlTest : public HttpSessionTest,
                       public testing::WithParamInterface<RefusedUrlCase> {};

TEST_P(RefusedUrlTest, NothingIsSent) {
  std::string out;
  EXPECT_EQ(Get(GetParam().url, out), FetchResult::kNoConnection);
  EXPECT_EQ(recorder.texts, std::vector<std::string>{S(GetParam().text)});
  EXPECT_EQ(server.AcceptedConnections(), 0);
}

INSTANTIATE_TEST_SUITE_P(Urls, RefusedUrlTest, testing::ValuesIn(kRefusedUrlCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HttpSessionTest, OverrideForOnePortWinsOverTheOneForEveryPort) {
  HttpTestServer other;
  server.AddConnection(Script().ReadRequest().Send(kOk5));
  other.AddConnection(Script().ReadRequest().Send(
      HttpAnswer("HTTP/1.1 200 OK", {"Content-Length: 5", "Connection: close"}, "other")));
  ASSERT_TRUE(AddConnectOverrides({"dual.test:8080=127.0.0.1:" + std::to_string(server.Port()),
                                   "DUAL.test=127.0.0.1:" + std::to_string(other.Port())})
                  .IsOk());
  std::string out;
  ASSERT_EQ(Get("http://dual.test/x", out), FetchResult::kOk);
  EXPECT_EQ(out, "other");
  ASSERT_EQ(Get("http://dual.test:8080/x", out), FetchResult::kOk);
  EXPECT_EQ(out, "hello");
  EXPECT_EQ(server.Requests()[0].bytes.rfind("GET /x HTTP/1.1\r\nHost: dual.test:8080\r\n", 0), 0u);
  EXPECT_FALSE(AddConnectOverrides({"dual.test:0=127.0.0.1:1"}).IsOk());
}

// Where a TLS server never answers the handshake: the wait limit ends it, and so does a stop.
class HandshakeTest : public HttpSessionTest {
 protected:
  HandshakeTest() {
    EXPECT_TRUE(
        AddConnectOverrides({"silent.test:443=127.0.0.1:" + std::to_string(server.Port())}).IsOk());
    server.AddConnection(Script());  // reads the client's greeting and never answers
  }
};

TEST_F(HandshakeTest, TimesOutWithinTheWait) {
  HttpSession::SetWaitLimitForTesting(200ms);
  std::string out = "before";
  EXPECT_EQ(Get("https://silent.test/x", out), FetchResult::kNoConnection);
  EXPECT_EQ(recorder.texts.back(), S("エラー:TLSハンドシェイクがタイムアウトしました"));
  EXPECT_EQ(out, "before");
  EXPECT_GE(ui.processEventsCalls, 2);  // the window stayed live
}

// UiHooks whose event processing plays the user pressing the stop button after a few slices.
class PressStopWhileWaiting final : public UiHooks {
 public:
  explicit PressStopWhileWaiting(FetchContext& context) : context_(context) { SetUiHooks(this); }
  void ShowMessage(MessageIcon, const std::string&, const std::string&) override {}
  void ShowHtmlPage(const std::string&, const std::string&) override {}
  void SetStatusText(const std::string& text) override { texts.push_back(text); }
  void ProcessEvents() override {
    if (++calls == 3) context_.abortRequested = 1;
  }

  std::vector<std::string> texts;
  int calls = 0;

 private:
  FetchContext& context_;
};

TEST_F(HandshakeTest, StopRequestEndsIt) {
  FetchContext context;
  PressStopWhileWaiting stopper(context);
  session.SetStatusHandler(&context, StandardStatusHandler);
  std::string out = "before";
  EXPECT_EQ(Get("https://silent.test/x", out), FetchResult::kNoConnection);
  SetUiHooks(&ui);
  ASSERT_FALSE(stopper.texts.empty());
  EXPECT_EQ(stopper.texts.back(), S("中断しました."));
  EXPECT_EQ(out, "before");
  EXPECT_EQ(server.AcceptedConnections(), 1);
}

std::vector<std::string> TempFilesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::string name = entry.path().filename().string();
    if (name.rfind("tmp", 0) == 0) names.push_back(entry.path().string());
  }
  return names;
}

TEST_F(HttpSessionTest, TraceGoesToATemporaryFileWhileTheContextLives) {
  AppSettings().debugLog = true;
  server.AddConnection(Script().ReadRequest().Send(kOk5));
  std::string traceName;
  {
    FetchContext context;
    session.SetStatusHandler(&context, StandardStatusHandler);
    std::string out;
    ASSERT_EQ(Get("http://example.test/a", out), FetchResult::kOk);
    std::vector<std::string> files = TempFilesIn(LogDir());
    ASSERT_EQ(files.size(), 1u);
    traceName = files[0];
    struct stat st {};
    ASSERT_EQ(::stat(traceName.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "the trace holds cookies and posts: the owner's only";
    std::string trace = ReadWholeFile(traceName).value_or("");
    std::string head = "id:" + std::to_string(context.id) + "\r\n";
    EXPECT_NE(trace.find(head + S("接続しました.") + "\r\n"), std::string::npos);
    EXPECT_NE(trace.find(head + "GET /a HTTP/1.1\r\n"), std::string::npos);
    EXPECT_NE(trace.find(head + kOk5 + "\r\n"), std::string::npos);
  }
  EXPECT_FALSE(FileExists(traceName));
}

TEST_F(HttpSessionTest, NoTraceFileWithoutDebugLog) {
  FetchContext context;
  EXPECT_EQ(context.traceStream, nullptr);
  EXPECT_TRUE(TempFilesIn(LogDir()).empty());
}

TEST_F(HttpSessionTest, StandardStatusHandler) {
  EXPECT_EQ(StandardStatusHandler("x", nullptr, 0, 0), 0);
  EXPECT_TRUE(ui.statusTexts.empty());
  FetchContext context;
  EXPECT_EQ(StandardStatusHandler("shown", &context, 0, 0), 0);
  EXPECT_EQ(StandardStatusHandler(nullptr, &context, 1, 2), 0);
  context.abortRequested = 1;
  EXPECT_EQ(StandardStatusHandler(nullptr, &context, 1, 2), 1);
  EXPECT_EQ(ui.statusTexts, std::vector<std::string>{"shown"});
  EXPECT_EQ(ui.processEventsCalls, 3);
}

}  // namespace
}  // namespace velkor
