#include "subjects/BoardDir.h"

#include <gtest/gtest.h>

#include "app/DataDir.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

// Which URLs are refused is IsSafeBoardUrl's table (tests/app/UrlPathsTest.cpp).
TEST(SafeBoardDirTest, BoardFoldersEndInASlashAndRefusedUrlsGiveNone) {
  test::TempDataDir data;
  EXPECT_EQ(SafeBoardDir("http://h.example/board").value_or(""), LogDir() + "/h.example/board/");
  EXPECT_EQ(SafeBoardDir("https://h.example/a/b/").value_or(""), LogDir() + "/h.example/a/b/");
  EXPECT_FALSE(SafeBoardDir("http://h.example/").has_value());
  EXPECT_EQ(SubjectIniPathOf("http://h.example/b/").value_or(""),
            LogDir() + "/h.example/b/subject.ini");
  EXPECT_FALSE(SubjectIniPathOf("http://h.example/../").has_value());
}

}  // namespace
}  // namespace velkor
