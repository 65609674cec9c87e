#pragma once

// Posting a reply or a new thread, from the board's limits to the reply recorded as the user's
// own, shared by the reply window and the command line. One PostFlow is one post:
//
//   PostFlow flow(draft, &shownList);
//   PostResult result = flow.Send();            // status texts go to Ui() while it runs
//   if (result.Code() == PostCode::kConfirm) {  // show result.Reason(), ask the user
//     if (accepted) result = flow.Accept();     // the confirmation's own form goes back
//   }
//
// Steps of Send: the board's SETTING.TXT (fetched once per board per run, conditionally, kept
// beside the board's logs), the local checks (nothing is sent when they refuse), the POST to
// "{scheme}://{host}/test/bbs.cgi" with the cookies of ini/cookies.txt (the answer's cookies are
// taken in and the file saved after every answer), and the answer read. On success the thread is
// fetched (differentially, as opening does; for a new thread the board's list is refreshed and the
// thread found by its title among the threads it did not list before), the new reply found
// (x-Resnum, else the newest reply that matches what was sent), recorded as the user's own
// (<key>.own) and the post appended to log/kakikomi.txt.
//
// Nothing is ever sent twice on the flow's own account: a request that may have reached the server
// and brought no readable answer is reported as kMayHaveBeenPosted (the thread is fetched again so
// the user can see) and never repeated; a confirmation's form goes back only through Accept, once
// per confirmation; a second Send, or a call while another runs (the window stays live during
// network waits), is refused without sending.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Result.h"
#include "net/FetchContext.h"
#include "net/HttpRequest.h"
#include "post/BoardLimits.h"
#include "post/PostAnswer.h"

namespace velkor {

class SubjectList;

// What the user wrote and where, all CP932 (the command line and the window convert with
// Utf8ToPostText).
struct PostDraft {
  std::string boardUrl;  // the board's URL with its scheme ("https://host/board/")
  std::string key;       // the thread key (decimal digits); empty for a new thread
  std::string subject;   // a new thread's title
  std::string name;
  std::string mail;
  std::string message;
};

enum class PostCode {
  kOk,                 // posted
  kWarning,            // posted; the reason is the server's warning, to show
  kConfirm,            // nothing posted yet: the reason is the confirmation page's text
  kRefused,            // the server refused the post; the reason is its reason
  kMayHaveBeenPosted,  // the request went out and no readable answer came back
  kLocalRefused,       // refused before anything was sent (limits, a bad board or key, misuse)
  kNotSent,            // nothing reached the server (no connection, nothing of the request sent)
};

// What a post came to. The reason (CP932) is set for every code but kOk.
class PostResult : public Result<PostCode> {
 public:
  using Result<PostCode>::Result;

  // True for kOk and kWarning: the post is on the board.
  bool Posted() const { return Code() == PostCode::kOk || Code() == PostCode::kWarning; }

  // The thread posted to ("<key>.dat"; for a new thread the one found, else empty).
  std::string datName;
  // The number of the new reply (kOk, kWarning), or of a reply in the refreshed thread that matches
  // what was sent (kMayHaveBeenPosted: a hint, not recorded); 0 when none was found.
  int number = 0;
  // The confirmation page's form (kConfirm), which Accept sends back.
  ConfirmForm form;
  // What went wrong after the post itself (the thread not fetched, the reply not found, a file not
  // written), one CP932 text each, to show beside the result.
  std::vector<std::string> notes;
};

class PostFlow {
 public:
  // `shown` (may be null; not owned; must outlive the flow) is the thread list the window shows:
  // when it is bound to the draft's board, the flow reads and writes the board's state through it,
  // so its rows and later writes keep the change; otherwise the flow binds a list of its own.
  explicit PostFlow(PostDraft draft, SubjectList* shown = nullptr);
  ~PostFlow();
  PostFlow(const PostFlow&) = delete;
  PostFlow& operator=(const PostFlow&) = delete;

  // Runs the steps above once. A second call, or one made while Accept runs, is kLocalRefused.
  PostResult Send();
  // After Send (or Accept) gave kConfirm, and only once for it: sends the confirmation's form back,
  // with the cookies, to its action (on the post's own server), and goes on as Send does. Without a
  // confirmation waiting: kLocalRefused, nothing sent.
  PostResult Accept();
  // Asks the running download of SETTING.TXT or the running POST to stop (the window's stop
  // button; the fetch of the thread afterwards stops through the thread list's RunningFetch). A
  // request that went out still ends as kMayHaveBeenPosted. Accept starts afresh.
  void Stop() { context_.abortRequested = 1; }

 private:
  PostResult Start();
  PostResult Post(const HttpRequest& request);
  PostResult AfterPosting(PostResult result, std::optional<int> resnum);
  PostResult AfterNoAnswer(PostResult result);
  SubjectList& List();
  void RefreshThread(PostResult& result);
  std::string Title();

  PostDraft draft_;
  SubjectList* shown_;
  std::unique_ptr<SubjectList> own_;
  FetchContext context_;
  std::string boardDir_;  // LogDir() + the board's folder, ending in "/"
  std::string postUrl_;   // "{scheme}://{host}/test/bbs.cgi"
  std::string origin_;    // "{scheme}://{host}"
  BoardLimits limits_;
  int before_ = 0;  // replies in the stored log before posting
  std::int64_t time_ = 0;
  bool started_ = false;
  bool running_ = false;
  bool confirmationWaits_ = false;
  ConfirmForm confirmation_;
  std::vector<std::string> knownBefore_;  // a new thread: the threads subject.ini knew before
};

}  // namespace velkor
