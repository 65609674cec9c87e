#include "images/ImageHeader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "TestImages.h"
#include "base/FileUtil.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::MakeBmp;
using test::MakeGif;
using test::MakeJpeg;
using test::MakePng;
using test::S;

std::string Cut(const std::string& bytes, std::size_t keep) {
  return bytes.substr(0, keep);
}

// A PNG whose first chunk after the signature is not IHDR.
std::string PngWithoutIhdr() {
  std::string png = MakePng(4, 4);
  png.replace(12, 4, "gAMA");
  return png;
}

// A JPEG whose frame header (SOF0) is replaced by an unused APP segment, so the scan comes first.
std::string JpegScanBeforeFrame() {
  std::string jpeg = MakeJpeg(8, 8);
  jpeg[jpeg.find("\xFF\xC0") + 1] = '\xE2';
  return jpeg;
}

struct HeaderCase {
  const char* name;
  std::string bytes;
  ImageCheck header;  // ReadImageHeader
  ImageCheck body;    // CheckImageBody without a Content-Type or name
  ImageType type = ImageType::kPng;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool animated = false;
};

void PrintTo(const HeaderCase& c, std::ostream* os) {
  *os << c.name;
}

class ImageHeaderTest : public testing::TestWithParam<HeaderCase> {};

TEST_P(ImageHeaderTest, ReadsTypeAndSizeOrRefuses) {
  const HeaderCase& c = GetParam();
  const auto header = ReadImageHeader(c.bytes);
  EXPECT_EQ(header.Code(), c.header) << header.Reason();
  const auto body = CheckImageBody(c.bytes, "", std::nullopt);
  EXPECT_EQ(body.Code(), c.body) << body.Reason();
  for (const auto* result : {&header, &body}) {
    if (!result->IsOk()) {
      EXPECT_EQ(result->Reason().rfind(S("エラー:"), 0), 0u) << result->Reason();
      continue;
    }
    EXPECT_EQ(result->Value().type, c.type);
    EXPECT_EQ(result->Value().width, c.width);
    EXPECT_EQ(result->Value().height, c.height);
    EXPECT_EQ(result->Value().animated, c.animated);
  }
}

constexpr ImageCheck kOk = ImageCheck::kOk;
constexpr ImageCheck kTruncated = ImageCheck::kTruncated;
constexpr ImageCheck kBroken = ImageCheck::kBroken;
constexpr ImageCheck kTooLarge = ImageCheck::kTooLarge;
constexpr ImageCheck kUnknown = ImageCheck::kUnknownType;

