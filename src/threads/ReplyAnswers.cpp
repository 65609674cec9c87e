#include "threads/ReplyAnswers.h"

#include <algorithm>

#include "threads/ReplySpec.h"

namespace velkor {
namespace {

const std::vector<int>& NoReplies() {
  static const std::vector<int> none;
  return none;
}

// The number a spec of digits alone selects (0 when it selects nothing), or -1 when the spec
// holds ranges or lists. Saves walking a whole selection for the common single-number anchor.
int PlainNumber(std::string_view spec) {
  int value = 0;
  for (char c : spec) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
    if (value > kMaxPopupReplies) {
      // Digits only: any longer number is above the limit too (leading zeros aside, which the
      // accumulator already discarded).
      return 0;
    }
  }
  return value;
}

}  // namespace

ReplyAnswers::ReplyAnswers(const ReplyList& replies)
    : answers_(static_cast<std::size_t>(replies.Count())),
      references_(static_cast<std::size_t>(replies.Count())) {
  const int n = replies.Count();
  const int last = std::min(n, kMaxPopupReplies);
  for (int j = 1; j <= n; ++j) {
    std::vector<int>& refs = references_[static_cast<std::size_t>(j - 1)];
    ForEachAnchorSpec(replies.Message(j), [&](std::string_view spec) {
      if (const int k = PlainNumber(spec); k >= 0) {
        if (k >= 1 && k <= last) refs.push_back(k);
        return;
      }
      const ReplySelection selection = ParseReplySpec(spec);
      for (int k = 1; k <= last; ++k) {
        if (selection.Has(k)) refs.push_back(k);
      }
    });
    std::sort(refs.begin(), refs.end());
    refs.erase(std::unique(refs.begin(), refs.end()), refs.end());
    refs.erase(std::remove(refs.begin(), refs.end(), j), refs.end());
    // j rises, so each answer list comes out ascending.
    for (int k : refs) answers_[static_cast<std::size_t>(k - 1)].push_back(j);
  }
}

const std::vector<int>& ReplyAnswers::AnswersTo(int k) const {
  return k >= 1 && k <= Count() ? answers_[static_cast<std::size_t>(k - 1)] : NoReplies();
}

const std::vector<int>& ReplyAnswers::ReferencesOf(int k) const {
  return k >= 1 && k <= Count() ? references_[static_cast<std::size_t>(k - 1)] : NoReplies();
}

}  // namespace velkor
