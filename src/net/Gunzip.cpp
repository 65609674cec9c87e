#include "net/Gunzip.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace velkor {
namespace {

constexpr std::size_t kBlockSize = 4096;

// Where the deflate data of the member starts, or npos when the member header is not acceptable.
std::size_t DeflateStart(std::string_view body) {
  if (body.size() < 32) return std::string_view::npos;
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(body[i]); };
  if (byte(0) != 0x1F || byte(1) != 0x8B || byte(2) != 8 || (byte(3) & 0xE0) != 0) {
    return std::string_view::npos;
  }
  unsigned flags = byte(3);
  std::size_t pos = 10;
  if (flags & 0x04) {
    pos += 2 + (byte(10) | (static_cast<std::size_t>(byte(11)) << 8));
  }
  for (unsigned textFlag : {0x08u, 0x10u}) {
    if ((flags & textFlag) == 0) continue;
    if (pos >= body.size()) return std::string_view::npos;
    std::size_t zero = body.find('\0', pos);
    if (zero == std::string_view::npos) return std::string_view::npos;
    pos = zero + 1;
  }
  if (flags & 0x02) pos += 2;
  return pos > body.size() ? std::string_view::npos : pos;
}

}  // namespace

GunzipResult Gunzip(std::string_view body, std::string& output, std::size_t outputLimit,
                    bool keepZeros) {
  output.clear();
  std::size_t start = DeflateStart(body);
  if (start == std::string_view::npos) return GunzipResult::kBadHeader;
  if (body.size() - start > UINT_MAX) return GunzipResult::kTooLarge;
  z_stream stream{};
  if (inflateInit2(&stream, -15) != Z_OK) return GunzipResult::kBadData;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data() + start));
  stream.avail_in = static_cast<uInt>(body.size() - start);
  char block[kBlockSize];
  GunzipResult result = GunzipResult::kBadData;
  for (;;) {
    stream.next_out = reinterpret_cast<Bytef*>(block);
    stream.avail_out = kBlockSize;
    int status = inflate(&stream, Z_NO_FLUSH);
    std::size_t produced = kBlockSize - stream.avail_out;
    if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) break;
    if (output.size() + produced > outputLimit) {
      result = GunzipResult::kTooLarge;
      break;
    }
    std::size_t from = output.size();
    output.append(block, produced);
    if (!keepZeros) {
      std::replace(output.begin() + static_cast<std::ptrdiff_t>(from), output.end(), '\0', '*');
    }
    if (status == Z_STREAM_END) {
      result = GunzipResult::kOk;
      break;
    }
    // The input ran out (or nothing moved) before the end of the compressed stream.
    if (status == Z_BUF_ERROR || (stream.avail_in == 0 && stream.avail_out != 0)) break;
  }
  inflateEnd(&stream);
  return result;
}

}  // namespace velkor
