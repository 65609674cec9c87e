// Image decoding as the window does it (images/ui/ImageDecoder.h), off any widget:
//
// - ImageThumbnail/<format>: the thumbnail (at most 200×200, PNG) of a 12-megapixel image
//   (4000×3000) stored as a file, from reading the file (and checking it again) to the PNG made.
//   The image is a photograph-like pattern (gradients, stripes and noise), so the encoder cannot
//   make it trivially small: a JPEG of quality 90 (5.4 MB). (As PNG the same pixels take more than
//   20 MB, which the cache refuses.)
// - ImageDecodeWhole/<format>: the whole image decoded, as the viewer does.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QImage>
#include <cstdint>
#include <string>

#include "GuiBenchSupport.h"
#include "ScratchDir.h"
#include "base/FileUtil.h"
#include "images/ui/ImageDecoder.h"

namespace velkor {
namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

std::string scratchRoot;

// Writes the 12-megapixel test image in `format` once; its path.
const std::string& ImageFile(const char* format) {
  static std::string path;
  if (!path.empty()) return path;
  const QImage image = bench::PhotoLikeImage(kWidth, kHeight);
  path = scratchRoot + "/photo." + format;
  image.save(QString::fromStdString(path), format, 90);
  return path;
}

void BM_ImageThumbnail(benchmark::State& state, const char* format) {
  const std::string& path = ImageFile(format);
  for (auto _ : state) {
    ResultWith<QByteArray> thumbnail = MakeThumbnail(path);
    if (!thumbnail.IsOk()) {
      state.SkipWithError("no thumbnail");
      break;
    }
    benchmark::DoNotOptimize(thumbnail.Value().data());
  }
  state.counters["file_mb"] =
      static_cast<double>(ReadWholeFile(path).value_or("").size()) / (1 << 20);
}

void BM_ImageDecodeWhole(benchmark::State& state, const char* format) {
  const std::string& path = ImageFile(format);
  for (auto _ : state) {
    ResultWith<DecodedImage> decoded = DecodeImageFile(path);
    if (!decoded.IsOk()) {
      state.SkipWithError("not decoded");
      break;
    }
    benchmark::DoNotOptimize(decoded.Value().image.constBits());
  }
}

}  // namespace
}  // namespace velkor

int main(int argc, char* argv[]) {
  using namespace velkor;
  const bench::ScratchDir scratch("velkor-image-bench-");
  if (scratch.Path().empty()) return 1;
  scratchRoot = scratch.Path();
  int qtArgc = 1;
  QCoreApplication app(qtArgc, argv);
  LimitImageDecoding();
  for (const char* format : {"jpeg"}) {
    benchmark::RegisterBenchmark((std::string("ImageThumbnail/") + format).c_str(),
                                 BM_ImageThumbnail, format)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("ImageDecodeWhole/") + format).c_str(),
                                 BM_ImageDecodeWhole, format)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
