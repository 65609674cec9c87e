#include "net/ChunkDecoder.h"

#include <algorithm>

#include "base/Sjis.h"

namespace velkor {

bool ChunkDecoder::EndSizeLine() {
  if (digits_ == 0) return false;
  state_ = remaining_ == 0 ? State::kTrailerStart : State::kData;
  return true;
}

bool ChunkDecoder::Feed(std::string_view raw, std::string& content) {
  std::size_t i = 0;
  while (i < raw.size() && state_ != State::kDone && state_ != State::kError) {
    char c = raw[i];
    switch (state_) {
      case State::kSize: {
        int value = HexDigitValue(c);
        if (value >= 0) {
          if (++digits_ > 15) {
            state_ = State::kError;
            break;
          }
          remaining_ = remaining_ * 16 + static_cast<unsigned>(value);
        } else if (c == ';' || c == ' ' || c == '\t' || c == '\r') {
          state_ = State::kExtension;
        } else if (c == '\n') {
          if (!EndSizeLine()) state_ = State::kError;
        } else {
          state_ = State::kError;
        }
        ++i;
        break;
      }
      case State::kExtension:
        if (c == '\n' && !EndSizeLine()) state_ = State::kError;
        ++i;
        break;
      case State::kData: {
        std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, raw.size() - i));
        content.append(raw.substr(i, take));
        remaining_ -= take;
        i += take;
        if (remaining_ == 0) state_ = State::kDataCr;
        break;
      }
      case State::kDataCr:
      case State::kDataLf:
        if (c == '\n') {
          state_ = State::kSize;
          digits_ = 0;
        } else if (c == '\r' && state_ == State::kDataCr) {
          state_ = State::kDataLf;
        } else {
          state_ = State::kError;
        }
        ++i;
        break;
      case State::kTrailerStart:
        state_ = c == '\n' ? State::kDone : c == '\r' ? State::kTrailerLf : State::kTrailerLine;
        ++i;
        break;
      case State::kTrailerLine:
        if (c == '\n') state_ = State::kTrailerStart;
        ++i;
        break;
      case State::kTrailerLf:
        state_ = c == '\n' ? State::kDone : State::kError;
        ++i;
        break;
      case State::kDone:
      case State::kError:
        break;
    }
  }
  return state_ != State::kError;
}

}  // namespace velkor
