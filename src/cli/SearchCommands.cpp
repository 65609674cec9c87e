#include <string>

#include "app/Settings.h"

#include "app/AppConfig.h"
#include "app/DataDir.h"
#include "base/Sjis.h"
#include "boards/BoardCatalog.h"
#include "cli/CliCommand.h"
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

// Binds the list to a favourite board as the main window has it when it shows the board.
int BindFavoriteBoard(const std::string& category, const std::string& name, SubjectList& list) {
  const auto sjisCategory = Utf8ToSjis(category);
  const auto sjisName = Utf8ToSjis(name);
  const std::string url =
      sjisCategory && sjisName ? Favorites().BoardUrl(*sjisCategory, *sjisName) : "";
  if (url.empty()) return Failure("no favourite board " + category + " / " + name);
  const auto iniPath = SubjectIniPathOf(url);
  if (!iniPath) {
    return Failure("the board URL would leave the log directory: " + SjisToUtf8Lossy(url));
  }
  if (!list.Bind(*iniPath)) {
    return Failure("cannot create the board directory of " + SjisToUtf8Lossy(url));
  }
  return kExitOk;
}

// Prints the rows as the threads command does: columns 1 to 9, TAB separated.
void PrintRows(const SubjectList& list) {
  for (std::size_t row = 0; row < list.RowCount(); ++row) {
    const auto texts = list.CellTexts(row);
    std::string line = texts[1];
    for (int c = 2; c < kSubjectColumnCount; ++c) line += "\t" + texts[c];
    PrintSjisLine(line);
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

  Config().Open(IniDir() + "/config.ini");
  DisplaySettings display;
  Config().LoadSettings(AppSettings(), display);
  Favorites().Open(IniDir() + "/subscrib.ini");
  SubjectList list;
  if (board) {
    if (const int rc = BindFavoriteBoard(board->first, board->second, list)) return rc;
  }

  RegexEngine engine;
  engine.Load();
  // A word the engine refuses has had its message shown (on stderr).
  if (!engine.Prepare(Utf8ToSjisLossy(args.Positionals()[0]), !caseCounts)) return kExitFailure;
  const bool cancelRequested = false;
  const WalkProgress progress = MakeWalkProgress({}, cancelRequested);
  std::string html;
  switch (*scope) {
    case 0:
      list.Fill(kShowTypeMasks[0]);
      SearchShownTitles(list, engine);
      engine.Finish();
      PrintRows(list);
      return kExitOk;
    case 1:
      if (!SearchBoardLogs(list, Favorites(), engine, progress, &html)) {
        return Failure("the board shown is not among the favourites");
      }
      break;
    case 2:
      html = SearchFavoriteTitles(engine, progress);
      break;
    default:
      html = SearchFavoriteLogs(engine, progress);
      break;
  }
  engine.Finish();
  return WritePage(page, html);
}

int RunSweep(CliArgs& args) {
  auto page = args.TakeOption("--page");
  if (!CheckArgs(args, kSweep, 0, 0)) return kExitUsage;
  Favorites().Open(IniDir() + "/subscrib.ini");
  LogSweeper sweeper(LogDir(), Favorites().AllUrls(), MoveToTrashOrRemove);
  return WritePage(page, sweeper.SweepLogs());
}

const CliCommandRegistrar kRegisterSearch(kSearch);
const CliCommandRegistrar kRegisterSweep(kSweep);

}  // namespace
}  // namespace velkor::cli
