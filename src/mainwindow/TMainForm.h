#pragma once

#include <QMainWindow>
#include <QPointer>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "subjects/NewReplyCheck.h"
#include "subjects/SubjectList.h"

class QAction;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QMenu;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QTableView;
class QToolBar;
class QToolButton;
class QTreeWidgetItem;
class QWidget;

namespace velkor {

class BoardTreeWidget;
class FavoriteToolBar;
class FindBar;
class NewReplyListModel;
class SubjectListView;
class TSearchForm;
class ThreadOpener;
class ThreadImages;
class ThreadTabStrip;
class WindowKeys;

// The main window: the side bar with the board list and the favourites, the favourite-button bar,
// the thread list of the shown board and the thread-view tabs. It owns the thread list
// (`subjects`) of the board being shown and wires every menu to the commands. Geometry, the
// remembered side-bar width and pane height, and the column widths are read from config.ini when
// the window is made and written back when it is destroyed.
class TMainForm : public QMainWindow {
  Q_OBJECT

 public:
  explicit TMainForm(QWidget* parent = nullptr);
  ~TMainForm() override;

  // Shows an HTML page (CP932 bytes) in a new thread-view tab titled `title`, after restoring the
  // shared arrangement of thread list and tabs.
  void ShowHtmlPage(const std::string& html, const std::string& title);

  // true: the thread list fills the right-hand pane (the tabs shrink to a 1-pixel strip);
  // false: the thread list, `subjectHeight` high, shares the pane with the tabs below it.
  void SetSubjectExpanded(bool expand);
  // The "+" button: switches to the other arrangement.
  void ToggleSubjectExpanded();
  bool IsSubjectExpanded() const { return subjectExpanded_; }
  // Shows the side bar if hidden, hides it if shown.
  void ToggleSidebar();

  // Shows a favourite board's thread list: does nothing while a thread-list download runs.
  // Binds the list to the board's log directory, downloads the list (unless `download` is off)
  // and, when that brings no new list, shows the stored state.
  void OpenBoard(const std::string& category, const std::string& name, bool download = true);
  // With the setting RestoreSession on: shows again, from what is stored (nothing is downloaded),
  // the favourite board and the thread tabs that were open when the window was last closed
  // (app/Session.h); a tab whose log is gone is skipped. The window saves them when it closes.
  void RestoreSession();
  // Downloads the shown board's thread list again; true when a new list was merged and shown.
  // A second call while one runs asks that download to stop.
  bool ReloadSubjects();
  // Opens the thread of the single selected row (fetching its log first) in a new tab or the
  // active one. Nothing happens unless exactly one row is selected.
  void OpenSelectedThread(bool newTab);
  // Opens a stored thread in a new tab (links between threads).
  void OpenThreadInNewTab(const std::string& boardDir, const std::string& datName,
                          const std::string& anchor, int firstUnread, const std::string& title);

  // Applies display settings read from config.ini or confirmed in the settings dialog: tree and
  // list fonts, the tab row's look, and the thread-list click binding with the caption of
  // threadNewTabMI.
  void ApplyDisplaySettings(const DisplaySettings& display);

  SubjectList& Subjects() { return subjects; }

  // The new-reply check ("新着チェック", F9): refreshes every favourite board's thread list one
  // after the other and shows the threads with new replies of all boards in checkListView, in
  // place of the thread list; with checkFetchLogsMI on, their logs are brought up to date too.
  // Progress and the stop button sit in the status bar; favourites with new replies are shown in
  // bold until opened. While it runs no board is opened or reloaded. Does nothing while it runs,
  // and only says so in the status bar while a download of the shown board runs.
  void RunNewReplyCheck();
  // Stops a running check at once: the running request ends within one wait slice.
  void StopNewReplyCheck();
  bool NewReplyCheckRunning() const { return check_.Running(); }
  // Opens the thread of a row of the check's list as from its own board: the thread list is bound
  // to that board (its stored state), then the row's thread is opened as a click on it would.
  void OpenCheckedThread(int row, bool newTab);

