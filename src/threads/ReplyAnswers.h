#pragma once

#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "threads/ReplyList.h"

namespace velkor {

// The most replies one anchor may select and still count as answering them: ">>1-1000" is a call to
// everyone, not an answer, and a log full of such anchors must not make a million references.
inline constexpr int kMaxRangeAnswers = 100;

// Who answers whom in a loaded thread. A reply refers to every reply its anchors select: the
// anchor links LoadReplies put into the messages (<a href="#a{spec}">, made by LinkReplyAnchors
// from every written form: "&gt;&gt;5", "＞＞５", ranges "12-15", lists "3,5"), each spec read as
// ParseReplySpec reads it, so numbers above kMaxPopupReplies select nothing; an anchor that selects
// more than kMaxRangeAnswers numbers answers none of them. A reply does not answer itself, only
// replies of the thread count, and one reply answers another at most once however often it names
// it. Replies whose message was replaced (an NG filter's "あぼーん") hold no
// anchors and so answer nothing.
class ReplyAnswers {
 public:
  ReplyAnswers() = default;
  explicit ReplyAnswers(const ReplyList& replies);

  // The number of replies covered (the list's Count()).
  int Count() const { return count_; }

  // The replies that refer to reply k, ascending; empty for k outside 1 ... Count(). Valid as long
  // as this object is.
  std::span<const int> AnswersTo(int k) const { return Slice(answers_, answerStart_, k); }

  // The replies reply k refers to, ascending; empty for k outside 1 ... Count().
  std::span<const int> ReferencesOf(int k) const { return Slice(references_, referenceStart_, k); }

 private:
  std::span<const int> Slice(const std::vector<int>& numbers, const std::vector<int>& start,
                             int k) const {
    if (k < 1 || k > count_) return {};
    const auto i = static_cast<std::size_t>(k - 1);
    return std::span<const int>(numbers).subspan(static_cast<std::size_t>(start[i]),
                                                 static_cast<std::size_t>(start[i + 1] - start[i]));
  }

  int count_ = 0;
  // Both lists of all replies back to back; reply k's part runs from start[k-1] to start[k].
  std::vector<int> answers_;
  std::vector<int> answerStart_;
  std::vector<int> references_;
  std::vector<int> referenceStart_;
};

// Calls `visit` with the reply spec of every reply-anchor link in a converted message (the text
// between
// "#a" and the closing quote), in order.
template <typename Visit>
void ForEachAnchorSpec(std::string_view message, Visit&& visit) {
  // "#" is rare in messages outside these links, so it is looked for first.
  constexpr std::string_view kOpen = "<a href=\"#a";
  constexpr std::size_t kHash = kOpen.size() - 2;  // offset of "#" in kOpen
  std::size_t at = kHash;
  while (at < message.size()) {
    const void* hit = std::memchr(message.data() + at, '#', message.size() - at);
    if (hit == nullptr) return;
    const auto hash = static_cast<std::size_t>(static_cast<const char*>(hit) - message.data());
    at = hash + 1;
    if (message.compare(hash - kHash, kOpen.size(), kOpen) != 0) continue;
    const std::size_t begin = hash + 2;
    const std::size_t end = message.find('"', begin);
    if (end == std::string_view::npos) return;
    visit(message.substr(begin, end - begin));
    at = end;
  }
}

}  // namespace velkor
