#include "boards/BoardCatalog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "app/DataDir.h"
#include "support/RecordingUiHooks.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;
constexpr CatalogCode kImported = CatalogCode::kOk;

// A board menu in the shape the service publishes, with the traps the scanner must step around.
std::string MenuPage() {
  return S(
      "<HTML><HEAD><META http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"
      "<TITLE>BBS MENU</TITLE></HEAD><BODY><font size=2>\r\n"
      "<A HREF=http://www.5ch.io/ TARGET=_top>5chの入り口</A><br>\r\n"
      "<A HREF=http://info.5ch.io/guide/>案内</A><br>\r\n"
      "<BR><BR><B>地震</B><BR>\r\n"
      "<A HREF=http://headline.5ch.io/bbynamazu/>地震headline</A><br>\r\n"
      "<A HREF=http://egg.5ch.io/eq/>地震速報</A><br>\r\n"
      "<BR><BR><B>ニュース</B><BR>\r\n"
      "<A HREF=http://asahi.5ch.io/newsplus/>ニュース速報+</A><br>\r\n"
      "<A HREF=\"http://asahi.5ch.io/quoted/\">引用符付き</A><br>\r\n"
      "<A HREF=http://asahi.5ch.io/extra/ TARGET=_blank>属性付き</A><br>\r\n"
      "<a href=http://asahi.5ch.io/lower/>小文字</a><br>\r\n"
      "<b>小文字見出し</b><br>\r\n"
      "<A HREF=http://www2.5ch.io/w2/>wで始まるホスト</A><br>\r\n"
      "<A HREF=http://www.bbspink.com/pinkw/>ピンクw</A><br>\r\n"
      "<A HREF=http://asahi.5ch.io/noslash>スラッシュなし</A><br>\r\n"
      "<BR><BR><B>他サイト</B><BR>\r\n"
      "<A HREF=http://example.com/other/>外部</A><br>\r\n"
      "<BR><BR><B>危険</B><BR>\r\n"
      "<A HREF=http://evil.5ch.io/../../etc/>上へ</A><br>\r\n"
      "<A HREF=http://evil.5ch.io/a//b/>空の区切り</A><br>\r\n"
      "<A HREF=http://evil%5C.5ch.io/x/>ホストに区切り</A><br>\r\n"
      "<A HREF=http://evil.5ch.io/%2E%2E/>符号化した上へ</A><br>\r\n"
      "</font></BODY></HTML>\r\n");
}

class BoardCatalogTest : public ::testing::Test {
 protected:
  std::string IniPath(const char* name) const { return dir.Path() + "/ini/" + name; }
  std::string ReadIni(const char* name) const { return dir.ReadFile(std::string("ini/") + name); }

  test::TempDataDir dir;
  BoardCatalog catalog;
};

TEST_F(BoardCatalogTest, ImportMenuKeepsHeadingsAndAcceptedLinksInMenuOrder) {
  catalog.Open(IniPath("board.ini"));
  ASSERT_EQ(catalog.ImportMenu(MenuPage()).Code(), kImported);
  EXPECT_EQ(ReadIni("board.ini"), S("[地震]\r\n"
                                    "地震headline=http://headline.5ch.io/bbynamazu/\r\n"
                                    "地震速報=http://egg.5ch.io/eq/\r\n"
                                    "\r\n"
                                    "[ニュース]\r\n"
                                    "ニュース速報+=http://asahi.5ch.io/newsplus/\r\n"
                                    "ピンクw=http://www.bbspink.com/pinkw/\r\n"
                                    "\r\n"
                                    "[他サイト]\r\n"
                                    "\r\n"
                                    "[危険]\r\n"
                                    "\r\n"));
}

