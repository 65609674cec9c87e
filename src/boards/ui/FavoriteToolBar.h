#pragma once

#include <QToolBar>
#include <string>
#include <vector>

#include "boards/FavoriteButtonBar.h"

class QActionGroup;
class QToolButton;

namespace velkor {

// The favourite-button bar: the fixed button favoriteToolButton "▼お気に入り" followed by one
// check-style button per pinned caption of a FavoriteButtonBar (pressing one releases the others).
// It follows the bar through the observer interface; a button pressed before the buttons are laid
// out anew is pressed again when its caption is still on the bar.
class FavoriteToolBar : public QToolBar, public FavoriteButtonBarObserver {
  Q_OBJECT

 public:
  explicit FavoriteToolBar(QWidget* parent = nullptr);

  // Binds the bar (not owned) and lays the buttons out.
  void Bind(FavoriteButtonBar* bar);

  // Buttons on the bar, the fixed one first.
  const std::vector<QToolButton*>& Buttons() const { return buttons_; }
  QToolButton* FixedButton() const { return buttons_.empty() ? nullptr : buttons_.front(); }
  // The caption of a button of this bar (CP932), as the button bar holds it.
  static std::string CaptionOf(const QToolButton* button);

  void ButtonsChanged(const FavoriteButtonBar& bar) override;

 signals:
  // A button was clicked (the fixed one included).
  void ButtonClicked(QToolButton* button);
  // A right click on a pinned button (never the fixed one), at a global position.
  void ButtonRightClicked(QToolButton* button, const QPoint& globalPos);
  // The buttons were laid out anew (after loading, adding or removing a button).
  void ButtonsRelaid();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QToolButton* MakeButton(const std::string& caption, bool fixed);
  void Layout();

  FavoriteButtonBar* bar_ = nullptr;
  std::vector<QToolButton*> buttons_;
  std::vector<QAction*> actions_;
  QActionGroup* group_;
};

}  // namespace velkor
