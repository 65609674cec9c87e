#include "threads/ui/PopupWindow.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTextLayout>
#include <QToolTip>
#include <algorithm>

#include "gui/GuiText.h"
#include "subjects/TitleText.h"
#include "threads/PopupAnchors.h"

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

// A piece of pop-up text as the page shows it: the text keeps the message's character references
// ("&amp;", "&#x1F600;"), which the page's browser shows as the characters they name.
QString Shown(std::string_view sjis) {
  return QString::fromStdString(TitleForDisplay(sjis));
}

QRect KeepOnScreen(QRect rect, QRect screen) {
  if (rect.top() < screen.top()) rect.moveTop(screen.top());
  if (rect.right() + 1 > screen.right() + 1) rect.moveRight(screen.right());
  return rect;
}

}  // namespace

PopupWindow::PopupWindow(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
  setObjectName(QStringLiteral("PopupWindow"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  setMouseTracking(true);
  setFont(PopupFont());
  setPalette(QToolTip::palette());
  setBackgroundRole(QPalette::ToolTipBase);
  setForegroundRole(QPalette::ToolTipText);
  setAutoFillBackground(true);
  leaveTimer_.setSingleShot(true);
  leaveTimer_.setInterval(kLeaveGraceMs);
  connect(&leaveTimer_, &QTimer::timeout, this, &PopupWindow::CloseUnpinned);
}

PopupWindow::PopupWindow(PopupWindow* parentPopup, int depth) : PopupWindow(parentPopup) {
  parentPopup_ = parentPopup;
  depth_ = depth;
  setObjectName(QStringLiteral("PopupWindow%1").arg(depth));
}

PopupWindow::~PopupWindow() = default;

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

PopupWindow* PopupWindow::Root() {
  PopupWindow* root = this;
  while (root->parentPopup_ != nullptr) root = root->parentPopup_;
  return root;
}

PopupWindow* PopupWindow::Child() const {
  return child_ != nullptr && child_->isVisible() ? child_ : nullptr;
}

void PopupWindow::SetText(const std::string& text) {
  std::string plain;
  plain.reserve(text.size());
  for (char c : text) {
    if (c != '\r') plain += c;
  }
  const std::vector<PopupTextAnchor> found =
      Root()->resolver_ ? FindPopupAnchors(plain) : std::vector<PopupTextAnchor>();
  // Built piece by piece so that the anchors' places are known in the converted text.
  text_.clear();
  anchors_.clear();
  anchorSpans_.clear();
  std::size_t done = 0;
  for (const PopupTextAnchor& anchor : found) {
    text_ += Shown(std::string_view(plain).substr(done, anchor.offset - done));
    const QString shown = Shown(std::string_view(plain).substr(anchor.offset, anchor.length));
    anchorSpans_.emplace_back(static_cast<int>(text_.size()), static_cast<int>(shown.size()));
    anchors_.push_back({anchor.spec, QRect()});
    text_ += shown;
    done = anchor.offset + anchor.length;
  }
  text_ += Shown(std::string_view(plain).substr(done));
}

void PopupWindow::Layout() {
  QString shown = text_;
  shown.replace(QLatin1Char('\n'), QChar::LineSeparator);
  layout_ = std::make_unique<QTextLayout>(shown, font());
  QTextOption option(Qt::AlignLeft | Qt::AlignTop);
  option.setWrapMode(QTextOption::WrapAnywhere);
  option.setFlags(QTextOption::IncludeTrailingSpaces);
  layout_->setTextOption(option);
  QList<QTextLayout::FormatRange> formats;
  for (const auto& [start, length] : anchorSpans_) {
    QTextLayout::FormatRange range;
    range.start = start;
    range.length = length;
    range.format.setForeground(palette().color(QPalette::Link));
    range.format.setFontUnderline(true);
    formats.append(range);
  }
  layout_->setFormats(formats);
  const int width = std::max(1, this->width() - 2 * kMargin - 2);
  const QPointF origin(kMargin + 1, kMargin + 1);
  layout_->beginLayout();
  qreal y = 0;
  for (QTextLine line = layout_->createLine(); line.isValid(); line = layout_->createLine()) {
    line.setLineWidth(width);
    line.setPosition(QPointF(0, y));
    y += line.height();
  }
  layout_->endLayout();
  for (std::size_t k = 0; k < anchors_.size(); ++k) {
    const auto [start, length] = anchorSpans_[k];
    const QTextLine line = layout_->lineForTextPosition(start);
    if (!line.isValid()) continue;
    const int end = std::min(start + length, line.textStart() + line.textLength());
    const qreal left = line.cursorToX(start);
    const qreal right = line.cursorToX(end);
    anchors_[k].rect =
        QRectF(origin.x() + left, origin.y() + line.y(), right - left, line.height()).toRect();
  }
}

void PopupWindow::ShowText(const std::string& text, QPoint cursor, AnchorResolver resolver) {
  leaveTimer_.stop();
  CloseChildren();
  pinned_ = false;
  resolver_ = std::move(resolver);
  SetText(text);
  const QRect screen = ScreenRect(cursor);
  setGeometry(PlacePopup(cursor, HintSize(text_, screen.width()), screen));
  Layout();
  show();
  raise();
  update();
}

void PopupWindow::ShowHover(const std::string& text, QPoint cursor, AnchorResolver resolver) {
  if (pinned_ && isVisible()) return;
  ShowText(text, cursor, std::move(resolver));
}

bool PopupWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    HidePopup();
  }
  return QWidget::eventFilter(watched, event);
}

