#include "threads/AutoReloadSchedule.h"

#include <algorithm>

namespace velkor {

AutoReloadSchedule::Seconds AutoReloadSchedule::ClampInterval(long long seconds) {
  return Seconds(
      std::clamp<long long>(seconds, kShortestInterval.count(), kLongestInterval.count()));
}

AutoReloadSchedule::Off AutoReloadSchedule::Refusal(std::int32_t replies, bool past) {
  if (past) return Off::kPast;
  if (replies >= kFullThread) return Off::kFull;
  return Off::kNone;
}

bool AutoReloadSchedule::Start(Seconds interval, std::int32_t replies, bool past) {
  off_ = Refusal(replies, past);
  if (off_ != Off::kNone) return false;
  interval_ = ClampInterval(interval.count());
  emptyReloads_ = 0;
  dueAt_ = CurrentClock().Now() + Wait();
  return true;
}

void AutoReloadSchedule::Stop() {
  if (IsOn()) off_ = Off::kByUser;
}

bool AutoReloadSchedule::IsDue() const {
  return IsOn() && CurrentClock().Now() >= dueAt_;
}

void AutoReloadSchedule::Record(const ReloadFinding& found) {
  if (!IsOn()) return;
  emptyReloads_ = found.added > 0 ? 0 : emptyReloads_ + 1;
  off_ = Refusal(found.replies, found.past);
  if (off_ == Off::kNone && emptyReloads_ >= kEmptyReloadsBeforeStop) off_ = Off::kNothingNew;
  dueAt_ = CurrentClock().Now() + Wait();
}

}  // namespace velkor
