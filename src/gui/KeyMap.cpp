#include "gui/KeyMap.h"

#include <QAction>
#include <QSet>
#include <QWidget>
#include <algorithm>

#include "gui/GuiText.h"

namespace velkor {
namespace {

struct CommandCaption {
  std::string_view name;
  const char* caption;
};

constexpr CommandCaption kCaptions[] = {
    {"CloseTab", "タブを閉じる"},
    {"ReopenClosedTab", "閉じたタブを開き直す"},
    {"NextTab", "次のタブ"},
    {"PreviousTab", "前のタブ"},
    {"RefreshList", "スレッド一覧を更新"},
    {"ReloadThread", "スレッドを再読み込み"},
    {"AutoReload", "自動更新"},
    {"CheckNewReplies", "新着チェック"},
    {"Reply", "書き込み"},
    {"Find", "スレッド内を検索"},
    {"FindNext", "次を検索"},
    {"FindPrevious", "前を検索"},
    {"ClosePopups", "ポップアップと検索バーを閉じる"},
    {"Back", "戻る"},
    {"Forward", "進む"},
    {"ZoomIn", "拡大"},
    {"ZoomOut", "縮小"},
    {"ZoomReset", "等倍"},
    {"NextPane", "次の枠へ"},
    {"PreviousPane", "前の枠へ"},
    {"Quit", "終了"},
};

// X11 reports Shift+Tab as Backtab: a key with Shift+Tab also answers to that form.
QList<QKeySequence> WithBacktab(const QList<QKeySequence>& keys) {
  QList<QKeySequence> all = keys;
  for (const QKeySequence& key : keys) {
    if (key.count() != 1) continue;
    const QKeyCombination combination = key[0];
    if (combination.key() == Qt::Key_Tab &&
        combination.keyboardModifiers().testFlag(Qt::ShiftModifier)) {
      all.append(QKeySequence(QKeyCombination(combination.keyboardModifiers(), Qt::Key_Backtab)));
    }
  }
  return all;
}

}  // namespace

KeyMap::KeyMap() {
  Apply(KeyBindings());
}

QString KeyMap::Caption(std::string_view command) {
  for (const CommandCaption& entry : kCaptions) {
    if (entry.name == command) return QString::fromUtf8(entry.caption);
  }
  return QString::fromUtf8(command.data(), static_cast<qsizetype>(command.size()));
}

std::optional<QList<QKeySequence>> KeyMap::Parse(const QString& text) {
  // Keys are joined by ";". A ";" opening a key, or right after the "+" that joins a modifier
  // ("Ctrl+;"), is the key itself; after "++" the "+" was the key ("Ctrl++; Ctrl+=").
  QStringList parts;
  QString part;
  for (const QChar c : text) {
    const QString trimmed = part.trimmed();
    const bool joins = trimmed.endsWith(QLatin1Char('+')) && trimmed.size() >= 2 &&
                       trimmed[trimmed.size() - 2] != QLatin1Char('+');
    if (c == QLatin1Char(';') && !trimmed.isEmpty() && !joins) {
      parts.append(trimmed);
      part.clear();
    } else {
      part.append(c);
    }
  }
  if (!part.trimmed().isEmpty()) parts.append(part.trimmed());
  QList<QKeySequence> keys;
  for (const QString& portable : parts) {
    const QKeySequence key = QKeySequence::fromString(portable, QKeySequence::PortableText);
    if (key.isEmpty()) return std::nullopt;
    for (int i = 0; i < key.count(); ++i) {
      if (key[i].key() == Qt::Key_unknown) return std::nullopt;
    }
    keys.append(key);
  }
  return keys;
}

QString KeyMap::PortableText(const QList<QKeySequence>& keys) {
  QStringList texts;
  for (const QKeySequence& key : keys) texts.append(key.toString(QKeySequence::PortableText));
  return texts.join(QStringLiteral("; "));
}

QString KeyMap::NativeText(const QList<QKeySequence>& keys) {
  QStringList texts;
  for (const QKeySequence& key : keys) texts.append(key.toString(QKeySequence::NativeText));
  return texts.join(QStringLiteral(", "));
}

void KeyMap::Apply(const KeyBindings& bindings) {
  keys_.clear();
  QSet<QKeySequence> taken;
  for (const KeyCommand& command : KeyCommands()) {
    std::optional<QList<QKeySequence>> keys = Parse(FromSjis(bindings.Keys(command.name)));
    const auto clashes = [&taken](const QKeySequence& key) { return taken.contains(key); };
    if (!keys || std::any_of(keys->begin(), keys->end(), clashes)) {
      keys = Parse(QString::fromLatin1(command.defaultKeys));
    }
    QList<QKeySequence> free;
    for (const QKeySequence& key : keys.value_or(QList<QKeySequence>())) {
      if (taken.contains(key)) continue;
      taken.insert(key);
      free.append(key);
    }
    keys_.emplace(std::string(command.name), free);
  }
  for (const Registration& registration : registered_) Refresh(registration);
  emit Changed();
}

QList<QKeySequence> KeyMap::Keys(std::string_view command) const {
  const auto found = keys_.find(command);
  return found != keys_.end() ? found->second : QList<QKeySequence>();
}

void KeyMap::Bind(std::string_view command, QAction* action) {
  Register({std::string(command), Kind::kBound, action, nullptr, action->text()});
}

QAction* KeyMap::Action(std::string_view command) const {
  for (auto it = registered_.rbegin(); it != registered_.rend(); ++it) {
    if (it->kind == Kind::kBound && it->command == command && !it->action.isNull()) {
      return it->action;
    }
  }
  return nullptr;
}

void KeyMap::Show(std::string_view command, QAction* menuItem) {
  menuItem->setShortcutContext(Qt::WidgetShortcut);
  Register({std::string(command), Kind::kShown, menuItem, nullptr, QString()});
}

void KeyMap::ShowTip(std::string_view command, QWidget* widget, const QString& text) {
  Register({std::string(command), Kind::kTip, nullptr, widget, text});
}

void KeyMap::Register(Registration registration) {
  std::erase_if(registered_, [](const Registration& old) {
    return old.kind == Kind::kTip ? old.widget.isNull() : old.action.isNull();
  });
  Refresh(registration);
  registered_.push_back(std::move(registration));
}

void KeyMap::Refresh(const Registration& registration) const {
  const QList<QKeySequence> keys = Keys(registration.command);
  const QString named =
      keys.isEmpty() ? QString() : QStringLiteral(" (") + NativeText(keys) + QLatin1Char(')');
  switch (registration.kind) {
    case Kind::kBound:
      if (registration.action.isNull()) return;
      registration.action->setShortcuts(WithBacktab(keys));
      registration.action->setToolTip(QString(registration.text).remove(QLatin1Char('&')) + named);
      break;
    case Kind::kShown:
      if (!registration.action.isNull()) registration.action->setShortcuts(keys);
      break;
    case Kind::kTip:
      if (!registration.widget.isNull()) registration.widget->setToolTip(registration.text + named);
      break;
  }
}

KeyMap& AppKeys() {
  static KeyMap keys;
  return keys;
}

}  // namespace velkor
