#pragma once

// The demo network's posting endpoint, POST /test/bbs.cgi on every host, answering as the board
// servers do: a first post without its cookies gets a confirmation page that sets them and holds
// the form to send back; with them the reply is appended to the thread's log (or, without `key` and
// with `subject`, a thread is started at the top of the list); refusals are error pages naming the
// reason. The state of the posters (their cookies and last post times) lives here, in memory.

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "demo/DemoNetwork.h"
#include "demo/DemoRequest.h"

namespace velkor::demo {

// A bbs.cgi answer: a Shift_JIS HTML page, sent with status 200 and these extra header lines
// (each ending in CR LF).
struct DemoPostAnswer {
  std::string headers;
  std::string page;
};

class DemoPost {
 public:
  // How old a form's `time` may be (seconds); older or future values are refused.
  static constexpr long long kMaxFormAge = 600;
  // How long the cookies set on a confirmation page live (seconds).
  static constexpr long long kCookieLifetime = 7 * 24 * 3600;

  explicit DemoPost(DemoNetwork& network) : network_(network) {}

  // Posts from one cookie closer together than `seconds` are refused; 0 allows any.
  void SetInterval(int seconds) { interval_ = seconds; }

  // The answer to a POST of /test/bbs.cgi made at `now` (seconds since the epoch).
  DemoPostAnswer Answer(const DemoRequest& request, long long now);

 private:
  struct Poster {
    std::string acorn;
    long long lastPost = 0;
  };

  DemoNetwork& network_;
  int interval_ = 10;
  unsigned long long issued_ = 0;
  std::map<std::string, Poster> posters_;  // by MonaTicket
};

}  // namespace velkor::demo
