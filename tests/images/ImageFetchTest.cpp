#include "images/ImageFetch.h"

#include <gtest/gtest.h>

#include <ostream>

#include "TestImages.h"
#include "app/Deployment.h"
#include "base/Sjis.h"
#include "images/ImageCache.h"
#include "images/ImageLinks.h"
#include "net/ConnectOverrides.h"
#include "support/HttpTestServer.h"
#include "support/RecordingUiHooks.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::HttpTestServer;
using test::MakePng;
using test::S;
using Script = HttpTestServer::Script;

std::string HttpAnswer(std::string_view statusLine, const std::vector<std::string>& fields,
                       std::string_view body = {}) {
  std::string answer(statusLine);
  answer += "\r\n";
  for (const std::string& field : fields) answer += field + "\r\n";
  return answer + "\r\n" + std::string(body);
}

struct RedirectCase {
  const char* name;
  const char* from;
  const char* location;
  const char* target;  // nullptr: leads nowhere
};

void PrintTo(const RedirectCase& c, std::ostream* os) {
  *os << c.name;
}

const RedirectCase kRedirectCases[] = {
    {"Absolute", "http://a.test/x/y.png", "https://b.test/z.png", "https://b.test/z.png"},
    {"SchemeInAnyCase", "http://a.test/y.png", "HTTPS://b.test/z.png", "HTTPS://b.test/z.png"},
    {"SchemeRelative", "https://a.test/y.png", "//cdn.test/z.png", "https://cdn.test/z.png"},
    {"AbsolutePath", "http://a.test:8080/x/y.png?q=1", "/z.png", "http://a.test:8080/z.png"},
    {"RelativePath", "http://a.test/x/y.png?q=1", "z.png?r=2", "http://a.test/x/z.png?r=2"},
    {"QueryOnly", "http://a.test/x/y.png?q=1", "?r=2", "http://a.test/x/y.png?r=2"},
    {"FragmentDropped", "http://a.test/y.png", "/z.png#frag", "http://a.test/z.png"},
    {"OtherScheme", "http://a.test/y.png", "ftp://a.test/z.png", nullptr},
    {"ScriptScheme", "http://a.test/y.png", "javascript:alert(1)", nullptr},
    {"LocalFile", "http://a.test/y.png", "file:///etc/passwd", nullptr},
    {"Blank", "http://a.test/y.png", "/a b.png", nullptr},
    {"NonLinkByte", "http://a.test/y.png", "/a\"b.png", nullptr},
    {"Empty", "http://a.test/y.png", "", nullptr},
    {"TooLong", "http://a.test/y.png", "/long", nullptr},
};

class ImageRedirectTest : public testing::TestWithParam<RedirectCase> {};

TEST_P(ImageRedirectTest, LeadsOnlyWhereALinkCould) {
  const RedirectCase& c = GetParam();
  const std::string location =
      std::string(c.name) == "TooLong" ? "/" + std::string(kMaxImageLinkLength, 'a') : c.location;
  const std::optional<std::string> target = ImageRedirectTarget(c.from, location);
  if (c.target == nullptr) {
    EXPECT_FALSE(target) << *target;
  } else {
    EXPECT_EQ(target.value_or("<none>"), c.target);
  }
}

INSTANTIATE_TEST_SUITE_P(Locations, ImageRedirectTest, testing::ValuesIn(kRedirectCases),
                         [](const auto& info) { return std::string(info.param.name); });

class ImageFetchTest : public testing::Test {
 protected:
  ImageFetchTest() {
    server.Route("img.test");
    server.Route("cdn.test");
  }
  ~ImageFetchTest() override { ClearConnectOverrides(); }

  ResultWith<FetchedImage, ImageFetchCode> Fetch(const std::string& url = "http://img.test/a.png",
                                                 const std::string& referer = {}) {
    return FetchImage(session, url, referer);
  }
  std::string Request(std::size_t i) const {
    const auto requests = server.Requests();
    return i < requests.size() ? requests[i].bytes : "<none>";
  }

