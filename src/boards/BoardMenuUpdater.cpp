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

const std::string& FailedText() {
  static const std::string text = Sjis("ボード一覧の取得に失敗。");
  return text;
}

const std::string& ListNotWrittenText() {
  static const std::string text = Sjis("エラー:ボード一覧を保存できません。");
  return text;
}

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

MenuUpdateResult BoardMenuUpdater::RunUpdate() {
  runFlag_ = kDownloading;
  std::string url = url_;
  std::string lastModified;
  if (!rebuild_ && boardList_.Exists() && url == history_.front()) lastModified = timestamp_;

  std::string page;
  const std::string sent = lastModified;
  FetchResult fetched = FetchResult::kFailed;
  {
    HttpSession session;
    session.SetStatusHandler(static_cast<void*>(this), &BoardMenuUpdater::DialogStatus);
    fetched = FetchFull(session, url, page, lastModified, false).Code();
    session.Close();
  }
  MenuUpdateResult result;
  if (fetched == FetchResult::kOk) {
    result = ApplyMenu(page);
    const bool applied = result.IsOk() || result.Code() == MenuUpdateCode::kLogsNotMoved;
    if (applied) {
      if (Result<MenuUpdateCode> kept = KeepPage(page); !kept.IsOk() && result.IsOk()) {
        result = MenuUpdateResult(kept.Code(), kept.Reason(), result.MovedReport());
      }
    } else {
      // A page that is no menu, or a menu not wholly written, must not be skipped by the next
      // conditional request.
      lastModified = sent;
    }
  } else {
    // FetchFull may have taken a Last-Modified value from an answer it then failed to read.
    lastModified = sent;
    if (fetched == FetchResult::kNotModified) {
      static const std::string notModified = Sjis("更新されていません。");
      result = MenuUpdateResult(MenuUpdateCode::kNotModified, notModified, {}, fetched);
    } else {
      result = MenuUpdateResult(MenuUpdateCode::kFetchFailed, FailedText(), {}, fetched);
    }
  }
  if (result.Code() != MenuUpdateCode::kNotAMenu) RememberRun(lastModified);
  runFlag_ = kIdle;
  return result;
}

Result<MenuUpdateCode> BoardMenuUpdater::KeepPage(const std::string& page) {
  static const std::string cannotSave = Sjis("エラー:保存できません: ");
  const std::string path = LogDir() + "/board.html";
  if (!ReplaceFile(path, page)) return {MenuUpdateCode::kPageNotKept, cannotSave + path};
  return {};
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

MenuUpdateResult BoardMenuUpdater::ApplyMenu(std::string_view page) {
  favorites_.CompletePendingMoves();
  const CatalogResult imported = boardList_.ImportMenu(page);
  switch (imported.Code()) {
    case CatalogCode::kOk:
      break;
    case CatalogCode::kNotAMenu:
      return MenuUpdateResult(MenuUpdateCode::kNotAMenu, imported.Reason());
    case CatalogCode::kNotWritten:
      return MenuUpdateResult(MenuUpdateCode::kListNotWritten, ListNotWrittenText());
    default:
      return MenuUpdateResult(MenuUpdateCode::kNotOpen, FailedText());
  }
  if (!boardList_.BuildTree().IsOk()) {
    return MenuUpdateResult(MenuUpdateCode::kListNotWritten, ListNotWrittenText());
  }
  // Without favourites there is nothing that could have moved.
  if (!favorites_.IsOpen()) return {};
  if (CatalogResult followed = favorites_.FollowSchemeChanges(boardList_); !followed.IsOk()) {
    return MenuUpdateResult(MenuUpdateCode::kFavoritesNotWritten, followed.Reason());
  }
  std::vector<std::string> vanished = favorites_.AllUrls();
  const std::vector<std::string> current = boardList_.AllUrls();
  std::erase_if(vanished, [&](const std::string& url) {
    return std::find(current.begin(), current.end(), url) != current.end();
  });
  if (vanished.empty()) return {};
  MovedBoardsReport report = favorites_.ReportMovedBoards(boardList_, vanished);
  switch (report.result.Code()) {
    case CatalogCode::kOk:
      return MenuUpdateResult(MenuUpdateCode::kOk, {}, std::move(report.page));
    case CatalogCode::kLogsNotMoved:
      return MenuUpdateResult(MenuUpdateCode::kLogsNotMoved, report.result.Reason(),
                              std::move(report.page));
    default:
      return MenuUpdateResult(MenuUpdateCode::kFavoritesNotWritten, report.result.Reason());
  }
}

MenuUpdateResult BoardMenuUpdater::ApplyMenuFile(const std::string& path) {
  auto page = ReadWholeFile(path);
  if (!page) return MenuUpdateResult(MenuUpdateCode::kFileNotRead, FailedText());
  return ApplyMenu(*page);
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
