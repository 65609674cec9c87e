#include "threads/ui/ThreadPage.h"

namespace velkor {

ThreadPage::ThreadPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent) {}

bool ThreadPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
  // The document, also when it is loaded to be shown at one of its anchors.
  if (isMainFrame && url.adjusted(QUrl::RemoveFragment) == documentUrl_) return true;
  if (type == NavigationTypeLinkClicked) emit LinkRequested(url);
  return false;
}

QWebEnginePage* ThreadPage::createWindow(WebWindowType) {
  return nullptr;
}

void ThreadPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                          const QString&) {}

}  // namespace velkor
