#include "images/ui/ImagePopup.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

namespace velkor {

ImagePopup::ImagePopup(QWidget* parent)
    : QLabel(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("imagePopup"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFrameShape(QFrame::Box);
  setMargin(2);
  setAlignment(Qt::AlignCenter);
}

void ImagePopup::ShowThumbnail(const QByteArray& png, QPoint cursor) {
  QPixmap pixmap;
  if (!pixmap.loadFromData(png, "png")) {
    hide();
    return;
  }
  setPixmap(pixmap);
  adjustSize();
  // As the reply pop-up: above and to the right of the pointer, within the screen.
  QRect rect(QPoint(cursor.x() + 8, cursor.y() - 20 - height()), size());
  const QScreen* screen = QGuiApplication::screenAt(cursor);
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen != nullptr) {
    const QRect area = screen->geometry();
    if (rect.top() < area.top()) rect.moveTop(area.top());
    if (rect.right() > area.right()) rect.moveRight(area.right());
  }
  move(rect.topLeft());
  show();
  raise();
}

}  // namespace velkor
