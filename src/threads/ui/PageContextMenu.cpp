#include "threads/ui/PageContextMenu.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QPointer>
#include <QWebEnginePage>

#include "base/Sjis.h"
#include "gui/Dialogs.h"
#include "gui/GuiText.h"
#include "gui/KeyMap.h"
#include "threads/NgRule.h"
#include "threads/ThreadLinks.h"
#include "threads/ui/PageCommands.h"
#include "threads/ui/TNgForm.h"
#include "threads/ui/ThreadTab.h"

namespace velkor {
namespace {

constexpr std::string_view kInPage = "about:blank#";
constexpr std::string_view kMenuLink = "menu:";

QAction* AddEntry(QMenu* menu, const char* name, const char* caption, bool enabled) {
  QAction* action = menu->addAction(QString::fromUtf8(caption));
  action->setObjectName(QString::fromLatin1(name));
  action->setEnabled(enabled);
  return action;
}

// Shows `keys` beside a menu entry whose keys belong to the page itself, not to the key table.
void ShowKeys(QAction* action, QKeySequence::StandardKey keys) {
  action->setShortcutContext(Qt::WidgetShortcut);
  action->setShortcuts(keys);
}

}  // namespace

void PageContextMenu::Open(ThreadTab& tab, const ThreadView::PageClick& click) {
  QPointer<ThreadTab> self(&tab);
  tab.View()->ReplyAt(click.pos, [self, click](int reply) {
    if (self.isNull()) return;
    QMenu* menu = Build(*self, click, reply);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(click.globalPos);
  });
}

QMenu* PageContextMenu::Build(ThreadTab& tab, const ThreadView::PageClick& click, int reply) {
  // Not the tab's child: a command may close the tab (or the window may, while a reload lets it
  // run), and the menu must outlive the action it is running.
  auto* menu = new QMenu();
  menu->setObjectName(QStringLiteral("threadViewPM"));
  const bool thread = !tab.BoardDir().empty() && !tab.DatName().empty();
  const std::string selection(TrimView(ToSjis(click.selection)));
  const bool selected = !selection.empty();
  QPointer<ThreadTab> self(&tab);

  if (!click.link.isEmpty()) {
    const std::string link = ToSjis(click.link);
    const LinkAction action = ClassifyLink(link);
    QAction* open = AddEntry(menu, "openLinkMI", "リンクを開く", action.kind != LinkAction::kNone);
    QObject::connect(open, &QAction::triggered, &tab, [self, link] {
      if (!self.isNull()) self->LinkFollowed(link);
    });
    const bool web =
        (action.kind == LinkAction::kExternal || action.kind == LinkAction::kOpenThread) &&
        IsExternalLinkAllowed(link);
    QAction* outside = AddEntry(menu, "openLinkBrowserMI", "ブラウザで開く", web);
    QObject::connect(outside, &QAction::triggered, &tab, [self, link] {
      if (!self.isNull()) self->OpenExternally(link);
    });
    QAction* copyLink = AddEntry(menu, "copyLinkMI", "リンクをコピー", true);
    const std::string copied = LinkToCopy(tab, link);
    QObject::connect(copyLink, &QAction::triggered, &tab,
                     [copied] { QApplication::clipboard()->setText(FromSjis(copied)); });
    menu->addSeparator();
  }

  QAction* copy = AddEntry(menu, "copyMI", "コピー", selected);
  ShowKeys(copy, QKeySequence::Copy);
  const QString text = click.selection;
  QObject::connect(copy, &QAction::triggered, &tab,
                   [text] { QApplication::clipboard()->setText(text); });
  QAction* search = AddEntry(menu, "searchSelectionMI", "選択範囲で検索", selected);
  const QString searched = FromSjis(selection);
  QObject::connect(search, &QAction::triggered, &tab,
                   [searched] { emit ThreadPageCommands().LogSearchRequested(searched); });
  QAction* replyTo = AddEntry(menu, "replyToMI", "これにレス", thread && reply > 0);
  replyTo->setVisible(ThreadPageCommands().HasReplyWindow());
  AppKeys().Show("Reply", replyTo);
  const QString boardDir = FromSjis(tab.BoardDir());
  const QString datName = FromSjis(tab.DatName());
  QObject::connect(replyTo, &QAction::triggered, &tab, [boardDir, datName, reply, text] {
    emit ThreadPageCommands().ReplyRequested(boardDir, datName, reply, text);
  });
  menu->addSeparator();

  // A rule's pattern is one line: a selection over several lines makes none, and the entries then
  // take the reply under the pointer as they do without a selection.
  const std::string pattern =
      selection.find_first_of("\r\n") == std::string::npos ? selection : std::string();
  const QPoint pos = click.pos;
  const auto addNg = [&](const char* name, const char* caption, NgKind kind) {
    const bool usable = !pattern.empty() || !tab.NgPatternOf(kind, reply).empty();
    QAction* action = AddEntry(menu, name, caption, thread && usable);
    QObject::connect(action, &QAction::triggered, &tab, [self, kind, pattern, pos] {
      if (!self.isNull()) self->AddNgRuleFromMenu(kind, pattern, pos);
    });
  };
  addNg("ngWordMI", "NGワードに追加", NgKind::kWord);
  addNg("ngNameMI", "NG名前に追加", NgKind::kName);
  addNg("ngIdMI", "NGIDに追加", NgKind::kId);
  QAction* edit = AddEntry(menu, "ngEditMI", "NG設定...", true);
  const std::string board = NgBoardOfLogPath(tab.BoardDir());
  QObject::connect(edit, &QAction::triggered, &tab, [self, board] {
    if (self.isNull()) return;
    TNgForm form(board, self);
    AppDialogs().Exec(form);
  });
  menu->addSeparator();

  QAction* selectAll = AddEntry(menu, "selectAllMI", "すべて選択", true);
  ShowKeys(selectAll, QKeySequence::SelectAll);
  QObject::connect(selectAll, &QAction::triggered, &tab, [self] {
    if (!self.isNull()) self->View()->page()->triggerAction(QWebEnginePage::SelectAll);
  });
  QAction* find = AddEntry(menu, "findMI", "検索", true);
  AppKeys().Show("Find", find);
  QObject::connect(find, &QAction::triggered, &tab,
                   [searched] { emit ThreadPageCommands().FindRequested(searched); });
  QAction* reload = AddEntry(menu, "reloadMI", "再読み込み", thread);
  AppKeys().Show("ReloadThread", reload);
  QObject::connect(reload, &QAction::triggered, &tab, [self] {
    if (!self.isNull()) self->Reload();
  });
  return menu;
}

std::string PageContextMenu::LinkToCopy(const ThreadTab& tab, const std::string& link) {
  const std::string thread = tab.ThreadUrl();
  if (thread.empty()) return link;
  const std::string_view text(link);
  if (text.starts_with(kMenuLink)) return thread + "/" + std::string(text.substr(kMenuLink.size()));
  if (!text.starts_with(kInPage)) return link;
  const std::string_view fragment = text.substr(kInPage.size());
  const bool reply =
      fragment.size() > 1 && fragment[0] == 'a' && fragment[1] >= '0' && fragment[1] <= '9';
  return reply ? thread + "/" + std::string(fragment.substr(1)) : thread;
}

}  // namespace velkor
