#include "base/SingleInstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace velkor {

SingleInstanceLock::~SingleInstanceLock() {
  Release();
}

SingleInstanceLock::Result SingleInstanceLock::Acquire(const std::string& path) {
  Release();
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return Result::kFailed;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int error = errno;
    ::close(fd);
    errno = error;
    return error == EWOULDBLOCK ? Result::kHeldElsewhere : Result::kFailed;
  }
  fd_ = fd;
  return Result::kAcquired;
}

void SingleInstanceLock::Release() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
}

}  // namespace velkor
