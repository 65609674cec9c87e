#include "threads/ui/ThreadAutoReload.h"

#include <QPointer>
#include <algorithm>
#include <chrono>

#include "app/Settings.h"
#include "app/UiHooks.h"
#include "boards/BoardCatalog.h"
#include "net/CacheServerUrl.h"
#include "subjects/SubjectList.h"
#include "subjects/ThreadState.h"
#include "threads/ThreadLogFetch.h"
#include "threads/ui/ThreadTab.h"

namespace velkor {
namespace {

// How soon a reload that had to wait for other network work looks again.
constexpr std::chrono::milliseconds kBusyRetry{1000};
// The longest the timer is set for; the clock decides, the timer only wakes the check.
constexpr std::chrono::milliseconds kLongestTimer{std::chrono::hours(1)};

}  // namespace

ThreadAutoReload::ThreadAutoReload(ThreadTab& tab) : QObject(&tab), tab_(tab) {
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &ThreadAutoReload::Poll);
}

bool& ThreadAutoReload::AnyRunning() {
  static bool running = false;
  return running;
}

bool ThreadAutoReload::Start() {
  if (tab_.BoardDir().empty() || tab_.DatName().empty()) return false;
  const bool past = ThreadState(tab_.BoardDir(), tab_.DatName(), tab_.ShownSubjects()).IsPast();
  const bool wasOn = IsOn();
  schedule_.Start(AutoReloadSchedule::Seconds(AppSettings().autoReloadInterval),
                  tab_.Replies().Count(), past);
  if (IsOn()) Arm();
  if (IsOn() != wasOn) emit StateChanged();
  return IsOn();
}

void ThreadAutoReload::Stop() {
  timer_.stop();
  if (!IsOn()) return;
  schedule_.Stop();
  emit StateChanged();
}

void ThreadAutoReload::Arm() {
  using std::chrono::milliseconds;
  const auto left =
      std::chrono::duration_cast<milliseconds>(schedule_.DueAt() - CurrentClock().Now());
  timer_.start(std::clamp(left, milliseconds(0), kLongestTimer));
}

void ThreadAutoReload::Poll() {
  if (!IsOn()) return;
  if (!schedule_.IsDue()) {
    Arm();
    return;
  }
  if (AnyRunning() || tab_.NetworkBusy()) {
    timer_.start(kBusyRetry);
    return;
  }
  Reload();
}

void ThreadAutoReload::Reload() {
  const std::string boardDir = tab_.BoardDir();
  const std::string datName = tab_.DatName();
  SubjectList* shown = tab_.ShownSubjects();
  // The window's list when it shows the board, so that its rows and its later writes keep the new
  // state; otherwise a list of the board's own.
  SubjectList own;
  SubjectList* list = shown;
  if (list == nullptr || !list->IsBound() || list->Dir() != boardDir) {
    own.Bind(SubjectIniPath(boardDir), BoardUrlOfLogDir(boardDir));
    list = &own;
  }
  if (Outcome prepared = PrepareCacheServer(list->BoardUrlFromDir()); !prepared.IsOk()) {
    Ui().SetStatusText(prepared.Reason());
  }
  QPointer<ThreadAutoReload> self(this);
  AnyRunning() = true;
  const ThreadFetchReport fetched = FetchThreadReplies(*list, datName);
  AnyRunning() = false;
  // The window stays live while the server answers: the tab may be gone, show another thread, or
  // have been switched off. The log is stored all the same.
  if (self.isNull() || !IsOn() || tab_.BoardDir() != boardDir || tab_.DatName() != datName) return;
  if (fetched.result.Code() == Update::kNotWritten) Ui().SetStatusText(fetched.result.Reason());
  if (fetched.result.Code() == Update::kOk) tab_.ShowReloadedReplies();
  ReloadFinding found;
  found.added = fetched.added;
  found.replies = tab_.Replies().Count();
  found.past = fetched.fromArchive || ThreadState(boardDir, datName, tab_.ShownSubjects()).IsPast();
  schedule_.Record(found);
  if (IsOn()) {
    Arm();
  } else {
    emit StateChanged();
  }
}

}  // namespace velkor
