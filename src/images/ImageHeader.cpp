#include "images/ImageHeader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "base/Sjis.h"

namespace velkor {
namespace {

using HeaderResult = ResultWith<ImageInfo, ImageCheck>;

constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1A\n";
constexpr std::uint32_t kMaxPngSide = 0x7FFFFFFF;
constexpr std::uint32_t kMaxChunkLength = 0x7FFFFFFF;

struct TypeText {
  std::string_view name;     // as the CLI prints it
  std::string_view display;  // as a reason names it
};
constexpr std::array<TypeText, 5> kTypeTexts = {{
    {"png", "PNG"},
    {"jpeg", "JPEG"},
    {"gif", "GIF"},
    {"webp", "WebP"},
    {"bmp", "BMP"},
}};

// Bounded little and big endian reads: callers check Has first.
class Bytes {
 public:
  explicit Bytes(std::string_view data) : data_(data) {}
  std::size_t Size() const { return data_.size(); }
  bool Has(std::size_t pos, std::size_t count) const {
    return pos <= data_.size() && count <= data_.size() - pos;
  }
  std::uint32_t U8(std::size_t pos) const { return static_cast<unsigned char>(data_[pos]); }
  std::uint32_t Be16(std::size_t pos) const { return U8(pos) << 8 | U8(pos + 1); }
  std::uint32_t Be32(std::size_t pos) const { return Be16(pos) << 16 | Be16(pos + 2); }
  std::uint32_t Le16(std::size_t pos) const { return U8(pos) | U8(pos + 1) << 8; }
  std::uint32_t Le24(std::size_t pos) const { return Le16(pos) | U8(pos + 2) << 16; }
  std::uint32_t Le32(std::size_t pos) const { return Le24(pos) | U8(pos + 3) << 24; }
  bool At(std::size_t pos, std::string_view text) const {
    return Has(pos, text.size()) && data_.compare(pos, text.size(), text) == 0;
  }
  std::string_view Data() const { return data_; }