  // Widths the splitters last remembered (saved as SidebarWidth and SubjectHeight).
  int SidebarWidth() const { return sidebarWidth; }
  int SubjectHeight() const { return subjectHeight; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  static constexpr std::size_t kThreadListColumns = 10;

  // A side-bar node kept by its labels (CP932), so that a tree change cannot leave it dangling:
  // level 1 a category, level 2 a board (name set), -1 none.
  struct NodeRef {
    int level = -1;
    std::string category;
    std::string name;
  };
  static NodeRef RefOf(const QTreeWidgetItem* node);

  void BuildLayout();
  void BuildMenus();
  void ConnectCommands();
  void FormCreate();
  void FormDestroy();
  void FormActivate();

  // Opens the thread of a row of the shown list (OpenSelectedThread's steps).
  void OpenRow(int row, bool newTab);
  // A link from a page without a thread to a thread whose log is not stored: a thread of a
  // favourite board is fetched and opened in a new tab (true); any other is left (false).
  bool OpenUnstoredThread(const std::string& boardDir, const std::string& datName,
                          const std::string& anchor);
  // Opens the thread datName of the board whose log folder is boardDir as a click on its row
  // would (log brought up to date, read mark, tab as NewTabOpen says): through the shown list when
  // it shows the board, else through a list of the board's own, the shown list left as it is.
  void OpenThreadOfBoard(const std::string& boardDir, const std::string& datName,
                         const std::string& title);
  // Downloads the thread list of the board whose log folder is boardDir, as "更新" does for the
  // shown board (through the shown list when it shows the board). Nothing while other downloads
  // of the window or the check run.
  void RefreshBoardListOf(const std::string& boardDir);
  // Shows the check's list (true) or the shown board's thread list (false) in the thread-list pane.
  void ShowCheckList(bool show);

  // The show-type mask of the selected item of subjectShowTypeCB.
  std::uint8_t ShownMask() const;
  // Fills the thread list with `mask` under the busy cursor.
  void FillSubjects(std::uint8_t mask);
  // The thread URL of a row: ThreadUrl(board URL, key, final "/"), in the board's scheme.
  std::string ThreadUrlOfRow(int row) const;
  // The board list's URL of the board node (category, name), or empty.
  std::string BoardUrlOf(const NodeRef& node) const;
  void ApplyFavoriteBarVisibility();
  void ApplySubscribedColour();
  // The panes F6 visits, those shown now: the side bar's tree, the thread (or check) list, the
  // active tab's page.
  std::vector<QWidget*> FocusPanes() const;
  // Opens the log search dialog; a non-empty `text` becomes its search word.
  void OpenLogSearch(const QString& text);

  // Handlers.
  void subscribeTreeViewChange(QTreeWidgetItem* node);
  void subscribeTreeViewContextPopup(const QPoint& pos);
  void BBSTreeViewContextPopup(const QPoint& pos);
  // A double click on a board of the board list opens it, making it a favourite first.
  void BBSTreeViewDblClick(QTreeWidgetItem* node);
  void bbsAllPMPopup();
  void bbsAllSubscribeMIClick();
  void UnsubscribeClick();
  void URLCopyClick();
  void OpenBrowserClick();
  void subscribeAddFavoriteButtonMIClick();
  void BBSNameLabelContextPopup(const QPoint& pos);
  void FavoriteButtonClick(QToolButton* button);
  void FavoriteButtonRightClick(QToolButton* button, const QPoint& globalPos);
  void bbsButtonDeleteMIClick();
  void SubjectListViewClick();
  void SubjectListViewContextPopup(const QPoint& pos);
  void threadPMPopup();
  void threadURLCopyMIClick();
  void threadTitleCopyMIClick();
  void threadOpenBrowserMIClick();
  void threadDeleteLogMIClick();
  void subjectShowTypeCBChange(int index);
  void subjectFindToolButtonClick();
  void optionOptionMIClick();
  void optionLogSweeperMIClick();
  void optionAboutMIClick();
  void optionBBSMenuUpdateMIClick();
  void ThreadStateChanged(const QString& boardDir, const QString& datName);
  // A mouse button pressed on the tab of page `index` (-1: beside every tab): the middle button
  // closes it, any other activates it and gives its page the focus, the right one then opens the
  // tab menu at `globalPos`.
  void TabPressed(int index, Qt::MouseButton button, const QPoint& globalPos);

  // Controls, named as their object names.
  QWidget* favoritePanel = nullptr;
  FavoriteToolBar* favoriteToolBar = nullptr;
  QSplitter* YSplitter = nullptr;
  QWidget* SidebarPanel = nullptr;
  QTabWidget* sidebarPageControl = nullptr;
  QWidget* BBSTabSheet = nullptr;
  QWidget* subscribeTabSheet = nullptr;
  BoardTreeWidget* BBSTreeView = nullptr;
  BoardTreeWidget* subscribeTreeView = nullptr;
  QWidget* MainPanel = nullptr;
  QSplitter* XSplitter = nullptr;
  QWidget* SubjectPanel = nullptr;
  QWidget* subjectToolPanel = nullptr;
  QToolBar* subjectToolBar = nullptr;
  QToolButton* subjectReloadToolButton = nullptr;
  QToolButton* subjectOptionToolButton = nullptr;
  QToolButton* subjectFindToolButton = nullptr;
  QComboBox* subjectShowTypeCB = nullptr;
  // Shown while a title filter narrows the list; a click ends it.
  QToolButton* subjectFilterButton = nullptr;
  QLabel* BBSNameLabel = nullptr;
  QWidget* expandPanel = nullptr;
  QToolButton* expandSpeedButton = nullptr;
  SubjectListView* subjectListView = nullptr;
  // The new-reply check: its tool button (with the menu holding checkFetchLogsMI), its list, and
  // its progress text and stop button in the status bar.
  QToolButton* subjectCheckToolButton = nullptr;
  // "スレ立て": the new-thread window of the shown board (also in subscribePM).
  QToolButton* subjectNewThreadToolButton = nullptr;
  QMenu* checkPM = nullptr;
  QAction* checkFetchLogsMI = nullptr;
  QAction* checkAction = nullptr;
  QTableView* checkListView = nullptr;
  NewReplyListModel* checkModel = nullptr;
  QLabel* checkProgressLabel = nullptr;
  QToolButton* checkStopButton = nullptr;
  QWidget* BrowserPanel = nullptr;
  QTabWidget* tabPageControl = nullptr;
  // The tab row in several lines, shown instead of tabPageControl's tab bar (TabMultiLine).
  ThreadTabStrip* tabStrip = nullptr;
  // The find bar under the tabs, and the window's keys (docs/keys.md).
  FindBar* findBar = nullptr;
  WindowKeys* keys_ = nullptr;
  // The row of the multi-line tab strip and its "再読み込み" button.
  QHBoxLayout* tabRow = nullptr;
  QToolButton* stripReloadButton = nullptr;
  QStatusBar* StatusBar = nullptr;

  QMenu* optionPM = nullptr;
  QAction* optionOptionMI = nullptr;
  QAction* optionSidebarShowMI = nullptr;
  QMenu* optionSweepMI = nullptr;
  QAction* optionLogSweeperMI = nullptr;
  QAction* optionBBSMenuUpdateMI = nullptr;
  QAction* optionAboutMI = nullptr;
  QAction* optionQuitMI = nullptr;
  QMenu* bbsAllPM = nullptr;
  QAction* bbsAllSubscribeMI = nullptr;
  QAction* bbsAllUnsubscribeMI = nullptr;
  QAction* bbsAllURLCopyMI = nullptr;
  QAction* bbsAllOpenBrowserMI = nullptr;
  QMenu* subscribePM = nullptr;
  QAction* subscribeAddFavoriteButtonMI = nullptr;
  QAction* subscribeURLCopyMI = nullptr;
  QAction* subscribeOpenBrowserMI = nullptr;
  QAction* subscribeUnsubscribeMI = nullptr;
  QAction* subscribeNewThreadMI = nullptr;
  QMenu* bbsButtonDeletePM = nullptr;
  QAction* bbsButtonDeleteMI = nullptr;
  QMenu* threadPM = nullptr;
  QAction* threadNewTabMI = nullptr;
  QAction* threadURLCopyMI = nullptr;
  QAction* threadTitleCopyMI = nullptr;
  QAction* threadOpenBrowserMI = nullptr;
  QAction* threadDeleteLogMI = nullptr;

  // The side-bar node the last opened side-bar menu refers to.
  NodeRef popupNode;
  // The favourite board whose threads are shown (level -1 while none is).
  NodeRef currentBoardNode;
  int sidebarWidth = 180;
  int subjectHeight = 130;
  // The geometry config.ini held at start and the one the window opened with.
  QRect layoutGeometry_;
  QRect openedGeometry_;
  // Drop-down menu last built for a favourite button, and the button last clicked or right-clicked.
  QMenu* buttonMenu = nullptr;
  QPointer<QToolButton> activeButton;
  // Thread-list downloads running; non-zero blocks OpenBoard.
  int reloadDepth = 0;
  bool subjectExpanded_ = false;
  // A click on a row opens a new tab (NewTabOpen); threadNewTabMI does the opposite.
  bool clickOpensNewTab_ = false;
  TSearchForm* searchForm = nullptr;
  SubjectList subjects;
  std::unique_ptr<ThreadOpener> opener_;
  NewReplyCheck check_;
  // The images of the thread tabs, from FormCreate to FormDestroy.
  std::unique_ptr<ThreadImages> images_;
};

}  // namespace velkor
