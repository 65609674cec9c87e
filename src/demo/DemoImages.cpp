#include "demo/DemoImages.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace velkor::demo {
namespace {

void Le16(std::string& out, unsigned v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void Le24(std::string& out, unsigned v) {
  Le16(out, v & 0xFFFF);
  out += static_cast<char>((v >> 16) & 0xFF);
}
void Le32(std::string& out, unsigned v) {
  Le16(out, v & 0xFFFF);
  Le16(out, v >> 16);
}
void Be16(std::string& out, unsigned v) {
  out += static_cast<char>((v >> 8) & 0xFF);
  out += static_cast<char>(v & 0xFF);
}
void Be32(std::string& out, unsigned v) {
  Be16(out, v >> 16);
  Be16(out, v & 0xFFFF);
}

unsigned Red(unsigned rgb) {
  return (rgb >> 16) & 0xFF;
}
unsigned Green(unsigned rgb) {
  return (rgb >> 8) & 0xFF;
}
unsigned Blue(unsigned rgb) {
  return rgb & 0xFF;
}

// ---- PNG

void PngChunk(std::string& out, std::string_view type, std::string_view data) {
  Be32(out, static_cast<unsigned>(data.size()));
  std::string body = std::string(type) + std::string(data);
  out += body;
  Be32(out, static_cast<unsigned>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                        static_cast<uInt>(body.size()))));
}

std::string Deflate(std::string_view raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
            static_cast<uLong>(raw.size()), 9);
  out.resize(size);
  return out;
}

std::string PngHeader(unsigned width, unsigned height) {
  std::string ihdr;
  Be32(ihdr, width);
  Be32(ihdr, height);
  ihdr += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
  std::string out = "\x89PNG\r\n\x1A\n";
  PngChunk(out, "IHDR", ihdr);
  return out;
}

// ---- JPEG

// Natural (row-major) index of each zig-zag position.
constexpr std::array<int, 64> kZigZag = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
constexpr int kQuant = 8;  // one step for every coefficient

// Bits written most significant first, a 0x00 stuffed after every 0xFF byte.
class JpegBits {
 public:
  void Put(unsigned value, int count) {
    for (int i = count - 1; i >= 0; --i) {
      byte_ = static_cast<unsigned char>((byte_ << 1) | ((value >> i) & 1));
      if (++filled_ == 8) Flush();
    }
  }
  std::string Finish() {
    while (filled_ != 0) Put(1, 1);
    return std::move(out_);
  }

 private:
  void Flush() {
    out_ += static_cast<char>(byte_);
    if (byte_ == 0xFF) out_ += '\0';
    byte_ = 0;
    filled_ = 0;
  }
  std::string out_;
  unsigned char byte_ = 0;
  int filled_ = 0;
};

// The program's own Huffman tables: every DC category (0-11) a 4-bit code, every AC symbol an 8-bit
// code, in the order listed (a code is its index).
std::vector<unsigned char> AcSymbols() {
  std::vector<unsigned char> symbols = {0x00, 0xF0};
  for (int run = 0; run < 16; ++run) {
    for (int size = 1; size <= 10; ++size)
      symbols.push_back(static_cast<unsigned char>(run << 4 | size));
  }
  return symbols;
}

int Category(int value) {
  int magnitude = std::abs(value);
  int bits = 0;
  while (magnitude) {
    ++bits;
    magnitude >>= 1;
  }
  return bits;
}

unsigned Magnitude(int value, int category) {
  return static_cast<unsigned>(value >= 0 ? value : value + (1 << category) - 1);
}

// ---- GIF

// LZW of 8-bit literals only: the code width stays 9 bits because a clear code comes before the
// table would grow past 511 entries.
std::string GifLzw(const std::vector<unsigned char>& pixels) {
  constexpr unsigned kClear = 256;
  constexpr unsigned kEnd = 257;
  std::string out;
  unsigned buffer = 0;
  int filled = 0;
  auto put = [&](unsigned code) {
    buffer |= code << filled;
    filled += 9;
    while (filled >= 8) {
      out += static_cast<char>(buffer & 0xFF);
      buffer >>= 8;
      filled -= 8;
    }
  };
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    if (i % 254 == 0) put(kClear);
    put(pixels[i]);
  }
  put(kEnd);
  if (filled > 0) out += static_cast<char>(buffer & 0xFF);
  return out;
}

void GifSubBlocks(std::string& out, std::string_view data) {
  for (std::size_t at = 0; at < data.size(); at += 255) {
    std::size_t n = std::min<std::size_t>(255, data.size() - at);
    out += static_cast<char>(n);
    out.append(data.substr(at, n));
  }
  out += '\0';
}

// ---- WebP

