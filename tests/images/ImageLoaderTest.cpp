#include "images/ImageLoader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "TestImages.h"
#include "base/Sjis.h"
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
using Gate = HttpTestServer::Gate;
using Mode = ImageLoader::Mode;
using namespace std::chrono_literals;

std::string PngAnswer() {
  const std::string png = MakePng(4, 3);
  return "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: " +
         std::to_string(png.size()) + "\r\n\r\n" + png;
}

ImageLink Link(const std::string& url) {
  return ImageLink{url, url, {}};
}

// What the listener heard, in order; waits for it with a bound that only a broken loader reaches.
class Heard {
 public:
  ImageLoader::Listener Listener() {
    return [this](const std::string& url, const ImageLoadOutcome& outcome) {
      std::lock_guard lock(mutex_);
      outcomes_.emplace_back(url, outcome);
      changed_.notify_all();
    };
  }
  // The outcomes once there are `count`; fails the test when they do not come.
  std::vector<std::pair<std::string, ImageLoadOutcome>> WaitFor(std::size_t count) {
    std::unique_lock lock(mutex_);
    EXPECT_TRUE(changed_.wait_for(lock, 30s, [&] { return outcomes_.size() >= count; }))
        << "heard " << outcomes_.size() << " of " << count;
    return outcomes_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::pair<std::string, ImageLoadOutcome>> outcomes_;
};

// Waits until the server has read `count` requests (bounded as above), and checks that no other
// connection came.
void WaitForRequests(const HttpTestServer& server, int count) {
  const auto until = std::chrono::steady_clock::now() + 30s;
  while (server.Requests().size() < static_cast<std::size_t>(count) &&
         std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(5ms);
  }
  ASSERT_EQ(server.Requests().size(), static_cast<std::size_t>(count));
  ASSERT_EQ(server.AcceptedConnections(), count);
}

std::string HostOf(const std::string& request) {
  const std::size_t at = request.find("Host: ");
  return request.substr(at + 6, request.find("\r\n", at) - at - 6);
}

class ImageLoaderTest : public testing::Test {
 protected:
  ImageLoaderTest() {
    for (const char* host : {"a.test", "b.test", "c.test"}) server.Route(host);
  }
  ~ImageLoaderTest() override { ClearConnectOverrides(); }

  std::unique_ptr<ImageLoader> MakeLoader() {
    return std::make_unique<ImageLoader>(ImageCache::DefaultDir(), kDefaultImageCacheBytes,
                                         heard.Listener());
  }

