#include "images/ImageRuleFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "images/ImageLinks.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

// The shipped example maps the watch pages and short links of the video site to their thumbnails.
TEST(ImageRuleFileTest, TheShippedExampleMapsVideoPagesToThumbnails) {
  ImageRuleFile file;
  file.Parse(ImageRuleFile::DefaultText());
  EXPECT_TRUE(file.Problems().empty());
  ASSERT_EQ(file.Rules().size(), 1u);
  const ImageLinks links(file.Rules());
  const std::string thumbnail = "https://i.ytimg.com/vi/aB3-_x9ZqQk/hqdefault.jpg";
  for (const char* link :
       {"https://www.youtube.com/watch?v=aB3-_x9ZqQk", "http://youtube.com/watch?v=aB3-_x9ZqQk",
        "https://m.youtube.com/watch?app=desktop&v=aB3-_x9ZqQk&t=10",
        "https://youtu.be/aB3-_x9ZqQk", "https://youtu.be/aB3-_x9ZqQk?t=5"}) {
    const std::optional<ImageLink> image = links.Classify(link);
    ASSERT_TRUE(image) << link;
    EXPECT_EQ(image->imageUrl, thumbnail) << link;
  }
  for (const char* link :
       {"https://www.youtube.com/channel/UCabcdefghijk", "https://www.youtube.com/watch?v=short",
        "https://evil.example/youtu.be/aB3-_x9ZqQk"}) {
    EXPECT_FALSE(links.Classify(link)) << link;
  }
}

struct DamageCase {
  const char* name;
  const char* line;
  const char* reason;  // a part of the reported reason
};

void PrintTo(const DamageCase& c, std::ostream* os) {
  *os << c.name;
}

class ImageRuleDamageTest : public testing::TestWithParam<DamageCase> {};

// A damaged line among good ones is skipped and reported with its line number; the rules around
// it stay.
TEST_P(ImageRuleDamageTest, SkipsAndReportsTheLine) {
  ImageRuleFile file;
  file.Parse(std::string("# comment\r\none\thttp://a.example/1.png\r\n") + GetParam().line +
             "\r\n  \r\ntwo\thttp://a.example/2.png\r\n");
  ASSERT_EQ(file.Rules().size(), 2u);
  EXPECT_EQ(file.Rules()[0].pattern, "one");
  EXPECT_EQ(file.Rules()[1].pattern, "two");
  ASSERT_EQ(file.Problems().size(), 1u);
  EXPECT_EQ(file.Problems()[0].line, 3);
  EXPECT_NE(file.Problems()[0].reason.find(GetParam().reason), std::string::npos)
      << file.Problems()[0].reason;
  EXPECT_EQ(ImageRuleProblemText(file.Problems()[0]).rfind("imagerules.txt line 3 skipped: ", 0),
            0u);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ImageRuleDamageTest,
    testing::Values(
        DamageCase{"NoTab", "x http://a.example/x.png", "no TAB"},
        DamageCase{"FourFields", "x\thttp://a.example/x.png\thttp://a.example/\tmore",
                   "more than three fields"},
        DamageCase{"EmptyPattern", "\thttp://a.example/x.png", "empty pattern"},
        DamageCase{"BadPattern", "([a-z\thttp://a.example/x.png", "bad pattern: "},
        DamageCase{"NotHttp", "(x)\tfile:///etc/$1", "does not start with http"},
        DamageCase{"EmptyImageUrl", "x\t", "does not start with http"},
        DamageCase{"MissingGroup", "(x)\thttp://a.example/$2.png", "refers to $2"},
        DamageCase{"StrayDollar", "(x)\thttp://a.example/$x.png", "neither $0-$9 nor $$"},
        DamageCase{"DollarAtTheEnd", "(x)\thttp://a.example/$", "neither $0-$9 nor $$"},
        DamageCase{"BlankInUrl", "x\thttp://a.example/a b.png", "holds a byte no link holds"},
        DamageCase{"RefererNotHttp", "x\thttp://a.example/x.png\tjavascript:x",
                   "referer does not start with http"}));

TEST(ImageRuleFileTest, AMissingFileMeansTheShippedRulesAnEmptyOneNone) {
  test::TempDataDir data;
  ImageRuleFile file;
  ASSERT_TRUE(file.Load(ImageRuleFile::DefaultPath()).IsOk());
  EXPECT_EQ(file.Rules().size(), 1u);

  data.WriteFile("ini/imagerules.txt", "");
  ASSERT_TRUE(file.Load(ImageRuleFile::DefaultPath()).IsOk());
  EXPECT_TRUE(file.Rules().empty());

  data.WriteFile("ini/imagerules.txt", "x\\.example\thttp://a.example/1.png\nbroken\n");
  ASSERT_TRUE(file.Load(ImageRuleFile::DefaultPath()).IsOk());
  EXPECT_EQ(file.Rules().size(), 1u);
  EXPECT_EQ(file.Problems().size(), 1u);

  std::filesystem::remove(ImageRuleFile::DefaultPath());
  std::filesystem::create_directory(ImageRuleFile::DefaultPath());
  const Outcome unreadable = file.Load(ImageRuleFile::DefaultPath());
  EXPECT_FALSE(unreadable.IsOk());
  EXPECT_FALSE(unreadable.Reason().empty());
  EXPECT_TRUE(file.Rules().empty());
}

}  // namespace
}  // namespace velkor
