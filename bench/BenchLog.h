#pragma once

// The one generator of thread logs that every benchmark reads, so that their figures describe the
// same kind of thread.
//
// A reply is a dat line in Shift_JIS: a name (a trip every 10th reply), "sage" every 3rd, a date
// and one of 60 IDs (one heavy poster writing every 6th reply), then the message: a server-linked
// "&gt;&gt;n" anchor to an earlier reply, a full-width anchor every 4th reply, a range every 9th
// and a list every 11th; lines of Japanese and ASCII phrases picked by a seeded generator; a plain
// URL, a redirected "ttp://" URL every 3rd reply, entities, and an advertisement every 97th. The
// first reply carries the title. With `lines` 6 a reply holds about 900 bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velkor::bench {

struct LogShape {
  explicit LogShape(int replyCount, int lineCount = 6) : replies(replyCount), lines(lineCount) {}

  int replies;                    // at least this many replies
  std::size_t minBytes = 0;       // and more until the log holds at least this many bytes
  int lines;                      // lines of text in each message
  std::uint64_t seed = 20261207;  // the same seed gives the same log
  // When not empty: put once, at the end of the message of the first reply that ends at or after
  // `plantAfter` bytes.
  std::string_view plant;
  std::size_t plantAfter = 0;
};

std::string MakeThreadLog(const LogShape& shape);

// The ID that reply `reply` (from 1) of a generated log is posted under.
std::string PosterId(int reply);

}  // namespace velkor::bench
