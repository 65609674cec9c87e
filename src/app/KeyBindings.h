#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace velkor {

class IniDocument;

// A command of the window that has keys: its name (the key of the [Keys] section of config.ini and
// the name the window finds its action by) and its default keys in portable key text ("Ctrl+W";
// several keys joined by "; ", as in "Ctrl+Tab; Ctrl+PgDown").
struct KeyCommand {
  std::string_view name;
  std::string_view defaultKeys;
};

// Every command with keys, in the order the settings dialog lists them.
std::span<const KeyCommand> KeyCommands();

// The default keys of the command `name`; nullopt for a name that is no command.
std::optional<std::string_view> DefaultKeysOf(std::string_view name);

// The keys of the commands as config.ini holds them: section [Keys], the command's name as key and
// its keys in portable key text as value; an empty value means no key. Only the window can tell a
// key text it cannot use; it then takes the default, and the text stays in the file. Entries of
// unknown names stay in the file too: only commands changed through Set are ever written.
class KeyBindings {
 public:
  static constexpr std::string_view kSection = "Keys";

  // Takes the [Keys] values of the known commands from `ini`.
  void Read(const IniDocument& ini);
  // Writes the commands changed by Set, in table order: a text as the value (new keys at the
  // section's end), the default as a removed key.
  void Write(IniDocument& ini) const;

  // The keys of `name`: the stored text, else the default (empty for an unknown name).
  std::string Keys(std::string_view name) const;

  // Gives `name` the keys `text`; nullopt goes back to the default. Unknown names are ignored.
  void Set(std::string_view name, std::optional<std::string> text);

 private:
  std::map<std::string, std::string, std::less<>> stored_;
  std::map<std::string, std::optional<std::string>, std::less<>> changed_;
};

}  // namespace velkor
