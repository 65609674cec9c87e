#include "base/FileUtil.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "base/TempFile.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

TEST(FileUtilTest, ReplaceWritesWholeFileAndLeavesNoTemporary) {
  test::TempDataDir dir;
  const std::string path = dir.Path() + "/a.txt";
  EXPECT_FALSE(ReadWholeFile(path).has_value());
  ASSERT_TRUE(ReplaceFile(path, std::string("one\0two", 7)));
  EXPECT_EQ(ReadWholeFile(path), std::string("one\0two", 7));
  ASSERT_TRUE(ReplaceFile(path, "x"));
  EXPECT_EQ(ReadWholeFile(path), "x");
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.Path())) entries += e.is_regular_file();
  EXPECT_EQ(entries, 1);
}

TEST(FileUtilTest, ReplaceFailureKeepsOldFile) {
  test::TempDataDir dir;
  EXPECT_FALSE(ReplaceFile(dir.Path() + "/missing-folder/a.txt", "x"));
  const std::string kept = dir.Path() + "/kept.txt";
  ASSERT_TRUE(ReplaceFile(kept, "old"));
  EXPECT_FALSE(ReplaceFile(kept + "/a.txt", "x")) << "a file as the folder";
  // A write that fails after the temporary file was made (a full disk; here the file-size limit,
  // which binds root too) keeps the old file and leaves no temporary file behind.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{2, 2};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::_exit(ReplaceFile(kept, "new and longer") ? 1 : 0);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the write did not fail";
  EXPECT_EQ(ReadWholeFile(kept), "old");
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(dir.Path())) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"ini", "kept.txt", "log"}));
  EXPECT_FALSE(ReadWholeFile(dir.Path()).has_value()) << "a directory is not a file";
}

TEST(FileUtilTest, TempFileIsRemovedOnClose) {
  test::TempDataDir dir;
  std::string path;
  {
    TempFile file;
    ASSERT_TRUE(file.Create(dir.Path(), ""));
    path = file.Path();
    EXPECT_EQ(std::filesystem::path(path).filename().string().rfind("tmp", 0), 0u);
    EXPECT_TRUE(file.Write("trace"));
    EXPECT_EQ(ReadWholeFile(path), "trace");
  }
  EXPECT_FALSE(FileExists(path));
  TempFile bad;
  EXPECT_FALSE(bad.Create(dir.Path() + "/nope", "x"));
  EXPECT_FALSE(bad.IsValid());
  EXPECT_FALSE(bad.Write("x"));
}

}  // namespace
}  // namespace velkor
