#include "net/Fetch.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <ostream>

#include "NetTestHelpers.h"
#include "app/DataDir.h"
#include "app/Deployment.h"
#include "app/Settings.h"
#include "base/Clock.h"
#include "base/FileUtil.h"
#include "net/ConnectOverrides.h"
#include "support/HttpTestServer.h"
#include "support/RecordingUiHooks.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::GzipBytes;
using test::HttpAnswer;
using test::HttpTestServer;
using test::S;
using Script = HttpTestServer::Script;
using namespace std::chrono_literals;

const std::string kLastModified = " Tue, 02 Jan 2024 03:04:05 GMT";

std::string Chunked(std::string_view content, std::size_t chunkSize) {
  std::string framed;
  for (std::size_t at = 0; at < content.size(); at += chunkSize) {
    std::string_view part = content.substr(at, chunkSize);
    char size[32];
    std::snprintf(size, sizeof size, "%zx\r\n", part.size());
    framed += size;
    framed += part;
    framed += "\r\n";
  }
  return framed + "0\r\n\r\n";
}

class FetchTest : public testing::Test {
 protected:
  FetchTest() {
    server.Route("example.test");
    recorder.Install(session);
  }
  ~FetchTest() override {
    ClearConnectOverrides();
    HttpSession::SetWaitLimitForTesting(kWaitLimit);
  }

  void Serve(std::string answer) {
    server.AddConnection(Script().ReadRequest().Send(std::move(answer)).Close());
  }
  FetchResult Full(std::string& out, bool gzip = false) {
    return FetchFull(session, "http://example.test/board/subject.txt", out, lastModified, gzip)
        .Code();
  }
  FetchResult Differential(std::string& log) {
    return FetchDifferential(session, "http://example.test/board/dat/1.dat", log, lastModified)
        .Code();
  }
  std::string Request(std::size_t i = 0) const {
    auto requests = server.Requests();
    return i < requests.size() ? requests[i].bytes : "<none>";
  }

  test::TempDataDir dataDir;
  test::RecordingUiHooks ui;
  HttpTestServer server;
  test::StatusRecorder recorder;
  HttpSession session;
  std::string lastModified;
};

TEST_F(FetchTest, FullRequestLinesInOrder) {
  Serve(HttpAnswer("HTTP/1.1 304 Not Modified", {}));
  lastModified = kLastModified;
  std::string out;
  EXPECT_EQ(Full(out, true), FetchResult::kNotModified);
  EXPECT_EQ(Request(), std::string("GET /board/subject.txt HTTP/1.1\r\n"
                                   "Host: example.test\r\n"
                                   "User-Agent: Monazilla/1.00 (Velkor/0.7.8)\r\n"
                                   "Connection: close\r\n"
                                   "If-Modified-Since: Tue, 02 Jan 2024 03:04:05 GMT\r\n"
                                   "Accept-Encoding: gzip\r\n"
                                   "\r\n"));
}

TEST_F(FetchTest, DifferentialRequestLinesInOrder) {
  server.AddConnection(Script().ReadRequest().Send(HttpAnswer("HTTP/1.1 304 Not Modified", {})));
  lastModified = kLastModified;
  AppSettings().userAgent = "Monazilla/1.00 (Configured/1)";
  std::string log = "0123456789";
  EXPECT_EQ(Differential(log), FetchResult::kNotModified);
  AppSettings().userAgent = std::string(kUserAgent);
  EXPECT_EQ(log, "0123456789");
  EXPECT_EQ(Request(), std::string("GET /board/dat/1.dat HTTP/1.1\r\n"
                                   "Host: example.test\r\n"
                                   "User-Agent: Monazilla/1.00 (Configured/1)\r\n"
                                   "If-Modified-Since: Tue, 02 Jan 2024 03:04:05 GMT\r\n"
                                   "Range: bytes=9-\r\n"
                                   "\r\n"));
  EXPECT_EQ(recorder.texts.back(), S("変更されていません."));
}

