#include "subjects/TitleText.h"

#include <gtest/gtest.h>

#include "support/TempDataDir.h"

namespace velkor {
namespace {

struct TitleCase {
  const char* name;
  const char* title;  // UTF-8, converted to CP932
  const char* shown;  // UTF-8
};

void PrintTo(const TitleCase& c, std::ostream* os) {
  *os << c.name;
}

class TitleForDisplayTest : public ::testing::TestWithParam<TitleCase> {};

TEST_P(TitleForDisplayTest, DecodesReferencesForUnicodeWidgets) {
  EXPECT_EQ(TitleForDisplay(test::S(GetParam().title)), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TitleForDisplayTest,
    ::testing::Values(TitleCase{"Decimal", "地球&#127757;スレ", "地球\xF0\x9F\x8C\x8Dスレ"},
                      TitleCase{"Hex", "&#x1F30D;&#X41;",
                                "\xF0\x9F\x8C\x8D"
                                "A"},
                      TitleCase{"NoBreakSpace", "a&#160;b",
                                "a\xC2\xA0"
                                "b"},
                      TitleCase{"Named", "&hearts;&amp;&quot;&nbsp;", "\xE2\x99\xA5&\"\xC2\xA0"},
                      TitleCase{"UnknownNameStays", "&foo; &Hearts;", "&foo; &Hearts;"},
                      TitleCase{"NoCharacterStays", "&#0;&#xD800;&#x110000;&#;&#x;",
                                "&#0;&#xD800;&#x110000;&#;&#x;"},
                      TitleCase{"WithoutSemicolonStays", "AT&T &#65", "AT&T &#65"},
                      TitleCase{"DecodedOnce", "&amp;lt;", "&lt;"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TitleForDisplayTest, BrokenBytesBecomeReplacementCharacters) {
  EXPECT_EQ(TitleForDisplay("a\x81"), "a\xEF\xBF\xBD");
}

}  // namespace
}  // namespace velkor
