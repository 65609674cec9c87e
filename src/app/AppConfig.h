#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/KeyBindings.h"
#include "app/Settings.h"
#include "app/WindowLayout.h"
#include "base/IniDocument.h"

namespace velkor {

// The largest image cache size limit read from the file, in megabytes (1 TB).
inline constexpr int kMaxImageCacheMegabytes = 1 << 20;

// The configuration file (ini/config.ini) in memory. Every operation does nothing while no file is
// bound. Writes change the memory copy; a flush replaces the whole file crash-safely. Write
// failures are not reported. Numbers are read with IniDocument::ReadNumber: a value that is no
// integer, or that lies outside the range of the field it is read into, gives the key's default.
class AppConfig {
 public:
  // Binds the file and reads it once; a missing file is an empty configuration. A second call for
  // the same file does nothing; one for another file (a test that changed the data directory) binds
  // and reads that file instead.
  void Open(const std::string& path);
  bool IsBound() const { return bound_; }

  // Reads the Kodawari, LookFeel and CacheServer keys into `settings` and `display`
  // (Kodawari FetchTimeLimit: seconds, a negative value counts as 0, which means no overall limit;
  // Kodawari UserAgent: used when present, not empty and free of control bytes, else kUserAgent;
  // Kodawari AutoReloadInterval: seconds, kept within 10 .. 3600; ImageLoad: 0 never, 1 on click,
  // 2 automatically, any other value 1; ImageCacheSize: megabytes, within 1 ...
  // kMaxImageCacheMegabytes).
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
  // is not the default; the image keys ImageLoad, ImageMosaic and ImageCacheSize only when they
  // differ from what the file gives). Settings in memory are not changed (call LoadSettings).
  void SaveSettingsDialog(const SettingsDialogValues& values, bool flush);

  // Replaces `list` with History1 (default: the service's board menu URL) even when empty, then
  // History2..5 when not empty. Unbound: an empty list.
  void ReadMenuHistory(std::vector<std::string>& list) const;
  // Writes History1..N for the first N <= 5 items; an empty list writes nothing.
  void WriteMenuHistory(const std::vector<std::string>& list, bool flush);
  std::string ReadMenuTimestamp() const;
  void WriteMenuTimestamp(const std::string& text, bool flush);

  // The program's newer settings that have no dialog field of their own (the new-reply check's
  // options, ...), by section and key. A missing value, or one that is no integer or lies outside
  // [min, max], gives the fallback. Writes change the memory copy; with `flush` the file is
  // rewritten.
  bool ReadFlag(std::string_view section, std::string_view key, bool fallback) const;
  void WriteFlag(std::string_view section, std::string_view key, bool value, bool flush);
  int ReadNumber(std::string_view section, std::string_view key, int fallback, int min,
                 int max) const;
  void WriteNumber(std::string_view section, std::string_view key, int value, bool flush);
  std::string ReadText(std::string_view section, std::string_view key) const;
  void WriteText(std::string_view section, std::string_view key, std::string_view value,
                 bool flush);
  // The keys of the window's commands ([Keys], KeyBindings). Unbound: the defaults.
  KeyBindings LoadKeyBindings() const;
  // Writes the commands `keys` changed (KeyBindings::Write); the rest of [Keys] stays as it is.
  void SaveKeyBindings(const KeyBindings& keys, bool flush);

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
