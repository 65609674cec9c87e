#include "threads/ui/ThreadTabStrip.h"

#include <QMouseEvent>
#include <QTabWidget>
#include <QToolButton>
#include <algorithm>

namespace velkor {
namespace {

constexpr char kIndexProperty[] = "velkorTabIndex";
constexpr int kSpacing = 2;

// Tabs: a frame open at the bottom, the active one on the window colour.
constexpr char kTabLook[] =
    "QToolButton { border: 1px solid palette(mid); border-bottom: none;"
    " border-top-left-radius: 4px; border-top-right-radius: 4px; padding: 2px 8px;"
    " background: palette(button); }"
    " QToolButton:checked { background: palette(window); font-weight: bold; }";
// Buttons: the style's own, the pressed one sunk in.
constexpr char kPressedLook[] =
    "QToolButton:checked { border: 2px inset palette(dark); background: palette(midlight); }";

}  // namespace

ThreadTabStrip::ThreadTabStrip(QTabWidget* tabs, QWidget* parent) : QWidget(parent), tabs_(tabs) {
  setObjectName(QStringLiteral("tabStrip"));
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  setFixedHeight(0);
}

void ThreadTabStrip::SetButtonStyle(int style) {
  style_ = style == 1 || style == 2 ? style : 0;
  Rebuild();
}

void ThreadTabStrip::Rebuild() {
  // A button may be in the middle of its own event (a press closing its page): it goes later.
  for (QToolButton* button : buttons_) {
    button->hide();
    button->removeEventFilter(this);
    button->deleteLater();
  }
  buttons_.clear();
  const int count = tabs_ != nullptr ? tabs_->count() : 0;
  for (int i = 0; i < count; ++i) {
    auto* button = new QToolButton(this);
    button->setObjectName(QStringLiteral("tabStripButton"));
    button->setText(tabs_->tabText(i));
    button->setCheckable(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRaise(style_ == 2);
    button->setStyleSheet(QString::fromLatin1(style_ == 0 ? kTabLook : kPressedLook));
    button->setProperty(kIndexProperty, i);
    button->installEventFilter(this);
    button->show();
    buttons_.push_back(button);
  }
  ShowCurrent();
  FitHeight();
}

void ThreadTabStrip::FitHeight() {
  const int needed = LayOut(width(), true);
  if (needed != height() || needed != minimumHeight()) setFixedHeight(needed);
}

void ThreadTabStrip::ShowCurrent() {
  const int current = tabs_ != nullptr ? tabs_->currentIndex() : -1;
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    buttons_[i]->setChecked(static_cast<int>(i) == current);
  }
}

QToolButton* ThreadTabStrip::ButtonAt(int index) const {
  if (index < 0 || index >= ButtonCount()) return nullptr;
  return buttons_[static_cast<std::size_t>(index)];
}

int ThreadTabStrip::LayOut(int width, bool apply) const {
  if (buttons_.empty()) return 0;
  int x = 0;
  int y = 0;
  int rowHeight = 0;
  for (QToolButton* button : buttons_) {
    const QSize size = button->sizeHint().boundedTo(QSize(std::max(1, width), 1 << 16));
    if (x > 0 && x + size.width() > width) {
      x = 0;
      y += rowHeight + kSpacing;
      rowHeight = 0;
    }
    if (apply) button->setGeometry(QRect(QPoint(x, y), size));
    x += size.width() + kSpacing;
    rowHeight = std::max(rowHeight, size.height());
  }
  return y + rowHeight;
}

QSize ThreadTabStrip::sizeHint() const {
  return QSize(width() > 0 ? width() : 200, LayOut(width() > 0 ? width() : 200, false));
}

QSize ThreadTabStrip::minimumSizeHint() const {
  return QSize(0, 0);
}

void ThreadTabStrip::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FitHeight();
}

bool ThreadTabStrip::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    const QVariant index = watched->property(kIndexProperty);
    if (index.isValid()) {
      auto* mouse = static_cast<QMouseEvent*>(event);
      emit TabPressed(index.toInt(), mouse->button(), mouse->globalPosition().toPoint());
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace velkor
