#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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
  std::vector<NgVerdict> Judge(const ReplyList& replies) const;

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
