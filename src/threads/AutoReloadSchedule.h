#pragma once

#include <chrono>
#include <cstdint>

#include "app/Settings.h"
#include "base/Clock.h"

namespace velkor {

// What one automatic reload of a thread found.
struct ReloadFinding {
  // Replies the stored log gained (0 for "not modified" and for a failed fetch).
  std::int32_t added = 0;
  // Replies the stored log holds now.
  std::int32_t replies = 0;
  // The thread is no longer listed: its log came from the archive, or its board's list marks it
  // past.
  bool past = false;
};

// When an open thread is fetched again on its own ("自動更新"), and when that stops. Time is read
// from the clock seam (CurrentClock()), so tests move it by hand.
//
// Switched on, the first reload is due one interval later. After a reload that found new replies
// the next one is due one interval after it; after one that found nothing (a failure counts as
// nothing) the wait grows by kBackOff, and after kEmptyReloadsBeforeStop such reloads in a row the
// schedule switches itself off. A thread that holds kFullThread replies or more, or that is past,
// is never reloaded: the schedule refuses to start for it and stops when a reload finds it so.
class AutoReloadSchedule {
 public:
  using Seconds = std::chrono::seconds;
  static constexpr Seconds kDefaultInterval{kDefaultAutoReloadInterval};
  static constexpr Seconds kShortestInterval{kShortestAutoReloadInterval};
  static constexpr Seconds kLongestInterval{kLongestAutoReloadInterval};
  static constexpr Seconds kBackOff{5};
  static constexpr int kEmptyReloadsBeforeStop = 5;
  static constexpr std::int32_t kFullThread = 1000;

  // Why the schedule is off.
  enum class Off {
    kNone,        // it is on
    kNeverOn,     // not switched on yet
    kByUser,      // switched off by hand (or the tab shows another thread)
    kNothingNew,  // kEmptyReloadsBeforeStop reloads in a row found nothing
    kFull,        // the thread holds kFullThread replies
    kPast,        // the thread fell off its board's list (or came from the archive)
  };

  // `seconds` kept within kShortestInterval .. kLongestInterval.
  static Seconds ClampInterval(long long seconds);
  // Why a thread with these values cannot be reloaded (kFull, kPast), or kNone when it can.
  static Off Refusal(std::int32_t replies, bool past);

  // Switches on for a thread that holds `replies` replies and is `past` or not: the first reload
  // is due ClampInterval(interval) from now and the count of empty reloads starts at 0. A thread
  // Refusal refuses leaves the schedule off for that reason; the result says whether it is on.
  bool Start(Seconds interval, std::int32_t replies, bool past);
  // Switches off by hand (kByUser); off already: nothing changes.
  void Stop();

  bool IsOn() const { return off_ == Off::kNone; }
  Off OffReason() const { return off_; }
  // On, and the clock has reached DueAt().
  bool IsDue() const;
  // When the next reload is due (meaningful while on).
  Clock::TimePoint DueAt() const { return dueAt_; }
  // The wait before the next reload: the interval plus kBackOff per empty reload in a row.
  Seconds Wait() const { return interval_ + kBackOff * emptyReloads_; }
  // Reloads in a row that found nothing.
  int EmptyReloads() const { return emptyReloads_; }

  // Takes what a reload found (while on; otherwise nothing changes): new replies reset the wait to
  // the interval, nothing grows it; a full or past thread, or the last allowed empty reload,
  // switches the schedule off. The next reload is due Wait() from now.
  void Record(const ReloadFinding& found);

 private:
  Off off_ = Off::kNeverOn;
  Seconds interval_ = kDefaultInterval;
  int emptyReloads_ = 0;
  Clock::TimePoint dueAt_{};
};

}  // namespace velkor
