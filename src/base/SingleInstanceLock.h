#pragma once

#include <string>

namespace velkor {

// The single-instance rule: one running program per data directory. The lock is an flock on a file
// in the data directory's "ini" folder; the system releases it when the process ends, however it
// ends.
class SingleInstanceLock {
 public:
  enum class Result { kAcquired, kHeldElsewhere, kFailed };

  SingleInstanceLock() = default;
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;
  ~SingleInstanceLock();

  // Tries to take the lock file at `path` without waiting. kFailed means the lock file could not be
  // opened (errno is kept for the caller's message).
  Result Acquire(const std::string& path);
  void Release();

 private:
  int fd_ = -1;
};

}  // namespace velkor