TEST_F(BoardCatalogTest, BuildTreeErasesEmptyCategoriesAndWritesTheFile) {
  catalog.Open(IniPath("board.ini"));
  ASSERT_EQ(catalog.ImportMenu(MenuPage()).Code(), kImported);
  ASSERT_TRUE(catalog.BuildTree().IsOk());
  ASSERT_EQ(catalog.Tree().size(), 2u);
  EXPECT_EQ(catalog.Tree()[0].label, S("地震"));
  EXPECT_EQ(catalog.Tree()[0].boards, (std::vector<std::string>{S("地震headline"), S("地震速報")}));
  EXPECT_EQ(catalog.Tree()[1].label, S("ニュース"));
  EXPECT_EQ(catalog.TreeNodeCount(), 1u + 2u + 4u);
  EXPECT_EQ(ReadIni("board.ini").find(S("[他サイト]")), std::string::npos);
  EXPECT_EQ(ReadIni("board.ini").find(S("[危険]")), std::string::npos);

  BoardCatalog reopened;
  reopened.Open(IniPath("board.ini"));
  EXPECT_EQ(reopened.AllUrls(), catalog.AllUrls());
}

TEST_F(BoardCatalogTest, PageWithoutBoardsIsNoMenuAndKeepsTheList) {
  const std::string list = "[c]\r\nn=http://a.5ch.io/b/\r\n\r\n";
  dir.WriteFile("ini/board.ini", list);
  catalog.Open(IniPath("board.ini"));
  EXPECT_EQ(catalog.ImportMenu(S("<B>空</B><A HREF=\"http://a.5ch.io/b/\">x</A>")).Code(),
            CatalogCode::kNotAMenu);
  EXPECT_EQ(ReadIni("board.ini"), list);
  EXPECT_EQ(catalog.AllUrls(), std::vector<std::string>{"http://a.5ch.io/b/"});
}

TEST_F(BoardCatalogTest, Utf8MenuThatIsNoShiftJisIsConvertedFirst) {
  catalog.Open(IniPath("board.ini"));
  ASSERT_EQ(catalog.ImportMenu("<B>ニュース</B><A HREF=https://a.5ch.io/b/>速報＝板</A>").Code(),
            kImported);
  EXPECT_EQ(ReadIni("board.ini"), S("[ニュース]\r\n速報＝板=https://a.5ch.io/b/\r\n\r\n"));
}

struct ScanCase {
  const char* name;
  const char* page;  // UTF-8, converted to CP932
  const char* file;  // expected board.ini, UTF-8
};

void PrintTo(const ScanCase& c, std::ostream* os) {
  *os << c.name;
}

