// Answers, posts by ID and NG filtering of a loaded thread: the shared generated log (BenchLog.h)
// with 1000 replies of about 600 bytes, answering earlier replies in every anchor form the linker
// knows, under 60 IDs. The NG rules are 100: 40 words, 20 names, 15 IDs, 10 mails and 15 regular
// expressions, a few global ones chaining; a handful of them match, so the chain has something to
// carry. BM_NgFilterCostlyRules judges a hostile thread under rules that would backtrack without
// end.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "BenchLog.h"
#include "base/Sjis.h"
#include "threads/DatRenderer.h"
#include "threads/NgFilter.h"
#include "threads/PosterIds.h"
#include "threads/ReplyAnswers.h"

namespace velkor {
namespace {

ReplyList MakeThread() {
  ReplyList replies;
  LoadRepliesFromText(replies, bench::MakeThreadLog(bench::LogShape(1000, 3)));
  return replies;
}

std::vector<NgRule> MakeRules() {
  std::vector<NgRule> rules;
  auto add = [&](NgKind kind, std::string pattern, bool chain = false) {
    rules.push_back(NgRule{kind, std::move(pattern), "", false, chain});
  };
  add(NgKind::kWord, Sjis("宣伝"), true);
  for (int i = 1; i < 40; ++i) add(NgKind::kWord, Sjis("禁止語") + std::to_string(i));
  for (int i = 0; i < 20; ++i) add(NgKind::kName, Sjis("◆NgTrip") + std::to_string(i));
  add(NgKind::kId, bench::PosterId(2));
  for (int i = 1; i < 15; ++i) add(NgKind::kId, "NoSuchId" + std::to_string(i));
  for (int i = 0; i < 10; ++i) add(NgKind::kMail, "mail" + std::to_string(i) + "@example");
  add(NgKind::kRegex, "spam\\.example/$", true);
  for (int i = 1; i < 15; ++i) {
    add(NgKind::kRegex, "(?:buy|cheap)" + std::to_string(i) + "[0-9]+\\s*yen");
  }
  return rules;
}

void BM_AnswersAndIds(benchmark::State& state) {
  const ReplyList replies = MakeThread();
  std::size_t answered = 0;
  for (auto _ : state) {
    const ReplyAnswers answers(replies);
    const PosterIds ids(replies);
    answered = answers.AnswersTo(1).size() + ids.Posters().size();
    benchmark::DoNotOptimize(answered);
  }
  state.counters["replies"] = replies.Count();
}
BENCHMARK(BM_AnswersAndIds)->Unit(benchmark::kMicrosecond);

void BM_NgFilter100Rules(benchmark::State& state) {
  const ReplyList replies = MakeThread();
  const std::vector<NgRule> rules = MakeRules();
  const NgFilter filter(rules, "");
  int filtered = 0;
  for (auto _ : state) {
    const NgOutcome outcome = filter.Apply(replies);
    filtered = 0;
    for (NgVerdict v : outcome.verdicts) filtered += v != NgVerdict::kShown;
    benchmark::DoNotOptimize(filtered);
  }
  state.counters["rules"] = static_cast<double>(rules.size());
  state.counters["filtered"] = filtered;
}
BENCHMARK(BM_NgFilter100Rules)->Unit(benchmark::kMicrosecond);

void BM_NgFilterBuild100Rules(benchmark::State& state) {
  const std::vector<NgRule> rules = MakeRules();
  for (auto _ : state) {
    NgFilter filter(rules, "");
    benchmark::DoNotOptimize(filter);
  }
}
BENCHMARK(BM_NgFilterBuild100Rules)->Unit(benchmark::kMicrosecond);

// A hostile thread: 1000 replies of "bz aaa…a!" under rules that would backtrack without end on
// them, or that cost the square of a long message; the matching budget switches the rules off, so
// the page is judged in bounded time. The "bz" holds the plain text the rules require, so no scan
// rules the replies out before a search. Argument: the rule set (0 "(a+)+$", 1 "(a|aa)+$",
// 2 "(?:a+){20}b", 3 "((a+)+)+z", 4 all four and "a.*b.*c.*d", on 40-letter messages; 5
// "a.*b.*c.*d" and "a.*a.*a.*a.*x" on 4000-letter messages).
void BM_NgFilterCostlyRules(benchmark::State& state) {
  const auto set = static_cast<std::size_t>(state.range(0));
  const std::size_t letters = set == 5 ? 4000 : 40;
  ReplyList replies;
  for (int k = 1; k <= 1000; ++k)
    replies.Add("n", "", "d", "bz " + std::string(letters, 'a') + "!");
  const std::vector<std::string> patterns = {"(a+)+$", "(a|aa)+$", "(?:a+){20}b", "((a+)+)+z"};
  std::vector<NgRule> rules;
  auto add = [&rules](const std::string& pattern) {
    rules.push_back(NgRule{NgKind::kRegex, pattern, "", false, false});
  };
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    if (set == i || set == 4) add(patterns[i]);
  }
  if (set == 4 || set == 5) add("a.*b.*c.*d");
  if (set == 5) add("a.*a.*a.*a.*x");
  const NgFilter filter(rules, "");
  std::size_t off = 0;
  for (auto _ : state) {
    const NgOutcome outcome = filter.Apply(replies);
    off = outcome.switchedOff.size();
    benchmark::DoNotOptimize(outcome.verdicts.data());
  }
  state.counters["switched_off"] = static_cast<double>(off);
}
BENCHMARK(BM_NgFilterCostlyRules)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velkor
