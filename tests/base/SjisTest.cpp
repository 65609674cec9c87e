#include "base/Sjis.h"

#include <gtest/gtest.h>

namespace velkor {
namespace {

TEST(SjisTest, ConvertsBothWays) {
  const std::string sjis = "\x82\xA0\x82\xA2 abc \x83\x5C";  // "あい abc ソ" (ソ ends in 0x5C)
  auto utf8 = SjisToUtf8(sjis);
  ASSERT_TRUE(utf8.has_value());
  EXPECT_EQ(*utf8, "あい abc ソ");
  EXPECT_EQ(Utf8ToSjis(*utf8), sjis);
  EXPECT_EQ(Sjis("ここまで読んだ"), "\x82\xB1\x82\xB1\x82\xDC\x82\xC5\x93\xC7\x82\xF1\x82\xBE");
}

TEST(SjisTest, Cp932ExtensionsConvert) {
  // NEC special characters and IBM extensions exist only in CP932, not in plain Shift_JIS.
  EXPECT_EQ(SjisToUtf8("\x87\x40"), "①");
  EXPECT_EQ(SjisToUtf8("\x81\x60"), "～");
  EXPECT_EQ(Utf8ToSjis("～"), "\x81\x60");
}

struct BadConversion {
  const char* name;
  std::string input;
  bool fromSjis;
  std::string lossy;
};

void PrintTo(const BadConversion& c, std::ostream* os) {
  *os << c.name;
}

class SjisFailureTest : public ::testing::TestWithParam<BadConversion> {};

TEST_P(SjisFailureTest, StrictFailsAndLossyReplaces) {
  const BadConversion& c = GetParam();
  if (c.fromSjis) {
    EXPECT_FALSE(SjisToUtf8(c.input).has_value());
    EXPECT_EQ(SjisToUtf8Lossy(c.input), c.lossy);
  } else {
    EXPECT_FALSE(Utf8ToSjis(c.input).has_value());
    EXPECT_EQ(Utf8ToSjisLossy(c.input), c.lossy);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SjisFailureTest,
    ::testing::Values(BadConversion{"TruncatedLeadByteAtEnd", "ab\x82", true, "ab\xEF\xBF\xBD"},
                      BadConversion{"UndefinedPair", "a\x85\x40z", true, "a\xEF\xBF\xBDz"},
                      BadConversion{"InvalidUtf8", "a\xFFz", false, "a?z"},
                      BadConversion{"CharacterOutsideCp932", "a\xF0\x9F\x98\x80z", false, "a?z"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SjisTest, FindSkipsTrailBytes) {
  // "ソ" is 0x83 0x5C: its trail byte is "\" and must not be found.
  const std::string text = "\x83\x5C\\x";
  EXPECT_EQ(SjisFindChar(text, '\\'), 2u);
  EXPECT_EQ(SjisFind(text, "\\x"), 2u);
  // "ア" (0x83 0x41) has the trail byte "A".
  EXPECT_EQ(SjisFind("\x83\x41"
                     "A",
                     "A"),
            2u);
  EXPECT_EQ(SjisFind("abc", "abcd"), std::string_view::npos);
  EXPECT_EQ(SjisFind("abc", ""), 0u);
  EXPECT_EQ(SjisFindLastChar("a/b\x83/c", '/'), 1u);
}

TEST(SjisTest, SplitLinesHandlesAllBreaks) {
  auto lines = SplitLines("a\r\nb\nc\rd");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "a");
  EXPECT_EQ(lines[3], "d");
  EXPECT_EQ(SplitLines("a\n").size(), 1u);
  EXPECT_EQ(SplitLines("a\n\n").size(), 2u);
  EXPECT_TRUE(SplitLines("").empty());
  EXPECT_EQ(SplitLines("\r\n\r\n").size(), 2u);
}

TEST(SjisTest, CaseFoldingLeavesTwoByteCharactersAlone) {
  EXPECT_TRUE(EqualsIgnoreAsciiCase("Kodawari", "KODAWARI"));
  // "ア" (0x83 0x41) and "チ" (0x83 0x60... ) differ; 0x83 0x41 vs 0x83 0x61 must not fold
  // together.
  EXPECT_FALSE(EqualsIgnoreAsciiCase("\x83\x41", "\x83\x61"));
  EXPECT_EQ(AsciiLowerCopy("AB\x83\x41"), "ab\x83\x41");
  EXPECT_EQ(TrimView(" \t x y \r\n"), "x y");
}

}  // namespace
}  // namespace velkor
