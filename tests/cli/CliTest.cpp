#include <gtest/gtest.h>
#include <sys/resource.h>

#include "support/CliRunner.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

TEST(CliTest, ExitCodesFollowTheConventions) {
  test::TempDataDir dir;
  EXPECT_EQ(test::RunCli(dir, {"help"}).exitCode, 0);
  EXPECT_EQ(test::RunCli(dir, {"no-such-command"}).exitCode, 2);
  EXPECT_EQ(test::RunCli(dir, {}).exitCode, 2);
  EXPECT_EQ(test::RunCli(dir, {"about", "extra"}).exitCode, 2);
  EXPECT_EQ(test::RunCli(dir, {"about", "--page"}).exitCode, 2);
  auto bad = test::RunCli(dir, {"about", "--page", dir.Path() + "/missing/x.html"});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.err.find("cannot write"), std::string::npos);
  // A file size limit the page outgrows fails the same way instead of ending the process.
  rlimit before{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
  rlimit small = before;
  small.rlim_cur = 64;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  auto tooBig = test::RunCli(dir, {"about", "--page", dir.Path() + "/about.html"});
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &before), 0);
  EXPECT_EQ(tooBig.exitCode, 1);
  EXPECT_NE(tooBig.err.find("cannot write"), std::string::npos);
  EXPECT_FALSE(dir.Exists("about.html"));
}

TEST(CliTest, AboutWritesThePage) {
  test::TempDataDir dir;
  auto out = test::RunCli(dir, {"about"});
  ASSERT_EQ(out.exitCode, 0);
  EXPECT_EQ(out.out.rfind("<html><head>", 0), 0u);
  ASSERT_EQ(test::RunCli(dir, {"about", "--page", dir.Path() + "/about.html"}).exitCode, 0);
  EXPECT_EQ(dir.ReadFile("about.html"), out.out);
  EXPECT_TRUE(dir.Exists("ini")) << "the data directory is prepared";
  EXPECT_TRUE(dir.Exists("log"));
}

}  // namespace
}  // namespace velkor
