#include "search/RegexEngine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "base/Clock.h"
#include "base/Sjis.h"

#include "support/RecordingUiHooks.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;

TEST(RegexEngineTest, UnloadedEngineIsMissingAndSilent) {
  RegexEngine engine;
  EXPECT_EQ(engine.VersionText(), S("（・３・）アルェー　hmJre.dllが見つからないＹＯ"));
  const Result<PrepareCode> prepared = engine.Prepare("abc", true);
  EXPECT_EQ(prepared.Code(), PrepareCode::kNotLoaded);
  EXPECT_EQ(prepared.Reason(), "");
  EXPECT_FALSE(engine.Matches("abc"));
}

TEST(RegexEngineTest, VersionNamesOniguruma) {
  RegexEngine engine;
  engine.Load();
  EXPECT_EQ(engine.VersionText().rfind("Oniguruma 6.", 0), 0u) << engine.VersionText();
}

TEST(RegexEngineTest, RejectedPatternGivesTheBadWordReasonAndShowsNothing) {
  test::RecordingUiHooks ui;
  RegexEngine engine;
  engine.Load();
  ASSERT_TRUE(engine.Prepare("abc", true).IsOk());
  const Result<PrepareCode> prepared = engine.Prepare("(abc", true);
  EXPECT_EQ(prepared.Code(), PrepareCode::kBadWord);
  EXPECT_EQ(prepared.Reason(), S("（・３・）アルェー　検索ワードがおかしいＹＯ"));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_FALSE(engine.Matches("abc")) << "the earlier pattern is gone";
  EXPECT_EQ(engine.Pattern(), "abc") << "the word of the last successful preparation";
}

// A search that gives up (a pattern that backtracks without end on the text) exhausts the engine
// until the next preparation: every later answer is "no match", at no cost. A plain word never
// exhausts it.
TEST(RegexEngineTest, ASearchThatGivesUpExhaustsTheEngine) {
  RegexEngine engine;
  engine.Load();
  ASSERT_TRUE(engine.Prepare("(a+)+$", false).IsOk());
  const std::string run = std::string(64, 'a') + "!";
  EXPECT_EQ(engine.TryMatch(run), MatchResult::kTooCostly);
  EXPECT_FALSE(engine.Exhausted()) << "TryMatch leaves the engine alone";
  EXPECT_TRUE(engine.Matches("aaa"));
  EXPECT_FALSE(engine.Matches(run));
  EXPECT_TRUE(engine.Exhausted());
  EXPECT_FALSE(engine.Matches("aaa"));
  EXPECT_EQ(engine.FirstMatchingLine("aaa\n"), 0);
  ASSERT_TRUE(engine.Prepare("(a+)+$", false).IsOk());
  EXPECT_FALSE(engine.Exhausted());
  EXPECT_EQ(engine.FirstMatchingLine(run + "\naaa\n"), 0) << "the first line exhausts it";
  ASSERT_TRUE(engine.Prepare("aaa", false).IsOk());
  EXPECT_EQ(engine.FirstMatchingLine(run + "\naaa\n"), 1);
  EXPECT_FALSE(engine.Exhausted());
}

// A subject longer than the limit is matched on its first bytes, cut where a character starts.
TEST(RegexEngineTest, LongSubjectsAreCutAtACharacterStart) {
  RegexEngine engine;
  engine.Load();
  engine.SetSubjectLimit(5);
  ASSERT_TRUE(engine.Prepare(S("い+"), false).IsOk());
  EXPECT_TRUE(engine.Matches(S("aいaaa")));
  EXPECT_FALSE(engine.Matches(S("aaaあい"))) << "beyond the first five bytes";
  ASSERT_TRUE(engine.Prepare("^aaaa$", false).IsOk());
  EXPECT_TRUE(engine.Matches(S("aaaaい"))) << "cut before the two-byte character";
}

// A clock that moves on by 10 ms each time it is read.
class TickingClock final : public Clock {
 public:
  TickingClock() { SetClockForTesting(this); }
  ~TickingClock() override { SetClockForTesting(nullptr); }
  TickingClock(const TickingClock&) = delete;
  TickingClock& operator=(const TickingClock&) = delete;
  TimePoint Now() const override { return now_ += std::chrono::milliseconds(10); }

 private:
  mutable TimePoint now_{};
};

