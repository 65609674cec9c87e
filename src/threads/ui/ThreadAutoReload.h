#pragma once

#include <QObject>
#include <QTimer>

#include "threads/AutoReloadSchedule.h"

namespace velkor {

class ThreadTab;

// The automatic reload ("自動更新") of the thread one tab shows: owns the timer, asks the schedule
// (AutoReloadSchedule, on the clock seam) when a reload is due, and then fetches the thread's log
// again as opening it does (FetchThreadReplies, differential, the archive when the dat is gone),
// through the window's thread list when that shows the tab's board. New replies go to the tab
// (ThreadTab::ShowReloadedReplies). A reload that falls due while the program waits for a server
// (ThreadTab::NetworkBusy) or while another reload runs waits until that is over, so reloads never
// run inside other network work and never two at once.
class ThreadAutoReload : public QObject {
  Q_OBJECT

 public:
  explicit ThreadAutoReload(ThreadTab& tab);

  // Switches on for the thread the tab shows, every AppSettings().autoReloadInterval seconds.
  // Refused for a tab without a thread and for a thread that is full or past (the schedule then
  // tells why). Returns whether it is on.
  bool Start();
  // Switches off by hand; also when the tab shows another thread or a plain page.
  void Stop();
  bool IsOn() const { return schedule_.IsOn(); }
  const AutoReloadSchedule& Schedule() const { return schedule_; }
  // Reloads when the schedule says it is due (and nothing else runs), else arms the timer for the
  // time left. The timer calls it; tests call it after moving the clock.
  void Poll();

 signals:
  // Switched on or off, by hand or on its own (Schedule().OffReason() tells why).
  void StateChanged();

 private:
  void Reload();
  // Starts the timer for the time left until the next reload.
  void Arm();
  // A reload of any tab is running (waiting for its server).
  static bool& AnyRunning();

  ThreadTab& tab_;
  AutoReloadSchedule schedule_;
  QTimer timer_;
};

}  // namespace velkor
