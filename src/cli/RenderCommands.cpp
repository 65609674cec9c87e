#include <climits>
#include <optional>
#include <string>

#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "cli/CliCommand.h"
#include "threads/DatRenderer.h"
#include "threads/PopupText.h"
#include "threads/ReplyList.h"
#include "threads/Skin.h"

namespace velkor::cli {
namespace {

int RunRender(CliArgs& args);
int RunPopup(CliArgs& args);

const CliCommand kRender = {"render", "LOG [--title T] [--unread N] [--old-shown N] [--page FILE]",
                            "write the thread page of a log file with the data directory's skin",
                            RunRender};
const CliCommand kPopup = {"popup", "LOG SPEC [--lines N]",
                           "print the pop-up text of the replies SPEC selects in a log file",
                           RunPopup};

// An int option within [min, INT_MAX]; a value out of range is reported like any malformed number.
std::optional<int> TakeBoundedInt(CliArgs& args, std::string_view name, int fallback, int min,
                                  std::string& error) {
  std::optional<long long> value = args.TakeIntOption(name);
  if (!value) return fallback;
  if (*value < min || *value > INT_MAX) {
    error = std::string(name) + " is out of range";
    return std::nullopt;
  }
  return static_cast<int>(*value);
}

int RunRender(CliArgs& args) {
  auto page = args.TakeOption("--page");
  auto title = args.TakeOption("--title");
  std::string rangeError;
  auto unread = TakeBoundedInt(args, "--unread", 1, INT_MIN, rangeError);
  auto oldShown = TakeBoundedInt(args, "--old-shown", 50, INT_MIN, rangeError);
  if (!CheckArgs(args, kRender, 1, 1)) return kExitUsage;
  if (!unread || !oldShown) return UsageError(kRender, rangeError);
  const std::string& log = args.Positionals()[0];
  LoadSkin();
  ReplyList replies;
  if (!LoadReplies(replies, log)) return Failure("cannot read " + log);
  return WritePage(page,
                   RenderPage(replies, Utf8ToSjisLossy(title.value_or("")), *unread, *oldShown));
}

int RunPopup(CliArgs& args) {
  std::string rangeError;
  auto lines = TakeBoundedInt(args, "--lines", INT_MAX, 1, rangeError);
  if (!CheckArgs(args, kPopup, 2, 2)) return kExitUsage;
  if (!lines) return UsageError(kPopup, rangeError);
  const std::string& log = args.Positionals()[0];
  if (!FileExists(log)) return Failure("cannot read " + log);
  std::string text = BuildPopupTextFromLog(log, Utf8ToSjisLossy(args.Positionals()[1]), *lines);
  if (!text.empty()) PrintSjisLine(text);
  return kExitOk;
}

const CliCommandRegistrar kRegisterRender(kRender);
const CliCommandRegistrar kRegisterPopup(kPopup);

}  // namespace
}  // namespace velkor::cli
