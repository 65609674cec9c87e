#pragma once

// The board-menu update without its dialog: download (or read) the board menu page, apply it to the
// board list and run the moved-board pass on the favourites. The update dialog binds its controls
// to one BoardMenuUpdater made for each use: the URL box to Url/SetUrl/History, the "再構築する"
// box to Rebuild/SetRebuild, the abort button to RequestAbort, its status bar and progress bar to a
// BoardMenuStatusSink.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "boards/BoardCatalog.h"

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

class BoardMenuUpdater {
 public:
  // Values of the run flag.
  enum RunFlag : int { kIdle = 0, kDownloading = 1, kAbortRequested = 2 };

  // Results of RunUpdate besides FetchFull's (net/Fetch.h): the page downloaded, but it names no
  // board, or the board list could not be written.
  static constexpr int kNotAMenu = -100;
  static constexpr int kListNotWritten = -101;

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

  // Downloads Url() and applies it. The request is conditional (If-Modified-Since with the stored
  // time stamp) when the rebuild flag is clear, the board list file exists and Url() is the first
  // history entry. A page that names no board changes nothing at all (board list, board.html,
  // history, time stamp) and gives kNotAMenu. Otherwise the page is applied (ApplyMenu) and kept
  // as LogDir()/board.html; a board list that could not be written gives kListNotWritten. Unless
  // `silent`, the result is told through Ui().ShowMessage: "更新されていません。" for
  // kFetchNotModified, MessageOf(...) for kNotAMenu and kListNotWritten, "ボード一覧の取得に失敗。"
  // for any other failure. Then (except for kNotAMenu): Url() moves to the front of the history,
  // the first five entries become History1..5, the time stamp becomes the answer's Last-Modified
  // after a written list and the text that was sent otherwise (empty after an unconditional
  // request), and the configuration file is written. Returns kFetchOk, kNotAMenu, kListNotWritten
  // or the FetchFull result. The run flag is kDownloading while it runs and kIdle afterwards.
  int RunUpdate(bool silent);

  // Applies a board menu page: finishes pending folder moves of an earlier pass, imports the page
  // into the board list (which is written) and rebuilds the board list's tree; then the favourites
  // follow scheme-only changes of their URLs silently (FollowSchemeChanges) and ReportMovedBoards
  // runs on them when some favourite URLs are still not in the board list (the report page goes to
  // Ui().ShowHtmlPage). A page that names no board (kNotAMenu) changes nothing. History and time
  // stamp are not touched.
  BoardCatalog::ImportResult ApplyMenu(std::string_view page);
  // Reads a saved menu page and applies it. nullopt when the file cannot be read (nothing
  // changes).
  std::optional<BoardCatalog::ImportResult> ApplyMenuFile(const std::string& path);

  // The message for a failed import (CP932): "ボード一覧ではありません（板が見つかりません）。" for
  // kNotAMenu, "エラー:ボード一覧を保存できません。" for kNotWritten, else
  // "ボード一覧の取得に失敗。".
  static const std::string& MessageOf(BoardCatalog::ImportResult result);

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
