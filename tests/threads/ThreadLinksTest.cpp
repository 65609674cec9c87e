#include "threads/ThreadLinks.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "app/DataDir.h"
#include "base/FileUtil.h"
#include "support/TempDataDir.h"
#include "threads/DatRenderer.h"
#include "threads/NgRuleFile.h"
#include "threads/PopupAnchors.h"
#include "threads/StoredThreadPopups.h"

namespace velkor {
namespace {

using test::S;

constexpr const char* kStored = "http://host.example/test/read.cgi/board/100";

// A data directory with one stored thread (host.example/board/100.dat) and its subject.ini, and the
// replies of the thread a tab shows.
class ThreadLinksTest : public testing::Test {
 protected:
  void SetUp() override {
    boardDir_ = LogDir() + "/host.example/board/";
    dir_.WriteFile("log/host.example/board/100.dat",
                   "one<><>d1<>first reply<>" + S("スレの題") + "\nbob<>sage<>d2<>second<>\n");
    dir_.WriteFile("log/host.example/board/subject.ini",
                   "[100.dat]\r\nTitle=" + S("保存済み") +
                       "\r\nUnread=2\r\n\r\n[555.dat]\r\nTitle=" + S("未取得") + "\r\n\r\n");
    LoadRepliesFromText(replies_, "a<>m@x<>d1<>hello<br>world<>t\nb<><>d2<>bye<>\n");
  }