class ImportMenuScanTest : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ImportMenuScanTest, WritesExpectedList) {
  test::TempDataDir dir;
  BoardCatalog catalog;
  catalog.Open(dir.Path() + "/ini/board.ini");
  ASSERT_EQ(catalog.ImportMenu(S(GetParam().page)).Code(), kImported);
  EXPECT_EQ(dir.ReadFile("ini/board.ini"), S(GetParam().file));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ImportMenuScanTest,
    ::testing::Values(
        ScanCase{"PlainLink", "<B>板</B><A HREF=http://a.5ch.io/b/>名前</A>",
                 "[板]\r\n名前=http://a.5ch.io/b/\r\n\r\n"},
        ScanCase{"HrefBytesAreNotChecked", "<B>c</B><A href=http://a.5ch.io/b/>n</A>",
                 "[c]\r\nn=http://a.5ch.io/b/\r\n\r\n"},
        ScanCase{"LinkBeforeFirstHeadingIsLost",
                 "<A HREF=http://a.5ch.io/b/>n</A><B>c</B><A HREF=http://a.5ch.io/d/>m</A>",
                 "[c]\r\nm=http://a.5ch.io/d/\r\n\r\n"},
        ScanCase{"PrimaryHostStartingWithWIsDropped",
                 "<B>c</B><A HREF=http://ww.5ch.io/b/>n</A><A HREF=http://wa.bbspink.com/p/>p</A>",
                 "[c]\r\np=http://wa.bbspink.com/p/\r\n\r\n"},
        ScanCase{"TwoHeadingsMergeWhenEqual",
                 "<B>c</B><A HREF=http://a.5ch.io/b/>n</A><B>C</B><A HREF=http://a.5ch.io/d/>m</A>",
                 "[c]\r\nn=http://a.5ch.io/b/\r\nm=http://a.5ch.io/d/\r\n\r\n"},
        ScanCase{"LineBreaksInNamesAreDropped",
                 "<B> c\r\nd </B><A HREF=http://a.5ch.io/b/> 名\r\n前 </A>",
                 "[ cd ]\r\n名前=http://a.5ch.io/b/\r\n\r\n"},
        ScanCase{"OtherControlBytesInNamesAreKept",
                 "<B>c\td</B><A HREF=http://a.5ch.io/b/>名\t前</A>",
                 "[c\td]\r\n名\t前=http://a.5ch.io/b/\r\n\r\n"},
        ScanCase{"BracketedNameIsTrimmedAroundEquals",
                 "<B>c</B><A HREF=http://a.5ch.io/b/> [名前] </A>",
                 "[c]\r\n[名前]=http://a.5ch.io/b/\r\n\r\n"},
        ScanCase{"UrlWithLineBreakIsSkipped",
                 "<B>c</B><A HREF=http://a.5ch.io/b\r\n/>n</A><A HREF=http://a.5ch.io/d/>m</A>",
                 "[c]\r\nm=http://a.5ch.io/d/\r\n\r\n"},
        ScanCase{"TruncatedLinkEndsTheScan",
                 "<B>c</B><A HREF=http://a.5ch.io/b/>n</A><A HREF=http://a.5ch.io/d/>cut",
                 "[c]\r\nn=http://a.5ch.io/b/\r\n\r\n"},
        ScanCase{"TruncatedTagEndsTheScan", "<B>c</B><A HREF=http://a.5ch.io/b/>n</A><A HR",
                 "[c]\r\nn=http://a.5ch.io/b/\r\n\r\n"},
        ScanCase{"HeadingWithoutEndKeepsTheRest", "<B>c</B><A HREF=http://a.5ch.io/b/>n</A><B>end",
                 "[c]\r\nn=http://a.5ch.io/b/\r\n\r\n[end]\r\n\r\n"},
        ScanCase{"EncodedSeparatorInPathIsRefused",
                 "<B>c</B><A HREF=http://a.5ch.io/%2E./>n</A><A HREF=http://a.5ch.io/d/>m</A>",
                 "[c]\r\nm=http://a.5ch.io/d/\r\n\r\n"},
        ScanCase{"EqualsInNameReadsBackAsTheSameName",
                 "<B>c</B><A HREF=http://ex.5ch.io/news/>x=http://evil.example/x?</A>",
                 "[c]\r\nx＝http://evil.example/x?=http://ex.5ch.io/news/\r\n\r\n"},
        ScanCase{"LeadingSemicolonInNameIsNoComment", "<B>c</B><A HREF=http://a.5ch.io/b/>;n</A>",
                 "[c]\r\n；n=http://a.5ch.io/b/\r\n\r\n"},
        ScanCase{"ServiceDomainMustEndTheHost",
                 "<B>c</B><A HREF=http://evil.example/.5ch.io/>x</A>"
                 "<A HREF=http://evil5ch.io.example/x/>y</A><A HREF=http://a.5ch.io/d/>m</A>",
                 "[c]\r\nm=http://a.5ch.io/d/\r\n\r\n"},
        ScanCase{"ControlBytesInPathAreRefused",
                 "<B>c</B><A HREF=http://a.5ch.io/a%0D%0AX-Injected:%20yes/>x</A>"
                 "<A HREF=http://a.5ch.io/%09/>y</A><A HREF=http://a.5ch.io/d/>m</A>",
                 "[c]\r\nm=http://a.5ch.io/d/\r\n\r\n"},
        ScanCase{"HostRootIsNoBoard",
                 "<B>c</B><A HREF=http://ex.5ch.io/>x</A><A HREF=http://a.5ch.io/d/>m</A>",
                 "[c]\r\nm=http://a.5ch.io/d/\r\n\r\n"},
        ScanCase{"HttpsKeepsItsSchemeOtherSchemesAreRefused",
                 "<B>c</B><A HREF=https://a.5ch.io/b/>n</A><A HREF=ftp://a.5ch.io/d/>m</A>",
                 "[c]\r\nn=https://a.5ch.io/b/\r\n\r\n"}),
    [](const ::testing::TestParamInfo<ScanCase>& info) { return info.param.name; });