// With a budget the time spent matching adds up over the calls; once it is spent the engine is
// exhausted, until the next preparation.
TEST(RegexEngineTest, ABudgetBoundsTheTimeOfAWholeSearch) {
  const TickingClock clock;
  RegexEngine engine;
  engine.Load();
  engine.SetBudget(std::chrono::milliseconds(45));
  ASSERT_TRUE(engine.Prepare("b.", false).IsOk());
  int matched = 0;
  for (int i = 0; i < 10; ++i) matched += engine.Matches("abc") ? 1 : 0;
  EXPECT_EQ(matched, 5) << "the fifth call spends 50 ms";
  EXPECT_TRUE(engine.Exhausted());
  ASSERT_TRUE(engine.Prepare("b.", false).IsOk());
  EXPECT_TRUE(engine.Matches("abc"));
}

TEST(RegexEngineTest, FinishDropsThePattern) {
  RegexEngine engine;
  engine.Load();
  ASSERT_TRUE(engine.Prepare("abc", false).IsOk());
  EXPECT_TRUE(engine.Matches("xabcx"));
  engine.Finish();
  EXPECT_FALSE(engine.Matches("xabcx"));
}

struct LineCase {
  const char* name;
  const char* pattern;  // UTF-8
  bool ignoreCase;
  const char* text;  // UTF-8
  int line;          // first matching line, 0 for none
};

class FirstLineTest : public ::testing::TestWithParam<LineCase> {};

// Every case is run twice: as written, and wrapped in a group so that Oniguruma itself decides.
// Both must give the same line, so the fast scan for plain words is held to the engine's own
// answers.
TEST_P(FirstLineTest, PlainScanAgreesWithTheRegexEngine) {
  const LineCase& c = GetParam();
  test::RecordingUiHooks ui;
  for (const std::string& pattern :
       {S(c.pattern), "(" + S(c.pattern) + ")", "(?:" + S(c.pattern) + ")"}) {
    RegexEngine engine;
    engine.Load();
    ASSERT_TRUE(engine.Prepare(pattern, c.ignoreCase).IsOk()) << pattern;
    EXPECT_EQ(engine.FirstMatchingLine(S(c.text)), c.line) << pattern;
    // A one-line text matches as a whole exactly when its line does.
    const std::string text = c.text;
    if (!text.empty() && text.find_first_of("\r\n") == std::string::npos) {
      EXPECT_EQ(engine.Matches(S(c.text)), c.line == 1) << pattern;
    }
  }
}

