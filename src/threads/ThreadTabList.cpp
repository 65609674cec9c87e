#include "threads/ThreadTabList.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTabWidget>
#include <algorithm>

#include "app/Settings.h"
#include "base/Sjis.h"
#include "threads/ThreadTab.h"

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

}  // namespace

ThreadTabList::ThreadTabList(QObject* parent) : QObject(parent) {}

ThreadTabList::~ThreadTabList() {
  // Tabs still alive here belong to a tab control that outlives the list; they cannot work on.
  if (QApplication::instance() != nullptr) CloseAllTabs();
  delete ownReplyMenu_;
}

void ThreadTabList::SetTabControl(QTabWidget* tabs) {
  tabs_ = tabs;
  if (tabs_ != nullptr) {
    connect(tabs_, &QObject::destroyed, this, [this](QObject* gone) {
      if (gone == tabs_) tabs_ = nullptr;
    });
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
  return tab;
}

void ThreadTabList::Forget(QObject* tab) {
  list_.erase(std::remove(list_.begin(), list_.end(), tab), list_.end());
}

void ThreadTabList::OpenThread(const std::string& boardDir, const std::string& datName,
                               const std::string& anchor, int firstUnread, int mode,
                               const std::string& title) {
  if (tabs_ == nullptr) return;
  WaitCursor wait;
  for (int i = 0; i < tabs_->count(); ++i) {
    const ThreadTab* tab = TabAt(i);
    if (tab != nullptr && tab->Caption() == title && tab->BoardDir() == boardDir &&
        tab->DatName() == datName) {
      tabs_->setCurrentIndex(i);
      return;
    }
  }
  ThreadTab* tab = (mode == 1 || tabs_->count() == 0) ? nullptr : ActiveTab();
  if (tab == nullptr) tab = NewTab();
  tab->SetCaption(title);
  tab->ShowThread(boardDir, datName, anchor, firstUnread, title);
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
  Forget(tab);
  delete tab;
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
  }
  return ownReplyMenu_;
}

void ThreadTabList::ShowReplyMenu(QPoint globalPos) {
  ReplyMenu()->popup(globalPos);
}

ThreadTabList& ThreadTabs() {
  static ThreadTabList list;
  return list;
}

}  // namespace velkor
