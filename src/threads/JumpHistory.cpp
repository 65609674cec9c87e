#include "threads/JumpHistory.h"

namespace velkor {

void JumpHistory::Record(ReadingSpot from) {
  PushBack(from);
  forward_.clear();
}

std::optional<ReadingSpot> JumpHistory::Back(ReadingSpot current) {
  if (back_.empty()) return std::nullopt;
  const ReadingSpot target = back_.back();
  back_.pop_back();
  forward_.push_back(current);
  return target;
}

std::optional<ReadingSpot> JumpHistory::Forward(ReadingSpot current) {
  if (forward_.empty()) return std::nullopt;
  const ReadingSpot target = forward_.back();
  forward_.pop_back();
  PushBack(current);
  return target;
}

void JumpHistory::Clear() {
  back_.clear();
  forward_.clear();
}

void JumpHistory::PushBack(ReadingSpot spot) {
  back_.push_back(spot);
  if (back_.size() > kLimit) back_.erase(back_.begin());
}

}  // namespace velkor
