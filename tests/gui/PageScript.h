#pragma once

#include <QPoint>
#include <QString>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QtTest>
#include <functional>
#include <memory>

#include "threads/ui/ThreadTab.h"
#include "threads/ui/ThreadView.h"

namespace velkor::test {

// Runs `script` in the program's script world of the tab's page and gives its answer: an invalid
// value when none came within five seconds.
inline QVariant ScriptResult(ThreadTab* tab, const QString& script) {
  // Shared, so an answer that comes after the wait has nowhere dangling to go.
  auto result = std::make_shared<QVariant>();
  auto done = std::make_shared<bool>(false);
  tab->View()->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                                     [result, done](const QVariant& value) {
                                       *result = value;
                                       *done = true;
                                     });
  (void)QTest::qWaitFor([&done] { return *done; }, 5000);
  return *result;
}

// The point a script gives as [x, y, ...]: a null point when it gave none.
inline QPoint PointFromScript(ThreadTab* tab, const QString& script) {
  const QVariantList xy = ScriptResult(tab, script).toList();
  return xy.size() >= 2 ? QPoint(xy[0].toInt(), xy[1].toInt()) : QPoint();
}

// Rests the mouse on the point `script` gives until `shown` holds, and returns that point (a null
// point if it never did). Each second the point is asked for again, since the page may still
// move after it loaded (the program scrolls to the first unread reply). Before a new try the
// mouse goes to a spot without a link: the browser drops a hover of the link it last reported
// when leaving that link was reported before the first report was acknowledged, as happens on
// a busy machine.
inline QPoint HoverUntil(ThreadTab* tab, const QString& script,
                         const std::function<bool()>& shown) {
  QWidget* surface = tab->View()->focusProxy();
  for (int attempt = 0; surface != nullptr && attempt < 10; ++attempt) {
    const QPoint at = PointFromScript(tab, script);
    if (at.isNull()) break;
    QTest::mouseMove(surface, at);
    if (QTest::qWaitFor(shown, 1000)) return at;
    QTest::mouseMove(surface, QPoint(surface->width() - 4, surface->height() - 4));
    QTest::qWait(200);
  }
  return QPoint();
}

}  // namespace velkor::test