INSTANTIATE_TEST_SUITE_P(
    Files, ImageHeaderTest,
    testing::Values(
        HeaderCase{"Png", MakePng(640, 480), kOk, kOk, ImageType::kPng, 640, 480},
        HeaderCase{"AnimatedPng", MakePng(3, 2, true), kOk, kOk, ImageType::kPng, 3, 2, true},
        HeaderCase{"Jpeg", MakeJpeg(1024, 768), kOk, kOk, ImageType::kJpeg, 1024, 768},
        HeaderCase{"ProgressiveJpeg", MakeJpeg(300, 200, 0xC2), kOk, kOk, ImageType::kJpeg, 300,
                   200},
        HeaderCase{"Gif", MakeGif(16, 9), kOk, kOk, ImageType::kGif, 16, 9},
        HeaderCase{"AnimatedGif", MakeGif(16, 9, 3), kOk, kOk, ImageType::kGif, 16, 9, true},
        HeaderCase{"WebpLossy", test::MakeWebpLossy(320, 240), kOk, kOk, ImageType::kWebp, 320,
                   240},
        HeaderCase{"WebpLossless", test::MakeWebpLossless(5, 16384), kOk, kOk, ImageType::kWebp, 5,
                   16384},
        HeaderCase{"WebpAnimated", test::MakeWebpExtended(400, 300, true), kOk, kOk,
                   ImageType::kWebp, 400, 300, true},
        HeaderCase{"Bmp", MakeBmp(7, 3), kOk, kOk, ImageType::kBmp, 7, 3},
        HeaderCase{"TopDownBmp", MakeBmp(7, -3), kOk, kOk, ImageType::kBmp, 7, 3},
        HeaderCase{"CoreBmp", test::MakeCoreBmp(9, 2), kOk, kOk, ImageType::kBmp, 9, 2},
        // Refused before any type is known.
        HeaderCase{"Empty", "", kTruncated, kTruncated},
        HeaderCase{"PartOfAMagic", "\x89PN", kTruncated, kTruncated},
        HeaderCase{"Html", "<!DOCTYPE html><html><body>404</body></html>", ImageCheck::kHtml,
                   ImageCheck::kHtml},
        HeaderCase{"HtmlAfterBomAndBlanks", "\xEF\xBB\xBF \r\n<html>", ImageCheck::kHtml,
                   ImageCheck::kHtml},
        HeaderCase{"Text", "Not Found", kUnknown, kUnknown},
        HeaderCase{"RiffOfSound", std::string("RIFF\x24\0\0\0WAVEfmt ", 16), kUnknown, kUnknown},
        HeaderCase{"BmpHoldingAJpeg", MakeBmp(4, 4, 4), kUnknown, kUnknown},
        // Decompression bombs: refused from the header, also when the rest never came.
        HeaderCase{"PngOf100000Squared", MakePng(100000, 100000), kTooLarge, kTooLarge},
        HeaderCase{"PngOf100000SquaredCut", Cut(MakePng(100000, 100000), 33), kTooLarge, kTooLarge},
        HeaderCase{"JpegOver50Megapixels", MakeJpeg(8000, 6251), kTooLarge, kTooLarge},
        HeaderCase{"JpegOf50Megapixels", MakeJpeg(8000, 6250), kOk, kOk, ImageType::kJpeg, 8000,
                   6250},
        HeaderCase{"GifFrameBeyondItsScreen", MakeGif(10, 10, 1, 10000, 6000), kTooLarge,
                   kTooLarge},
        HeaderCase{"WebpCanvasTooLarge", test::MakeWebpExtended(10000, 10000, false), kTooLarge,
                   kTooLarge},
        HeaderCase{"BmpTooLarge",
                   MakeBmp(1, 1).replace(18, 8, test::Le32(20000) + test::Le32(3000)), kTooLarge,
                   kTooLarge},
        // Cut files: the header may be whole, the image is not.
        HeaderCase{"PngWithoutIend", Cut(MakePng(4, 4), MakePng(4, 4).size() - 12), kOk, kTruncated,
                   ImageType::kPng, 4, 4},
        HeaderCase{"PngCutInIhdr", Cut(MakePng(4, 4), 20), kTruncated, kTruncated},
        HeaderCase{"JpegCutInScan", Cut(MakeJpeg(8, 8), MakeJpeg(8, 8).size() - 5), kOk, kTruncated,
                   ImageType::kJpeg, 8, 8},
        HeaderCase{"JpegCutBeforeFrame", Cut(MakeJpeg(8, 8), 30), kTruncated, kTruncated},
        HeaderCase{"GifWithoutTrailer", Cut(MakeGif(4, 4), MakeGif(4, 4).size() - 1), kOk,
                   kTruncated, ImageType::kGif, 4, 4},
        HeaderCase{"WebpCut", Cut(test::MakeWebpLossy(8, 8), 30), kOk, kTruncated, ImageType::kWebp,
                   8, 8},
        HeaderCase{"BmpPixelsCut", Cut(MakeBmp(8, 8), 100), kOk, kTruncated, ImageType::kBmp, 8, 8},
        // Headers that contradict themselves.
        HeaderCase{"PngFirstChunkNotIhdr", PngWithoutIhdr(), kBroken, kBroken},
        HeaderCase{"PngZeroWidth", MakePng(0, 4), kBroken, kBroken},
        HeaderCase{"JpegScanBeforeFrame", JpegScanBeforeFrame(), kBroken, kBroken},
        HeaderCase{"JpegZeroHeight", MakeJpeg(8, 0), kBroken, kBroken},
        HeaderCase{"GifZeroScreen", MakeGif(0, 5), kBroken, kBroken},
        HeaderCase{"GifWithoutFrames", MakeGif(4, 4, 0), kBroken, kBroken},
        HeaderCase{"BmpTwoPlanes", MakeBmp(2, 2).replace(26, 2, test::Le16(2)), kBroken, kBroken}));

// Every good file, cut anywhere before its end: the whole-body check never passes it, and the
// header either needs more bytes or reads what the whole file gives.
TEST(ImageHeaderPrefixTest, NoCutFilePassesAndHeadersNeverChange) {
  for (const std::string& file :
       {MakePng(33, 44, true), MakeJpeg(55, 66, 0xC2), MakeGif(7, 8, 2), test::MakeWebpLossy(9, 10),
        test::MakeWebpLossless(11, 12), test::MakeWebpExtended(13, 14, true), MakeBmp(15, 16),
        test::MakeCoreBmp(3, 3)}) {
    const auto whole = CheckImageBody(file, "", std::nullopt);
    ASSERT_TRUE(whole.IsOk()) << whole.Reason();
    for (std::size_t keep = 0; keep < file.size(); ++keep) {
      const std::string cut = file.substr(0, keep);
      EXPECT_EQ(CheckImageBody(cut, "", std::nullopt).Code(), kTruncated) << file << " " << keep;
      const auto header = ReadImageHeader(cut);
      if (header.IsOk()) {
        EXPECT_EQ(header.Value().type, whole.Value().type);
        EXPECT_EQ(header.Value().width, whole.Value().width);
        EXPECT_EQ(header.Value().height, whole.Value().height);
      } else {
        EXPECT_EQ(header.Code(), kTruncated) << keep;
      }
    }
  }
}

