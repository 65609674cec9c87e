#include "threads/ReplyAnswers.h"

#include <algorithm>

#include "threads/ReplySpec.h"

namespace velkor {
namespace {

// The number a reply spec of one number selects (0 when it selects nothing), or -1 when the reply
// spec holds ranges or several numbers. A number followed only by list marks ("5," from "&gt;&gt;5
// ") is one number too. Saves walking a whole selection for the common single-number anchor.
int PlainNumber(std::string_view spec) {
  int value = 0;
  std::size_t i = 0;
  for (; i < spec.size() && spec[i] >= '0' && spec[i] <= '9'; ++i) {
    // Past the limit the number selects nothing, however many digits follow.
    if (value <= kMaxPopupReplies) value = value * 10 + (spec[i] - '0');
  }
  for (; i < spec.size(); ++i) {
    if (spec[i] != ',' && spec[i] != '=') return -1;
  }
  return value > kMaxPopupReplies ? 0 : value;
}

}  // namespace

ReplyAnswers::ReplyAnswers(const ReplyList& replies) : count_(replies.Count()) {
  const int n = count_;
  const int last = std::min(n, kMaxPopupReplies);
  referenceStart_.reserve(static_cast<std::size_t>(n) + 1);
  referenceStart_.push_back(0);
  std::vector<int> counts(static_cast<std::size_t>(n), 0);
  // seen[k-1] == j once reply j refers to k, so each reference is taken once.
  std::vector<int> seen(static_cast<std::size_t>(n), 0);
  std::vector<int> refs;
  for (int j = 1; j <= n; ++j) {
    refs.clear();
    auto refer = [&](int k) {
      int& mark = seen[static_cast<std::size_t>(k - 1)];
      if (k == j || mark == j) return;
      mark = j;
      refs.push_back(k);
    };
    ForEachAnchorSpec(replies.Message(j), [&](std::string_view spec) {
      if (const int k = PlainNumber(spec); k >= 0) {
        if (k >= 1 && k <= last) refer(k);
        return;
      }
      const ReplySelection selection = ParseReplySpec(spec);
      const int size = selection.Size();
      if (size > kMaxRangeAnswers) return;
      // Stop once every selected number is found: most ranges are short.
      for (int k = 1, found = 0; k <= last && found < size; ++k) {
        if (!selection.Has(k)) continue;
        refer(k);
        ++found;
      }
    });
    std::sort(refs.begin(), refs.end());
    for (int k : refs) ++counts[static_cast<std::size_t>(k - 1)];
    references_.insert(references_.end(), refs.begin(), refs.end());
    referenceStart_.push_back(static_cast<int>(references_.size()));
  }
  answerStart_.resize(static_cast<std::size_t>(n) + 1, 0);
  for (int k = 1; k <= n; ++k) {
    answerStart_[static_cast<std::size_t>(k)] =
        answerStart_[static_cast<std::size_t>(k - 1)] + counts[static_cast<std::size_t>(k - 1)];
  }
  answers_.resize(references_.size());
  // Filled in the order of the answering replies, so each reply's answers come out ascending.
  std::vector<int> next(answerStart_.begin(), answerStart_.end() - 1);
  for (int j = 1; j <= n; ++j) {
    for (int k : ReferencesOf(j)) {
      answers_[static_cast<std::size_t>(next[static_cast<std::size_t>(k - 1)]++)] = j;
    }
  }
}

}  // namespace velkor
