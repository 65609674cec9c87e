#include "subjects/NewReplyCheck.h"

#include <algorithm>

#include "base/Sjis.h"
#include "net/CacheServerUrl.h"
#include "net/FetchContext.h"
#include "net/StatusTexts.h"
#include "subjects/BoardDir.h"
#include "subjects/ThreadState.h"

namespace velkor {
namespace {

const std::string& NoBoardFolderText() {
  static const std::string text = Sjis("エラー:板のURLが正しくありません");
  return text;
}

const std::string& NoFolderText() {
  static const std::string text = Sjis("エラー:板のフォルダを作れません");
  return text;
}

}  // namespace

std::size_t CheckReport::FailedBoards() const {
  return static_cast<std::size_t>(std::count_if(
      boards.begin(), boards.end(),
      [](const BoardCheckResult& board) { return board.state == BoardCheckState::kFailed; }));
}

CheckReport NewReplyCheck::Run(const std::vector<CheckBoard>& boards, const CheckOptions& options) {
  CheckReport report;
  report.boards.resize(boards.size());
  running_ = true;
  stopRequested_ = false;
  if (options.progress) options.progress(0, boards.size());
  for (std::size_t index = 0; index < boards.size() && !stopRequested_; ++index) {
    const CheckBoard& board = boards[index];
    BoardCheckResult& result = report.boards[index];
    const std::optional<std::string> boardDir = SafeBoardDir(board.url);
    if (!boardDir) {
      result = {BoardCheckState::kFailed, NoBoardFolderText()};
    } else {
      SubjectList own;
      SubjectList* shown = options.shownList ? options.shownList() : nullptr;
      const std::string& dir = *boardDir;
      SubjectList& list =
          shown != nullptr && shown->IsBound() && shown->Dir() == dir ? *shown : own;
      if (&list == &own && !own.Bind(SubjectIniPath(dir), board.url)) {
        result = {BoardCheckState::kFailed, NoFolderText()};
      } else {
        current_ = &list;
        // The check goes on with or without the cache server; its warning is told once.
        if (Outcome prepared = PrepareCacheServer(list.BoardUrlFromDir());
            !prepared.IsOk() && report.cacheServerWarning.empty()) {
          report.cacheServerWarning = prepared.Reason();
        }
        UpdateResult refreshed =
            stopRequested_ ? UpdateResult{Update::kFailed, net_text::Aborted()} : list.Refresh();
        if (refreshed.Code() == Update::kOk) {
          result.state = BoardCheckState::kChanged;
        } else if (refreshed.Code() == Update::kUnchanged) {
          result.state = BoardCheckState::kUnchanged;
        } else {
          // A stopped download fails with whatever its transport saw; the user asked for it.
          result = {BoardCheckState::kFailed,
                    stopRequested_ ? net_text::Aborted() : refreshed.Reason()};
        }
        // A failed board still shows what its stored list knows: those replies are still new.
        if (list.IsBound() && list.Dir() == dir) {
          for (ThreadItem& item : list.ThreadsWithNewReplies()) {
            NewReplyThread found{index, std::move(item), 0};
            found.newReplies = found.item.resCount - found.item.gotCount;
            if (options.fetchLog && !stopRequested_) {
              CheckedFetch fetched = options.fetchLog(list, found.item.datName);
              if (!fetched.result.IsOk() && fetched.result.Code() != Update::kUnchanged) {
                report.fetchFailures.push_back(
                    {index, found.item.datName,
                     stopRequested_ ? net_text::Aborted() : fetched.result.Reason()});
              }
              found.newReplies = fetched.added;
              if (list.IsBound() && list.Dir() == dir)
                found.item = list.ReadItem(found.item.datName);
            }
            report.threads.push_back(std::move(found));
          }
        }
        current_ = nullptr;
      }
    }
    if (options.progress) options.progress(index + 1, boards.size());
  }
  report.stopped = stopRequested_;
  running_ = false;
  return report;
}

void NewReplyCheck::Stop() {
  if (!running_) return;
  stopRequested_ = true;
  if (current_ != nullptr && current_->RunningFetch() != nullptr) {
    current_->RunningFetch()->abortRequested = 1;
  }
}

}  // namespace velkor
