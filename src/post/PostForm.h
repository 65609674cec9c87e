#pragma once

// The form a reply or a new thread is sent with: "bbs", then "key" (a reply) or "subject" (a new
// thread), "time", "FROM", "mail", "MESSAGE" and "submit", each value percent-encoded from its
// CP932 bytes with a space as "+" (application/x-www-form-urlencoded as a browser sends it from a
// Shift_JIS page).

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Result.h"

namespace velkor {

// What the user wrote, all CP932. Line breaks in `message` may be LF or CR LF; the form sends
// CR LF, as a browser sends a text area.
struct PostFields {
  std::string bbs;        // the board's folder name ("news")
  std::string key;        // the thread key; empty for a new thread
  std::string subject;    // a new thread's title; not sent with a reply
  std::int64_t time = 0;  // calendar seconds, somewhat in the past (see PostTime)
  std::string name;
  std::string mail;
  std::string message;

  bool IsNewThread() const { return key.empty(); }
};

// The "time" field for a post made at calendar time `now`: servers refuse a time in the future
// and one too old, so it is set back by kPostTimeLead seconds (clocks are rarely exactly right).
inline constexpr std::int64_t kPostTimeLead = 30;
inline std::int64_t PostTime(std::int64_t now) {
  return now - kPostTimeLead;
}

// One value in form encoding: ASCII letters, digits and "*-._" as they are, a space as "+", every
// other byte as "%" and two upper-case hex digits.
std::string FormEncode(std::string_view bytes);

// The body of the POST for `fields`: name=value pairs joined by "&", in the order above; the
// submit button's value is "書き込む" in CP932.
std::string PostFormBody(const PostFields& fields);

// The body for a form given as pairs (a confirmation page's form sent back): each name and value
// form-encoded, in the given order.
std::string FormBody(const std::vector<std::pair<std::string, std::string>>& pairs);

// Text from the user (UTF-8) as the CP932 bytes a post sends: a character CP932 cannot hold
// becomes a numeric character reference ("&#128512;"), as browsers send it. Fails when the text
// is not valid UTF-8.
ResultWith<std::string> Utf8ToPostText(std::string_view utf8);

}  // namespace velkor
