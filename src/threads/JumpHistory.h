#pragma once

#include <cstddef>
#include <optional>
#include <vector>

namespace velkor {

// A place in a thread page: the reply at the top of the view and how far the view's top lies below
// that reply's anchor, in CSS pixels. Reply 0 stands for the page's top (the part before the first
// reply). A place named by its reply survives the page being drawn anew with more or fewer replies.
struct ReadingSpot {
  int reply = 0;
  int offset = 0;

  friend bool operator==(const ReadingSpot&, const ReadingSpot&) = default;
};

// The places a reader jumped away from in one tab, as a browser's back and forward lists: a jump
// records where the reader was and forgets the forward list; going back returns to the last place
// recorded and keeps the place left for going forward again. At most kLimit places are kept back,
// the oldest dropped first.
class JumpHistory {
 public:
  static constexpr std::size_t kLimit = 50;

  // Before a jump from `from`.
  void Record(ReadingSpot from);
  // The place to return to from `current`, which becomes the first place forward; none when there
  // is nothing back.
  std::optional<ReadingSpot> Back(ReadingSpot current);
  // The place to go forward to from `current`, which goes back onto the back list; none when there
  // is nothing forward.
  std::optional<ReadingSpot> Forward(ReadingSpot current);
  bool CanGoBack() const { return !back_.empty(); }
  bool CanGoForward() const { return !forward_.empty(); }
  void Clear();

 private:
  void PushBack(ReadingSpot spot);

  std::vector<ReadingSpot> back_;     // oldest first
  std::vector<ReadingSpot> forward_;  // the next place forward last
};

}  // namespace velkor
