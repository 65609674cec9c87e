// gzip decoding. Input: a response body. Oracles: the decoded size never exceeds the limit given;
// a decoded body holds no zero byte; and the input itself, compressed as a gzip member by zlib,
// decodes back to the input (zero bytes as "*"), or is refused as too large when it exceeds the
// limit.

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "net/Gunzip.h"

namespace {

constexpr std::size_t kLimit = 256 * 1024;

// The data as one gzip member (zlib's own header and trailer), or empty when zlib fails.
std::string Compress(std::string_view data, int level) {
  z_stream stream{};
  if (deflateInit2(&stream, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())) + 32, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  int rc = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return rc == Z_STREAM_END ? out : std::string();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velkor;
  if (size > 512 * 1024) return 0;
  std::string_view input = fuzz::AsText(data, size);
  const std::size_t limit = std::min<std::size_t>(kLimit, size * 8 + 64);

  std::string output;
  GunzipResult result = Gunzip(input, output, limit);
  FUZZ_CHECK(output.size() <= limit, "decoding went beyond its limit", "");
  if (result == GunzipResult::kOk) {
    FUZZ_CHECK(output.find('\0') == std::string::npos, "a decoded body holds a zero byte", "");
  }

  const std::string packed = Compress(input, static_cast<int>(size % 10));
  if (packed.size() < 32) return 0;  // shorter members are refused by design
  std::string expected(input);
  std::replace(expected.begin(), expected.end(), '\0', '*');
  output.clear();
  result = Gunzip(packed, output, limit);
  if (input.size() > limit) {
    FUZZ_CHECK(result == GunzipResult::kTooLarge, "a body above the limit was not refused", "");
  } else {
    FUZZ_CHECK(result == GunzipResult::kOk && output == expected,
               "a gzip member made by zlib does not decode to its data", "");
  }
  return 0;
}
