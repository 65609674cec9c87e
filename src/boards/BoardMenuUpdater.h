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

namespace velkor {

class AppConfig;
class BoardCatalog;

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
  // history entry. Result 0: the page is kept as LogDir()/board.html and applied (ApplyMenu).
  // Unless `silent`, result 1 shows "更新されていません。" and any other result
  // "ボード一覧の取得に失敗。" through Ui().ShowMessage. Always: Url() moves to the front of the
  // history, the first five entries become History1..5, the time stamp becomes the answer's
  // Last-Modified after result 0 and the text that was sent otherwise (empty after an unconditional
  // request; also when the board list could not be written), and the configuration file is written.
  // Returns the FetchFull result (net/Fetch.h). The run flag is kDownloading while it runs and
  // kIdle afterwards.
  int RunUpdate(bool silent);

  // Applies a board menu page: imports it into the board list (which is written), rebuilds the
  // board list's tree, and runs ReportMovedBoards on the favourites when some favourite URLs are no
  // longer in the board list (the report page goes to Ui().ShowHtmlPage). Returns false when the
  // board list could not be written. History and time stamp are not touched.
  bool ApplyMenu(std::string_view page);
  // Reads a saved menu page and applies it. False when the file cannot be read (nothing changes) or
  // the board list could not be written.
  bool ApplyMenuFile(const std::string& path);

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
