#include "boards/FavoriteButtonBar.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "boards/BoardCatalog.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;

class CountingObserver : public FavoriteButtonBarObserver {
 public:
  void ButtonsChanged(const FavoriteButtonBar& bar) override {
    ++calls;
    lastCount = bar.ButtonCount();
  }
  int calls = 0;
  std::size_t lastCount = 0;
};

class FavoriteButtonBarTest : public ::testing::Test {
 protected:
  std::string ListPath() const { return dir.Path() + "/ini/favbrd.lst"; }

  test::TempDataDir dir;
  FavoriteButtonBar bar;
};

TEST_F(FavoriteButtonBarTest, MissingFileMeansOnlyTheFixedButton) {
  bar.Load(ListPath());
  EXPECT_TRUE(bar.Captions().empty());
  EXPECT_EQ(bar.ButtonCount(), 1u);
  EXPECT_FALSE(dir.Exists("ini/favbrd.lst"));
}

TEST_F(FavoriteButtonBarTest, LoadsCaptionsInOrderOnce) {
  dir.WriteFile("ini/favbrd.lst", S("ニュース速報+\r\n▽趣味\r\n\r\nLive\n"));
  CountingObserver observer;
  bar.SetObserver(&observer);
  bar.Load(ListPath());
  EXPECT_EQ(bar.Captions(), (std::vector<std::string>{S("ニュース速報+"), S("▽趣味"), "Live"}));
  EXPECT_EQ(observer.calls, 1);
  EXPECT_EQ(observer.lastCount, 4u);
  dir.WriteFile("ini/favbrd.lst", "Other\r\n");
  bar.Load(ListPath());
  EXPECT_EQ(bar.Captions().size(), 3u);
}

TEST_F(FavoriteButtonBarTest, AddIgnoresDuplicatesRegardlessOfAsciiCase) {
  bar.Load(ListPath());
  EXPECT_TRUE(bar.AddButton(FavoriteButtonBar::CategoryCaption("News")).IsOk());
  EXPECT_TRUE(bar.AddButton(S("将棋")).IsOk());
  EXPECT_EQ(bar.AddButton(S("▽news")).Code(), ButtonCode::kRefused);
  EXPECT_EQ(bar.AddButton(S("将棋")).Code(), ButtonCode::kRefused);
  EXPECT_EQ(bar.AddButton("").Code(), ButtonCode::kRefused);
  EXPECT_EQ(bar.AddButton("two\r\nlines").Code(), ButtonCode::kRefused);
  EXPECT_EQ(bar.ButtonCount(), 3u);
  EXPECT_EQ(dir.ReadFile("ini/favbrd.lst"), S("▽News\r\n将棋\r\n"));
}

TEST_F(FavoriteButtonBarTest, RemoveDeletesThatCaptionAndSaves) {
  dir.WriteFile("ini/favbrd.lst", S("一\r\n二\r\n三\r\n"));
  CountingObserver observer;
  bar.Load(ListPath());
  bar.SetObserver(&observer);
  EXPECT_TRUE(bar.RemoveButton(S("二")).IsOk());
  EXPECT_EQ(bar.Captions(), (std::vector<std::string>{S("一"), S("三")}));
  EXPECT_EQ(dir.ReadFile("ini/favbrd.lst"), S("一\r\n三\r\n"));
  EXPECT_EQ(bar.RemoveButton(S("四")).Code(), ButtonCode::kNotFound);
  EXPECT_EQ(bar.Captions().size(), 2u);
  EXPECT_EQ(observer.calls, 1);

  EXPECT_TRUE(bar.RemoveButton(S("一")).IsOk());
  EXPECT_TRUE(bar.RemoveButton(S("三")).IsOk());
  EXPECT_EQ(bar.ButtonCount(), 1u);
  EXPECT_EQ(dir.ReadFile("ini/favbrd.lst"), "");
}

TEST_F(FavoriteButtonBarTest, FileThatCannotBeWrittenChangesNoCaption) {
  dir.WriteFile("ini/favbrd.lst", S("一\r\n"));
  bar.Load(ListPath());
  // A folder in the list's place refuses every replacement of the file.
  ASSERT_TRUE(std::filesystem::remove(ListPath()));
  ASSERT_TRUE(std::filesystem::create_directory(ListPath()));
  EXPECT_EQ(bar.AddButton(S("二")).Code(), ButtonCode::kNotWritten);
  EXPECT_EQ(bar.RemoveButton(S("一")).Code(), ButtonCode::kNotWritten);
  EXPECT_EQ(bar.Captions(), std::vector<std::string>{S("一")});
}

TEST_F(FavoriteButtonBarTest, NothingChangesBeforeLoad) {
  EXPECT_EQ(bar.AddButton("x").Code(), ButtonCode::kNotLoaded);
  EXPECT_EQ(bar.RemoveButton("x").Code(), ButtonCode::kNotLoaded);
  EXPECT_TRUE(bar.Captions().empty());
}

struct KindCase {
  const char* name;
  const char* caption;
  FavoriteButtonBar::ButtonKind kind;
  const char* category;
};

void PrintTo(const KindCase& c, std::ostream* os) {
  *os << c.name;
}

class ClassifyTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(ClassifyTest, Classifies) {
  std::string category = "stale";
  EXPECT_EQ(FavoriteButtonBar::Classify(S(GetParam().caption), category), GetParam().kind);
  EXPECT_EQ(category, S(GetParam().category));
}

INSTANTIATE_TEST_SUITE_P(
    Captions, ClassifyTest,
    ::testing::Values(
        KindCase{"Fixed", "▼お気に入り", FavoriteButtonBar::ButtonKind::kFixed, ""},
        KindCase{"Category", "▽ニュース", FavoriteButtonBar::ButtonKind::kCategory, "ニュース"},
        KindCase{"EmptyCategory", "▽", FavoriteButtonBar::ButtonKind::kCategory, ""},
        KindCase{"Board", "ニュース速報+", FavoriteButtonBar::ButtonKind::kBoard, ""},
        KindCase{"MarkInsideBoardName", "板▽", FavoriteButtonBar::ButtonKind::kBoard, ""}),
    [](const ::testing::TestParamInfo<KindCase>& info) { return info.param.name; });

TEST_F(FavoriteButtonBarTest, BoardButtonOpensTheFirstFavouriteInTreeOrder) {
  dir.WriteFile("ini/subscrib.ini", S("[趣味]\r\n実況=http://a.5ch.io/hobby/\r\n\r\n"
                                      "[ニュース]\r\n実況=http://b.5ch.io/live/\r\n\r\n"));
  BoardCatalog favorites;
  favorites.Open(dir.Path() + "/ini/subscrib.ini");
  ASSERT_TRUE(favorites.BuildTree().IsOk());
  std::string category;
  std::string name;
  ASSERT_TRUE(FavoriteButtonBar::FindBoardButtonTarget(favorites, S("実況"), category, name));
  EXPECT_EQ(category, S("趣味"));
  EXPECT_EQ(name, S("実況"));
  EXPECT_FALSE(FavoriteButtonBar::FindBoardButtonTarget(favorites, S("無い"), category, name));
  EXPECT_EQ(category, "");
}

}  // namespace
}  // namespace velkor
