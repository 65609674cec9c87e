#pragma once

#include <QObject>
#include <QPointer>
#include <string>
#include <vector>

#include "threads/ui/ThreadPosting.h"

class QWidget;

namespace velkor {

class TReplyForm;

// The open reply windows, one per thread and one per board for a new thread, and the posting side
// of the thread tabs (ThreadPosting): own replies (post/OwnPosts.h) and the reply window. The
// main window installs the process-wide one (PostWindows()) with InstallThreadPosting.
class ReplyWindows : public QObject, public ThreadPosting {
  Q_OBJECT

 public:
  ResultWith<std::vector<int>> OwnReplies(const std::string& boardDir,
                                          const std::string& datName) override;
  Outcome MarkOwnReply(const std::string& boardDir, const std::string& datName, int number,
                       bool own) override;
  // The thread's window (a child window of the tab's main window), brought to the front.
  void OpenReplyWindow(ThreadTab& tab, int replyNumber) override;
  // The new-thread window of the board at `boardUrl` (a child window of `parent`), brought to the
  // front; null for a URL that names no board folder.
  TReplyForm* OpenNewThreadWindow(const std::string& boardUrl, QWidget* parent);
  // The open window of thread `datName` of `boardDir`, or of its new thread when `datName` is
  // empty; null when none is open.
  TReplyForm* Window(const std::string& boardDir, const std::string& datName) const;
  // Closes every window that is not posting (what they hold stays a draft).
  void CloseAll();

 signals:
  // A window posted a new thread and the board's thread list was refreshed.
  void BoardListRefreshed(const QString& boardDir);

 private:
  TReplyForm* Add(TReplyForm* form);

  std::vector<QPointer<TReplyForm>> windows_;
};

// The process-wide reply windows.
ReplyWindows& PostWindows();

}  // namespace velkor
