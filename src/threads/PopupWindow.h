#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>
#include <string>

namespace velkor {

// The reply pop-up: a borderless hint window in the desktop's tool-tip colours with the Japanese
// gothic at 9 points, showing plain text above and to the right of the mouse pointer.
class PopupWindow : public QWidget {
  Q_OBJECT

 public:
  explicit PopupWindow(QWidget* parent = nullptr);

  // The size `text` needs in this window, at most `maxWidth` wide: lines break where the text
  // breaks them, and a line wider than that wraps.
  QSize HintSize(const QString& text, int maxWidth) const;
  // Shows `text` (CP932, lines ending in LF or CR LF) next to the pointer at `cursor` (global
  // coordinates), kept on the screen.
  void ShowText(const std::string& text, QPoint cursor);
  // Hides the window (the main window's delPop).
  void HidePopup();
  QString Text() const { return text_; }

  // How many text lines fit on a screen of `screenHeight` pixels in this window.
  int MaxLines(int screenHeight) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
};

// Where a pop-up of `size` goes for the pointer at `cursor` on a screen `screen`: 8 pixels right
// of and 20 pixels above the pointer, above and to the right of it; pushed down to the top edge and
// left to the right edge when it would leave the screen there.
QRect PlacePopup(QPoint cursor, QSize size, QRect screen);

// The process-wide pop-up window, made on first use.
PopupWindow& AppPopup();

// The number of pop-up lines that fit on the primary screen; the line limit of every pop-up text.
int PopupMaxLines();

}  // namespace velkor