const LineCase kLineCases[] = {
    {"LowerWordFindsUpperTitle", "velkor", true, "A VELKOR thread", 1},
    {"CaseCountsWhenAsked", "velkor", false, "A VELKOR thread", 0},
    {"MixedCaseWord", "VeLkOr", true, "x\nvelkor", 2},
    {"FifthLine", "needle", false, "a\nb\nc\nd\nhay needle\nneedle", 5},
    {"SeveralLinesGiveTheFirst", "ab", false, "ab\nab\nab", 1},
    {"CrLfLines", "x", false, "a\r\nb\r\nxx\r\n", 3},
    {"LoneCrLines", "x", false, "a\rb\rx", 3},
    {"MixedLineEnds", "z", true, "a\r\n\rb\n\nZ", 5},
    {"NoMatch", "zzz", true, "abc\ndef", 0},
    {"EmptyText", "a", true, "", 0},
    {"JapaneseWord", "スレッド", true, "一行目\n二行目のスレッド\n", 2},
    // ア is 83 41 in Shift_JIS: its second byte is "A" and must never be taken for one.
    {"SecondByteIsNoLetter", "A", false, "ア\nA", 2},
    {"SecondByteIsNoLetterIgnoringCase", "a", true, "アア\nxa", 2},
    // 表 is 95 5C: its second byte is the backslash.
    {"SecondByteBackslash", "表", false, "\\\n表示", 2},
    {"WordStartingWithTwoByteChar", "ア", true, "a\nbア", 2},
    {"MatchAfterTwoByteRun", "Ab", true, "アイウab", 1},
    {"FullWidthLettersDoNotFold", "ａ", true, "Ａ\nａ", 2},
    {"WordLongerThanText", "abcdef", true, "abc", 0},
    {"MatchAtTheVeryEnd", "end", false, "x\nthe end", 2},
    {"DigitsAndSymbols", "1-2", false, "12\n1-2", 2},
    // Expressions whose whole-text match spans a line end, which no single line holds.
    {"DotTakesALoneCrOnlyInTheWholeText", "a.b", false, "a\rb\nxaxb", 3},
    {"SpaceClassSpansLines", "a\\sb", false, "a\nb\na b", 3},
    {"NegatedClassSpansLines", "x[^y]z", false, "x\nz\r\nx-z", 3},
    {"EmptyMatchOnTheFirstLine", "q*", false, "abc\n", 1},
    {"EmptyTextHasNoLine", "q*", false, "", 0},
    {"WordBoundaryAtLineStart", "\\bword", false, "sword\nword", 2},
    {"LaterMatchAfterAFalseCandidate", "a.b", true, "xa\rB\nfoo\nzzAxb", 4},
    // A possessive repeat runs over the line end in the whole text; the boundary test after it then
    // fails there although the line on its own matches.
    {"PossessiveRepeatThenNonBoundary", "[a]\\s*+\\B", false, "a  \nb", 1},
    {"PossessiveRepeatThenBoundary", "[a]\\s*+\\b", false, "a  \nb\na", 3},
    // Expressions that begin with plain text: only lines holding it are tried.
    {"LeadingTextThenClass", "velk[o0]r", true, "VELK\nvelkor\nvelk0r", 2},
    {"QuantifiedLastLeadingChar", "abc*d", false, "xab\nabccd", 2},
    {"QuantifierMayDropTheChar", "abc?d", false, "abd", 1},
    {"PlusAfterLeadingText", "ab+c", false, "ac\nabbc", 2},
    {"TopLevelAlternative", "zz|abc", false, "abc\nzz", 1},
    {"AlternativeAfterParenInClass", "ab[(]|cd", false, "xx\ncd", 2},
    {"AlternativeInsideAGroup", "ab(c|d)", true, "ac\nABD", 2},
    {"LeadingTwoByteText", "スレ.ド", false, "スレ\nスレッド", 2},
    {"LeadingTextOnSecondBytes", "A.", false, "アイ\nAB", 2},
    // Expressions holding plain text anywhere: only lines holding it are tried.
    {"TextAfterAClass", "[uv]elk[o0]rneed(le|el)", true, "velkorneed\nxUELK0RNEEDEL", 2},
    {"IntervalIsNoText", "ab{2}c", false, "ab2}c\nabbc", 2},
    {"RepeatedRepeatMayDropTheChar", "ab+*c", false, "xx\nac", 2},
    {"OpenIntervalIsNoText", "x(y){1,}z", false, "x1,}z\nxyyz", 2},
    {"BraceWithoutIntervalIsText", "ab{c", false, "abc\nab{c", 2},
    {"EscapedPunctuationIsText", "a\\.b+c", false, "axbc\na.bbc", 2},
    {"EscapedLetterEndsTheText", "ab\\d+x", false, "ab\nab12x", 2},
    {"ClassWithBracketsInside", "[]x[:digit:]]yz", false, "yz\n]yz", 2},
    // Escapes of a class or a place, and groups that keep the options, end a run and reading goes
    // on; a group that switches an option gives no text at all.
    {"ClassEscapeIsNoText", "ye\\sn", true, "ye\nYE N", 2},
    {"PlaceEscapeIsNoText", "ab\\Bcd", false, "ab\nabcd", 2},
    {"PlainGroupKeepsTheTextAfterIt", "(?:ab|cd)\\s*yen", false, "yen\ncd yen", 2},
    {"LookBehindIsNoText", "(?<=a)bc", false, "xbc\nabc", 2},
    {"OptionGroupGivesNoText", "(?i)yen", false, "x\nYEN", 2},
    // "\c[" is one character (ESC): no class opens, and the alternative is at the top level.
    {"ControlEscapeTakesABracket", "u\\c[x|abc", false, "q\nabc", 2},
};

