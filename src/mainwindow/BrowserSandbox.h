#pragma once

#include <cstdio>

namespace velkor {

// The browser of the thread views refuses to start its sandbox for root and ends the process. For
// `effectiveUid` 0 this switches the sandbox off (as QTWEBENGINE_DISABLE_SANDBOX=1 does) and writes
// one warning line to `warnings`; pages stay script-free and blocked from remote loads by the
// view's own profile. For any other user nothing changes and the sandbox stays on. Must run before
// the application object is made. Returns true when the sandbox was switched off.
bool DisableBrowserSandboxForRoot(unsigned effectiveUid, std::FILE* warnings);

}  // namespace velkor
