#include "base/CommaText.h"

#include <gtest/gtest.h>

namespace velkor {
namespace {

using Items = std::vector<std::string>;

TEST(CommaTextTest, SplitsPlainAndQuotedItems) {
  EXPECT_EQ(SplitCommaText("0,38,38,325"), (Items{"0", "38", "38", "325"}));
  EXPECT_EQ(SplitCommaText("a b,c"), (Items{"a", "b", "c"}));
  EXPECT_EQ(SplitCommaText("\"a b\",\"x\"\"y\""), (Items{"a b", "x\"y"}));
  EXPECT_EQ(SplitCommaText("a,,b"), (Items{"a", "", "b"}));
  EXPECT_EQ(SplitCommaText("a,"), (Items{"a", ""}));
  EXPECT_EQ(SplitCommaText(""), Items{});
  EXPECT_EQ(SplitCommaText("\"unterminated"), Items{"unterminated"});
}

TEST(CommaTextTest, JoinQuotesWhatNeedsIt) {
  EXPECT_EQ(JoinCommaText({"0", "38"}), "0,38");
  EXPECT_EQ(JoinCommaText({"a b", "x\"y", "c,d", ""}), "\"a b\",\"x\"\"y\",\"c,d\",\"\"");
  Items items{"a b", "x\"y", "c,d", "", "plain"};
  EXPECT_EQ(SplitCommaText(JoinCommaText(items)), items);
}

}  // namespace
}  // namespace velkor
