#pragma once

#include <cstdint>
#include <string>

#include "app/Deployment.h"

namespace velkor {

// The automatic reload of an open thread: seconds between reloads (Kodawari AutoReloadInterval),
// the default and the bounds a value read or entered is kept within.
inline constexpr int kDefaultAutoReloadInterval = 30;
inline constexpr int kShortestAutoReloadInterval = 10;
inline constexpr int kLongestAutoReloadInterval = 3600;

// A colour as the configuration file stores it: 0x00BBGGRR (red in the low byte).
using Colour = std::int32_t;

// The settings other parts of the program read during the run, filled by AppConfig::LoadSettings.
struct Settings {
  bool subjectGzip = true;  // ask for subject.txt gzip-compressed
  bool debugLog = false;    // keep a protocol trace of each exchange
  bool newTabOpen = false;  // a click on a thread-list row opens a new tab
  std::string browserApp;   // program that opens links outside Velkor; empty: the desktop default
  Colour subjectSubscribeColor = 0xFFFF;
  Colour newThreadColor = 0xFAEEE2;
  Colour unreadThreadColor = 0x00A2FF;
  Colour logExistThreadColor = 0xFFFFFF;
  Colour nologThreadColor = 0xFFFFFF;
  Colour over1000ThreadColor = 0xFFFFFF;
  Colour pastThreadColor = 0xFFFF;
  bool cacheServerEnable = false;
  std::string cacheServerMatch{kCacheServerMatch};
  std::string cacheServerHost{kCacheServerHost};

  // The User-Agent of every request and the about page's heading (Kodawari UserAgent).
  std::string userAgent{kUserAgent};

  // Seconds one download may take in all (Kodawari FetchTimeLimit); 0: no overall limit.
  int fetchTimeLimit = 120;

  // An ID with at least this many posts in a thread is marked as a heavy poster; 0 or less marks
  // none.
  int heavyPosterThreshold = 5;

  // At start, the board and the thread tabs open when the program ended are shown again
  // (Kodawari RestoreSession).
  bool restoreSession = true;
  // Seconds between automatic reloads of an open thread, within the bounds above.
  int autoReloadInterval = kDefaultAutoReloadInterval;
  // When images of a thread are fetched (Kodawari ImageLoad: 0, 1, 2).
  enum class ImageLoad { kNever = 0, kOnClick = 1, kAutomatic = 2 };
  ImageLoad imageLoad = ImageLoad::kOnClick;
  // Thumbnails are shown blurred until clicked (Kodawari ImageMosaic).
  bool imageMosaic = false;
  // The image cache's size limit in megabytes (2^20 bytes; Kodawari ImageCacheSize).
  int imageCacheMegabytes = 300;
};

// The process-wide settings record.
Settings& AppSettings();

// Display settings the main window applies to its controls instead of keeping them in Settings.
struct DisplaySettings {
  int boardFontSize = 10;   // both side-bar trees, points
  int threadFontSize = 10;  // the thread list, points
  bool tabMultiLine = false;
  int tabStyle = 0;       // 0 tabs, 1 buttons, 2 flat buttons
  int pageFontSize = 12;  // the thread pages' text, points (LookFeel PageFontSize)
};

// The values of the settings dialog's controls, so the dialog binds to plain data.
struct SettingsDialogValues {
  bool subjectGzip = false;
  bool debugLog = false;
  bool newTabOpen = false;
  bool tabMultiLine = false;
  int tabStyle = 0;
  std::string browserApp;
  int boardFontSize = 10;   // bbsMenuFontButton's tag
  int threadFontSize = 10;  // threadFontButton's tag
  int pageFontSize = 12;    // pageFontButton's tag
  bool restoreSession = true;
  // subscribe, new, unread, log exist, no log, over 1000, past: the seven sample labels' colours.
  Colour colours[7] = {};
  bool cacheServerEnable = false;
  std::string cacheServerMatch;
  std::string cacheServerHost;
  int autoReloadInterval = kDefaultAutoReloadInterval;
  Settings::ImageLoad imageLoad = Settings::ImageLoad::kOnClick;
  bool imageMosaic = false;
  int imageCacheMegabytes = 300;
};

}  // namespace velkor
