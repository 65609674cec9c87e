#pragma once

// Finds the reply a post became in the thread's log fetched right after posting.

#include <optional>
#include <string>
#include <string_view>

namespace velkor {

// What was sent, CP932 (the name with any trip key, as typed).
struct SentPost {
  std::string name;
  std::string mail;
  std::string message;  // line breaks LF, CR LF or CR
};

// The number of the newest reply after reply `after` (the replies the log held before posting)
// whose name, mail and message are the ones sent, as the server stores them: "<", ">" and '"'
// written as "&lt;", "&gt;" and "&quot;", line breaks as " <br> ", the server's own links around
// anchors, blanks at the ends of lines and empty lines at the ends of the message not counted;
// the name up to its trip key ("#", "＃"), or `nonameName` when that part is empty, followed by
// anything (a trip, decorations; "◆" and "★" compare as "◇" and "☆", which servers write in
// their place), tags in it ignored. An empty name part with an unknown `nonameName` matches any
// name. `resnum`, the server's own answer (an "x-Resnum" field) when it gave one, is taken when
// it lies after `after` and the log either does not reach it yet or holds a matching reply there.
// nullopt when no reply matches.
std::optional<int> FindOwnReply(std::string_view logText, const SentPost& sent,
                                std::string_view nonameName, int after,
                                std::optional<int> resnum = std::nullopt);

}  // namespace velkor
