// NG filtering. Input: a rule file's text, an empty line, then a thread log. Oracles: one verdict
// per reply; filtered replies read "あぼーん" in every field and shown ones are unchanged; the
// answers and poster IDs of the filtered thread agree with each other (every answer is also a
// reference the other way, within the thread; every poster's replies carry its ID, in order); and
// the cost bound: with a clock that moves 1 ms each time it is read, the regex rules stop matching
// once the per-thread budget is spent, so the clock is read a bounded number of times whatever the
// rules and the text.

#include <chrono>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "base/Clock.h"
#include "threads/DatRenderer.h"
#include "threads/NgFilter.h"
#include "threads/NgRuleFile.h"
#include "threads/PosterIds.h"
#include "threads/ReplyAnswers.h"

namespace {

// Moves on by 1 ms each time it is read, and counts the reads.
class CountingClock final : public velkor::Clock {
 public:
  TimePoint Now() const override {
    ++reads;
    return now_ += std::chrono::milliseconds(1);
  }
  mutable long reads = 0;

 private:
  mutable TimePoint now_{};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velkor;
  if (size > 64 * 1024) return 0;
  const std::string_view input = fuzz::AsText(data, size);
  const std::size_t split = input.find("\n\n");
  if (split == std::string_view::npos) return 0;
  NgRuleFile file;
  file.Parse(input.substr(0, split));
  ReplyList replies;
  LoadRepliesFromText(replies, input.substr(split + 2));
  const int n = replies.Count();

  static CountingClock clock;
  SetClockForTesting(&clock);
  clock.reads = 0;
  const NgFilter filter(file.Rules(), "h/b");
  const NgOutcome outcome = filter.Apply(replies);
  const long reads = clock.reads;
  SetClockForTesting(nullptr);

  std::size_t regexRules = 0;
  for (const NgRule& rule : file.Rules()) regexRules += rule.kind == NgKind::kRegex ? 1 : 0;
  // Two reads per bounded match; a match is made only while the page budget is not spent, and the
  // last one may overrun it once per rule and once for the combined expression.
  const long bound = 2 * (kNgPageBudget.count() + static_cast<long>(regexRules) + 2);
  FUZZ_CHECK(
      reads <= bound,
      "regex rules went on matching after the budget: " + std::to_string(reads) + " clock reads",
      std::string(input));

  FUZZ_CHECK(static_cast<int>(outcome.verdicts.size()) == n, "not one verdict per reply", "");
  FUZZ_CHECK(outcome.replies.Count() == n, "replies lost or added", "");
  for (int k = 1; k <= n; ++k) {
    const bool shown = outcome.VerdictOf(k) == NgVerdict::kShown;
    const ReplyList& r = outcome.replies;
    if (shown) {
      FUZZ_CHECK(r.Name(k) == replies.Name(k) && r.Mail(k) == replies.Mail(k) &&
                     r.Date(k) == replies.Date(k) && r.Message(k) == replies.Message(k),
                 "a shown reply changed", std::to_string(k));
    } else {
      FUZZ_CHECK(r.Name(k) == AboneText() && r.Mail(k) == AboneText() && r.Date(k) == AboneText() &&
                     r.Message(k) == AboneText(),
                 "a filtered reply keeps a field", std::to_string(k));
    }
  }

  const ReplyAnswers answers(outcome.replies);
  for (int k = 1; k <= n; ++k) {
    for (int a : answers.AnswersTo(k)) {
      FUZZ_CHECK(a >= 1 && a <= n && a != k, "an answer outside the thread or to itself",
                 std::to_string(k));
      bool back = false;
      for (int r : answers.ReferencesOf(a)) back = back || r == k;
      FUZZ_CHECK(back, "an answer that is no reference the other way", std::to_string(k));
    }
  }
  const PosterIds ids(outcome.replies);
  for (const PosterIds::Poster& poster : ids.Posters()) {
    int place = 0;
    for (int k : poster.replies) {
      ++place;
      FUZZ_CHECK(ids.PosterOf(k) == &poster && ids.PositionOf(k) == place &&
                     ids.CountOf(k) == static_cast<int>(poster.replies.size()),
                 "a poster's replies disagree with its ID", poster.id);
    }
  }
  return 0;
}
