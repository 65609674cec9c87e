#include "base/BackgroundThread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace velkor {

void MakeThisThreadBackground() {
  thread_local bool lowered = false;
  if (lowered) return;
  lowered = true;
  const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
  errno = 0;
  int now = ::getpriority(PRIO_PROCESS, thread);
  if (errno != 0) now = 0;
  (void)::setpriority(PRIO_PROCESS, thread, now + kBackgroundNice);
}

}  // namespace velkor
