#include "mainwindow/WindowGeometry.h"

#include <algorithm>

namespace velkor {

QRect OpeningGeometry(const std::optional<QRect>& saved, const QRect& available) {
  if (available.isEmpty()) return saved.value_or(QRect(0, 0, 960, 680));
  QRect rect;
  if (saved) {
    rect = *saved;
    rect.setWidth(std::clamp(rect.width(), 1, available.width()));
    rect.setHeight(std::clamp(rect.height(), 1, available.height()));
  } else {
    const int width =
        std::clamp(available.width() * 4 / 5, std::min(960, available.width()), available.width());
    const int height = std::clamp(available.height() * 4 / 5, std::min(680, available.height()),
                                  available.height());
    rect = QRect(0, 0, width, height);
    rect.moveCenter(available.center());
  }
  if (rect.right() > available.right()) rect.moveRight(available.right());
  if (rect.bottom() > available.bottom()) rect.moveBottom(available.bottom());
  if (rect.left() < available.left()) rect.moveLeft(available.left());
  if (rect.top() < available.top()) rect.moveTop(available.top());
  return rect;
}

}  // namespace velkor
