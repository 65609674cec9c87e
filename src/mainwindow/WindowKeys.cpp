#include "mainwindow/WindowKeys.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMouseEvent>
#include <QTabWidget>
#include <QToolButton>
#include <algorithm>

#include "gui/KeyMap.h"
#include "threads/ui/FindBar.h"
#include "threads/ui/PageCommands.h"
#include "threads/ui/PageZoom.h"
#include "threads/ui/PopupWindow.h"
#include "threads/ui/ThreadTab.h"
#include "threads/ui/ThreadTabList.h"

namespace velkor {
namespace {

// "CloseTab" -> "closeTabAction".
QString ActionName(std::string_view command) {
  QString name = QString::fromLatin1(command.data(), static_cast<qsizetype>(command.size()));
  if (!name.isEmpty()) name[0] = name[0].toLower();
  return name + QStringLiteral("Action");
}

void OnActiveTab(void (ThreadTab::*command)()) {
  if (ThreadTab* tab = ThreadTabs().ActiveTab()) (tab->*command)();
}

}  // namespace

WindowKeys::WindowKeys(QMainWindow& window, Targets targets)
    : QObject(&window), window_(window), targets_(std::move(targets)), tabs_(targets_.tabs) {
  ThreadTabList& tabs = ThreadTabs();
  FindBar* find = targets_.findBar;
  Add("CloseTab", [&tabs] {
    if (QTabWidget* control = tabs.TabControl(); control != nullptr && control->count() > 0) {
      tabs.CloseTab(control->currentIndex());
    }
  });
  Add("ReopenClosedTab", [&tabs] { tabs.ReopenClosedTab(); });
  Add("NextTab", [&tabs] { tabs.ActivateNextTab(true); });
  Add("PreviousTab", [&tabs] { tabs.ActivateNextTab(false); });
  Add("RefreshList", targets_.refreshList);
  Add("ReloadThread", [&tabs] { tabs.ReloadActiveThread(); });
  Add("AutoReload", {});
  Add("Reply", {});
  Add("Find", [find] { find->Open(); });
  Add("FindNext", [find] { find->FindNext(); });
  Add("FindPrevious", [find] { find->FindPrevious(); });
  Add("ClosePopups", [find] {
    AppPopup().HidePopup();
    find->Close();
  });
  Add("Back", [] { OnActiveTab(&ThreadTab::GoBack); });
  Add("Forward", [] { OnActiveTab(&ThreadTab::GoForward); });
  Add("ZoomIn", [] { ThreadPageZoom().ZoomIn(); });
  Add("ZoomOut", [] { ThreadPageZoom().ZoomOut(); });
  Add("ZoomReset", [] { ThreadPageZoom().Reset(); });
  Add("NextPane", [this] { FocusNextPane(true); });
  Add("PreviousPane", [this] { FocusNextPane(false); });
  Add("Quit", [this] {
    AppPopup().HidePopup();
    window_.close();
  });

  connect(&ThreadPageCommands(), &PageCommands::FindRequested, find, &FindBar::Open);

  if (!tabs_.isNull()) {
    tabs_->setCornerWidget(ReloadButton(tabs_, "tabReloadButton"), Qt::TopRightCorner);
  }
  qApp->installEventFilter(this);
}

WindowKeys::~WindowKeys() {
  qApp->removeEventFilter(this);
}

QAction* WindowKeys::Add(std::string_view name, std::function<void()> command) {
  auto* action = new QAction(KeyMap::Caption(name), &window_);
  action->setObjectName(ActionName(name));
  action->setShortcutContext(Qt::WindowShortcut);
  if (command) connect(action, &QAction::triggered, this, std::move(command));
  window_.addAction(action);
  AppKeys().Bind(name, action);
  return action;
}

QAction* WindowKeys::Action(std::string_view name) const {
  return AppKeys().Action(name);
}

QToolButton* WindowKeys::ReloadButton(QWidget* parent, const char* name) const {
  auto* button = new QToolButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoRaise(true);
  button->setDefaultAction(Action("ReloadThread"));
  return button;
}

void WindowKeys::FocusNextPane(bool forward) {
  if (!targets_.panes) return;
  const std::vector<QWidget*> panes = targets_.panes();
  if (panes.empty()) return;
  const QWidget* focus = QApplication::focusWidget();
  const auto inside = std::find_if(panes.begin(), panes.end(), [focus](const QWidget* pane) {
    return focus != nullptr && (pane == focus || pane->isAncestorOf(focus));
  });
  const int count = static_cast<int>(panes.size());
  int next = 0;
  if (inside != panes.end()) {
    const int at = static_cast<int>(inside - panes.begin());
    next = (at + (forward ? 1 : count - 1)) % count;
  }
  panes[static_cast<std::size_t>(next)]->setFocus(forward ? Qt::TabFocusReason
                                                          : Qt::BacktabFocusReason);
}

bool WindowKeys::eventFilter(QObject* watched, QEvent* event) {
  // The mouse's back and forward buttons over a thread page go back and forward in that tab; the
  // browser never sees them (it would try its own history).
  if (event->type() == QEvent::MouseButtonPress && !tabs_.isNull()) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const bool back = mouse->button() == Qt::BackButton;
    if (back || mouse->button() == Qt::ForwardButton) {
      auto* widget = qobject_cast<QWidget*>(watched);
      if (widget != nullptr && tabs_->isAncestorOf(widget)) {
        OnActiveTab(back ? &ThreadTab::GoBack : &ThreadTab::GoForward);
        return true;
      }
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace velkor