  test::TempDataDir dir_;
  std::string boardDir_;
  ReplyList replies_;
};

struct LinkCase {
  const char* name;
  std::string url;
  LinkAction::Kind kind;
  int menuNumber;
  const char* anchor;
};

void PrintTo(const LinkCase& c, std::ostream* os) {
  *os << c.name;
}

class ClassifyLinkTest : public ThreadLinksTest, public testing::WithParamInterface<LinkCase> {};

TEST_P(ClassifyLinkTest, TellsWhatAFollowedLinkMeans) {
  const LinkCase& c = GetParam();
  const LinkAction action = ClassifyLink(c.url);
  EXPECT_EQ(action.kind, c.kind);
  EXPECT_EQ(action.menuNumber, c.menuNumber);
  EXPECT_EQ(action.anchor, c.anchor);
  if (c.kind == LinkAction::kExternal) {
    EXPECT_EQ(action.url, c.url);
  }
}

const std::string kStoredUrl = kStored;

INSTANTIATE_TEST_SUITE_P(
    Links, ClassifyLinkTest,
    testing::Values(
        LinkCase{"BlankPage", "about:blank", LinkAction::kNone, 0, ""},
        LinkCase{"ReplyNumber", "menu:12", LinkAction::kMenu, 12, ""},
        LinkCase{"ReplyNumberNotANumber", "menu:12x", LinkAction::kMenu, 0, ""},
        LinkCase{"EmptyReplyNumber", "menu:", LinkAction::kMenu, 0, ""},
        LinkCase{"UnreadMarker", "about:blank#midoku", LinkAction::kJump, 0, "midoku"},
        LinkCase{"ShowAll", "about:blank#all", LinkAction::kShowAll, 0, ""},
        LinkCase{"ReplyRange", "about:blank#a12-15", LinkAction::kJump, 0, "a12"},
        LinkCase{"NegativeReply", "about:blank#a-5", LinkAction::kJump, 0, "a5"},
        LinkCase{"ReplyList", "about:blank#a3,,5", LinkAction::kJump, 0, "a3"},
        LinkCase{"StoredThreadWithoutAnchor", kStoredUrl, LinkAction::kOpenThread, 0, "midoku"},
        LinkCase{"StoredThreadWithSlash", kStoredUrl + "/", LinkAction::kOpenThread, 0, "midoku"},
        LinkCase{"StoredThreadLastReplies", kStoredUrl + "/l50", LinkAction::kOpenThread, 0,
                 "midoku"},
        LinkCase{"StoredThreadReplyRange", kStoredUrl + "/12-15", LinkAction::kOpenThread, 0,
                 "a12"},
        LinkCase{"StoredThreadWithoutFirstReply", kStoredUrl + "/n7", LinkAction::kOpenThread, 0,
                 "a7"},
        LinkCase{"ThreadNotStored", "http://host.example/test/read.cgi/board/999/",
                 LinkAction::kExternal, 0, ""},
        LinkCase{"ThreadPathLeavingTheLogTree", "http://host.example/test/read.cgi/../100",
                 LinkAction::kExternal, 0, ""},
        LinkCase{"OtherPage", "http://example.com/x.html", LinkAction::kExternal, 0, ""}),
    [](const testing::TestParamInfo<LinkCase>& info) { return std::string(info.param.name); });

// A stored thread opens with the title and reading position of its subject.ini section.
TEST_F(ThreadLinksTest, StoredThreadCarriesItsState) {
  const LinkAction action = ClassifyLink(std::string(kStored) + "/5");
  EXPECT_EQ(action.kind, LinkAction::kOpenThread);
  EXPECT_EQ(action.boardDir, boardDir_);
  EXPECT_EQ(action.datName, "100.dat");
  EXPECT_EQ(action.title, S("保存済み"));
  EXPECT_EQ(action.firstUnread, 2);
}

TEST(ExternalLinkTest, OnlyWebFtpAndMailLinksLeaveTheProgram) {
  for (const char* url :
       {"http://example.com/", "HTTPS://example.com/", "ftp://example.com/f", "mailto:a@b"}) {
    EXPECT_TRUE(IsExternalLinkAllowed(url)) << url;
  }
  for (const char* url : {"file:///etc/passwd", "javascript:alert(1)", "x.html"}) {
    EXPECT_FALSE(IsExternalLinkAllowed(url)) << url;
  }
}

struct HoverCase {
  const char* name;
  std::string status;
  HoverAction::Kind kind;
  const char* text;  // UTF-8
};

void PrintTo(const HoverCase& c, std::ostream* os) {
  *os << c.name;
}

class HoverPopupTest : public ThreadLinksTest, public testing::WithParamInterface<HoverCase> {};

TEST_P(HoverPopupTest, ShowsKeepsOrHides) {
  const HoverCase& c = GetParam();
  const HoverAction action = HoverPopup(replies_, c.status, 40);
  EXPECT_EQ(action.kind, c.kind);
  EXPECT_EQ(action.text, S(c.text));
  const HoverAction unfiltered = FilteredHoverPopup(replies_, nullptr, c.status, 40);
  EXPECT_EQ(unfiltered.kind, c.kind) << "no rule: the same pop-up";
  EXPECT_EQ(unfiltered.text, S(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Links, HoverPopupTest,
    testing::Values(HoverCase{"LeftTheLink", "", HoverAction::kHide, ""},
                    HoverCase{"Mail", "mailto:m@x", HoverAction::kShow, "m@x"},
                    HoverCase{"ShowAllLink", "about:blank#all", HoverAction::kKeep, ""},
                    HoverCase{"ReplyInPage", "about:blank#a2", HoverAction::kShow,
                              "2 名前：b メール： 投稿日：d2\r\nbye"},
                    HoverCase{"ReplyNotInPage", "about:blank#a9", HoverAction::kHide, ""},
                    HoverCase{"UnreadMarkerLink", "about:blank#midoku", HoverAction::kHide, ""},
                    HoverCase{"StoredThread", kStoredUrl + "/", HoverAction::kShow,
                              "スレの題\r\n\r\n1 名前：one メール： 投稿日：d1\r\nfirst reply"},
                    HoverCase{"StoredThreadReply", kStoredUrl + "/2", HoverAction::kShow,
                              "スレの題\r\n\r\n2 名前：bob メール：sage 投稿日：d2\r\nsecond"},
                    HoverCase{"ThreadNeverFetched", "http://host.example/test/read.cgi/board/555/",
                              HoverAction::kShow, "未取得"},
                    HoverCase{"ThreadUnknown", "http://host.example/test/read.cgi/board/556/",
                              HoverAction::kHide, ""},
                    HoverCase{"ThreadPathLeavingTheLogTree",
                              "http://host.example/test/read.cgi/../555/", HoverAction::kHide, ""},
                    HoverCase{"ReplyNumber", "menu:3", HoverAction::kHide, ""},
                    HoverCase{"OtherPage", "http://example.com/", HoverAction::kHide, ""}),
    [](const testing::TestParamInfo<HoverCase>& info) { return std::string(info.param.name); });

// With rules, a reply of this page pops up as the rules leave it, and a stored thread's replies
// are judged by the rules of its own board; a pop-up left empty is hidden.
TEST_F(ThreadLinksTest, FilteredHoverPopupAppliesEachThreadsRules) {
  const NgOutcome shown =
      NgFilter({NgRule{NgKind::kWord, "bye", "", true, false}}, "").Apply(replies_);
  EXPECT_EQ(FilteredHoverPopup(replies_, &shown, "about:blank#a2", 40).kind, HoverAction::kHide);
  EXPECT_EQ(FilteredHoverPopup(replies_, &shown, "about:blank#a1-2", 40).text,
            S("1 名前：a メール：m@x 投稿日：d1\r\nhello\r\nworld"));

  ASSERT_TRUE(AddNgRuleToFile(NgRuleFile::DefaultPath(),
                              NgRule{NgKind::kName, "bob", "host.example/board", false, false})
                  .IsOk());
  EXPECT_EQ(FilteredHoverPopup(replies_, nullptr, kStoredUrl + "/2", 40).text,
            S("スレの題\r\n\r\n2 名前：あぼーん メール：あぼーん 投稿日：あぼーん\r\nあぼーん"));
  // Anchors inside that pop-up show the other thread's replies under the same rules.
  StoredThreadPopups popups(boardDir_ + "100.dat");
  EXPECT_EQ(popups.PopupText("1-2", 40),
            S("1 名前：one メール： 投稿日：d1\r\nfirst reply\r\n\r\n"
              "2 名前：あぼーん メール：あぼーん 投稿日：あぼーん\r\nあぼーん"));
}

struct AnchorCase {
  const char* name;
  const char* text;                   // UTF-8
  std::vector<std::string> expected;  // "offset:length:spec"
};

void PrintTo(const AnchorCase& c, std::ostream* os) {
  *os << c.name;
}

class PopupAnchorsTest : public testing::TestWithParam<AnchorCase> {};

// Anchors of a pop-up text, found as the page links them, at their places in the plain text.
TEST_P(PopupAnchorsTest, FindsAnchorsAtTheirPlaces) {
  std::vector<std::string> found;
  for (const PopupTextAnchor& anchor : FindPopupAnchors(S(GetParam().text))) {
    found.push_back(std::to_string(anchor.offset) + ":" + std::to_string(anchor.length) + ":" +
                    anchor.spec);
  }
  EXPECT_EQ(found, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PopupAnchorsTest,
    testing::Values(AnchorCase{"None", "1 name\nno anchors > here", {}},
                    AnchorCase{"MarkupCharactersAndARunOfMarkers", "a&b<c>>>12\n", {"5:5:12"}},
                    AnchorCase{"FullWidthRangeAndList",
                               "x ＞＞１２－１５ and >>3,5",
                               {"2:15:12-15,", "21:5:3,5"}},
                    AnchorCase{"EndsAtTheLinesEnd", ">>7\n8", {"0:3:7"}},
                    AnchorCase{"ZeroIsNoAnchor", ">>0 >>", {}}),
    [](const testing::TestParamInfo<AnchorCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor
