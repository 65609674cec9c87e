#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "base/FileUtil.h"
#include "support/CliRunner.h"
#include "support/HttpTestServer.h"
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

// The [Kodawari] FetchTimeLimit of the data directory ends a download whose server never answers,
// before a single wait runs out (which would report "警告:タイムアウト").
TEST_F(NetCommandsTest, GetHonoursTheConfiguredTimeLimit) {
  dataDir.WriteFile("ini/config.ini", "[Kodawari]\r\nFetchTimeLimit=1\r\n\r\n");
  test::HttpTestServer server;
  server.AddConnection(test::HttpTestServer::Script().ReadRequest());
  auto result =
      RunCli(dataDir, {"--connect-to", "stall.test=127.0.0.1:" + std::to_string(server.Port()),
                       "get", "http://stall.test/x"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "-6\n\n");
  EXPECT_NE(result.err.find("タイムアウト."), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find("警告:タイムアウト"), std::string::npos) << result.err;
}

// A connect override that could never apply (or would connect nowhere) is a usage error naming it,
// given on the command line or in VELKOR_CONNECT_TO, before any command runs.
struct RefusedOverride {
  const char* name;
  const char* item;
  const char* shown;   // how the message names it
  bool inEnvironment;  // also refused there (the environment splits at commas)
};

class RefusedOverrideTest : public NetCommandsTest,
                            public testing::WithParamInterface<RefusedOverride> {};

TEST_P(RefusedOverrideTest, IsAUsageError) {
  const RefusedOverride& c = GetParam();
  auto given = RunCli(dataDir, {"--connect-to", c.item, "help"});
  EXPECT_EQ(given.exitCode, 2);
  EXPECT_NE(given.err.find(std::string("velkor-cli: --connect-to")), std::string::npos)
      << given.err;
  EXPECT_NE(given.err.find(c.shown), std::string::npos) << given.err;
  EXPECT_TRUE(given.out.empty());
  if (!c.inEnvironment) return;
  ::setenv("VELKOR_CONNECT_TO", (std::string("ok.test=127.0.0.1:1,") + c.item).c_str(), 1);
  auto fromEnvironment = RunCli(dataDir, {"help"});
  ::unsetenv("VELKOR_CONNECT_TO");
  EXPECT_EQ(fromEnvironment.exitCode, 2);
  EXPECT_NE(fromEnvironment.err.find(c.shown), std::string::npos) << fromEnvironment.err;
}

INSTANTIATE_TEST_SUITE_P(
    Items, RefusedOverrideTest,
    testing::Values(
        RefusedOverride{"BlankBeforeTheEquals", "ex.5ch.io =127.0.0.1:1", "\"ex.5ch.io =", true},
        RefusedOverride{"CommaBeforeTheHost", ",ex.5ch.io=127.0.0.1:1", "\",ex.5ch.io=", false},
        RefusedOverride{"SecondEquals", "ex.5ch.io==127.0.0.1:1", "\"ex.5ch.io==", true},
        RefusedOverride{"ControlByte", "ex.5ch.io\x01=127.0.0.1:1", "\"ex.5ch.io\\x01=", true},
        RefusedOverride{"BlankInTheAddress", "ex.5ch.io=127.0.0 .1:1", "127.0.0 .1", true},
        RefusedOverride{"NoAddress", "ex.5ch.io=:1", "\"ex.5ch.io=:1\"", true},
        RefusedOverride{"PortOfTheHostIsNoNumber", "ex.5ch.io:x=127.0.0.1:1", "ex.5ch.io:x", true}),
    [](const auto& info) { return std::string(info.param.name); });

// SIGINT or SIGTERM while a download waits stops it as the stop button does: the command ends
// through its failure path (exit 1, "中断しました.") instead of being killed, and writes nothing.
class StopSignalTest : public NetCommandsTest, public testing::WithParamInterface<int> {};

TEST_P(StopSignalTest, EndsTheDownloadCleanly) {
  test::HttpTestServer server;
  server.AddConnection(
      test::HttpTestServer::Script().ReadRequest().Pause(std::chrono::seconds(20)));
  std::string out = dataDir.Path() + "/body.txt";
  std::vector<std::string> args{VELKOR_CLI_PATH,
                                "--data-dir",
                                dataDir.Path(),
                                "--connect-to",
                                "stall.test=127.0.0.1:" + std::to_string(server.Port()),
                                "get",
                                "http://stall.test/x",
                                "--out",
                                out};
  int errPipe[2];
  ASSERT_EQ(::pipe(errPipe), 0);
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::dup2(errPipe[1], 2);
    ::close(errPipe[0]);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(errPipe[1]);
  for (int i = 0; i < 1000 && server.Requests().empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(server.Requests().size(), 1u);
  ::kill(pid, GetParam());
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  std::string err;
  char buffer[4096];
  for (ssize_t n; (n = ::read(errPipe[0], buffer, sizeof buffer)) > 0;) err.append(buffer, n);
  ::close(errPipe[0]);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(err.find("中断しました."), std::string::npos) << err;
  EXPECT_FALSE(FileExists(out));
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignalTest, testing::Values(SIGINT, SIGTERM),
                         [](const auto& info) {
                           return std::string(info.param == SIGINT ? "Int" : "Term");
                         });

}  // namespace
}  // namespace velkor
