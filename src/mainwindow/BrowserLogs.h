#pragma once

#include <string>
#include <string_view>

namespace velkor {

// The browser's own log lines (Chromium's, and Qt WebEngine's start-up report) are left out of the
// terminal unless VELKOR_DEBUG_BROWSER=1 asks for them.

// The browser flags (QTWEBENGINE_CHROMIUM_FLAGS) to start with, given the ones the environment
// holds: those plus --log-level=3 (fatal errors only), unless `debug` or the flags already name a
// log level.
std::string QuietBrowserFlags(std::string_view flags, bool debug);

// Applies QuietBrowserFlags to the environment and switches Qt WebEngine's start-up report off
// (QT_LOGGING_RULES still decides over it). The flags must be set before the application object
// is made.
void QuietBrowserLogs();

}  // namespace velkor
