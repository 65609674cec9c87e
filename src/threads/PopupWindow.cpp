#include "threads/PopupWindow.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QToolTip>
#include <algorithm>

#include "gui/GuiText.h"

namespace velkor {

namespace {

constexpr int kMargin = 3;  // between the frame and the text
// A line wider than the window may be (the screen) wraps, anywhere: replies hold long runs
// without spaces (URLs, AA, Japanese text).
constexpr int kTextFlags = Qt::AlignLeft | Qt::TextExpandTabs | Qt::TextWrapAnywhere;

QFont PopupFont() {
  QFont font(GothicFamily());
  font.setPointSize(9);
  return font;
}

QRect ScreenRect(QPoint at) {
  QScreen* screen = QGuiApplication::screenAt(at);
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->geometry() : QRect(0, 0, 1024, 768);
}

}  // namespace

PopupWindow::PopupWindow(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
  setObjectName(QStringLiteral("PopupWindow"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFont(PopupFont());
  setPalette(QToolTip::palette());
  setBackgroundRole(QPalette::ToolTipBase);
  setForegroundRole(QPalette::ToolTipText);
  setAutoFillBackground(true);
}

QSize PopupWindow::HintSize(const QString& text, int maxWidth) const {
  const QFontMetrics metrics(font());
  const QRect bounds =
      metrics.boundingRect(QRect(0, 0, maxWidth - 2 * kMargin - 2, 1 << 20), kTextFlags, text);
  return QSize(std::min(maxWidth, bounds.width() + 2 * kMargin + 2),
               bounds.height() + 2 * kMargin + 2);
}

int PopupWindow::MaxLines(int screenHeight) const {
  const int twoLines =
      HintSize(QString::fromUtf8("逝ってよし！\nオマエモナー"), screenHeight * 4).height();
  const int oneLine = HintSize(QString::fromUtf8("（ ・∀・）"), screenHeight * 4).height();
  const int line = twoLines - oneLine;
  const int frame = oneLine - line;
  return line > 0 ? (screenHeight - frame) / line : 1;
}

void PopupWindow::ShowText(const std::string& text, QPoint cursor) {
  text_ = FromSjis(text);
  text_.remove(QLatin1Char('\r'));
  const QRect screen = ScreenRect(cursor);
  setGeometry(PlacePopup(cursor, HintSize(text_, screen.width()), screen));
  show();
  raise();
  update();
}

void PopupWindow::HidePopup() {
  hide();
  text_.clear();
}

void PopupWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::ToolTipText));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  painter.drawText(rect().adjusted(kMargin + 1, kMargin + 1, -kMargin - 1, -kMargin - 1),
                   kTextFlags | Qt::AlignTop, text_);
}

QRect PlacePopup(QPoint cursor, QSize size, QRect screen) {
  const int x = cursor.x() + 8;
  const int y = cursor.y() - 20;
  QRect rect(x, y - size.height(), size.width(), size.height());
  if (rect.top() < screen.top()) rect.moveTop(screen.top());
  if (rect.right() + 1 > screen.right() + 1) rect.moveRight(screen.right());
  return rect;
}

PopupWindow& AppPopup() {
  static QPointer<PopupWindow> popup;
  if (popup.isNull()) {
    popup = new PopupWindow();
    // A hint window must never keep the application running.
    popup->setAttribute(Qt::WA_QuitOnClose, false);
  }
  return *popup;
}

int PopupMaxLines() {
  static const int lines = [] {
    QScreen* screen = QGuiApplication::primaryScreen();
    return AppPopup().MaxLines(screen != nullptr ? screen->geometry().height() : 768);
  }();
  return lines;
}

}  // namespace velkor
