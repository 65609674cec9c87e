#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "support/CliRunner.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;

// Points the freedesktop data folder of the command at `dataHome` for the test's lifetime.
class ScopedDataHome {
 public:
  explicit ScopedDataHome(const std::string& dataHome) {
    if (const char* old = ::getenv("XDG_DATA_HOME")) old_ = old;
    ::setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
  }
  ~ScopedDataHome() {
    if (old_.empty()) {
      ::unsetenv("XDG_DATA_HOME");
    } else {
      ::setenv("XDG_DATA_HOME", old_.c_str(), 1);
    }
  }

 private:
  std::string old_;
};

TEST(SweepCommandTest, RemovesForGoodWithoutATrash) {
  test::TempDataDir dir;
  ScopedDataHome home(dir.Path() + "/share");
  dir.WriteFile("ini/subscrib.ini", "[C]\r\nA=http://host/a/\r\n\r\n");
  dir.WriteFile("log/host/a/subject.ini", "[1.dat]\r\n\r\n");
  dir.WriteFile("log/host/a/1.dat", "kept\n");
  dir.WriteFile("log/host/a/2.dat", "stray\n");
  dir.WriteFile("log/old/b/1.dat", "old board\n");
  const auto result = test::RunCli(dir, {"sweep", "--page", dir.Path() + "/report.html"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_FALSE(dir.Exists("log/old"));
  EXPECT_FALSE(dir.Exists("log/host/a/2.dat"));
  EXPECT_TRUE(dir.Exists("log/host/a/1.dat"));
  const std::string report = dir.ReadFile("report.html");
  EXPECT_NE(report.find(dir.Path() + "/log/old/b<br>"), std::string::npos) << report;
  EXPECT_NE(report.find(S("<hr><h2>空のフォルダ削除</h2>") + dir.Path() + "/log/old<br>"),
            std::string::npos);
  EXPECT_FALSE(dir.Exists("share/Trash"));
}

TEST(SweepCommandTest, MovesToTheTrashWhenThereIsOne) {
  test::TempDataDir dir;
  ScopedDataHome home(dir.Path() + "/share");
  std::filesystem::create_directories(dir.Path() + "/share/Trash");
  dir.WriteFile("ini/subscrib.ini", "");
  dir.WriteFile("log/old/b/1.dat", "old board\n");
  const auto result = test::RunCli(dir, {"sweep"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_FALSE(dir.Exists("log/old"));
  EXPECT_EQ(dir.ReadFile("share/Trash/files/b/1.dat"), "old board\n");
  EXPECT_TRUE(dir.Exists("share/Trash/info/old.trashinfo")) << "the emptied host went there too";
}

}  // namespace
}  // namespace velkor
