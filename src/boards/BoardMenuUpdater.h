#pragma once

// The board-menu update without its dialog: download (or read) the board menu page, apply it to the
// board list and run the moved-board pass on the favourites. The update dialog binds its controls
// to one BoardMenuUpdater made for each use: the URL box to Url/SetUrl/History, the "再構築する"
// box to Rebuild/SetRebuild, the abort button to RequestAbort, its status bar and progress bar to a
// BoardMenuStatusSink.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"
#include "boards/BoardCatalog.h"
#include "net/FetchResult.h"

namespace velkor {

class AppConfig;

// Where DialogStatus puts what it is told: the latest status text and the download progress.
class BoardMenuStatusSink {
 public:
  virtual ~BoardMenuStatusSink() = default;
  // A status text of the download (CP932).
  virtual void ShowStatusText(const std::string& text) = 0;
  // Bytes received of `total` (total is -1 when the server announced no length).
  virtual void ShowProgress(std::int32_t received, std::int32_t total) = 0;
};

// What a menu update or a menu import came to. Reasons (CP932) are ready to show under Caption().
enum class MenuUpdateCode {
  kOk,
  kNotModified,  // 304: "更新されていません。" (to be shown as information)
  kFetchFailed,  // any other failed download: "ボード一覧の取得に失敗。"
  kFileNotRead,  // ApplyMenuFile: the file cannot be read: "ボード一覧の取得に失敗。"
  kNotAMenu,  // the page names no board: "ボード一覧ではありません（板が見つかりません）。"
  kListNotWritten,  // board.ini could not be written: "エラー:ボード一覧を保存できません。"
  kFavoritesNotWritten,  // subscrib.ini (or the pending-move list) could not be written: the
                         // catalog's reason ("エラー:保存できません: " + path)
  kLogsNotMoved,         // the menu was applied, some log folders could not move (the catalog's
                         // reason names them); they stay pending
  kPageNotKept,          // the menu was applied, log/board.html could not be written
  kNotOpen,              // a catalog is not open: "ボード一覧の取得に失敗。"
};

// The Result of a menu update, with what a caller shows or needs besides the reason: the
// moved-board report page (to be shown under BoardCatalog::MovedBoardsTitle() whatever the code;
// empty when no favourite moved) and the download's own result (FetchResult::kOk when nothing was
// downloaded).
class [[nodiscard]] MenuUpdateResult : public Result<MenuUpdateCode> {
 public:
  MenuUpdateResult() = default;
  MenuUpdateResult(MenuUpdateCode code, std::string reason, std::string movedReport = {},
                   FetchResult fetch = FetchResult::kOk)
      : Result<MenuUpdateCode>(code, std::move(reason)),
        movedReport_(std::move(movedReport)),
        fetch_(fetch) {}

  const std::string& MovedReport() const { return movedReport_; }
  FetchResult Fetch() const { return fetch_; }

 private:
  std::string movedReport_;
  FetchResult fetch_ = FetchResult::kOk;
};

class BoardMenuUpdater {
 public:
  // Values of the run flag.
  enum RunFlag : int { kIdle = 0, kDownloading = 1, kAbortRequested = 2 };

  // Reads the URL history and the time stamp of the last download from `config`; the URL starts as
  // the first history entry, the rebuild flag unchecked. The catalogs must be open; none is owned.
  BoardMenuUpdater(BoardCatalog& boardList, BoardCatalog& favorites, AppConfig& config);

  // The caption of the dialog and of its message boxes, "ボード一覧更新" (CP932).
  static const std::string& Caption();

  // The URL history, most recent first (never empty): as read at construction, then as RunUpdate
  // last wrote it.
  const std::vector<std::string>& History() const { return history_; }
  // The URL to download. Changing it checks the rebuild flag exactly when the new URL differs from
  // the first history entry (a new URL forces a full download).
  const std::string& Url() const { return url_; }
  void SetUrl(std::string_view url);
  bool Rebuild() const { return rebuild_; }
  void SetRebuild(bool rebuild) { rebuild_ = rebuild; }

  // Status texts and progress go to the sink (not owned; null: status texts go to
  // Ui().SetStatusText, progress is dropped).
  void SetStatusSink(BoardMenuStatusSink* sink) { sink_ = sink; }

  // Downloads Url() and applies it; shows nothing (the caller shows the reason and the report).
  // The request is conditional (If-Modified-Since with the stored time stamp) when the rebuild flag
  // is clear, the board list file exists and Url() is the first history entry. A page that names no
  // board changes nothing at all (board list, board.html, history, time stamp): kNotAMenu.
  // Otherwise the page is applied (ApplyMenu) and, once the board list and the favourites are
  // written, kept as LogDir()/board.html. Then (except for kNotAMenu): Url() moves to the front of
  // the history, the first five entries become History1..5, the time stamp becomes the answer's
  // Last-Modified once the menu is applied and the text that was sent otherwise (empty after an
  // unconditional request), and the configuration file is written. A download that fails gives
  // kNotModified (304) or kFetchFailed, with FetchFull's result in Fetch(). The run flag is
  // kDownloading while it runs and kIdle afterwards.
  MenuUpdateResult RunUpdate();

  // Applies a board menu page: finishes pending folder moves of an earlier pass, imports the page
  // into the board list (which is written) and rebuilds the board list's tree; then the favourites
  // follow scheme-only changes of their URLs silently (FollowSchemeChanges) and ReportMovedBoards
  // runs on them when some favourite URLs are still not in the board list; its page is the
  // result's MovedReport(). Stops at the first write that fails (kListNotWritten,
  // kFavoritesNotWritten): what was written before stays, and applying the same menu again
  // finishes the rest. A page that names no board (kNotAMenu) changes nothing. History and time
  // stamp are not touched.
  MenuUpdateResult ApplyMenu(std::string_view page);
  // Reads a saved menu page and applies it. kFileNotRead, changing nothing, when the file cannot be
  // read.
  MenuUpdateResult ApplyMenuFile(const std::string& path);

  // Asks a running download to stop (the abort button, closing the dialog).
  void RequestAbort() { runFlag_ = kAbortRequested; }
  int CurrentRunFlag() const { return runFlag_; }

  // The StatusHandler (net/HttpSession.h) of the download; `context` is the BoardMenuUpdater. With
  // a null context it returns 0. A message goes to the sink as status text, a null message as
  // progress; then the user interface processes its events. Returns 1 (stop) when the run flag is
  // not kDownloading, else 0.
  static int DialogStatus(const char* message, void* context, std::int32_t received,
                          std::int32_t total);

 private:
  void RememberRun(const std::string& lastModified);
  // The menu applied, kept as LogDir()/board.html: kPageNotKept when that cannot be written.
  static Result<MenuUpdateCode> KeepPage(const std::string& page);

  BoardCatalog& boardList_;
  BoardCatalog& favorites_;
  AppConfig& config_;
  std::vector<std::string> history_;
  std::string timestamp_;
  std::string url_;
  bool rebuild_ = false;
  int runFlag_ = kIdle;
  BoardMenuStatusSink* sink_ = nullptr;
};

}  // namespace velkor
