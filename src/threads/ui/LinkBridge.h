#pragma once

#include <QObject>
#include <QString>

namespace velkor {

// The object the view's own script reaches through the web channel: it reports every link the
// user clicks in the page (the click itself is cancelled in the page), the links and the view's
// own decorations the mouse enters and leaves, and where the reader scrolled to.
class LinkBridge : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

  // Called from the page script with the link's resolved address.
  Q_INVOKABLE void linkClicked(const QString& href) { emit LinkClicked(href); }
  // Called with the resolved address of the link the mouse entered; empty when it left it.
  Q_INVOKABLE void linkHovered(const QString& href) { emit LinkHovered(href); }
  // Called with the decoration's kind ("answers", "id") and reply number; an empty kind when the
  // mouse left it.
  Q_INVOKABLE void decorationHovered(const QString& kind, int reply) {
    emit DecorationHovered(kind, reply);
  }
  // Called after the page scrolled with the reply at the top of the view and its offset.
  Q_INVOKABLE void readingPlace(int reply, double offset) {
    emit ReadingPlaceChanged(reply, offset);
  }

 signals:
  void LinkClicked(const QString& href);
  void LinkHovered(const QString& href);
  void DecorationHovered(const QString& kind, int reply);
  void ReadingPlaceChanged(int reply, double offset);
};

}  // namespace velkor
