#include "mainwindow/BrowserLogs.h"

#include <QLoggingCategory>
#include <cstdlib>

namespace velkor {

std::string QuietBrowserFlags(std::string_view flags, bool debug) {
  std::string result(flags);
  if (debug || result.find("--log-level") != std::string::npos) return result;
  if (!result.empty()) result += ' ';
  return result + "--log-level=3";
}

void QuietBrowserLogs() {
  const char* debug = std::getenv("VELKOR_DEBUG_BROWSER");
  const bool debugging = debug != nullptr && std::string_view(debug) == "1";
  if (debugging) return;
  const char* flags = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS");
  ::setenv("QTWEBENGINE_CHROMIUM_FLAGS",
           QuietBrowserFlags(flags != nullptr ? flags : "", false).c_str(), 1);
  QLoggingCategory::setFilterRules(
      QStringLiteral("qt.webenginecontext.debug=false\nqt.webenginecontext.info=false"));
}

}  // namespace velkor