// Bits written least significant first, as VP8L reads them.
class WebpBits {
 public:
  void Put(unsigned value, int count) {
    for (int i = 0; i < count; ++i) {
      if ((value >> i) & 1) byte_ |= static_cast<unsigned char>(1u << filled_);
      if (++filled_ == 8) {
        out_ += static_cast<char>(byte_);
        byte_ = 0;
        filled_ = 0;
      }
    }
  }
  std::string Finish() {
    if (filled_ > 0) out_ += static_cast<char>(byte_);
    return std::move(out_);
  }

 private:
  std::string out_;
  unsigned char byte_ = 0;
  int filled_ = 0;
};

// A simple prefix code of one or two 8-bit symbols (two: the smaller one is bit 0).
void SimpleCode(WebpBits& bits, unsigned a, unsigned b) {
  bits.Put(1, 1);  // simple code
  if (a == b) {
    bits.Put(0, 1);  // one symbol
    bits.Put(1, 1);  // of 8 bits
    bits.Put(a, 8);
    return;
  }
  bits.Put(1, 1);  // two symbols
  bits.Put(1, 1);  // the first of 8 bits
  bits.Put(std::min(a, b), 8);
  bits.Put(std::max(a, b), 8);
}

// One VP8L chunk (with its header) for one frame.
std::string Vp8l(int width, int height, int frame, unsigned low, unsigned high, DemoPixels pixel) {
  WebpBits bits;
  bits.Put(0x2F, 8);
  bits.Put(static_cast<unsigned>(width - 1), 14);
  bits.Put(static_cast<unsigned>(height - 1), 14);
  bits.Put(0, 1);  // no alpha
  bits.Put(0, 3);  // version 0
  bits.Put(0, 1);  // no transform
  bits.Put(0, 1);  // no colour cache
  bits.Put(0, 1);  // no meta prefix codes
  SimpleCode(bits, Green(low), Green(high));
  SimpleCode(bits, Red(low), Red(high));
  SimpleCode(bits, Blue(low), Blue(high));
  SimpleCode(bits, 0xFF, 0xFF);  // alpha
  bits.Put(1, 1);                // distance: a simple code of one 1-bit symbol, 0
  bits.Put(0, 1);
  bits.Put(0, 1);
  bits.Put(0, 1);
  auto bit = [](unsigned value, unsigned a, unsigned b) {
    if (a == b) return -1;  // a one-symbol code takes no bits
    unsigned nearer =
        (value > a ? value - a : a - value) <= (value > b ? value - b : b - value) ? a : b;
    return nearer == std::min(a, b) ? 0 : 1;
  };
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      unsigned rgb = pixel(x, y, frame);
      for (auto channel : {Green, Red, Blue}) {
        int b = bit(channel(rgb), channel(low), channel(high));
        if (b >= 0) bits.Put(static_cast<unsigned>(b), 1);
      }
    }
  }
  std::string data = bits.Finish();
  std::string chunk = "VP8L";
  Le32(chunk, static_cast<unsigned>(data.size()));
  chunk += data;
  if (data.size() % 2) chunk += '\0';
  return chunk;
}

std::string Riff(std::string_view chunks) {
  std::string out = "RIFF";
  Le32(out, static_cast<unsigned>(chunks.size() + 4));
  return out + "WEBP" + std::string(chunks);
}

// ---- the demo's pictures

unsigned Sky(int x, int y, int) {
  return static_cast<unsigned>(0x20 + y * 3) << 16 | static_cast<unsigned>(0x60 + y * 2) << 8 |
         static_cast<unsigned>(0xC0 + x % 0x3F);
}
unsigned Rings(int x, int y, int) {
  int dx = x - 16;
  int dy = y - 16;
  return static_cast<unsigned>(((dx * dx + dy * dy) / 12) % 2 ? 0xE0E0E0 : 0x303030);
}
unsigned Blink(int x, int y, int frame) {
  bool lit = (x / 8 + y / 8 + frame) % 3 == 0;
  return lit ? 0xFFE000u : 0x2040A0u;
}
unsigned Dots(int x, int y, int frame) {
  return ((x + frame * 4) / 4 + y / 4) % 2 ? 0xE0C030u : 0x203060u;
}
unsigned Tiles(int x, int y, int) {
  return (x / 6 + y / 6) % 2 ? 0x40A040u : 0xF0F0F0u;
}

}  // namespace

std::string EncodePng(int width, int height, DemoPixels pixel) {
  std::string raw;
  for (int y = 0; y < height; ++y) {
    raw += '\0';  // filter: none
    for (int x = 0; x < width; ++x) {
      unsigned rgb = pixel(x, y, 0);
      raw += static_cast<char>(Red(rgb));
      raw += static_cast<char>(Green(rgb));
      raw += static_cast<char>(Blue(rgb));
    }
  }
  std::string out = PngHeader(static_cast<unsigned>(width), static_cast<unsigned>(height));
  PngChunk(out, "IDAT", Deflate(raw));
  PngChunk(out, "IEND", "");
  return out;
}

