#pragma once

#include <string_view>
#include <vector>

#include "threads/ReplyList.h"

namespace velkor {

// Who answers whom in a loaded thread. A reply refers to every reply its anchors select: the
// anchor links LoadReplies put into the messages (<a href="#a{spec}">, made by LinkReplyAnchors
// from every written form: "&gt;&gt;5", "＞＞５", ranges "12-15", lists "3,5"), each spec read as
// ParseReplySpec reads it, so numbers above kMaxPopupReplies select nothing. A reply does not
// answer itself, only replies of the thread count, and one reply answers another at most once
// however often it names it. Replies whose message was replaced (an NG filter's "あぼーん") hold no
// anchors and so answer nothing.
class ReplyAnswers {
 public:
  ReplyAnswers() = default;
  explicit ReplyAnswers(const ReplyList& replies);

  // The number of replies covered (the list's Count()).
  int Count() const { return static_cast<int>(answers_.size()); }

  // The replies that refer to reply k, ascending; empty for k outside 1 ... Count().
  const std::vector<int>& AnswersTo(int k) const;

  // The replies reply k refers to, ascending; empty for k outside 1 ... Count().
  const std::vector<int>& ReferencesOf(int k) const;

 private:
  std::vector<std::vector<int>> answers_;
  std::vector<std::vector<int>> references_;
};

// Calls `visit` with the spec of every reply-anchor link in a converted message (the text between
// "#a" and the closing quote), in order.
template <typename Visit>
void ForEachAnchorSpec(std::string_view message, Visit&& visit) {
  constexpr std::string_view kOpen = "<a href=\"#a";
  for (std::size_t at = message.find(kOpen); at != std::string_view::npos;
       at = message.find(kOpen, at)) {
    at += kOpen.size();
    const std::size_t end = message.find('"', at);
    if (end == std::string_view::npos) return;
    visit(message.substr(at, end - at));
    at = end;
  }
}

}  // namespace velkor
