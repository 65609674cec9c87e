#include "threads/PosterIds.h"

#include <cstring>
#include <unordered_map>

#include "threads/ReplyChars.h"

namespace velkor {

std::string_view ReplyIdOf(std::string_view date) {
  constexpr std::string_view kId = "ID:";
  std::size_t at = 0;
  while (true) {
    const void* hit = memmem(date.data() + at, date.size() - at, kId.data(), kId.size());
    if (hit == nullptr) return {};
    at = static_cast<std::size_t>(static_cast<const char*>(hit) - date.data());
    if (IsCharStart(date, 0, at)) break;
    ++at;
  }
  const std::size_t begin = at + kId.size();
  std::size_t end = begin;
  while (end < date.size() && static_cast<unsigned char>(date[end]) > ' ' && date[end] != '<') {
    ++end;
  }
  const std::string_view id = date.substr(begin, end - begin);
  if (id.find_first_not_of('?') == std::string_view::npos) return {};
  return id;
}

PosterIds::PosterIds(const ReplyList& replies)
    : posterOf_(static_cast<std::size_t>(replies.Count()), -1),
      positionOf_(static_cast<std::size_t>(replies.Count()), 0) {
  std::unordered_map<std::string_view, std::size_t> firstSeen;
  for (int k = 1; k <= replies.Count(); ++k) {
    const std::string_view id = ReplyIdOf(replies.Date(k));
    if (id.empty()) continue;
    auto [it, added] = firstSeen.try_emplace(id, posters_.size());
    if (added) posters_.push_back({std::string(id), {}});
    Poster& poster = posters_[it->second];
    poster.replies.push_back(k);
    posterOf_[static_cast<std::size_t>(k - 1)] = static_cast<int>(it->second);
    positionOf_[static_cast<std::size_t>(k - 1)] = static_cast<int>(poster.replies.size());
  }
}

const PosterIds::Poster* PosterIds::Find(std::string_view id) const {
  for (const Poster& poster : posters_) {
    if (poster.id == id) return &poster;
  }
  return nullptr;
}

const PosterIds::Poster* PosterIds::PosterOf(int k) const {
  if (k < 1 || k > static_cast<int>(posterOf_.size())) return nullptr;
  const int i = posterOf_[static_cast<std::size_t>(k - 1)];
  return i < 0 ? nullptr : &posters_[static_cast<std::size_t>(i)];
}

int PosterIds::PositionOf(int k) const {
  return PosterOf(k) ? positionOf_[static_cast<std::size_t>(k - 1)] : 0;
}

int PosterIds::CountOf(int k) const {
  const Poster* poster = PosterOf(k);
  return poster ? static_cast<int>(poster->replies.size()) : 0;
}

}  // namespace velkor
