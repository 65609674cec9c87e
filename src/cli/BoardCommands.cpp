#include <cstdio>
#include <optional>
#include <string>

#include "app/AppConfig.h"
#include "app/DataDir.h"
#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "boards/BoardCatalog.h"
#include "boards/BoardMenuUpdater.h"
#include "boards/FavoriteButtonBar.h"
#include "cli/CliCommand.h"
#include "cli/FavoriteBoardArgs.h"

namespace velkor::cli {
namespace {

int RunMenuUpdate(CliArgs& args);
int RunMenuImport(CliArgs& args);
int RunBoards(CliArgs& args);
int RunFavorites(CliArgs& args);
int RunSubscribe(CliArgs& args);
int RunUnsubscribe(CliArgs& args);
int RunPin(CliArgs& args);
int RunUnpin(CliArgs& args);
int RunButtons(CliArgs& args);

const CliCommand kMenuUpdate = {
    "menu-update", "[URL] [--rebuild] [--page FILE]",
    "download the board menu (default: the latest history URL) and apply it; prints updated, "
    "not-modified or failed; a moved-board report goes to FILE",
    RunMenuUpdate};
const CliCommand kMenuImport = {"menu-import", "FILE [--page FILE]",
                                "apply a saved board menu page; the moved-board report, if any, "
                                "goes to --page FILE or stdout",
                                RunMenuImport};
const CliCommand kBoards = {"boards", "", "list the board list: category, name, url", RunBoards};
const CliCommand kFavorites = {"favorites", "", "list the favourite boards: category, name, url",
                               RunFavorites};
const CliCommand kSubscribe = {"subscribe", "CATEGORY NAME",
                               "add a board of the board list to the favourites", RunSubscribe};
const CliCommand kUnsubscribe = {"unsubscribe", "CATEGORY NAME",
                                 "remove a board from the favourites", RunUnsubscribe};
const CliCommand kPin = {
    "pin", "CAPTION", "pin a favourite-bar button (a board name, or \"▽\" + a category)", RunPin};
const CliCommand kUnpin = {"unpin", "CAPTION", "remove a favourite-bar button", RunUnpin};
const CliCommand kButtons = {"buttons", "", "list the pinned favourite-bar captions", RunButtons};

FavoriteButtonBar& LoadedButtons() {
  FavoriteButtons().Load(IniDir() + "/favbrd.lst");
  return FavoriteButtons();
}

// Converts an argument from the terminal to CP932; on failure prints a usage error.
std::optional<std::string> SjisArgument(const CliCommand& command, const std::string& utf8) {
  auto sjis = Utf8ToSjis(utf8);
  if (!sjis) UsageError(command, "\"" + utf8 + "\" is not UTF-8 text that Shift_JIS can hold");
  return sjis;
}

void PrintBoards(const BoardCatalog& catalog) {
  for (const BoardEntry& board : catalog.AllBoards()) {
    PrintFields({board.category, board.name, board.url});
  }
}

// Writes the moved-board report, if there is one: to FILE, else to stdout when `toStdout`, else
// only a note on stderr.
int WriteReport(const std::string& report, const std::optional<std::string>& page, bool toStdout) {
  if (report.empty()) return kExitOk;
  if (page || toStdout) return WritePage(page, report);
  std::fprintf(stderr,
               "velkor-cli: moved boards were reported; use --page FILE to keep the page\n");
  return kExitOk;
}

int RunMenuUpdate(CliArgs& args) {
  auto page = args.TakeOption("--page");
  bool rebuild = args.TakeFlag("--rebuild");
  if (!CheckArgs(args, kMenuUpdate, 0, 1)) return kExitUsage;
  LoadConfiguration();  // the download honours the settings (FetchTimeLimit, ...)
  OpenCatalogs();
  BoardMenuUpdater updater(BoardList(), Favorites(), Config());
  if (!args.Positionals().empty()) updater.SetUrl(args.Positionals()[0]);
  if (rebuild) updater.SetRebuild(true);
  const MenuUpdateResult result = updater.RunUpdate();
  if (result.IsOk()) {
    PrintLine("updated");
    return WriteReport(result.MovedReport(), page, false);
  }
  if (result.Code() == MenuUpdateCode::kNotModified) {
    PrintLine("not-modified");
    return kExitOk;
  }
  PrintLine("failed");
  // A failed download has told its status texts already.
  if (result.Code() != MenuUpdateCode::kFetchFailed) PrintSjisError(result.Reason());
  WriteReport(result.MovedReport(), page, false);
  return kExitFailure;
}

int RunMenuImport(CliArgs& args) {
  auto page = args.TakeOption("--page");
  if (!CheckArgs(args, kMenuImport, 1, 1)) return kExitUsage;
  Config().Open(IniDir() + "/config.ini");
  OpenCatalogs();
  BoardMenuUpdater updater(BoardList(), Favorites(), Config());
  const std::string& file = args.Positionals()[0];
  auto text = ReadWholeFile(file);
  if (!text) return Failure("cannot read " + file);
  const MenuUpdateResult result = updater.ApplyMenu(*text);
  switch (result.Code()) {
    case MenuUpdateCode::kOk:
      return WriteReport(result.MovedReport(), page, true);
    case MenuUpdateCode::kNotAMenu:
      return Failure(file + " names no board: it is no board menu");
    case MenuUpdateCode::kListNotWritten:
    case MenuUpdateCode::kNotOpen:
      return Failure("cannot write " + BoardList().Path());
    default:
      // What was applied is reported as well as what was not.
      WriteReport(result.MovedReport(), page, true);
      PrintSjisError(result.Reason());
      return kExitFailure;
  }
}

int RunBoards(CliArgs& args) {
  if (!CheckArgs(args, kBoards, 0, 0)) return kExitUsage;
  OpenCatalogs();
  PrintBoards(BoardList());
  return kExitOk;
}

int RunFavorites(CliArgs& args) {
  if (!CheckArgs(args, kFavorites, 0, 0)) return kExitUsage;
  OpenCatalogs();
  PrintBoards(Favorites());
  return kExitOk;
}

int RunSubscribe(CliArgs& args) {
  if (!CheckArgs(args, kSubscribe, 2, 2)) return kExitUsage;
  auto category = SjisArgument(kSubscribe, args.Positionals()[0]);
  auto name = SjisArgument(kSubscribe, args.Positionals()[1]);
  if (!category || !name) return kExitUsage;
  OpenCatalogs();
  // The favourite takes the category and name exactly as the board list writes them.
  for (const BoardEntry& board : BoardList().AllBoards()) {
    if (!EqualsIgnoreAsciiCase(board.category, *category) ||
        !EqualsIgnoreAsciiCase(board.name, *name)) {
      continue;
    }
    if (Favorites().Contains(board.category, board.name)) {
      return Failure(args.Positionals()[1] + " is a favourite already");
    }
    const CatalogResult added = Favorites().AddBoard(
        board.category, board.name, BoardList().BoardUrl(board.category, board.name));
    if (!added.IsOk()) return Failure("cannot write " + Favorites().Path());
    return kExitOk;
  }
  return Failure("the board list has no board " + args.Positionals()[1] + " in " +
                 args.Positionals()[0]);
}

int RunUnsubscribe(CliArgs& args) {
  if (!CheckArgs(args, kUnsubscribe, 2, 2)) return kExitUsage;
  auto category = SjisArgument(kUnsubscribe, args.Positionals()[0]);
  auto name = SjisArgument(kUnsubscribe, args.Positionals()[1]);
  if (!category || !name) return kExitUsage;
  OpenCatalogs();
  if (!Favorites().Contains(*category, *name)) {
    return Failure("the favourites have no board " + args.Positionals()[1] + " in " +
                   args.Positionals()[0]);
  }
  if (!Favorites().RemoveBoard(*category, *name).IsOk()) {
    return Failure("cannot write " + Favorites().Path());
  }
  return kExitOk;
}

int RunPin(CliArgs& args) {
  if (!CheckArgs(args, kPin, 1, 1)) return kExitUsage;
  auto caption = SjisArgument(kPin, args.Positionals()[0]);
  if (!caption) return kExitUsage;
  const ButtonResult pinned = LoadedButtons().AddButton(*caption);
  if (pinned.Code() == ButtonCode::kNotWritten)
    return Failure("cannot write " + FavoriteButtons().Path());
  if (!pinned.IsOk()) {
    return Failure("cannot pin \"" + args.Positionals()[0] + "\" (pinned already, or no caption)");
  }
  return kExitOk;
}

int RunUnpin(CliArgs& args) {
  if (!CheckArgs(args, kUnpin, 1, 1)) return kExitUsage;
  auto caption = SjisArgument(kUnpin, args.Positionals()[0]);
  if (!caption) return kExitUsage;
  const ButtonResult unpinned = LoadedButtons().RemoveButton(*caption);
  if (unpinned.Code() == ButtonCode::kNotWritten) {
    return Failure("cannot write " + FavoriteButtons().Path());
  }
  if (!unpinned.IsOk()) return Failure("no button \"" + args.Positionals()[0] + "\" is pinned");
  return kExitOk;
}

int RunButtons(CliArgs& args) {
  if (!CheckArgs(args, kButtons, 0, 0)) return kExitUsage;
  for (const std::string& caption : LoadedButtons().Captions()) PrintSjisLine(caption);
  return kExitOk;
}

const CliCommandRegistrar kRegisterMenuUpdate(kMenuUpdate);
const CliCommandRegistrar kRegisterMenuImport(kMenuImport);
const CliCommandRegistrar kRegisterBoards(kBoards);
const CliCommandRegistrar kRegisterFavorites(kFavorites);
const CliCommandRegistrar kRegisterSubscribe(kSubscribe);
const CliCommandRegistrar kRegisterUnsubscribe(kUnsubscribe);
const CliCommandRegistrar kRegisterPin(kPin);
const CliCommandRegistrar kRegisterUnpin(kUnpin);
const CliCommandRegistrar kRegisterButtons(kButtons);

}  // namespace
}  // namespace velkor::cli