TEST_F(BoardCatalogTest, ZeroByteEndsThePage) {
  const std::string page(
      "<B>c</B><A HREF=http://a.5ch.io/b/>n</A>\0<A HREF=http://a.5ch.io/d/>m</A>", 73);
  ASSERT_EQ(page.back(), '>');
  catalog.Open(IniPath("board.ini"));
  ASSERT_EQ(catalog.ImportMenu(page).Code(), kImported);
  EXPECT_EQ(ReadIni("board.ini"), "[c]\r\nn=http://a.5ch.io/b/\r\n\r\n");
}

TEST_F(BoardCatalogTest, LookupsFollowTheFile) {
  dir.WriteFile("ini/board.ini",
                "; comment\r\nstray=http://x.5ch.io/s/\r\n[News]\r\n  Plus = http://a.5ch.io/plus/ "
                "\r\nLive=http://b.5ch.io/live/\r\n\r\n[Other]\r\nTwin=http://b.5ch.io/live/\r\n"
                "Bad=http://a.5ch.io/../x/\r\n");
  catalog.Open(IniPath("board.ini"));
  EXPECT_TRUE(catalog.Exists());
  EXPECT_EQ(catalog.BoardUrl("news", "PLUS"), "http://a.5ch.io/plus/");
  EXPECT_TRUE(catalog.Contains("NEWS", "live"));
  EXPECT_FALSE(catalog.Contains("Other", "Plus"));
  EXPECT_EQ(catalog.BoardUrl("News", "Missing"), "");
  EXPECT_EQ(catalog.BoardLogDir("News", "Plus"), "/a.5ch.io/plus/");
  EXPECT_EQ(catalog.BoardLogDir("News", "Missing"), "");
  EXPECT_EQ(catalog.BoardLogDir("Other", "Bad"), "");

  std::string category;
  std::string name;
  EXPECT_TRUE(catalog.FindByUrl("http://b.5ch.io/live/", category, name));
  EXPECT_EQ(category, "News");
  EXPECT_EQ(name, "Live");
  EXPECT_FALSE(catalog.FindByUrl("http://B.5ch.io/live/", category, name));
  EXPECT_EQ(category, "");
  EXPECT_EQ(name, "");

  EXPECT_EQ(catalog.AllUrls(),
            (std::vector<std::string>{"http://a.5ch.io/plus/", "http://b.5ch.io/live/",
                                      "http://b.5ch.io/live/", "http://a.5ch.io/../x/"}));
  auto menu = catalog.FillMenu();
  ASSERT_EQ(menu.size(), 2u);
  EXPECT_EQ(menu[0].caption, "News");
  EXPECT_EQ(menu[0].boards, (std::vector<std::string>{"Plus", "Live"}));
  EXPECT_EQ(catalog.FillCategoryMenu("other"), (std::vector<std::string>{"Twin", "Bad"}));
  EXPECT_TRUE(catalog.FillCategoryMenu("none").empty());
}

TEST(BoardCatalogClosedTest, EverythingIsEmptyUntilOpened) {
  test::TempDataDir dir;
  BoardCatalog catalog;
  EXPECT_FALSE(catalog.Exists());
  EXPECT_EQ(catalog.ImportMenu("<B>c</B><A HREF=http://a.5ch.io/b/>n</A>").Code(),
            CatalogCode::kNotOpen);
  EXPECT_EQ(catalog.AddBoard("c", "n", "http://a.5ch.io/b/").Code(), CatalogCode::kNotOpen);
  EXPECT_FALSE(catalog.Contains("c", "n"));
  EXPECT_TRUE(catalog.AllUrls().empty());
  EXPECT_TRUE(catalog.Tree().empty());
  const MovedBoardsReport report = catalog.ReportMovedBoards(catalog, {"x"});
  EXPECT_EQ(report.page, "");
  EXPECT_EQ(report.result.Code(), CatalogCode::kNotOpen);
}

