#include "base/SingleInstanceLock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/TempDataDir.h"

namespace velkor {
namespace {

// flock is per open file description, so a second lock object in the same process sees the first.
TEST(SingleInstanceLockTest, SecondHolderIsRefusedUntilReleased) {
  test::TempDataDir dir;
  const std::string path = dir.Path() + "/ini/velkor.lock";
  SingleInstanceLock first;
  ASSERT_EQ(first.Acquire(path), SingleInstanceLock::Result::kAcquired);
  SingleInstanceLock second;
  EXPECT_EQ(second.Acquire(path), SingleInstanceLock::Result::kHeldElsewhere);
  first.Release();
  EXPECT_EQ(second.Acquire(path), SingleInstanceLock::Result::kAcquired);
}

TEST(SingleInstanceLockTest, OtherDataDirectoryRunsSideBySide) {
  test::TempDataDir a;
  const std::string pathA = a.Path() + "/ini/velkor.lock";
  test::TempDataDir b;
  SingleInstanceLock first;
  SingleInstanceLock second;
  EXPECT_EQ(first.Acquire(pathA), SingleInstanceLock::Result::kAcquired);
  EXPECT_EQ(second.Acquire(b.Path() + "/ini/velkor.lock"), SingleInstanceLock::Result::kAcquired);
  SingleInstanceLock third;
  EXPECT_EQ(third.Acquire(a.Path() + "/no-such-folder/x.lock"),
            SingleInstanceLock::Result::kFailed);
}

}  // namespace
}  // namespace velkor
