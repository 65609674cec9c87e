#include "images/ui/ImageCanvas.h"

#include <QMouseEvent>
#include <QMovie>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace velkor {

ImageCanvas::ImageCanvas(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("imageCanvas"));
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(64, 64);
  QPalette dark = palette();
  dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
  setPalette(dark);
  setAutoFillBackground(true);
}

void ImageCanvas::SetImage(const QImage& image) {
  image_ = image;
  FitToWindow();
}

void ImageCanvas::SetMovie(QMovie* movie) {
  movie_ = movie;
  connect(movie, &QMovie::frameChanged, this, [this] {
    if (movie_.isNull()) return;
    image_ = movie_->currentImage();
    update();
  });
  movie->start();
  image_ = movie->currentImage();
  FitToWindow();
}

double ImageCanvas::FitZoom() const {
  if (image_.isNull() || width() <= 0 || height() <= 0) return 1.0;
  return std::min({1.0, static_cast<double>(width()) / image_.width(),
                   static_cast<double>(height()) / image_.height()});
}

void ImageCanvas::FitToWindow() {
  fitted_ = true;
  zoom_ = FitZoom();
  offset_ = QPointF();
  Clamp();
  update();
}

void ImageCanvas::ShowActualSize() {
  fitted_ = false;
  zoom_ = 1.0;
  offset_ = QPointF((width() - image_.width()) / 2.0, (height() - image_.height()) / 2.0);
  Clamp();
  update();
}

void ImageCanvas::ZoomBy(double factor, QPointF anchor) {
  if (image_.isNull()) return;
  const double zoom = std::clamp(zoom_ * factor, kMinZoom, kMaxZoom);
  const QPointF imagePoint = (anchor - offset_) / zoom_;
  fitted_ = false;
  zoom_ = zoom;
  offset_ = anchor - imagePoint * zoom_;
  Clamp();
  update();
}

void ImageCanvas::Clamp() {
  const QSizeF shown = QSizeF(image_.size()) * zoom_;
  const auto clampAxis = [](double offset, double extent, double room) {
    if (extent <= room) return (room - extent) / 2.0;
    return std::clamp(offset, room - extent, 0.0);
  };
  offset_.setX(clampAxis(offset_.x(), shown.width(), width()));
  offset_.setY(clampAxis(offset_.y(), shown.height(), height()));
}

void ImageCanvas::paintEvent(QPaintEvent*) {
  if (image_.isNull()) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, zoom_ < 1.0);
  painter.drawImage(QRectF(offset_, QSizeF(image_.size()) * zoom_), image_);
}

void ImageCanvas::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (fitted_) zoom_ = FitZoom();
  Clamp();
}

void ImageCanvas::wheelEvent(QWheelEvent* event) {
  const int steps = event->angleDelta().y() / 120;
  if (steps == 0) return;
  ZoomBy(std::pow(kZoomStep, steps), event->position());
  event->accept();
}

void ImageCanvas::mousePressEvent(QMouseEvent* event) {
  dragFrom_ = event->position();
  setFocus(Qt::MouseFocusReason);
}

void ImageCanvas::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  offset_ += event->position() - dragFrom_;
  dragFrom_ = event->position();
  Clamp();
  update();
}

}  // namespace velkor
