#include "mainwindow/BrowserSandbox.h"

#include <cstdlib>

namespace velkor {

bool DisableBrowserSandboxForRoot(unsigned effectiveUid, std::FILE* warnings) {
  if (effectiveUid != 0) return false;
  ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
  std::fputs("velkor: running as root: the browser sandbox is off\n", warnings);
  std::fflush(warnings);
  return true;
}

}  // namespace velkor
