#include "demo/DemoImages.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <set>
#include <string>

#include "base/Sjis.h"
#include "demo/DemoNetwork.h"
#include "demo/DemoServer.h"

namespace velkor::demo {
namespace {

constexpr long long kStart = 1796688000;

unsigned Be(std::string_view b, std::size_t at, int n) {
  unsigned v = 0;
  for (int i = 0; i < n; ++i)
    v = v << 8 | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
  return v;
}
unsigned Le(std::string_view b, std::size_t at, int n) {
  unsigned v = 0;
  for (int i = n - 1; i >= 0; --i)
    v = v << 8 | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
  return v;
}

// What a file's own structure says, read the way a decoder walks it.
struct Inspected {
  std::string format;  // "png", "jpeg", "gif", "webp", "bmp", or "" for none of them
  unsigned width = 0;
  unsigned height = 0;
  int frames = 0;
  bool whole = false;  // every length, checksum and end marker is where it belongs
};

Inspected InspectPng(std::string_view b) {
  Inspected png{"png", Be(b, 16, 4), Be(b, 20, 4), 1, false};
  std::string idat;
  for (std::size_t at = 8; at + 12 <= b.size();) {
    std::size_t length = Be(b, at, 4);
    if (at + 12 + length > b.size()) return png;
    std::string_view body = b.substr(at + 4, 4 + length);
    if (crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())) !=
        Be(b, at + 8 + length, 4)) {
      return png;
    }
    if (body.substr(0, 4) == "IDAT") idat += body.substr(4);
    if (body.substr(0, 4) == "IEND") {
      // The pixel rows of 8-bit RGB: a filter byte and three bytes a pixel.
      uLongf expected = (1 + 3 * png.width) * png.height;
      if (expected > (1u << 24)) return png;
      std::string raw(expected + 1, '\0');
      uLongf size = expected + 1;
      png.whole = uncompress(reinterpret_cast<Bytef*>(raw.data()), &size,
                             reinterpret_cast<const Bytef*>(idat.data()), idat.size()) == Z_OK &&
                  size == expected && at + 12 == b.size();
      return png;
    }
    at += 12 + length;
  }
  return png;
}

Inspected InspectJpeg(std::string_view b) {
  Inspected jpeg{"jpeg", 0, 0, 1, false};
  for (std::size_t at = 2; at + 4 <= b.size() && static_cast<unsigned char>(b[at]) == 0xFF;) {
    unsigned marker = static_cast<unsigned char>(b[at + 1]);
    unsigned length = Be(b, at + 2, 2);
    if (marker == 0xC0) {
      jpeg.height = Be(b, at + 5, 2);
      jpeg.width = Be(b, at + 7, 2);
    }
    if (marker == 0xDA) {
      jpeg.whole = b.substr(b.size() - 2) == "\xFF\xD9";
      return jpeg;
    }
    at += 2 + length;
  }
  return jpeg;
}

Inspected InspectGif(std::string_view b) {
  Inspected gif{"gif", Le(b, 6, 2), Le(b, 8, 2), 0, false};
  std::size_t at = 13 + ((b[10] & 0x80) ? 3u << ((b[10] & 7) + 1) : 0u);
  auto skipSubBlocks = [&] {
    while (at < b.size() && b[at] != 0) at += 1 + static_cast<unsigned char>(b[at]);
    ++at;
  };
  while (at < b.size()) {
    if (b[at] == ';') {
      gif.whole = at + 1 == b.size();
      return gif;
    }
    if (b[at] == '!') {
      at += 2;
      skipSubBlocks();
    } else if (b[at] == ',') {
      ++gif.frames;
      at += 10 + ((b[at + 9] & 0x80) ? 3u << ((b[at + 9] & 7) + 1) : 0u) + 1;
      skipSubBlocks();
    } else {
      return gif;
    }
  }
  return gif;
}

Inspected InspectWebp(std::string_view b) {
  Inspected webp{"webp", 0, 0, 0, Le(b, 4, 4) + 8 == b.size()};
  auto vp8l = [&](std::size_t at) {
    // After the signature byte: 14 bits width - 1, 14 bits height - 1.
    unsigned bits = Le(b, at + 1, 4);
    webp.width = (bits & 0x3FFF) + 1;
    webp.height = ((bits >> 14) & 0x3FFF) + 1;
  };
  for (std::size_t at = 12; at + 8 <= b.size();) {
    std::string_view tag = b.substr(at, 4);
    std::size_t length = Le(b, at + 4, 4);
    if (tag == "VP8L") {
      vp8l(at + 8);
      webp.frames = 1;
    } else if (tag == "ANMF") {
      ++webp.frames;
      vp8l(at + 8 + 16 + 8);
      webp.whole =
          webp.whole && b.substr(at + 24, 4) == "VP8L" && Le(b, at + 28, 4) + 16 + 8 <= length;
    }
    at += 8 + length + length % 2;
    if (at > b.size()) webp.whole = false;
  }
  return webp;
}

