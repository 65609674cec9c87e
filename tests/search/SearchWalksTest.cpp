#include "search/SearchWalks.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "app/DataDir.h"
#include "boards/BoardCatalog.h"
#include "search/RegexEngine.h"
#include "subjects/SubjectList.h"
#include "support/RecordingUiHooks.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;

const std::string kHead =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"
    "</head><body>";

std::string Section(const std::string& dat, const std::string& titleUtf8) {
  return "[" + dat + "]\r\nNowNo=1\r\nTitle=" + S(titleUtf8) + "\r\nGotCount=1\r\n\r\n";
}

// Two categories: "News" with boards a (host1) and b (host2), "Misc" with board c (host1).
class SearchWalksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine.Load();
    dir.WriteFile("ini/subscrib.ini",
                  S("[News]\r\nBoard A=http://host1/a/\r\nBoard B=http://host2/b/"
                    "\r\n\r\n[Misc]\r\nBoard C=http://host1/c/\r\n\r\n"));
    dir.WriteFile("log/host1/a/subject.ini", Section("100.dat", "Velkor release") +
                                                 Section("101.dat", "weather") +
                                                 Section("102.dat", "VELKOR bugs"));
    dir.WriteFile("log/host1/a/100.dat", "one\ntwo\nthree\nfour\nvelkor five\nvelkor six\n");
    dir.WriteFile("log/host1/a/101.dat", "nothing here\n");
    dir.WriteFile("log/host2/b/subject.ini", Section("200.dat", "cooking"));
    dir.WriteFile("log/host2/b/200.dat", "velkor\n");
    dir.WriteFile("log/host1/c/subject.ini", Section("300.dat", "velkor again"));
  }

  // The favourites as ini/subscrib.ini holds them now.
  const BoardCatalog& Favs() {
    favorites_ = std::make_unique<BoardCatalog>();
    favorites_->Open(dir.Path() + "/ini/subscrib.ini");
    return *favorites_;
  }

  bool Prepare(const std::string& word, bool ignoreCase = true) {
    return engine.Prepare(S(word), ignoreCase).IsOk();
  }

  test::TempDataDir dir;
  test::RecordingUiHooks ui;
  RegexEngine engine;
  std::unique_ptr<BoardCatalog> favorites_;
};

TEST_F(SearchWalksTest, FavoriteTitlesLinkEveryMatchingTitle) {
  ASSERT_TRUE(Prepare("velkor"));
  const std::string page = SearchFavoriteTitles(Favs(), engine, {});
  EXPECT_EQ(page, kHead + "\"velkor\"" + S(" を含むタイトル<br>") +
                      "<dl><dt><strong>Board A</strong>"
                      "<dd><a href=\"http://host1/test/read.cgi/a/100/\">Velkor release</a><br>"
                      "<dd><a href=\"http://host1/test/read.cgi/a/102/\">VELKOR bugs</a><br></dl>"
                      "<dl><dt><strong>Board C</strong>"
                      "<dd><a href=\"http://host1/test/read.cgi/c/300/\">velkor again</a><br></dl>"
                      "</body></html>");
  EXPECT_TRUE(ui.pages.empty()) << "the caller shows the page";
}

TEST_F(SearchWalksTest, FavoriteTitlesRespectLetterCaseWhenAsked) {
  ASSERT_TRUE(Prepare("VELKOR", false));
  const std::string page = SearchFavoriteTitles(Favs(), engine, {});
  EXPECT_NE(page.find("/a/102/"), std::string::npos);
  EXPECT_EQ(page.find("/a/100/"), std::string::npos);
  EXPECT_EQ(page.find("Board C"), std::string::npos);
}

TEST_F(SearchWalksTest, FavoriteLogsLinkTheFirstMatchingLineOnce) {
  ASSERT_TRUE(Prepare("velkor"));
  const std::string page = SearchFavoriteLogs(Favs(), engine, {});
  EXPECT_EQ(page, kHead + "\"velkor\"" + S(" を含むログ<br>") +
                      "<dl><dt><strong>Board A</strong>"
                      "<dd><a href=\"http://host1/test/read.cgi/a/100/5\">Velkor release</a><br>"
                      "</dl><dl><dt><strong>Board B</strong>"
                      "<dd><a href=\"http://host2/test/read.cgi/b/200/1\">cooking</a><br></dl>"
                      "</body></html>");
}