 private:
  std::string_view data_;
};

// True when `data` is `magic` or a beginning of it: more bytes may still make the magic.
bool MayBecome(std::string_view data, std::string_view magic) {
  return data.size() < magic.size() && magic.compare(0, data.size(), data) == 0;
}

// The type whose magic number starts the data; nullopt with `partial` set when the data is too
// short to tell but could still start one.
std::optional<ImageType> TypeOfMagic(std::string_view data, bool& partial) {
  partial = false;
  if (data.starts_with(kPngSignature)) return ImageType::kPng;
  if (data.starts_with("\xFF\xD8\xFF")) return ImageType::kJpeg;
  if (data.starts_with("GIF87a") || data.starts_with("GIF89a")) return ImageType::kGif;
  if (data.size() >= 12 && data.starts_with("RIFF") && data.substr(8, 4) == "WEBP") {
    return ImageType::kWebp;
  }
  if (data.starts_with("BM")) return ImageType::kBmp;
  partial = MayBecome(data, kPngSignature) || MayBecome(data, "\xFF\xD8\xFF") ||
            MayBecome(data, "GIF87a") || MayBecome(data, "GIF89a") ||
            (data.size() < 12 && (data.starts_with("RIFF") || MayBecome(data, "RIFF"))) ||
            MayBecome(data, "BM");
  return std::nullopt;
}

// Markup: "<" after an optional UTF-8 byte order mark and blanks.
bool LooksLikeMarkup(std::string_view data) {
  if (data.starts_with("\xEF\xBB\xBF")) data.remove_prefix(3);
  std::size_t i = 0;
  while (i < data.size() && static_cast<unsigned char>(data[i]) <= 0x20) ++i;
  return i < data.size() && data[i] == '<';
}

const std::string& ReasonOf(ImageCheck code) {
  static const std::array<std::string, 7> reasons = {
      std::string(),
      Sjis("エラー:画像の形式が分かりません"),
      Sjis("エラー:画像ではなくHTMLページが返されました"),
      Sjis("エラー:画像が途中で切れています"),
      Sjis("エラー:画像のヘッダが壊れています"),
      Sjis("エラー:画像が大きすぎます"),
      Sjis("エラー:画像の種類が名乗りと違います"),
  };
  return reasons[static_cast<std::size_t>(code)];
}

HeaderResult Refuse(ImageCheck code) {
  return {code, ReasonOf(code)};
}

HeaderResult TooLarge(std::uint64_t width, std::uint64_t height) {
  static const std::string open = Sjis("エラー:画像が大きすぎます(");
  static const std::string times = Sjis("×");
  static const std::string close = Sjis("、5000万画素まで)");
  return {ImageCheck::kTooLarge,
          open + std::to_string(width) + times + std::to_string(height) + close};
}

bool OverLimit(std::uint64_t width, std::uint64_t height) {
  return width * height > kMaxImagePixels;
}

// PNG: the signature, IHDR first, then chunks. Without `whole` the walk stops at the first IDAT
// (an acTL before it marks an animation) or where the bytes end; with `whole` it goes on to IEND.
ImageCheck ReadPng(const Bytes& b, bool whole, ImageInfo& info) {
  if (!b.Has(0, 16)) return ImageCheck::kTruncated;
  if (b.Be32(8) != 13 || !b.At(12, "IHDR")) return ImageCheck::kBroken;
  if (!b.Has(16, 13)) return ImageCheck::kTruncated;
  info.width = b.Be32(16);
  info.height = b.Be32(20);
  if (info.width == 0 || info.height == 0 || info.width > kMaxPngSide ||
      info.height > kMaxPngSide) {
    return ImageCheck::kBroken;
  }
  bool sawData = false;
  for (std::size_t pos = 33;;) {
    if (!b.Has(pos, 8)) return whole ? ImageCheck::kTruncated : ImageCheck::kOk;
    const std::uint32_t length = b.Be32(pos);
    if (length > kMaxChunkLength) return ImageCheck::kBroken;
    if (b.At(pos + 4, "IDAT")) {
      if (!whole) return ImageCheck::kOk;
      sawData = true;
    } else if (b.At(pos + 4, "acTL") && !sawData) {
      info.animated = true;
    } else if (b.At(pos + 4, "IHDR")) {
      return ImageCheck::kBroken;
    }
    if (!b.Has(pos + 8, std::size_t{length} + 4)) {
      return whole ? ImageCheck::kTruncated : ImageCheck::kOk;
    }
    if (b.At(pos + 4, "IEND")) return sawData ? ImageCheck::kOk : ImageCheck::kBroken;
    pos += 12 + std::size_t{length};
  }
}

bool IsFrameMarker(std::uint32_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// The position of the marker that ends the entropy-coded data starting at `pos` (its 0xFF), or npos
// when the bytes end first. Stuffed bytes (FF 00), restart markers (FF D0-D7) and fill bytes belong
// to the data.
std::size_t EndOfScan(std::string_view data, std::size_t pos) {
  while (pos < data.size()) {
    const void* hit = std::memchr(data.data() + pos, 0xFF, data.size() - pos);
    if (hit == nullptr) return std::string_view::npos;
    pos = static_cast<std::size_t>(static_cast<const char*>(hit) - data.data());
    if (pos + 1 >= data.size()) return std::string_view::npos;
    const auto next = static_cast<unsigned char>(data[pos + 1]);
    if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
      pos += 2;
    } else if (next == 0xFF) {
      ++pos;
    } else {
      return pos;
    }
  }
  return std::string_view::npos;
}

// JPEG: the markers after SOI are walked segment by segment up to the frame header (SOFn); with
// `whole` on through every scan to EOI.
ImageCheck ReadJpeg(const Bytes& b, bool whole, ImageInfo& info) {
  bool haveFrame = false;
  bool haveScan = false;
  std::size_t pos = 2;
  while (true) {
    if (pos >= b.Size()) return ImageCheck::kTruncated;
    if (b.U8(pos) != 0xFF) return ImageCheck::kBroken;
    while (pos < b.Size() && b.U8(pos) == 0xFF) ++pos;
    if (pos >= b.Size()) return ImageCheck::kTruncated;
    const std::uint32_t marker = b.U8(pos++);
    if (marker == 0x00 || marker == 0xD8) return ImageCheck::kBroken;
    if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) continue;
    if (marker == 0xD9) return haveFrame && haveScan ? ImageCheck::kOk : ImageCheck::kBroken;
    if (!b.Has(pos, 2)) return ImageCheck::kTruncated;
    const std::uint32_t length = b.Be16(pos);
    if (length < 2) return ImageCheck::kBroken;
    if (IsFrameMarker(marker)) {
      if (haveFrame || length < 8) return ImageCheck::kBroken;
      if (!b.Has(pos, 8)) return ImageCheck::kTruncated;
      info.height = b.Be16(pos + 3);
      info.width = b.Be16(pos + 5);
      if (info.width == 0 || info.height == 0) return ImageCheck::kBroken;
      haveFrame = true;
      if (!whole) return ImageCheck::kOk;
    } else if (marker == 0xDA && !haveFrame) {
      return ImageCheck::kBroken;
    }
    if (!b.Has(pos, length)) return ImageCheck::kTruncated;
    pos += length;
    if (marker == 0xDA) {
      haveScan = true;
      pos = EndOfScan(b.Data(), pos);
      if (pos == std::string_view::npos) return ImageCheck::kTruncated;
    }
  }
}

// GIF: the logical screen gives the size. The blocks are walked frame by frame: every frame's
// extent counts against the pixel limit (`tooLarge` gets the extent refused). Without `whole` the
// walk stops at the second frame or where the bytes end; with `whole` it goes on to the trailer.
ImageCheck ReadGif(const Bytes& b, bool whole, ImageInfo& info, std::uint64_t (&tooLarge)[2]) {
  if (!b.Has(0, 13)) return ImageCheck::kTruncated;
  info.width = b.Le16(6);
  info.height = b.Le16(8);
  if (info.width == 0 || info.height == 0) return ImageCheck::kBroken;
  const ImageCheck ranOut = whole ? ImageCheck::kTruncated : ImageCheck::kOk;
  std::size_t pos = 13;
  if (b.U8(10) & 0x80) pos += std::size_t{3} << ((b.U8(10) & 7) + 1);
  // Skips a run of sub-blocks; false when the bytes end first.
  const auto skipSubBlocks = [&] {
    while (pos < b.Size()) {
      const std::size_t count = b.U8(pos);
      pos += 1 + count;
      if (count == 0) return true;
    }
    return false;
  };
  int frames = 0;
  while (true) {
    if (pos >= b.Size()) return ranOut;
    const std::uint32_t block = b.U8(pos);
    if (block == 0x3B) return frames > 0 ? ImageCheck::kOk : ImageCheck::kBroken;
    if (block == 0x21) {
      pos += 2;
    } else if (block == 0x2C) {
      if (!b.Has(pos, 10)) return ranOut;
      const std::uint64_t right = std::uint64_t{b.Le16(pos + 1)} + b.Le16(pos + 5);
      const std::uint64_t bottom = std::uint64_t{b.Le16(pos + 3)} + b.Le16(pos + 7);
      const std::uint64_t width = std::max<std::uint64_t>(info.width, right);
      const std::uint64_t height = std::max<std::uint64_t>(info.height, bottom);
      if (OverLimit(width, height)) {
        tooLarge[0] = width;
        tooLarge[1] = height;
        return ImageCheck::kTooLarge;
      }
      if (++frames == 2) {
        info.animated = true;
        if (!whole) return ImageCheck::kOk;
      }
      const std::uint32_t flags = b.U8(pos + 9);
      pos += 10;
      if (flags & 0x80) pos += std::size_t{3} << ((flags & 7) + 1);
      ++pos;  // the LZW minimum code size
    } else {
      return ImageCheck::kBroken;
    }
    if (!skipSubBlocks()) return ranOut;
  }
}

// WebP: the first chunk of the RIFF form is VP8 (lossy), VP8L (lossless) or VP8X (extended, with
// the canvas size and the animation flag). `whole` also checks that the RIFF form is all there.
ImageCheck ReadWebp(const Bytes& b, bool whole, ImageInfo& info) {
  if (!b.Has(12, 8)) return ImageCheck::kTruncated;
  const std::uint32_t chunkLength = b.Le32(16);
  std::uint32_t needed = 0;
  if (b.At(12, "VP8 ")) {
    needed = 10;
    if (!b.Has(20, needed)) return ImageCheck::kTruncated;
    if ((b.U8(20) & 1) != 0 || !b.At(23, "\x9D\x01\x2A")) return ImageCheck::kBroken;
    info.width = b.Le16(26) & 0x3FFF;
    info.height = b.Le16(28) & 0x3FFF;
  } else if (b.At(12, "VP8L")) {
    needed = 5;
    if (!b.Has(20, needed)) return ImageCheck::kTruncated;
    const std::uint32_t bits = b.Le32(21);
    if (b.U8(20) != 0x2F || (bits >> 29) != 0) return ImageCheck::kBroken;
    info.width = (bits & 0x3FFF) + 1;
    info.height = ((bits >> 14) & 0x3FFF) + 1;
  } else if (b.At(12, "VP8X")) {
    needed = 10;
    if (!b.Has(20, needed)) return ImageCheck::kTruncated;
    info.animated = (b.U8(20) & 0x02) != 0;
    info.width = b.Le24(24) + 1;
    info.height = b.Le24(27) + 1;
  } else {
    return ImageCheck::kBroken;
  }
  if (info.width == 0 || info.height == 0 || chunkLength < needed) return ImageCheck::kBroken;
  if (!whole) return ImageCheck::kOk;
  const std::uint64_t riffEnd = std::uint64_t{b.Le32(4)} + 8;
  if (riffEnd < 20 + std::uint64_t{chunkLength}) return ImageCheck::kBroken;
  return riffEnd <= b.Size() ? ImageCheck::kOk : ImageCheck::kTruncated;
}

// What CheckBmpData needs besides the size.
struct BmpLayout {
  std::uint32_t dataOffset = 0;
  std::uint32_t headerEnd = 0;
  std::uint32_t bitsPerPixel = 0;
  std::uint32_t compression = 0;
  std::uint32_t imageSize = 0;
};

// BMP: the file header and the core (12 bytes) or info header (40 bytes and its later versions).
ImageCheck ReadBmp(const Bytes& b, ImageInfo& info, BmpLayout& layout) {
  if (!b.Has(0, 18)) return ImageCheck::kTruncated;
  layout.dataOffset = b.Le32(10);
  const std::uint32_t headerSize = b.Le32(14);
  layout.headerEnd = 14 + std::min<std::uint32_t>(headerSize, 0xFFFF);
  std::uint32_t planes = 0;
  bool topDown = false;
  if (headerSize == 12) {
    if (!b.Has(0, 26)) return ImageCheck::kTruncated;
    info.width = b.Le16(18);
    info.height = b.Le16(20);
    planes = b.Le16(22);
    layout.bitsPerPixel = b.Le16(24);
  } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 ||
             headerSize == 124) {
    if (!b.Has(0, 38)) return ImageCheck::kTruncated;
    const auto width = static_cast<std::int32_t>(b.Le32(18));
    const auto height = static_cast<std::int32_t>(b.Le32(22));
    if (width <= 0 || height == 0 || height == INT32_MIN) return ImageCheck::kBroken;
    topDown = height < 0;
    info.width = static_cast<std::uint32_t>(width);
    info.height = static_cast<std::uint32_t>(topDown ? -height : height);
    planes = b.Le16(26);
    layout.bitsPerPixel = b.Le16(28);
    layout.compression = b.Le32(30);
    layout.imageSize = b.Le32(34);
  } else {
    return ImageCheck::kUnknownType;
  }
  const std::uint32_t bits = layout.bitsPerPixel;
  if (info.width == 0 || info.height == 0 || planes != 1) return ImageCheck::kBroken;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    return ImageCheck::kBroken;
  }
  switch (layout.compression) {
    case 0:  // uncompressed
      return ImageCheck::kOk;
    case 1:  // RLE8
    case 2:  // RLE4
      return bits == (layout.compression == 1 ? 8u : 4u) && !topDown ? ImageCheck::kOk
                                                                     : ImageCheck::kBroken;
    case 3:  // bit fields
    case 6:  // bit fields with alpha
      return bits == 16 || bits == 32 ? ImageCheck::kOk : ImageCheck::kBroken;
    case 4:  // a JPEG or PNG inside: for printers, not for readers
    case 5:
      return ImageCheck::kUnknownType;
    default:
      return ImageCheck::kBroken;
  }
}

