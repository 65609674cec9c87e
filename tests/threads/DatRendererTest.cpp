#include "threads/DatRenderer.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "support/TempDataDir.h"
#include "threads/Skin.h"

namespace velkor {
namespace {

using test::S;

struct SplitCase {
  const char* name;
  const char* line;
  const char* fields[4];   // nullptr: the broken-field text
  const char* rawMessage;  // nullptr: same as fields[3]
};

void PrintTo(const SplitCase& c, std::ostream* os) {
  *os << c.name;
}

class SplitDatLineTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitDatLineTest, Splits) {
  const SplitCase& c = GetParam();
  auto expect = [&](const char* text) { return text ? S(text) : BrokenFieldText(); };
  DatFields fields = SplitDatLine(S(c.line));
  EXPECT_EQ(fields.name, expect(c.fields[0]));
  EXPECT_EQ(fields.mail, expect(c.fields[1]));
  EXPECT_EQ(fields.date, expect(c.fields[2]));
  EXPECT_EQ(fields.message, expect(c.fields[3]));
  DatFields raw = SplitDatLineRaw(S(c.line));
  EXPECT_EQ(raw.name, fields.name);
  EXPECT_EQ(raw.message, expect(c.rawMessage ? c.rawMessage : c.fields[3]));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SplitDatLineTest,
    testing::Values(
        SplitCase{"Complete",
                  "名無し<>sage<>2026/12/07<> 本文 <>スレ",
                  {"名無し", "sage", "2026/12/07", " 本文 "},
                  nullptr},
        SplitCase{"NoFourthSeparator", "a<>b<>c<>d", {"a", "b", "c", nullptr}, nullptr},
        SplitCase{"NoThirdSeparator", "a<>b<>c", {"a", "b", nullptr, nullptr}, nullptr},
        SplitCase{"NoSeparator", "abc", {nullptr, nullptr, nullptr, nullptr}, nullptr},
        SplitCase{"Empty", "", {nullptr, nullptr, nullptr, nullptr}, nullptr},
        SplitCase{"EmptyFields", "<><><><>", {"", "", "", ""}, nullptr},
        SplitCase{"NbspEntity",
                  "a<>b<>c<>x&ampnbsp;y&ampnbsp;<>",
                  {"a", "b", "c", "x&nbsp;y&nbsp;"},
                  "x&ampnbsp;y&ampnbsp;"},
        SplitCase{"NbspOnlyWhenComplete",
                  "a<>b<>x&ampnbsp;<>",
                  {"a", "b", "x&ampnbsp;", nullptr},
                  nullptr},
        SplitCase{"TripInName", "</b>◆abc<b><><>d<>m<>", {"</b>◆abc<b>", "", "d", "m"}, nullptr}),
    [](const testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

TEST(SplitDatLineTest, BrokenCharacterBeforeASeparatorKeepsTheSeparator) {
  DatFields fields = SplitDatLine("n\x82<>m<>d<>x<>");
  EXPECT_EQ(fields.name, "n\x82");
  EXPECT_EQ(fields.mail, "m");
  EXPECT_EQ(fields.message, "x");
}

// A skin whose templates show plainly which template rendered which reply.
Skin MarkerSkin() {
  Skin skin;
  skin.header = "H[<&TITLE>]";
  skin.res = "R<PLAINNUMBER/>;";
  skin.newRes = "N<PLAINNUMBER/>;";
  skin.bookmark = "B";
  skin.footer = "F";
  return skin;
}

ReplyList Replies(int count) {
  ReplyList replies;
  for (int k = 1; k <= count; ++k) replies.Add("n", "", "d", "m" + std::to_string(k));
  return replies;
}

std::string Reply(char kind, int k) {
  return "<a name=\"a" + std::to_string(k) + "\"></a>" + kind + std::to_string(k) + ";";
}

constexpr const char* kMarker = "<a name=\"midoku\"></a>B";

TEST(RenderPageTest, FoldsReadRepliesToTheFirstAndTheLastOldShown) {
  const ReplyList replies = Replies(123);
  std::string expected = "H[t]" + Reply('R', 1);
  for (int k = 71; k <= 120; ++k) expected += Reply('R', k);
  expected += kMarker;
  for (int k = 121; k <= 123; ++k) expected += Reply('N', k);
  expected += "F";
  EXPECT_EQ(RenderPage(MarkerSkin(), replies, "t", 121, 50), expected);
}

TEST(RenderPageTest, NothingReadPutsTheMarkerAfterTheHeader) {
  EXPECT_EQ(RenderPage(MarkerSkin(), Replies(2), "", 1, 50),
            std::string("H[]") + kMarker + Reply('N', 1) + Reply('N', 2) + "F");
}

TEST(RenderPageTest, EverythingReadPutsTheMarkerBeforeTheFooter) {
  const std::string expected = "H[]" + Reply('R', 1) + Reply('R', 2) + kMarker + "F";
  EXPECT_EQ(RenderPage(MarkerSkin(), Replies(2), "", 3, 50), expected);
  EXPECT_EQ(RenderPage(MarkerSkin(), Replies(2), "", 99, 50), expected);
  EXPECT_EQ(RenderPage(MarkerSkin(), Replies(2), "", INT_MAX, INT_MAX), expected);
}

struct FoldCase {
  const char* name;
  int firstUnread;
  int oldShown;
  const char* shownRead;  // reply numbers rendered with Res, in order
};

void PrintTo(const FoldCase& c, std::ostream* os) {
  *os << c.name;
}

class RenderFoldTest : public testing::TestWithParam<FoldCase> {};

TEST_P(RenderFoldTest, ShowsTheRightReadReplies) {
  const FoldCase& c = GetParam();
  std::string page = RenderPage(MarkerSkin(), Replies(10), "", c.firstUnread, c.oldShown);
  std::string shown;
  for (std::size_t pos = page.find("></a>R"); pos != std::string::npos;
       pos = page.find("></a>R", pos + 1)) {
    shown += page.substr(pos + 6, page.find(';', pos) - pos - 6) + " ";
  }
  EXPECT_EQ(shown, c.shownRead);
  EXPECT_NE(page.find(kMarker), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Folding, RenderFoldTest,
    testing::Values(FoldCase{"AllShownWhenOldShownIsZero", 8, 0, "1 2 3 4 5 6 7 "},
                    FoldCase{"AllShownWhenOldShownCoversThem", 8, 7, "1 2 3 4 5 6 7 "},
                    FoldCase{"FirstAndLastThree", 8, 3, "1 5 6 7 "},
                    FoldCase{"FirstAndLastOne", 8, 1, "1 7 "},
                    FoldCase{"OnlyOneAfterTheFirst", 3, 1, "1 2 "},
                    FoldCase{"NegativeOldShownShowsAll", 4, -5, "1 2 3 "},
                    FoldCase{"ZeroFirstUnreadMeansNothingRead", 0, 50, ""},
                    FoldCase{"NegativeFirstUnread", INT_MIN, 50, ""}),
    [](const testing::TestParamInfo<FoldCase>& info) { return std::string(info.param.name); });

TEST(RenderPageTest, EmptyListGivesTheEmptyPage) {
  EXPECT_EQ(RenderPage(MarkerSkin(), ReplyList(), "t", 1, 50), "");
}

TEST(RenderPageTest, TitleReplacesEveryTitleTag) {
  Skin skin = MarkerSkin();
  skin.header = S("<title><&TITLE></title><h1><&TITLE></h1>");
  std::string page = RenderPage(skin, Replies(1), S("スレ"), 1, 50);
  EXPECT_EQ(page.rfind(S("<title>スレ</title><h1>スレ</h1>"), 0), 0u);
}

TEST(RenderPageTest, ResAndNewResTemplatesAreIndependent) {
  Skin skin = MarkerSkin();
  skin.res = "<dd><MESSAGE/>";
  EXPECT_EQ(RenderPage(skin, Replies(2), "", 2, 50),
            "H[]<a name=\"a1\"></a><dd>m1" + std::string(kMarker) + Reply('N', 2) + "F");
}

TEST(RenderPageTest, EmptyBookmarkLeavesOnlyTheAnchor) {
  Skin skin = MarkerSkin();
  skin.bookmark = "";
  EXPECT_EQ(RenderPage(skin, Replies(1), "", 2, 50),
            "H[]" + Reply('R', 1) + "<a name=\"midoku\"></a>F");
}

TEST(RenderReplyTest, DefaultTemplate) {
  EXPECT_EQ(RenderReply(Skin().res, S("名無し"), "sage", "2026/12/07", "hi", 12),
            S("<a name=\"a12\"></a><dt><a href=\"menu:12\">12</a> <font color=green>名無し</b>"
              "</font> [<font color=blue>sage</b></font>] 2026/12/07<dd>hi<br><br>"));
}

struct MailNameCase {
  const char* name;
  const char* mail;
  const char* expected;
};

void PrintTo(const MailNameCase& c, std::ostream* os) {
  *os << c.name;
}

class MailNameTest : public testing::TestWithParam<MailNameCase> {};

TEST_P(MailNameTest, BoldNameLinksToTheMail) {
  EXPECT_EQ(RenderReply("<MAILNAME/>", "N", GetParam().mail, "", "", 1),
            std::string("<a name=\"a1\"></a>") + GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Mail, MailNameTest,
    testing::Values(MailNameCase{"WithMail", "sage", "<a href=\"mailto:sage\"><b>N</b></a>"},
                    MailNameCase{"Empty", "", "<b>N</b>"},
                    MailNameCase{"SingleSpace", " ", "<b>N</b>"},
                    MailNameCase{"TwoSpaces", "  ", "<a href=\"mailto:  \"><b>N</b></a>"}),
    [](const testing::TestParamInfo<MailNameCase>& info) { return std::string(info.param.name); });

TEST(RenderReplyTest, EveryTagEveryTime) {
  EXPECT_EQ(
      RenderReply("<NUMBER/>|<PLAINNUMBER/>|<NAME/>|<MAIL/>|<DATE/>|<MESSAGE/>|<PLAINNUMBER/>", "n",
                  "m", "d", "x", 7),
      "<a name=\"a7\"></a><a href=\"menu:7\">7</a>|7|n|m|d|x|7");
}

TEST(RenderReplyTest, TagTextsInTheMessageStay) {
  EXPECT_EQ(RenderReply("<MESSAGE/>", "n", "m", "d", "<NAME/><DATE/>", 1),
            "<a name=\"a1\"></a><NAME/><DATE/>");
}

TEST(RenderReplyTest, TagTextsInEarlierFieldsAreReplacedInTurn) {
  EXPECT_EQ(RenderReply("<NAME/>", "a<DATE/>b", "", "D", "", 1), "<a name=\"a1\"></a>aDb");
}

TEST(RenderReplyTest, FieldsRepeatingTagTextsAFewTimesExpandFully) {
  std::string name;
  for (int i = 0; i < 10; ++i) name += "<DATE/>";
  const std::string date(100, 'D');
  std::string expected = "<a name=\"a1\"></a>";
  for (int i = 0; i < 10; ++i) expected += date;
  EXPECT_EQ(RenderReply("<NAME/>", name, "", date, "", 1), expected);
}

TEST(RenderReplyTest, FieldsRepeatingTagTextsCannotBlowUpThePage) {
  std::string name;
  for (int i = 0; i < 20000; ++i) name += "<MESSAGE/>";
  const std::string message(100000, 'x');
  std::string reply = RenderReply("<NAME/><MESSAGE/>", name, "", "", message, 1);
  // Unbounded, the name's tags would make 20000 copies of the message (2 GB); a template with few
  // tags gets at most sixteen field-sized insertions plus the template itself.
  EXPECT_LE(reply.size(), 16 * (name.size() + message.size() + 64) + 64);
  EXPECT_NE(reply.find(message), std::string::npos);
}

TEST(LoadRepliesTest, ConvertsEachLineAndCountsBrokenLines) {
  test::TempDataDir dir;
  dir.WriteFile("t.dat", S("名無し<>sage<>d1<> <a href=\"../test/read.cgi/b/1/2\">&gt;&gt;2</a> "
                           "ttp://example.com/&ampnbsp;<>スレ\r\n"
                           "\r\n"
                           "a<>b<>c\n"
                           "x<>y<>z<>last<>"));
  ReplyList replies;
  ASSERT_TRUE(LoadReplies(replies, dir.Path() + "/t.dat"));
  ASSERT_EQ(replies.Count(), 4);
  EXPECT_EQ(replies.Name(1), S("名無し"));
  EXPECT_EQ(replies.Message(1),
            " <a href=\"#a2,\">&gt;&gt;2 </a>"
            "<a href=\"http://example.com/&nbsp;\">ttp://example.com/&nbsp;</a>");
  EXPECT_EQ(replies.Name(2), BrokenFieldText());
  EXPECT_EQ(replies.Message(2), BrokenFieldText());
  EXPECT_EQ(replies.Date(3), BrokenFieldText());
  EXPECT_EQ(replies.Message(4), "last");
}

// The anchors of a page: what each "<a" tag (any case) names with a `name` or `id` attribute
// (quoted attribute values read as a whole).
std::vector<std::string> AnchorNames(const std::string& page) {
  static const std::regex anchor(
      R"(<a\b(?:"[^"]*"|'[^']*'|[^>"'])*?[\s/](?:name|id)\s*=\s*["']?([^"' >]*))",
      std::regex::icase);
  std::vector<std::string> names;
  for (auto it = std::sregex_iterator(page.begin(), page.end(), anchor);
       it != std::sregex_iterator(); ++it) {
    names.push_back((*it)[1]);
  }
  return names;
}

struct PlantCase {
  const char* name;
  int field;  // 0 name, 1 mail, 2 date, 3 message
  const char* planted;
};

void PrintTo(const PlantCase& c, std::ostream* os) {
  *os << c.name;
}

class PlantedMarkerTest : public testing::TestWithParam<PlantCase> {};

// A log cannot plant an unread marker of its own, in any field and any letter case: the page holds
// the renderer's marker once, before the first unread reply, and its reply anchors only.
TEST_P(PlantedMarkerTest, ThePageHoldsExactlyOneMarker) {
  const PlantCase& c = GetParam();
  std::string fields[4] = {"n", "m", "d", "text"};
  fields[c.field] = std::string("x") + c.planted + " y</A>z";
  ReplyList replies;
  LoadRepliesFromText(replies, "a<>b<>c<>first<>t\n" + fields[0] + "<>" + fields[1] + "<>" +
                                   fields[2] + "<>" + fields[3] + "<>\nq<><>e<>last<>\n");
  Skin skin;
  skin.res = skin.newRes = "<dt><NUMBER/> <MAILNAME/> [<MAIL/>] <DATE/><dd><MESSAGE/><br><br>";
  const std::string page = RenderPage(skin, replies, "t", 3, 50);
  EXPECT_EQ(AnchorNames(page), (std::vector<std::string>{"a1", "a2", "midoku", "a3"})) << page;
}

INSTANTIATE_TEST_SUITE_P(
    Fields, PlantedMarkerTest,
    testing::Values(PlantCase{"UpperCaseInTheMessage", 3, "<A NAME=\"midoku\">"},
                    PlantCase{"LowerCaseInTheName", 0, "<a name=\"midoku\">"},
                    PlantCase{"MixedCaseInTheDate", 2, "<A name=midoku>"},
                    PlantCase{"IdInTheMail", 1, "<a id='midoku'>"},
                    PlantCase{"AttributeBreakingOutOfTheMailLink", 1, "\" name=\"midoku"},
                    PlantCase{"SlashForBlankInTheMessage", 3, "<A/NAME=midoku>"}),
    [](const testing::TestParamInfo<PlantCase>& info) { return std::string(info.param.name); });

TEST(LoadRepliesTest, UnreadableLogLeavesAnEmptyList) {
  test::TempDataDir dir;
  ReplyList replies = Replies(3);
  EXPECT_FALSE(LoadReplies(replies, dir.Path() + "/missing.dat"));
  EXPECT_EQ(replies.Count(), 0);
  EXPECT_EQ(RenderThreadLog(dir.Path() + "/missing.dat", "t", 1, 50), "");
}

TEST(LoadRepliesTest, RenderThreadLogUsesTheProcessSkin) {
  test::TempDataDir dir;
  dir.WriteFile("t.dat", "n<>m<>d<>hello<>\n");
  const std::string page = RenderThreadLog(dir.Path() + "/t.dat", "T", 1, 50);
  EXPECT_EQ(page.rfind(AppSkin().header, 0), 0u);
  EXPECT_NE(page.find("<a name=\"midoku\"></a>" + AppSkin().bookmark + "<a name=\"a1\"></a>"),
            std::string::npos);
  EXPECT_NE(page.find("hello"), std::string::npos);
}

}  // namespace
}  // namespace velkor
