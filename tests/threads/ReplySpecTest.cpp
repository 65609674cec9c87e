#include "threads/ReplySpec.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "support/TempDataDir.h"

namespace velkor {
namespace {

// The selection as ranges, e.g. "1,3-5,1000".
std::string Describe(const ReplySelection& selection) {
  std::string text;
  for (int k = 1; k <= kMaxPopupReplies; ++k) {
    if (!selection.Has(k)) continue;
    int end = k;
    while (end < kMaxPopupReplies && selection.Has(end + 1)) ++end;
    if (!text.empty()) text += ",";
    text += std::to_string(k);
    if (end > k) text += "-" + std::to_string(end);
    k = end;
  }
  return text;
}

struct SpecCase {
  const char* name;
  const char* spec;
  const char* selected;
};

void PrintTo(const SpecCase& c, std::ostream* os) {
  *os << c.name;
}

class ParseReplySpecTest : public testing::TestWithParam<SpecCase> {};

TEST_P(ParseReplySpecTest, Selects) {
  EXPECT_EQ(Describe(ParseReplySpec(test::S(GetParam().spec))), GetParam().selected);
}

INSTANTIATE_TEST_SUITE_P(
    Specs, ParseReplySpecTest,
    testing::Values(SpecCase{"Single", "3", "3"}, SpecCase{"Range", "12-15", "12-15"},
                    SpecCase{"OpenStart", "-5", "1-5"}, SpecCase{"OpenEnd", "990-", "990-1000"},
                    SpecCase{"List", "1,3=5", "1,3,5"}, SpecCase{"LastFifty", "l50", "1"},
                    SpecCase{"LAfterNumbers", "3,4l", "1"}, SpecCase{"Reversed", "5-3", "5"},
                    SpecCase{"ReversedAboveLimit", "1200-3", ""}, SpecCase{"Zero", "0", ""},
                    SpecCase{"Empty", "", ""}, SpecCase{"Limit", "1000", "1000"},
                    SpecCase{"AboveLimit", "1001", ""}, SpecCase{"RangePastLimit", "999-1001", ""},
                    SpecCase{"Everything", "-", "1-1000"},
                    SpecCase{"ChainedRanges", "1-2-4", "1-4"},
                    SpecCase{"ChainedFromOpenEnd", "5--7", "5-1000"},
                    SpecCase{"LettersSkipped", "a1b2", "12"},
                    SpecCase{"FullWidthDigitsSkipped", "１２", ""},
                    // "ネ" is 0x83 0x6C: its second byte is an "l" that must not count.
                    SpecCase{"SecondByteIsNoL", "ネ5", "5"},
                    SpecCase{"HugeNumber", "99999999999999999999999999", ""},
                    SpecCase{"WrapsIn32Bits", "4294967297", ""},
                    SpecCase{"HugeRangeEnd", "3-18446744073709551617", ""}),
    [](const testing::TestParamInfo<SpecCase>& info) { return std::string(info.param.name); });

TEST(ReplySelectionTest, IgnoresNumbersOutOfRange) {
  ReplySelection selection;
  selection.Select(0);
  selection.Select(-4);
  selection.Select(1001);
  EXPECT_TRUE(selection.Empty());
  selection.Select(1000);
  EXPECT_TRUE(selection.Has(1000));
  EXPECT_FALSE(selection.Has(1001));
  EXPECT_EQ(selection.Size(), 1);
}

}  // namespace
}  // namespace velkor
