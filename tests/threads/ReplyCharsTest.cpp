#include "threads/ReplyChars.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace velkor {
namespace {

struct NumberCharCase {
  const char* name;
  const char* bytes;  // one CP932 character
  char anchor;        // 0: not a reply-number character in page anchors
  char selection;     // 0: not one in selected text
};

void PrintTo(const NumberCharCase& c, std::ostream* os) {
  *os << c.name;
}

class NumberCharTest : public testing::TestWithParam<NumberCharCase> {};

TEST_P(NumberCharTest, MembershipAndNormalisedChar) {
  const std::string ch = GetParam().bytes;
  EXPECT_EQ(AnchorNumberChar(ch), GetParam().anchor);
  EXPECT_EQ(SelectionNumberChar(ch), GetParam().selection);
}

INSTANTIATE_TEST_SUITE_P(
    Chars, NumberCharTest,
    testing::Values(NumberCharCase{"Zero", "0", '0', '0'}, NumberCharCase{"Nine", "9", '9', '9'},
                    NumberCharCase{"Minus", "-", '-', '-'}, NumberCharCase{"Comma", ",", ',', ','},
                    NumberCharCase{"Dot", ".", ',', ','},
                    NumberCharCase{"HalfWidthMiddleDot", "\xA5", ',', ','},
                    NumberCharCase{"Ampersand", "&", 0, ','},
                    NumberCharCase{"Space", " ", ',', ','}, NumberCharCase{"Equals", "=", '=', '='},
                    NumberCharCase{"FullWidthOne", "\x82\x50", '1', '1'},
                    NumberCharCase{"FullWidthFive", "\x82\x54", '5', '5'},
                    NumberCharCase{"FullWidthNine", "\x82\x58", '9', '9'},
                    NumberCharCase{"FullWidthZero", "\x82\x4F", '0', '0'},
                    NumberCharCase{"FullWidthMinus", "\x81\x7C", '-', '-'},
                    NumberCharCase{"WaveDash", "\x81\x60", '-', '-'},
                    NumberCharCase{"Hyphen", "\x81\x5D", '-', 0},
                    NumberCharCase{"FullWidthComma", "\x81\x43", ',', ','},
                    NumberCharCase{"IdeographicComma", "\x81\x41", ',', ','},
                    NumberCharCase{"KatakanaMiddleDot", "\x81\x45", ',', ','},
                    NumberCharCase{"FullWidthAmpersand", "\x81\x95", ',', ','},
                    NumberCharCase{"FullWidthEquals", "\x81\x81", '=', '='},
                    // Neighbours of the members are not members.
                    NumberCharCase{"FullWidthA", "\x82\x60", 0, 0},
                    NumberCharCase{"FullWidthNineNext", "\x82\x59", 0, 0},
                    NumberCharCase{"FullStop", "\x81\x42", 0, 0},
                    NumberCharCase{"FullWidthGreaterThan", "\x81\x84", 0, 0},
                    NumberCharCase{"Letter", "a", 0, 0}, NumberCharCase{"Plus", "+", 0, 0},
                    NumberCharCase{"Semicolon", ";", 0, 0},
                    NumberCharCase{"HalfWidthKatakana", "\xB1", 0, 0},
                    // "C" and "]" are second bytes of members: alone they are letters, not members.
                    NumberCharCase{"SecondByteOfComma", "C", 0, 0},
                    NumberCharCase{"SecondByteOfHyphen", "]", 0, 0}),
    [](const testing::TestParamInfo<NumberCharCase>& info) {
      return std::string(info.param.name);
    });

}  // namespace
}  // namespace velkor
