#pragma once

#include <QJsonObject>
#include <QPoint>
#include <QPointF>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "threads/JumpHistory.h"
#include "threads/NgFilter.h"
#include "threads/NgRule.h"
#include "threads/PosterIds.h"
#include "threads/ReplyAnswers.h"
#include "threads/ReplyList.h"
#include "threads/ui/PopupWindow.h"
#include "threads/ui/ReadingPlace.h"

class QMenu;
class QToolButton;

namespace velkor {

class FetchFailurePanel;
class NextThreadBar;
class SubjectList;
class ThreadAutoReload;
class ThreadTabExtension;
class ThreadTabOwner;
class ThreadView;

// One page of the thread-view tabs: its browser, the thread it shows (board directory ending in
// "/", dat name, replies, reading position) and the last five threads shown in it. A tab showing a
// plain page (about, reports, search results) has an empty board directory and dat name. Texts are
// CP932.
class ThreadTab : public QWidget {
  Q_OBJECT

 public:
  // How many already-read replies a freshly shown thread keeps before the unread marker.
  static constexpr int kOldShown = 50;
  static constexpr std::size_t kHistorySize = 5;

  // `owner` (not owned, may be null) hears of caption and state changes and of followed links.
  explicit ThreadTab(ThreadTabOwner* owner, QWidget* parent = nullptr);
  ~ThreadTab() override;

  // Loads the log boardDir + datName, shows it with `firstUnread` as the first unread reply and
  // the last 50 read replies, records it in the history and scrolls to `anchor` ("midoku", "a<n>";
  // a reply among the omitted ones shows every reply). An unreadable log shows the empty page.
  void ShowThread(const std::string& boardDir, const std::string& datName,
                  const std::string& anchor, int firstUnread, const std::string& title);
  // Shows a page that is not a thread; the tab then has no thread but keeps its replies, history
  // and reading position.
  void ShowHtml(const std::string& html);
  // For the thread boardDir + datName whose log could not be fetched and is not stored: shows
  // `reason` (CP932) and a button "再試行" calling `retry` in place of the page. The tab then
  // stands for that thread with no reply (in its history under the caption, nothing read);
  // showing a thread or a page replaces the failure.
  void ShowFailure(const std::string& boardDir, const std::string& datName,
                   const std::string& reason, std::function<void()> retry);
  // Renders the replies in memory again (caption as title) and scrolls to `anchor`.
  void Rerender(const std::string& anchor);
  // Scrolls to `anchor`; when the page does not hold it, shows every reply and scrolls again.
  void JumpTo(const std::string& anchor);
  // For the thread this tab shows, opened again with `firstUnread` and `anchor`: when its stored
  // log now holds more replies than the page, or `firstUnread` names a stored reply other than the
  // page's first unread one, shows it again as ShowThread does (the marker before `firstUnread`)
  // and returns true; otherwise leaves the page as it is and returns false. A log that shrank or
  // went missing leaves the page too.
  bool ShowAgainIfChanged(const std::string& anchor, int firstUnread);
  // Shows history entry `index` (0 = newest) with its stored first unread reply; out of range:
  // nothing.
  void OpenHistoryEntry(int index);
  // "ここまで読んだ": the reply whose number was clicked last becomes the first unread one, stored
  // at once in the thread's reading state (subjects/ThreadState.h, through the shown thread list
  // when it shows this board), and the page is drawn again with the marker there. Without a
  // thread: nothing. A failed write is reported in the status bar.
  void SetBookmark();
  // Deletes the thread's log and resets its reading state to never fetched, written at once; the
  // page stays as it is. Without a thread, or for a dat name that is not "<number>.dat": nothing.
  // A failed write is reported in the status bar.
  void DeleteThreadLog();
  // "自動更新": switches the automatic reload of the thread shown on or off (ThreadAutoReload).
  // Switching on is refused, with the reason in the status bar, for a thread that is full or past;
  // without a thread it does nothing. While it is on, the tab's caption in the tab row carries a
  // mark. When it stops on its own the bar above the page says why.
  void SetAutoReload(bool on);
  bool AutoReloading() const;
  ThreadAutoReload& AutoReload() const { return *autoReload_; }
  // After the automatic reload stored the thread's log anew: reads it again and draws the page
  // keeping the reader's place (ThreadView::RewriteKeepingReply; the view follows the new replies
  // when it was at the bottom), at once or, for a hidden tab, when it is shown. New replies get the
  // unread marker before them, except while the tab is hidden and an earlier reload already put the
  // marker before replies not yet seen; the page keeps the same read replies, and the thread's
  // stored first unread reply follows the marker when that moves forward. A thread that is now full
  // or past shows its successors.
  void ShowReloadedReplies();
  // The bar above the page: the automatic reload's stop notice, a full or past thread's
  // successors.
  NextThreadBar* NextThreads() const { return nextThreads_; }
  // For a thread that is full (1000 replies or more) or past: shows the bar with its likely
  // successors from the board's stored list; otherwise hides a bar that shows candidates.
  void UpdateNextThreads();
  // True while the owner is busy with network work (ThreadTabOwner::NetworkBusy).
  bool NetworkBusy() const;
  // The owner's shown thread list, or null.
  SubjectList* ShownSubjects() const;

