#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "app/DataDir.h"
#include "app/StrayTempFiles.h"
#include "cli/CliCommand.h"
#include "cli/CliUiHooks.h"
#include "net/ConnectOverrides.h"
#include "net/FetchContext.h"

using namespace velkor;
using namespace velkor::cli;

namespace {

// SIGINT and SIGTERM stop the running download as the stop button does, so the command ends through
// its ordinary failure path with its files intact; commands that do not download (render, search)
// look at the same request between their steps (StopOfAllFetchesRequested). A second signal ends
// the process at once. The two signals are unblocked, so one already pending is taken at once.
void StopFetches(int) {
  RequestStopOfAllFetches();
}

void InstallStopSignals() {
  struct sigaction action {};
  action.sa_handler = StopFetches;
  action.sa_flags = SA_RESETHAND;  // no SA_RESTART: a blocking wait returns and sees the stop
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  sigprocmask(SIG_UNBLOCK, &stops, nullptr);
  // A file that outgrows the file size limit is a failed write (EFBIG), reported as any other,
  // rather than the end of the process.
  std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace

int main(int argc, char* argv[]) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string dataDir;
  std::vector<std::string> connectTo;
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg != "--data-dir" && arg != "--connect-to") break;
    if (i + 1 >= args.size()) {
      std::fprintf(stderr, "velkor-cli: %s needs a value\n", arg.c_str());
      return kExitUsage;
    }
    (arg == "--data-dir" ? dataDir : connectTo.emplace_back()) = args[++i];
  }
  if (i >= args.size()) {
    std::fprintf(stderr, "velkor-cli: no command given (try velkor-cli help)\n");
    return kExitUsage;
  }
  Outcome overrides = AddConnectOverridesFromEnvironment();
  if (overrides.IsOk()) overrides = AddConnectOverrides(connectTo);
  if (!overrides.IsOk()) {
    std::fprintf(stderr, "velkor-cli: %s\n", overrides.Reason().c_str());
    return kExitUsage;
  }
  const std::string& name = args[i];
  for (const CliCommand& command : CliCommands()) {
    if (name != command.name) continue;
    InitDataDir(dataDir.empty() ? ExecutableDir() : dataDir);
    // The window may start meanwhile: it must not take this process's temporary files for strays.
    const StrayTempFiles::Guard guard;
    SetUiHooks(&CliHooks());
    InstallStopSignals();
    CliArgs commandArgs(
        std::vector<std::string>(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end()));
    int rc = command.run(commandArgs);
    std::fflush(stdout);
    return rc;
  }
  std::fprintf(stderr, "velkor-cli: unknown command \"%s\" (try velkor-cli help)\n", name.c_str());
  return kExitUsage;
}
