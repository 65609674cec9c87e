#pragma once

#include <QPoint>
#include <string>

namespace velkor {

class SubjectList;
class ThreadTab;

// What a ThreadTab asks of the list that owns it (ThreadTabList). Texts are CP932.
class ThreadTabOwner {
 public:
  // The thread list the main window shows, or null (see ThreadTabList::SetShownSubjects).
  virtual SubjectList* ShownSubjects() const = 0;
  // The tab's caption changed: its page in the tab row shows the new one.
  virtual void TabCaptionChanged(ThreadTab& tab) = 0;
  // The tab changed the log or the reading state of the thread it shows.
  virtual void TabThreadStateChanged(const ThreadTab& tab) = 0;
  // A reply-number link was followed: the reply menu opens at `globalPos`.
  virtual void ReplyMenuRequested(QPoint globalPos) = 0;
  // A link to a stored thread was followed: it opens in a new tab.
  virtual void ThreadLinkFollowed(const std::string& boardDir, const std::string& datName,
                                  const std::string& anchor, int firstUnread,
                                  const std::string& title) = 0;
  // A page that shows no thread (search results, a report) followed a link to a thread whose log
  // is not stored (boardDir + datName, to open at `anchor`): true when the owner takes it (it
  // fetches the thread and opens it), false to hand the link to a program outside.
  virtual bool UnstoredThreadLinkFollowed(const std::string& boardDir, const std::string& datName,
                                          const std::string& anchor) = 0;
  // True while the program is busy with network work (a download waiting for its server, the
  // new-reply check): an automatic reload waits until it is over.
  virtual bool NetworkBusy() const = 0;
  // The thread datName of the board boardDir was chosen as a full thread's successor: it opens as
  // from the board's thread list (log brought up to date, read mark, tab).
  virtual void BoardThreadChosen(const std::string& boardDir, const std::string& datName,
                                 const std::string& title) = 0;
  // The board's thread list is wanted fresh from its server (its subject.ini merged).
  virtual void BoardListWanted(const std::string& boardDir) = 0;

 protected:
  ~ThreadTabOwner() = default;
};

}  // namespace velkor