TEST_F(SearchWalksTest, BoardUrlWithoutItsFinalSlashStillLinksTheThread) {
  dir.WriteFile("ini/subscrib.ini", S("[News]\r\nBoard B=http://host2/b\r\n\r\n"));
  ASSERT_TRUE(Prepare("velkor"));
  EXPECT_EQ(SearchFavoriteLogs(Favs(), engine, {}),
            kHead + "\"velkor\"" + S(" を含むログ<br>") +
                "<dl><dt><strong>Board B</strong>"
                "<dd><a href=\"http://host2/test/read.cgi/b/200/1\">cooking</a><br></dl>"
                "</body></html>");
}

TEST_F(SearchWalksTest, NoHitGivesTheHeadingOnly) {
  ASSERT_TRUE(Prepare("absent"));
  EXPECT_EQ(SearchFavoriteLogs(Favs(), engine, {}),
            kHead + "\"absent\"" + S(" を含むログ<br>") + "</body></html>");
  EXPECT_EQ(SearchFavoriteTitles(Favs(), engine, {}),
            kHead + "\"absent\"" + S(" を含むタイトル<br>") + "</body></html>");
}

TEST_F(SearchWalksTest, MissingFavoritesFileGivesTheHeadingOnly) {
  std::remove((dir.Path() + "/ini/subscrib.ini").c_str());
  ASSERT_TRUE(Prepare("velkor"));
  EXPECT_EQ(SearchFavoriteLogs(Favs(), engine, {}),
            kHead + "\"velkor\"" + S(" を含むログ<br>") + "</body></html>");
}

TEST_F(SearchWalksTest, FavoriteLogsReportProgressInTenthsOfCategories) {
  ASSERT_TRUE(Prepare("velkor"));
  std::vector<std::pair<int, int>> calls;
  SearchFavoriteLogs(Favs(), engine, [&](const std::string* message, int position, int maximum) {
    EXPECT_EQ(message, nullptr);
    calls.emplace_back(position, maximum);
    return 0;
  });
  // Board A: two logs then the board; board B: one log then the board; board C: no log, the board.
  const std::vector<std::pair<int, int>> expected = {{0, 20}, {0, 20}, {0, 20},
                                                     {5, 20}, {5, 20}, {10, 20}};
  EXPECT_EQ(calls, expected);
}

TEST_F(SearchWalksTest, FavoriteTitlesReportProgressPerBoard) {
  ASSERT_TRUE(Prepare("velkor"));
  std::vector<std::pair<int, int>> calls;
  SearchFavoriteTitles(Favs(), engine, [&](const std::string*, int position, int maximum) {
    calls.emplace_back(position, maximum);
    return 0;
  });
  const std::vector<std::pair<int, int>> expected = {{0, 2}, {0, 2}, {1, 2}};
  EXPECT_EQ(calls, expected);
}

TEST_F(SearchWalksTest, TitlesAndNamesAreTextOnThePageNeverMarkup) {
  dir.WriteFile("ini/subscrib.ini", "[News]\r\nA<b>&B=http://host1/a/\r\n\r\n");
  dir.WriteFile("log/host1/a/subject.ini",
                Section("100.dat", "velkor <a href=\"http://evil.example/\">x</a> & &#127757;"));
  ASSERT_TRUE(Prepare("velkor|<"));
  EXPECT_EQ(SearchFavoriteTitles(Favs(), engine, {}),
            kHead + "\"velkor|&lt;\"" + S(" を含むタイトル<br>") +
                "<dl><dt><strong>A&lt;b&gt;&amp;B</strong>"
                "<dd><a href=\"http://host1/test/read.cgi/a/100/\">velkor &lt;a "
                "href=&quot;http://evil.example/&quot;&gt;x&lt;/a&gt; &amp; &#127757;</a><br>"
                "</dl></body></html>");
}

TEST_F(SearchWalksTest, CancelStopsTheWalkAndKeepsWhatWasFound) {
  ASSERT_TRUE(Prepare("velkor"));
  bool cancel = false;
  int steps = 0;
  const WalkProgress progress = MakeWalkProgress(
      [&](int, int) {
        // Cancel as the dialog would on its second progress step (after board A's first log).
        if (++steps == 1) cancel = true;
      },
      cancel);
  const std::string page = SearchFavoriteLogs(Favs(), engine, progress);
  EXPECT_EQ(page, kHead + "\"velkor\"" + S(" を含むログ<br>") +
                      "<dl><dt><strong>Board A</strong>"
                      "<dd><a href=\"http://host1/test/read.cgi/a/100/5\">Velkor release</a><br>"
                      "</dl></body></html>");
  EXPECT_EQ(steps, 1);
  EXPECT_EQ(ui.processEventsCalls, 1) << "the dialog stays live between items";
}