// The pixel data of a BMP whose size passed the pixel limit lies within the file.
ImageCheck CheckBmpData(const Bytes& b, const ImageInfo& info, const BmpLayout& layout) {
  if (layout.dataOffset < layout.headerEnd) return ImageCheck::kBroken;
  if (layout.dataOffset > b.Size()) return ImageCheck::kTruncated;
  const std::uint64_t available = b.Size() - layout.dataOffset;
  std::uint64_t needed = layout.imageSize;
  if (layout.compression != 1 && layout.compression != 2) {
    const std::uint64_t rowBytes = (std::uint64_t{info.width} * layout.bitsPerPixel + 31) / 32 * 4;
    needed = rowBytes * info.height;
  }
  return needed <= available ? ImageCheck::kOk : ImageCheck::kTruncated;
}

HeaderResult Read(std::string_view data, bool whole) {
  bool partial = false;
  const std::optional<ImageType> type = TypeOfMagic(data, partial);
  if (!type) {
    if (partial) return Refuse(ImageCheck::kTruncated);
    return Refuse(LooksLikeMarkup(data) ? ImageCheck::kHtml : ImageCheck::kUnknownType);
  }
  const Bytes b(data);
  ImageInfo info;
  info.type = *type;
  std::uint64_t frameTooLarge[2] = {0, 0};
  BmpLayout bmp;
  ImageCheck code = ImageCheck::kOk;
  switch (*type) {
    case ImageType::kPng:
      code = ReadPng(b, whole, info);
      break;
    case ImageType::kJpeg:
      code = ReadJpeg(b, whole, info);
      break;
    case ImageType::kGif:
      code = ReadGif(b, whole, info, frameTooLarge);
      if (code == ImageCheck::kTooLarge) return TooLarge(frameTooLarge[0], frameTooLarge[1]);
      break;
    case ImageType::kWebp:
      code = ReadWebp(b, whole, info);
      break;
    case ImageType::kBmp:
      code = ReadBmp(b, info, bmp);
      break;
  }
  // A size read before the walk failed further on still decides: the limit is the first refusal.
  if (info.width != 0 && info.height != 0 && OverLimit(info.width, info.height) &&
      code != ImageCheck::kBroken && code != ImageCheck::kUnknownType) {
    return TooLarge(info.width, info.height);
  }
  if (code == ImageCheck::kOk && whole && *type == ImageType::kBmp)
    code = CheckBmpData(b, info, bmp);
  if (code != ImageCheck::kOk) return Refuse(code);
  return info;
}

