#include "threads/Skin.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "support/TempDataDir.h"
#include "threads/DatRenderer.h"

namespace velkor {
namespace {

using test::S;

constexpr const char* kFiles[] = {"Header.html", "Res.html", "NewRes.html", "Bookmark.html",
                                  "Footer.html"};

TEST(SkinTest, DefaultsAreTheBuiltInTemplates) {
  const Skin skin;
  EXPECT_EQ(skin.header, S("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                           "charset=Shift_JIS\"></head><body><a href=\"#all\">すべて表示</a> "
                           "<a href=\"#midoku\">未読へ</a><dl>"));
  EXPECT_EQ(skin.res,
            "<dt><NUMBER/> <font color=green><NAME/></b></font> [<font color=blue><MAIL/></b>"
            "</font>] <DATE/><dd><MESSAGE/><br><br>");
  EXPECT_EQ(skin.newRes, skin.res);
  EXPECT_EQ(skin.bookmark, S("<hr><font color=red>ここまで読んだ</font><hr>"));
  std::string footer = "</dl><hr>";
  for (int i = 0; i < 12; ++i) footer += "<br>";
  EXPECT_EQ(skin.footer, footer + "</body></html>");
}

TEST(SkinTest, MissingFolderIsCreatedWithEveryDefault) {
  test::TempDataDir dir;
  Skin skin;
  LoadSkin(skin, SkinDir());
  const Skin defaults;
  EXPECT_EQ(dir.ReadFile("skin/Header.html"), defaults.header + "\r\n");
  EXPECT_EQ(dir.ReadFile("skin/Res.html"), defaults.res + "\r\n");
  EXPECT_EQ(dir.ReadFile("skin/NewRes.html"), defaults.newRes + "\r\n");
  EXPECT_EQ(dir.ReadFile("skin/Bookmark.html"), defaults.bookmark + "\r\n");
  EXPECT_EQ(dir.ReadFile("skin/Footer.html"), defaults.footer + "\r\n");
  // The templates themselves stay without the line end, so pages look as with the defaults.
  EXPECT_EQ(skin.header, defaults.header);
  EXPECT_EQ(skin.footer, defaults.footer);
}

TEST(SkinTest, SecondLoadReadsTheWrittenFilesBack) {
  test::TempDataDir dir;
  Skin first;
  LoadSkin(first, SkinDir());
  Skin second;
  LoadSkin(second, SkinDir());
  EXPECT_EQ(second.res, Skin().res + "\r\n");
  EXPECT_EQ(dir.ReadFile("skin/Res.html"), Skin().res + "\r\n")
      << "existing files stay as they are";
}

struct SkinFileCase {
  const char* name;
  const char* file;
  const char* expected;
};

void PrintTo(const SkinFileCase& c, std::ostream* os) {
  *os << c.name;
}

class SkinFileTest : public testing::TestWithParam<SkinFileCase> {};

TEST_P(SkinFileTest, LinesJoinedWithCrLfAfterEach) {
  test::TempDataDir dir;
  dir.WriteFile("skin/Bookmark.html", S(GetParam().file));
  Skin skin;
  LoadSkin(skin, SkinDir());
  EXPECT_EQ(skin.bookmark, S(GetParam().expected));
  EXPECT_EQ(skin.res, Skin().res) << "other templates keep their defaults";
}

INSTANTIATE_TEST_SUITE_P(
    Files, SkinFileTest,
    testing::Values(SkinFileCase{"Empty", "", ""},
                    SkinFileCase{"OneLineWithoutEnd", "<hr>", "<hr>\r\n"},
                    SkinFileCase{"LfLines", "<hr>\nここ\n", "<hr>\r\nここ\r\n"},
                    SkinFileCase{"CrLfLines", "a\r\nb\r\n", "a\r\nb\r\n"},
                    SkinFileCase{"LoneCr", "a\rb", "a\r\nb\r\n"},
                    SkinFileCase{"EmptyLinesKept", "a\n\n\nb", "a\r\n\r\n\r\nb\r\n"}),
    [](const testing::TestParamInfo<SkinFileCase>& info) { return std::string(info.param.name); });

TEST(SkinTest, LoadedTemplatesShapeThePage) {
  test::TempDataDir dir;
  dir.WriteFile("skin/Header.html", "<&TITLE>|<&TITLE>");
  dir.WriteFile("skin/Res.html", "<dd><MESSAGE/>");
  dir.WriteFile("skin/NewRes.html", "<PLAINNUMBER/>");
  dir.WriteFile("skin/Bookmark.html", "");
  dir.WriteFile("skin/Footer.html", "end");
  Skin skin;
  LoadSkin(skin, SkinDir());
  ReplyList replies;
  replies.Add("n", "", "d", "one");
  replies.Add("n", "", "d", "two");
  EXPECT_EQ(RenderPage(skin, replies, "T", 2, 50),
            "T|T\r\n<a name=\"a1\"></a><dd>one\r\n<a name=\"midoku\"></a>"
            "<a name=\"a2\"></a>2\r\nend\r\n");
}

TEST(SkinTest, UnwritableFolderKeepsTheDefaults) {
  test::TempDataDir dir;
  dir.WriteFile("skin", "a file where the folder should be");
  Skin skin;
  LoadSkin(skin, SkinDir());
  EXPECT_EQ(skin.header, Skin().header);
  EXPECT_EQ(dir.ReadFile("skin"), "a file where the folder should be");
  for (const char* file : kFiles) EXPECT_FALSE(dir.Exists(std::string("skin/") + file));
}

// The light set loads from skin/, the dark one from skin-dark/ with its own defaults; neither
// touches the other's folder.
TEST(SkinTest, ProcessSkinLoadsFromTheDataDirectory) {
  test::TempDataDir dir;
  dir.WriteFile("skin/Footer.html", "bye");
  const Skin saved = AppSkin();
  LoadSkin();
  EXPECT_EQ(AppSkin().footer, "bye\r\n");
  for (const char* file : kFiles) EXPECT_TRUE(dir.Exists(std::string("skin/") + file)) << file;
  EXPECT_FALSE(dir.Exists("skin-dark"));

  dir.WriteFile("skin-dark/Res.html", "dark res");
  LoadDarkSkin();
  const Skin dark = DarkSkin();
  EXPECT_EQ(AppSkin().res, "dark res\r\n");
  EXPECT_EQ(AppSkin().footer, dark.footer) << "not the light set's";
  EXPECT_EQ(dir.ReadFile("skin-dark/Header.html"), dark.header + "\r\n");
  EXPECT_EQ(dir.ReadFile("skin/Footer.html"), "bye");
  EXPECT_NE(dark.header.find("<style>body { background: #1e1f22;"), std::string::npos);
  EXPECT_EQ(dark.header.substr(dark.header.size() - 40),
            Skin().header.substr(Skin().header.size() - 40));
  EXPECT_EQ(dark.newRes, dark.res);
  EXPECT_EQ(dark.res.find("green"), std::string::npos);
  AppSkin() = saved;
}

}  // namespace
}  // namespace velkor
