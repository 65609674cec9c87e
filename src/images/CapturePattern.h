#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"

namespace velkor {

// A regular expression whose groups are wanted: Oniguruma as the search engine runs it (Ruby
// syntax, Shift_JIS, letter case counting), under a cost bound. RegexEngine only answers whether a
// pattern matches; image rules build URLs from the groups of their match.
class CapturePattern {
 public:
  // Backtracking steps one match attempt, and one whole search, may take before it is given up as
  // no match: a hostile or careless pattern over a link ends in well under a millisecond.
  static constexpr unsigned long kRetryLimitInMatch = 100'000;
  static constexpr unsigned long kRetryLimitInSearch = 1'000'000;

  CapturePattern() = default;
  CapturePattern(CapturePattern&& other) noexcept;
  CapturePattern& operator=(CapturePattern&& other) noexcept;
  CapturePattern(const CapturePattern&) = delete;
  CapturePattern& operator=(const CapturePattern&) = delete;
  ~CapturePattern();

  // Compiles `pattern` (CP932). On failure the reason is Oniguruma's own message (ASCII) and the
  // pattern matches nothing.
  Outcome Compile(std::string_view pattern);

  // The number of capturing groups, 0 when nothing is compiled.
  int GroupCount() const { return groups_; }

  // The leftmost match in `text`: the whole match first, then each group (empty when it took no
  // part). nullopt when nothing matches, nothing is compiled, or the cost bound was reached.
  std::optional<std::vector<std::string>> Match(std::string_view text) const;

 private:
  void* regex_ = nullptr;  // OnigRegex
  int groups_ = 0;
};

}  // namespace velkor
