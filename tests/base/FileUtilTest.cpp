#include "base/FileUtil.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

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
  const std::string path = dir.Path() + "/missing-folder/a.txt";
  EXPECT_FALSE(ReplaceFile(path, "x"));
  const std::string kept = dir.Path() + "/kept.txt";
  ASSERT_TRUE(ReplaceFile(kept, "old"));
  // A read-only folder refuses the temporary file (root ignores folder permissions).
  if (::geteuid() != 0) {
    ::chmod(dir.Path().c_str(), 0500);
    EXPECT_FALSE(ReplaceFile(kept, "new"));
    ::chmod(dir.Path().c_str(), 0700);
    EXPECT_EQ(ReadWholeFile(kept), "old");
  }
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
