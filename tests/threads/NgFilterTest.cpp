#include "threads/NgFilter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "support/TempDataDir.h"
#include "threads/DatRenderer.h"

namespace velkor {
namespace {

using test::S;

// Regex rules are judged under a time budget. The clock stands still for every test of this
// program, so counted work alone decides its verdicts; a test that needs time to pass installs a
// clock of its own.
class FrozenClock final : public testing::Environment {
 public:
  void SetUp() override { SetClockForTesting(&clock_); }
  void TearDown() override { SetClockForTesting(nullptr); }

 private:
  ManualClock clock_;
};

testing::Environment* const kFrozenClock = testing::AddGlobalTestEnvironment(new FrozenClock);

// A real-looking thread: a trip, server link markup, a full-width anchor, entities, a character
// ("オ", 0x83 0x49) whose second byte is an ASCII "I", and a broken character (a lead byte before
// "&gt;").
const char* const kLog =
    "名無しさん<>sage<>2026/12/07(月) 12:00:00.00 ID:Abc123<> 宣伝です http://spam.example/ "
    "<>スレ\n"
    "名無しさん</b>◆Trip12 <b><><>2026/12/07(月) 12:01:00.00 ID:Def456<> "
    "<a href=\"../test/read.cgi/news/1/1\" target=\"_blank\">&gt;&gt;1</a> 通報した <>\n"
    "名無しさん<>age<>2026/12/07(月) 12:02:00.00 ID:Abc123<> ＞＞２ &lt;b&gt;太字&lt;/b&gt; <>\n"
    "名無しさん<><>2026/12/07(月) 12:03:00.00 ID:Ghi789<> &gt;&gt;3 オ <>\n"
    "名無しさん<><>2026/12/07(月) 12:04:00.00 ID:Abc1234<> 普通のレス @&gt;broken <>\n";

ReplyList LoadThread() {
  std::string log = S(kLog);
  log[log.find('@')] = '\x81';  // a lead byte without its second byte
  ReplyList replies;
  LoadRepliesFromText(replies, log);
  return replies;
}

NgRule Rule(NgKind kind, const char* pattern, bool hidden = false, bool chain = false,
            const char* board = "") {
  return NgRule{kind, S(pattern), board, hidden, chain};
}

// One character per reply: '-' shown, 'A' あぼーん, 'H' hidden.
std::string Describe(const std::vector<NgVerdict>& verdicts) {
  std::string text;
  for (NgVerdict v : verdicts)
    text += v == NgVerdict::kShown ? '-' : v == NgVerdict::kAbone ? 'A' : 'H';
  return text;
}

struct FilterCase {
  const char* name;
  std::vector<NgRule> rules;
  const char* board;  // the board of the thread
  const char* verdicts;
};

void PrintTo(const FilterCase& c, std::ostream* os) {
  *os << c.name;
}

class NgFilterTest : public testing::TestWithParam<FilterCase> {};

TEST_P(NgFilterTest, Judges) {
  const NgFilter filter(GetParam().rules, GetParam().board);
  EXPECT_EQ(Describe(filter.Judge(LoadThread()).verdicts), GetParam().verdicts);
}

using K = NgKind;

INSTANTIATE_TEST_SUITE_P(
    Rules, NgFilterTest,
    testing::Values(
        FilterCase{"NoRule", {}, "h/news", "-----"},
        FilterCase{"Word", {Rule(K::kWord, "宣伝")}, "h/news", "A----"},
        FilterCase{"WordSeesEntitiesDecoded", {Rule(K::kWord, "<b>太字")}, "h/news", "--A--"},
        FilterCase{"WordSeesAnchorsAsShown", {Rule(K::kWord, ">>1 通報")}, "h/news", "-A---"},
        FilterCase{"WordNeverInsideACharacter", {Rule(K::kWord, "I")}, "h/news", "-----"},
        FilterCase{"WordAfterABrokenCharacter", {Rule(K::kWord, ">broken")}, "h/news", "----A"},
        FilterCase{"WordLooksAtTheMessageOnly", {Rule(K::kWord, "名無し")}, "h/news", "-----"},
        FilterCase{
            "NameWithTripMarkupRemoved", {Rule(K::kName, "名無しさん◆Trip")}, "h/news", "-A---"},
        FilterCase{"MailPart", {Rule(K::kMail, "age")}, "h/news", "A-A--"},
        FilterCase{"IdWhole", {Rule(K::kId, "Abc123")}, "h/news", "A-A--"},
        FilterCase{"Regex", {Rule(K::kRegex, "spam\\.example|太字$")}, "h/news", "A----"},
        FilterCase{"SeveralRegexes",
                   {Rule(K::kRegex, "spam\\.ex"), Rule(K::kRegex, "(?i)<B>太")},
                   "h/news",
                   "A-A--"},
        FilterCase{"SeveralRegexesOneWithABackReference",
                   {Rule(K::kRegex, "(宣)伝\\1?"), Rule(K::kRegex, "太字<")},
                   "h/news",
                   "A-A--"},
        // One rule found by its plain text, two without any tried together as one expression.
        FilterCase{"RegexesWithAndWithoutPlainText",
                   {Rule(K::kRegex, "spam\\.ex"), Rule(K::kRegex, "(?i)<B>太"),
                    Rule(K::kRegex, "(?:オ|ア)\\s*$")},
                   "h/news",
                   "A-AA-"},
        FilterCase{"RegexShiftJis", {Rule(K::kRegex, "[宣報]")}, "h/news", "AA---"},
        FilterCase{"Hidden", {Rule(K::kWord, "宣伝", true)}, "h/news", "H----"},
        FilterCase{"HiddenWinsOverAbone",
                   {Rule(K::kWord, "宣伝"), Rule(K::kId, "Abc123", true)},
                   "h/news",
                   "H-H--"},
        FilterCase{"BoardRuleOnItsBoard",
                   {Rule(K::kWord, "宣伝", false, false, "h/news")},
                   "h/news",
                   "A----"},
        FilterCase{"BoardRuleElsewhere",
                   {Rule(K::kWord, "宣伝", false, false, "h/news")},
                   "h/other",
                   "-----"},
        FilterCase{"BoardRuleOutsideAnyBoard",
                   {Rule(K::kWord, "宣伝", false, false, "h/news")},
                   "",
                   "-----"},
        FilterCase{"GlobalRuleOutsideAnyBoard", {Rule(K::kWord, "宣伝")}, "", "A----"},
        FilterCase{"ChainFollowsAnswersOfAnswers",
                   {Rule(K::kWord, "宣伝", false, true)},
                   "h/news",
                   "AAAA-"},
        FilterCase{"ChainHidden", {Rule(K::kWord, "宣伝", true, true)}, "h/news", "HHHH-"},
        FilterCase{"ChainNeverGoesBack", {Rule(K::kWord, "通報", false, true)}, "h/news", "-AAA-"},
        FilterCase{"ChainCarriesOnlyTheChainingRule",
                   {Rule(K::kId, "Def456", true), Rule(K::kWord, "宣伝", false, true)},
                   "h/news",
                   "AHAA-"},
        FilterCase{"RegexTheEngineRefusesIsLeftOut",
                   {Rule(K::kRegex, "a("), Rule(K::kWord, "普通")},
                   "h/news",
                   "----A"}),
    [](const testing::TestParamInfo<FilterCase>& info) { return std::string(info.param.name); });

TEST(NgFilterApplyTest, ReplacesEveryFieldAndKeepsTheNumbers) {
  const ReplyList replies = LoadThread();
  const NgFilter filter({Rule(K::kId, "Abc123"), Rule(K::kWord, "オ", true)}, "");
  const NgOutcome outcome = filter.Apply(replies);
  ASSERT_EQ(outcome.replies.Count(), 5);
  EXPECT_EQ(Describe(outcome.verdicts), "A-AH-");
  for (int k : {1, 3, 4}) {
    EXPECT_EQ(outcome.replies.Name(k), S("あぼーん")) << k;
    EXPECT_EQ(outcome.replies.Mail(k), S("あぼーん")) << k;
    EXPECT_EQ(outcome.replies.Date(k), S("あぼーん")) << k;
    EXPECT_EQ(outcome.replies.Message(k), S("あぼーん")) << k;
  }
  for (int k : {2, 5}) {
    EXPECT_EQ(outcome.replies.Message(k), replies.Message(k)) << k;
    EXPECT_EQ(outcome.replies.Date(k), replies.Date(k)) << k;
  }
  EXPECT_TRUE(outcome.AnyHidden());
  EXPECT_TRUE(outcome.AnyFiltered());
  EXPECT_EQ(outcome.VerdictOf(4), NgVerdict::kHidden);
  EXPECT_EQ(outcome.VerdictOf(6), NgVerdict::kShown);
  EXPECT_EQ(outcome.VerdictOf(0), NgVerdict::kShown);
}

TEST(NgFilterApplyTest, WithoutRulesTheThreadStaysAsItIs) {
  const ReplyList replies = LoadThread();
  const NgFilter filter;
  EXPECT_TRUE(filter.Empty());
  EXPECT_TRUE(NgFilter({Rule(K::kWord, "x", false, false, "h/news")}, "h/b").Empty());
  const NgOutcome outcome = filter.Apply(replies);
  EXPECT_EQ(outcome.replies.Entries(), replies.Entries());
  EXPECT_FALSE(outcome.AnyFiltered());
}

struct VisibleCase {
  const char* name;
  const char* html;
  const char* text;
};

void PrintTo(const VisibleCase& c, std::ostream* os) {
  *os << c.name;
}

class NgVisibleTextTest : public testing::TestWithParam<VisibleCase> {};

TEST_P(NgVisibleTextTest, ShowsWhatTheReaderSees) {
  EXPECT_EQ(NgVisibleText(GetParam().html), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NgVisibleTextTest,
    testing::Values(VisibleCase{"LineBreaks", "a <br> b<br>c", "a \n b\nc"},
                    VisibleCase{"Links", "<a href=\"#a1\">&gt;&gt;1</a> x", ">>1 x"},
                    VisibleCase{"Entities", "&lt;&quot;&amp;&nbsp;&gt;", "<\"& >"},
                    VisibleCase{"EntityDecodedOnce", "&amp;lt;", "&lt;"},
                    VisibleCase{"UnknownEntityKept", "&copy; & x", "&copy; & x"},
                    VisibleCase{"UnclosedTagDropsTheRest", "a<b c", "a"}),
    [](const testing::TestParamInfo<VisibleCase>& info) { return std::string(info.param.name); });

// A thread of `count` replies whose messages are the same text.
ReplyList Repeated(const std::string& message, int count) {
  ReplyList replies;
  for (int k = 1; k <= count; ++k) replies.Add("n", "", "d", message);
  return replies;
}

// A clock that moves on by `step` each time it is read: every bounded match then costs one step.
class TickingClock final : public Clock {
 public:
  explicit TickingClock(std::chrono::milliseconds step) : step_(step), previous_(&CurrentClock()) {
    SetClockForTesting(this);
  }
  ~TickingClock() override { SetClockForTesting(previous_); }
  TickingClock(const TickingClock&) = delete;
  TickingClock& operator=(const TickingClock&) = delete;
  TimePoint Now() const override { return now_ += step_; }

 private:
  std::chrono::milliseconds step_;
  const Clock* previous_;
  mutable TimePoint now_{};
};

// A rule whose search never ends on a poster's text ("(a+)+$" on "aaa…a!") gives up on the first
// reply, is switched off for the thread and named; the other rules go on judging every reply.
TEST(NgBudgetTest, ARuleThatBacktracksWithoutEndIsSwitchedOff) {
  const ReplyList replies = Repeated(std::string(40, 'a') + "!", 1000);
  const NgFilter filter({NgRule{NgKind::kRegex, "(a+)+$", "", false, false},
                         NgRule{NgKind::kRegex, "zzz", "", false, false},
                         NgRule{NgKind::kWord, "!", "", true, false}},
                        "");
  const NgJudgement judgement = filter.Judge(replies);
  ASSERT_EQ(judgement.switchedOff.size(), 1u);
  EXPECT_EQ(judgement.switchedOff[0].pattern, "(a+)+$");
  EXPECT_EQ(Describe(judgement.verdicts), std::string(1000, 'H'));
  EXPECT_EQ(NgSwitchedOffText(judgement.switchedOff),
            S("警告:重すぎるNGルールをこのスレでは止めました: regex (a+)+$"));
}

// Time spent is added up per rule and per thread: a rule is switched off once it spent
// kNgRuleBudget, and every rule still on once all of them spent kNgPageBudget. Replies judged
// before keep their verdicts.
TEST(NgBudgetTest, RuleAndPageBudgetsSwitchRulesOff) {
  const TickingClock clock(std::chrono::milliseconds(10));  // one bounded match: 10 ms
  const ReplyList replies = Repeated("x", 100);
  const NgJudgement one =
      NgFilter({NgRule{NgKind::kRegex, "x$", "", false, false}}, "").Judge(replies);
  ASSERT_EQ(one.switchedOff.size(), 1u);
  EXPECT_EQ(Describe(one.verdicts), std::string(21, 'A') + std::string(79, '-'));

  // Three rules, none combinable ("\1"), 10 ms each per reply: the page budget runs out on the
  // fourteenth reply, before any rule spent its own.
  const NgJudgement three = NgFilter({NgRule{NgKind::kRegex, "(y)\\1", "", false, false},
                                      NgRule{NgKind::kRegex, "(z)\\1", "", false, false},
                                      NgRule{NgKind::kRegex, "(x)", "", false, false}},
                                     "")
                                .Judge(replies);
  EXPECT_EQ(three.switchedOff.size(), 3u);
  EXPECT_EQ(Describe(three.verdicts), std::string(14, 'A') + std::string(86, '-'));
}

struct CostCase {
  const char* pattern;
  bool refused;
};

class NgCostCheckTest : public testing::TestWithParam<CostCase> {};

// Patterns whose nested or overlapping repeats try every split of a run are refused when added;
// ordinary expressions pass.
TEST_P(NgCostCheckTest, RefusesPatternsThatBlowTheBudgetOnATestText) {
  EXPECT_EQ(!NgRegexCostCheck(S(GetParam().pattern)).IsOk(), GetParam().refused)
      << GetParam().pattern;
}

INSTANTIATE_TEST_SUITE_P(Patterns, NgCostCheckTest,
                         testing::Values(CostCase{"(a+)+$", true}, CostCase{"(a|aa)+$", true},
                                         CostCase{"(?:a+){20}b", true}, CostCase{"((a+)+)+z", true},
                                         CostCase{"(\\w+\\s?)+$", true}, CostCase{"(あ+)+$", true},
                                         CostCase{"^(?:age)+$", false}, CostCase{"a.*b", false},
                                         CostCase{"宣伝|広告", false}, CostCase{"(", false}));

}  // namespace
}  // namespace velkor