  test::TempDataDir dataDir;
  test::RecordingUiHooks ui;
  HttpTestServer server;
  Heard heard;
};

TEST_F(ImageLoaderTest, OneRequestPerImageHoweverOftenItIsShown) {
  auto gate = std::make_shared<Gate>();
  server.AddConnection(Script().ReadRequest().Hold(gate).Send(PngAnswer()).Close());
  const ImageLink link = Link("http://a.test/p.png");
  {
    auto loader = MakeLoader();
    EXPECT_FALSE(loader->Request(link, Mode::kFetch));
    EXPECT_FALSE(loader->Request(link, Mode::kFetch)) << "joins the pending one";
    WaitForRequests(server, 1);
    EXPECT_FALSE(loader->Request(link, Mode::kFetchAgain)) << "joins the running fetch";
    gate->Open();
    const auto outcomes = heard.WaitFor(1);
    ASSERT_TRUE(outcomes[0].second.IsOk()) << outcomes[0].second.Reason();
    EXPECT_EQ(outcomes[0].second.Value().info.width, 4u);
    const auto again = loader->Request(link, Mode::kFetchAgain);
    ASSERT_TRUE(again && again->IsOk());
    EXPECT_EQ(loader->Request(link, Mode::kCacheOnly)->Value().bytes, again->Value().bytes);
  }
  // The next run finds it in the cache.
  auto loader = MakeLoader();
  EXPECT_FALSE(loader->Request(link, Mode::kFetch));
  const auto outcomes = heard.WaitFor(2);
  EXPECT_TRUE(outcomes[1].second.IsOk());
  EXPECT_EQ(server.AcceptedConnections(), 1);
  EXPECT_EQ(ui.processEventsCalls, 0) << "the window's events are never processed off its thread";
}

TEST_F(ImageLoaderTest, TwoFetchesAtOnceAndOnePerHost) {
  // Answers are held until the test lets each go: a third fetch, or a second to a host, would
  // show as a connection accepted before one of the running ones was let go.
  const std::vector<std::string> urls = {"http://a.test/1.png", "http://b.test/1.png",
                                         "http://a.test/2.png", "http://a.test/3.png",
                                         "http://c.test/1.png"};
  std::vector<std::shared_ptr<Gate>> gates;
  for (std::size_t i = 0; i < urls.size(); ++i) {
    gates.push_back(std::make_shared<Gate>());
    server.AddConnection(Script().ReadRequest().Hold(gates.back()).Send(PngAnswer()).Close());
  }
  auto loader = MakeLoader();
  for (const std::string& url : urls) EXPECT_FALSE(loader->Request(Link(url), Mode::kFetch));

  WaitForRequests(server, 2);
  auto requests = server.Requests();
  EXPECT_EQ(std::set<std::string>({HostOf(requests[0].bytes), HostOf(requests[1].bytes)}),
            (std::set<std::string>{"a.test", "b.test"}));
  // Letting b.test go starts c.test, passing the queued a.test images.
  // Each connection plays the script of its place in the order the server accepted them.
  const int bConnection = requests[HostOf(requests[0].bytes) == "b.test" ? 0 : 1].connection;
  gates[static_cast<std::size_t>(bConnection)]->Open();
  heard.WaitFor(1);
  WaitForRequests(server, 3);
  requests = server.Requests();
  EXPECT_EQ(HostOf(requests[2].bytes), "c.test");
  // The a.test images follow one after the other.
  gates[static_cast<std::size_t>(1 - bConnection)]->Open();
  heard.WaitFor(2);
  WaitForRequests(server, 4);
  gates[2]->Open();
  heard.WaitFor(3);
  EXPECT_EQ(server.AcceptedConnections(), 4) << "a.test/3.png waits for a.test/2.png";
  gates[3]->Open();
  heard.WaitFor(4);
  WaitForRequests(server, 5);
  gates[4]->Open();
  const auto outcomes = heard.WaitFor(urls.size());
  for (const auto& [url, outcome] : outcomes) EXPECT_TRUE(outcome.IsOk()) << url;
  requests = server.Requests();
  ASSERT_EQ(requests.size(), urls.size());
  EXPECT_NE(requests[3].bytes.find("GET /2.png"), std::string::npos);
  EXPECT_NE(requests[4].bytes.find("GET /3.png"), std::string::npos);
}

TEST_F(ImageLoaderTest, ARefusalIsRememberedUntilAskedAgain) {
  server.AddConnection(Script()
                           .ReadRequest()
                           .Send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html>")
                           .Close());
  server.AddConnection(Script().ReadRequest().Send(PngAnswer()).Close());
  const ImageLink link = Link("http://a.test/r.png");
  auto loader = MakeLoader();
  EXPECT_FALSE(loader->Request(link, Mode::kFetch));
  const auto outcomes = heard.WaitFor(1);
  EXPECT_EQ(outcomes[0].second.Code(), ImageLoadCode::kRefused);
  EXPECT_EQ(outcomes[0].second.Reason(), S("エラー:画像ではなくHTMLページが返されました"));
  const auto shownAgain = loader->Request(link, Mode::kFetch);
  ASSERT_TRUE(shownAgain);
  EXPECT_EQ(shownAgain->Reason(), outcomes[0].second.Reason());
  EXPECT_EQ(loader->Request(link, Mode::kCacheOnly)->Code(), ImageLoadCode::kNotCached);
  EXPECT_EQ(server.AcceptedConnections(), 1);
  EXPECT_FALSE(loader->Request(link, Mode::kFetchAgain));
  EXPECT_TRUE(heard.WaitFor(2)[1].second.IsOk());
  EXPECT_EQ(server.AcceptedConnections(), 2);
}

TEST_F(ImageLoaderTest, GoingAwayStopsARunningFetch) {
  auto gate = std::make_shared<Gate>();
  server.AddConnection(Script().ReadRequest().Hold(gate).Send(PngAnswer()).Close());
  auto loader = MakeLoader();
  EXPECT_FALSE(loader->Request(Link("http://a.test/s.png"), Mode::kFetch));
  WaitForRequests(server, 1);
  loader.reset();  // returns within a wait slice, long before the gate's own limit
  gate->Open();
  EXPECT_TRUE(heard.WaitFor(0).empty());
  ImageCache cache(ImageCache::DefaultDir());
  ASSERT_TRUE(cache.Open().IsOk());
  EXPECT_EQ(cache.Count(), 0u);
}

}  // namespace
}  // namespace velkor
