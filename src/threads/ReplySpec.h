#pragma once

#include <bitset>
#include <string_view>

namespace velkor {

// The most replies a pop-up examines; reply numbers above it are never selected.
inline constexpr int kMaxPopupReplies = 1000;

// A set of reply numbers 1 ... kMaxPopupReplies.
class ReplySelection {
 public:
  bool Has(int k) const { return k >= 1 && k <= kMaxPopupReplies && bits_[Index(k)]; }
  // Numbers outside 1 ... kMaxPopupReplies are ignored.
  void Select(int k) {
    if (k >= 1 && k <= kMaxPopupReplies) bits_.set(Index(k));
  }
  void Clear() { bits_.reset(); }
  bool Empty() const { return bits_.none(); }
  int Size() const { return static_cast<int>(bits_.count()); }

 private:
  static std::size_t Index(int k) { return static_cast<std::size_t>(k - 1); }
  std::bitset<kMaxPopupReplies> bits_;
};

// Reads a reply spec such as "3", "12-15", "-5", "990-" or "1,3=5": ASCII digits, "-" for ranges
// (an open start is 1, an open end kMaxPopupReplies), "," and "=" between items; "l" (as in "l50")
// selects reply 1 alone; other characters are skipped. A range whose start is above its end selects
// the start. Numbers too large for the selection select nothing, however many digits they have.
ReplySelection ParseReplySpec(std::string_view spec);

}  // namespace velkor
