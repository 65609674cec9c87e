#include <climits>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "base/FileUtil.h"
#include "base/Result.h"
#include "base/Sjis.h"
#include "cli/CliCommand.h"
#include "net/FetchContext.h"
#include "threads/DatRenderer.h"
#include "threads/NgPage.h"
#include "threads/NgRuleFile.h"
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

// The NG rules for a log, each damaged line of the rule file reported on stderr.
NgFilter NgFilterFor(const std::string& log) {
  std::vector<NgRuleFile::Problem> problems;
  NgFilter filter = LoadNgFilterFor(log, &problems);
  for (const NgRuleFile::Problem& problem : problems) {
    std::fprintf(stderr, "%s\n", SjisToUtf8Lossy(NgProblemText(problem)).c_str());
  }
  return filter;
}

// Whether SIGINT or SIGTERM asked the command to stop (reported as the command's failure).
bool Stopped() {
  return StopOfAllFetchesRequested();
}

// An int option within [min, INT_MAX]; a value out of range is reported like any malformed number.
ResultWith<int> TakeBoundedInt(CliArgs& args, std::string_view name, int fallback, int min) {
  std::optional<long long> value = args.TakeIntOption(name);
  if (!value) return fallback;
  if (*value < min || *value > INT_MAX) return Failed(std::string(name) + " is out of range");
  return static_cast<int>(*value);
}

int RunRender(CliArgs& args) {
  auto page = args.TakeOption("--page");
  auto title = args.TakeOption("--title");
  const ResultWith<int> unread = TakeBoundedInt(args, "--unread", 1, INT_MIN);
  const ResultWith<int> oldShown = TakeBoundedInt(args, "--old-shown", 50, INT_MIN);
  if (!CheckArgs(args, kRender, 1, 1)) return kExitUsage;
  if (!unread.IsOk()) return UsageError(kRender, unread.Reason());
  if (!oldShown.IsOk()) return UsageError(kRender, oldShown.Reason());
  const std::string& log = args.Positionals()[0];
  LoadSkin();
  ReplyList replies;
  if (!LoadReplies(replies, log)) return Failure("cannot read " + log);
  if (Stopped()) return Failure("stopped");
  const std::string sjisTitle = Utf8ToSjisLossy(title.value_or(""));
  const NgFilter filter = NgFilterFor(log);
  if (filter.Empty())
    return WritePage(page, RenderPage(replies, sjisTitle, unread.Value(), oldShown.Value()));
  const NgOutcome outcome = filter.Apply(replies);
  if (Stopped()) return Failure("stopped");
  if (!outcome.switchedOff.empty()) {
    std::fprintf(stderr, "%s\n", SjisToUtf8Lossy(NgSwitchedOffText(outcome.switchedOff)).c_str());
  }
  return WritePage(
      page, RenderFilteredPage(AppSkin(), outcome, sjisTitle, unread.Value(), oldShown.Value()));
}

int RunPopup(CliArgs& args) {
  const ResultWith<int> lines = TakeBoundedInt(args, "--lines", INT_MAX, 1);
  if (!CheckArgs(args, kPopup, 2, 2)) return kExitUsage;
  if (!lines.IsOk()) return UsageError(kPopup, lines.Reason());
  const std::string& log = args.Positionals()[0];
  const std::optional<std::string> logText = ReadWholeFile(log);
  if (!logText) return Failure("cannot read " + log);
  if (Stopped()) return Failure("stopped");
  std::string text = BuildFilteredPopupTextFromLogText(
      *logText, NgFilterFor(log), Utf8ToSjisLossy(args.Positionals()[1]), lines.Value());
  if (!text.empty()) PrintSjisLine(text);
  return kExitOk;
}

const CliCommandRegistrar kRegisterRender(kRender);
const CliCommandRegistrar kRegisterPopup(kPopup);

}  // namespace
}  // namespace velkor::cli
