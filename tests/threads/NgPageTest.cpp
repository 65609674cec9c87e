#include "threads/NgPage.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "support/TempDataDir.h"
#include "threads/DatRenderer.h"
#include "threads/PopupText.h"

namespace velkor {
namespace {

using test::S;

Skin TestSkin() {
  Skin skin;
  skin.header = "<&TITLE>|";
  skin.res = "R<PLAINNUMBER/>:<NAME/>:<MESSAGE/>|";
  skin.newRes = "N<PLAINNUMBER/>:<MESSAGE/>|";
  skin.bookmark = "B|";
  skin.footer = "F";
  return skin;
}

// Six replies "m1" ... "m6"; `marks` gives each reply's verdict: '-' shown, 'A' あぼーん, 'H'
// hidden.
NgOutcome Outcome(const std::string& marks) {
  NgOutcome outcome;
  for (std::size_t i = 0; i < marks.size(); ++i) {
    const std::string k = std::to_string(i + 1);
    if (marks[i] == '-') {
      outcome.replies.Add("n" + k, "", "d" + k, "m" + k);
      outcome.verdicts.push_back(NgVerdict::kShown);
    } else {
      outcome.replies.Add(AboneText(), AboneText(), AboneText(), AboneText());
      outcome.verdicts.push_back(marks[i] == 'A' ? NgVerdict::kAbone : NgVerdict::kHidden);
    }
  }
  return outcome;
}

struct PageCase {
  const char* name;
  const char* marks;
  int firstUnread;
  int oldShown;
  const char* page;  // UTF-8; "a{k}" stands for the anchor <a name="a{k}"></a>, "M" for midoku
};

void PrintTo(const PageCase& c, std::ostream* os) {
  *os << c.name;
}

std::string Expand(std::string_view shorthand) {
  std::string page;
  for (std::size_t i = 0; i < shorthand.size(); ++i) {
    if (shorthand[i] == '@') {
      page += "<a name=\"a";
      page += shorthand[++i];
      page += "\"></a>";
    } else if (shorthand[i] == 'M') {
      page += "<a name=\"midoku\"></a>";
    } else {
      page += shorthand[i];
    }
  }
  return S(page);
}

class RenderFilteredPageTest : public testing::TestWithParam<PageCase> {};

TEST_P(RenderFilteredPageTest, Renders) {
  const NgOutcome outcome = Outcome(GetParam().marks);
  const std::string page =
      RenderFilteredPage(TestSkin(), outcome, "T", GetParam().firstUnread, GetParam().oldShown);
  EXPECT_EQ(page, Expand(GetParam().page));
  if (!outcome.AnyHidden()) {
    EXPECT_EQ(page, RenderPage(TestSkin(), outcome.replies, "T", GetParam().firstUnread,
                               GetParam().oldShown));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, RenderFilteredPageTest,
    testing::Values(
        PageCase{"AboneKeepsNumberAndTemplate", "-A-", 3, 0,
                 "T|@1R1:n1:m1|@2R2:あぼーん:あぼーん|MB|@3N3:m3|F"},
        PageCase{"HiddenLeavesItsAnchor", "-HA", 2, 0, "T|@1R1:n1:m1|MB|@2@3N3:あぼーん|F"},
        PageCase{"HiddenAmongFoldedReadReplies", "H--H--", 6, 2, "T|@1@4@5R5:n5:m5|MB|@6N6:m6|F"},
        PageCase{"AllHidden", "HH", 1, 50, "T|MB|@1@2F"}),
    [](const testing::TestParamInfo<PageCase>& info) { return std::string(info.param.name); });

TEST(NgPopupTest, HiddenRepliesAreLeftOutOfPopups) {
  const NgOutcome outcome = Outcome("-HA");
  EXPECT_EQ(BuildFilteredPopupText(outcome, "1-3", 100),
            BuildPopupText(outcome.replies, "1,3", 100));
  EXPECT_EQ(BuildFilteredPopupText(outcome, "2", 100), "");
  const NgOutcome shown = Outcome("-A-");
  EXPECT_EQ(BuildFilteredPopupText(shown, "l50", 100), BuildPopupText(shown.replies, "l50", 100));
}

struct LogPopupCase {
  const char* name;
  NgRule rule;
  const char* spec;
  const char* popup;  // UTF-8
};

void PrintTo(const LogPopupCase& c, std::ostream* os) {
  *os << c.name;
}

class NgLogPopupTest : public testing::TestWithParam<LogPopupCase> {};

TEST_P(NgLogPopupTest, FiltersTheLog) {
  const std::string log =
      S("n1<>m<>d1<>宣伝<>スレ題\r\nn2<><>d2<>&gt;&gt;1 x<>\n"
        "n3<><>d3<>y<>\n");
  NgRule rule = GetParam().rule;
  rule.pattern = S(rule.pattern);
  const NgFilter filter({rule}, "");
  EXPECT_EQ(BuildFilteredPopupTextFromLogText(log, filter, GetParam().spec, 100),
            S(GetParam().popup));
}

INSTANTIATE_TEST_SUITE_P(
    Logs, NgLogPopupTest,
    testing::Values(
        LogPopupCase{"NoMatchIsUnchanged",
                     {NgKind::kWord, "zzz", "", false, false},
                     "1-3",
                     "スレ題\r\n\r\n1 名前：n1 メール：m 投稿日：d1\r\n宣伝\r\n\r\n"
                     "2 名前：n2 メール： 投稿日：d2\r\n>>1 x\r\n\r\n"
                     "3 名前：n3 メール： 投稿日：d3\r\ny"},
        LogPopupCase{
            "AboneKeepsTheTitle",
            {NgKind::kWord, "宣伝", "", false, false},
            "",
            "スレ題\r\n\r\n1 名前：あぼーん メール：あぼーん 投稿日：あぼーん\r\nあぼーん"},
        LogPopupCase{"HiddenFirstReplyLeavesTheTitle",
                     {NgKind::kWord, "宣伝", "", true, false},
                     "midoku",
                     "スレ題"},
        LogPopupCase{"HiddenChainLeavesTheRest",
                     {NgKind::kWord, "宣伝", "", true, true},
                     "1-3",
                     "スレ題\r\n\r\n3 名前：n3 メール： 投稿日：d3\r\ny"}),
    [](const testing::TestParamInfo<LogPopupCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor
