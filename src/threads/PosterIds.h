#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "threads/ReplyList.h"

namespace velkor {

// The ID a reply's date field carries: the text after its first "ID:" (found at a character
// start) up to the next blank, "<" or the end of the field. Empty when there is none, and for IDs
// made only of "?" ("ID:???"), which the boards show when they withhold the poster's ID.
std::string_view ReplyIdOf(std::string_view date);

// The posts of each ID in a loaded thread (ReplyIdOf of every reply's date).
class PosterIds {
 public:
  struct Poster {
    std::string id;
    std::vector<int> replies;  // ascending
  };

  PosterIds() = default;
  explicit PosterIds(const ReplyList& replies);

  // Every ID, in the order of its first post.
  const std::vector<Poster>& Posters() const { return posters_; }

  // The poster of an ID, or null when no reply carries it.
  const Poster* Find(std::string_view id) const;

  // For reply k: its poster (null without an ID or for k outside the thread), its place among
  // that poster's posts (1-based; 0 without an ID) and that poster's number of posts (0 without).
  const Poster* PosterOf(int k) const;
  int PositionOf(int k) const;
  int CountOf(int k) const;

 private:
  std::vector<Poster> posters_;
  std::vector<int> posterOf_;    // per reply: index into posters_, -1 without an ID
  std::vector<int> positionOf_;  // per reply: 1-based place among its poster's posts
};

}  // namespace velkor