  test::TempDataDir dataDir;
  test::RecordingUiHooks ui;
  HttpTestServer server;
  HttpSession session;
};

TEST_F(ImageFetchTest, AsksForTheBytesAsTheyAreWithTheRulesReferer) {
  const std::string png = MakePng(3, 2);
  ASSERT_NE(png.find('\0'), std::string::npos);
  server.AddConnection(Script()
                           .ReadRequest()
                           .Send(HttpAnswer("HTTP/1.1 200 OK", {"Content-Type: image/png"}, png))
                           .Close());
  const auto fetched = Fetch("http://img.test/a.png?size=large", "http://page.test/watch?v=1");
  ASSERT_TRUE(fetched.IsOk()) << fetched.Reason();
  EXPECT_EQ(fetched.Value().body, png) << "zero bytes stay";
  EXPECT_EQ(fetched.Value().contentType, "image/png");
  EXPECT_EQ(Request(0), "GET /a.png?size=large HTTP/1.1\r\nHost: img.test\r\nUser-Agent: " +
                            std::string(kUserAgent) +
                            "\r\nReferer: http://page.test/watch?v=1\r\n"
                            "Accept-Encoding: identity\r\nConnection: close\r\n\r\n");
}

struct AnswerCase {
  const char* name;
  std::string answer;
  bool holdAfter;  // the server sends the answer and then nothing more (and does not close)
  ImageFetchCode code;
  const char* reason;  // UTF-8; what the reason contains
};

void PrintTo(const AnswerCase& c, std::ostream* os) {
  *os << c.name;
}

std::string HugePngStart() {
  return MakePng(100000, 100000).substr(0, 40);
}

const AnswerCase kAnswerCases[] = {
    {"NotFound", HttpAnswer("HTTP/1.1 404 Not Found", {"Content-Length: 3"}, "no!"), false,
     ImageFetchCode::kFailed, "エラー:画像を取得できませんでした (HTTP 404)"},
    {"HtmlPage",
     HttpAnswer("HTTP/1.1 200 OK", {"Content-Type: text/html", "Content-Length: 100000"},
                "<html><script>x</script>"),
     true, ImageFetchCode::kRefused, "エラー:画像ではなくHTMLページが返されました"},
    {"BombStoppedAtItsHeader",
     HttpAnswer("HTTP/1.1 200 OK", {"Content-Length: 9000000"}, HugePngStart()), true,
     ImageFetchCode::kRefused, "エラー:画像が大きすぎます(100000×100000"},
    {"AnnouncedAbove20MB",
     HttpAnswer("HTTP/1.1 200 OK", {"Content-Length: 20971521"}, MakePng(3, 2).substr(0, 20)), true,
     ImageFetchCode::kRefused, "エラー:画像が20MBを超えています"},
    {"UnknownType", HttpAnswer("HTTP/1.1 200 OK", {"Content-Length: 100000"}, "GIF90a........"),
     true, ImageFetchCode::kRefused, "エラー:画像の形式が分かりません"},
    {"CompressedUnasked",
     HttpAnswer("HTTP/1.1 200 OK", {"Content-Encoding: gzip", "Content-Length: 4"}, "abcd"), false,
     ImageFetchCode::kFailed, "エラー:対応していない圧縮形式です"},
    {"CutOffBeforeTheLength",
     HttpAnswer("HTTP/1.1 200 OK", {"Content-Length: 1000"}, MakePng(3, 2)), false,
     ImageFetchCode::kFailed, "エラー:"},
};

class ImageAnswerTest : public ImageFetchTest, public testing::WithParamInterface<AnswerCase> {};

