#include "threads/PopupText.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "base/Sjis.h"
#include "support/TempDataDir.h"
#include "threads/DatRenderer.h"

namespace velkor {
namespace {

using test::S;

ReplyList Thread(int count) {
  ReplyList replies;
  for (int k = 1; k <= count; ++k) {
    replies.Add(S("名無し"), "sage", "d" + std::to_string(k), " m" + std::to_string(k) + " ");
  }
  return replies;
}

std::size_t CountLines(const std::string& text) {
  if (text.empty()) return 0;
  std::size_t lines = 1;
  for (std::size_t pos = text.find("\r\n"); pos != std::string::npos;
       pos = text.find("\r\n", pos + 2)) {
    ++lines;
  }
  return lines;
}

TEST(BuildPopupTextTest, HeadingMessageLinesAndEmptyLineBetweenReplies) {
  ReplyList replies;
  replies.Add(S("</b>◆trip<b>"), "", "d", " a <br> <a href=\"#a1\">&gt;&gt;1</a> ");
  replies.Add("n", "m", "e", "&lt;x&gt; &quot;q&quot;&nbsp;&amp;");
  EXPECT_EQ(BuildPopupText(replies, "1-2", 100),
            S("1 名前：◆trip メール： 投稿日：d\r\n a \r\n >>1 \r\n\r\n"
              "2 名前：n メール：m 投稿日：e\r\n<x> \"q\" &amp;"));
}

struct FinishCase {
  const char* name;
  const char* message;
  const char* expectedBody;  // what follows the heading line
};

void PrintTo(const FinishCase& c, std::ostream* os) {
  *os << c.name;
}

class PopupFinishTest : public testing::TestWithParam<FinishCase> {};

TEST_P(PopupFinishTest, TrimsThenStripsThenReplacesEntities) {
  ReplyList replies;
  replies.Add("n", "m", "d", S(GetParam().message));
  EXPECT_EQ(BuildPopupText(replies, "1", 100),
            S("1 名前：n メール：m 投稿日：d\r\n") + S(GetParam().expectedBody));
}

INSTANTIATE_TEST_SUITE_P(
    Finish, PopupFinishTest,
    testing::Values(FinishCase{"EntitiesAfterTagsAreStripped", "&lt;b&gt;x&lt;/b&gt;", "<b>x</b>"},
                    FinishCase{"BoldRemovedBeforeOtherTags", "<<b>x>y", "y"},
                    FinishCase{"TrailingSpaceFromEntityStays", "x&nbsp; ", "x "},
                    FinishCase{"TrailingLineBreaksGo", "x<br><br> ", "x"},
                    FinishCase{"LeadingSpaceStays", " <br>x", " \r\nx"},
                    FinishCase{"AmpStays", "&amp;lt; &amp;", "&amp;lt; &amp;"},
                    FinishCase{"OnlyTheNbspEntityIsASpace", "&quot;&nbsp;&ampnbsp;",
                               "\" &ampnbsp;"},
                    FinishCase{"LtReplacedBeforeGt", "&lt;gt;", "<gt;"}),
    [](const testing::TestParamInfo<FinishCase>& info) { return std::string(info.param.name); });

TEST(BuildPopupTextTest, SelectsOnlyExistingRepliesInOrder) {
  const ReplyList replies = Thread(5);
  EXPECT_EQ(BuildPopupText(replies, "4,2", 100),
            S("2 名前：名無し メール：sage 投稿日：d2\r\n m2 \r\n\r\n"
              "4 名前：名無し メール：sage 投稿日：d4\r\n m4"));
  EXPECT_EQ(BuildPopupText(replies, "6", 100), "");
  EXPECT_EQ(BuildPopupText(ReplyList(), "1", 100), "");
}

TEST(BuildPopupTextTest, StopsAtExactlyTheLineLimit) {
  const ReplyList replies = Thread(1000);
  const std::string text = BuildPopupText(replies, "1-1000", 40);
  // Three lines per reply: 13 whole replies and the heading of the 14th.
  EXPECT_EQ(CountLines(text), 40u);
  EXPECT_NE(text.rfind(S("14 名前：")), std::string::npos);
  EXPECT_EQ(text.find(S("15 名前：")), std::string::npos);
  EXPECT_EQ(BuildPopupText(replies, "1", 0), "");
  EXPECT_EQ(BuildPopupText(replies, "1", -3), "");
  EXPECT_EQ(BuildPopupText(replies, "1", 1), S("1 名前：名無し メール：sage 投稿日：d1"));
}

TEST(BuildPopupTextTest, NeverLooksPastReplyThousand) {
  const ReplyList replies = Thread(1200);
  EXPECT_EQ(BuildPopupText(replies, "1000-", 100).find(S("1000 名前")), 0u);
  EXPECT_EQ(BuildPopupText(replies, "1001", 100), "");
}

struct SelectionCase {
  const char* name;
  const char* selected;
  const char* firstHeading;  // nullptr: no pop-up
  int replies;
};

void PrintTo(const SelectionCase& c, std::ostream* os) {
  *os << c.name;
}

class SelectionPopupTest : public testing::TestWithParam<SelectionCase> {};

TEST_P(SelectionPopupTest, PopsUpOnlyForReplyNumbers) {
  const SelectionCase& c = GetParam();
  const std::string text = BuildSelectionPopupText(Thread(20), S(c.selected), 1000);
  if (c.firstHeading == nullptr) {
    EXPECT_EQ(text, "");
    return;
  }
  EXPECT_EQ(text.find(S(c.firstHeading)), 0u) << text;
  std::size_t headings = 0;
  for (std::size_t pos = text.find(S(" 名前：")); pos != std::string::npos;
       pos = text.find(S(" 名前："), pos + 1)) {
    ++headings;
  }
  EXPECT_EQ(headings, static_cast<std::size_t>(c.replies));
}

INSTANTIATE_TEST_SUITE_P(
    Selections, SelectionPopupTest,
    testing::Values(SelectionCase{"FullWidthNumber", "１２", "12 名前：", 1},
                    SelectionCase{"FullWidthRange", "１２－１５", "12 名前：", 4},
                    SelectionCase{"WaveDashRange", "3～4", "3 名前：", 2},
                    SelectionCase{"AmpersandList", "1&3", "1 名前：", 2},
                    SelectionCase{"FullWidthList", "２、５＝７", "2 名前：", 3},
                    SelectionCase{"WithWords", "12 abc", nullptr, 0},
                    SelectionCase{"HyphenIsNotInTheSet", "1‐3", nullptr, 0},
                    SelectionCase{"Marker", "&gt;&gt;3", nullptr, 0},
                    SelectionCase{"Empty", "", nullptr, 0},
                    SelectionCase{"NothingSelected", "0", nullptr, 0}),
    [](const testing::TestParamInfo<SelectionCase>& info) { return std::string(info.param.name); });

TEST(SelectionPopupTest, BrokenCharacterGivesNoPopup) {
  EXPECT_EQ(BuildSelectionPopupText(Thread(3), "1\x82", 100), "");
}

class PopupFromLogTest : public testing::Test {
 protected:
  std::string Log() const { return dir.Path() + "/t.dat"; }
  test::TempDataDir dir;
};

TEST_F(PopupFromLogTest, TitleOnTopThenRawFields) {
  dir.WriteFile("t.dat", S("n1<>m<>d1<> <a href=\"x\">&gt;&gt;2</a>&ampnbsp;&nbsp;<>スレの題\n"
                           "n2<><>d2<>two<>\n"));
  EXPECT_EQ(BuildPopupTextFromLog(Log(), "", 100),
            S("スレの題\r\n\r\n1 名前：n1 メール：m 投稿日：d1\r\n >>2 &nbsp;"));
  EXPECT_EQ(BuildPopupTextFromLog(Log(), "midoku", 100), BuildPopupTextFromLog(Log(), "", 100));
  EXPECT_EQ(BuildPopupTextFromLog(Log(), "2", 100),
            S("スレの題\r\n\r\n2 名前：n2 メール： 投稿日：d2\r\ntwo"));
  EXPECT_EQ(BuildPopupTextFromLog(Log(), "2", 1), S("スレの題"));
}

TEST_F(PopupFromLogTest, TitleIsEmptyWithoutAGreaterThan) {
  dir.WriteFile("t.dat", "no separators here\n");
  EXPECT_EQ(BuildPopupTextFromLog(Log(), "1", 100),
            S("\r\n\r\n1 名前：[ここ壊れています？] メール：[ここ壊れています？] "
              "投稿日：[ここ壊れています？]\r\n[ここ壊れています？]"));
}

TEST_F(PopupFromLogTest, MissingLogGivesNoPopup) {
  EXPECT_EQ(BuildPopupTextFromLog(Log(), "1", 100), "");
  dir.WriteFile("t.dat", "");
  EXPECT_EQ(BuildPopupTextFromLog(Log(), "1", 100), "");
}

TEST_F(PopupFromLogTest, LineLimitCountsTheTitle) {
  std::string log;
  for (int k = 1; k <= 50; ++k) log += "n<>m<>d<>x<>title\n";
  dir.WriteFile("t.dat", log);
  const std::string text = BuildPopupTextFromLog(Log(), "1-1000", 10);
  EXPECT_EQ(CountLines(text), 10u);
  const std::string tail = S("3 名前：n メール：m 投稿日：d\r\nx");
  ASSERT_GE(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

struct LogLimitCase {
  const char* name;
  const char* spec;
  int limit;
  const char* expected;
};

void PrintTo(const LogLimitCase& c, std::ostream* os) {
  *os << c.name;
}

class PopupFromLogLimitTest : public testing::TestWithParam<LogLimitCase> {};

// The title lines stay while no reply is added; a reply added over the limit cuts them too.
TEST_P(PopupFromLogLimitTest, TitleLinesAndSmallLimits) {
  test::TempDataDir dir;
  dir.WriteFile("t.dat", S("n<>m<>d<>x<>題\nn2<>m2<>d2<>y<>\n"));
  EXPECT_EQ(BuildPopupTextFromLog(dir.Path() + "/t.dat", GetParam().spec, GetParam().limit),
            S(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Limits, PopupFromLogLimitTest,
    testing::Values(
        LogLimitCase{"NoReplyLimitZero", "5", 0, "題"},
        LogLimitCase{"NoReplyNegativeLimit", "5", -2, "題"},
        LogLimitCase{"NoReplyLimitOne", "5", 1, "題"}, LogLimitCase{"ReplyLimitZero", "1", 0, ""},
        LogLimitCase{"ReplyNegativeLimit", "2", -1, ""},
        LogLimitCase{"ReplyLimitOne", "1", 1, "題"}, LogLimitCase{"ReplyLimitTwo", "1", 2, "題"},
        LogLimitCase{"ReplyLimitThree", "2", 3, "題\r\n\r\n2 名前：n2 メール：m2 投稿日：d2"},
        LogLimitCase{"SecondReplyCutAtItsHeading", "1-2", 6,
                     "題\r\n\r\n1 名前：n メール：m 投稿日：d\r\nx\r\n\r\n"
                     "2 名前：n2 メール：m2 投稿日：d2"}),
    [](const testing::TestParamInfo<LogLimitCase>& info) { return std::string(info.param.name); });

struct StripCase {
  const char* name;
  const char* input;
  const char* expected;
};

void PrintTo(const StripCase& c, std::ostream* os) {
  *os << c.name;
}

class StripTagsTest : public testing::TestWithParam<StripCase> {};

TEST_P(StripTagsTest, RemovesMarkup) {
  EXPECT_EQ(StripTags(S(GetParam().input)), S(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Markup, StripTagsTest,
    testing::Values(StripCase{"Tags", "a<b>c</b><br>d", "acd"},
                    StripCase{"UnterminatedDropsRest", "a<b c", "a"},
                    StripCase{"NoTags", "テキスト > x", "テキスト > x"},
                    StripCase{"EmptyTag", "<>x", "x"},
                    StripCase{"Attributes", "<a href=\"x\">リンク</a>", "リンク"}),
    [](const testing::TestParamInfo<StripCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor

namespace velkor {
namespace {

// Random logs of arbitrary bytes, separators and markup go through loading, rendering and every
// pop-up without reading past their input (the sanitizers watch) and with one reply per line.
TEST(RandomLogTest, AnyBytesRenderAndPopUp) {
  std::mt19937 random(7122026);
  const std::vector<std::string> pieces = {
      "<>",       "<a href=x>", "</a>", "<br>", "&gt;",    "&",          "1",         "-", "\x81",
      "\x81\x84", "http://",    "<",    ">",    "<NAME/>", "<MESSAGE/>", "&ampnbsp;", "l", " "};
  for (int round = 0; round < 300; ++round) {
    std::string log;
    const int length = static_cast<int>(random() % 2000);
    for (int i = 0; i < length; ++i) {
      if (random() % 3 == 0) {
        log += pieces[random() % pieces.size()];
      } else {
        log.push_back(static_cast<char>(random() % 256));
      }
    }
    log.push_back(static_cast<char>(random() % 256));
    ReplyList replies;
    LoadRepliesFromText(replies, log);
    EXPECT_EQ(static_cast<std::size_t>(replies.Count()), SplitLines(log).size());
    const std::string page =
        RenderPage(Skin(), replies, log.substr(0, 10), static_cast<int>(random() % 50) - 5, 3);
    EXPECT_EQ(page.empty(), replies.Count() == 0);
    const std::string spec = log.substr(random() % (log.size() + 1), 8);
    BuildPopupText(replies, spec, static_cast<int>(random() % 60));
    BuildPopupTextFromLogText(log, spec, static_cast<int>(random() % 60));
    BuildSelectionPopupText(replies, spec, 40);
  }
}

}  // namespace
}  // namespace velkor
