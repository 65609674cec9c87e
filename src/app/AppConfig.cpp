#include "app/AppConfig.h"

#include <algorithm>

#include "app/Deployment.h"
#include "base/CommaText.h"

namespace velkor {
namespace {

constexpr const char* kMainForm = "MainForm";
constexpr const char* kKodawari = "Kodawari";
constexpr const char* kLookFeel = "LookFeel";
constexpr const char* kCacheServer = "CacheServer";
constexpr const char* kMenuSection = "BBSMenuURL";
constexpr const char* kAutoReloadInterval = "AutoReloadInterval";
constexpr const char* kDefaultColumns = "0,38,38,325,40,40,40,180,100,120";
constexpr int kFallbackColumnWidth = 40;
constexpr int kDefaultViewStyle = 180;
constexpr int kDefaultPageFontSize = 12;

// The seven colour keys in file order, with their defaults and Settings fields.
struct ColourKey {
  const char* key;
  Colour fallback;
  Colour Settings::*field;
};
constexpr ColourKey kColourKeys[7] = {
    {"SubjectSubscribeColor", 0xFFFF, &Settings::subjectSubscribeColor},
    {"NewThreadColor", 0xFAEEE2, &Settings::newThreadColor},
    {"UnreadThreadColor", 0x00A2FF, &Settings::unreadThreadColor},
    {"LogExistThreadColor", 0xFFFFFF, &Settings::logExistThreadColor},
    {"NologThreadColor", 0xFFFFFF, &Settings::nologThreadColor},
    {"Over1000ThreadColor", 0xFFFFFF, &Settings::over1000ThreadColor},
    {"PastThreadColor", 0xFFFF, &Settings::pastThreadColor},
};

// A User-Agent from the file: a value that could break the request line (a control byte) or
// says nothing is not used.
std::string UsableUserAgent(std::string value) {
  const bool control = std::any_of(value.begin(), value.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  });
  return value.empty() || control ? std::string(kUserAgent) : value;
}

}  // namespace

AppConfig& Config() {
  static AppConfig config;
  return config;
}

void AppConfig::Open(const std::string& path) {
  if (bound_ && path == path_) return;
  bound_ = true;
  path_ = path;
  doc_.Load(path);
}

void AppConfig::Flush() {
  if (bound_) doc_.Save(path_);
}

bool AppConfig::ReadFlag(std::string_view section, std::string_view key, bool fallback) const {
  return doc_.ReadBool(section, key, fallback);
}

void AppConfig::WriteFlag(std::string_view section, std::string_view key, bool value, bool flush) {
  if (!bound_) return;
  doc_.WriteBool(section, key, value);
  if (flush) Flush();
}

int AppConfig::ReadNumber(std::string_view section, std::string_view key, int fallback, int min,
                          int max) const {
  const int value = doc_.ReadNumber(section, key, fallback);
  return value < min || value > max ? fallback : value;
}

void AppConfig::WriteNumber(std::string_view section, std::string_view key, int value, bool flush) {
  if (!bound_) return;
  doc_.WriteInteger(section, key, value);
  if (flush) Flush();
}

std::string AppConfig::ReadText(std::string_view section, std::string_view key) const {
  return doc_.ReadString(section, key, "");
}

void AppConfig::WriteText(std::string_view section, std::string_view key, std::string_view value,
                          bool flush) {
  if (!bound_) return;
  doc_.WriteString(section, key, value);
  if (flush) Flush();
}

void AppConfig::LoadSettings(Settings& settings, DisplaySettings& display) const {
  if (!bound_) return;
  settings.subjectGzip = doc_.ReadBool(kKodawari, "SubjectGzip", true);
  settings.debugLog = doc_.ReadBool(kKodawari, "DebugLog", false);
  settings.fetchTimeLimit = std::max(0, doc_.ReadNumber<int>(kKodawari, "FetchTimeLimit", 120));
  settings.newTabOpen = doc_.ReadBool(kKodawari, "NewTabOpen", false);
  settings.browserApp = doc_.ReadString(kKodawari, "BrowserApp", "");
  settings.userAgent = UsableUserAgent(doc_.ReadString(kKodawari, "UserAgent", ""));
  display.boardFontSize = doc_.ReadNumber<int>(kLookFeel, "BoardFontSize", 10);
  display.threadFontSize = doc_.ReadNumber<int>(kLookFeel, "ThreadFontSize", 10);
  for (const ColourKey& c : kColourKeys) {
    settings.*c.field = doc_.ReadNumber<Colour>(kLookFeel, c.key, c.fallback);
  }
  display.tabMultiLine = doc_.ReadBool(kKodawari, "TabMultiLine", false);
  display.tabStyle = doc_.ReadNumber<int>(kKodawari, "TabStyle", 0);
  settings.cacheServerEnable = doc_.ReadBool(kCacheServer, "Enable", false);
  settings.cacheServerMatch = doc_.ReadString(kCacheServer, "Match", kCacheServerMatch);
  settings.cacheServerHost = doc_.ReadString(kCacheServer, "Host", kCacheServerHost);
  settings.heavyPosterThreshold = doc_.ReadNumber<int>(kKodawari, "HeavyPosterThreshold", 5);
  settings.restoreSession = doc_.ReadBool(kKodawari, "RestoreSession", true);
  display.pageFontSize = doc_.ReadNumber<int>(kLookFeel, "PageFontSize", kDefaultPageFontSize);
  settings.autoReloadInterval =
      std::clamp(doc_.ReadNumber<int>(kKodawari, kAutoReloadInterval, kDefaultAutoReloadInterval),
                 kShortestAutoReloadInterval, kLongestAutoReloadInterval);
  const int imageLoad = doc_.ReadNumber<int>(kKodawari, "ImageLoad", 1);
  settings.imageLoad = imageLoad >= 0 && imageLoad <= 2
                           ? static_cast<Settings::ImageLoad>(imageLoad)
                           : Settings::ImageLoad::kOnClick;
  settings.imageMosaic = doc_.ReadBool(kKodawari, "ImageMosaic", false);
  settings.imageCacheMegabytes = std::clamp(doc_.ReadNumber<int>(kKodawari, "ImageCacheSize", 300),
                                            1, kMaxImageCacheMegabytes);
}

