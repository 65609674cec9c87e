#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <functional>
#include <string>
#include <vector>

#include "threads/ui/ThreadTab.h"
#include "threads/ui/ThreadTabOwner.h"

class QAction;
class QMenu;
class QTabWidget;

namespace velkor {

class SubjectList;
class ThreadTab;

// Where OpenThread shows a thread.
enum class TabChoice { kActiveTab, kNewTab };

// The thread-view tabs of the main window (tabPageControl): owns every ThreadTab, decides whether a
// thread opens in a new tab, in the active tab or in the tab that already shows it, and closes
// tabs, and owns the tab menu. Board directories are full paths ending in "/"; texts are CP932.
class ThreadTabList : public QObject, public ThreadTabOwner {
  Q_OBJECT

 public:
  explicit ThreadTabList(QObject* parent = nullptr);
  ~ThreadTabList() override;

  // The tab control the tabs live in; set once while the main window is created.
  void SetTabControl(QTabWidget* tabs);
  QTabWidget* TabControl() const { return tabs_; }

  // Shows a thread in the tab `where` chooses (the active tab is a new one when there is none).
  // A tab already showing the same thread (caption, board directory and log name) is activated,
  // and shows the thread again only when its log got more replies or `firstUnread` names another
  // stored reply (ThreadTab::ShowAgainIfChanged). `anchor` is where the page scrolls to ("midoku"
  // for the unread marker, "a<n>" for a reply).
  void OpenThread(const std::string& boardDir, const std::string& datName,
                  const std::string& anchor, int firstUnread, TabChoice where,
                  const std::string& title);
  // Shows a page that is not a thread (about, reports, search results).
  void ShowPage(const std::string& html, const std::string& caption, bool newTab);
  // For a thread whose log could not be fetched and is not stored: the tab chosen as OpenThread
  // chooses it (the tab already standing for the thread first) is captioned `title` and shows
  // `reason` with a retry that calls `retry` (ThreadTab::ShowFailure).
  void ShowFetchFailure(const std::string& boardDir, const std::string& datName,
                        const std::string& title, const std::string& reason, TabChoice where,
                        std::function<void()> retry);
  // Who takes links from pages without a thread to threads whose logs are not stored
  // (ThreadTabOwner::UnstoredThreadLinkFollowed); unset: nobody, they go outside.
  using UnstoredThreadOpener = std::function<bool(
      const std::string& boardDir, const std::string& datName, const std::string& anchor)>;
  void SetUnstoredThreadOpener(UnstoredThreadOpener opener);

  // Closes the tab of the page; CloseTab and CloseOtherTabs keep what each closed tab showed for
  // ReopenClosedTab (the newest kClosedTabLimit tabs). CloseAllTabs keeps nothing (the log
  // clean-up closes them all before it removes logs).
  void CloseTab(int pageIndex);
  void CloseOtherTabs(int pageIndex);
  void CloseAllTabs();
  // Opens the tab closed last again in a new tab at the end, as it was shown and scrolled; nothing
  // when no closed tab is kept.
  void ReopenClosedTab();
  bool HasClosedTab() const { return !closed_.empty(); }
  static constexpr std::size_t kClosedTabLimit = 10;
  // Makes the next (or previous) page of the row the active one, from the last back to the first.
  void ActivateNextTab(bool forward);
  // Reloads the thread of the active tab (ThreadTab::Reload).
  void ReloadActiveThread();
  // Moves keyboard focus into the document of the active tab, if there is one.
  void FocusActiveTab();

  // The active tab, or null. The accessors below do nothing (or return empty) without one.
  ThreadTab* ActiveTab() const;
  std::string ActiveThreadUrl() const;
  std::string ActiveCaption() const;
  // Titles of the active tab's history, newest first, at most 5.
  std::vector<std::string> ActiveHistoryTitles() const;
  void OpenActiveHistoryEntry(int index);
  void SetActiveBookmark();
  void DeleteActiveThreadLog();

  // The thread list the main window shows, handed to the reading state a tab reads or stores
  // (subjects/ThreadState.h): a tab of the board it is bound to goes through it, so its rows and
  // its later writes stay current. Unset or returning null: the state file is used directly.
  void SetShownSubjects(std::function<SubjectList*()> source);
  SubjectList* ShownSubjects() const override;
  // What the main window does for the tabs: tells whether network work is under way (the
  // automatic reloads wait for its end; unset: never busy), opens a board's thread as from its
  // thread list, and refreshes a board's thread list (both: nothing while unset). Board
  // directories end in "/"; texts are CP932.
  void SetNetworkBusy(std::function<bool()> busy);
  void SetBoardThreadOpener(
      std::function<void(const std::string& boardDir, const std::string& datName,
                         const std::string& title)>
          opener);
  void SetBoardListRefresher(std::function<void(const std::string& boardDir)> refresher);