TEST_F(FetchTest, RequestWithMethodQueryFieldsAndBodyAnsweredWithEveryField) {
  Serve(HttpAnswer(
      "HTTP/1.1 200 OK",
      {"Set-Cookie: a=1; path=/", "x-resnum: 12", "Set-Cookie: b=2", "X-Long: first", "  second",
       "\x01: nameless", "Transfer-Encoding: chunked", "Content-Encoding: gzip"},
      Chunked(GzipBytes(std::string("answer\0page", 11) + std::string(40, 'p')), 7)));
  HttpRequest request;
  request.method = "POST";
  request.url = "http://example.test/test/bbs.cgi?guid=ON#form";
  request.fields = {{"Content-Type", "application/x-www-form-urlencoded"},
                    {"Referer", "http://example.test/test/read.cgi/board/1/"},
                    {"Cookie", "a=1; b=2"}};
  request.body = "bbs=board&MESSAGE=%82%A0";
  RequestOutcome answered = SendHttpRequest(session, request);
  ASSERT_EQ(answered.Code(), RequestReach::kOk) << answered.Reason();
  EXPECT_EQ(Request(),
            "POST /test/bbs.cgi?guid=ON HTTP/1.1\r\n"
            "Host: example.test\r\n"
            "User-Agent: Monazilla/1.00 (Velkor/0.7.8)\r\n"
            "Connection: close\r\n"
            "Content-Type: application/x-www-form-urlencoded\r\n"
            "Referer: http://example.test/test/read.cgi/board/1/\r\n"
            "Cookie: a=1; b=2\r\n"
            "Content-Length: 24\r\n"
            "\r\n");
  EXPECT_EQ(server.Requests()[0].body, request.body);
  const HttpResponse& answer = answered.Value();
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.Values("SET-COOKIE"), (std::vector<std::string>{"a=1; path=/", "b=2"}));
  EXPECT_EQ(answer.Value("X-Resnum"), "12");
  EXPECT_EQ(answer.Value("x-long"), "first second");
  EXPECT_EQ(answer.fields.size(), 6u) << "a field without a name is none";
  EXPECT_EQ(answer.body, std::string("answer\0page", 11) + std::string(40, 'p'));
  EXPECT_EQ(session.State(), kSessionClosed);
}

// How far a request got, for every way a server can fail it; never more than one request.
struct ReachCase {
  const char* name;
  std::function<void(HttpTestServer&)> serve;  // null: nothing listens
  RequestReach reach;
  int requests;  // requests the server read
  int status = 0;
  const char* field = "";   // a value for an extra field
  const char* stopAt = "";  // the status text (UTF-8) at which the user stops
};

void PrintTo(const ReachCase& c, std::ostream* os) {
  *os << c.name;
}

const ReachCase kReachCases[] = {
    {"NothingListens", nullptr, RequestReach::kNotConnected, 0},
    {"LineBreakInAFieldRefusedBeforeConnecting",
     [](HttpTestServer& server) { server.AddConnection(Script().ReadRequest().Close()); },
     RequestReach::kNotConnected, 0, 0, "x\r\nInjected: 1"},
    {"CutAfterTheRequest",
     [](HttpTestServer& server) { server.AddConnection(Script().ReadRequest().Close()); },
     RequestReach::kNoAnswer, 1},
    {"SilentAfterTheRequest",
     [](HttpTestServer& server) {
       server.AddConnection(Script().ReadRequest().Hold(std::make_shared<HttpTestServer::Gate>()));
     },
     RequestReach::kNoAnswer, 1},
    {"StoppedWhileWaitingForTheAnswer",
     [](HttpTestServer& server) {
       server.AddConnection(Script().ReadRequest().Hold(std::make_shared<HttpTestServer::Gate>()));
     },
     RequestReach::kNoAnswer, 1, 0, "", "警告:タイムアウト"},
    {"AnswerCutShort",
     [](HttpTestServer& server) {
       server.AddConnection(Script()
                                .ReadRequest()
                                .Send(HttpAnswer("HTTP/1.1 200 OK", {"Content-Length: 90"}, "x"))
                                .Close());
     },
     RequestReach::kNoAnswer, 1},
    {"RedirectNotFollowed",
     [](HttpTestServer& server) {
       server.AddConnection(Script()
                                .ReadRequest()
                                .Send(HttpAnswer("HTTP/1.1 302 Found",
                                                 {"Location: https://example.test/test/bbs.cgi",
                                                  "Content-Length: 0"}))
                                .Close());
     },
     RequestReach::kOk, 1, 302},
    {"ServerError",
     [](HttpTestServer& server) {
       server.AddConnection(
           Script().ReadRequest().Send(HttpAnswer("HTTP/1.1 500 Oops", {}, "oops")).Close());
     },
     RequestReach::kOk, 1, 500},
};