std::string EncodeJpeg(int width, int height, DemoPixels pixel) {
  const std::vector<unsigned char> ac = AcSymbols();
  std::string out("\xFF\xD8", 2);
  out += std::string("\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 18);
  out += std::string("\xFF\xDB\x00\x43\x00", 5) + std::string(64, static_cast<char>(kQuant));
  out += std::string("\xFF\xC0\x00\x0B\x08", 5);
  Be16(out, static_cast<unsigned>(height));
  Be16(out, static_cast<unsigned>(width));
  out += std::string("\x01\x01\x11\x00", 4);
  // DC table 0: twelve 4-bit codes.
  out += std::string("\xFF\xC4", 2);
  Be16(out, 2 + 1 + 16 + 12);
  out += '\x00';
  for (int length = 1; length <= 16; ++length) out += static_cast<char>(length == 4 ? 12 : 0);
  for (int symbol = 0; symbol < 12; ++symbol) out += static_cast<char>(symbol);
  // AC table 0: 162 8-bit codes.
  out += std::string("\xFF\xC4", 2);
  Be16(out, static_cast<unsigned>(2 + 1 + 16 + ac.size()));
  out += '\x10';
  for (int length = 1; length <= 16; ++length) {
    out += static_cast<char>(length == 8 ? ac.size() : 0);
  }
  for (unsigned char symbol : ac) out += static_cast<char>(symbol);
  out += std::string("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10);

  auto acCode = [&](unsigned char symbol) {
    return static_cast<unsigned>(std::find(ac.begin(), ac.end(), symbol) - ac.begin());
  };
  JpegBits bits;
  int previousDc = 0;
  for (int by = 0; by < height; by += 8) {
    for (int bx = 0; bx < width; bx += 8) {
      std::array<double, 64> block{};
      for (int v = 0; v < 8; ++v) {
        for (int u = 0; u < 8; ++u) {
          double sum = 0;
          for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
              double sample = static_cast<double>(Green(pixel(bx + x, by + y, 0))) - 128;
              sum += sample * std::cos((2 * x + 1) * u * M_PI / 16) *
                     std::cos((2 * y + 1) * v * M_PI / 16);
            }
          }
          double cu = u == 0 ? M_SQRT1_2 : 1;
          double cv = v == 0 ? M_SQRT1_2 : 1;
          block[static_cast<std::size_t>(v * 8 + u)] = sum * cu * cv / 4;
        }
      }
      std::array<int, 64> zz{};
      for (std::size_t k = 0; k < 64; ++k) {
        zz[k] = static_cast<int>(std::lround(block[static_cast<std::size_t>(kZigZag[k])] / kQuant));
      }
      int diff = zz[0] - previousDc;
      previousDc = zz[0];
      int category = Category(diff);
      bits.Put(static_cast<unsigned>(category), 4);
      bits.Put(Magnitude(diff, category), category);
      int run = 0;
      for (std::size_t k = 1; k < 64; ++k) {
        if (zz[k] == 0) {
          ++run;
          continue;
        }
        for (; run > 15; run -= 16) bits.Put(acCode(0xF0), 8);
        int size = Category(zz[k]);
        bits.Put(acCode(static_cast<unsigned char>(run << 4 | size)), 8);
        bits.Put(Magnitude(zz[k], size), size);
        run = 0;
      }
      if (run > 0) bits.Put(acCode(0x00), 8);
    }
  }
  return out + bits.Finish() + std::string("\xFF\xD9", 2);
}

std::string EncodeGif(int width, int height, int frames, int delayMs, DemoPixels pixel) {
  std::string out = "GIF89a";
  Le16(out, static_cast<unsigned>(width));
  Le16(out, static_cast<unsigned>(height));
  out += std::string("\xF7\x00\x00", 3);  // a global table of 256 colours
  for (unsigned i = 0; i < 256; ++i) {
    out += static_cast<char>((i >> 5) * 255 / 7);
    out += static_cast<char>(((i >> 2) & 7) * 255 / 7);
    out += static_cast<char>((i & 3) * 255 / 3);
  }
  if (frames > 1) out += std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
  for (int frame = 0; frame < frames; ++frame) {
    out += std::string("\x21\xF9\x04\x04", 4);  // graphic control: keep the frame
    Le16(out, static_cast<unsigned>(delayMs / 10));
    out += std::string("\x00\x00", 2);
    out += '\x2C';
    Le16(out, 0);
    Le16(out, 0);
    Le16(out, static_cast<unsigned>(width));
    Le16(out, static_cast<unsigned>(height));
    out += '\x00';
    std::vector<unsigned char> pixels;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        unsigned rgb = pixel(x, y, frame);
        pixels.push_back(static_cast<unsigned char>((Red(rgb) >> 5) << 5 | (Green(rgb) >> 5) << 2 |
                                                    Blue(rgb) >> 6));
      }
    }
    out += '\x08';  // LZW minimum code size
    GifSubBlocks(out, GifLzw(pixels));
  }
  return out + ";";
}

