#include "images/ui/ImageViewerPage.h"

#include <QStackedLayout>

#include "gui/GuiText.h"
#include "images/ui/ImageCanvas.h"
#include "images/ui/ImageService.h"

namespace velkor {
namespace {

QString Latin(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

const char* MovieFormat(ImageType type) {
  return type == ImageType::kWebp ? "webp" : type == ImageType::kPng ? "png" : "gif";
}

}  // namespace

ImageViewerPage::ImageViewerPage(ImageService& service, std::vector<ImageLink> list, std::size_t at,
                                 QWidget* parent)
    : QWidget(parent),
      service_(service),
      list_(std::move(list)),
      stack_(new QStackedLayout(this)),
      message_(new QLabel(this)),
      canvas_(new ImageCanvas(this)) {
  setObjectName(QStringLiteral("imageViewerPage"));
  message_->setObjectName(QStringLiteral("imageMessage"));
  message_->setAlignment(Qt::AlignCenter);
  message_->setWordWrap(true);
  stack_->addWidget(message_);
  stack_->addWidget(canvas_);
  connect(&service_, &ImageService::ImageChanged, this, [this](const QString& imageUrl) {
    if (imageUrl == Latin(Link().imageUrl)) Update();
  });
  Show(at);
}

ImageViewerPage::~ImageViewerPage() = default;

void ImageViewerPage::Show(std::size_t at) {
  if (at >= list_.size()) return;
  at_ = at;
  decoding_ = false;
  shown_ = false;
  movie_.reset();
  movieBytes_.reset();
  canvas_->SetImage(QImage());
  emit CaptionChanged(Latin(Link().imageUrl));
  service_.Request(Link(), ImageLoader::Mode::kFetch);
  Update();
}

void ImageViewerPage::Step(int by) {
  const long long next = static_cast<long long>(at_) + by;
  if (next >= 0 && next < static_cast<long long>(list_.size())) {
    Show(static_cast<std::size_t>(next));
  }
}

void ImageViewerPage::ShowMessage(const QString& text) {
  message_->setText(text);
  stack_->setCurrentWidget(message_);
}

void ImageViewerPage::Update() {
  if (shown_ || decoding_) return;
  const ImageService::Image& image = service_.Find(Link().imageUrl);
  switch (image.state) {
    case ImageService::Image::kFailed:
      ShowMessage(FromSjis(image.reason));
      return;
    case ImageService::Image::kReady: {
      decoding_ = true;
      ShowMessage(QString::fromUtf8("画像を表示しています..."));
      const std::string imageUrl = Link().imageUrl;
      service_.DecodeWhole(imageUrl, this,
                           [this, imageUrl](const ResultWith<DecodedImage>& decoded) {
                             Decoded(imageUrl, decoded);
                           });
      return;
    }
    default:
      ShowMessage(QString::fromUtf8("画像を読み込んでいます..."));
      return;
  }
}

void ImageViewerPage::Decoded(const std::string& imageUrl,
                              const ResultWith<DecodedImage>& decoded) {
  if (imageUrl != Link().imageUrl || !decoding_) return;
  decoding_ = false;
  if (!decoded.IsOk()) {
    ShowMessage(FromSjis(decoded.Reason()));
    return;
  }
  shown_ = true;
  stack_->setCurrentWidget(canvas_);
  if (decoded.Value().bytes.isEmpty()) {
    canvas_->SetImage(decoded.Value().image);
    return;
  }
  // An animation: its frames come from the bytes already checked, one at a time.
  movieBytes_ = std::make_unique<QBuffer>();
  movieBytes_->setData(decoded.Value().bytes);
  movieBytes_->open(QIODevice::ReadOnly);
  movie_ = std::make_unique<QMovie>(movieBytes_.get(), MovieFormat(decoded.Value().info.type));
  canvas_->SetMovie(movie_.get());
}

}  // namespace velkor
