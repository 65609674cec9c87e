#include "threads/ReplyAnswers.h"

#include <gtest/gtest.h>

#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "support/TempDataDir.h"
#include "threads/DatRenderer.h"

namespace velkor {
namespace {

// A thread of real-looking log lines whose messages are given (UTF-8); loaded as a tab loads it.
ReplyList Thread(const std::vector<std::string>& messages) {
  std::string log;
  int k = 0;
  for (const std::string& message : messages) {
    ++k;
    log += "名無しさん<>sage<>2026/12/07(月) 12:00:0" + std::to_string(k % 10) + ".00 ID:Ab" +
           std::to_string(k) + "<> " + message + " <>" + (k == 1 ? "スレ" : "") + "\n";
  }
  ReplyList replies;
  LoadRepliesFromText(replies, test::S(log));
  return replies;
}

std::vector<int> Numbers(std::span<const int> numbers) {
  return {numbers.begin(), numbers.end()};
}

// Every reply with answers as "k:a,b" joined by " ".
std::string Describe(const ReplyAnswers& answers) {
  std::string text;
  for (int k = 1; k <= answers.Count(); ++k) {
    if (answers.AnswersTo(k).empty()) continue;
    if (!text.empty()) text += ' ';
    text += std::to_string(k) + ':';
    for (std::size_t i = 0; i < answers.AnswersTo(k).size(); ++i) {
      text += (i ? "," : "") + std::to_string(answers.AnswersTo(k)[i]);
    }
  }
  return text;
}

struct AnswersCase {
  const char* name;
  std::vector<std::string> messages;  // reply 1, 2, ...
  const char* answers;
};

void PrintTo(const AnswersCase& c, std::ostream* os) {
  *os << c.name;
}

class ReplyAnswersTest : public testing::TestWithParam<AnswersCase> {};

TEST_P(ReplyAnswersTest, FindsWhoAnswersWhom) {
  EXPECT_EQ(Describe(ReplyAnswers(Thread(GetParam().messages))), GetParam().answers);
}

const std::string kServerLink = "<a href=\"../test/read.cgi/news/123/1\" target=\"_blank\">";

INSTANTIATE_TEST_SUITE_P(
    Forms, ReplyAnswersTest,
    testing::Values(
        AnswersCase{"ServerLinkedAnchor", {"a", kServerLink + "&gt;&gt;1</a> b"}, "1:2"},
        AnswersCase{"OneMarker", {"a", "&gt;1 b"}, "1:2"},
        AnswersCase{"FullWidth", {"a", "b", "＞＞１ ＞＞２"}, "1:3 2:3"},
        AnswersCase{"OtherMarkers", {"a", "b", "c", "≫1", "》2 ＞3"}, "1:4 2:5 3:5"},
        AnswersCase{"Range", {"a", "b", "c", "d", "&gt;&gt;2-4"}, "2:5 3:5 4:5"},
        AnswersCase{
            "FullWidthRange", {"a", "b", "c", "&gt;&gt;１－２", "＞＞２～３"}, "1:4 2:4,5 3:5"},
        AnswersCase{"OpenRange", {"a", "b", "c", "&gt;&gt;-2"}, "1:4 2:4"},
        AnswersCase{"Lists",
                    {"a", "b", "c", "&gt;&gt;1,3", "&gt;&gt;1、2・3", "&gt;&gt;2 3"},
                    "1:4,5 2:5,6 3:4,5,6"},
        AnswersCase{"NamedTwiceCountsOnce", {"a", "&gt;&gt;1 &gt;&gt;1 ＞＞１-1"}, "1:2"},
        AnswersCase{"SelfIgnored", {"a", "&gt;&gt;1-2"}, "1:2"},
        AnswersCase{"LeadingZeros", {"a", "b", "&gt;&gt;002 x"}, "2:3"},
        AnswersCase{"HugeNumberInAList", {"a", "b", "&gt;&gt;99999,2"}, "2:3"},
        AnswersCase{"EveryoneIsNoAnswer", {"a", "b", "&gt;&gt;- &gt;&gt;1-1000"}, ""},
        AnswersCase{"ForwardReference", {"&gt;&gt;3 next", "b", "c"}, "3:1"},
        AnswersCase{"OutsideTheThreadIgnored", {"a", "&gt;&gt;5 &gt;&gt;0 &gt;&gt;1001"}, ""},
        AnswersCase{
            "UrlsAndPlainNumbersAreNoAnchors", {"a", "http://example.com/#a1 1 &gt;&gt;abc"}, ""}),
    [](const testing::TestParamInfo<AnswersCase>& info) { return std::string(info.param.name); });

TEST(ReplyAnswersTest, ReferencesAndBoundsOfTheLists) {
  const ReplyAnswers answers(Thread({"a", "b", "&gt;&gt;2 &gt;&gt;1", "&gt;&gt;3"}));
  EXPECT_EQ(answers.Count(), 4);
  EXPECT_EQ(Numbers(answers.ReferencesOf(3)), (std::vector<int>{1, 2}))
      << "ascending, not as written";
  EXPECT_EQ(Numbers(answers.AnswersTo(3)), std::vector<int>{4});
  EXPECT_TRUE(answers.AnswersTo(0).empty());
  EXPECT_TRUE(answers.AnswersTo(5).empty());
  EXPECT_TRUE(answers.ReferencesOf(-1).empty());
  EXPECT_EQ(ReplyAnswers().Count(), 0);
}

TEST(ReplyAnswersTest, RangesStopAtTheSelectionLimit) {
  std::vector<std::string> messages(1002, "x");
  messages[1000] = "&gt;&gt;1-100";
  messages[1001] = "&gt;&gt;201-301";
  const ReplyAnswers ranges(Thread(messages));
  EXPECT_EQ(Numbers(ranges.AnswersTo(100)), std::vector<int>{1001}) << "100 replies still answer";
  EXPECT_TRUE(ranges.AnswersTo(201).empty()) << "101 replies are a call to everyone";

  messages[1001] = "&gt;&gt;999-1002";
  const ReplyAnswers answers(Thread(messages));
  EXPECT_TRUE(answers.AnswersTo(999).empty()) << "a range past 1000 selects nothing";
  messages[1001] = "&gt;&gt;999-";
  const ReplyAnswers open(Thread(messages));
  EXPECT_EQ(Numbers(open.AnswersTo(1000)), std::vector<int>{1002});
  EXPECT_TRUE(open.AnswersTo(1001).empty());
}

}  // namespace
}  // namespace velkor
