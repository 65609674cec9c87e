#pragma once

#include <QObject>
#include <QPointer>
#include <QTabWidget>
#include <functional>
#include <string_view>
#include <vector>

class QAction;
class QToolButton;
class QMainWindow;
class QWidget;

namespace velkor {

class FindBar;

// The main window's keyboard: one action per command of the key table (app/KeyBindings.h), added
// to the window and bound in AppKeys(), so its keys work wherever the focus is in the window (the
// thread page included) and change with the settings. Their object names are the command's name
// with a lower-case initial and "Action" ("closeTabAction"); docs/keys.md lists them. Also the
// mouse's back and forward buttons over the thread pages, the tab row's reload button, and the
// page menu's requests for the find bar (PageCommands).
//
// Two actions are connected by their owners: "replyAction" (書き込み: the main window opens the
// reply window) and "autoReloadAction" (自動更新 of the active tab).
class WindowKeys : public QObject {
  Q_OBJECT

 public:
  // What the commands act on, beside the process-wide tabs (ThreadTabs()).
  struct Targets {
    QTabWidget* tabs = nullptr;  // tabPageControl
    FindBar* findBar = nullptr;
    // "更新" of the thread list.
    std::function<void()> refreshList;
    // The panes F6 visits, in order, those shown now: board tree, thread list, page.
    std::function<std::vector<QWidget*>()> panes;
  };

  WindowKeys(QMainWindow& window, Targets targets);
  ~WindowKeys() override;

  // The action of the command `name` (KeyCommands), or null (AppKeys().Action).
  QAction* Action(std::string_view name) const;
  // A tool button named `name` for ReloadThread (the tab row's "再読み込み"); the tab control's
  // corner has one already.
  QToolButton* ReloadButton(QWidget* parent, const char* name) const;
  // Moves the focus to the next (or previous) pane of the ring; from outside the ring to its first.
  void FocusNextPane(bool forward);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QAction* Add(std::string_view name, std::function<void()> command);

  QMainWindow& window_;
  Targets targets_;
  QPointer<QTabWidget> tabs_;  // goes before this object when the window is destroyed
};

}  // namespace velkor
