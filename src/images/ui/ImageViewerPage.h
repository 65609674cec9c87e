#pragma once

#include <QBuffer>
#include <QLabel>
#include <QMovie>
#include <QWidget>
#include <memory>
#include <vector>

#include "images/ImageLinks.h"
#include "images/ui/ImageDecoder.h"

class QStackedLayout;

namespace velkor {

class ImageCanvas;
class ImageService;

// One tab of the image viewer: one image of a thread's list of images, fetched when it is not
// cached yet (the user asked to see it), decoded off the window's thread and shown in an
// ImageCanvas; GIF and WebP animations play. The arrows step through the list.
class ImageViewerPage : public QWidget {
  Q_OBJECT

 public:
  ImageViewerPage(ImageService& service, std::vector<ImageLink> list, std::size_t at,
                  QWidget* parent = nullptr);
  ~ImageViewerPage() override;

  // Shows image `at` of the list (out of range: nothing).
  void Show(std::size_t at);
  // Shows the image `by` places further on in the list, if there is one.
  void Step(int by);

  const ImageLink& Link() const { return list_[at_]; }
  std::size_t Position() const { return at_; }
  std::size_t Count() const { return list_.size(); }
  ImageCanvas* Canvas() const { return canvas_; }
  // True once the image is on the canvas.
  bool Shown() const { return shown_; }
  // The text shown in the image's place while it loads or after it failed.
  QString Message() const { return message_->text(); }

 signals:
  // The page shows another image (its caption for the tab).
  void CaptionChanged(const QString& caption);

 private:
  void Update();
  void Decoded(const std::string& imageUrl, const ResultWith<DecodedImage>& decoded);
  void ShowMessage(const QString& text);

  ImageService& service_;
  std::vector<ImageLink> list_;
  std::size_t at_ = 0;
  bool decoding_ = false;
  bool shown_ = false;
  QStackedLayout* stack_;
  QLabel* message_;
  ImageCanvas* canvas_;
  std::unique_ptr<QMovie> movie_;
  std::unique_ptr<QBuffer> movieBytes_;
};

}  // namespace velkor
