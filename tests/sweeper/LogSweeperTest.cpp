#include "sweeper/LogSweeper.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "app/DataDir.h"
#include "support/RecordingUiHooks.h"
#include "support/TempDataDir.h"
#include "sweeper/PathRemoval.h"

namespace velkor {
namespace {

using test::S;

const std::string kHead =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"
    "</head><body>";

class LogSweeperTest : public ::testing::Test {
 protected:
  // Runs the sweeper with a remover that records each path and removes it for good.
  std::string Sweep(const std::vector<std::string>& favoriteUrls) {
    LogSweeper sweeper(LogDir(), favoriteUrls, [this](const std::string& path) {
      removed.push_back(path);
      return RemoveForGood(path);
    });
    const SweepReport report = sweeper.SweepLogs();
    EXPECT_TRUE(report.result.IsOk()) << report.result.Reason();
    return report.page;
  }

  std::string Log(const std::string& relative) const { return LogDir() + "/" + relative; }

  std::string Report(const std::string& pass1, const std::string& pass2,
                     const std::string& pass3) const {
    return kHead + S("<h2>現在お気に入りに無い板のログ削除</h2>") + pass1 +
           S("<hr><h2>空のフォルダ削除</h2>") + pass2 + S("<hr><h2>関連の無いファイル削除</h2>") +
           pass3 + "<hr></body></html>";
  }