WindowLayout AppConfig::LoadWindowLayout() const {
  WindowLayout layout;
  if (!bound_) return layout;
  layout.top = doc_.ReadNumber<int>(kMainForm, "top", 0);
  layout.left = doc_.ReadNumber<int>(kMainForm, "left", 0);
  layout.width = doc_.ReadNumber<int>(kMainForm, "width", 640);
  layout.height = doc_.ReadNumber<int>(kMainForm, "height", 480);
  layout.sidebarVisible = doc_.ReadBool(kMainForm, "SidebarVisible", true);
  // The documented default, 180, lies outside the field's range: it reads as the field holds it.
  layout.viewStyle = doc_.ReadNumber<std::int8_t>(kMainForm, "ViewStyle",
                                                  static_cast<std::int8_t>(kDefaultViewStyle));
  layout.sidebarWidth = doc_.ReadNumber<int>(kMainForm, "SidebarWidth", 180);
  layout.subjectHeight = doc_.ReadNumber<int>(kMainForm, "SubjectHeight", 130);
  return layout;
}

void AppConfig::SaveWindowLayout(const WindowLayout& layout, bool flush) {
  if (!bound_) return;
  doc_.WriteInteger(kMainForm, "top", layout.top);
  doc_.WriteInteger(kMainForm, "left", layout.left);
  doc_.WriteInteger(kMainForm, "width", layout.width);
  doc_.WriteInteger(kMainForm, "height", layout.height);
  doc_.WriteBool(kMainForm, "SidebarVisible", layout.sidebarVisible);
  // The window never sets a view style; the key keeps its documented default.
  doc_.WriteInteger(kMainForm, "ViewStyle", kDefaultViewStyle);
  doc_.WriteInteger(kMainForm, "SidebarWidth", layout.sidebarWidth);
  doc_.WriteInteger(kMainForm, "SubjectHeight", layout.subjectHeight);
  if (flush) Flush();
}

std::vector<int> AppConfig::LoadColumnWidths(std::size_t columnCount) const {
  std::vector<int> widths(columnCount, kFallbackColumnWidth);
  std::string text = bound_ ? doc_.ReadString(kMainForm, "SubjectColumn", kDefaultColumns)
                            : std::string(kDefaultColumns);
  std::vector<std::string> items = SplitCommaText(text);
  for (std::size_t i = 0; i < columnCount && i < items.size(); ++i) {
    if (auto value = ParseInteger<int>(items[i], IntegerSyntax::kIni)) widths[i] = *value;
  }
  return widths;
}

void AppConfig::SaveColumnWidths(const std::vector<int>& widths, bool flush) {
  if (!bound_) return;
  std::vector<std::string> items;
  items.reserve(widths.size());
  for (int w : widths) items.push_back(std::to_string(w));
  doc_.WriteString(kMainForm, "SubjectColumn", JoinCommaText(items));
  if (flush) Flush();
}

void AppConfig::FillSettingsDialog(const Settings& settings, int boardFontSize, int threadFontSize,
                                   SettingsDialogValues& values) const {
  if (!bound_) return;
  values.subjectGzip = settings.subjectGzip;
  values.debugLog = settings.debugLog;
  values.newTabOpen = settings.newTabOpen;
  values.tabMultiLine = doc_.ReadBool(kKodawari, "TabMultiLine", false);
  values.tabStyle = doc_.ReadNumber<int>(kKodawari, "TabStyle", 0);
  values.browserApp = settings.browserApp;
  values.boardFontSize = boardFontSize;
  values.threadFontSize = threadFontSize;
  values.pageFontSize = doc_.ReadNumber<int>(kLookFeel, "PageFontSize", kDefaultPageFontSize);
  values.restoreSession = settings.restoreSession;
  for (std::size_t i = 0; i < 7; ++i) values.colours[i] = settings.*kColourKeys[i].field;
  values.cacheServerEnable = settings.cacheServerEnable;
  values.cacheServerMatch = settings.cacheServerMatch;
  values.cacheServerHost = settings.cacheServerHost;
  values.autoReloadInterval = settings.autoReloadInterval;
  values.imageLoad = settings.imageLoad;
  values.imageMosaic = settings.imageMosaic;
  values.imageCacheMegabytes = settings.imageCacheMegabytes;
}