  // ThreadUrl (app/UrlPaths.h) of the board that owns the board directory (BoardUrlOfLogDir) and
  // the dat name without its extension, without the final "/"; empty for a page that shows no
  // thread.
  std::string ThreadUrl() const;

  // "再読み込み": fetches the thread's log again (threads/ThreadRefetch.h) and shows the replies it
  // brought below those shown, the view staying where it was and the unread marker where it was;
  // the status bar says how many came. Without a thread, or while a reload of the tab downloads:
  // nothing.
  void Reload();

  // Back and forward over the places jumps left (JumpHistory): following an in-page reply link,
  // the unread marker's link or "すべて表示" records where the reader was; going back scrolls there
  // again (showing every reply when that reply is among the omitted ones). Nothing without a place
  // to go to. Showing another thread or a page forgets the places.
  void GoBack();
  void GoForward();
  const JumpHistory& Jumps() const { return jumps_; }

  // What a closed tab leaves to open it again: the thread with its marker and omitted replies as
  // shown (or the page's HTML for a tab without a thread), and where it was scrolled to.
  struct Snapshot {
    std::string caption;
    std::string boardDir;
    std::string datName;
    std::string html;
    int firstUnread = 1;
    int oldShown = kOldShown;
    QPointF scroll;
    // The reply at the top of the view: a thread page comes back there, whatever is still being
    // laid out above it (the pixel position only for a page never scrolled).
    ReadingPlace place;
  };
  Snapshot TakeSnapshot() const;
  // Shows what `snapshot` holds, the thread read from its log again, and scrolls back.
  void ShowSnapshot(const Snapshot& snapshot);

  // Replaces the page with `html`; the view starts at the top, or at `anchor` as soon as the
  // browser has it (ThreadView::WriteDocument).
  void WriteDocument(const std::string& html, const std::string& anchor = {});
  // Scrolls to the anchor once the page is loaded, then calls `done` with 1 (found), 0 (not
  // found) or -1 (failed).
  void ScrollToAnchor(const std::string& name, std::function<void(int)> done = {});
  void FocusDocument();

  // What the browser reports, in the form of a page written into "about:blank" (CP932).
  void LinkFollowed(const std::string& url);
  void LinkHovered(const std::string& statusText);
  // A right-click: shows the pop-up of selected reply numbers; false when the selection is not
  // made of them (the page's menu, PageContextMenu, then opens).
  bool SelectionContextMenu(const std::string& selectedText);

  // Reads the NG rules for the tab's board again and, when it shows a thread, draws the page anew
  // with them at the place it was scrolled to.
  void ReapplyNgRules();
  // ReapplyNgRules in every thread tab that exists, whichever list holds it.
  static void ReapplyNgRulesInAllTabs();
  // Installs the extension every tab consults (not owned; null: none).
  static void SetExtension(ThreadTabExtension* extension);
  // The thread's context-menu entries "NGワードに追加", "NG名前に追加", "NGIDに追加": a rule of
  // `kind` for the selected text, or without a selection for the name or ID of the reply shown at
  // `pos` (view coordinates; found asynchronously). Words need a selection; ID rules belong to
  // the tab's board, the others are global. Failures go to the status bar.
  void AddNgRuleFromMenu(NgKind kind, const std::string& selection, QPoint pos);
  // The pattern a rule of `kind` takes from reply `reply` as shown: the name as the reader sees it
  // or the ID; empty for a word, for a reply that is not there, or when it has no such value.
  std::string NgPatternOf(NgKind kind, int reply) const;
  // Hands a link to the BrowserApp program or the desktop (web, ftp and mail links only).
  void OpenExternally(const std::string& url);
  // The replies as the page shows them (the NG rules applied), who answers whom among them and
  // their posters' IDs.
  const ReplyList& ShownReplies() const { return ng_ ? ng_->replies : replies_; }
  const ReplyAnswers& Answers() const { return answers_; }
  const PosterIds& Ids() const { return ids_; }

  const std::string& Caption() const { return caption_; }
  // Sets the caption (the owner shows it on the tab page).
  void SetCaption(const std::string& caption);
  const std::string& BoardDir() const { return boardDir_; }
  const std::string& DatName() const { return datName_; }
  int FirstUnread() const { return firstUnread_; }
  int OldShown() const { return oldShown_; }
  int MenuReplyNumber() const { return menuReplyNumber_; }
  void SetMenuReplyNumber(int number) { menuReplyNumber_ = number; }
  const std::vector<std::string>& HistoryPaths() const { return historyPaths_; }
  const std::vector<std::string>& HistoryTitles() const { return historyTitles_; }
  const ReplyList& Replies() const { return replies_; }

