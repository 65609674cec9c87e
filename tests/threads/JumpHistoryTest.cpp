#include "threads/JumpHistory.h"

#include <gtest/gtest.h>

namespace velkor {
namespace {

constexpr ReadingSpot kTop{0, 0};
constexpr ReadingSpot kAt5{5, 12};
constexpr ReadingSpot kAt40{40, 0};
constexpr ReadingSpot kAt90{90, 3};

// Back and forward walk the recorded places as a browser's buttons do; a new jump forgets the
// places forward.
TEST(JumpHistoryTest, BackAndForwardAsABrowserDoes) {
  JumpHistory history;
  EXPECT_FALSE(history.Back(kTop));
  history.Record(kTop);   // jumped from the top to reply 40
  history.Record(kAt40);  // and on to reply 90
  EXPECT_EQ(history.Back(kAt90), kAt40);
  EXPECT_EQ(history.Back(kAt40), kTop);
  EXPECT_FALSE(history.CanGoBack());
  EXPECT_FALSE(history.Back(kTop));
  EXPECT_EQ(history.Forward(kTop), kAt40);
  EXPECT_EQ(history.Forward(kAt40), kAt90);
  EXPECT_FALSE(history.Forward(kAt90));

  EXPECT_EQ(history.Back(kAt90), kAt40);
  history.Record(kAt40);  // a new jump from reply 40 to reply 5
  EXPECT_FALSE(history.CanGoForward());
  EXPECT_EQ(history.Back(kAt5), kAt40);
  EXPECT_EQ(history.Back(kAt40), kTop);
}

TEST(JumpHistoryTest, KeepsTheNewestPlaces) {
  JumpHistory history;
  for (int reply = 1; reply <= static_cast<int>(JumpHistory::kLimit) + 10; ++reply) {
    history.Record({reply, 0});
  }
  int steps = 0;
  ReadingSpot last{};
  while (std::optional<ReadingSpot> back = history.Back(last)) {
    last = *back;
    ++steps;
  }
  EXPECT_EQ(steps, static_cast<int>(JumpHistory::kLimit));
  EXPECT_EQ(last.reply, 11);
}

}  // namespace
}  // namespace velkor
