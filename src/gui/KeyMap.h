#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/KeyBindings.h"

class QAction;
class QWidget;

namespace velkor {

// The window's side of the key table (app/KeyBindings.h): the keys of each command as Qt key
// sequences, the actions that run the commands, and the menu entries and tooltips that name the
// keys. Made with the default keys; Apply takes those of config.ini.
class KeyMap : public QObject {
  Q_OBJECT

 public:
  KeyMap();

  // The command's caption as the settings dialog lists it ("タブを閉じる"); the name itself for a
  // name that is no command.
  static QString Caption(std::string_view command);
  // Portable key text ("Ctrl+Tab; Ctrl+PgDown", keys joined by ";") as key sequences: an empty text
  // gives no key; nullopt when some key cannot be read.
  static std::optional<QList<QKeySequence>> Parse(const QString& text);
  // Key sequences as config.ini holds them ("; " between keys) and as the user reads them.
  static QString PortableText(const QList<QKeySequence>& keys);
  static QString NativeText(const QList<QKeySequence>& keys);

  // Takes the keys of every command from `bindings`; a text Parse cannot use, or one naming a key
  // an earlier command of the table has, gives the command its default keys. A default key an
  // earlier command has is left to that one, so no key is ever ambiguous. Every registered action,
  // menu entry and tooltip shows the new keys.
  void Apply(const KeyBindings& bindings);
  // The keys of `command` as applied (empty for a name that is no command).
  QList<QKeySequence> Keys(std::string_view command) const;

  // `action` runs `command`: it takes the command's keys as its shortcuts (in the shortcut context
  // it has) and its tooltip names them. The last action bound to a command is its Action().
  void Bind(std::string_view command, QAction* action);
  // The action bound to `command`, or null.
  QAction* Action(std::string_view command) const;
  // A menu entry that runs the same command with its own action: the menu shows the keys, which
  // act only while that menu has the focus, so they never compete with the bound action.
  void Show(std::string_view command, QAction* menuItem);
  // `widget`'s tooltip becomes `text` followed by the command's keys in brackets.
  void ShowTip(std::string_view command, QWidget* widget, const QString& text);

 signals:
  // Apply changed the keys.
  void Changed();

 private:
  enum class Kind { kBound, kShown, kTip };
  struct Registration {
    std::string command;
    Kind kind;
    QPointer<QAction> action;
    QPointer<QWidget> widget;
    QString text;
  };

  void Register(Registration registration);
  void Refresh(const Registration& registration) const;

  std::map<std::string, QList<QKeySequence>, std::less<>> keys_;
  std::vector<Registration> registered_;
};

// The process-wide key map of the window.
KeyMap& AppKeys();

}  // namespace velkor
