#include "boards/ui/FavoriteToolBar.h"

#include <QActionGroup>
#include <QMouseEvent>
#include <QPointer>
#include <QToolButton>

#include "gui/GuiText.h"

namespace velkor {
namespace {

constexpr char kCaptionProperty[] = "velkorCaption";

}  // namespace

FavoriteToolBar::FavoriteToolBar(QWidget* parent)
    : QToolBar(parent), group_(new QActionGroup(this)) {
  setObjectName("FavoriteToolBar");
  setMovable(false);
  setFloatable(false);
  setToolButtonStyle(Qt::ToolButtonTextOnly);
  group_->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
  Layout();
}

void FavoriteToolBar::Bind(FavoriteButtonBar* bar) {
  bar_ = bar;
  Layout();
}

std::string FavoriteToolBar::CaptionOf(const QToolButton* button) {
  if (button == nullptr) return {};
  return button->property(kCaptionProperty).toByteArray().toStdString();
}

void FavoriteToolBar::ButtonsChanged(const FavoriteButtonBar&) {
  Layout();
}

QToolButton* FavoriteToolBar::MakeButton(const std::string& caption, bool fixed) {
  QString text = FromSjis(caption);
  text.replace("&", "&&");
  auto* action = new QAction(text, this);
  action->setCheckable(!fixed);
  if (!fixed) group_->addAction(action);
  addAction(action);
  actions_.push_back(action);
  auto* button = qobject_cast<QToolButton*>(widgetForAction(action));
  button->setProperty(kCaptionProperty, QByteArray::fromStdString(caption));
  button->setPopupMode(QToolButton::DelayedPopup);
  if (fixed) button->setObjectName("favoriteToolButton");
  button->installEventFilter(this);
  connect(action, &QAction::triggered, this, [this, button] { emit ButtonClicked(button); });
  return button;
}

void FavoriteToolBar::Layout() {
  // The pressed button stays pressed when the buttons are laid out anew and it is still there.
  std::string pressed;
  for (std::size_t i = 1; i < buttons_.size() && i < actions_.size(); ++i) {
    if (actions_[i]->isChecked()) pressed = CaptionOf(buttons_[i]);
  }
  for (QAction* action : actions_) {
    removeAction(action);
    delete action;
  }
  actions_.clear();
  buttons_.clear();
  buttons_.push_back(MakeButton(FavoriteButtonBar::FixedCaption(), true));
  if (bar_ != nullptr) {
    for (const std::string& caption : bar_->Captions()) {
      buttons_.push_back(MakeButton(caption, false));
      if (!pressed.empty() && caption == pressed) {
        actions_.back()->setChecked(true);
        pressed.clear();
      }
    }
  }
  emit ButtonsRelaid();
}

bool FavoriteToolBar::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    auto* button = qobject_cast<QToolButton*>(watched);
    if (mouse->button() == Qt::RightButton && button != nullptr && button != FixedButton()) {
      // Queued: what the click leads to may lay the buttons out anew, this one included.
      QPointer<QToolButton> target(button);
      QPoint pos = mouse->globalPosition().toPoint();
      QMetaObject::invokeMethod(
          this,
          [this, target, pos] {
            if (!target.isNull()) emit ButtonRightClicked(target, pos);
          },
          Qt::QueuedConnection);
      return true;
    }
  }
  return QToolBar::eventFilter(watched, event);
}

}  // namespace velkor
