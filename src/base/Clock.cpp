#include "base/Clock.h"

#include <atomic>

namespace velkor {
namespace {

class SteadyClock final : public Clock {
 public:
  TimePoint Now() const override { return std::chrono::steady_clock::now(); }
};

const SteadyClock steadyClock;
std::atomic<const Clock*> current{&steadyClock};

}  // namespace

const Clock& CurrentClock() {
  return *current.load(std::memory_order_relaxed);
}

void SetClockForTesting(const Clock* clock) {
  current.store(clock != nullptr ? clock : &steadyClock, std::memory_order_relaxed);
}

}  // namespace velkor
