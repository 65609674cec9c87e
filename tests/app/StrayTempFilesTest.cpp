#include "app/StrayTempFiles.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "app/DataDir.h"
#include "base/FileUtil.h"
#include "base/TempFile.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

struct NameCase {
  const char* name;
  bool replaced;  // ReplaceFile's temporary name
  bool trace;     // the protocol trace's
};

class StrayTempNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(StrayTempNameTest, MatchesOnlyTheNamesThisProgramMakes) {
  const NameCase& c = GetParam();
  EXPECT_EQ(StrayTempFiles::IsTempName(c.name, false), c.replaced) << c.name;
  EXPECT_EQ(StrayTempFiles::IsTempName(c.name, true), c.replaced || c.trace) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, StrayTempNameTest,
    ::testing::Values(NameCase{"board.ini.tmpAb12Cd", true, false},
                      NameCase{"1700000000.dat.tmp000000", true, false},
                      NameCase{"x.tmpzzzzzz", true, false}, NameCase{"tmpAb12Cd", false, true},
                      NameCase{".tmpAb12Cd", false, false}, NameCase{"xtmpAb12Cd", false, false},
                      NameCase{"board.ini.tmpAb12C", false, false},
                      NameCase{"board.ini.tmpAb12Cde", false, false},
                      NameCase{"board.ini.tmpAb-2Cd", false, false},
                      NameCase{"board.ini.TMPAb12Cd", false, false},
                      NameCase{"board.ini.tmp", false, false}, NameCase{"notes.tmp", false, false},
                      NameCase{"board.ini", false, false}));

std::vector<std::string> Sorted(std::vector<std::string> paths) {
  std::sort(paths.begin(), paths.end());
  return paths;
}

// Strays of both kinds where the program makes them, and look-alikes that must stay.
void MakeStrays(const test::TempDataDir& dir) {
  for (const char* name :
       {"ini/board.ini", "ini/board.ini.tmpAbc123", "ini/tmpAbc123", "ini/board.ini.tmp",
        "log/board.html.tmpXyZ789", "log/tmpQwE123", "log/host/board/subject.ini.tmpAAAAAA",
        "log/host/tmpBBBBBB", "notes.txt.tmpCCCCCC", "skin/Header.html.tmpDDDDDD",
        "draft/host/board/12.txt", "draft/host/board/12.txt.tmpEEEEEE", "draft/host/tmpFFFFFF",
        "draft/host/board/tmpGGGGGG"}) {
    dir.WriteFile(name, "x");
  }
  std::filesystem::create_directory(dir.Path() + "/log/folder.tmpDIR001");
  std::filesystem::create_symlink(dir.Path() + "/ini/board.ini", dir.Path() + "/log/l.tmpLINK01");
}

TEST(StrayTempFilesTest, RemovesOnlyStraysInIniTheLogFolderItselfAndDraftFolders) {
  test::TempDataDir dir;
  MakeStrays(dir);
  EXPECT_EQ(
      Sorted(StrayTempFiles::Remove()),
      Sorted({dir.Path() + "/ini/board.ini.tmpAbc123", dir.Path() + "/log/board.html.tmpXyZ789",
              dir.Path() + "/log/tmpQwE123", dir.Path() + "/draft/host/board/12.txt.tmpEEEEEE"}));
  for (const char* kept :
       {"ini/board.ini", "ini/tmpAbc123", "ini/board.ini.tmp",
        "log/host/board/subject.ini.tmpAAAAAA", "log/host/tmpBBBBBB", "notes.txt.tmpCCCCCC",
        "skin/Header.html.tmpDDDDDD", "log/folder.tmpDIR001", "draft/host/board/12.txt",
        "draft/host/tmpFFFFFF", "draft/host/board/tmpGGGGGG"}) {
    EXPECT_TRUE(dir.Exists(kept)) << kept;
  }
  EXPECT_TRUE(std::filesystem::is_symlink(dir.Path() + "/log/l.tmpLINK01"));
  EXPECT_EQ(dir.ReadFile("ini/board.ini"), "x");
}

// A process killed while it writes leaves exactly the files that are removed.
TEST(StrayTempFilesTest, RemovesWhatAKilledWriterLeaves) {
  test::TempDataDir dir;
  dir.WriteFile("ini/board.ini", "old");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    TempFile trace;
    if (!trace.Create(LogDir(), "tmp")) ::_exit(1);
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    const rlimit limit{2, 2};  // the write goes past it: SIGXFSZ ends the process there
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ReplaceFile(dir.Path() + "/ini/board.ini", "new and longer");
    ::_exit(2);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
  const std::vector<std::string> removed = StrayTempFiles::Remove();
  ASSERT_EQ(removed.size(), 2u);
  for (const std::string& path : removed) {
    EXPECT_FALSE(std::filesystem::exists(path)) << path;
  }
  std::vector<std::string> left;
  for (const char* folder : {"/ini", "/log"}) {
    for (auto& e : std::filesystem::directory_iterator(dir.Path() + folder)) {
      left.push_back(e.path().filename().string());
    }
  }
  EXPECT_EQ(Sorted(left), Sorted({"board.ini", "velkor-cli.lock"}));
  EXPECT_EQ(dir.ReadFile("ini/board.ini"), "old");
}

// velkor-cli holds a guard: a window starting meanwhile leaves every temporary file alone.
TEST(StrayTempFilesTest, RemovesNothingWhileAnotherProcessHoldsAGuard) {
  test::TempDataDir dir;
  MakeStrays(dir);
  int held[2];
  int release[2];
  ASSERT_EQ(::pipe(held), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const StrayTempFiles::Guard guard;
    char byte = '1';
    bool ok = ::write(held[1], &byte, 1) == 1 && ::read(release[0], &byte, 1) == 1;
    ::_exit(ok ? 0 : 1);
  }
  char byte = 0;
  ASSERT_EQ(::read(held[0], &byte, 1), 1);
  EXPECT_TRUE(StrayTempFiles::Remove().empty());
  EXPECT_TRUE(dir.Exists("ini/board.ini.tmpAbc123"));
  ASSERT_EQ(::write(release[1], &byte, 1), 1);
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(status, 0);
  for (int fd : {held[0], held[1], release[0], release[1]}) ::close(fd);
  EXPECT_EQ(StrayTempFiles::Remove().size(), 4u) << "the guard is gone with its process";
  {
    const StrayTempFiles::Guard mine;
    dir.WriteFile("log/tmpNew123", "x");
    EXPECT_TRUE(StrayTempFiles::Remove().empty()) << "a guard in the same process counts too";
  }
}

}  // namespace
}  // namespace velkor