  // The user's own replies in the thread (ThreadPosting), ascending, and the shown replies that
  // answer them (ascending): the page marks the former beside their numbers and highlights the
  // latter once it has loaded, so the page's bytes stay as rendered.
  const std::vector<int>& OwnReplies() const { return own_; }
  const std::vector<int>& AnswersToOwn() const { return answersToOwn_; }
  bool IsOwnReply(int number) const;
  // Marks reply `number` as the user's own or not ("自分の書き込み" in the reply menu) and marks
  // the page anew at the place it was scrolled to. Without a thread or posting side: nothing. A
  // failure is told in the status bar.
  void SetOwnReply(int number, bool own);
  // How many replies answering an own reply arrived since the tab was last viewed (shown on
  // screen); the tab's caption shows it. A thread newly shown in the tab counts from its first
  // unread reply.
  int UnseenAnswersToOwn() const { return unseenAnswersToOwn_; }
  // The button that opens the reply window, shown while the tab shows a thread and posting is
  // installed.
  QToolButton* WriteButton() const { return writeButton_; }

  // The page last written (or, in a hidden tab after an automatic reload, to be written when the
  // tab is shown).
  const std::string& Document() const { return document_; }
  ThreadView* View() const { return view_; }

 public slots:
  // Opens the reply window of the thread this tab shows ("書き込み"), or brings its open one up;
  // `replyNumber` > 0 puts ">>replyNumber" into its message ("これにレス"). Without a thread or
  // posting side: nothing.
  void ReplyTo(int replyNumber = 0);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void RecordHistory(const std::string& path, const std::string& title);
  void AutoReloadChanged();
  void NextThreadChosen(int index);
  void SearchNextThreadsAgain();
  // How anchors inside the pop-up for `statusText` are resolved: into the thread a stored-thread
  // link names, else into this tab's replies.
  PopupWindow::AnchorResolver PopupAnchorResolver(const std::string& statusText) const;

  // Every thread tab alive, for changes that concern them all (the NG rules).
  static std::vector<ThreadTab*>& LiveTabs();
  // Judges replies_ by the NG rules of the tab's board and counts answers and IDs of the result.
  void ApplyNgRules();
  // Reads the own replies and finds the shown replies that answer them.
  void LoadOwnPosts();
  // Counts the answers to own replies not seen yet (all are seen while the tab is on screen) and
  // tells the owner when the count changed.
  void CountUnseenAnswers();
  void UpdateWriteButton();
  // The thread page of the shown replies.
  std::string RenderShown(const std::string& title, int firstUnread, int oldShown) const;
  // The answer counts, IDs and own posts of the shown replies, as ThreadView::SetDecorations
  // takes them.
  QJsonObject Decorations() const;
  // Gives the view the decorations of what the tab shows (none without a thread): before every
  // write of the page, which decorates itself as it loads.
  void UpdateDecorations();
  void DecorationHovered(const QString& kind, int reply);
  void AddNgRuleForReply(NgKind kind, int reply);
  void AddNgRuleWithPattern(NgKind kind, const std::string& pattern);
  // Before a jump: records the place the reader is at.
  void RecordSpot();
  // Scrolls to `spot`, showing every reply first when its reply is among the omitted ones.
  void GoToSpot(ReadingSpot spot);
  // The pop-up text of the shown replies `spec` selects (hidden replies left out).
  std::string ShownPopupText(const std::string& spec) const;

  ThreadTabOwner* owner_;
  NextThreadBar* nextThreads_;
  ThreadView* view_;
  FetchFailurePanel* failure_;
  std::function<void()> retry_;
  ThreadAutoReload* autoReload_;
  std::vector<std::string> historyPaths_;
  std::vector<std::string> historyTitles_;
  std::string caption_;
  std::string boardDir_;
  std::string datName_;
  std::string document_;
  int menuReplyNumber_ = 0;
  int firstUnread_ = 1;
  int oldShown_ = kOldShown;
  // Set when a reload put the unread marker while the tab was hidden: later reloads leave it there
  // until the tab is shown.
  bool markerHeld_ = false;
  // Set when a reload made the page while the tab was hidden: the view gets it when shown.
  bool stalePage_ = false;
  ReplyList replies_;
  std::optional<NgOutcome> ng_;  // set when a rule applies to the thread
  ReplyAnswers answers_;
  PosterIds ids_;
  std::vector<int> own_;
  std::vector<int> answersToOwn_;
  int seenReplies_ = 0;  // the replies shown when the tab was last on screen
  int unseenAnswersToOwn_ = 0;
  QToolButton* writeButton_;
  JumpHistory jumps_;
  bool reloading_ = false;  // Reload's download runs
};

}  // namespace velkor
