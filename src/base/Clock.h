#pragma once

#include <chrono>

namespace velkor {

// The monotonic clock behind every time-out, deadline and interval the program decides, so tests
// can drive time instead of racing it. Code reads the time through CurrentClock(); only tests
// replace it.
class Clock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  virtual ~Clock() = default;
  virtual TimePoint Now() const = 0;
};

// The clock in use: std::chrono::steady_clock unless a test installed another.
const Clock& CurrentClock();

// Installs `clock` for the rest of the run (null restores the real clock). Not owned. Test support.
void SetClockForTesting(const Clock* clock);

// A clock that moves only when told to: for tests.
class ManualClock final : public Clock {
 public:
  TimePoint Now() const override { return now_; }
  void Advance(std::chrono::steady_clock::duration by) { now_ += by; }

 private:
  TimePoint now_{std::chrono::hours(1)};
};

}  // namespace velkor
