#include <optional>
#include <string>

#include "app/AppConfig.h"
#include "app/DataDir.h"
#include "app/UiHooks.h"
#include "base/FileUtil.h"
#include "base/Integer.h"
#include "base/Sjis.h"
#include "boards/BoardCatalog.h"
#include "cli/CliCommand.h"
#include "cli/FavoriteBoardArgs.h"
#include "net/CacheServerUrl.h"
#include "subjects/BoardDir.h"
#include "subjects/SubjectList.h"
#include "subjects/SubjectText.h"
#include "subjects/ThreadState.h"
#include "subjects/UpdateResult.h"
#include "threads/DatRenderer.h"
#include "threads/Skin.h"
#include "threads/ThreadLogFetch.h"

namespace velkor::cli {
namespace {

int RunRefresh(CliArgs& args);
int RunThreads(CliArgs& args);
int RunOpen(CliArgs& args);
int RunFetch(CliArgs& args);
int RunBookmark(CliArgs& args);
int RunDeleteLog(CliArgs& args);

const CliCommand kRefresh = {"refresh", "CATEGORY NAME",
                             "download and merge the thread list of a favourite board; prints "
                             "merged or unchanged (exit 1 with the reason when it failed)",
                             RunRefresh};
const CliCommand kThreads = {
    "threads", "CATEGORY NAME [--show N] [--sort COLUMN]...",
    "print the thread list of a favourite board (columns 1-9, TAB "
    "separated) for show type N (0-5), sorted by each COLUMN (0-9) in turn",
    RunThreads};
const CliCommand kOpen = {"open", "CATEGORY NAME KEY [--page FILE]",
                          "bring a thread log up to date, mark it read and write its page to FILE; "
                          "prints the first unread reply number",
                          RunOpen};
const CliCommand kFetch = {"fetch", "CATEGORY NAME KEY",
                           "download a thread log; prints stored or unchanged (exit 1 with the "
                           "reason when it failed)",
                           RunFetch};
const CliCommand kBookmark = {"bookmark", "CATEGORY NAME KEY N",
                              "store N as the first unread reply of a thread", RunBookmark};
const CliCommand kDeleteLog = {"delete-log", "CATEGORY NAME KEY",
                               "delete a thread log and reset its reading state", RunDeleteLog};

// Exit 1 with the result's reason on stderr when the step failed; 0 otherwise. A file that could
// not be written is also told as the status text it always was.
int FailureOf(const UpdateResult& result) {
  if (result.Code() == Update::kOk || result.Code() == Update::kUnchanged) return kExitOk;
  if (result.Code() == Update::kNotWritten) Ui().SetStatusText(result.Reason());
  PrintSjisError(result.Reason());
  return kExitFailure;
}

// Before a download of the board's files: the cache server's board list; its warning goes to
// stderr.
void PrepareCacheServerFor(const SubjectList& list) {
  Outcome prepared = PrepareCacheServer(list.BoardUrlFromDir());
  if (!prepared.IsOk()) Ui().ShowMessage(MessageIcon::kWarning, Sjis("警告"), prepared.Reason());
}

// "<key>.dat" from KEY given with or without ".dat"; empty when it is no thread key.
std::string DatNameOf(std::string key) {
  if (!key.ends_with(".dat")) key += ".dat";
  return IsThreadDatName(key) ? key : std::string();
}

int RunRefresh(CliArgs& args) {
  if (!CheckArgs(args, kRefresh, 2, 2)) return kExitUsage;
  SubjectList list;
  if (int rc = BindFavoriteBoard(args.Positionals()[0], args.Positionals()[1], list)) return rc;
  PrepareCacheServerFor(list);
  UpdateResult refreshed = list.Refresh();
  if (int rc = FailureOf(refreshed)) return rc;
  PrintLine(refreshed.IsOk() ? "merged" : "unchanged");
  return kExitOk;
}

int RunThreads(CliArgs& args) {
  auto show = args.TakeIntOption("--show");
  std::vector<std::string> sorts = args.TakeOptionAll("--sort");
  if (!CheckArgs(args, kThreads, 2, 2)) return kExitUsage;
  if (show && (*show < 0 || *show >= kShowTypeCount)) {
    return UsageError(kThreads, "--show takes 0 to 5");
  }
  std::vector<int> columns;
  for (const std::string& sort : sorts) {
    if (sort.size() != 1 || sort[0] < '0' || sort[0] > '9') {
      return UsageError(kThreads, "--sort takes a column from 0 to 9");
    }
    columns.push_back(sort[0] - '0');
  }
  SubjectList list;
  if (int rc = BindFavoriteBoard(args.Positionals()[0], args.Positionals()[1], list)) return rc;
  list.Fill(kShowTypeMasks[static_cast<std::size_t>(show.value_or(0))]);
  for (int column : columns) list.SortBy(column);
  PrintThreadRows(list);
  return kExitOk;
}

int RunOpen(CliArgs& args) {
  auto page = args.TakeOption("--page");
  if (!CheckArgs(args, kOpen, 3, 3)) return kExitUsage;
  std::string datName = DatNameOf(args.Positionals()[2]);
  if (datName.empty()) return UsageError(kOpen, "KEY is no thread key");
  SubjectList list;
  if (int rc = BindFavoriteBoard(args.Positionals()[0], args.Positionals()[1], list)) return rc;
  list.Fill(ShowTypeMask(ShowType::kAll));
  int row = list.IndexOfDat(datName);
  PrepareCacheServerFor(list);
  UpdateResult updated = UpdateThreadLog(list, datName);
  if (int rc = FailureOf(updated)) return rc;
  if (row >= 0) list.RefreshRow(static_cast<std::size_t>(row));
  if (!FileExists(list.Dir() + datName)) return Failure("no log of " + datName);
  std::int32_t firstUnread = list.UnreadOf(datName);
  std::string title =
      row >= 0 ? list.Row(static_cast<std::size_t>(row)).title : ReadTitle(*list.Ini(), datName);
  if (row >= 0) {
    list.SetUnreadAt(static_cast<std::size_t>(row), datName, false, -1);
  } else {
    list.SetUnread(datName, -1, false);
  }
  if (!list.Flush()) return Failure("cannot write " + list.Dir() + "subject.ini");
  // The page a thread tab shows after the click (the last 50 read replies, the unread marker before
  // the first unread one) goes only to --page FILE: stdout carries the number.
  if (page) {
    LoadSkin();
    constexpr int kOldShown = 50;
    std::string html = RenderThreadLog(list.Dir() + datName, title, firstUnread, kOldShown);
    if (int rc = WritePage(page, html)) return rc;
  }
  PrintLine(std::to_string(firstUnread));
  return kExitOk;
}

int RunFetch(CliArgs& args) {
  if (!CheckArgs(args, kFetch, 3, 3)) return kExitUsage;
  std::string datName = DatNameOf(args.Positionals()[2]);
  if (datName.empty()) return UsageError(kFetch, "KEY is no thread key");
  SubjectList list;
  if (int rc = BindFavoriteBoard(args.Positionals()[0], args.Positionals()[1], list)) return rc;
  PrepareCacheServerFor(list);
  UpdateResult fetched = FetchThreadLog(list, datName);
  if (int rc = FailureOf(fetched)) return rc;
  PrintLine(fetched.IsOk() ? "stored" : "unchanged");
  return kExitOk;
}

int RunBookmark(CliArgs& args) {
  if (!CheckArgs(args, kBookmark, 4, 4)) return kExitUsage;
  std::string datName = DatNameOf(args.Positionals()[2]);
  if (datName.empty()) return UsageError(kBookmark, "KEY is no thread key");
  const std::string& text = args.Positionals()[3];
  // N may be negative (everything read); a "+" was never taken.
  std::optional<std::int32_t> n =
      text.starts_with('+') ? std::nullopt : ParseInteger<std::int32_t>(text);
  if (!n) return UsageError(kBookmark, "N is no number");
  SubjectList list;
  if (int rc = BindFavoriteBoard(args.Positionals()[0], args.Positionals()[1], list)) return rc;
  list.SetUnread(datName, *n, false);
  if (!list.Flush()) return Failure("cannot write " + SubjectIniPath(list.Dir()));
  return kExitOk;
}

int RunDeleteLog(CliArgs& args) {
  if (!CheckArgs(args, kDeleteLog, 3, 3)) return kExitUsage;
  std::string datName = DatNameOf(args.Positionals()[2]);
  if (datName.empty()) return UsageError(kDeleteLog, "KEY is no thread key");
  SubjectList list;
  if (int rc = BindFavoriteBoard(args.Positionals()[0], args.Positionals()[1], list)) return rc;
  if (!list.ResetThread(datName, true))
    return Failure("cannot write " + SubjectIniPath(list.Dir()));
  if (FileExists(list.Dir() + datName)) return Failure("cannot delete " + list.Dir() + datName);
  return kExitOk;
}

const CliCommandRegistrar kRegisterRefresh(kRefresh);
const CliCommandRegistrar kRegisterThreads(kThreads);
const CliCommandRegistrar kRegisterOpen(kOpen);
const CliCommandRegistrar kRegisterFetch(kFetch);
const CliCommandRegistrar kRegisterBookmark(kBookmark);
const CliCommandRegistrar kRegisterDeleteLog(kDeleteLog);

}  // namespace
}  // namespace velkor::cli
