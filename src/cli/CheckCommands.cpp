// velkor-cli check and next: the new-reply check of the favourite boards, and the candidates for a
// thread's successor.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/UiHooks.h"
#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "boards/BoardCatalog.h"
#include "cli/CliCommand.h"
#include "cli/CliUiHooks.h"
#include "cli/FavoriteBoardArgs.h"
#include "net/CacheServerUrl.h"
#include "subjects/NewReplyCheck.h"
#include "subjects/SubjectList.h"
#include "subjects/SubjectText.h"
#include "subjects/ThreadState.h"
#include "threads/NextThreadsOnBoard.h"
#include "threads/ThreadLogFetch.h"

namespace velkor::cli {
namespace {

int RunCheck(CliArgs& args);
int RunNext(CliArgs& args);

const CliCommand kCheck = {
    "check", "[--fetch]",
    "refresh the thread list of every favourite board and print each thread with new replies: "
    "CATEGORY, BOARD, KEY, NEW, TITLE (TAB separated); with --fetch also download their logs, "
    "NEW being the replies added (exit 1 when a board or a download failed, each named on stderr)",
    RunCheck};
const CliCommand kNext = {"next", "CATEGORY NAME KEY",
                          "refresh a favourite board's thread list and print up to 5 candidates "
                          "for the thread's successor, best first: KEY, SCORE (0-100), TITLE",
                          RunNext};

// The check's own output is its lines: the downloads' status texts are not written.
class QuietHooks final : public UiHooks {
 public:
  void ShowMessage(MessageIcon, const std::string&, const std::string&) override {}
  void ShowHtmlPage(const std::string&, const std::string&) override {}
  void SetStatusText(const std::string&) override {}
  void ProcessEvents() override {}
};

std::string KeyOf(const std::string& datName) {
  return datName.substr(0, datName.size() - 4);
}

// The title a stored log's first line carries (its fifth "<>" field), or empty.
std::string LogTitle(const std::string& path) {
  const std::optional<std::string> log = ReadWholeFile(path);
  if (!log) return {};
  std::string_view line = std::string_view(*log).substr(0, log->find('\n'));
  for (int field = 0; field < 4; ++field) {
    const std::size_t separator = line.find("<>");
    if (separator == std::string_view::npos) return {};
    line.remove_prefix(separator + 2);
  }
  return std::string(line.substr(0, line.find("<>")));
}

int RunCheck(CliArgs& args) {
  const bool fetch = args.TakeFlag("--fetch");
  if (!CheckArgs(args, kCheck, 0, 0)) return kExitUsage;
  LoadConfiguration();
  OpenCatalogs();
  std::vector<CheckBoard> boards;
  for (const BoardEntry& entry : Favorites().AllBoards()) {
    boards.push_back({entry.category, entry.name, entry.url});
  }
  CheckOptions options;
  if (fetch) {
    options.fetchLog = [](SubjectList& list, const std::string& datName) {
      ThreadFetchReport fetched = FetchThreadReplies(list, datName);
      return CheckedFetch{fetched.result, fetched.added};
    };
  }
  QuietHooks quiet;
  SetUiHooks(&quiet);
  NewReplyCheck check;
  CheckReport report = check.Run(boards, options);
  SetUiHooks(&CliHooks());

  for (const NewReplyThread& thread : report.threads) {
    const CheckBoard& board = boards[thread.board];
    PrintFields({board.category, board.name, KeyOf(thread.item.datName),
                 std::to_string(thread.newReplies), thread.item.title});
  }
  if (!report.cacheServerWarning.empty()) PrintSjisError(report.cacheServerWarning);
  for (std::size_t index = 0; index < boards.size(); ++index) {
    if (report.boards[index].state != BoardCheckState::kFailed) continue;
    PrintSjisError(boards[index].category + Sjis("：") + boards[index].name + ": " +
                   report.boards[index].reason);
  }
  for (const ThreadCheckFailure& failure : report.fetchFailures) {
    const CheckBoard& board = boards[failure.board];
    PrintSjisError(board.category + Sjis("：") + board.name + " " + KeyOf(failure.datName) + ": " +
                   failure.reason);
  }
  return report.FailedBoards() == 0 && report.fetchFailures.empty() ? kExitOk : kExitFailure;
}

int RunNext(CliArgs& args) {
  if (!CheckArgs(args, kNext, 3, 3)) return kExitUsage;
  std::string datName = args.Positionals()[2];
  if (!datName.ends_with(".dat")) datName += ".dat";
  if (!IsThreadDatName(datName)) return UsageError(kNext, "KEY is no thread key");
  SubjectList list;
  if (int rc = BindFavoriteBoard(args.Positionals()[0], args.Positionals()[1], list)) return rc;
  if (Outcome prepared = PrepareCacheServer(list.BoardUrlFromDir()); !prepared.IsOk()) {
    Ui().ShowMessage(MessageIcon::kWarning, Sjis("警告"), prepared.Reason());
  }
  UpdateResult refreshed = list.Refresh();
  if (!refreshed.IsOk() && refreshed.Code() != Update::kUnchanged) {
    PrintSjisError(refreshed.Reason());
    return kExitFailure;
  }
  ThreadItem old = list.ReadItem(datName);
  if (old.title.empty()) old.title = LogTitle(list.Dir() + datName);
  if (old.title.empty()) return Failure("no title known for " + datName);
  for (const NextThreadCandidate& candidate : NextThreadsOnBoard(list, datName, old.title)) {
    PrintFields({candidate.key, std::to_string(candidate.score), candidate.title});
  }
  return kExitOk;
}

const CliCommandRegistrar kRegisterCheck(kCheck);
const CliCommandRegistrar kRegisterNext(kNext);

}  // namespace
}  // namespace velkor::cli
