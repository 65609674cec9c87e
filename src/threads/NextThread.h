#pragma once

// Next-thread candidates: the threads of a board's current list that most likely continue a thread
// that is full or archived ("次スレ"). Titles are CP932 as the thread list stores them (the
// entities &lt; &gt; &quot; &amp; decoded, numeric character references such as "&#127775;" kept);
// a title taken from a log's first line, with its entities still written, folds to the same text.
// docs/nextthread.md describes the scoring.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velkor {

// One thread of a board's list.
struct ThreadEntry {
  std::string key;    // decimal digits, without ".dat"
  std::string title;  // CP932, as stored
  std::int32_t resCount = 0;
};

struct NextThreadCandidate {
  std::string key;
  std::string title;
  std::int32_t resCount = 0;
  int score = 0;  // 0 to 100; 60 and above: its series number is one greater than the old one's
};

// The likely successors of `old` among `board`, best first, at most `limit`. Only threads with a
// numerically greater key are considered (so never `old` itself); entries whose key is not
// decimal digits are skipped, and an `old` whose key is not gives no candidates. A thread whose
// title is not similar enough to the old one's (once widths, letter case, brackets, decorations
// and the series number are set aside) is no candidate, whatever its number. Of equal scores the
// more similar title comes first, then the more replied thread, then the smaller key. The old
// thread's reply count plays no part: when to offer successors is the caller's choice.
std::vector<NextThreadCandidate> FindNextThreads(const ThreadEntry& old,
                                                 std::span<const ThreadEntry> board,
                                                 std::size_t limit);

}  // namespace velkor
