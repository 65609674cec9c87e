#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli/CliCommand.h"
#include "demo/DemoNetwork.h"
#include "demo/DemoServer.h"
#include "demo/DemoTls.h"

namespace velkor::cli {
namespace {

int RunDemoServer(CliArgs& args);

const CliCommand kDemoServer = {
    "demo-server", "[--port N] [--root DIR] [--tls] [--step-seconds N] [--post-interval SECONDS]",
    "serve a generated board network on loopback until SIGINT/SIGTERM; "
    "print the board-menu URL and "
    "the VELKOR_CONNECT_TO value for its hosts",
    RunDemoServer};

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) {
  stopRequested = 1;
}

int RunDemoServer(CliArgs& args) {
  auto port = args.TakeIntOption("--port");
  auto root = args.TakeOption("--root");
  bool tls = args.TakeFlag("--tls");
  auto stepSeconds = args.TakeIntOption("--step-seconds");
  auto postInterval = args.TakeIntOption("--post-interval");
  if (!CheckArgs(args, kDemoServer, 0, 0)) return kExitUsage;
  if (port && (*port < 0 || *port > 65535)) return UsageError(kDemoServer, "bad --port");
  if (stepSeconds && (*stepSeconds < 0 || *stepSeconds > 86400)) {
    return UsageError(kDemoServer, "bad --step-seconds");
  }
  if (postInterval && (*postInterval < 0 || *postInterval > 86400)) {
    return UsageError(kDemoServer, "bad --post-interval");
  }

  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  long long now = std::chrono::duration_cast<std::chrono::seconds>(
                      std::chrono::system_clock::now().time_since_epoch())
                      .count();
  demo::DemoNetwork network(tls ? "https" : "http", now);
  demo::DemoServer server(network);
  server.SetPostInterval(static_cast<int>(postInterval.value_or(10)));
  demo::DemoTls certificates;
  std::string error;
  if (!server.Listen(static_cast<unsigned short>(port.value_or(0)), error)) return Failure(error);
  std::string ownRoot;
  if (tls) {
    std::string dir = root ? *root : std::string();
    if (dir.empty()) {
      std::string pattern =
          (std::filesystem::temp_directory_path() / "velkor-demo-XXXXXX").string();
      if (!mkdtemp(pattern.data())) return Failure("cannot make a temporary directory");
      dir = ownRoot = pattern;
    }
    std::error_code ignored;
    std::filesystem::create_directories(dir, ignored);
    std::string caPath = dir + "/demo-ca.pem";
    if (!certificates.Init(network.Hosts(), caPath, error)) return Failure(error);
    server.UseTls(certificates.Context());
    std::fprintf(stderr, "demo-server: CA certificate %s\n", caPath.c_str());
  }

  std::string connectTo;
  for (const std::string& host : network.Hosts()) {
    connectTo +=
        (connectTo.empty() ? "" : ",") + host + "=127.0.0.1:" + std::to_string(server.Port());
  }
  std::printf("%s\n%s\n", network.MenuUrl().c_str(), connectTo.c_str());
  std::fflush(stdout);
  server.Run(stopRequested, static_cast<int>(stepSeconds.value_or(5)));
  if (!ownRoot.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(ownRoot, ignored);
  }
  return kExitOk;
}

const CliCommandRegistrar kRegisterDemoServer(kDemoServer);

}  // namespace
}  // namespace velkor::cli
