#include "post/PostHistory.h"

#include <gtest/gtest.h>

#include "support/TempDataDir.h"

namespace velkor {
namespace {

// Newest first, each once, at most 20, empty texts not kept; read back by the next run.
TEST(PostHistoryTest, RemembersTheLastTwentyOfEach) {
  test::TempDataDir dir;
  {
    PostHistory history(PostHistoryPath());
    for (int i = 1; i <= 22; ++i) {
      ASSERT_TRUE(history.Remember("name" + std::to_string(i), i % 2 == 0 ? "sage" : "").IsOk());
    }
    ASSERT_TRUE(history.Remember("name5", "age\r\n").IsOk());
  }
  const PostHistory history(PostHistoryPath());
  ASSERT_EQ(history.Names().size(), PostHistory::kSize);
  EXPECT_EQ(history.Names()[0], "name5");
  EXPECT_EQ(history.Names()[1], "name22");
  EXPECT_EQ(history.Names()[19], "name3");
  EXPECT_EQ(history.Mails(), (std::vector<std::string>{"age", "sage"}));
}

}  // namespace
}  // namespace velkor
