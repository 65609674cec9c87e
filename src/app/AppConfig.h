#pragma once

#include <string>
#include <vector>

#include "app/Settings.h"
#include "app/WindowLayout.h"
#include "base/IniDocument.h"

namespace velkor {

// The configuration file (ini/config.ini) in memory. Every operation does nothing while no file is
// bound. Writes change the memory copy; a flush replaces the whole file crash-safely. Write
// failures are not reported. Numbers are read with IniDocument::ReadNumber: a value that is no
// integer, or that lies outside the range of the field it is read into, gives the key's default.
class AppConfig {
 public:
  // Binds the file and reads it once; a missing file is an empty configuration. A second call on a
  // bound object does nothing.
  void Open(const std::string& path);
  bool IsBound() const { return bound_; }

  // Reads the Kodawari, LookFeel and CacheServer keys into `settings` and `display`
  // (Kodawari FetchTimeLimit: seconds, a negative value counts as 0, which means no overall limit;
  // AutoReloadInterval: seconds, kept within 10 .. 3600).
  void LoadSettings(Settings& settings, DisplaySettings& display) const;

  WindowLayout LoadWindowLayout() const;
  void SaveWindowLayout(const WindowLayout& layout, bool flush);

  // The thread-list column widths for `columnCount` columns: the width-list item at each position
  // read as an integer, 40 for an item that is missing or no integer.
  std::vector<int> LoadColumnWidths(std::size_t columnCount) const;
  void SaveColumnWidths(const std::vector<int>& widths, bool flush);

  // Fills the dialog values from `settings`, the file (TabMultiLine, TabStyle) and the current font
  // sizes of the side-bar trees and the thread list.
  void FillSettingsDialog(const Settings& settings, int boardFontSize, int threadFontSize,
                          SettingsDialogValues& values) const;
  // Writes the dialog values to the file (AutoReloadInterval only when the file has it or the value
  // is not the default). Settings in memory are not changed (call LoadSettings).
  void SaveSettingsDialog(const SettingsDialogValues& values, bool flush);

  // Replaces `list` with History1 (default: the service's board menu URL) even when empty, then
  // History2..5 when not empty. Unbound: an empty list.
  void ReadMenuHistory(std::vector<std::string>& list) const;
  // Writes History1..N for the first N <= 5 items; an empty list writes nothing.
  void WriteMenuHistory(const std::vector<std::string>& list, bool flush);
  std::string ReadMenuTimestamp() const;
  void WriteMenuTimestamp(const std::string& text, bool flush);

  // Rewrites the file from memory.
  void Flush();

 private:
  bool bound_ = false;
  std::string path_;
  IniDocument doc_;
};

// The process-wide configuration object.
AppConfig& Config();

}  // namespace velkor
