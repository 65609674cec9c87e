#pragma once

// Turns a stored thread log (one reply per line, fields separated by "<>") into the thread page.
// All text is CP932 bytes. Nothing here fails: malformed lines render with "[ここ壊れています？]"
// in place of the fields they lack, and an unreadable log renders as the empty page.

#include <string>
#include <string_view>

#include "threads/ReplyList.h"
#include "threads/Skin.h"

namespace velkor {

// The name of the page anchor at the unread marker ("#midoku" jumps there). A page holds it once.
inline constexpr std::string_view kUnreadAnchor = "midoku";

// The four fields of a log line. Whatever follows the fourth separator (the title on line 1) is
// not kept.
struct DatFields {
  std::string name;
  std::string mail;
  std::string date;
  std::string message;
};

// The text that stands in for every field a malformed line does not supply.
const std::string& BrokenFieldText();

// Splits one log line at its first four "<>"; a field whose closing separator is missing becomes
// BrokenFieldText(), and so does every later field. When all four separators are there, every
// "&ampnbsp;" in the message becomes "&nbsp;".
DatFields SplitDatLine(std::string_view line);

// The same split without the "&ampnbsp;" replacement.
DatFields SplitDatLineRaw(std::string_view line);

// Clears `replies`, reads the log file at `logPath` and adds each line's fields (SplitDatLine, the
// message through StripAnchorTags, LinkReplyAnchors and LinkUrls): reply k is line k; CR, LF and CR
// LF end lines. Returns false, leaving the list empty, when the file cannot be read.
bool LoadReplies(ReplyList& replies, const std::string& logPath);

// The same from log bytes already in memory.
void LoadRepliesFromText(ReplyList& replies, std::string_view logText);

// One reply: the page anchor "a{number}" followed by `tmpl` with its tags replaced, in this order:
// "<NUMBER/>", "<PLAINNUMBER/>", "<MAILNAME/>", "<NAME/>", "<MAIL/>", "<DATE/>", "<MESSAGE/>". Tag
// texts inside the message are left alone; a field that repeats tag texts is expanded only up to
// the size the template's own tags account for (the rest stays as tag text), so no log can blow up
// the page.
std::string RenderReply(std::string_view tmpl, std::string_view name, std::string_view mail,
                        std::string_view date, std::string_view message, int number);

// The whole thread page: the skin's Header (each "<&TITLE>" replaced by `title`), the already-read
// replies with Res (reply 1 and the last `oldShown` of them when 0 < oldShown < read count, else
// all), the anchor "midoku" with the Bookmark, the unread replies from `firstUnread` on with
// NewRes, and the Footer. `firstUnread` is the first reply not read yet (1 = nothing read). The
// empty string when the list holds no reply.
std::string RenderPage(const Skin& skin, const ReplyList& replies, std::string_view title,
                       int firstUnread, int oldShown);

// RenderPage with the process-wide skin (AppSkin()).
std::string RenderPage(const ReplyList& replies, std::string_view title, int firstUnread,
                       int oldShown);

// Loads the log at `logPath` and renders it with the process-wide skin; what a thread view shows
// for a stored log. Call LoadSkin() once before. An unreadable log gives the empty page.
std::string RenderThreadLog(const std::string& logPath, std::string_view title, int firstUnread,
                            int oldShown);

}  // namespace velkor