  // "自動更新" of the tab menu (tabAutoReloadMI, checkable): switches the active tab's automatic
  // reload on or off (ThreadTab::SetAutoReload). A key given to this action works in the whole
  // window once the window adds it. Null without a tab control.
  QAction* AutoReloadAction() const { return tabAutoReloadMI_.data(); }
  // Switches the active tab's automatic reload over; the action's check follows.
  void ToggleActiveAutoReload();

  // The reply menu a reply-number link opens (iePM: "ここまで読んだ", which sets the active tab's
  // bookmark; "これにレス", which opens the tab's reply window with ">>N"; "自分の書き込み",
  // checked for an own reply, which marks or unmarks it). The list makes its own unless the main
  // window hands over its menu.
  void SetReplyMenu(QMenu* menu);
  QMenu* ReplyMenu();
  // Opens the reply menu at `globalPos`.
  void ShowReplyMenu(QPoint globalPos);

  // The tab menu (tabPM) of the tab control, made with it (a child of it, so the window's tests
  // find it by name): "書き込み" (the reply window), "このタブを閉じる", "閉じたタブを開き直す",
  // "再読み込み", "操作" → "ログ削除", "これ以外のタブを閉じる", "自動更新", "タイトルをコピー",
  // "URLをコピー", "履歴" (the active tab's history) and "ブラウザで開く", each acting on the
  // active tab. Null without a tab control.
  QMenu* TabMenu();
  // Opens the tab menu at `globalPos` and returns when it closes.
  void ExecTabMenu(QPoint globalPos);

  // ThreadTabOwner. A tab's caption in the tab row is its title, after "↻ " while it reloads on
  // its own, and with "[返信N] " in front while N replies to the user's own posts have not been
  // seen in the tab (ThreadTab::UnseenAnswersToOwn).
  void TabCaptionChanged(ThreadTab& tab) override;
  void TabThreadStateChanged(const ThreadTab& tab) override;
  void ReplyMenuRequested(QPoint globalPos) override;
  void ThreadLinkFollowed(const std::string& boardDir, const std::string& datName,
                          const std::string& anchor, int firstUnread,
                          const std::string& title) override;
  bool UnstoredThreadLinkFollowed(const std::string& boardDir, const std::string& datName,
                                  const std::string& anchor) override;
  bool NetworkBusy() const override;
  void BoardThreadChosen(const std::string& boardDir, const std::string& datName,
                         const std::string& title) override;
  void BoardListWanted(const std::string& boardDir) override;

  // The tab of the page at `pageIndex`, or null.
  ThreadTab* TabAt(int pageIndex) const;
  // All live tabs in order of creation.
  const std::vector<ThreadTab*>& Tabs() const { return list_; }

 public slots:
  // Opens the reply window of the active tab's thread ("書き込み"); nothing without one.
  void OpenReplyWindow();

 signals:
  // The thread list should re-read the row of this thread (its log or reading state changed).
  void ThreadStateChanged(const QString& boardDir, const QString& datName);
  // A tab was added or closed, or a caption changed.
  void TabsChanged();

 private:
  ThreadTab* NewTab();
  // The tab showing boardDir + datName under `title`, or null.
  ThreadTab* TabShowing(const std::string& boardDir, const std::string& datName,
                        const std::string& title, int* pageIndex) const;
  void Forget(QObject* tab);
  void BuildTabMenu();
  // Before the tab menu shows: the history items name the active tab's history.
  void tabPMPopup();
  // Before the reply menu shows: its posting items fit the active tab and its menu reply number.
  void iePMPopup();
  // The check of tabAutoReloadMI follows the active tab.
  void ShowActiveAutoReload();

  QTabWidget* tabs_ = nullptr;
  std::vector<ThreadTab*> list_;
  std::function<SubjectList*()> shownSubjects_;
  UnstoredThreadOpener unstoredThreadOpener_;
  std::function<bool()> networkBusy_;
  std::function<void(const std::string&, const std::string&, const std::string&)>
      boardThreadOpener_;
  std::function<void(const std::string&)> boardListRefresher_;
  QPointer<QAction> tabAutoReloadMI_;
  QMenu* replyMenu_ = nullptr;
  QMenu* ownReplyMenu_ = nullptr;
  QPointer<QMenu> tabMenu_;
  QMenu* tabHistoryMI_ = nullptr;
  QAction* tabWriteMI_ = nullptr;
  QAction* ieReplyMI_ = nullptr;
  QAction* ieOwnMI_ = nullptr;
  std::vector<QAction*> tabHistoryItems_;
  QAction* tabReopenMI_ = nullptr;
  QAction* tabReloadMI_ = nullptr;
  std::vector<ThreadTab::Snapshot> closed_;  // newest last
};

// The process-wide tab list.
ThreadTabList& ThreadTabs();

}  // namespace velkor