std::string_view DisplayName(ImageType type) {
  return kTypeTexts[static_cast<std::size_t>(type)].display;
}

HeaderResult Mismatch(ImageType actual, std::string_view claimed, bool byName) {
  static const std::string content = Sjis("エラー:中身は");
  static const std::string but = Sjis("なのに、");
  static const std::string sent = Sjis("として送られました");
  static const std::string named = Sjis("名前は");
  static const std::string namedEnd = Sjis("です");
  static const std::string notImage = Sjis("画像以外");
  std::string reason = content + std::string(DisplayName(actual)) + but;
  if (byName) {
    reason += named + std::string(claimed) + namedEnd;
  } else {
    reason += (claimed.empty() ? notImage : std::string(claimed)) + sent;
  }
  return {ImageCheck::kMismatch, reason};
}

// The media type of a Content-Type value: before any ";", blanks trimmed, lower case.
std::string MediaType(std::string_view contentType) {
  return AsciiLowerCopy(TrimView(contentType.substr(0, contentType.find(';'))));
}

}  // namespace

std::string_view ImageTypeName(ImageType type) {
  return kTypeTexts[static_cast<std::size_t>(type)].name;
}

std::optional<ImageType> ParseImageTypeName(std::string_view name) {
  for (std::size_t i = 0; i < kTypeTexts.size(); ++i) {
    if (kTypeTexts[i].name == name) return static_cast<ImageType>(i);
  }
  return std::nullopt;
}