// Files written by real encoders (the fuzz target's seeds): every one is whole and 37×23.
TEST(ImageHeaderEncodedFilesTest, AcceptsWhatEncodersWrite) {
  const std::filesystem::path seeds =
      std::filesystem::path(VELKOR_TEST_SOURCE_DIR) / "../fuzz/corpus/image_header";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(seeds)) {
    const std::optional<std::string> bytes = ReadWholeFile(entry.path().string());
    ASSERT_TRUE(bytes);
    const auto result = CheckImageBody(*bytes, "", std::nullopt);
    ASSERT_TRUE(result.IsOk()) << entry.path() << " " << result.Reason();
    std::string extension = entry.path().extension().string().substr(1);
    if (extension == "jpg") extension = "jpeg";
    EXPECT_EQ(ImageTypeName(result.Value().type), extension) << entry.path();
    EXPECT_EQ(result.Value().width, 37u) << entry.path();
    EXPECT_EQ(result.Value().height, 23u) << entry.path();
    EXPECT_EQ(result.Value().animated, entry.path().filename().string().starts_with("animated"))
        << entry.path();
    ++files;
  }
  EXPECT_GE(files, 9);
}

struct ClaimCase {
  const char* name;
  std::string bytes;
  const char* contentType;
  std::optional<ImageType> nameType;
  ImageCheck code;
  const char* reason;  // UTF-8; empty for success
};

void PrintTo(const ClaimCase& c, std::ostream* os) {
  *os << c.name;
}

class ImageClaimTest : public testing::TestWithParam<ClaimCase> {};

// The type comes from the bytes; a Content-Type or a file name that claims another is refused
// with a reason that names both.
TEST_P(ImageClaimTest, ComparesTheClaimsWithTheBytes) {
  const ClaimCase& c = GetParam();
  const auto result = CheckImageBody(c.bytes, c.contentType, c.nameType);
  EXPECT_EQ(result.Code(), c.code);
  EXPECT_EQ(result.Reason(), S(c.reason));
}

INSTANTIATE_TEST_SUITE_P(
    Claims, ImageClaimTest,
    testing::Values(
        ClaimCase{"Agreeing", MakePng(2, 2), "image/png", ImageType::kPng, kOk, ""},
        ClaimCase{"ParametersAndCase", MakeJpeg(2, 2), " IMAGE/JPG ; q=1", ImageType::kJpeg, kOk,
                  ""},
        ClaimCase{"OctetStreamClaimsNothing", MakeGif(2, 2), "application/octet-stream",
                  std::nullopt, kOk, ""},
        ClaimCase{"ContentTypeLies", MakePng(2, 2), "image/jpeg", std::nullopt,
                  ImageCheck::kMismatch, "エラー:中身はPNGなのに、JPEGとして送られました"},
        ClaimCase{"SentAsAPage", MakePng(2, 2), "text/html; charset=UTF-8", std::nullopt,
                  ImageCheck::kMismatch, "エラー:中身はPNGなのに、画像以外として送られました"},
        ClaimCase{"NameLies", MakeBmp(2, 2), "", ImageType::kWebp, ImageCheck::kMismatch,
                  "エラー:中身はBMPなのに、名前はWebPです"},
        ClaimCase{"HtmlPageNamedJpg", "<html><body>moved</body></html>", "image/jpeg",
                  ImageType::kJpeg, ImageCheck::kHtml,
                  "エラー:画像ではなくHTMLページが返されました"},
        ClaimCase{"TextSentAsHtml", "File not found", "text/html", ImageType::kJpeg,
                  ImageCheck::kHtml, "エラー:画像ではなくHTMLページが返されました"},
        ClaimCase{"HugePngNamesItsSize", MakePng(100000, 100000), "image/png", ImageType::kPng,
                  kTooLarge, "エラー:画像が大きすぎます(100000×100000、5000万画素まで)"}));

}  // namespace
}  // namespace velkor
