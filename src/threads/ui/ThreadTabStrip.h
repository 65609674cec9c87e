#pragma once

#include <QWidget>
#include <vector>

class QTabWidget;
class QToolButton;

namespace velkor {

// The tab row in several lines: one button per page of a tab control, wrapped into as many rows as
// the width needs. The main window shows it over the pages instead of the control's own tab bar
// when tabs are multi-line. Its buttons look like tabs (style 0), like buttons (1) or like flat
// buttons (2); the active page's button is pressed.
class ThreadTabStrip : public QWidget {
  Q_OBJECT

 public:
  explicit ThreadTabStrip(QTabWidget* tabs, QWidget* parent = nullptr);

  // 0 tabs, 1 buttons, 2 flat buttons; other values count as 0.
  void SetButtonStyle(int style);
  // Makes the buttons anew from the pages and captions of the tab control.
  void Rebuild();
  // Presses the active page's button.
  void ShowCurrent();
  // The button of page `index`, or null.
  QToolButton* ButtonAt(int index) const;
  int ButtonCount() const { return static_cast<int>(buttons_.size()); }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  // A mouse button was pressed on the button of page `index`.
  void TabPressed(int index, Qt::MouseButton button, const QPoint& globalPos);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Places the buttons in rows within `width` and returns the height they need; with `apply` the
  // buttons are moved there.
  int LayOut(int width, bool apply) const;
  // Lays the buttons out in the present width and takes the height they need.
  void FitHeight();

  QTabWidget* tabs_;
  std::vector<QToolButton*> buttons_;
  int style_ = 0;
};

}  // namespace velkor