TEST_F(SearchWalksTest, CancelBetweenBoardsOfTheTitleSearch) {
  ASSERT_TRUE(Prepare("velkor"));
  bool cancel = true;
  const std::string page = SearchFavoriteTitles(Favs(), engine, MakeWalkProgress({}, cancel));
  EXPECT_NE(page.find("Board A"), std::string::npos);
  EXPECT_EQ(page.find("Board C"), std::string::npos);
}

TEST_F(SearchWalksTest, UnsafeNamesNeverLeaveTheLogDirectory) {
  dir.WriteFile("ini/subscrib.ini",
                "[X]\r\nEvil=http://host1/../../ini/\r\nA=http://host1/a/\r\n\r\n");
  dir.WriteFile("log/host1/a/subject.ini", Section("../../../ini/subscrib.ini", "velkor") +
                                               Section("100.dat", "Velkor release"));
  ASSERT_TRUE(Prepare("X"));
  const std::string page = SearchFavoriteLogs(Favs(), engine, {});
  EXPECT_EQ(page.find("subscrib"), std::string::npos) << page;
  EXPECT_EQ(page.find("Evil"), std::string::npos) << page;
}

TEST_F(SearchWalksTest, ShownTitlesAreFilteredInPlace) {
  SubjectList list;
  ASSERT_TRUE(list.Bind(dir.Path() + "/log/host1/a/subject.ini"));
  list.Fill(0xFF);
  ASSERT_EQ(list.RowCount(), 3u);
  ASSERT_TRUE(Prepare("velkor"));
  SearchShownTitles(list, engine);
  ASSERT_EQ(list.RowCount(), 2u);
  EXPECT_EQ(list.Row(0).datName, "100.dat");
  EXPECT_EQ(list.Row(1).datName, "102.dat");
  EXPECT_TRUE(ui.pages.empty());
}

TEST_F(SearchWalksTest, BoardLogsOfAFavoriteBoard) {
  BoardCatalog favorites;
  favorites.Open(dir.Path() + "/ini/subscrib.ini");
  SubjectList list;
  ASSERT_TRUE(list.Bind(dir.Path() + "/log/host1/a/subject.ini"));
  ASSERT_TRUE(Prepare("VELKOR"));
  std::vector<std::pair<int, int>> calls;
  const std::optional<std::string> page =
      SearchBoardLogs(list, favorites, engine, [&](const std::string*, int position, int maximum) {
        calls.emplace_back(position, maximum);
        return 0;
      });
  EXPECT_EQ(page, kHead + "\"VELKOR\"" + S(" を含むログ<br>") +
                      "<dl><dt><strong>Board A</strong>"
                      "<dd><a href=\"http://host1/test/read.cgi/a/100/5\">Velkor release</a><br>"
                      "</dl></body></html>");
  const std::vector<std::pair<int, int>> expected = {{0, 3}, {1, 3}, {2, 3}};
  EXPECT_EQ(calls, expected);
}

TEST_F(SearchWalksTest, BoardLogsWithoutAHitGiveTheHeadingOnly) {
  BoardCatalog favorites;
  favorites.Open(dir.Path() + "/ini/subscrib.ini");
  SubjectList list;
  ASSERT_TRUE(list.Bind(dir.Path() + "/log/host1/a/subject.ini"));
  ASSERT_TRUE(Prepare("absent"));
  EXPECT_EQ(SearchBoardLogs(list, favorites, engine, {}),
            kHead + "\"absent\"" + S(" を含むログ<br>") + "</body></html>");
}

TEST_F(SearchWalksTest, BoardLogsOfABoardThatIsNoFavoriteShowNothing) {
  BoardCatalog favorites;
  favorites.Open(dir.Path() + "/ini/subscrib.ini");
  dir.WriteFile("log/host3/z/subject.ini", Section("1.dat", "velkor"));
  dir.WriteFile("log/host3/z/1.dat", "velkor\n");
  SubjectList list;
  ASSERT_TRUE(list.Bind(dir.Path() + "/log/host3/z/subject.ini"));
  ASSERT_TRUE(Prepare("velkor"));
  EXPECT_EQ(SearchBoardLogs(list, favorites, engine, {}), std::nullopt);
}

}  // namespace
}  // namespace velkor
