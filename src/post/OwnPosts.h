#pragma once

// The replies the user wrote in a thread ("own posts"), kept beside the thread's log: for
// "<key>.dat" the file "<key>.own" in the same board folder, the reply numbers ascending, one
// decimal number per line, CR LF. There is no file while a thread has no own post. The file is
// rewritten whole and crash-safely; it belongs to the log: it goes when the log is deleted and
// moves with the board folder.

#include <string>
#include <vector>

#include "base/Result.h"
#include "threads/ReplyAnswers.h"

namespace velkor {

// The highest reply number kept.
inline constexpr int kMaxOwnReplyNumber = 100000;

// "<boardDir><key>.own" for a dat name "<key>.dat" (decimal key); empty for any other name, so no
// name from a list or the network can name a file elsewhere. `boardDir` ends in "/".
std::string OwnPostsPath(const std::string& boardDir, const std::string& datName);

// The own replies of a thread, ascending; empty when there is no file. Lines that are no number in
// 1 ... kMaxOwnReplyNumber are passed over. Fails when the dat name is no thread's or the file
// exists but cannot be read.
ResultWith<std::vector<int>> ReadOwnPosts(const std::string& boardDir, const std::string& datName);

// Marks reply `number` as the user's own (`own` true) or not. Nothing is written when the mark is
// already so; the file is removed when its last number goes. Fails, leaving the file as it was,
// for a dat name that is no thread's, a number outside 1 ... kMaxOwnReplyNumber, an unreadable
// file or a failed write.
Outcome MarkOwnPost(const std::string& boardDir, const std::string& datName, int number, bool own);

// Removes a thread's own-post file (call it where the thread's log is deleted). Succeeds when
// there is none afterwards.
Outcome RemoveOwnPosts(const std::string& boardDir, const std::string& datName);

// An own reply and the replies that answer it (ascending).
struct OwnReplyAnswers {
  int number = 0;
  std::vector<int> answers;
};

// For each own reply (ascending), the replies of the loaded thread that answer it, as
// ReplyAnswers finds them; an own reply beyond the thread's replies has none.
std::vector<OwnReplyAnswers> AnswersToOwnReplies(const ReplyAnswers& answers,
                                                 const std::vector<int>& own);

}  // namespace velkor