class RequestReachTest : public FetchTest, public testing::WithParamInterface<ReachCase> {};

TEST_P(RequestReachTest, TellsWhetherTheRequestMayHaveArrived) {
  const ReachCase& c = GetParam();
  HttpSession::SetWaitLimitForTesting(100ms);
  ClearConnectOverrides();
  if (c.serve) {
    server.Route("example.test");
    c.serve(server);
  } else {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ::close(fd);  // bound but never listening: the port refuses connections
    ASSERT_TRUE(
        AddConnectOverrides({"example.test=127.0.0.1:" + std::to_string(ntohs(address.sin_port))})
            .IsOk());
  }
  HttpRequest request;
  request.method = "POST";
  request.url = "http://example.test/test/bbs.cgi";
  request.fields = {{"X-Field", c.field}};
  recorder.stopAtText = S(c.stopAt);
  request.body = "MESSAGE=x";
  RequestOutcome answered = SendHttpRequest(session, request);
  EXPECT_EQ(answered.Code(), c.reach) << answered.Reason();
  EXPECT_EQ(answered.IsOk(), answered.Reason().empty());
  EXPECT_EQ(answered.Value().status, c.status);
  EXPECT_EQ(static_cast<int>(server.Requests().size()), c.requests);
  if (c.requests > 0) {
    EXPECT_EQ(server.Requests()[0].body, "MESSAGE=x");
  }
}

