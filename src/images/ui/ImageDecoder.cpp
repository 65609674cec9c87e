#include "images/ui/ImageDecoder.h"

#include <QBuffer>
#include <QImageReader>
#include <optional>

#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "images/ImageCache.h"

namespace velkor {
namespace {

const char* QtFormat(ImageType type) {
  switch (type) {
    case ImageType::kPng:
      return "png";
    case ImageType::kJpeg:
      return "jpeg";
    case ImageType::kGif:
      return "gif";
    case ImageType::kWebp:
      return "webp";
    case ImageType::kBmp:
      return "bmp";
  }
  return "";
}

const std::string& UndecodableText() {
  static const std::string text = Sjis("エラー:画像を表示できません");
  return text;
}

// The file's bytes once CheckImageBody took them, with what it read.
ResultWith<std::pair<QByteArray, ImageInfo>> CheckedFile(const std::string& path) {
  const std::optional<std::string> bytes = ReadWholeFile(path);
  if (!bytes) return Failed(Sjis("エラー:キャッシュの画像を読めません"));
  if (bytes->size() > kMaxImageBytes) return Failed(Sjis("エラー:画像が20MBを超えています"));
  const ResultWith<ImageInfo, ImageCheck> check = CheckImageBody(*bytes, "", std::nullopt);
  if (!check.IsOk()) return Failed(check.Reason());
  return std::make_pair(QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size())),
                        check.Value());
}

// Decodes `bytes` of `type`, scaled to `size` when it is valid.
ResultWith<QImage> Decode(const QByteArray& bytes, ImageType type, QSize size) {
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, QtFormat(type));
  reader.setAutoTransform(true);
  if (size.isValid()) reader.setScaledSize(size);
  QImage image = reader.read();
  if (image.isNull()) return Failed(UndecodableText());
  return image;
}

}  // namespace

void LimitImageDecoding() {
  QImageReader::setAllocationLimit(kDecodeAllocationMegabytes);
}

QSize ThumbnailSize(QSize size) {
  const int side = static_cast<int>(kMaxThumbnailSide);
  if (size.width() <= side && size.height() <= side) return size;
  return size.scaled(side, side, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

ResultWith<QByteArray> MakeThumbnail(const std::string& path) {
  ResultWith<std::pair<QByteArray, ImageInfo>> file = CheckedFile(path);
  if (!file.IsOk()) return Failed(file.Reason());
  const ImageInfo& info = file.Value().second;
  const QSize size =
      ThumbnailSize(QSize(static_cast<int>(info.width), static_cast<int>(info.height)));
  ResultWith<QImage> image = Decode(file.Value().first, info.type, size);
  if (!image.IsOk()) return Failed(image.Reason());
  QByteArray png;
  QBuffer out(&png);
  out.open(QIODevice::WriteOnly);
  if (!image.Value().save(&out, "png")) return Failed(UndecodableText());
  return png;
}

ResultWith<DecodedImage> DecodeImageFile(const std::string& path) {
  ResultWith<std::pair<QByteArray, ImageInfo>> file = CheckedFile(path);
  if (!file.IsOk()) return Failed(file.Reason());
  DecodedImage decoded;
  decoded.info = file.Value().second;
  ResultWith<QImage> image = Decode(file.Value().first, decoded.info.type, QSize());
  if (!image.IsOk()) return Failed(image.Reason());
  decoded.image = image.Value();
  if (decoded.info.animated) decoded.bytes = file.Value().first;
  return decoded;
}

}  // namespace velkor
