#include "TestImages.h"

namespace velkor::test {

std::string Be32(std::uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
          static_cast<char>(value >> 8), static_cast<char>(value)};
}

std::string Le16(std::uint32_t value) {
  return {static_cast<char>(value), static_cast<char>(value >> 8)};
}

std::string Le32(std::uint32_t value) {
  return Le16(value & 0xFFFF) + Le16(value >> 16);
}

std::string PngChunk(const std::string& type, const std::string& data) {
  return Be32(static_cast<std::uint32_t>(data.size())) + type + data + "CRC!";
}

std::string MakePng(std::uint32_t width, std::uint32_t height, bool animated) {
  std::string png = "\x89PNG\r\n\x1A\n";
  png += PngChunk("IHDR", Be32(width) + Be32(height) + std::string("\x08\x06\x00\x00\x00", 5));
  if (animated) png += PngChunk("acTL", Be32(2) + Be32(0));
  png += PngChunk("IDAT", "compressed pixels");
  png += PngChunk("IEND", "");
  return png;
}

std::string MakeJpeg(std::uint32_t width, std::uint32_t height, unsigned frameMarker) {
  const auto segment = [](unsigned marker, const std::string& data) {
    const auto length = static_cast<std::uint32_t>(data.size() + 2);
    return std::string{'\xFF', static_cast<char>(marker), static_cast<char>(length >> 8),
                       static_cast<char>(length)} +
           data;
  };
  const std::string scan = std::string("\x12\x34\xFF\x00\x56\xFF\xD0\x78\xFF\xFF", 10);
  std::string jpeg = "\xFF\xD8";
  jpeg += segment(0xE0, std::string("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14));
  jpeg += segment(0xE1, std::string("Exif\0\0\xFF\xD8\xFF\xD9", 10));
  jpeg += segment(frameMarker, std::string("\x08", 1) + static_cast<char>(height >> 8) +
                                   static_cast<char>(height) + static_cast<char>(width >> 8) +
                                   static_cast<char>(width) + std::string("\x01\x01\x11\x00", 4));
  jpeg += segment(0xC4, std::string("\x00\x01\x02\x03", 4));
  jpeg += segment(0xDA, std::string("\x01\x01\x00\x00\x3F\x00", 6)) + scan;
  if (frameMarker == 0xC2) {
    jpeg += segment(0xC4, std::string("\x10\x01\x02\x03", 4));
    jpeg += segment(0xDA, std::string("\x01\x01\x00\x01\x3F\x00", 6)) + scan;
  }
  jpeg += "\xFF\xD9";
  return jpeg;
}

std::string MakeGif(std::uint32_t width, std::uint32_t height, int frames, std::uint32_t frameWidth,
                    std::uint32_t frameHeight) {
  if (frameWidth == 0) frameWidth = width;
  if (frameHeight == 0) frameHeight = height;
  std::string gif = "GIF89a" + Le16(width) + Le16(height) + std::string("\x80\x00\x00", 3);
  gif += std::string("\x00\x00\x00\xFF\xFF\xFF", 6);
  for (int i = 0; i < frames; ++i) {
    gif += std::string("\x21\xF9\x04\x00\x0A\x00\x00\x00", 8);
    gif += "\x2C" + Le16(0) + Le16(0) + Le16(frameWidth) + Le16(frameHeight) + std::string(1, '\0');
    gif += std::string("\x02\x03\x44\x01\x00\x00", 6);
  }
  gif += "\x3B";
  return gif;
}

namespace {

std::string Riff(const std::string& fourcc, const std::string& data) {
  std::string chunk = fourcc + Le32(static_cast<std::uint32_t>(data.size())) + data;
  if (data.size() % 2 != 0) chunk += '\0';
  return "RIFF" + Le32(static_cast<std::uint32_t>(chunk.size() + 4)) + "WEBP" + chunk;
}

}  // namespace

std::string MakeWebpLossy(std::uint32_t width, std::uint32_t height) {
  return Riff("VP8 ", std::string("\x10\x02\x00\x9D\x01\x2A", 6) + Le16(width) + Le16(height) +
                          "frame data");
}

std::string MakeWebpLossless(std::uint32_t width, std::uint32_t height) {
  const std::uint32_t bits = (width - 1) | (height - 1) << 14 | 1u << 28;
  return Riff("VP8L", "\x2F" + Le32(bits) + "pixels");
}

std::string MakeWebpExtended(std::uint32_t width, std::uint32_t height, bool animated) {
  const std::string flags(1, animated ? '\x12' : '\x10');
  const std::string canvas = Le32(width - 1).substr(0, 3) + Le32(height - 1).substr(0, 3);
  return Riff("VP8X", flags + std::string(3, '\0') + canvas);
}

std::string MakeBmp(std::int32_t width, std::int32_t height, std::uint32_t compression) {
  const std::uint32_t rows = static_cast<std::uint32_t>(height < 0 ? -height : height);
  const std::uint32_t rowBytes = (static_cast<std::uint32_t>(width) * 24 + 31) / 32 * 4;
  const std::uint32_t pixels = rowBytes * rows;
  std::string bmp = "BM" + Le32(54 + pixels) + Le32(0) + Le32(54);
  bmp += Le32(40) + Le32(static_cast<std::uint32_t>(width)) +
         Le32(static_cast<std::uint32_t>(height)) + Le16(1) + Le16(24) + Le32(compression) +
         Le32(pixels) + Le32(2835) + Le32(2835) + Le32(0) + Le32(0);
  bmp += std::string(pixels, '\x7F');
  return bmp;
}

std::string MakeCoreBmp(std::uint32_t width, std::uint32_t height) {
  const std::uint32_t rowBytes = (width * 24 + 31) / 32 * 4;
  const std::uint32_t pixels = rowBytes * height;
  std::string bmp = "BM" + Le32(26 + pixels) + Le32(0) + Le32(26);
  bmp += Le32(12) + Le16(width) + Le16(height) + Le16(1) + Le16(24);
  bmp += std::string(pixels, '\x7F');
  return bmp;
}

}  // namespace velkor::test
