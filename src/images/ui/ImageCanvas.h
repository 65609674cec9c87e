#pragma once

#include <QImage>
#include <QPointF>
#include <QPointer>
#include <QWidget>

class QMovie;

namespace velkor {

// One image in the viewer: fitted to the widget at first (shrunk, never enlarged), zoomed with the
// wheel around the pointer, shown at 100 %, dragged with the mouse when larger than the widget.
// An animation plays through a QMovie it is given.
class ImageCanvas : public QWidget {
  Q_OBJECT

 public:
  static constexpr double kZoomStep = 1.25;
  static constexpr double kMinZoom = 0.02;
  static constexpr double kMaxZoom = 32.0;

  explicit ImageCanvas(QWidget* parent = nullptr);

  // Shows a still image, fitted.
  void SetImage(const QImage& image);
  // Shows the frames of `movie` (not owned; started here), fitted to its first frame's size.
  void SetMovie(QMovie* movie);

  // Fits the image to the widget (and keeps it fitted as the widget's size changes).
  void FitToWindow();
  // Shows the image at its own size, centred.
  void ShowActualSize();
  // Multiplies the zoom by `factor`, keeping the image point under `anchor` (widget coordinates)
  // where it is; leaves fitting.
  void ZoomBy(double factor, QPointF anchor);

  bool Fitted() const { return fitted_; }
  double Zoom() const { return zoom_; }
  QSize ImageSize() const { return image_.size(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  double FitZoom() const;
  // Keeps the image on the widget: centred along a side where it is smaller, else edge to edge.
  void Clamp();

  QImage image_;
  QPointer<QMovie> movie_;
  bool fitted_ = true;
  double zoom_ = 1.0;
  QPointF offset_;  // where the image's top left corner is drawn
  QPointF dragFrom_;
};

}  // namespace velkor
