#pragma once

// The type and size of an image, read from its bytes without decoding anything. The type comes from
// the magic numbers only, never from a name or a Content-Type: those are compared with it and a
// disagreement refuses the image. Every reader here is bounded by the bytes it is given and never
// reads past them, whatever they hold (docs/images.md).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/Result.h"

namespace velkor {

enum class ImageType { kPng, kJpeg, kGif, kWebp, kBmp };

// Images above this many pixels (width × height) are refused before any decoding.
inline constexpr std::uint64_t kMaxImagePixels = 50'000'000;

// "png", "jpeg", "gif", "webp", "bmp": the names the CLI prints and the cache index keeps; and
// back (nullopt for any other text).
std::string_view ImageTypeName(ImageType type);
std::optional<ImageType> ParseImageTypeName(std::string_view name);

// The type a Content-Type value names ("image/jpeg; charset=x", letter case ignored; "image/jpg",
// "image/pjpeg", "image/x-ms-bmp" and "image/x-bmp" are the usual aliases), or nullopt.
std::optional<ImageType> ImageTypeOfContentType(std::string_view contentType);

struct ImageInfo {
  ImageType type = ImageType::kPng;
  std::uint32_t width = 0;   // at least 1
  std::uint32_t height = 0;  // at least 1; width × height <= kMaxImagePixels
  // An animated GIF (a second frame), animated PNG (acTL) or WebP (animation flag). From
  // ReadImageHeader only as far as the given bytes show it.
  bool animated = false;
};

enum class ImageCheck {
  kOk,
  kUnknownType,  // no magic number of the five types (or a BMP compression no reader here knows)
  kHtml,         // markup ("<" after blanks), or no image and a text/html Content-Type
  kTruncated,    // the bytes end before the header does (ReadImageHeader: more bytes may help),
                 // or before the image data does (CheckImageBody)
  kBroken,       // the header contradicts itself: zero sizes, a chunk or segment out of order
  kTooLarge,     // more than kMaxImagePixels
  kMismatch,     // the bytes are of one type, the Content-Type or the name claims another
};

// Reads the type, width and height from the start of a file (`head` may be a prefix of it).
// kTruncated when the header lies past `head`'s end. JPEG markers are walked up to the frame header
// (SOFn); PNG needs IHDR, GIF its logical screen (and each frame seen must fit kMaxImagePixels
// too), WebP its VP8, VP8L or VP8X header, BMP its info header. The reason of a failure is a CP932
// text for the image's place on the page ("エラー:..."), naming the size for kTooLarge.
ResultWith<ImageInfo, ImageCheck> ReadImageHeader(std::string_view head);

// Checks a whole fetched body before it is stored or decoded: ReadImageHeader, then that the file
// is complete (PNG chunks up to IEND, JPEG segments and scans up to EOI, GIF blocks up to the
// trailer, the WebP RIFF size, BMP pixel data), then that the type agrees with `contentType`
// (empty, "application/octet-stream" and "binary/octet-stream" claim nothing; any other value must
// name the same image type) and with `nameType` (the type a URL's file name claims, nullopt for
// none). Bytes after a complete image are allowed. Linear in the body's size.
ResultWith<ImageInfo, ImageCheck> CheckImageBody(std::string_view body,
                                                 std::string_view contentType,
                                                 std::optional<ImageType> nameType);

}  // namespace velkor