INSTANTIATE_TEST_SUITE_P(Cases, FirstLineTest, ::testing::ValuesIn(kLineCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Random texts over a small alphabet of single bytes, two-byte characters whose second byte looks
// like ASCII, stray first bytes of two-byte characters, and all three line ends: every fast path
// must give the line-by-line answer of Matches, and MayMatch must never rule out a match.
TEST(RegexEngineTest, FastPathsAgreeWithLineByLineOnRandomTexts) {
  const std::string pieces[] = {"a",    "A",     "b",     "B",     " ",  "\n", "\r",
                                "\r\n", S("ア"), S("表"), S("ａ"), "\\", "<",  "\x82"};
  const char* patterns[] = {
      "a",      "ab",      "Ab",          "bA",     "a b",     "ア",     "アa",    "表",
      "\\\\",   "a.b",     "a\\sb",       "a[^b]a", "ab*a",    "ab+",    "a(b|A)", "b|a\\sa",
      "[aA]b",  "(a|b)ア", "a.*b$",       "^b.?a",  "\\ba",    "<b+",    " a+",    " a{",
      "[ab]<b", "<",       "(?:a|b)\\sa", "a\\Bb",  "(?<=a)b", "(?i)ab", "b\\da"};
  std::uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7FFF;
  };
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const int length = static_cast<int>(next() % 24);
    for (int i = 0; i < length; ++i) text += pieces[next() % std::size(pieces)];
    for (const char* pattern : patterns) {
      for (const bool ignoreCase : {false, true}) {
        RegexEngine engine;
        engine.Load();
        ASSERT_TRUE(engine.Prepare(S(pattern), ignoreCase).IsOk()) << pattern;
        int expected = 0;
        const std::vector<std::string_view> lines = SplitLines(text);
        for (std::size_t k = 0; k < lines.size() && expected == 0; ++k) {
          if (engine.Matches(lines[k])) expected = static_cast<int>(k) + 1;
        }
        // A text the engine matches is never ruled out by the scan for the required text.
        ASSERT_TRUE(!engine.Matches(text) || engine.MayMatch(text)) << pattern;
        ASSERT_EQ(engine.FirstMatchingLine(text), expected)
            << "pattern " << pattern << " ignoreCase " << ignoreCase << " text bytes " << [&] {
                 std::string hex;
                 for (unsigned char c : text) hex += std::to_string(c) + " ";
                 return hex;
               }();
      }
    }
  }
}

TEST(RegexEngineTest, AnchorsAndLookAroundsWorkPerLine) {
  RegexEngine engine;
  engine.Load();
  const struct {
    const char* pattern;
    const char* text;
    int line;
  } cases[] = {
      {"\\Ab", "ab\nb", 2},      {"a\\z", "ab\na", 2},       {"a$", "a\r\nb\na", 1},
      {"^b", "ab\r\nb", 2},      {"(?<=x)a", "x\na\nxa", 3}, {"(?<!x)a", "x\nxa\na", 3},
      {"a(?=\\r)", "a\r\na", 0},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(engine.Prepare(c.pattern, false).IsOk()) << c.pattern;
    EXPECT_EQ(engine.FirstMatchingLine(c.text), c.line) << c.pattern;
  }
}

TEST(RegexEngineTest, RegularExpressionsWorkPerLine) {
  RegexEngine engine;
  engine.Load();
  ASSERT_TRUE(engine.Prepare("^b.*d$", false).IsOk());
  EXPECT_EQ(engine.FirstMatchingLine("abcd\nbcd\n"), 2);
  ASSERT_TRUE(engine.Prepare("a.b", false).IsOk());
  EXPECT_EQ(engine.FirstMatchingLine("a\nb\naxb"), 3) << "no match across a line end";
  EXPECT_TRUE(engine.Matches(S("aアb"))) << "one dot takes one two-byte character";
  ASSERT_TRUE(engine.Prepare(S("ス(レ|ト)"), true).IsOk());
  EXPECT_EQ(engine.FirstMatchingLine(S("スト\n")), 1);
}

TEST(RegexEngineTest, TruncatedTwoByteCharacterAtTheEndIsSafe) {
  RegexEngine engine;
  engine.Load();
  for (const char* word : {"x", "x.", "(?:x)"}) {
    ASSERT_TRUE(engine.Prepare(word, true).IsOk());
    EXPECT_EQ(engine.FirstMatchingLine(std::string("a\nx\x83")), word == std::string("x.") ? 0 : 2)
        << word;
  }
}

TEST(RegexEngineTest, WidthFoldingIsAnOption) {
  RegexEngine engine;
  engine.Load();
  EXPECT_FALSE(engine.FoldWidth());
  ASSERT_TRUE(engine.Prepare(S("ＡＢＣ１"), true).IsOk());
  EXPECT_FALSE(engine.Matches("xabc1"));
  engine.SetFoldWidth(true);
  ASSERT_TRUE(engine.Prepare(S("ＡＢＣ１"), true).IsOk());
  EXPECT_TRUE(engine.Matches("xabc1"));
  EXPECT_TRUE(engine.Matches(S("ａｂｃ１")));
  EXPECT_EQ(engine.FirstMatchingLine(S("abc\nａｂｃ１\n")), 2);
  EXPECT_EQ(engine.Pattern(), S("ＡＢＣ１")) << "the heading shows the word as typed";
}

TEST(RegexEngineTest, FoldFullWidthAsciiKeepsOtherCharacters) {
  EXPECT_EQ(FoldFullWidthAscii(S("Ｚｚ９０ア表\r\n")), S("Zz90ア表\r\n"));
}

}  // namespace
}  // namespace velkor