class RecordingObserver : public BoardCatalogObserver {
 public:
  void TreeRebuilt(const BoardCatalog&) override { events.push_back("rebuilt"); }
  void BoardAdded(const BoardCatalog&, std::size_t category, std::size_t board,
                  bool newCategory) override {
    events.push_back("added " + std::to_string(category) + "/" + std::to_string(board) +
                     (newCategory ? " new" : ""));
  }
  void BoardRemoved(const BoardCatalog&, std::size_t category, std::size_t board,
                    bool categoryRemoved) override {
    events.push_back("removed " + std::to_string(category) + "/" + std::to_string(board) +
                     (categoryRemoved ? " category" : ""));
  }
  std::vector<std::string> events;
};

TEST_F(BoardCatalogTest, AddAndRemoveKeepTreeAndFileInStep) {
  RecordingObserver observer;
  catalog.Open(IniPath("subscrib.ini"), &observer);
  EXPECT_FALSE(catalog.Exists());
  ASSERT_TRUE(catalog.BuildTree().IsOk());
  ASSERT_TRUE(catalog.AddBoard(S("ニュース"), S("速報"), "http://a.5ch.io/news/").IsOk());
  ASSERT_TRUE(catalog.AddBoard(S("ニュース"), S("芸能"), "http://b.5ch.io/geino/").IsOk());
  ASSERT_TRUE(catalog.AddBoard(S("趣味"), S("将棋"), "http://c.5ch.io/shogi/").IsOk());
  EXPECT_EQ(ReadIni("subscrib.ini"), S("[ニュース]\r\n速報=http://a.5ch.io/news/\r\n"
                                       "芸能=http://b.5ch.io/geino/\r\n\r\n"
                                       "[趣味]\r\n将棋=http://c.5ch.io/shogi/\r\n\r\n"));
  ASSERT_EQ(catalog.Tree().size(), 2u);
  EXPECT_EQ(catalog.Tree()[0].boards.size(), 2u);

  EXPECT_TRUE(catalog.RemoveBoard(S("趣味"), S("将棋")).IsOk());
  EXPECT_EQ(catalog.RemoveBoard(S("趣味"), S("将棋")).Code(), CatalogCode::kNotFound);
  EXPECT_TRUE(catalog.RemoveBoard(S("ニュース"), S("速報")).IsOk());
  ASSERT_EQ(catalog.Tree().size(), 1u);
  EXPECT_EQ(catalog.Tree()[0].boards, std::vector<std::string>{S("芸能")});
  // The emptied category stays in the file until the tree is rebuilt.
  EXPECT_EQ(ReadIni("subscrib.ini"),
            S("[ニュース]\r\n芸能=http://b.5ch.io/geino/\r\n\r\n[趣味]\r\n\r\n"));
  ASSERT_TRUE(catalog.BuildTree().IsOk());
  EXPECT_EQ(ReadIni("subscrib.ini"), S("[ニュース]\r\n芸能=http://b.5ch.io/geino/\r\n\r\n"));

  EXPECT_EQ(observer.events,
            (std::vector<std::string>{"rebuilt", "added 0/0 new", "added 0/1", "added 1/0 new",
                                      "removed 1/0 category", "removed 0/0", "rebuilt"}));
}

TEST_F(BoardCatalogTest, AddBoardUsesTheLastCategoryNodeWithThatExactLabel) {
  dir.WriteFile("ini/subscrib.ini", "[News]\r\na=http://a.5ch.io/a/\r\n\r\n");
  catalog.Open(IniPath("subscrib.ini"));
  ASSERT_TRUE(catalog.BuildTree().IsOk());
  ASSERT_TRUE(catalog.AddBoard("news", "b", "http://a.5ch.io/b/").IsOk());
  ASSERT_EQ(catalog.Tree().size(), 2u);
  EXPECT_EQ(catalog.Tree()[1].label, "news");
  // The file matches categories regardless of case: one section holds both.
  EXPECT_EQ(ReadIni("subscrib.ini"),
            "[News]\r\na=http://a.5ch.io/a/\r\nb=http://a.5ch.io/b/\r\n\r\n");
}

