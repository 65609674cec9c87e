#include "threads/PosterIds.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;

struct IdCase {
  const char* name;
  const char* date;  // UTF-8
  const char* id;
};

void PrintTo(const IdCase& c, std::ostream* os) {
  *os << c.name;
}

class ReplyIdOfTest : public testing::TestWithParam<IdCase> {};

TEST_P(ReplyIdOfTest, TakesTheId) {
  EXPECT_EQ(ReplyIdOf(S(GetParam().date)), GetParam().id);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, ReplyIdOfTest,
    testing::Values(IdCase{"Plain", "2026/12/07(月) 12:34:56.78 ID:AbC+/9xy0", "AbC+/9xy0"},
                    IdCase{"BeAfter", "2026/12/07(月) 12:34:56.78 ID:Ab12 BE:1234-2BP(1000)",
                           "Ab12"},
                    IdCase{"MarkupAfter", "07 ID:Ab12<a href=\"x\">be</a>", "Ab12"},
                    IdCase{"FirstOfTwo", "ID:one ID:two", "one"},
                    IdCase{"None", "2026/12/07(月) 12:34:56.78", ""},
                    IdCase{"Empty", "2026/12/07 ID: x", ""},
                    IdCase{"Withheld", "2026/12/07 ID:???", ""},
                    IdCase{"WithheldWithSuffix", "2026/12/07 ID:???0", "???0"},
                    // "オ" is 0x83 0x49: its second byte is an "I" that must not start "ID:".
                    IdCase{"NotInsideACharacter", "オD:abc", ""},
                    IdCase{"BrokenField", "[ここ壊れています？]", ""}),
    [](const testing::TestParamInfo<IdCase>& info) { return std::string(info.param.name); });

ReplyList WithDates(const std::vector<std::string>& dates) {
  ReplyList replies;
  for (const std::string& date : dates) replies.Add("n", "", S(date), "m");
  return replies;
}

TEST(PosterIdsTest, CountsPostsInOrderOfFirstAppearance) {
  const PosterIds ids(WithDates({"12:00 ID:bbb", "12:01 ID:aaa", "12:02", "12:03 ID:bbb",
                                 "12:04 ID:???", "12:05 ID:bbb", "12:06 ID:aaa"}));
  ASSERT_EQ(ids.Posters().size(), 2u);
  EXPECT_EQ(ids.Posters()[0].id, "bbb");
  EXPECT_EQ(ids.Posters()[0].replies, (std::vector<int>{1, 4, 6}));
  EXPECT_EQ(ids.Posters()[1].id, "aaa");
  EXPECT_EQ(ids.Posters()[1].replies, (std::vector<int>{2, 7}));

  EXPECT_EQ(ids.PositionOf(4), 2);
  EXPECT_EQ(ids.CountOf(4), 3);
  EXPECT_EQ(ids.PositionOf(7), 2);
  EXPECT_EQ(ids.CountOf(7), 2);
  EXPECT_EQ(ids.PosterOf(6), &ids.Posters()[0]);
  for (int k : {0, 3, 5, 8}) {
    EXPECT_EQ(ids.PosterOf(k), nullptr) << k;
    EXPECT_EQ(ids.PositionOf(k), 0) << k;
    EXPECT_EQ(ids.CountOf(k), 0) << k;
  }
  EXPECT_EQ(ids.Find("aaa"), &ids.Posters()[1]);
  EXPECT_EQ(ids.Find("aa"), nullptr) << "whole IDs only";
}

}  // namespace
}  // namespace velkor
