// The image header reader on any bytes. Input: the whole input is the file. Oracles: no read past
// the input (ASan: libFuzzer hands over a buffer of exactly the input's size); an accepted image
// has sides of at least 1 and at most kMaxImagePixels pixels, and a type that agrees with its
// magic number; a whole body accepted is also accepted header-first with the same type and size,
// and stays accepted, unchanged, with bytes after it; claims that agree with the bytes change
// nothing, and a claim of another type is always refused.

#include <cstdint>
#include <optional>
#include <string>

#include "FuzzSupport.h"
#include "images/ImageHeader.h"

namespace {

using velkor::ImageInfo;
using velkor::ImageType;

bool MagicAgrees(std::string_view data, ImageType type) {
  switch (type) {
    case ImageType::kPng:
      return data.starts_with("\x89PNG\r\n\x1A\n");
    case ImageType::kJpeg:
      return data.starts_with("\xFF\xD8\xFF");
    case ImageType::kGif:
      return data.starts_with("GIF87a") || data.starts_with("GIF89a");
    case ImageType::kWebp:
      return data.starts_with("RIFF") && data.size() >= 12 && data.substr(8, 4) == "WEBP";
    case ImageType::kBmp:
      return data.starts_with("BM");
  }
  return false;
}

void CheckAccepted(std::string_view data, const ImageInfo& info, std::string_view what) {
  FUZZ_CHECK(info.width >= 1 && info.height >= 1, "an accepted image has a zero side", what);
  FUZZ_CHECK(std::uint64_t{info.width} * info.height <= velkor::kMaxImagePixels,
             "an image over the pixel limit was accepted", what);
  FUZZ_CHECK(MagicAgrees(data, info.type), "the type disagrees with the magic number", what);
}

bool SameImage(const ImageInfo& a, const ImageInfo& b) {
  return a.type == b.type && a.width == b.width && a.height == b.height;
}

constexpr const char* kContentTypes[] = {"image/png", "image/jpeg", "image/gif", "image/webp",
                                         "image/bmp"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velkor;
  if (size > 64 * 1024) return 0;
  const std::string_view bytes = fuzz::AsText(data, size);

  const auto header = ReadImageHeader(bytes);
  if (header.IsOk()) CheckAccepted(bytes, header.Value(), "header");
  const auto body = CheckImageBody(bytes, "", std::nullopt);
  if (!body.IsOk()) {
    FUZZ_CHECK(!body.Reason().empty(), "a refusal without a reason", "body");
    return 0;
  }
  CheckAccepted(bytes, body.Value(), "body");
  FUZZ_CHECK(header.IsOk() && SameImage(header.Value(), body.Value()),
             "a whole image whose header alone is refused or reads otherwise", "body");

  const std::string longer = std::string(bytes) + std::string(bytes.substr(0, size % 17));
  const auto extended = CheckImageBody(longer, "", std::nullopt);
  FUZZ_CHECK(extended.IsOk() && SameImage(extended.Value(), body.Value()),
             "bytes after a whole image change the verdict", "trailing bytes");

  for (std::size_t i = 0; i < std::size(kContentTypes); ++i) {
    const auto claimed = static_cast<ImageType>(i);
    const auto checked = CheckImageBody(bytes, kContentTypes[i], claimed);
    if (claimed == body.Value().type) {
      FUZZ_CHECK(checked.IsOk() && SameImage(checked.Value(), body.Value()),
                 "a claim that agrees changes the verdict", kContentTypes[i]);
    } else {
      FUZZ_CHECK(checked.Code() == ImageCheck::kMismatch, "a false claim was not refused",
                 kContentTypes[i]);
    }
  }
  return 0;
}
