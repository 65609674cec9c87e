#pragma once

// Plain-text pop-ups of replies: for a reply anchor the mouse rests on, for a link to another
// stored thread, and for selected reply numbers. Each reply shows as the line
// "{k} 名前：{name} メール：{mail} 投稿日：{date}", its message lines ("<br>" ends a line) and an
// empty line; lines end with CR LF, markup is removed and "&lt;", "&gt;", "&quot;" and the
// non-breaking space entity become plain characters. Once a reply is added, a pop-up holds no more
// than `lineLimit` lines (none when lineLimit <= 0); it stops reading replies at the limit.

#include <string>
#include <string_view>

#include "threads/ReplyList.h"

namespace velkor {

// The replies of `replies` that `spec` (ParseReplySpec) selects, up to reply kMaxPopupReplies.
std::string BuildPopupText(const ReplyList& replies, std::string_view spec, int lineLimit);

// The same read straight from another thread's log file, with that thread's title (the text after
// the last ">" of line 1) and an empty line on top, which count toward the limit once a reply is
// added (a pop-up without any selected reply shows the title whatever the limit); fields are taken
// as stored. An empty spec or "midoku" selects reply 1. The empty string when the file cannot be
// read.
std::string BuildPopupTextFromLog(const std::string& logPath, std::string_view spec, int lineLimit);

// The same from log bytes already in memory.
std::string BuildPopupTextFromLogText(std::string_view logText, std::string_view spec,
                                      int lineLimit);

// The pop-up for selected text made only of reply-number characters (digits, full-width digits,
// range and list marks, as in "１２－１５"): BuildPopupText of its normalised form. The empty
// string when any character is something else.
std::string BuildSelectionPopupText(const ReplyList& replies, std::string_view selectedText,
                                    int lineLimit);

// Removes every "<...>"; a "<" without a closing ">" drops the rest of the text.
std::string StripTags(std::string_view text);

}  // namespace velkor
