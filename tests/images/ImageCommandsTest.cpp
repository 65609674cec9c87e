#include <gtest/gtest.h>

#include "TestImages.h"
#include "support/CliRunner.h"
#include "support/HttpTestServer.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::HttpTestServer;
using test::RunCli;
using Script = HttpTestServer::Script;

class ImageCommandsTest : public testing::Test {
 protected:
  test::CliResult Run(std::vector<std::string> args) {
    args.insert(args.begin(),
                {"--connect-to", "img.test=127.0.0.1:" + std::to_string(server.Port())});
    return RunCli(dataDir, args);
  }

  test::TempDataDir dataDir;
  HttpTestServer server;
};

TEST_F(ImageCommandsTest, FetchesOnceThroughTheCacheAndRefusesHostileFiles) {
  const std::string png = test::MakePng(4, 3);
  server.AddConnection(Script()
                           .ReadRequest()
                           .Send("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n\r\n" + png)
                           .Close());
  server.AddConnection(Script()
                           .ReadRequest()
                           .Send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html>gone")
                           .Close());
  const std::string bytes = std::to_string(png.size());
  auto fetched = Run({"image", "http://img.test/a.png"});
  EXPECT_EQ(fetched.exitCode, 0) << fetched.err;
  EXPECT_EQ(fetched.out, "png\t4\t3\t" + bytes + "\n");
  // From the cache: no second request for it.
  auto cached = Run({"image", "http://img.test/a.png#frag", "--out", dataDir.Path() + "/out.png"});
  EXPECT_EQ(cached.exitCode, 0) << cached.err;
  EXPECT_EQ(cached.out, fetched.out);
  EXPECT_EQ(dataDir.ReadFile("out.png"), png);

  auto html = Run({"image", "http://img.test/b.jpg"});
  EXPECT_EQ(html.exitCode, 1);
  EXPECT_EQ(html.out, "error\n");
  EXPECT_NE(html.err.find("エラー:画像ではなくHTMLページが返されました"), std::string::npos)
      << html.err;
  auto notImage = Run({"image", "file:///etc/passwd"});
  EXPECT_EQ(notImage.exitCode, 1);
  EXPECT_EQ(notImage.out, "error\n");
  EXPECT_EQ(server.Requests().size(), 2u);

  EXPECT_EQ(Run({"image-cache"}).out, "1\t" + bytes + "\n");
  EXPECT_EQ(Run({"image-cache", "--clear"}).out, "0\t0\n");
  EXPECT_EQ(Run({"image-cache"}).out, "0\t0\n");
}

TEST_F(ImageCommandsTest, DamagedRuleLinesAreReportedAndTheRestApply) {
  dataDir.WriteFile("ini/imagerules.txt",
                    "no tab here\r\n^http://page\\.test/v/(\\w+)\thttp://img.test/t/$1.png\r\n");
  server.AddConnection(
      Script().ReadRequest().Send("HTTP/1.1 200 OK\r\n\r\n" + test::MakePng(2, 5)).Close());
  auto result = Run({"image", "http://page.test/v/abc"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out.substr(0, 8), "png\t2\t5\t");
  EXPECT_NE(result.err.find("imagerules.txt line 1 skipped"), std::string::npos) << result.err;
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].bytes.find("GET /t/abc.png HTTP/1.1\r\n"), 0u);
}

}  // namespace
}  // namespace velkor
