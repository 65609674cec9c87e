#include "boards/BoardMenuUpdater.h"

#include <algorithm>

#include "app/AppConfig.h"
#include "app/DataDir.h"
#include "app/UiHooks.h"
#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "boards/BoardCatalog.h"
#include "net/Fetch.h"
#include "net/HttpSession.h"

namespace velkor {
namespace {

constexpr std::size_t kHistorySize = 5;

}  // namespace

BoardMenuUpdater::BoardMenuUpdater(BoardCatalog& boardList, BoardCatalog& favorites,
                                   AppConfig& config)
    : boardList_(boardList), favorites_(favorites), config_(config) {
  config_.ReadMenuHistory(history_);
  if (history_.empty()) history_.emplace_back();
  timestamp_ = config_.ReadMenuTimestamp();
  url_ = history_.front();
}

const std::string& BoardMenuUpdater::Caption() {
  static const std::string caption = Sjis("ボード一覧更新");
  return caption;
}

void BoardMenuUpdater::SetUrl(std::string_view url) {
  url_ = std::string(url);
  rebuild_ = url_ != history_.front();
}

int BoardMenuUpdater::RunUpdate(bool silent) {
  static const std::string notModified = Sjis("更新されていません。");
  static const std::string failed = Sjis("ボード一覧の取得に失敗。");
  runFlag_ = kDownloading;
  std::string url = url_;
  std::string lastModified;
  if (!rebuild_ && boardList_.Exists() && url == history_.front()) lastModified = timestamp_;

  std::string page;
  const std::string sent = lastModified;
  int result;
  {
    HttpSession session;
    session.SetStatusHandler(static_cast<void*>(this), &BoardMenuUpdater::DialogStatus);
    result = FetchResultNumber(FetchFull(session, url, page, lastModified, false).Code());
    session.Close();
  }
  if (result == FetchResultNumber(FetchResult::kOk)) {
    const BoardCatalog::ImportResult applied = ApplyMenu(page);
    if (applied == BoardCatalog::ImportResult::kImported) {
      ReplaceFile(LogDir() + "/board.html", page);
    } else {
      // A page that is no menu, or a board list that could not be written, must not be skipped by
      // the next conditional request.
      lastModified = sent;
      result = applied == BoardCatalog::ImportResult::kNotAMenu ? kNotAMenu : kListNotWritten;
      if (!silent) Ui().ShowMessage(MessageIcon::kWarning, Caption(), MessageOf(applied));
    }
  } else {
    // FetchFull may have taken a Last-Modified value from an answer it then failed to read.
    lastModified = sent;
    if (!silent) {
      if (result == FetchResultNumber(FetchResult::kNotModified)) {
        Ui().ShowMessage(MessageIcon::kInformation, Caption(), notModified);
      } else {
        Ui().ShowMessage(MessageIcon::kWarning, Caption(), failed);
      }
    }
  }
  if (result != kNotAMenu) RememberRun(lastModified);
  runFlag_ = kIdle;
  return result;
}

void BoardMenuUpdater::RememberRun(const std::string& lastModified) {
  auto same = [this](const std::string& item) { return EqualsIgnoreAsciiCase(item, url_); };
  auto found = std::find_if(history_.begin(), history_.end(), same);
  if (found != history_.end()) history_.erase(found);
  history_.insert(history_.begin(), url_);
  if (history_.size() > kHistorySize) history_.resize(kHistorySize);
  timestamp_ = lastModified;
  config_.WriteMenuHistory(history_, false);
  config_.WriteMenuTimestamp(timestamp_, true);
}

BoardCatalog::ImportResult BoardMenuUpdater::ApplyMenu(std::string_view page) {
  favorites_.CompletePendingMoves();
  const BoardCatalog::ImportResult result = boardList_.ImportMenu(page);
  if (result == BoardCatalog::ImportResult::kNotAMenu ||
      result == BoardCatalog::ImportResult::kNotOpen) {
    return result;
  }
  boardList_.BuildTree();
  favorites_.FollowSchemeChanges(boardList_);
  std::vector<std::string> vanished = favorites_.AllUrls();
  const std::vector<std::string> current = boardList_.AllUrls();
  std::erase_if(vanished, [&](const std::string& url) {
    return std::find(current.begin(), current.end(), url) != current.end();
  });
  if (!vanished.empty()) favorites_.ReportMovedBoards(boardList_, vanished);
  return result;
}

std::optional<BoardCatalog::ImportResult> BoardMenuUpdater::ApplyMenuFile(const std::string& path) {
  auto page = ReadWholeFile(path);
  if (!page) return std::nullopt;
  return ApplyMenu(*page);
}

const std::string& BoardMenuUpdater::MessageOf(BoardCatalog::ImportResult result) {
  static const std::string notAMenu = Sjis("ボード一覧ではありません（板が見つかりません）。");
  static const std::string notWritten = Sjis("エラー:ボード一覧を保存できません。");
  static const std::string failed = Sjis("ボード一覧の取得に失敗。");
  switch (result) {
    case BoardCatalog::ImportResult::kNotAMenu:
      return notAMenu;
    case BoardCatalog::ImportResult::kNotWritten:
      return notWritten;
    default:
      return failed;
  }
}

int BoardMenuUpdater::DialogStatus(const char* message, void* context, std::int32_t received,
                                   std::int32_t total) {
  auto* updater = static_cast<BoardMenuUpdater*>(context);
  if (updater == nullptr) return 0;
  if (message != nullptr) {
    if (updater->sink_ != nullptr) {
      updater->sink_->ShowStatusText(message);
    } else {
      Ui().SetStatusText(message);
    }
  } else if (updater->sink_ != nullptr) {
    updater->sink_->ShowProgress(received, total);
  }
  Ui().ProcessEvents();
  return updater->runFlag_ != kDownloading ? 1 : 0;
}

}  // namespace velkor
