#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QTextLayout;

namespace velkor {

// The reply pop-up: a borderless hint window in the desktop's tool-tip colours with the Japanese
// gothic at 9 points, showing plain text above and to the right of the mouse pointer.
//
// Reply anchors in the text (">>12", "＞＞１２－１５", ...) are live when the pop-up has an anchor
// resolver: resting the mouse on one opens a further pop-up of those replies directly above the
// anchor, up to kMaxDepth pop-ups in a chain. Moving the mouse back onto a pop-up away from the
// anchor that opened the next one closes the deeper ones; leaving the whole chain closes it after
// kLeaveGraceMs (the time the pointer has to cross from a link into its pop-up). A left click pins
// a pop-up (and the ones below it): pinned pop-ups stay whatever the mouse does and whatever the
// page hovers, until a click on one of them closes it with the deeper ones, or HidePopup closes
// all. Esc closes them all too, wherever the keyboard focus is. The text is shown as the page
// shows it: character references ("&amp;", "&#x1F600;") as the characters they name.
class PopupWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kMaxDepth = 8;
  static constexpr int kLeaveGraceMs = 400;

  // The pop-up text (CP932, lines ending in CR LF or LF) of the replies an anchor's normalised
  // number text ("12", "3-5,8") selects; empty when it selects none.
  using AnchorResolver = std::function<std::string(const std::string& spec)>;

  // An anchor of the shown text: its normalised number text and where it is drawn (this window's
  // coordinates).
  struct Anchor {
    std::string spec;
    QRect rect;
  };

  explicit PopupWindow(QWidget* parent = nullptr);
  ~PopupWindow() override;

  // The size `text` needs in this window, at most `maxWidth` wide: lines break where the text
  // breaks them, and a line wider than that wraps.
  QSize HintSize(const QString& text, int maxWidth) const;
  // Shows `text` (CP932, lines ending in LF or CR LF) next to the pointer at `cursor` (global
  // coordinates), kept on the screen, with its anchors resolved by `resolver` (none: anchors are
  // plain text). Replaces whatever the chain showed, pinned or not.
  void ShowText(const std::string& text, QPoint cursor, AnchorResolver resolver = {});
  // The same for a link the mouse rests on in a page: does nothing while this pop-up is pinned.
  void ShowHover(const std::string& text, QPoint cursor, AnchorResolver resolver);
  // The mouse left the page's link: the chain closes after kLeaveGraceMs unless the mouse has
  // entered it by then or it is pinned. Nothing happens while the mouse is in the chain already
  // (the page may say so late): leaving the chain starts the wait.
  void HideHover();
  // Hides the window and every deeper one, pinned or not (the main window's delPop).
  void HidePopup();
  // The text as the window shows it.
  QString Text() const { return text_; }

  // How many text lines fit on a screen of `screenHeight` pixels in this window.
  int MaxLines(int screenHeight) const;

  const std::vector<Anchor>& Anchors() const { return anchors_; }
  // The pop-up opened from one of this one's anchors, while it is shown; else null.
  PopupWindow* Child() const;
  // 1 for the pop-up a page opens, one more for each pop-up opened from another.
  int Depth() const { return depth_; }
  bool IsPinned() const { return pinned_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  PopupWindow(PopupWindow* parentPopup, int depth);

  PopupWindow* Root();
  void SetText(const std::string& text);
  void Layout();
  // Opens (or keeps) the deeper pop-up for the anchor at `index`, placed above `anchorRect`
  // (global coordinates).
  void OpenChild(std::size_t index, QRect anchorRect);
  // Closes the deeper pop-ups that are not pinned.
  void CloseUnpinnedChildren();
  void CloseChildren();
  void CloseUnpinned();
  int AnchorAt(QPoint pos) const;
  // Whether a shown pop-up of this one's chain covers `global` (screen coordinates).
  bool ChainCovers(QPoint global);

  PopupWindow* parentPopup_ = nullptr;
  PopupWindow* child_ = nullptr;
  int depth_ = 1;
  bool pinned_ = false;
  int childAnchor_ = -1;  // the anchor the shown child was opened from
  QString text_;
  std::vector<Anchor> anchors_;
  std::vector<std::pair<int, int>> anchorSpans_;  // start and length in text_
  std::unique_ptr<QTextLayout> layout_;
  AnchorResolver resolver_;  // the root's; deeper pop-ups ask it
  QTimer leaveTimer_;        // the root's
};

// Where a pop-up of `size` goes for the pointer at `cursor` on a screen `screen`: 8 pixels right
// of and 20 pixels above the pointer, above and to the right of it; pushed down to the top edge and
// left to the right edge when it would leave the screen there.
QRect PlacePopup(QPoint cursor, QSize size, QRect screen);

// Where a deeper pop-up of `size` goes for an anchor drawn at `anchor` (global coordinates): its
// left edge at the anchor's and its bottom edge just inside the anchor's top, so that the pointer
// moving up from the anchor enters it at once; kept on `screen` as PlacePopup keeps pop-ups.
QRect PlaceChildPopup(QRect anchor, QSize size, QRect screen);

// The process-wide pop-up window, made on first use.
PopupWindow& AppPopup();

// The number of pop-up lines that fit on the primary screen; the line limit of every pop-up text.
int PopupMaxLines();

}  // namespace velkor
