#pragma once

#include <QUrl>
#include <QWebEnginePage>

namespace velkor {

// The page of a thread view: it only ever shows the document the program gave it. Every other
// navigation is cancelled; one the user started by following a link is reported instead.
class ThreadPage : public QWebEnginePage {
  Q_OBJECT

 public:
  explicit ThreadPage(QWebEngineProfile* profile, QObject* parent = nullptr);

  // The one address the page may load: the current document's (without a fragment; loading it
  // with one is allowed).
  void SetDocumentUrl(const QUrl& url) { documentUrl_ = url; }
  const QUrl& DocumentUrl() const { return documentUrl_; }

 signals:
  // A followed link that would have left the document.
  void LinkRequested(const QUrl& url);

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
  QWebEnginePage* createWindow(WebWindowType type) override;
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                int lineNumber, const QString& sourceID) override;

 private:
  QUrl documentUrl_;
};

}  // namespace velkor
