#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>
#include <functional>

namespace velkor {

// Serves the pages of the thread views: each view has a slot holding the Shift_JIS bytes of its
// current page, served as "text/html;charset=Shift_JIS" under "velkor:page/<slot>/<version>".
// Pages go in this way rather than through setHtml, which fails for large pages. Other parts of
// the window serve what they add to the pages under "velkor:<name>/..." (AddSource).
class ThreadSchemeHandler : public QWebEngineUrlSchemeHandler {
  Q_OBJECT

 public:
  static constexpr const char* kScheme = "velkor";

  explicit ThreadSchemeHandler(QObject* parent = nullptr);

  // A new slot number for a view.
  int NewSlot();
  // Stores the page of `slot` and returns a URL no earlier page of the slot had, so loading it
  // always shows these bytes.
  QUrl Publish(int slot, QByteArray page);
  // Forgets the page of `slot`; its URLs then fail to load.
  void Release(int slot);
  // The slot a page URL belongs to, -1 for any other URL.
  static int SlotOf(const QUrl& url);
  // Lets `source` answer every request for "velkor:<name>/..." (name other than "page"); it
  // replies to the job or fails it.
  using Source = std::function<void(QWebEngineUrlRequestJob* job)>;
  void AddSource(const QString& name, Source source);

  void requestStarted(QWebEngineUrlRequestJob* job) override;

 private:
  int nextSlot_ = 1;
  quint64 nextVersion_ = 1;
  QHash<int, QByteArray> pages_;
  QHash<QString, Source> sources_;
};

}  // namespace velkor