std::string EncodeWebp(int width, int height, int frames, int delayMs, unsigned low, unsigned high,
                       DemoPixels pixel) {
  if (frames <= 1) return Riff(Vp8l(width, height, 0, low, high, pixel));
  std::string chunks = "VP8X";
  Le32(chunks, 10);
  chunks += std::string("\x02\x00\x00\x00", 4);  // animation
  Le24(chunks, static_cast<unsigned>(width - 1));
  Le24(chunks, static_cast<unsigned>(height - 1));
  chunks += "ANIM";
  Le32(chunks, 6);
  Le32(chunks, 0xFFFFFFFF);  // background: white
  Le16(chunks, 0);           // loop forever
  for (int frame = 0; frame < frames; ++frame) {
    std::string image = Vp8l(width, height, frame, low, high, pixel);
    chunks += "ANMF";
    Le32(chunks, static_cast<unsigned>(16 + image.size()));
    Le24(chunks, 0);
    Le24(chunks, 0);
    Le24(chunks, static_cast<unsigned>(width - 1));
    Le24(chunks, static_cast<unsigned>(height - 1));
    Le24(chunks, static_cast<unsigned>(delayMs));
    chunks += '\x02';  // no blending, no disposal
    chunks += image;
  }
  return Riff(chunks);
}

std::string EncodeBmp(int width, int height, DemoPixels pixel) {
  std::size_t row = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  std::size_t size = row * static_cast<std::size_t>(height);
  std::string out = "BM";
  Le32(out, static_cast<unsigned>(54 + size));
  Le32(out, 0);
  Le32(out, 54);
  Le32(out, 40);
  Le32(out, static_cast<unsigned>(width));
  Le32(out, static_cast<unsigned>(height));
  Le16(out, 1);
  Le16(out, 24);
  Le32(out, 0);
  Le32(out, static_cast<unsigned>(size));
  Le32(out, 2835);
  Le32(out, 2835);
  Le32(out, 0);
  Le32(out, 0);
  for (int y = height - 1; y >= 0; --y) {
    std::string line;
    for (int x = 0; x < width; ++x) {
      unsigned rgb = pixel(x, y, 0);
      line += static_cast<char>(Blue(rgb));
      line += static_cast<char>(Green(rgb));
      line += static_cast<char>(Red(rgb));
    }
    line.resize(row, '\0');
    out += line;
  }
  return out;
}

DemoImages::DemoImages() {
  std::string sky = EncodePng(64, 48, Sky);
  std::string rings = EncodeJpeg(32, 32, Rings);
  images_ = {
      {"sky.png", "image/png", sky, false},
      {"rings.jpg", "image/jpeg", rings, false},
      {"still.gif", "image/gif", EncodeGif(40, 24, 1, 0, Tiles), false},
      {"blink.gif", "image/gif", EncodeGif(48, 32, 3, 400, Blink), false},
      {"dots.webp", "image/webp", EncodeWebp(40, 40, 1, 0, 0x203030, 0xE0C060, Dots), false},
      {"dots-moving.webp", "image/webp", EncodeWebp(40, 40, 4, 250, 0x203030, 0xE0C060, Dots),
       false},
      {"tiles.bmp", "image/bmp", EncodeBmp(30, 18, Tiles), false},
  };
  // A transfer cut off in the middle of the pixel data.
  images_.push_back({"cut.png", "image/png", sky.substr(0, sky.size() / 2), true});
  // A JPEG whose name says PNG.
  images_.push_back({"liar.png", "image/png", rings, true});
  // An HTML page where a JPEG should be, as image hosts answer for a picture that was removed.
  images_.push_back({"removed.jpg", "text/html",
                     "<!DOCTYPE html>\n<html><head><title>404</title></head><body><p>This image "
                     "was removed.</p><script>location.href='/';</script></body></html>\n",
                     true});
  // A valid PNG header declaring 100000 x 100000 pixels (30 GB decoded) over a few real rows.
  std::string huge = PngHeader(100000, 100000);
  PngChunk(huge, "IDAT", Deflate(std::string(4 * 300001, '\0')));
  PngChunk(huge, "IEND", "");
  images_.push_back({"huge.png", "image/png", huge, true});
}

const DemoImage* DemoImages::Find(std::string_view path) const {
  if (path.substr(0, 3) != "/i/") return nullptr;
  for (const DemoImage& image : images_) {
    if (path.substr(3) == image.name) return &image;
  }
  return nullptr;
}

}  // namespace velkor::demo
