#include "threads/NextThread.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "support/TempDataDir.h"
#include "threads/ArchiveUrl.h"

namespace velkor {
namespace {

using test::S;

constexpr const char* kOldKey = "1700000000";
constexpr const char* kNewKey = "1700086400";

// What the candidate is to the old thread.
enum class Expect {
  kSuccessor,  // listed with a score of 60 or more: its number is the old one's + 1
  kSimilar,    // listed below 60
  kNone,       // not listed
};

struct PairCase {
  const char* name;
  const char* old;  // titles in UTF-8
  const char* candidate;
  Expect expect;
};

void PrintTo(const PairCase& c, std::ostream* os) {
  *os << c.name;
}

class NextThreadPairTest : public testing::TestWithParam<PairCase> {};

TEST_P(NextThreadPairTest, ScoresTheCandidate) {
  const PairCase& c = GetParam();
  const std::vector<ThreadEntry> board{{kNewKey, S(c.candidate), 12}};
  const std::vector<NextThreadCandidate> found =
      FindNextThreads({kOldKey, S(c.old), 1000}, board, 5);
  if (c.expect == Expect::kNone) {
    EXPECT_TRUE(found.empty()) << "score " << found.front().score;
    return;
  }
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].key, kNewKey);
  EXPECT_EQ(found[0].title, S(c.candidate));
  EXPECT_EQ(found[0].resCount, 12);
  EXPECT_LE(found[0].score, 100);
  if (c.expect == Expect::kSuccessor) {
    EXPECT_GE(found[0].score, 60);
  } else {
    EXPECT_LT(found[0].score, 60);
    EXPECT_GE(found[0].score, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Titles, NextThreadPairTest,
    testing::Values(
        PairCase{"Part", "ポケモンSV Part39", "ポケモンSV Part40", Expect::kSuccessor},
        PairCase{"PartDotInTags", "【PS5】エルデンリング part.39【ELDEN RING】",
                 "【PS5】エルデンリング part.40【ELDEN RING】", Expect::kSuccessor},
        PairCase{"PartSpaced", "ラーメン二郎 Part 39", "ラーメン二郎 Part40", Expect::kSuccessor},
        PairCase{"Sono", "今日のお昼ごはん その39", "今日のお昼ごはん その40", Expect::kSuccessor},
        PairCase{"Star", "ニュース速報★39", "ニュース速報★40", Expect::kSuccessor},
        PairCase{"SureMe", "猫を飼っている人のスレ 39スレ目", "猫を飼っている人のスレ 40スレ目",
                 Expect::kSuccessor},
        PairCase{"Dai", "第39回 将棋総合スレ", "第40回 将棋総合スレ", Expect::kSuccessor},
        PairCase{"AtTheEnd", "プログラミング初心者質問39", "プログラミング初心者質問40",
                 Expect::kSuccessor},
        PairCase{"AtTheEndBeforeTag", "アクアリウム総合39【ワッチョイ】",
                 "アクアリウム総合40【ワッチョイ】", Expect::kSuccessor},
        PairCase{"SuffixBeforeTag", "メダカ飼育 39匹目【ワッチョイ】",
                 "メダカ飼育 40匹目【ワッチョイ】", Expect::kSuccessor},
        PairCase{"Vol", "深夜ラジオ総合 Vol.39", "深夜ラジオ総合 Vol.40", Expect::kSuccessor},
        PairCase{"Hash", "自作PC相談室 #39", "自作PC相談室 #40", Expect::kSuccessor},
        PairCase{"FullWidthDigitsAndLetters", "ポケモンSV Ｐａｒｔ３９", "ポケモンＳＶ Part40",
                 Expect::kSuccessor},
        PairCase{"FullWidthCarry", "ＦＦ１４ ｐａｒｔ９", "FF14 Part10", Expect::kSuccessor},
        PairCase{"LeadingZero", "艦これ改 Part09", "艦これ改 Part10", Expect::kSuccessor},
        PairCase{"LetterCase", "IPHONE総合 PART39", "iPhone総合 Part40", Expect::kSuccessor},
        PairCase{"GluedToLatinName", "ポケモンSVPart39", "ポケモンSV Part40", Expect::kSuccessor},
        PairCase{"BracketsChanged", "【速報】大谷翔平 Part39【ドジャース】",
                 "［速報］大谷翔平 Part40（ドジャース）", Expect::kSuccessor},
        PairCase{"DecorationsChanged", "☆★ 鉄道模型総合 ★☆ Part39", "◆◇ 鉄道模型総合 ◇◆ Part40",
                 Expect::kSuccessor},
        PairCase{"HalfWidthKana", "ﾌﾟﾛ野球ﾆｭｰｽ ｽﾚ39", "プロ野球ニュース スレ40",
                 Expect::kSuccessor},
        PairCase{"MarkerChanged", "ラーメン二郎 その39", "ラーメン二郎 Part40", Expect::kSuccessor},
        PairCase{"YearIsNoSeriesNumber", "【2024年】プロ野球ドラフト総合 Part39",
                 "【2024年】プロ野球ドラフト総合 Part40", Expect::kSuccessor},
        PairCase{"StarBeforeTagAndServerMark",
                 "【実況】サッカー日本代表★39 [無断転載禁止]&#169;2ch.net",
                 "【実況】サッカー日本代表★40 [無断転載禁止]&#169;2ch.net", Expect::kSuccessor},
        PairCase{"ModelNumberIsNoSeriesNumber", "エルデンリング PS5", "エルデンリング PS5 Part2",
                 Expect::kSuccessor},
        PairCase{"ReferenceDigitsAreNoNumber", "&#127775;深夜アニメ実況&#127775; Part39",
                 "&#127775;深夜アニメ実況&#127775; Part40", Expect::kSuccessor},
        PairCase{"LogTitleEntities", "阪神タイガース &lt;ワッチョイ&gt; Part39",
                 "阪神タイガース <ワッチョイ> Part40", Expect::kSuccessor},
        PairCase{"FirstThreadHasNoNumber", "家庭菜園を語るスレ", "家庭菜園を語るスレ Part2",
                 Expect::kSuccessor},
        PairCase{"FirstThreadHasNoNumberPlainTwo", "家庭菜園を語るスレ", "家庭菜園を語るスレ2",
                 Expect::kSuccessor},
        // Near misses: similar, but no successor.
        PairCase{"TwoGreater", "ポケモンSV Part39", "ポケモンSV Part41", Expect::kSimilar},
        PairCase{"SameNumberAgain", "ポケモンSV Part39", "ポケモンSV Part39", Expect::kSimilar},
        PairCase{"OlderNumber", "ポケモンSV Part39", "ポケモンSV Part12", Expect::kSimilar},
        PairCase{"NoIsPartOfAWord", "カジノ総合 casino39", "カジノ総合 casino40", Expect::kSimilar},
        PairCase{"NumberOutsideTheSeries", "ポケモンSV Part39", "ポケモンSV 40代の集い",
                 Expect::kSimilar},
        PairCase{"DateIsNoSeriesNumber", "今日の競馬予想 2024/10/05", "今日の競馬予想 2024/10/06",
                 Expect::kSimilar},
        // Unrelated: not listed at all, whatever the number.
        PairCase{"OtherSubjectPart40", "巨人 Part39", "阪神 Part40", Expect::kNone},
        PairCase{"OtherGamePart40", "ポケモンSV Part39", "艦これ Part40", Expect::kNone},
        PairCase{"OtherSubjectStar40", "ニュース速報★39", "芸能人の噂話★40", Expect::kNone},
        PairCase{"SharedTagOnly", "【ワッチョイ】メダカ飼育 39匹目",
                 "【ワッチョイ】自転車通勤 40匹目", Expect::kNone},
        PairCase{"Unrelated", "ポケモンSV Part39", "今日のお昼ごはん その12", Expect::kNone}),
    [](const testing::TestParamInfo<PairCase>& info) { return std::string(info.param.name); });

// The real successor and a near miss on the same board: the successor comes first.
struct ContestCase {
  const char* name;
  const char* old;
  const char* successor;
  const char* nearMiss;
};

void PrintTo(const ContestCase& c, std::ostream* os) {
  *os << c.name;
}

class NextThreadContestTest : public testing::TestWithParam<ContestCase> {};

TEST_P(NextThreadContestTest, TheSuccessorWins) {
  const ContestCase& c = GetParam();
  // The near miss is older and has more replies, so no tie-break helps the successor.
  const std::vector<ThreadEntry> board{{"1700000500", S(c.nearMiss), 900},
                                       {"1700000900", S(c.successor), 3}};
  const std::vector<NextThreadCandidate> found =
      FindNextThreads({kOldKey, S(c.old), 1000}, board, 5);
  ASSERT_FALSE(found.empty());
  EXPECT_EQ(found[0].key, "1700000900");
  EXPECT_GE(found[0].score, 60);
  if (found.size() > 1) {
    EXPECT_LT(found[1].score, found[0].score);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Boards, NextThreadContestTest,
    testing::Values(
        ContestCase{"SimilarName", "ポケモンSV Part39", "ポケモンSV Part40", "ポケモンGO Part40"},
        ContestCase{"TwoGreater", "ポケモンSV Part39", "ポケモンSV Part40", "ポケモンSV Part41"},
        ContestCase{"SameNumberAgain", "ポケモンSV Part39", "ポケモンSV Part40 【雑談】",
                    "ポケモンSV Part39"},
        ContestCase{"OtherEpisode", "【PS5】ファイナルファンタジー16 Part39【FF16】",
                    "【PS5】ファイナルファンタジー16 Part40【FF16】",
                    "【PS5】ファイナルファンタジー7リバース Part40"},
        ContestCase{"OtherModelNumber", "FF14 Part39", "FF14 Part40", "FF15 Part40"},
        ContestCase{"TitleReworded", "ニュース速報★39", "【速報】ニュース速報★40",
                    "ニュース速報 ★39"},
        ContestCase{"NumberNineToTen", "艦これ改 Part9", "艦これ改 Part10", "艦これ改 Part1"},
        ContestCase{"SpinOff", "ラーメン二郎 その39", "ラーメン二郎 その40",
                    "ラーメン二郎インスパイア その40"}),
    [](const testing::TestParamInfo<ContestCase>& info) { return std::string(info.param.name); });

TEST(NextThreadTest, TakesNewerDecimalKeysOnlyAndKeepsTheLimit) {
  const ThreadEntry old{"1700000000", S("ポケモンSV Part39"), 1000};
  const std::vector<ThreadEntry> board{
      {"1700000000", S("ポケモンSV Part39"), 1000},  // the old thread itself
      {"1699999999", S("ポケモンSV Part40"), 5},     // older: made before the old thread
      {"17000x0001", S("ポケモンSV Part40"), 5},     // no key
      {"1700000300", S("ポケモンSV Part41"), 7},
      {"1700000200", S("ポケモンSV Part40"), 2},
      {"999999999", S("ポケモンSV Part40"), 5},  // fewer digits: an older key
      {"1700000100", S("ポケモンSV Part40"), 9},
      {"01700000400", S("ポケモンSV Part40"), 2},  // leading zero: same as 1700000400
  };
  const std::vector<NextThreadCandidate> found = FindNextThreads(old, board, 3);
  ASSERT_EQ(found.size(), 3u);
  // Equal scores: the more replied first, then the smaller key.
  EXPECT_EQ(found[0].key, "1700000100");
  EXPECT_EQ(found[1].key, "1700000200");
  EXPECT_EQ(found[2].key, "01700000400");
  EXPECT_EQ(found[0].score, 100);
  EXPECT_EQ(FindNextThreads(old, board, 10).size(), 4u);
  EXPECT_TRUE(FindNextThreads(old, board, 0).empty());
  EXPECT_TRUE(FindNextThreads({"17x", old.title, 1000}, board, 5).empty());
}

struct ArchiveCase {
  const char* name;
  const char* boardUrl;
  const char* key;
  const char* url;  // empty: refused
};

void PrintTo(const ArchiveCase& c, std::ostream* os) {
  *os << c.name;
}

class ArchiveLogUrlTest : public testing::TestWithParam<ArchiveCase> {};

TEST_P(ArchiveLogUrlTest, BuildsTheAddress) {
  const ArchiveCase& c = GetParam();
  const auto url = ArchiveLogUrl(c.boardUrl, c.key);
  if (*c.url == '\0') {
    EXPECT_EQ(url.Code(), ArchiveUrlCode::kBadKey);
    EXPECT_TRUE(url.Reason().starts_with(S("エラー:"))) << url.Reason();
    EXPECT_EQ(url.Reason().find_first_of("\r\n"), std::string::npos);
    EXPECT_TRUE(url.Value().empty());
  } else {
    ASSERT_TRUE(url.IsOk()) << url.Reason();
    EXPECT_EQ(url.Value(), c.url);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ArchiveLogUrlTest,
    testing::Values(ArchiveCase{"TenDigits", "https://egg.example/pokemon/", "1712345678",
                                "https://egg.example/pokemon/oyster/1712/1712345678.dat"},
                    ArchiveCase{"DatName", "https://egg.example/pokemon/", "1712345678.dat",
                                "https://egg.example/pokemon/oyster/1712/1712345678.dat"},
                    ArchiveCase{"BoardWithoutSlash", "http://127.0.0.1:8080/board", "1000000000",
                                "http://127.0.0.1:8080/board/oyster/1000/1000000000.dat"},
                    ArchiveCase{"NineDigits", "http://h/b/", "999999999",
                                "http://h/b/oyster/999/999999999.dat"},
                    ArchiveCase{"EightDigits", "http://h/b/", "99999999", ""},
                    ArchiveCase{"ElevenDigits", "http://h/b/", "17123456789", ""},
                    ArchiveCase{"LeadingZero", "http://h/b/", "0712345678", ""},
                    ArchiveCase{"Empty", "http://h/b/", "", ""},
                    ArchiveCase{"DatOnly", "http://h/b/", ".dat", ""},
                    ArchiveCase{"Letters", "http://h/b/", "17123x5678", ""},
                    ArchiveCase{"Sign", "http://h/b/", "+712345678", ""},
                    ArchiveCase{"Path", "http://h/b/", "../../1712345678", ""},
                    ArchiveCase{"LineBreak", "http://h/b/", "1712345678\r\nX: y", ""}),
    [](const testing::TestParamInfo<ArchiveCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor
