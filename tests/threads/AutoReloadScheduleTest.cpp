#include "threads/AutoReloadSchedule.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <vector>

#include "base/Clock.h"

namespace velkor {
namespace {

using std::chrono::seconds;
using Off = AutoReloadSchedule::Off;

class AutoReloadScheduleTest : public testing::Test {
 protected:
  void SetUp() override { SetClockForTesting(&clock_); }
  void TearDown() override { SetClockForTesting(nullptr); }

  // Moves the clock to one second before the next reload and checks it is not due, then to the
  // reload itself and checks it is.
  void ExpectDueAfter(const AutoReloadSchedule& schedule, seconds wait) {
    clock_.Advance(wait - seconds(1));
    EXPECT_FALSE(schedule.IsDue()) << wait.count();
    clock_.Advance(seconds(1));
    EXPECT_TRUE(schedule.IsDue()) << wait.count();
  }

  ManualClock clock_;
};

TEST_F(AutoReloadScheduleTest, FirstReloadOneIntervalAfterSwitchingOn) {
  AutoReloadSchedule schedule;
  EXPECT_EQ(schedule.OffReason(), Off::kNeverOn);
  EXPECT_FALSE(schedule.IsDue());
  ASSERT_TRUE(schedule.Start(seconds(30), 120, false));
  ExpectDueAfter(schedule, seconds(30));
  // An interval below the shortest is taken as the shortest, above the longest as the longest.
  ASSERT_TRUE(schedule.Start(seconds(3), 120, false));
  ExpectDueAfter(schedule, seconds(10));
  ASSERT_TRUE(schedule.Start(seconds(100000), 120, false));
  ExpectDueAfter(schedule, seconds(3600));
}

// Each reload that finds nothing adds 5 seconds to the wait; the fifth in a row switches the
// schedule off. New replies in between start the count and the wait afresh.
TEST_F(AutoReloadScheduleTest, BacksOffAndSwitchesItselfOffAfterFiveEmptyReloads) {
  AutoReloadSchedule schedule;
  ASSERT_TRUE(schedule.Start(seconds(30), 120, false));
  clock_.Advance(seconds(30));
  schedule.Record({0, 120, false});
  schedule.Record({0, 120, false});
  EXPECT_EQ(schedule.Wait(), seconds(40));
  ExpectDueAfter(schedule, seconds(40));
  schedule.Record({3, 123, false});
  EXPECT_EQ(schedule.EmptyReloads(), 0);
  ExpectDueAfter(schedule, seconds(30));
  const std::vector<seconds> waits = {seconds(35), seconds(40), seconds(45), seconds(50)};
  for (seconds wait : waits) {
    schedule.Record({0, 123, false});
    ASSERT_TRUE(schedule.IsOn());
    ExpectDueAfter(schedule, wait);
  }
  schedule.Record({0, 123, false});
  EXPECT_EQ(schedule.OffReason(), Off::kNothingNew);
  clock_.Advance(seconds(3600));
  EXPECT_FALSE(schedule.IsDue());
  // Switched on again, it starts from the interval.
  ASSERT_TRUE(schedule.Start(seconds(30), 123, false));
  EXPECT_EQ(schedule.EmptyReloads(), 0);
  ExpectDueAfter(schedule, seconds(30));
}

struct StopRow {
  const char* name;
  std::int32_t replies;  // when switched on
  bool past;
  ReloadFinding found;  // the first reload, when switched on
  Off afterStart;       // kNone: on
  Off afterReload;
};

std::ostream& operator<<(std::ostream& out, const StopRow& row) {
  return out << row.name;
}

class AutoReloadStopTest : public AutoReloadScheduleTest,
                           public testing::WithParamInterface<StopRow> {};

TEST_P(AutoReloadStopTest, FullAndPastThreadsAreNotReloaded) {
  const StopRow& row = GetParam();
  AutoReloadSchedule schedule;
  EXPECT_EQ(schedule.Start(seconds(30), row.replies, row.past), row.afterStart == Off::kNone);
  EXPECT_EQ(schedule.OffReason(), row.afterStart);
  if (!schedule.IsOn()) {
    clock_.Advance(seconds(3600));
    EXPECT_FALSE(schedule.IsDue());
    return;
  }
  clock_.Advance(seconds(30));
  schedule.Record(row.found);
  EXPECT_EQ(schedule.OffReason(), row.afterReload);
  clock_.Advance(seconds(3600));
  EXPECT_EQ(schedule.IsDue(), row.afterReload == Off::kNone);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AutoReloadStopTest,
    testing::Values(
        StopRow{"Open", 998, false, {1, 999, false}, Off::kNone, Off::kNone},
        StopRow{"FullAtStart", 1000, false, {}, Off::kFull, Off::kFull},
        StopRow{"PastAtStart", 120, true, {}, Off::kPast, Off::kPast},
        StopRow{"ReachesAThousand", 998, false, {2, 1000, false}, Off::kNone, Off::kFull},
        StopRow{"BeyondAThousand", 998, false, {3, 1001, false}, Off::kNone, Off::kFull},
        StopRow{"FromTheArchive", 500, false, {4, 504, true}, Off::kNone, Off::kPast},
        StopRow{"FellOffTheList", 500, false, {0, 500, true}, Off::kNone, Off::kPast}),
    [](const testing::TestParamInfo<StopRow>& info) { return std::string(info.param.name); });

TEST_F(AutoReloadScheduleTest, SwitchedOffByHandIgnoresLateResults) {
  AutoReloadSchedule schedule;
  ASSERT_TRUE(schedule.Start(seconds(30), 120, false));
  schedule.Stop();
  EXPECT_EQ(schedule.OffReason(), Off::kByUser);
  // A reload that was running when the user switched off reports afterwards: nothing changes.
  schedule.Record({5, 125, false});
  EXPECT_EQ(schedule.OffReason(), Off::kByUser);
  clock_.Advance(seconds(3600));
  EXPECT_FALSE(schedule.IsDue());
}

}  // namespace
}  // namespace velkor
