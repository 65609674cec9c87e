#include "mainwindow/SessionTabs.h"

#include <QTabWidget>
#include <algorithm>

#include "app/DataDir.h"
#include "base/FileUtil.h"
#include "subjects/ThreadState.h"
#include "threads/ui/ThreadTab.h"
#include "threads/ui/ThreadTabList.h"
#include "threads/ui/ThreadView.h"

namespace velkor {

void CollectSessionTabs(const ThreadTabList& tabs, Session& session) {
  session.tabs.clear();
  session.activeTab = -1;
  QTabWidget* control = tabs.TabControl();
  if (control == nullptr) return;
  const std::string logDir = LogDir() + "/";
  for (int page = 0; page < control->count(); ++page) {
    const ThreadTab* tab = tabs.TabAt(page);
    if (tab == nullptr || tab->DatName().empty() || tab->BoardDir().size() <= logDir.size() ||
        tab->BoardDir().compare(0, logDir.size(), logDir) != 0) {
      continue;
    }
    // Above its first reply the page shows the replies read before, folded to OldShown of them.
    int reply = tab->View()->Place().reply;
    if (reply <= 0) {
      reply = tab->OldShown() > 0 ? std::max(1, tab->FirstUnread() - tab->OldShown()) : 1;
    }
    const std::string& dir = tab->BoardDir();
    if (page == control->currentIndex()) session.activeTab = static_cast<int>(session.tabs.size());
    session.tabs.push_back({dir.substr(logDir.size(), dir.size() - logDir.size() - 1),
                            tab->DatName(), "a" + std::to_string(reply), tab->Caption()});
  }
}

void RestoreSessionTabs(const Session& session, ThreadTabList& tabs, SubjectList* shown) {
  QTabWidget* control = tabs.TabControl();
  if (control == nullptr) return;
  int active = -1;
  for (std::size_t index = 0; index < session.tabs.size(); ++index) {
    const SessionTab& saved = session.tabs[index];
    const std::string boardDir = LogDir() + "/" + saved.folder + "/";
    if (!FileExists(boardDir + saved.datName)) continue;
    const int firstUnread = ThreadState(boardDir, saved.datName, shown).FirstUnread();
    tabs.OpenThread(boardDir, saved.datName, saved.anchor, firstUnread, TabChoice::kNewTab,
                    saved.title);
    if (static_cast<int>(index) == session.activeTab) active = control->currentIndex();
  }
  if (active >= 0) control->setCurrentIndex(active);
}

}  // namespace velkor