void PopupWindow::showEvent(QShowEvent* event) {
  // Esc closes the chain wherever the keyboard focus is (pop-ups never take it).
  if (parentPopup_ == nullptr) qApp->installEventFilter(this);
  QWidget::showEvent(event);
}

void PopupWindow::hideEvent(QHideEvent* event) {
  if (parentPopup_ == nullptr) qApp->removeEventFilter(this);
  QWidget::hideEvent(event);
}

void PopupWindow::HideHover() {
  if (!isVisible() || pinned_ || ChainCovers(QCursor::pos())) return;
  leaveTimer_.start();
}

bool PopupWindow::ChainCovers(QPoint global) {
  for (PopupWindow* level = Root(); level != nullptr; level = level->Child()) {
    if (level->isVisible() && level->geometry().contains(global)) return true;
  }
  return false;
}

void PopupWindow::HidePopup() {
  leaveTimer_.stop();
  CloseChildren();
  pinned_ = false;
  hide();
  text_.clear();
  anchors_.clear();
  anchorSpans_.clear();
  layout_.reset();
  if (parentPopup_ == nullptr) resolver_ = nullptr;
}

void PopupWindow::CloseChildren() {
  if (child_ != nullptr) child_->HidePopup();
  childAnchor_ = -1;
}

void PopupWindow::CloseUnpinnedChildren() {
  PopupWindow* level = this;
  while (level->Child() != nullptr && level->Child()->pinned_) level = level->Child();
  level->CloseChildren();
}

void PopupWindow::CloseUnpinned() {
  if (!pinned_) {
    HidePopup();
  } else {
    CloseUnpinnedChildren();
  }
}

void PopupWindow::OpenChild(std::size_t index, QRect anchorRect) {
  if (depth_ >= kMaxDepth) return;
  if (childAnchor_ == static_cast<int>(index) && Child() != nullptr) return;
  // A pinned pop-up opened from here stays until it is clicked away.
  if (Child() != nullptr && Child()->pinned_) return;
  const AnchorResolver& resolver = Root()->resolver_;
  const std::string text = resolver ? resolver(anchors_[index].spec) : std::string();
  CloseChildren();
  if (text.empty()) return;
  if (child_ == nullptr) {
    child_ = new PopupWindow(this, depth_ + 1);
    child_->setAttribute(Qt::WA_QuitOnClose, false);
  }
  child_->SetText(text);
  const QRect screen = ScreenRect(anchorRect.center());
  child_->setGeometry(
      PlaceChildPopup(anchorRect, child_->HintSize(child_->text_, screen.width()), screen));
  child_->Layout();
  childAnchor_ = static_cast<int>(index);
  child_->show();
  child_->raise();
}

int PopupWindow::AnchorAt(QPoint pos) const {
  for (std::size_t k = 0; k < anchors_.size(); ++k) {
    if (anchors_[k].rect.contains(pos)) return static_cast<int>(k);
  }
  return -1;
}

void PopupWindow::resizeEvent(QResizeEvent*) {
  if (layout_ != nullptr) Layout();
}

void PopupWindow::mouseMoveEvent(QMouseEvent* event) {
  Root()->leaveTimer_.stop();
  const QPoint pos = event->position().toPoint();
  const int index = AnchorAt(pos);
  if (index < 0) {
    CloseUnpinnedChildren();
    return;
  }
  const QRect rect = anchors_[static_cast<std::size_t>(index)].rect;
  OpenChild(static_cast<std::size_t>(index), QRect(mapToGlobal(rect.topLeft()), rect.size()));
}

void PopupWindow::mousePressEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() != Qt::LeftButton) return;
  if (pinned_) {
    // A click on a pinned pop-up closes it with the deeper ones.
    if (parentPopup_ == nullptr) {
      HidePopup();
    } else {
      parentPopup_->CloseChildren();
    }
    return;
  }
  for (PopupWindow* level = this; level != nullptr; level = level->parentPopup_) {
    level->pinned_ = true;
  }
  Root()->leaveTimer_.stop();
}

void PopupWindow::enterEvent(QEnterEvent*) {
  Root()->leaveTimer_.stop();
}

void PopupWindow::leaveEvent(QEvent*) {
  // Into a deeper or shallower pop-up of the chain: its own moves decide.
  if (ChainCovers(QCursor::pos())) return;
  Root()->leaveTimer_.start();
}

void PopupWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::ToolTipText));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  if (layout_ != nullptr) layout_->draw(&painter, QPointF(kMargin + 1, kMargin + 1));
}

QRect PlacePopup(QPoint cursor, QSize size, QRect screen) {
  const int x = cursor.x() + 8;
  const int y = cursor.y() - 20;
  return KeepOnScreen(QRect(x, y - size.height(), size.width(), size.height()), screen);
}

QRect PlaceChildPopup(QRect anchor, QSize size, QRect screen) {
  const int bottom = anchor.top() + 2;
  return KeepOnScreen(QRect(anchor.left(), bottom - size.height(), size.width(), size.height()),
                      screen);
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
