#include <gtest/gtest.h>

#include "support/CliRunner.h"
#include "support/NginxFixture.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::NginxFixture;
using test::RunCli;

class NetCommandsTest : public testing::Test {
 protected:
  test::TempDataDir dataDir;
  NginxFixture nginx;
};

TEST_F(NetCommandsTest, GetWritesTheBodyAndPrintsResultAndLastModified) {
  ASSERT_TRUE(nginx.IsRunning()) << nginx.ErrorLog();
  nginx.WriteFile("b/subject.txt", "1.dat<>one (1)\n2.dat<>two (2)\n");
  std::string out = dataDir.Path() + "/subject.txt";
  auto result = RunCli(dataDir, {"--connect-to", nginx.ConnectTo("h.test"), "get",
                                 "http://h.test/b/subject.txt", "--gzip", "--out", out});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "0\n" + NginxFixture::LastModifiedText(NginxFixture::kFixedTime) + "\n");
  EXPECT_EQ(dataDir.ReadFile("subject.txt"), "1.dat<>one (1)\n2.dat<>two (2)\n");
  EXPECT_NE(result.err.find("ok."), std::string::npos);

  auto again = RunCli(
      dataDir, {"--connect-to", nginx.ConnectTo("h.test"), "get", "http://h.test/b/subject.txt",
                "--since", NginxFixture::LastModifiedText(NginxFixture::kFixedTime)});
  EXPECT_EQ(again.out, "1\n" + NginxFixture::LastModifiedText(NginxFixture::kFixedTime) + "\n");
}

TEST_F(NetCommandsTest, ResumeRewritesTheStoredFile) {
  ASSERT_TRUE(nginx.IsRunning()) << nginx.ErrorLog();
  nginx.WriteFile("b/dat/1.dat", "a<>b<>c<>d<>e\nf<>g<>h<>i<>\n");
  dataDir.WriteFile("1.dat", "a<>b<>c<>d<>e\n");
  auto result = RunCli(dataDir, {"--connect-to", nginx.ConnectTo("h.test"), "resume",
                                 "http://h.test/b/dat/1.dat", dataDir.Path() + "/1.dat"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "0\n" + NginxFixture::LastModifiedText(NginxFixture::kFixedTime) + "\n");
  EXPECT_EQ(dataDir.ReadFile("1.dat"), "a<>b<>c<>d<>e\nf<>g<>h<>i<>\n");
}

TEST_F(NetCommandsTest, FailedFetchLeavesTheFileAndExitsWithFailure) {
  ASSERT_TRUE(nginx.IsRunning()) << nginx.ErrorLog();
  dataDir.WriteFile("1.dat", "kept\n");
  auto result = RunCli(dataDir, {"--connect-to", nginx.ConnectTo("h.test"), "resume",
                                 "http://h.test/missing.dat", dataDir.Path() + "/1.dat"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "-6\n\n");
  EXPECT_EQ(dataDir.ReadFile("1.dat"), "kept\n");
}

}  // namespace
}  // namespace velkor
