#include "app/KeyBindings.h"

#include <algorithm>

#include "base/IniDocument.h"

namespace velkor {
namespace {

constexpr KeyCommand kCommands[] = {
    {"CloseTab", "Ctrl+W"},
    {"ReopenClosedTab", "Ctrl+Shift+T"},
    {"NextTab", "Ctrl+Tab; Ctrl+PgDown"},
    {"PreviousTab", "Ctrl+Shift+Tab; Ctrl+PgUp"},
    {"RefreshList", "F5"},
    {"ReloadThread", "Shift+F5"},
    {"AutoReload", "Ctrl+Shift+F5"},
    {"CheckNewReplies", "F9"},
    {"Reply", "Ctrl+R"},
    {"Find", "Ctrl+F"},
    {"FindNext", "F3"},
    {"FindPrevious", "Shift+F3"},
    {"ClosePopups", "Esc"},
    {"Back", "Alt+Left"},
    {"Forward", "Alt+Right"},
    {"ZoomIn", "Ctrl++; Ctrl+="},
    {"ZoomOut", "Ctrl+-"},
    {"ZoomReset", "Ctrl+0"},
    {"NextPane", "F6"},
    {"PreviousPane", "Shift+F6"},
    {"Quit", "Ctrl+Q"},
};

}  // namespace

std::span<const KeyCommand> KeyCommands() {
  return kCommands;
}

std::optional<std::string_view> DefaultKeysOf(std::string_view name) {
  const auto found = std::find_if(std::begin(kCommands), std::end(kCommands),
                                  [name](const KeyCommand& c) { return c.name == name; });
  if (found == std::end(kCommands)) return std::nullopt;
  return found->defaultKeys;
}

void KeyBindings::Read(const IniDocument& ini) {
  stored_.clear();
  changed_.clear();
  for (const KeyCommand& command : kCommands) {
    if (std::optional<std::string> value = ini.Find(kSection, command.name)) {
      stored_.emplace(std::string(command.name), std::move(*value));
    }
  }
}

void KeyBindings::Write(IniDocument& ini) const {
  for (const KeyCommand& command : kCommands) {
    const auto changed = changed_.find(command.name);
    if (changed == changed_.end()) continue;
    if (changed->second) {
      ini.WriteString(kSection, command.name, *changed->second);
    } else {
      ini.DeleteKey(kSection, command.name);
    }
  }
}

std::string KeyBindings::Keys(std::string_view name) const {
  if (const auto changed = changed_.find(name); changed != changed_.end()) {
    if (changed->second) return *changed->second;
  } else if (const auto stored = stored_.find(name); stored != stored_.end()) {
    return stored->second;
  }
  return std::string(DefaultKeysOf(name).value_or(std::string_view()));
}

void KeyBindings::Set(std::string_view name, std::optional<std::string> text) {
  if (!DefaultKeysOf(name)) return;
  changed_.insert_or_assign(std::string(name), std::move(text));
}

}  // namespace velkor
