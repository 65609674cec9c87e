#include <cstdio>

#include "app/AboutPage.h"
#include "cli/CliCommand.h"

namespace velkor::cli {
namespace {

int RunHelp(CliArgs& args);
int RunAbout(CliArgs& args);

const CliCommand kHelp = {"help", "", "list the commands and options", RunHelp};
const CliCommand kAbout = {"about", "[--page FILE]", "write the about page", RunAbout};

int RunHelp(CliArgs& args) {
  if (!CheckArgs(args, kHelp, 0, 0)) return kExitUsage;
  std::printf(
      "usage: velkor-cli [--data-dir DIR] [--connect-to HOST=ADDR:PORT]... COMMAND [ARGS]\n"
      "\n"
      "  --data-dir DIR               use DIR as the data directory (default: the program's own)\n"
      "  --connect-to HOST=ADDR:PORT  connect to ADDR:PORT for HOST (also VELKOR_CONNECT_TO)\n"
      "\ncommands:\n");
  for (const CliCommand& command : CliCommands()) {
    std::printf("  %s %s\n      %s\n", command.name, command.usage, command.summary);
  }
  return kExitOk;
}

int RunAbout(CliArgs& args) {
  auto page = args.TakeOption("--page");
  if (!CheckArgs(args, kAbout, 0, 0)) return kExitUsage;
  return WritePage(page, BuildAboutPage());
}

const CliCommandRegistrar kRegisterHelp(kHelp);
const CliCommandRegistrar kRegisterAbout(kAbout);

}  // namespace
}  // namespace velkor::cli