std::optional<ImageType> ImageTypeOfContentType(std::string_view contentType) {
  const std::string media = MediaType(contentType);
  if (media == "image/png") return ImageType::kPng;
  if (media == "image/jpeg" || media == "image/jpg" || media == "image/pjpeg") {
    return ImageType::kJpeg;
  }
  if (media == "image/gif") return ImageType::kGif;
  if (media == "image/webp") return ImageType::kWebp;
  if (media == "image/bmp" || media == "image/x-ms-bmp" || media == "image/x-bmp") {
    return ImageType::kBmp;
  }
  return std::nullopt;
}

ResultWith<ImageInfo, ImageCheck> ReadImageHeader(std::string_view head) {
  return Read(head, false);
}

ResultWith<ImageInfo, ImageCheck> CheckImageBody(std::string_view body,
                                                 std::string_view contentType,
                                                 std::optional<ImageType> nameType) {
  const std::string media = MediaType(contentType);
  HeaderResult result = Read(body, true);
  if (result.Code() == ImageCheck::kUnknownType && media == "text/html") {
    return Refuse(ImageCheck::kHtml);
  }
  if (!result.IsOk()) return result;
  const ImageType type = result.Value().type;
  if (!media.empty() && media != "application/octet-stream" && media != "binary/octet-stream") {
    const std::optional<ImageType> declared = ImageTypeOfContentType(media);
    if (declared != type) {
      return Mismatch(type, declared ? DisplayName(*declared) : std::string_view(), false);
    }
  }
  if (nameType && *nameType != type) return Mismatch(type, DisplayName(*nameType), true);
  return result;
}

}  // namespace velkor
