#pragma once

// Decoding cached images with Qt's image reader. Every decode first reads the whole file and checks
// it again with CheckImageBody (type from the magic numbers, size within kMaxImagePixels,
// complete), so nothing is decoded that the header reader refused, whatever happened to the file in
// the cache; and every decode runs under QImageReader's allocation limit. Meant for worker threads:
// nothing here touches a widget.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <string>

#include "base/Result.h"
#include "images/ImageHeader.h"

namespace velkor {

// The most one decode may allocate, in megabytes (2^20 bytes): an image of kMaxImagePixels at 4
// bytes a pixel fits.
inline constexpr int kDecodeAllocationMegabytes = 200;

// Sets QImageReader's process-wide allocation limit to kDecodeAllocationMegabytes.
void LimitImageDecoding();

// The size a thumbnail of an image of `size` has: the image scaled down, keeping its proportions,
// to fit kMaxThumbnailSide × kMaxThumbnailSide (a smaller image keeps its size; no side below 1).
QSize ThumbnailSize(QSize size);

// The thumbnail of the image file at `path` (its first frame): a PNG of ThumbnailSize. The reason
// of a failure is a CP932 text for the image's place.
ResultWith<QByteArray> MakeThumbnail(const std::string& path);

struct DecodedImage {
  ImageInfo info;
  QImage image;      // the whole image (the first frame of an animated one)
  QByteArray bytes;  // the file's bytes when animated (for QMovie), else empty
};

// The whole image file at `path`, decoded.
ResultWith<DecodedImage> DecodeImageFile(const std::string& path);

}  // namespace velkor
