#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace velkor {

// Reads a log's lines one by one, as SplitLines does (CR LF, LF or a lone CR end a line; a final
// line without an end counts; an end at the very end starts no further line), in one pass over the
// text.
class LogLineReader {
 public:
  explicit LogLineReader(std::string_view text)
      : text_(text), nextLf_(Find('\n', 0, text.size())) {}

  // The next line (a view into the text); false after the last one.
  bool Next(std::string_view& line) {
    const std::size_t n = text_.size();
    if (start_ >= n) return false;
    if (nextLf_ < start_) nextLf_ = Find('\n', start_, n);
    const std::size_t cr = Find('\r', start_, nextLf_);
    const bool endsAtCr = cr < nextLf_;
    const std::size_t end = endsAtCr ? cr : nextLf_;
    line = text_.substr(start_, end - start_);
    start_ = end + 1;
    if (endsAtCr && start_ < n && text_[start_] == '\n') ++start_;
    return true;
  }

 private:
  // Position of c in [from, to), or `to` when absent.
  std::size_t Find(char c, std::size_t from, std::size_t to) const {
    if (from >= to) return to;
    const void* hit = std::memchr(text_.data() + from, c, to - from);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data()) : to;
  }

  std::string_view text_;
  std::size_t start_ = 0;
  std::size_t nextLf_;
};

}  // namespace velkor
