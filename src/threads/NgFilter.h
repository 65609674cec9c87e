#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"
#include "threads/NgRule.h"
#include "threads/ReplyList.h"

namespace velkor {

// How a reply is shown once the NG rules have judged it.
enum class NgVerdict : std::uint8_t {
  kShown,
  kAbone,   // shown as "あぼーん": number kept, every field replaced
  kHidden,  // left out of the page and of pop-ups
};

// A thread as the NG rules leave it: what the view renders and builds pop-ups from.
struct NgOutcome {
  // The replies with every reply that is not kShown replaced by AboneText() in all four fields;
  // reply numbers are unchanged.
  ReplyList replies;
  // Per reply (index k-1).
  std::vector<NgVerdict> verdicts;

  // The regex rules switched off for this thread because they cost too much (NgFilter::Judge).
  std::vector<NgRule> switchedOff;

  NgVerdict VerdictOf(int k) const {
    return k >= 1 && k <= static_cast<int>(verdicts.size())
               ? verdicts[static_cast<std::size_t>(k - 1)]
               : NgVerdict::kShown;
  }
  bool AnyHidden() const;    // some reply is kHidden
  bool AnyFiltered() const;  // some reply is not kShown
};

// The text that stands in for each field of a filtered reply: "あぼーん".
const std::string& AboneText();

// Bounds on the regex rules' matching for one thread, so that no rule and no log can stall the
// view: a regex rule that spends more than kNgRuleBudget on one thread, or whose search gives up
// (RegexEngine::kRetryLimit), is switched off for the rest of that thread; once the regex rules
// together spent kNgPageBudget on it, every regex rule still on is switched off. Time is read
// from CurrentClock(). A regex rule looks at the first kNgRegexSubjectLimit bytes of a message's
// visible text.
inline constexpr std::chrono::milliseconds kNgRuleBudget{200};
inline constexpr std::chrono::milliseconds kNgPageBudget{400};
inline constexpr std::size_t kNgRegexSubjectLimit = 4096;

// The verdicts on a thread and the rules switched off while judging it.
struct NgJudgement {
  std::vector<NgVerdict> verdicts;  // per reply (index k-1)
  std::vector<NgRule> switchedOff;  // in the order they were switched off
};

// What the window's status bar and the CLI's stderr say about rules switched off (CP932):
// "警告:重すぎるNGルールをこのスレでは止めました: " and each rule as "kind pattern", joined by
// " / ". Empty when there is none.
std::string NgSwitchedOffText(const std::vector<NgRule>& rules);

// Whether a regex rule's pattern may be added: Failed with the reason (CP932) when a search of one
// of the test texts made from the pattern's own characters ("aaa…a!" for "(a+)+$") gives up
// under RegexEngine::kRetryLimit. Deterministic: counted work, not time. A pattern the engine
// refuses passes here (NgRuleFile::Check reports it).
Outcome NgRegexCostCheck(std::string_view pattern);

// The NG rules that apply to one board, ready to judge its threads. Regex rules the search engine
// refuses are left out (NgRuleFile reports them).
class NgFilter {
 public:
  NgFilter();
  // The global rules of `rules` and those of `board` ("host/board"; empty: global rules only).
  NgFilter(const std::vector<NgRule>& rules, std::string_view board);
  NgFilter(NgFilter&&) noexcept;
  NgFilter& operator=(NgFilter&&) noexcept;
  ~NgFilter();

  // True when no rule applies, so every thread stays as it is.
  bool Empty() const { return matchers_ == nullptr; }

  // The verdict of every reply of a loaded thread (messages as LoadReplies converts them). A
  // reply matched by several rules is kHidden when one of them hides. A chaining rule also reaches
  // every reply that answers (ReplyAnswers) an earlier reply it reached, directly or through
  // further answers, with its own verdict; a rule without chaining never reaches answers, even of
  // a reply that a chaining rule reached too.
  // Regex rules run under the bounds above; the rules switched off are named in the judgement.
  NgJudgement Judge(const ReplyList& replies) const;

  // Judge, and the replies with the filtered ones replaced.
  NgOutcome Apply(const ReplyList& replies) const;

 private:
  struct Matchers;
  std::unique_ptr<Matchers> matchers_;  // null when no rule applies
};

// Text of an HTML field as the reader sees it: "<br>" becomes a line feed, other markup is removed
// (a "<" without ">" drops the rest), and "&lt;", "&gt;", "&quot;", "&amp;" and "&nbsp;" become
// their characters.
std::string NgVisibleText(std::string_view html);

}  // namespace velkor
