#pragma once

#include <QObject>
#include <QString>

namespace velkor {

// The object the view's own script reaches through the web channel: it reports every link the
// user clicks in the page (the click itself is cancelled in the page) and the view's own
// decorations the mouse enters and leaves.
class LinkBridge : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

  // Called from the page script with the link's resolved address.
  Q_INVOKABLE void linkClicked(const QString& href) { emit LinkClicked(href); }
  // Called with the decoration's kind ("answers", "id") and reply number; an empty kind when the
  // mouse left it.
  Q_INVOKABLE void decorationHovered(const QString& kind, int reply) {
    emit DecorationHovered(kind, reply);
  }

 signals:
  void LinkClicked(const QString& href);
  void DecorationHovered(const QString& kind, int reply);
};

}  // namespace velkor
