#include "threads/ReplySpec.h"

#include <algorithm>

#include "threads/ReplyChars.h"

namespace velkor {
namespace {

// Accumulated numbers saturate here: anything above kMaxPopupReplies selects nothing, so the exact
// value of a longer number does not matter and it can never wrap into range.
constexpr long long kSaturated = 1'000'000;

void CloseRange(ReplySelection& selection, long long start, long long accumulator) {
  const long long end = accumulator == 0 ? kMaxPopupReplies : accumulator;
  if (start < 1 || end > kMaxPopupReplies) return;
  if (start > end) {
    selection.Select(static_cast<int>(start));
    return;
  }
  for (long long k = start; k <= end; ++k) selection.Select(static_cast<int>(k));
}

}  // namespace

ReplySelection ParseReplySpec(std::string_view spec) {
  ReplySelection selection;
  long long accumulator = 0;
  bool rangeOpen = false;
  long long rangeStart = 0;
  std::size_t i = 0;
  while (true) {
    const bool atEnd = i >= spec.size();
    const std::size_t len = atEnd ? 0 : CharLength(spec, i);
    const char c = (atEnd || len != 1) ? '\0' : spec[i];
    if (c >= '0' && c <= '9') {
      accumulator = std::min(accumulator * 10 + (c - '0'), kSaturated);
    } else if (c == '-') {
      if (rangeOpen) {
        CloseRange(selection, rangeStart, accumulator);
        rangeStart = accumulator;
      } else {
        rangeStart = accumulator == 0 ? 1 : accumulator;
      }
      rangeOpen = true;
      accumulator = 0;
    } else if (atEnd || c == ',' || c == '=') {
      if (rangeOpen) {
        CloseRange(selection, rangeStart, accumulator);
      } else {
        selection.Select(static_cast<int>(accumulator));
      }
      rangeOpen = false;
      accumulator = 0;
    } else if (c == 'l') {
      selection.Clear();
      selection.Select(1);
      return selection;
    }
    if (atEnd) return selection;
    i += len;
  }
}

}  // namespace velkor
