#include "threads/ui/ThreadSchemeHandler.h"

#include <QBuffer>
#include <QStringList>
#include <QWebEngineUrlRequestJob>

namespace velkor {

ThreadSchemeHandler::ThreadSchemeHandler(QObject* parent) : QWebEngineUrlSchemeHandler(parent) {}

int ThreadSchemeHandler::NewSlot() {
  return nextSlot_++;
}

QUrl ThreadSchemeHandler::Publish(int slot, QByteArray page) {
  pages_.insert(slot, std::move(page));
  return QUrl(
      QStringLiteral("%1:page/%2/%3").arg(QLatin1String(kScheme)).arg(slot).arg(nextVersion_++));
}

void ThreadSchemeHandler::Release(int slot) {
  pages_.remove(slot);
}

int ThreadSchemeHandler::SlotOf(const QUrl& url) {
  if (url.scheme() != QLatin1String(kScheme)) return -1;
  const QStringList parts = url.path().split(QLatin1Char('/'));
  if (parts.size() != 3 || parts[0] != QLatin1String("page")) return -1;
  bool ok = false;
  const int slot = parts[1].toInt(&ok);
  return ok ? slot : -1;
}

void ThreadSchemeHandler::AddSource(const QString& name, Source source) {
  sources_.insert(name, std::move(source));
}

void ThreadSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
  // "velkor:/name/..." (the form a page can name without it being read relative to the page).
  const QString path = job->requestUrl().path();
  const auto source = sources_.constFind(path.section(QLatin1Char('/'), 1, 1));
  if (path.startsWith(QLatin1Char('/')) && source != sources_.constEnd()) {
    source.value()(job);
    return;
  }
  const auto found = pages_.constFind(SlotOf(job->requestUrl()));
  if (found == pages_.constEnd()) {
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    return;
  }
  auto* buffer = new QBuffer(job);
  buffer->setData(found.value());
  buffer->open(QIODevice::ReadOnly);
  job->reply(QByteArrayLiteral("text/html;charset=Shift_JIS"), buffer);
}

}  // namespace velkor