Inspected Inspect(std::string_view b) {
  if (b.substr(0, 8) == "\x89PNG\r\n\x1A\n") return InspectPng(b);
  if (b.substr(0, 2) == "\xFF\xD8") return InspectJpeg(b);
  if (b.substr(0, 6) == "GIF89a") return InspectGif(b);
  if (b.substr(0, 4) == "RIFF" && b.substr(8, 4) == "WEBP") return InspectWebp(b);
  if (b.substr(0, 2) == "BM") {
    unsigned width = Le(b, 18, 4);
    unsigned height = Le(b, 22, 4);
    return {"bmp", width, height, 1,
            Le(b, 2, 4) == b.size() && b.size() == 54 + (width * 3 + 3) / 4 * 4 * height};
  }
  return {};
}

struct ImageCase {
  const char* name;
  const char* contentType;
  const char* format;  // what the bytes are
  unsigned width;
  unsigned height;
  int frames;
  bool whole;
};

void PrintTo(const ImageCase& c, std::ostream* os) {
  *os << c.name;
}

class DemoImagesTest : public ::testing::TestWithParam<ImageCase> {};

// Each picture is served on the image host with the type its name suggests, and its bytes are
// what the row says: a whole image of that format, size and frame count, or the hostile file.
TEST_P(DemoImagesTest, ServedAsDescribed) {
  const ImageCase& c = GetParam();
  DemoNetwork network("https", kStart);
  DemoServer server(network);
  std::string answer = server.Answer(
      "GET /i/" + std::string(c.name) + " HTTP/1.1\r\nHost: img.demo.invalid\r\n\r\n", kStart);
  ASSERT_EQ(answer.substr(0, 15), "HTTP/1.1 200 OK");
  EXPECT_NE(answer.find("\r\nContent-Type: " + std::string(c.contentType) + "\r\n"),
            std::string::npos);
  std::string bytes = answer.substr(answer.find("\r\n\r\n") + 4);
  Inspected seen = Inspect(bytes);
  EXPECT_EQ(seen.format, c.format);
  EXPECT_EQ(seen.width, c.width);
  EXPECT_EQ(seen.height, c.height);
  EXPECT_EQ(seen.frames, c.frames);
  EXPECT_EQ(seen.whole, c.whole);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, DemoImagesTest,
    ::testing::Values(ImageCase{"sky.png", "image/png", "png", 64, 48, 1, true},
                      ImageCase{"rings.jpg", "image/jpeg", "jpeg", 32, 32, 1, true},
                      ImageCase{"still.gif", "image/gif", "gif", 40, 24, 1, true},
                      ImageCase{"blink.gif", "image/gif", "gif", 48, 32, 3, true},
                      ImageCase{"dots.webp", "image/webp", "webp", 40, 40, 1, true},
                      ImageCase{"dots-moving.webp", "image/webp", "webp", 40, 40, 4, true},
                      ImageCase{"tiles.bmp", "image/bmp", "bmp", 30, 18, 1, true},
                      ImageCase{"cut.png", "image/png", "png", 64, 48, 1, false},
                      ImageCase{"liar.png", "image/png", "jpeg", 32, 32, 1, true},
                      ImageCase{"removed.jpg", "text/html", "", 0, 0, 0, false},
                      ImageCase{"huge.png", "image/png", "png", 100000, 100000, 1, false}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& c : name) {
        if (c == '.' || c == '-') c = '_';
      }
      return name;
    });

// Replies link every picture, on the image host and in the network's scheme.
TEST(DemoImageLinksTest, RepliesLinkEveryPicture) {
  DemoNetwork network("https", kStart);
  std::set<std::string> linked;
  const std::string mark = "https://img.demo.invalid/i/";
  for (long long key : network.ThreadKeys("cook")) {
    std::string dat =
        network.Find("hayabusa.5ch.io", "/cook/dat/" + std::to_string(key) + ".dat").body;
    for (std::size_t at = 0; (at = dat.find(mark, at)) != std::string::npos;) {
      at += mark.size();
      linked.insert(dat.substr(at, dat.find(' ', at) - at));
    }
  }
  DemoImages images;
  std::set<std::string> all;
  for (const DemoImage& image : images.All()) all.insert(image.name);
  EXPECT_EQ(linked, all);
  EXPECT_EQ(network.Hosts().back(), "img.demo.invalid");
}

}  // namespace
}  // namespace velkor::demo
