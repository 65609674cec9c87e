#pragma once

#include <string>
#include <vector>

#include "base/Result.h"

namespace velkor {

class ThreadTab;

// What the thread tabs ask of posting, which sits on a layer above them: the replies the user
// wrote in a thread, marking them by hand, and the reply window. The main window installs the
// posting side (post/ui) when it is made; without it the tabs show no own posts and offer no reply
// window. Board directories end in "/"; dat names are "<key>.dat".
class ThreadPosting {
 public:
  virtual ~ThreadPosting() = default;
  // The user's own replies of the thread, ascending; fails with a reason (CP932) when they cannot
  // be read.
  virtual ResultWith<std::vector<int>> OwnReplies(const std::string& boardDir,
                                                  const std::string& datName) = 0;
  // Marks reply `number` of the thread as the user's own (`own`) or not.
  virtual Outcome MarkOwnReply(const std::string& boardDir, const std::string& datName, int number,
                               bool own) = 0;
  // Opens the reply window of the thread `tab` shows (or brings its open one up); `replyNumber` > 0
  // puts ">>replyNumber" into its message.
  virtual void OpenReplyWindow(ThreadTab& tab, int replyNumber) = 0;
};

// The installed posting side, or null.
ThreadPosting* InstalledThreadPosting();
// Installs `posting` (not owned) for the rest of the run; null removes it.
void InstallThreadPosting(ThreadPosting* posting);

}  // namespace velkor
