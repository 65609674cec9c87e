#pragma once

// Small hand-made image files for the image tests: just the bytes each format's header and
// structure need (no valid compressed data or checksums; nothing here is ever decoded).

#include <cstdint>
#include <string>

namespace velkor::test {

std::string Be32(std::uint32_t value);
std::string Le16(std::uint32_t value);
std::string Le32(std::uint32_t value);

// A PNG: signature, IHDR, an acTL when `animated`, one IDAT, IEND.
std::string MakePng(std::uint32_t width, std::uint32_t height, bool animated = false);
// One PNG chunk: length, type, data, a dummy CRC.
std::string PngChunk(const std::string& type, const std::string& data);

// A baseline JPEG: SOI, APP0, an APP1 whose data holds FF D9, SOF0, DHT, SOS, scan data with a
// stuffed byte, a restart marker and fill bytes, EOI. `frameMarker` 0xC2 makes the frame
// progressive, with a second scan.
std::string MakeJpeg(std::uint32_t width, std::uint32_t height, unsigned frameMarker = 0xC0);

// A GIF89a: logical screen with a two-colour table, `frames` image descriptors (each with a
// graphic control extension), trailer. Frames cover the screen unless `frameWidth`/`frameHeight`
// are given.
std::string MakeGif(std::uint32_t width, std::uint32_t height, int frames = 1,
                    std::uint32_t frameWidth = 0, std::uint32_t frameHeight = 0);

// WebP in its three forms: lossy (VP8), lossless (VP8L) and extended (VP8X, with the animation flag
// when `animated`).
std::string MakeWebpLossy(std::uint32_t width, std::uint32_t height);
std::string MakeWebpLossless(std::uint32_t width, std::uint32_t height);
std::string MakeWebpExtended(std::uint32_t width, std::uint32_t height, bool animated);

// An uncompressed 24-bit BMP with a 40-byte info header; a negative height stores it top-down.
std::string MakeBmp(std::int32_t width, std::int32_t height, std::uint32_t compression = 0);
// A BMP with the 12-byte core header.
std::string MakeCoreBmp(std::uint32_t width, std::uint32_t height);

}  // namespace velkor::test
