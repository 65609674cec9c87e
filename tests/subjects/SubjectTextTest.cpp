#include "subjects/SubjectText.h"

#include <gtest/gtest.h>

#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;

struct ParseCase {
  const char* name;
  const char* line;  // UTF-8, converted to CP932
  bool ok;
  const char* datName;
  const char* title;
  int resCount;
};

class ParseSubjectLineTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseSubjectLineTest, Parses) {
  const ParseCase& c = GetParam();
  SubjectLine out;
  out.datName = "untouched";
  ASSERT_EQ(ParseSubjectLine(S(c.line), out), c.ok);
  if (!c.ok) {
    EXPECT_EQ(out.datName, "untouched");
    return;
  }
  EXPECT_EQ(out.datName, S(c.datName));
  EXPECT_EQ(out.title, S(c.title));
  EXPECT_EQ(out.resCount, c.resCount);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseSubjectLineTest,
    ::testing::Values(
        ParseCase{"Plain", "1234567890.dat<>Title (ab) (123)", true, "1234567890.dat",
                  "Title (ab) ", 123},
        ParseCase{"Japanese", "1700000000.dat<>【速報】ソフト表示の問題について★２ (1001)", true,
                  "1700000000.dat", "【速報】ソフト表示の問題について★２ ", 1001},
        ParseCase{"EntitiesInOrder", "1.dat<>a &amp;lt; b (5)", true, "1.dat", "a &lt; b ", 5},
        ParseCase{"AllEntities", "2.dat<>&lt;&gt;&quot;&amp; (7)", true, "2.dat", "<>\"& ", 7},
        ParseCase{"CountNotANumber", "3.dat<>x (12a)", true, "3.dat", "x ", 0},
        ParseCase{"EmptyCount", "3.dat<>x ()", true, "3.dat", "x ", 0},
        ParseCase{"SeparatorByteDroppedWhateverItIs", "4.dat#>t (1)", true, "4.dat", "t ", 1},
        ParseCase{"GreaterThanFirst", ">t (1)", true, "", "t ", 1},
        ParseCase{"NoGreaterThan", "5.dat t (1)", false, "", "", 0},
        ParseCase{"NoOpenParen", "6.dat<>t 1)", false, "", "", 0},
        ParseCase{"NoCloseParen", "7.dat<>t (1", false, "", "", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(JoinBrokenLinesTest, JoinsLinesWithoutLeadingKey) {
  std::vector<std::string> lines = {"1.dat<>A (1) \t", "continued (2)", "2.dat<>B (3)"};
  JoinBrokenLines(lines);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "1.dat<>A (1)continued (2)");
  SubjectLine parsed;
  ASSERT_TRUE(ParseSubjectLine(lines[0], parsed));
  EXPECT_EQ(parsed.title, "A (1)continued ");
  EXPECT_EQ(parsed.resCount, 2);
}

TEST(JoinBrokenLinesTest, JoinsSeveralPiecesAndKeepsTheFirstLine) {
  std::vector<std::string> lines = {S("途中から"), "1.dat<>A",       S("　続き"),     "000",
                                    "-0x",         " 12.dat<>B (1)", "\t7.dat<>C (2)"};
  JoinBrokenLines(lines);
  ASSERT_EQ(lines.size(), 4u) << "the first line is never joined to anything";
  EXPECT_EQ(lines[0], S("途中から"));
  EXPECT_EQ(lines[1], "1.dat<>A" + S("　続き") + "000-0x");
  EXPECT_EQ(lines[2], " 12.dat<>B (1)") << "a key after blanks counts";
  EXPECT_EQ(lines[3], "\t7.dat<>C (2)") << "and after a tab";
}

struct NameCase {
  const char* name;
  bool ok;
};

class ThreadDatNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(ThreadDatNameTest, OnlyDecimalKeys) {
  EXPECT_EQ(IsThreadDatName(GetParam().name), GetParam().ok);
}

INSTANTIATE_TEST_SUITE_P(Names, ThreadDatNameTest,
                         ::testing::Values(NameCase{"1234567890.dat", true},
                                           NameCase{"1.dat", true}, NameCase{".dat", false},
                                           NameCase{"../1.dat", false}, NameCase{"1/2.dat", false},
                                           NameCase{"12a.dat", false}, NameCase{"-1.dat", false},
                                           NameCase{"1.dat ", false}, NameCase{"1.DAT", false},
                                           NameCase{"", false}, NameCase{"123", false}));

TEST(CountLinesTest, CountsLikeTheStoredState) {
  EXPECT_EQ(CountLines(""), 0);
  EXPECT_EQ(CountLines("a\n"), 1);
  EXPECT_EQ(CountLines("a\nb"), 2);
  EXPECT_EQ(CountLines("a\r\nb\rc\n"), 3);
  EXPECT_EQ(CountLines("\n\n"), 2);
}

}  // namespace
}  // namespace velkor