INSTANTIATE_TEST_SUITE_P(Servers, RequestReachTest, testing::ValuesIn(kReachCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct FullStatusCase {
  const char* name;
  std::string answer;
  FetchResult result;
  const char* lastText;  // UTF-8
  const char* output;
};

void PrintTo(const FullStatusCase& c, std::ostream* os) {
  *os << c.name;
}

const FullStatusCase kFullStatusCases[] = {
    {"Ok",
     HttpAnswer("HTTP/1.1 200 OK",
                {"Last-Modified: Tue, 02 Jan 2024 03:04:05 GMT", "Content-Length: 6"}, "a<>b\n\n"),
     FetchResult::kOk, "ok.", "a<>b\n\n"},
    {"Moved", HttpAnswer("HTTP/1.1 302 Found", {"Location: http://x/", "Content-Length: 3"}, "abc"),
     FetchResult::kMoved, "移転しています.", "before"},
    {"NotModified", HttpAnswer("HTTP/1.1 304 Not Modified", {}), FetchResult::kNotModified,
     "更新されていません.", "before"},
    {"NotFound", HttpAnswer("HTTP/1.1 404 Not Found", {"Content-Length: 3"}, "abc"),
     FetchResult::kFailed, "code:404", "before"},
    {"PartialIsUnexpected", HttpAnswer("HTTP/1.1 206 Partial Content", {"Content-Length: 1"}, "a"),
     FetchResult::kFailed, "code:206", "before"},
    // Only a redirect to the same URL over https is followed; these keep their old meaning.
    {"MovedToHttpsElsewhere",
     HttpAnswer("HTTP/1.1 302 Found", {"Location: https://example.test/board/other.txt"}),
     FetchResult::kMoved, "移転しています.", "before"},
    {"PermanentRedirectElsewhere",
     HttpAnswer("HTTP/1.1 301 Moved Permanently",
                {"Location: https://other.test/board/subject.txt"}),
     FetchResult::kFailed, "code:301", "before"},
};

class FullStatusTest : public FetchTest, public testing::WithParamInterface<FullStatusCase> {};

TEST_P(FullStatusTest, ResultTextAndOutput) {
  Serve(GetParam().answer);
  std::string out = "before";
  EXPECT_EQ(Full(out), GetParam().result);
  ASSERT_FALSE(recorder.texts.empty());
  EXPECT_EQ(recorder.texts.back(), S(GetParam().lastText));
  EXPECT_EQ(out, GetParam().output);
  if (GetParam().result == FetchResult::kOk) {
    EXPECT_EQ(lastModified, kLastModified);
  }
}

INSTANTIATE_TEST_SUITE_P(Statuses, FullStatusTest, testing::ValuesIn(kFullStatusCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FetchTest, FullStatusTextsInOrder) {
  Serve(HttpAnswer("HTTP/1.1 200 OK", {"Content-Length: 2"}, "ab"));
  std::string out;
  ASSERT_EQ(Full(out), FetchResult::kOk);
  EXPECT_EQ(recorder.texts,
            (std::vector<std::string>{"example.test" + S("に接続..."), S("接続しました."),
                                      "http://example.test/board/subject.txt", S("リクエスト送信."),
                                      "ok."}));
  EXPECT_TRUE(lastModified.empty());
}

// The whole sequence of status texts of a differential fetch, for each kind of answer. A fallback
// to a full fetch reconnects and repeats the connection texts.
struct DifferentialTextsCase {
  const char* name;
  std::string answer;
  bool refetches;  // a second connection serves "x\nfull\n" whole
  FetchResult result;
  std::vector<const char*> textsAfterRequest;  // UTF-8, after "リクエスト送信."
  const char* log;
};

void PrintTo(const DifferentialTextsCase& c, std::ostream* os) {
  *os << c.name;
}

const DifferentialTextsCase kDifferentialTextsCases[] = {
    {"RangeAppended",
     HttpAnswer("HTTP/1.1 206 Partial Content", {"Content-Length: 4"}, "\nab\n"),
     false,
     FetchResult::kOk,
     {"ok."},
     "x\nab\n"},
    {"RangeMismatch",
     HttpAnswer("HTTP/1.1 206 Partial Content", {"Content-Length: 2"}, "z\n"),
     true,
     FetchResult::kOk,
     {"ログ詰まりのため再取得します.", "*", "ok."},
     "x\nfull\n"},
    {"RangeNotSatisfiable",
     HttpAnswer("HTTP/1.1 416 Range Not Satisfiable", {"Content-Length: 0"}),
     true,
     FetchResult::kOk,
     {"ログ詰まりのため再取得します.", "*", "ok."},
     "x\nfull\n"},
    {"RangeIgnored",
     HttpAnswer("HTTP/1.1 200 OK", {"Content-Length: 4"}, "new\n"),
     false,
     FetchResult::kOk,
     {"警告:差分取得できません", "ok."},
     "new\n"},
    {"NotModified",
     HttpAnswer("HTTP/1.1 304 Not Modified", {}),
     false,
     FetchResult::kNotModified,
     {"変更されていません."},
     "x\n"},
    {"Moved",
     HttpAnswer("HTTP/1.1 302 Found", {"Content-Length: 0"}),
     false,
     FetchResult::kMoved,
     {},
     "x\n"},
    {"NotFound",
     HttpAnswer("HTTP/1.1 404 Not Found", {"Content-Length: 0"}),
     false,
     FetchResult::kFailed,
     {},
     "x\n"},
};

class DifferentialTextsTest : public FetchTest,
                              public testing::WithParamInterface<DifferentialTextsCase> {};

TEST_P(DifferentialTextsTest, TextsInOrder) {
  const DifferentialTextsCase& c = GetParam();
  const std::string url = "http://example.test/board/dat/1.dat";
  server.AddConnection(Script().ReadRequest().Send(c.answer));
  if (c.refetches) {
    Serve(HttpAnswer("HTTP/1.1 200 OK", {"Content-Length: 7"}, "x\nfull\n"));
  }
  std::string log = "x\n";
  EXPECT_EQ(Differential(log), c.result);
  const std::vector<std::string> connecting = {"example.test" + S("に接続..."), S("接続しました."),
                                               url, S("リクエスト送信.")};
  std::vector<std::string> expected = connecting;
  for (const char* text : c.textsAfterRequest) {
    if (std::string_view(text) == "*") {
      expected.insert(expected.end(), connecting.begin(), connecting.end());
    } else {
      expected.push_back(S(text));
    }
  }
  EXPECT_EQ(recorder.texts, expected);
  if (c.result == FetchResult::kOk || c.result == FetchResult::kNotModified) {
    EXPECT_EQ(log, c.log);
  }
  EXPECT_EQ(server.AcceptedConnections(), c.refetches ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(Answers, DifferentialTextsTest, testing::ValuesIn(kDifferentialTextsCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FetchTest, BodyWithoutLengthIsReadUntilTheServerCloses) {
  server.AddConnection(Script()
                           .ReadRequest()
                           .Send(HttpAnswer("HTTP/1.1 200 OK", {}, "first "))
                           .Pause(50ms)
                           .Send("second")
                           .Close());
  std::string out;
  ASSERT_EQ(Full(out), FetchResult::kOk);
  EXPECT_EQ(out, "first second");
  EXPECT_EQ(recorder.progress.back().total, -1);
}

TEST_F(FetchTest, ZeroBytesOfAPlainBodyAreStoredAsStars) {
  Serve(HttpAnswer("HTTP/1.1 200 OK", {"Content-Length: 5"}, std::string("a\0b\0c", 5)));
  std::string out;
  ASSERT_EQ(Full(out), FetchResult::kOk);
  EXPECT_EQ(out, "a*b*c");
}

TEST_F(FetchTest, ServerClosingBeforeTheHeaderEnds) {
  Serve("HTTP/1.1 200 OK\r\nContent-");
  std::string out;
  EXPECT_EQ(Full(out), FetchResult::kReceiveFailed);
  EXPECT_EQ(recorder.texts.back(), S("エラー:サーバからの受信失敗"));
}

TEST_F(FetchTest, GzipAnswerIsDecodedEvenWhenNotAskedFor) {
  std::string text = std::string("1234.dat<>title (10)\n", 21) + std::string("\0x", 2);
  Serve(HttpAnswer("HTTP/1.1 200 OK", {"Content-Encoding: gzip"}, GzipBytes(text)));
  std::string out;
  ASSERT_EQ(Full(out, false), FetchResult::kOk);
  EXPECT_EQ(out, "1234.dat<>title (10)\n*x");
  EXPECT_TRUE(recorder.Saw(S("gzipデコード...")));
  EXPECT_EQ(recorder.texts.back(), "ok.");
}

TEST_F(FetchTest, UndecodableGzipIsKeptInTheDumpFile) {
  std::string damaged = GzipBytes(std::string(5000, 'q'));
  damaged.resize(damaged.size() / 2);  // the deflate data ends early
  Serve(HttpAnswer("HTTP/1.1 200 OK", {"Content-Encoding: gzip", "Last-Modified: x\r\nX: y"},
                   damaged));
  std::string out;
  EXPECT_EQ(Full(out, true), FetchResult::kGzipFailed);
  EXPECT_EQ(recorder.texts.back(), S("gzipデコードに失敗."));
  EXPECT_TRUE(lastModified.empty());
  EXPECT_EQ(ReadWholeFile(LogDir() + "/gzip.dmp").value_or(""), damaged);
}

TEST_F(FetchTest, ChunkedPlainAnswerIsUnframed) {
  std::string content = "line 1\nline 2\n" + std::string(3000, 'c') + "\n";
  std::string answer =
      HttpAnswer("HTTP/1.1 200 OK", {"Transfer-Encoding: chunked"}, Chunked(content, 1000));
  // Pieces that cut through the framing, and a server that keeps the connection open afterwards.
  server.AddConnection(Script().ReadRequest().SendInPieces(answer, 7, 0ms));
  std::string out;
  ASSERT_EQ(Full(out), FetchResult::kOk);
  EXPECT_EQ(out, content);
}

TEST_F(FetchTest, ChunkedGzipAnswerIsUnframedThenDecoded) {
  std::string content = "subject line<>x (1)\n";
  for (int i = 0; i < 200; ++i)
    content += std::to_string(i) + ".dat<>t (" + std::to_string(i) + ")\n";
  Serve(HttpAnswer("HTTP/1.1 200 OK", {"Content-Encoding: gzip", "Transfer-Encoding: chunked"},
                   Chunked(GzipBytes(content), 100)));
  std::string out;
  ASSERT_EQ(Full(out, true), FetchResult::kOk);
  EXPECT_EQ(out, content);
}

TEST_F(FetchTest, ChunkedRangeAnswerKeepsTheConnectionUsable) {
  std::string range = "\nnew line<>\n";
  server.AddConnection(Script()
                           .ReadRequest()
                           .Send(HttpAnswer("HTTP/1.1 206 Partial Content",
                                            {"Transfer-Encoding: chunked"}, Chunked(range, 5)))
                           .ReadRequest()
                           .Send(HttpAnswer("HTTP/1.1 304 Not Modified", {})));
  std::string log = "old line<>\n";
  ASSERT_EQ(Differential(log), FetchResult::kOk);
  EXPECT_EQ(log, "old line<>\nnew line<>\n");
  EXPECT_EQ(Differential(log), FetchResult::kNotModified);
  EXPECT_EQ(server.AcceptedConnections(), 1);
}

TEST_F(FetchTest, RangeAnswerWithoutEarlyBodyWaitsForItsFirstByte) {
  server.AddConnection(Script()
                           .ReadRequest()
                           .Send(HttpAnswer("HTTP/1.1 206 Partial Content", {"Content-Length: 4"}))
                           .Pause(100ms)
                           .Send("\nab\n"));
  std::string log = "x\n";
  ASSERT_EQ(Differential(log), FetchResult::kOk);
  EXPECT_EQ(log, "x\nab\n");
}

TEST_F(FetchTest, RangeAnswerWhoseFirstByteNeverComes) {
  HttpSession::SetWaitLimitForTesting(100ms);
  server.AddConnection(Script().ReadRequest().Send(
      HttpAnswer("HTTP/1.1 206 Partial Content", {"Content-Length: 4"})));
  std::string log = "x\n";
  EXPECT_EQ(Differential(log), FetchResult::kFailed);
  EXPECT_EQ(recorder.texts.back(), S("タイムアウト."));
}

TEST_F(FetchTest, RangeAnswerWithoutLengthIsReadUntilTheServerCloses) {
  server.AddConnection(Script()
                           .ReadRequest()
                           .Send(HttpAnswer("HTTP/1.1 206 Partial Content", {}, "\nab"))
                           .Pause(50ms)
                           .Send("cd\n")
                           .Close());
  std::string log = "x\n";
  ASSERT_EQ(Differential(log), FetchResult::kOk);
  EXPECT_EQ(log, "x\nabcd\n");
}

TEST_F(FetchTest, ZeroBytesOfARangeAreStoredAsStars) {
  Serve(
      HttpAnswer("HTTP/1.1 206 Partial Content", {"Content-Length: 4"}, std::string("\n\0a\0", 4)));
  std::string log = "x\n";
  ASSERT_EQ(Differential(log), FetchResult::kOk);
  EXPECT_EQ(log, "x\n*a*");
}

TEST_F(FetchTest, StopWhileTheFullBodyIsRead) {
  server.AddConnection(Script()
                           .ReadRequest()
                           .Send(HttpAnswer("HTTP/1.1 200 OK", {"Content-Length: 10"}, "ab"))
                           .Pause(50ms)
                           .Send("cd")
                           .Pause(2s));
  recorder.stopAtProgress = 1;  // the first body piece after the header
  std::string out;
  EXPECT_EQ(Full(out), FetchResult::kReceiveFailed);
  EXPECT_EQ(recorder.texts.back(), S("中断しました."));
  EXPECT_EQ(session.State(), kSessionClosed);
}

TEST_F(FetchTest, StopWhileTheRangeBodyIsRead) {
  server.AddConnection(
      Script()
          .ReadRequest()
          .Send(HttpAnswer("HTTP/1.1 206 Partial Content", {"Content-Length: 10"}, "\nab"))
          .Pause(50ms)
          .Send("cd")
          .Pause(2s));
  recorder.stopAtProgress = 1;
  std::string log = "x\n";
  EXPECT_EQ(Differential(log), FetchResult::kBodyAborted);
  EXPECT_EQ(recorder.texts.back(), S("中断しました."));
}

TEST_F(FetchTest, StopWhileTheHeaderIsRead) {
  server.AddConnection(Script().ReadRequest().Send("HTTP/1.1 206 Partial").Pause(2s));
  recorder.stopAtProgress = 0;
  std::string log = "x\n";
  EXPECT_EQ(Differential(log), FetchResult::kReceiveFailed);
  EXPECT_EQ(recorder.texts.back(), S("中断しました."));
}

TEST_F(FetchTest, DifferentialUnexpectedStatusHasNoText) {
  Serve(HttpAnswer("HTTP/1.1 500 Oops", {"Content-Length: 0"}));
  std::string log = "x\n";
  EXPECT_EQ(Differential(log), FetchResult::kFailed);
  EXPECT_EQ(recorder.texts.back(), S("リクエスト送信."));
  EXPECT_EQ(log, "x\n");
}

TEST_F(FetchTest, DifferentialMovedHasNoText) {
  Serve(HttpAnswer("HTTP/1.1 302 Found", {"Content-Length: 0"}));
  std::string log = "x\n";
  EXPECT_EQ(Differential(log), FetchResult::kMoved);
  EXPECT_EQ(recorder.texts.back(), S("リクエスト送信."));
}

// Servers that misbehave. Each case asserts the result and the last status text, and that what the
// caller would store is unchanged: the full fetch's output, the differential fetch's log. Where the
// differential fetch has to start over, a second connection serves the whole file, which must then
// be the log.
struct MisbehavingCase {
  const char* name;
  bool differential;        // else a full fetch
  std::string (*answer)();  // what the first connection sends
  bool stalls;              // the connection then stays silent (else it closes); waits last 100 ms
  FetchResult result;
  const char* lastText;  // UTF-8
  bool refetches = false;
  std::size_t pieceSize = 0;  // the answer is trickled in pieces this size, 50 ms apart
  int timeLimit = 0;  // FetchTimeLimit for this case (0: the default); each piece then takes 400 ms
                      // on the test's clock
  bool dump = false;  // gzip.dmp is written
};

void PrintTo(const MisbehavingCase& c, std::ostream* os) {
  *os << c.name;
}

const std::string kStoredLog = "1<>a<>\n2<>b<>\n";
const std::string kWholeFile = "1<>a<>\n2<>b<>\n3<>c<>\n";

// A range answer that starts at the first byte not stored (the stored log's final line feed).
std::string Range(std::string_view contentRange) {
  return HttpAnswer("HTTP/1.1 206 Partial Content",
                    {"Content-Length: 8", "Content-Range: " + std::string(contentRange)},
                    "\n3<>c<>\n");
}

std::string LongHeader() {
  std::string answer = "HTTP/1.1 200 OK\r\n";
  while (answer.size() <= kMaxHeaderSize + 2048)
    answer += "X-Long: " + std::string(100, 'l') + "\r\n";
  return answer;
}

std::string UndecodableGzip() {
  std::string damaged = GzipBytes(std::string(5000, 'q'));
  damaged.resize(damaged.size() / 2);
  return damaged;
}

const MisbehavingCase kMisbehavingCases[] = {
    {"HeaderNeverEnds", true, [] { return std::string("HTTP/1.1 206 Partial\r\nX-Slow: "); }, true,
     FetchResult::kFailed, "タイムアウト."},
    {"HeaderAboveTheLimit", false, LongHeader, true, FetchResult::kReceiveFailed,
     "エラー:応答ヘッダが大きすぎます"},
    {"BodyAboveTheLimit", false,
     [] { return HttpAnswer("HTTP/1.1 200 OK", {}) + std::string(kMaxBodySize + 4096, 'b'); },
     false, FetchResult::kReceiveFailed, "エラー:応答が大きすぎます"},
    {"GzipBomb", false,
     [] {
       return HttpAnswer("HTTP/1.1 200 OK", {"Content-Encoding: gzip"},
                         GzipBytes(std::string(kMaxBodySize + 1, 'z')));
     },
     false, FetchResult::kGzipFailed, "エラー:展開したデータが大きすぎます"},
    {"BadChunking", false,
     [] { return HttpAnswer("HTTP/1.1 200 OK", {"Transfer-Encoding: chunked"}, "zz\r\nabc"); },
     false, FetchResult::kReceiveFailed, "エラー:分割転送の形式が不正です"},
    {"BadChunkingInARange", true,
     [] {
       return HttpAnswer("HTTP/1.1 206 Partial Content", {"Transfer-Encoding: chunked"},
                         "3\r\n\nab\r\nzz\r\n");
     },
     false, FetchResult::kReceiveFailed, "エラー:分割転送の形式が不正です"},
    {"ClosedBeforeTheAnnouncedLength", false,
     [] { return HttpAnswer("HTTP/1.1 200 OK", {"Content-Length: 100"}, "only this"); }, false,
     FetchResult::kReceiveFailed, "エラー:サーバからの受信失敗"},
    {"ResetMidBodyDuringARange", true,
     [] { return HttpAnswer("HTTP/1.1 206 Partial Content", {"Content-Length: 100"}, "\n3<>"); },
     false, FetchResult::kReceiveFailed, "エラー:サーバからの受信失敗"},
    {"RangeStartingElsewhere", true, [] { return Range("bytes 0-7/30"); }, false, FetchResult::kOk,
     "ok.", true},
    {"RangeTotalBelowTheStoredSize", true, [] { return Range("bytes 13-20/9"); }, false,
     FetchResult::kOk, "ok.", true},
    // Control bytes before the first number are no range this program asked for.
    {"RangeWithControlBytes", true,
     [] {
       return Range(
           "bytes \x01\x02"
           "13-20/30");
     },
     false, FetchResult::kOk, "ok.", true},
    {"CompressedWholeFileForARange", true,
     [] {
       return HttpAnswer("HTTP/1.1 200 OK", {"Content-Encoding: gzip"}, GzipBytes(kWholeFile));
     },
     false, FetchResult::kOk, "ok."},
    {"UndecodableWholeFileForARange", true,
     [] { return HttpAnswer("HTTP/1.1 200 OK", {"Content-Encoding: gzip"}, UndecodableGzip()); },
     false, FetchResult::kGzipFailed, "gzipデコードに失敗.", false, 0, 0, true},
    {"UnknownEncoding", false,
     [] { return HttpAnswer("HTTP/1.1 200 OK", {"Content-Encoding: br"}, "\x1b\x0f"); }, false,
     FetchResult::kFailed, "エラー:対応していない圧縮形式です"},
    {"GzipNamedInLowerCaseForARange", true,
     [] {
       return HttpAnswer("HTTP/1.1 200 OK", {"content-encoding: GZIP"}, GzipBytes(kWholeFile));
     },
     false, FetchResult::kOk, "ok."},
    {"LengthThatIsNoNumber", false,
     [] { return HttpAnswer("HTTP/1.1 200 OK", {"Content-Length: abc"}, "hello"); }, false,
     FetchResult::kFailed, "エラー:応答ヘッダが不正です"},
    {"LengthThatIsNoNumberInARange", true,
     [] {
       return HttpAnswer("HTTP/1.1 206 Partial Content", {"Content-Length: -4"}, "\n3<>c<>\n");
     },
     false, FetchResult::kFailed, "エラー:応答ヘッダが不正です"},
    // One byte at a time: every wait is short, but the whole takes longer than the limit.
    {"TrickleBeyondTheOverallLimit", true,
     [] {
       return HttpAnswer("HTTP/1.1 200 OK",
                         {"Content-Length: 21", "X-Padding: " + std::string(40, 'p')}, kWholeFile);
     },
     false, FetchResult::kFailed, "タイムアウト.", false, 1, 1},
};

class MisbehavingServerTest : public FetchTest,
                              public testing::WithParamInterface<MisbehavingCase> {
 protected:
  ~MisbehavingServerTest() override {
    AppSettings().fetchTimeLimit = Settings().fetchTimeLimit;
    SetClockForTesting(nullptr);
  }
  ManualClock clock;
};

TEST_P(MisbehavingServerTest, ResultAndStoredBytes) {
  const MisbehavingCase& c = GetParam();
  if (c.stalls) HttpSession::SetWaitLimitForTesting(100ms);  // else a loaded machine may run out
  if (c.timeLimit > 0) {
    AppSettings().fetchTimeLimit = c.timeLimit;
    SetClockForTesting(&clock);
    recorder.onReport = [this](const char* text) {
      if (text == nullptr) clock.Advance(400ms);
    };
  }
  Script script = Script().ReadRequest().SendInPieces(c.answer(), c.pieceSize, 50ms);
  server.AddConnection(c.stalls ? script : script.Close());
  if (c.refetches) Serve(HttpAnswer("HTTP/1.1 200 OK", {"Content-Length: 21"}, kWholeFile));
  std::string stored = c.differential ? kStoredLog : "before";
  std::string bytes = stored;
  EXPECT_EQ(c.differential ? Differential(bytes) : Full(bytes, true), c.result);
  ASSERT_FALSE(recorder.texts.empty());
  EXPECT_EQ(recorder.texts.back(), S(c.lastText));
  EXPECT_EQ(bytes, c.result == FetchResult::kOk && c.differential ? kWholeFile : stored);
  EXPECT_EQ(server.AcceptedConnections(), c.refetches ? 2 : 1);
  EXPECT_EQ(FileExists(LogDir() + "/gzip.dmp"), c.dump);
}

INSTANTIATE_TEST_SUITE_P(Servers, MisbehavingServerTest, testing::ValuesIn(kMisbehavingCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor
