#include "base/Integer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace velkor {
namespace {

struct ParseCase {
  const char* text;
  IntegerSyntax syntax;
  std::optional<std::int32_t> expected;
};

class ParseIntegerTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseIntegerTest, ReadsTheWholeTextWithinRange) {
  const ParseCase& c = GetParam();
  EXPECT_EQ(ParseInteger<std::int32_t>(c.text, c.syntax), c.expected) << c.text;
}

using S = IntegerSyntax;
INSTANTIATE_TEST_SUITE_P(
    Table, ParseIntegerTest,
    testing::Values(
        ParseCase{"0", S::kDecimal, 0}, ParseCase{"-17", S::kDecimal, -17},
        ParseCase{"+17", S::kDecimal, 17}, ParseCase{"2147483647", S::kDecimal, 2147483647},
        ParseCase{"-2147483648", S::kDecimal, std::numeric_limits<std::int32_t>::min()},
        ParseCase{"2147483648", S::kDecimal, std::nullopt},
        ParseCase{"-2147483649", S::kDecimal, std::nullopt},
        ParseCase{"99999999999999999999999", S::kDecimal, std::nullopt},
        ParseCase{"", S::kDecimal, std::nullopt}, ParseCase{"-", S::kDecimal, std::nullopt},
        ParseCase{" 1", S::kDecimal, std::nullopt}, ParseCase{"1 ", S::kDecimal, std::nullopt},
        ParseCase{"1x", S::kDecimal, std::nullopt}, ParseCase{"0x10", S::kDecimal, std::nullopt},
        ParseCase{"-1", S::kDigits, std::nullopt}, ParseCase{"+1", S::kDigits, std::nullopt},
        ParseCase{"0042", S::kDigits, 42}, ParseCase{"0x10", S::kIni, 16},
        ParseCase{"$ff", S::kIni, 255}, ParseCase{"-0XFF", S::kIni, -255},
        ParseCase{"+5", S::kIni, std::nullopt}, ParseCase{"0x", S::kIni, std::nullopt},
        ParseCase{"0x80000000", S::kIni, std::nullopt}));

TEST(ParseIntegerTest, HonoursExplicitBoundsAndWideTypes) {
  EXPECT_EQ(ParseInteger("10", 10, 20), 10);
  EXPECT_EQ(ParseInteger("21", 10, 20), std::nullopt);
  EXPECT_EQ(ParseInteger("9", 10, 20), std::nullopt);
  EXPECT_EQ(ParseInteger("-3", 0, 20), std::nullopt);
  EXPECT_EQ(ParseInteger<std::uint16_t>("65535"), 65535);
  EXPECT_EQ(ParseInteger<std::uint16_t>("65536"), std::nullopt);
  EXPECT_EQ(ParseInteger<std::int64_t>("-9223372036854775808"),
            std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(ParseInteger<std::int64_t>("9223372036854775808"), std::nullopt);
}

TEST(LeadingIntegerTest, ReadsAsAtoiDoesAndClamps) {
  EXPECT_EQ(LeadingInteger(" \t 200 OK", 1000), 200);
  EXPECT_EQ(LeadingInteger("-12abc", 1000), -12);
  EXPECT_EQ(LeadingInteger("abc", 1000), 0);
  EXPECT_EQ(LeadingInteger("99999999999999999999999", 1000), 1000);
  EXPECT_EQ(LeadingInteger("-99999999999999999999999", 1000), -1000);
}

}  // namespace
}  // namespace velkor
