#include "subjects/BoardDir.h"

#include <gtest/gtest.h>

#include "app/DataDir.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

struct DirCase {
  const char* name;
  const char* url;
  const char* relative;  // below LogDir(); null when refused
};

class SafeBoardDirTest : public ::testing::TestWithParam<DirCase> {};

TEST_P(SafeBoardDirTest, KeepsBoardsInsideTheLogDirectory) {
  test::TempDataDir data;
  const DirCase& c = GetParam();
  auto dir = SafeBoardDir(c.url);
  if (c.relative == nullptr) {
    EXPECT_FALSE(dir.has_value()) << *dir;
  } else {
    ASSERT_TRUE(dir.has_value());
    EXPECT_EQ(*dir, LogDir() + c.relative);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Urls, SafeBoardDirTest,
    ::testing::Values(DirCase{"Board", "http://news.example.net/newsplus/",
                              "/news.example.net/newsplus/"},
                      DirCase{"MissingSlash", "http://h.example/board", "/h.example/board/"},
                      DirCase{"TwoSegments", "http://h.example/a/b/", "/h.example/a/b/"},
                      DirCase{"DotDot", "http://h.example/../x/", nullptr},
                      DirCase{"EscapedDotDot", "http://h.example/%2E%2E/", nullptr},
                      DirCase{"EscapedSlashDotDot", "http://h.example/a%2F..%2F..%2F/", nullptr},
                      DirCase{"EmptySegment", "http://h.example//board/", nullptr},
                      DirCase{"Dot", "http://h.example/./", nullptr},
                      DirCase{"BackslashInHost", "http://a%5C..%5Cb/board/", nullptr},
                      DirCase{"HostDotDot", "http://../board/", nullptr},
                      DirCase{"NoBoard", "http://h.example/", nullptr},
                      DirCase{"NoPath", "http://h.example", nullptr},
                      DirCase{"NotAUrl", "board/", nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SubjectIniPathOfTest, AppendsTheStateFile) {
  test::TempDataDir data;
  EXPECT_EQ(SubjectIniPathOf("http://h.example/b/").value_or(""),
            LogDir() + "/h.example/b/subject.ini");
  EXPECT_FALSE(SubjectIniPathOf("http://h.example/../").has_value());
}

}  // namespace
}  // namespace velkor
