#pragma once

#include <QByteArray>
#include <QLabel>
#include <QPoint>

namespace velkor {

// The pop-up of a cached image under the mouse: its thumbnail in a borderless hint window above
// and to the right of the pointer, kept on the screen.
class ImagePopup : public QLabel {
  Q_OBJECT

 public:
  explicit ImagePopup(QWidget* parent = nullptr);

  // Shows the thumbnail `png` next to the pointer at `cursor` (global coordinates); a PNG that
  // does not load hides the pop-up.
  void ShowThumbnail(const QByteArray& png, QPoint cursor);
};

}  // namespace velkor