  test::TempDataDir dir;
  test::RecordingUiHooks ui;
  std::vector<std::string> removed;
};

TEST_F(LogSweeperTest, NothingToRemoveGivesTheThreeHeadings) {
  dir.WriteFile("log/host/board/subject.ini", "[1.dat]\r\nGotCount=3\r\n\r\n");
  dir.WriteFile("log/host/board/1.dat", "a\nb\nc\n");
  const std::string report = Sweep({"http://host/board/"});
  EXPECT_EQ(report, Report("", "", ""));
  EXPECT_TRUE(ui.pages.empty()) << "the caller shows the page";
  EXPECT_EQ(LogSweeper::ReportTitle(), S("ログ整理"));
  EXPECT_TRUE(dir.Exists("log/host/board/1.dat"));
}

TEST_F(LogSweeperTest, BoardThatIsNoFavoriteGoesAndItsEmptiedHostToo) {
  dir.WriteFile("log/old/gone/subject.ini", "[1.dat]\r\n\r\n");
  dir.WriteFile("log/old/gone/1.dat", "x\n");
  dir.WriteFile("log/host/board/subject.ini", "");
  const std::string report = Sweep({"http://host/board/"});
  EXPECT_EQ(report, Report(Log("old/gone") + "<br>", Log("old") + "<br>", ""));
  EXPECT_FALSE(dir.Exists("log/old"));
  EXPECT_TRUE(dir.Exists("log/host/board/subject.ini"));
}

TEST_F(LogSweeperTest, ReportOfSeveralHostsAndBoardsInPassOrder) {
  dir.WriteFile("log/h1/fav1/subject.ini", "[10.dat]\r\n\r\n");
  dir.WriteFile("log/h1/fav1/10.dat", "x\n");
  dir.WriteFile("log/h1/fav1/11.dat", "stray\n");
  dir.WriteFile("log/h1/old1/1.dat", "x\n");
  dir.WriteFile("log/h2/fav2/subject.txt", "");
  dir.WriteFile("log/h2/fav2/20.dat", "no subject.ini: every log is stray\n");
  dir.WriteFile("log/h3/old3/1.dat", "x\n");
  // Pass 1 follows the order in which the file system lists the host folders.
  std::string pass1;
  for (const auto& host : std::filesystem::directory_iterator(LogDir())) {
    const std::string name = host.path().filename().string();
    if (name == "h1") pass1 += Log("h1/old1") + "<br>";
    if (name == "h3") pass1 += Log("h3/old3") + "<br>";
  }
  const std::string report = Sweep({"http://h2/fav2/", "http://h1/fav1/"});
  // Pass 2: h3 was emptied by pass 1. Pass 3 follows catalog order: fav2 before fav1.
  EXPECT_EQ(report, Report(pass1, Log("h3") + "<br>",
                           Log("h2/fav2/20.dat") + "<br>" + Log("h1/fav1/11.dat") + "<br>"));
  EXPECT_TRUE(dir.Exists("log/h1/fav1/10.dat"));
  EXPECT_TRUE(dir.Exists("log/h2/fav2/subject.txt"));
}

TEST_F(LogSweeperTest, PlanNamesWhatTheSweepRemovesWithoutRemovingIt) {
  dir.WriteFile("log/h1/fav1/subject.ini", "[10.dat]\r\n\r\n");
  dir.WriteFile("log/h1/fav1/10.dat", "x\n");
  dir.WriteFile("log/h1/fav1/11.dat", "stray\n");
  dir.WriteFile("log/h1/fav1/notes.txt", "stray\n");
  dir.WriteFile("log/h1/old1/subject.ini", "");
  dir.WriteFile("log/h1/old1/1.dat", "x\n");
  dir.WriteFile("log/h1/old1/2.dat", "x\n");
  dir.WriteFile("log/h3/old3/1.dat", "x\n");
  LogSweeper planner(LogDir(), {"http://h1/fav1/"}, [](const std::string& path) {
    ADD_FAILURE() << "removed " << path;
    return false;
  });
  const SweepPlan plan = planner.Plan();
  EXPECT_EQ(plan.boards, 3u) << "old1 and old3 go whole, fav1 loses files";
  EXPECT_EQ(plan.logs, 4u);
  EXPECT_EQ(plan.otherFiles, 1u);
  EXPECT_EQ(plan.emptyFolders, 1u) << "h3, emptied by old3";
  EXPECT_TRUE(dir.Exists("log/h1/old1/2.dat"));
  EXPECT_TRUE(dir.Exists("log/h3/old3/1.dat"));
  EXPECT_TRUE(dir.Exists("log/h1/fav1/notes.txt"));

  Sweep({"http://h1/fav1/"});
  EXPECT_EQ(removed, plan.paths);
  EXPECT_TRUE(planner.Plan().paths.empty());
}

TEST_F(LogSweeperTest, EmptyFavoriteFolderStaysAndSoDoesItsHost) {
  std::filesystem::create_directories(Log("host/board"));
  std::filesystem::create_directories(Log("host/emptyboard"));
  EXPECT_EQ(Sweep({"http://host/board/", "http://host/emptyboard/"}), Report("", "", ""));
  EXPECT_TRUE(dir.Exists("log/host/board"));
}

TEST_F(LogSweeperTest, EmptyHostFolderGoesButEmptyBoardFolderOfANonFavoriteIsABoard) {
  std::filesystem::create_directories(Log("emptyhost"));
  std::filesystem::create_directories(Log("host/board"));
  EXPECT_EQ(Sweep({"http://host/board/"}), Report("", Log("emptyhost") + "<br>", ""));
  EXPECT_FALSE(dir.Exists("log/emptyhost"));
}

TEST_F(LogSweeperTest, StrayFilesGoAndKnownNamesStayInAnyLetterCase) {
  dir.WriteFile("log/host/board/subject.ini", "[100.dat]\r\nGotCount=1\r\n\r\n[abc.dat]\r\n\r\n");
  dir.WriteFile("log/host/board/100.dat", "kept\n");
  dir.WriteFile("log/host/board/ABC.DAT", "kept, differs only in letter case\n");
  dir.WriteFile("log/host/board/999.dat", "no longer a known thread\n");
  dir.WriteFile("log/host/board/BBS.INI", "");
  dir.WriteFile("log/host/board/Subject.Txt", "");
  dir.WriteFile("log/host/board/notes.txt", "stray\n");
  dir.WriteFile("log/host/board/100.own", "1\r\n");
  dir.WriteFile("log/host/board/999.own", "1\r\n");
  dir.WriteFile("log/host/board/abc.own", "1\r\n");
  dir.WriteFile("log/host/board/SETTING.TXT", "BBS_LINE_NUMBER=16\n");
  dir.WriteFile("log/host/board/setting.ini", "[SETTING.TXT]\r\nLastModified=\r\n\r\n");
  std::filesystem::create_directories(Log("host/board/subfolder"));
  const std::string report = Sweep({"http://host/board/"});
  std::vector<std::string> expected = {Log("host/board/999.dat"), Log("host/board/999.own"),
                                       Log("host/board/abc.own"), Log("host/board/notes.txt")};
  std::sort(removed.begin(), removed.end());
  EXPECT_EQ(removed, expected);
  for (const char* kept : {"100.dat", "ABC.DAT", "BBS.INI", "Subject.Txt", "subject.ini",
                           "subfolder", "100.own", "SETTING.TXT", "setting.ini"}) {
    EXPECT_TRUE(dir.Exists(std::string("log/host/board/") + kept)) << kept;
  }
  EXPECT_NE(report.find(Log("host/board/999.dat") + "<br>"), std::string::npos);
}

TEST_F(LogSweeperTest, KeptNamesInEveryLetterCase) {
  dir.WriteFile("log/host/board/SUBJECT.INI", "[1.dat]\r\n\r\n");
  dir.WriteFile("log/host/board/Bbs.Ini", "");
  dir.WriteFile("log/host/board/SUBJECT.TXT", "");
  EXPECT_EQ(Sweep({"http://host/board/"}), Report("", "", ""));
}

TEST_F(LogSweeperTest, FavoriteFoldersCompareIgnoringLetterCase) {
  dir.WriteFile("log/Host/Board/1.dat", "x\n");
  EXPECT_EQ(Sweep({"http://host/board/"}), Report("", "", ""));
  EXPECT_TRUE(dir.Exists("log/Host/Board/1.dat"));
}

TEST_F(LogSweeperTest, FilesOutsideBoardFoldersAreNeverTouched) {
  dir.WriteFile("log/board.html", "menu");
  dir.WriteFile("log/host/stray.txt", "host-level file");
  EXPECT_EQ(Sweep({}), Report("", "", ""));
  EXPECT_TRUE(dir.Exists("log/board.html"));
  EXPECT_TRUE(dir.Exists("log/host/stray.txt"));
  // Not even when a favourite's URL names the host alone.
  EXPECT_EQ(Sweep({"http://host/", "http://host"}), Report("", "", ""));
  EXPECT_TRUE(dir.Exists("log/host/stray.txt"));
}

TEST_F(LogSweeperTest, FolderHoldingADeeperFavoriteStays) {
  dir.WriteFile("log/host/a/b/subject.ini", "[1.dat]\r\n\r\n");
  dir.WriteFile("log/host/a/b/1.dat", "x\n");
  EXPECT_EQ(Sweep({"http://host/a/b/"}), Report("", "", ""));
  EXPECT_TRUE(dir.Exists("log/host/a/b/1.dat"));
}

TEST_F(LogSweeperTest, SymbolicLinksAreNeverFollowedOutOfTheLogTree) {
  // Outside the log tree: a folder the links point to, which must survive whole.
  dir.WriteFile("outside/keep/1.dat", "x\n");
  dir.WriteFile("outside/keep/stray.txt", "x\n");
  const std::string outside = dir.Path() + "/outside";
  std::filesystem::create_directories(Log("linkedhost"));
  std::filesystem::create_directory_symlink(outside, Log("hostlink"));
  std::filesystem::create_directory_symlink(outside + "/keep", Log("linkedhost/board"));
  std::filesystem::create_directories(Log("host"));
  std::filesystem::create_directory_symlink(outside + "/keep", Log("host/board"));
  dir.WriteFile("log/real/board/subject.ini", "");
  std::filesystem::create_directory_symlink(outside, Log("real/board/link"));
  const std::string report =
      Sweep({"http://host/board/", "http://hostlink/keep/", "http://real/board/"});
  EXPECT_TRUE(dir.Exists("outside/keep/1.dat"));
  EXPECT_TRUE(dir.Exists("outside/keep/stray.txt"));
  // The link inside a favourite board folder is a stray entry: the link goes, its target stays.
  EXPECT_FALSE(std::filesystem::is_symlink(Log("real/board/link")));
  for (const std::string& path : removed) {
    EXPECT_EQ(path.rfind(LogDir() + "/", 0), 0u) << path;
  }
  EXPECT_NE(report.find(Log("real/board/link")), std::string::npos);
}

TEST_F(LogSweeperTest, FailedRemovalIsListedAsUsualAndNamedInAWarning) {
  dir.WriteFile("log/old/gone/1.dat", "x\n");
  dir.WriteFile("log/host/board/subject.ini", "");
  dir.WriteFile("log/host/board/stray.txt", "x\n");
  LogSweeper sweeper(LogDir(), {"http://host/board/"}, [](const std::string& path) {
    return path.find("stray") != std::string::npos && RemoveForGood(path);
  });
  const SweepReport report = sweeper.SweepLogs();
  EXPECT_EQ(report.page,
            Report(Log("old/gone") + "<br>", "", Log("host/board/stray.txt") + "<br>"));
  EXPECT_TRUE(dir.Exists("log/old/gone/1.dat"));
  EXPECT_FALSE(dir.Exists("log/host/board/stray.txt"));
  EXPECT_FALSE(report.result.IsOk());
  EXPECT_EQ(report.result.Reason(), S("次のものは削除できませんでした:") + "\n" + Log("old/gone"));
  EXPECT_TRUE(ui.messages.empty()) << "the caller shows the warning";
}

TEST_F(LogSweeperTest, FavoritesDifferingInLetterCaseAreEachCleaned) {
  dir.WriteFile("log/host/board/subject.ini", "[1.dat]\r\n\r\n");
  dir.WriteFile("log/host/board/9.dat", "stray\n");
  dir.WriteFile("log/host/BOARD/subject.ini", "[1.dat]\r\n\r\n");
  dir.WriteFile("log/host/BOARD/8.dat", "stray\n");
  Sweep({"http://host/board/", "http://host/BOARD/"});
  EXPECT_FALSE(dir.Exists("log/host/board/9.dat"));
  EXPECT_FALSE(dir.Exists("log/host/BOARD/8.dat"));
}

TEST(PathRemovalTest, MoveToTrashKeepsTheItemAndItsOrigin) {
  test::TempDataDir dir;
  dir.WriteFile("log/h/b/1.dat", "x\n");
  const std::string trash = dir.Path() + "/Trash";
  std::filesystem::create_directories(trash);
  ASSERT_TRUE(MoveToTrash(dir.Path() + "/log/h/b", trash));
  EXPECT_FALSE(dir.Exists("log/h/b"));
  EXPECT_EQ(dir.ReadFile("Trash/files/b/1.dat"), "x\n");
  const std::string info = dir.ReadFile("Trash/info/b.trashinfo");
  EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + dir.Path() + "/log/h/b\nDeletionDate=", 0), 0u)
      << info;
  // A second item of the same name gets a name of its own.
  dir.WriteFile("log/h2/b/2.dat", "y\n");
  ASSERT_TRUE(MoveToTrash(dir.Path() + "/log/h2/b", trash));
  EXPECT_EQ(dir.ReadFile("Trash/files/b.1/2.dat"), "y\n");
  EXPECT_TRUE(dir.Exists("Trash/info/b.1.trashinfo"));
}

TEST(PathRemovalTest, RemoveForGoodRemovesALinkNotItsTarget) {
  test::TempDataDir dir;
  dir.WriteFile("target/1.dat", "x\n");
  std::filesystem::create_directory_symlink(dir.Path() + "/target", dir.Path() + "/link");
  EXPECT_TRUE(RemoveForGood(dir.Path() + "/link"));
  EXPECT_TRUE(dir.Exists("target/1.dat"));
}

}  // namespace
}  // namespace velkor
