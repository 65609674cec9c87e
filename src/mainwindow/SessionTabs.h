#pragma once

#include "app/Session.h"

namespace velkor {

class SubjectList;
class ThreadTabList;

// The thread tabs of `tabs` in tab order as the session keeps them: each tab that shows a stored
// thread, at the reply at the top of its view (the first reply its page shows when it was not
// scrolled past it), with the active tab. Tabs of plain pages are left out.
void CollectSessionTabs(const ThreadTabList& tabs, Session& session);

// Opens the session's tabs in new tabs of `tabs`, each scrolled to its reply, and activates the
// one that was active. A tab whose log no longer exists is skipped. Reading state goes through
// `shown` when it shows the tab's board (ThreadState).
void RestoreSessionTabs(const Session& session, ThreadTabList& tabs, SubjectList* shown);

}  // namespace velkor