void AppConfig::SaveSettingsDialog(const SettingsDialogValues& values, bool flush) {
  if (!bound_) return;
  doc_.WriteBool(kKodawari, "SubjectGzip", values.subjectGzip);
  doc_.WriteBool(kKodawari, "DebugLog", values.debugLog);
  doc_.WriteBool(kKodawari, "NewTabOpen", values.newTabOpen);
  doc_.WriteBool(kKodawari, "TabMultiLine", values.tabMultiLine);
  doc_.WriteInteger(kKodawari, "TabStyle", values.tabStyle);
  doc_.WriteString(kKodawari, "BrowserApp", values.browserApp);
  // Like the image keys below: written when not the default or already there, so a file whose
  // settings were left alone keeps its bytes.
  if (doc_.ValueExists(kKodawari, "RestoreSession") || !values.restoreSession) {
    doc_.WriteBool(kKodawari, "RestoreSession", values.restoreSession);
  }
  doc_.WriteInteger(kLookFeel, "BoardFontSize", values.boardFontSize);
  doc_.WriteInteger(kLookFeel, "ThreadFontSize", values.threadFontSize);
  for (std::size_t i = 0; i < 7; ++i)
    doc_.WriteInteger(kLookFeel, kColourKeys[i].key, values.colours[i]);
  if (doc_.ValueExists(kLookFeel, "PageFontSize") || values.pageFontSize != kDefaultPageFontSize) {
    doc_.WriteInteger(kLookFeel, "PageFontSize", values.pageFontSize);
  }
  doc_.WriteBool(kCacheServer, "Enable", values.cacheServerEnable);
  doc_.WriteString(kCacheServer, "Match", values.cacheServerMatch);
  doc_.WriteString(kCacheServer, "Host", values.cacheServerHost);
  // Written once it differs from the default, so a file that never had the key stays as it was.
  if (doc_.ValueExists(kKodawari, kAutoReloadInterval) ||
      values.autoReloadInterval != kDefaultAutoReloadInterval) {
    doc_.WriteInteger(kKodawari, kAutoReloadInterval, values.autoReloadInterval);
  }
  // The image keys are written only when they change what the file gives, so a file whose image
  // settings were left alone keeps its bytes.
  Settings current;
  DisplaySettings display;
  LoadSettings(current, display);
  if (values.imageLoad != current.imageLoad) {
    doc_.WriteInteger(kKodawari, "ImageLoad", static_cast<int>(values.imageLoad));
  }
  if (values.imageMosaic != current.imageMosaic) {
    doc_.WriteBool(kKodawari, "ImageMosaic", values.imageMosaic);
  }
  if (values.imageCacheMegabytes != current.imageCacheMegabytes) {
    doc_.WriteInteger(kKodawari, "ImageCacheSize", values.imageCacheMegabytes);
  }
  if (flush) Flush();
}

void AppConfig::ReadMenuHistory(std::vector<std::string>& list) const {
  list.clear();
  if (!bound_) return;
  list.push_back(doc_.ReadString(kMenuSection, "History1", kBoardMenuUrl));
  for (int n = 2; n <= 5; ++n) {
    std::string item = doc_.ReadString(kMenuSection, "History" + std::to_string(n), "");
    if (!item.empty()) list.push_back(std::move(item));
  }
}

void AppConfig::WriteMenuHistory(const std::vector<std::string>& list, bool flush) {
  if (!bound_ || list.empty()) return;
  for (std::size_t n = 1; n <= list.size() && n <= 5; ++n) {
    doc_.WriteString(kMenuSection, "History" + std::to_string(n), list[n - 1]);
  }
  if (flush) Flush();
}

std::string AppConfig::ReadMenuTimestamp() const {
  if (!bound_) return {};
  return doc_.ReadString(kMenuSection, "Timestamp", "");
}

void AppConfig::WriteMenuTimestamp(const std::string& text, bool flush) {
  if (!bound_) return;
  doc_.WriteString(kMenuSection, "Timestamp", text);
  if (flush) Flush();
}

KeyBindings AppConfig::LoadKeyBindings() const {
  KeyBindings keys;
  if (bound_) keys.Read(doc_);
  return keys;
}

void AppConfig::SaveKeyBindings(const KeyBindings& keys, bool flush) {
  if (!bound_) return;
  keys.Write(doc_);
  if (flush) Flush();
}

}  // namespace velkor