class MovedBoardsTest : public BoardCatalogTest {
 protected:
  void SetUp() override {
    dir.WriteFile("ini/subscrib.ini", S("[ニュース]\r\n速報=http://old.5ch.io/news/\r\n"
                                        "芸能=http://same.5ch.io/geino/\r\n\r\n"
                                        "[趣味]\r\n将棋=http://gone.5ch.io/shogi/\r\n\r\n"));
    dir.WriteFile("log/old.5ch.io/news/subject.txt", "1234567890.dat<>t (1)\n");
    dir.WriteFile("log/old.5ch.io/news/1234567890.dat", "log\n");
    boardList.Open(IniPath("board.ini"));
    ASSERT_TRUE(boardList
                    .ImportMenu(S("<B>ニュース</B><A HREF=http://new.5ch.io/news/>速報</A>"
                                  "<A HREF=http://same.5ch.io/geino/>芸能</A>"
                                  "<B>趣味</B><A HREF=http://other.5ch.io/go/>囲碁</A>"))
                    .IsOk());
    catalog.Open(IniPath("subscrib.ini"));
  }

  BoardCatalog boardList;
  test::RecordingUiHooks ui;
};

TEST_F(MovedBoardsTest, MovesLogsUpdatesUrlsAndShowsTheReport) {
  const MovedBoardsReport report = catalog.ReportMovedBoards(
      boardList, {"http://old.5ch.io/news/", "http://gone.5ch.io/shogi/"});
  EXPECT_TRUE(report.result.IsOk()) << report.result.Reason();
  const std::string& page = report.page;

  EXPECT_EQ(page, S("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                    "charset=Shift_JIS\"></head><body>移転した板<br><br>"
                    "ニュース：速報<br>http://old.5ch.io/news/<br>→http://new.5ch.io/news/<br><br>"
                    "趣味：将棋<br>http://gone.5ch.io/shogi/<br>→移転先不明？<br><br>"
                    "</body></html>"));
  EXPECT_TRUE(ui.pages.empty()) << "the caller shows the page";
  EXPECT_EQ(BoardCatalog::MovedBoardsTitle(), S("更新詳細"));

  EXPECT_EQ(dir.ReadFile("log/new.5ch.io/news/1234567890.dat"), "log\n");
  EXPECT_EQ(dir.ReadFile("log/new.5ch.io/news/subject.txt"), "1234567890.dat<>t (1)\n");
  EXPECT_FALSE(dir.Exists("log/old.5ch.io/news"));
  EXPECT_EQ(ReadIni("subscrib.ini"), S("[ニュース]\r\n速報=http://new.5ch.io/news/\r\n"
                                       "芸能=http://same.5ch.io/geino/\r\n\r\n"
                                       "[趣味]\r\n将棋=http://gone.5ch.io/shogi/\r\n\r\n"));
}

TEST_F(MovedBoardsTest, ReportPutsNamesAndUrlsInAsText) {
  dir.WriteFile("ini/menu.ini", S("[ニュース]\r\n速報=http://new.5ch.io/<i/\r\n\r\n"));
  BoardCatalog menu;
  menu.Open(IniPath("menu.ini"));
  const MovedBoardsReport report = catalog.ReportMovedBoards(menu, {"http://old.5ch.io/news/"});
  EXPECT_NE(report.page.find(S("→http://new.5ch.io/&lt;i/<br>")), std::string::npos) << report.page;
}