TEST_P(ImageAnswerTest, RefusedOrFailedWithItsReason) {
  const AnswerCase& c = GetParam();
  Script script = Script().ReadRequest().Send(c.answer);
  // A refusal must not wait for the rest: the gate is never opened.
  if (c.holdAfter) script.Hold(std::make_shared<HttpTestServer::Gate>());
  server.AddConnection(script.Close());
  const auto fetched = Fetch();
  EXPECT_EQ(fetched.Code(), c.code);
  EXPECT_NE(fetched.Reason().find(S(c.reason)), std::string::npos) << fetched.Reason();
}

INSTANTIATE_TEST_SUITE_P(Answers, ImageAnswerTest, testing::ValuesIn(kAnswerCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ImageFetchTest, BodyWithoutLengthStopsAbove20MB) {
  std::string body = MakePng(3, 2);
  body.resize(kMaxImageBytes + 1, 'x');
  server.AddConnection(
      Script().ReadRequest().Send(HttpAnswer("HTTP/1.1 200 OK", {}, body)).Close());
  const auto fetched = Fetch();
  EXPECT_EQ(fetched.Code(), ImageFetchCode::kRefused);
  EXPECT_EQ(fetched.Reason(), S("エラー:画像が20MBを超えています"));
}

TEST_F(ImageFetchTest, FollowsRedirectsWithTheSameReferer) {
  const std::string png = MakePng(3, 2);
  for (std::string answer :
       {HttpAnswer("HTTP/1.1 302 Found", {"Location: //cdn.test/b/c.png"}),
        HttpAnswer("HTTP/1.1 301 Moved", {"Location: d.png", "Content-Length: 0"}),
        HttpAnswer("HTTP/1.1 200 OK", {"Content-Length: 10"}, png.substr(0, 4)),
        HttpAnswer("HTTP/1.1 200 OK", {}, png)}) {
    server.AddConnection(Script().ReadRequest().Send(answer).Close());
  }
  // The third answer breaks off: a failure, and nothing is fetched twice.
  const auto broken = Fetch("http://img.test/a.png", "http://page.test/");
  EXPECT_EQ(broken.Code(), ImageFetchCode::kFailed);
  EXPECT_NE(Request(1).find("GET /b/c.png HTTP/1.1\r\nHost: cdn.test\r\n"), std::string::npos);
  EXPECT_NE(Request(2).find("GET /b/d.png HTTP/1.1\r\nHost: cdn.test\r\n"), std::string::npos);
  EXPECT_NE(Request(2).find("Referer: http://page.test/\r\n"), std::string::npos);
  const auto fetched = Fetch();
  ASSERT_TRUE(fetched.IsOk()) << fetched.Reason();
  EXPECT_EQ(fetched.Value().body, png);
  EXPECT_EQ(server.Requests().size(), 4u);
}

TEST_F(ImageFetchTest, RedirectsEndAfterTheLimitOrAtAPlaceNoLinkGoes) {
  for (int i = 0; i <= kMaxImageRedirects; ++i) {
    server.AddConnection(
        Script()
            .ReadRequest()
            .Send(HttpAnswer("HTTP/1.1 307 Again", {"Location: /n" + std::to_string(i) + ".png"}))
            .Close());
  }
  const auto looping = Fetch();
  EXPECT_EQ(looping.Code(), ImageFetchCode::kFailed);
  EXPECT_EQ(looping.Reason(), S("エラー:画像の転送が多すぎます"));
  EXPECT_EQ(server.Requests().size(), static_cast<std::size_t>(kMaxImageRedirects + 1));

  server.AddConnection(Script()
                           .ReadRequest()
                           .Send(HttpAnswer("HTTP/1.1 302 Found", {"Location: file:///etc/passwd"}))
                           .Close());
  const auto elsewhere = Fetch();
  EXPECT_EQ(elsewhere.Code(), ImageFetchCode::kRefused);
  EXPECT_EQ(elsewhere.Reason(), S("エラー:画像の転送先が正しくありません"));
}

}  // namespace
}  // namespace velkor
