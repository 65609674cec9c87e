#include "images/ImageLinks.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "support/TempDataDir.h"
#include "threads/MessageLinks.h"

namespace velkor {
namespace {

using test::S;

struct LinkCase {
  const char* name;
  std::string link;
  const char* imageUrl;  // empty: no image
};

void PrintTo(const LinkCase& c, std::ostream* os) {
  *os << c.name;
}

class ImageLinkNameTest : public testing::TestWithParam<LinkCase> {};

// Without rules a link shows an image when its path ends in an image file name.
TEST_P(ImageLinkNameTest, ClassifiesByFileName) {
  const LinkCase& c = GetParam();
  const std::optional<ImageLink> image = ImageLinks().Classify(c.link);
  if (std::string(c.imageUrl).empty()) {
    EXPECT_FALSE(image) << image->imageUrl;
    return;
  }
  ASSERT_TRUE(image);
  EXPECT_EQ(image->link, c.link);
  EXPECT_EQ(image->imageUrl, c.imageUrl);
  EXPECT_EQ(image->referer, "");
}

INSTANTIATE_TEST_SUITE_P(
    Links, ImageLinkNameTest,
    testing::Values(
        LinkCase{"Jpg", "http://img.example/a/b.jpg", "http://img.example/a/b.jpg"},
        LinkCase{"CaseAndQuery", "https://img.example/B.JPEG?name=orig&x=1",
                 "https://img.example/B.JPEG?name=orig&x=1"},
        LinkCase{"FragmentDropped", "http://img.example/c.Png#top", "http://img.example/c.Png"},
        LinkCase{"Gif", "http://img.example:8080/d.gif", "http://img.example:8080/d.gif"},
        LinkCase{"Webp", "http://img.example/e.webp", "http://img.example/e.webp"},
        LinkCase{"Bmp", "HTTP://img.example/f.bmp", "HTTP://img.example/f.bmp"},
        LinkCase{"QueryIsNoName", "http://img.example/view?file=a.jpg", ""},
        LinkCase{"FragmentIsNoName", "http://img.example/page#a.jpg", ""},
        LinkCase{"OtherExtension", "http://img.example/a.jpg.html", ""},
        LinkCase{"Svg", "http://img.example/a.svg", ""}, LinkCase{"HostOnly", "http://a.jpg", ""},
        LinkCase{"Ftp", "ftp://img.example/a.jpg", ""}, LinkCase{"NoHost", "http:///a.jpg", ""},
        LinkCase{"Blank", "http://img.example/a b.jpg", ""},
        LinkCase{"Quote", "http://img.example/a\".jpg", ""},
        LinkCase{"LineBreak", "http://img.example/a\r\nX: y.jpg", ""},
        LinkCase{"ShiftJis", "http://img.example/\x89\xE6\x91\x9C.jpg", ""},
        LinkCase{"TooLong", "http://img.example/" + std::string(2040, 'a') + ".jpg", ""}));

// The links of a message as the renderer converts it: redirectors and the "ttp://" form are
// undone, "&amp;" is read as "&", each link counts once, and reply anchors are no links.
TEST(ImageLinksTest, FindsTheImageLinksOfAConvertedMessage) {
  ImageRuleFile rules;
  rules.Parse(ImageRuleFile::DefaultText());
  const ImageLinks links(rules.Rules());
  const std::string raw =
      S("これ ttp://img.example/a.jpg &gt;&gt;5 <a href=\"http://x.example/\">http://ime.nu/"
        "img.example/b.PNG</a><br>") +
      "http://img.example/a.jpg http://img.example/page.html " +
      "https://www.youtube.com/watch?feature=share&amp;v=abcdefghijk";
  const std::string message = LinkUrls(LinkReplyAnchors(StripAnchorTags(raw)));

  const std::vector<ImageLink> found = links.InMessage(message);
  ASSERT_EQ(found.size(), 3u) << message;
  EXPECT_EQ(found[0].link, "http://img.example/a.jpg");
  EXPECT_EQ(found[1].link, "http://img.example/b.PNG");
  EXPECT_EQ(found[2].link, "https://www.youtube.com/watch?feature=share&v=abcdefghijk");
  EXPECT_EQ(found[2].imageUrl, "https://i.ytimg.com/vi/abcdefghijk/hqdefault.jpg");
}

struct RuleCase {
  const char* name;
  const char* rules;  // file text
  const char* link;
  const char* imageUrl;  // empty: no image
  const char* referer;
};

void PrintTo(const RuleCase& c, std::ostream* os) {
  *os << c.name;
}

class ImageRuleLinkTest : public testing::TestWithParam<RuleCase> {};

TEST_P(ImageRuleLinkTest, MapsLinksThroughTheRules) {
  const RuleCase& c = GetParam();
  ImageRuleFile file;
  file.Parse(c.rules);
  ASSERT_TRUE(file.Problems().empty()) << ImageRuleProblemText(file.Problems()[0]);
  const std::optional<ImageLink> image = ImageLinks(file.Rules()).Classify(c.link);
  if (std::string(c.imageUrl).empty()) {
    EXPECT_FALSE(image) << image->imageUrl;
    return;
  }
  ASSERT_TRUE(image);
  EXPECT_EQ(image->imageUrl, c.imageUrl);
  EXPECT_EQ(image->referer, c.referer);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ImageRuleLinkTest,
    testing::Values(
        RuleCase{"GroupsAndReferer",
                 "^https?://up\\.example/v/(\\w+)-(\\d+)\thttps://cdn.example/$2/$1.jpg\t"
                 "https://up.example/v/$1",
                 "http://up.example/v/cat-42", "https://cdn.example/42/cat.jpg",
                 "https://up.example/v/cat"},
        RuleCase{"WholeMatchAndDollar", "[a-z]+\\.example/p\thttp://img.example/?u=$0&c=$$",
                 "http://pics.example/p", "http://img.example/?u=pics.example/p&c=$", ""},
        RuleCase{"UnmatchedGroupIsEmpty", "x\\.example/(a)?b\thttp://img.example/$1z.png",
                 "http://x.example/b", "http://img.example/z.png", ""},
        RuleCase{"FirstMatchingRuleWins",
                 "up\\.example\thttp://one.example/1.png\n"
                 "up\\.example\thttp://two.example/2.png",
                 "http://up.example/", "http://one.example/1.png", ""},
        RuleCase{"RuleBeforeFileName", "\\.jpg$\thttp://thumbs.example/t.png",
                 "http://img.example/a.jpg", "http://thumbs.example/t.png", ""},
        RuleCase{"InvalidResultFallsThrough",
                 "^http://up\\.example/(\\w*)\thttp://$1/a.png\n"
                 "^http://up\\.example/\thttp://two.example/2.png",
                 "http://up.example/", "http://two.example/2.png", ""},
        RuleCase{"CostBoundReachedFallsThrough",
                 "^http://x\\.example/(a|a)*$\thttp://one.example/1.png\n"
                 "^http://x\\.example/\thttp://two.example/2.png",
                 "http://x.example/aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa!",
                 "http://two.example/2.png", ""},
        RuleCase{"NoRuleNoName", "up\\.example\thttp://one.example/1.png", "http://down.example/x",
                 "", ""}));

}  // namespace
}  // namespace velkor