TEST_F(MovedBoardsTest, ExistingTargetDirectoryReceivesTheLogsItLacks) {
  dir.WriteFile("log/new.5ch.io/news/subject.txt", "new list\n");
  catalog.ReportMovedBoards(boardList, {"http://old.5ch.io/news/"});
  EXPECT_EQ(dir.ReadFile("log/new.5ch.io/news/subject.txt"), "new list\n");
  EXPECT_EQ(dir.ReadFile("log/new.5ch.io/news/1234567890.dat"), "log\n");
  // What could not be merged stays where it was; nothing is lost.
  EXPECT_EQ(dir.ReadFile("log/old.5ch.io/news/subject.txt"), "1234567890.dat<>t (1)\n");
  EXPECT_EQ(catalog.BoardUrl(S("ニュース"), S("速報")), "http://new.5ch.io/news/");
}

TEST_F(MovedBoardsTest, UnsafeNewUrlMovesNothing) {
  BoardCatalog hostile;
  dir.WriteFile("ini/hostile.ini", S("[ニュース]\r\n速報=http://new.5ch.io/../../x/\r\n\r\n"));
  hostile.Open(IniPath("hostile.ini"));
  catalog.ReportMovedBoards(hostile, {"http://old.5ch.io/news/"});
  EXPECT_EQ(dir.ReadFile("log/old.5ch.io/news/1234567890.dat"), "log\n");
  EXPECT_EQ(catalog.BoardLogDir(S("ニュース"), S("速報")), "");
}

TEST_F(MovedBoardsTest, FavouriteAtAHostRootMovesNoOtherBoardsLogs) {
  BoardCatalog old;
  dir.WriteFile("ini/old.ini", S("[ニュース]\r\n速報=http://old.5ch.io/\r\n\r\n"));
  old.Open(IniPath("old.ini"));
  old.ReportMovedBoards(boardList, {"http://old.5ch.io/"});
  EXPECT_EQ(dir.ReadFile("log/old.5ch.io/news/1234567890.dat"), "log\n");
  EXPECT_FALSE(dir.Exists("log/new.5ch.io"));
  EXPECT_EQ(old.BoardUrl(S("ニュース"), S("速報")), "http://new.5ch.io/news/");
}

TEST_F(MovedBoardsTest, InterruptedMoveIsFinishedAtTheNextStart) {
  // A file where the new host's folder belongs makes the move fail after the list was written.
  dir.WriteFile("log/new.5ch.io", "in the way");
  const MovedBoardsReport report =
      catalog.ReportMovedBoards(boardList, {"http://old.5ch.io/news/"});
  EXPECT_EQ(report.result.Code(), CatalogCode::kLogsNotMoved);
  EXPECT_EQ(report.result.Reason(),
            S("エラー:ログフォルダを移動できません: ") + dir.Path() + "/log/old.5ch.io/news");
  EXPECT_NE(report.page.find(S("→http://new.5ch.io/news/<br>")), std::string::npos);
  BoardCatalog written;
  written.Open(IniPath("subscrib.ini"));
  EXPECT_EQ(written.BoardUrl(S("ニュース"), S("速報")), "http://new.5ch.io/news/");
  EXPECT_EQ(dir.ReadFile("log/old.5ch.io/news/1234567890.dat"), "log\n");
  EXPECT_TRUE(dir.Exists("ini/boardmove.lst"));

  ASSERT_TRUE(std::filesystem::remove(dir.Path() + "/log/new.5ch.io"));
  written.CompletePendingMoves();
  EXPECT_EQ(dir.ReadFile("log/new.5ch.io/news/1234567890.dat"), "log\n");
  EXPECT_FALSE(dir.Exists("log/old.5ch.io/news"));
  EXPECT_FALSE(dir.Exists("ini/boardmove.lst"));
}

TEST_F(MovedBoardsTest, PendingMoveWhoseListWasNeverWrittenMovesNothing) {
  // A crash after the pending list, before the favourites: they still name the old folder.
  dir.WriteFile("ini/boardmove.lst", "/old.5ch.io/news/\t/new.5ch.io/news/\r\n");
  catalog.CompletePendingMoves();
  EXPECT_EQ(dir.ReadFile("log/old.5ch.io/news/1234567890.dat"), "log\n");
  EXPECT_FALSE(dir.Exists("log/new.5ch.io"));
  EXPECT_FALSE(dir.Exists("ini/boardmove.lst"));
}

}  // namespace
}  // namespace velkor
