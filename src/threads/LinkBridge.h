#pragma once

#include <QObject>
#include <QString>

namespace velkor {

// The object the view's own script reaches through the web channel: it reports every link the
// user clicks in the page (the click itself is cancelled in the page).
class LinkBridge : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

  // Called from the page script with the link's resolved address.
  Q_INVOKABLE void linkClicked(const QString& href) { emit LinkClicked(href); }

 signals:
  void LinkClicked(const QString& href);
};

}  // namespace velkor
