#include <cstdio>
#include <string>
#include <utility>

#include "app/Settings.h"

#include "app/AppConfig.h"
#include "app/DataDir.h"
#include "app/UiHooks.h"
#include "base/Sjis.h"
#include "boards/BoardCatalog.h"
#include "cli/CliCommand.h"
#include "cli/FavoriteBoardArgs.h"
#include "net/FetchContext.h"
#include "search/RegexEngine.h"
#include "search/SearchWalks.h"
#include "subjects/BoardDir.h"
#include "subjects/SubjectList.h"
#include "sweeper/LogSweeper.h"
#include "sweeper/PathRemoval.h"

namespace velkor::cli {
namespace {

int RunSearch(CliArgs& args);
int RunSweep(CliArgs& args);

const CliCommand kSearch = {
    "search", "--scope N [--case] [--board CATEGORY NAME] PATTERN [--page FILE]",
    "search thread titles or stored logs: scope 0 prints the shown rows of --board whose title "
    "matches (like threads), 1 the logs of --board, 2 the titles and 3 the logs of all favourite "
    "boards (1 to 3 write the result page); --case makes letter case count",
    RunSearch};
const CliCommand kSweep = {"sweep", "[--page FILE]",
                           "remove logs no favourite board owns (to the trash when there is one) "
                           "and write the report page",
                           RunSweep};

// Says on stderr that the search stopped matching because the word cost too much.
void ReportExhaustion(const RegexEngine& engine) {
  if (engine.Exhausted()) {
    std::fprintf(stderr, "%s\n", SjisToUtf8Lossy(RegexEngine::TooCostlyText()).c_str());
  }
}

int RunSearch(CliArgs& args) {
  const auto scope = args.TakeIntOption("--scope");
  const bool caseCounts = args.TakeFlag("--case");
  const auto board = args.TakeOptionPair("--board");
  const auto page = args.TakeOption("--page");
  if (!CheckArgs(args, kSearch, 1, 1)) return kExitUsage;
  if (!scope || *scope < 0 || *scope > 3) return UsageError(kSearch, "--scope takes 0 to 3");
  if ((*scope == 0 || *scope == 1) && !board) {
    return UsageError(kSearch, "scopes 0 and 1 need --board CATEGORY NAME");
  }

  LoadConfiguration();
  OpenCatalogs();
  SubjectList list;
  if (board) {
    if (const int rc = BindFavoriteBoard(board->first, board->second, list)) return rc;
  }

  RegexEngine engine;
  engine.Load();
  engine.SetBudget(kSearchMatchBudget);
  if (const Result<PrepareCode> prepared =
          engine.Prepare(Utf8ToSjisLossy(args.Positionals()[0]), !caseCounts);
      !prepared.IsOk()) {
    return Failure(SjisToUtf8Lossy(prepared.Reason()));
  }
  // SIGINT and SIGTERM stop the walk at its next step; the page then holds what was found.
  const WalkProgress progress = [](const std::string*, int, int) {
    return StopOfAllFetchesRequested() ? 1 : 0;
  };
  if (StopOfAllFetchesRequested()) return Failure("stopped");
  std::string html;
  switch (*scope) {
    case 0:
      list.Fill(kShowTypeMasks[0]);
      SearchShownTitles(list, engine);
      if (StopOfAllFetchesRequested()) return Failure("stopped");
      ReportExhaustion(engine);
      engine.Finish();
      PrintThreadRows(list);
      return kExitOk;
    case 1:
      if (auto found = SearchBoardLogs(list, Favorites(), engine, progress)) {
        html = std::move(*found);
      } else {
        return Failure("the board shown is not among the favourites");
      }
      break;
    case 2:
      html = SearchFavoriteTitles(Favorites(), engine, progress);
      break;
    default:
      html = SearchFavoriteLogs(Favorites(), engine, progress);
      break;
  }
  if (StopOfAllFetchesRequested()) return Failure("stopped");
  ReportExhaustion(engine);
  engine.Finish();
  return WritePage(page, html);
}

int RunSweep(CliArgs& args) {
  auto page = args.TakeOption("--page");
  if (!CheckArgs(args, kSweep, 0, 0)) return kExitUsage;
  OpenCatalogs();
  LogSweeper sweeper(LogDir(), Favorites().AllUrls(), MoveToTrashOrRemove);
  const SweepReport report = sweeper.SweepLogs();
  const int written = WritePage(page, report.page);
  // What could not be removed is told as a warning; the sweep itself has run.
  if (!report.result.IsOk()) {
    Ui().ShowMessage(MessageIcon::kWarning, LogSweeper::ReportTitle(), report.result.Reason());
  }
  return written;
}

const CliCommandRegistrar kRegisterSearch(kSearch);
const CliCommandRegistrar kRegisterSweep(kSweep);

}  // namespace
}  // namespace velkor::cli
