#include "threads/ui/ThreadTabList.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QMenu>
#include <QTabWidget>
#include <QUrl>
#include <algorithm>

#include "app/Settings.h"
#include "gui/GuiText.h"
#include "gui/KeyMap.h"
#include "subjects/TitleText.h"
#include "threads/ui/PopupWindow.h"
#include "threads/ui/ThreadPosting.h"
#include "threads/ui/ThreadTab.h"

namespace velkor {

namespace {

// The wait cursor for the length of one operation.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

QAction* AddItem(QMenu* menu, const char* name, const char* caption) {
  auto* action = new QAction(QString::fromUtf8(caption), menu);
  action->setObjectName(QString::fromLatin1(name));
  menu->addAction(action);
  return action;
}

// A thread title or page caption as a menu or tab text: its character references decoded, and "&"
// doubled so that it stays a plain character (it would mark a shortcut key).
QString TitleMenuText(const std::string& sjis) {
  return QString::fromStdString(TitleForDisplay(sjis))
      .replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}  // namespace

ThreadTabList::ThreadTabList(QObject* parent) : QObject(parent) {}

ThreadTabList::~ThreadTabList() {
  // Tabs still alive here belong to a tab control that outlives the list; they cannot work on.
  if (QApplication::instance() != nullptr) CloseAllTabs();
  delete ownReplyMenu_;
}

void ThreadTabList::SetTabControl(QTabWidget* tabs) {
  tabs_ = tabs;
  tabHistoryItems_.clear();
  tabHistoryMI_ = nullptr;
  tabWriteMI_ = nullptr;
  tabAutoReloadMI_ = nullptr;
  tabMenu_ = nullptr;
  if (tabs_ != nullptr) {
    BuildTabMenu();
    connect(tabs_, &QTabWidget::currentChanged, this, &ThreadTabList::ShowActiveAutoReload);
    connect(tabs_, &QObject::destroyed, this, [this](QObject* gone) {
      if (gone == tabs_) tabs_ = nullptr;
    });
    // A pop-up, pinned or not, belongs to the page it came from.
    connect(tabs_, &QTabWidget::currentChanged, this, [] { AppPopup().HidePopup(); });
  }
}

ThreadTab* ThreadTabList::TabAt(int pageIndex) const {
  if (tabs_ == nullptr || pageIndex < 0 || pageIndex >= tabs_->count()) return nullptr;
  return qobject_cast<ThreadTab*>(tabs_->widget(pageIndex));
}

ThreadTab* ThreadTabList::ActiveTab() const {
  return tabs_ != nullptr ? qobject_cast<ThreadTab*>(tabs_->currentWidget()) : nullptr;
}

ThreadTab* ThreadTabList::NewTab() {
  auto* tab = new ThreadTab(this);
  connect(tab, &QObject::destroyed, this, &ThreadTabList::Forget);
  list_.push_back(tab);
  const int index = tabs_->addTab(tab, QString());
  tab->setVisible(true);
  tabs_->setCurrentIndex(index);
  emit TabsChanged();
  return tab;
}

void ThreadTabList::Forget(QObject* tab) {
  list_.erase(std::remove(list_.begin(), list_.end(), tab), list_.end());
}

void ThreadTabList::OpenThread(const std::string& boardDir, const std::string& datName,
                               const std::string& anchor, int firstUnread, TabChoice where,
                               const std::string& title) {
  if (tabs_ == nullptr) return;
  WaitCursor wait;
  int index = -1;
  if (ThreadTab* shown = TabShowing(boardDir, datName, title, &index)) {
    tabs_->setCurrentIndex(index);
    shown->ShowAgainIfChanged(anchor, firstUnread);
    return;
  }
  ThreadTab* tab = (where == TabChoice::kNewTab || tabs_->count() == 0) ? nullptr : ActiveTab();
  if (tab == nullptr) tab = NewTab();
  tab->SetCaption(title);
  tab->ShowThread(boardDir, datName, anchor, firstUnread, title);
}

ThreadTab* ThreadTabList::TabShowing(const std::string& boardDir, const std::string& datName,
                                     const std::string& title, int* pageIndex) const {
  for (int i = 0; tabs_ != nullptr && i < tabs_->count(); ++i) {
    ThreadTab* tab = TabAt(i);
    if (tab != nullptr && tab->Caption() == title && tab->BoardDir() == boardDir &&
        tab->DatName() == datName) {
      *pageIndex = i;
      return tab;
    }
  }
  return nullptr;
}

void ThreadTabList::ShowFetchFailure(const std::string& boardDir, const std::string& datName,
                                     const std::string& title, const std::string& reason,
                                     TabChoice where, std::function<void()> retry) {
  if (tabs_ == nullptr) return;
  int index = -1;
  ThreadTab* tab = TabShowing(boardDir, datName, title, &index);
  if (tab != nullptr) {
    tabs_->setCurrentIndex(index);
  } else {
    tab = (where == TabChoice::kNewTab || tabs_->count() == 0) ? nullptr : ActiveTab();
    if (tab == nullptr) tab = NewTab();
    tab->SetCaption(title);
  }
  tab->ShowFailure(boardDir, datName, reason, std::move(retry));
}

void ThreadTabList::SetUnstoredThreadOpener(UnstoredThreadOpener opener) {
  unstoredThreadOpener_ = std::move(opener);
}

bool ThreadTabList::UnstoredThreadLinkFollowed(const std::string& boardDir,
                                               const std::string& datName,
                                               const std::string& anchor) {
  return unstoredThreadOpener_ && unstoredThreadOpener_(boardDir, datName, anchor);
}

void ThreadTabList::ShowPage(const std::string& html, const std::string& caption, bool newTab) {
  if (tabs_ == nullptr) return;
  WaitCursor wait;
  ThreadTab* tab =
      (newTab || AppSettings().newTabOpen || tabs_->count() == 0) ? nullptr : ActiveTab();
  if (tab == nullptr) tab = NewTab();
  tab->SetCaption(caption);
  tab->ShowHtml(html);
}

void ThreadTabList::CloseTab(int pageIndex) {
  ThreadTab* tab = TabAt(pageIndex);
  if (tab == nullptr) return;
  closed_.push_back(tab->TakeSnapshot());
  if (closed_.size() > kClosedTabLimit) closed_.erase(closed_.begin());
  Forget(tab);
  delete tab;
  emit TabsChanged();
}

void ThreadTabList::CloseOtherTabs(int pageIndex) {
  if (TabAt(pageIndex) == nullptr) return;
  for (int i = tabs_->count() - 1; i > pageIndex; --i) CloseTab(i);
  for (int i = pageIndex - 1; i >= 0; --i) CloseTab(i);
}

void ThreadTabList::CloseAllTabs() {
  const std::vector<ThreadTab*> tabs = list_;
  list_.clear();
  for (ThreadTab* tab : tabs) delete tab;
  if (!tabs.empty()) emit TabsChanged();
}

void ThreadTabList::ReopenClosedTab() {
  if (tabs_ == nullptr || closed_.empty()) return;
  WaitCursor wait;
  const ThreadTab::Snapshot snapshot = std::move(closed_.back());
  closed_.pop_back();
  NewTab()->ShowSnapshot(snapshot);
}

void ThreadTabList::ActivateNextTab(bool forward) {
  if (tabs_ == nullptr || tabs_->count() < 2) return;
  const int count = tabs_->count();
  tabs_->setCurrentIndex((tabs_->currentIndex() + (forward ? 1 : count - 1)) % count);
}

void ThreadTabList::ReloadActiveThread() {
  if (ThreadTab* tab = ActiveTab()) tab->Reload();
}

void ThreadTabList::FocusActiveTab() {
  if (ThreadTab* tab = ActiveTab()) tab->FocusDocument();
}

std::string ThreadTabList::ActiveThreadUrl() const {
  const ThreadTab* tab = ActiveTab();
  return tab != nullptr ? tab->ThreadUrl() : std::string();
}

std::string ThreadTabList::ActiveCaption() const {
  const ThreadTab* tab = ActiveTab();
  return tab != nullptr ? tab->Caption() : std::string();
}

std::vector<std::string> ThreadTabList::ActiveHistoryTitles() const {
  const ThreadTab* tab = ActiveTab();
  return tab != nullptr ? tab->HistoryTitles() : std::vector<std::string>();
}

void ThreadTabList::OpenActiveHistoryEntry(int index) {
  if (ThreadTab* tab = ActiveTab()) {
    WaitCursor wait;
    tab->OpenHistoryEntry(index);
  }
}

void ThreadTabList::SetActiveBookmark() {
  if (ThreadTab* tab = ActiveTab()) tab->SetBookmark();
}

void ThreadTabList::DeleteActiveThreadLog() {
  if (ThreadTab* tab = ActiveTab()) tab->DeleteThreadLog();
}

void ThreadTabList::SetShownSubjects(std::function<SubjectList*()> source) {
  shownSubjects_ = std::move(source);
}

SubjectList* ThreadTabList::ShownSubjects() const {
  return shownSubjects_ ? shownSubjects_() : nullptr;
}

void ThreadTabList::SetNetworkBusy(std::function<bool()> busy) {
  networkBusy_ = std::move(busy);
}

void ThreadTabList::SetBoardThreadOpener(
    std::function<void(const std::string&, const std::string&, const std::string&)> opener) {
  boardThreadOpener_ = std::move(opener);
}

void ThreadTabList::SetBoardListRefresher(std::function<void(const std::string&)> refresher) {
  boardListRefresher_ = std::move(refresher);
}

bool ThreadTabList::NetworkBusy() const {
  return networkBusy_ && networkBusy_();
}

void ThreadTabList::BoardThreadChosen(const std::string& boardDir, const std::string& datName,
                                      const std::string& title) {
  if (boardThreadOpener_) boardThreadOpener_(boardDir, datName, title);
}

void ThreadTabList::BoardListWanted(const std::string& boardDir) {
  if (boardListRefresher_) boardListRefresher_(boardDir);
}

void ThreadTabList::ToggleActiveAutoReload() {
  if (ThreadTab* tab = ActiveTab()) tab->SetAutoReload(!tab->AutoReloading());
  ShowActiveAutoReload();
}

void ThreadTabList::ShowActiveAutoReload() {
  if (tabAutoReloadMI_ == nullptr) return;
  const ThreadTab* tab = ActiveTab();
  tabAutoReloadMI_->setChecked(tab != nullptr && tab->AutoReloading());
}

void ThreadTabList::SetReplyMenu(QMenu* menu) {
  replyMenu_ = menu;
}

QMenu* ThreadTabList::ReplyMenu() {
  if (replyMenu_ != nullptr) return replyMenu_;
  if (ownReplyMenu_ == nullptr) {
    ownReplyMenu_ = new QMenu();
    ownReplyMenu_->setObjectName(QStringLiteral("iePM"));
    QAction* bookmark = ownReplyMenu_->addAction(QString::fromUtf8("ここまで読んだ"));
    bookmark->setObjectName(QStringLiteral("ieBookmarkMI"));
    connect(bookmark, &QAction::triggered, this, &ThreadTabList::SetActiveBookmark);
    ownReplyMenu_->addSeparator();
    ieReplyMI_ = ownReplyMenu_->addAction(QString::fromUtf8("これにレス"));
    ieReplyMI_->setObjectName(QStringLiteral("ieReplyMI"));
    connect(ieReplyMI_, &QAction::triggered, this, [this] {
      if (ThreadTab* tab = ActiveTab()) tab->ReplyTo(tab->MenuReplyNumber());
    });
    ieOwnMI_ = ownReplyMenu_->addAction(QString::fromUtf8("自分の書き込み"));
    ieOwnMI_->setObjectName(QStringLiteral("ieOwnMI"));
    ieOwnMI_->setCheckable(true);
    connect(ieOwnMI_, &QAction::triggered, this, [this](bool own) {
      if (ThreadTab* tab = ActiveTab()) tab->SetOwnReply(tab->MenuReplyNumber(), own);
    });
    connect(ownReplyMenu_, &QMenu::aboutToShow, this, &ThreadTabList::iePMPopup);
  }
  return ownReplyMenu_;
}

void ThreadTabList::iePMPopup() {
  const ThreadTab* tab = ActiveTab();
  const bool thread = InstalledThreadPosting() != nullptr && tab != nullptr &&
                      !tab->DatName().empty() && tab->MenuReplyNumber() > 0;
  ieReplyMI_->setEnabled(thread);
  ieOwnMI_->setEnabled(thread);
  ieOwnMI_->setChecked(thread && tab->IsOwnReply(tab->MenuReplyNumber()));
}

void ThreadTabList::OpenReplyWindow() {
  if (ThreadTab* tab = ActiveTab()) tab->ReplyTo(0);
}

void ThreadTabList::ShowReplyMenu(QPoint globalPos) {
  ReplyMenu()->popup(globalPos);
}

QMenu* ThreadTabList::TabMenu() {
  return tabMenu_.data();
}

void ThreadTabList::ExecTabMenu(QPoint globalPos) {
  if (QMenu* menu = TabMenu()) menu->exec(globalPos);
}

void ThreadTabList::BuildTabMenu() {
  auto* menu = new QMenu(tabs_);
  tabMenu_ = menu;
  menu->setObjectName(QStringLiteral("tabPM"));
  tabWriteMI_ = AddItem(menu, "tabWriteMI", "書き込み");
  menu->addSeparator();
  QAction* close = AddItem(menu, "tabCloseMI", "このタブを閉じる");
  tabReopenMI_ = AddItem(menu, "tabReopenMI", "閉じたタブを開き直す");
  tabReloadMI_ = AddItem(menu, "tabReloadMI", "再読み込み");
  AppKeys().Show("CloseTab", close);
  AppKeys().Show("ReopenClosedTab", tabReopenMI_);
  AppKeys().Show("ReloadThread", tabReloadMI_);
  auto* control = new QMenu(QString::fromUtf8("操作"), menu);
  control->setObjectName(QStringLiteral("tabControlMI"));
  menu->addMenu(control);
  QAction* deleteLog = AddItem(control, "tabDeleteLogMI", "ログ削除");
  QAction* closeOther = AddItem(menu, "tabCloseOtherMI", "これ以外のタブを閉じる");
  menu->addSeparator();
  tabAutoReloadMI_ = AddItem(menu, "tabAutoReloadMI", "自動更新");
  tabAutoReloadMI_->setCheckable(true);
  AppKeys().Show("AutoReload", tabAutoReloadMI_);
  menu->addSeparator();
  QAction* titleCopy = AddItem(menu, "tabTitleCopyMI", "タイトルをコピー");
  QAction* urlCopy = AddItem(menu, "tabURLCopyMI", "URLをコピー");
  menu->addSeparator();
  tabHistoryMI_ = new QMenu(QString::fromUtf8("履歴"), menu);
  tabHistoryMI_->setObjectName(QStringLiteral("tabHistoryMI"));
  menu->addMenu(tabHistoryMI_);
  for (int i = 1; i <= static_cast<int>(ThreadTab::kHistorySize); ++i) {
    const std::string name = "tabHistory" + std::to_string(i) + "MI";
    QAction* item = AddItem(tabHistoryMI_, name.c_str(), std::to_string(i).c_str());
    connect(item, &QAction::triggered, this, [this, i] { OpenActiveHistoryEntry(i - 1); });
    tabHistoryItems_.push_back(item);
  }
  menu->addSeparator();
  QAction* openBrowser = AddItem(menu, "tabOpenBrowserMI", "ブラウザで開く");

  connect(menu, &QMenu::aboutToShow, this, &ThreadTabList::tabPMPopup);
  connect(tabWriteMI_, &QAction::triggered, this, &ThreadTabList::OpenReplyWindow);
  connect(close, &QAction::triggered, this, [this] {
    if (tabs_ != nullptr && tabs_->count() > 0) CloseTab(tabs_->currentIndex());
  });
  connect(closeOther, &QAction::triggered, this, [this] {
    if (tabs_ != nullptr && tabs_->count() > 0) CloseOtherTabs(tabs_->currentIndex());
  });
  connect(deleteLog, &QAction::triggered, this, &ThreadTabList::DeleteActiveThreadLog);
  connect(tabReopenMI_, &QAction::triggered, this, &ThreadTabList::ReopenClosedTab);
  connect(tabReloadMI_, &QAction::triggered, this, &ThreadTabList::ReloadActiveThread);
  connect(tabAutoReloadMI_, &QAction::triggered, this, &ThreadTabList::ToggleActiveAutoReload);
  connect(titleCopy, &QAction::triggered, this, [this] {
    if (ActiveTab() != nullptr) {
      QApplication::clipboard()->setText(QString::fromStdString(TitleForDisplay(ActiveCaption())));
    }
  });
  connect(urlCopy, &QAction::triggered, this, [this] {
    if (ActiveTab() != nullptr) QApplication::clipboard()->setText(FromSjis(ActiveThreadUrl()));
  });
  connect(openBrowser, &QAction::triggered, this, [this] {
    if (ActiveTab() != nullptr) QDesktopServices::openUrl(QUrl(FromSjis(ActiveThreadUrl())));
  });
}

void ThreadTabList::tabPMPopup() {
  tabReopenMI_->setEnabled(HasClosedTab());
  const ThreadTab* active = ActiveTab();
  tabWriteMI_->setEnabled(InstalledThreadPosting() != nullptr && active != nullptr &&
                          !active->DatName().empty());
  tabReloadMI_->setEnabled(active != nullptr && !active->DatName().empty());
  ShowActiveAutoReload();
  tabHistoryMI_->setEnabled(false);
  for (std::size_t i = 0; i < tabHistoryItems_.size(); ++i) {
    tabHistoryItems_[i]->setText(QString::number(i + 1));
    tabHistoryItems_[i]->setVisible(i == 0);
  }
  const std::vector<std::string> titles = ActiveHistoryTitles();
  if (titles.empty()) return;
  tabHistoryMI_->setEnabled(true);
  for (std::size_t i = 0; i < tabHistoryItems_.size() && i < titles.size(); ++i) {
    tabHistoryItems_[i]->setText(TitleMenuText(titles[i]));
    tabHistoryItems_[i]->setVisible(true);
  }
}

void ThreadTabList::TabCaptionChanged(ThreadTab& tab) {
  if (tabs_ == nullptr) return;
  const int index = tabs_->indexOf(&tab);
  // "&" would mark a shortcut key in a tab caption.
  if (index < 0) return;
  QString text = TitleMenuText(tab.Caption());
  if (tab.UnseenAnswersToOwn() > 0) {
    text = QString::fromUtf8("[返信%1] ").arg(tab.UnseenAnswersToOwn()) + text;
  }
  if (tab.AutoReloading()) text = QString::fromUtf8("↻ ") + text;
  tabs_->setTabText(index, text);
  ShowActiveAutoReload();
  emit TabsChanged();
}

void ThreadTabList::TabThreadStateChanged(const ThreadTab& tab) {
  emit ThreadStateChanged(FromSjis(tab.BoardDir()), FromSjis(tab.DatName()));
}

void ThreadTabList::ReplyMenuRequested(QPoint globalPos) {
  ShowReplyMenu(globalPos);
}

void ThreadTabList::ThreadLinkFollowed(const std::string& boardDir, const std::string& datName,
                                       const std::string& anchor, int firstUnread,
                                       const std::string& title) {
  OpenThread(boardDir, datName, anchor, firstUnread, TabChoice::kNewTab, title);
}

ThreadTabList& ThreadTabs() {
  static ThreadTabList list;
  return list;
}

}  // namespace velkor
