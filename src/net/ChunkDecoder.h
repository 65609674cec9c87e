#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velkor {

// Takes the framing off a body sent with "Transfer-Encoding: chunked", piece by piece as it
// arrives. Chunk extensions and trailer fields are skipped; a bare LF is accepted where CR LF
// belongs.
class ChunkDecoder {
 public:
  // Appends the content bytes found in `raw` to `content`. Returns false once the framing is
  // malformed (and for every later call). Bytes after the final chunk are ignored.
  bool Feed(std::string_view raw, std::string& content);
  // True once the final (zero-sized) chunk and the trailer have ended.
  bool Done() const { return state_ == State::kDone; }

 private:
  enum class State {
    kSize,       // hex digits of a chunk size
    kExtension,  // after the size, up to the end of the line
    kData,       // chunk content
    kDataCr,     // the CR LF after the content
    kDataLf,
    kTrailerStart,  // start of a trailer line, or the final empty line
    kTrailerLine,
    kTrailerLf,
    kDone,
    kError,
  };
  bool EndSizeLine();

  State state_ = State::kSize;
  std::uint64_t remaining_ = 0;
  int digits_ = 0;
};

}  // namespace velkor
