#pragma once

// What a followed or hovered link of a thread page means. The page's own URL is written
// "about:blank", so an in-page link reads "about:blank#a12"; the view translates its URLs into
// that form before asking here. Texts are CP932. Nothing here touches the GUI; the stored-thread
// rules read the log tree below LogDir() (whether a log exists, its reading state).

#include <optional>
#include <string>
#include <string_view>

#include "app/UrlPaths.h"
#include "threads/NgFilter.h"
#include "threads/ReplyList.h"

namespace velkor {

// A link to a thread whose log is stored.
struct StoredThreadLink {
  std::string boardDir;  // full path ending in "/"
  std::string datName;   // "<key>.dat"
  std::string anchor;    // whatever followed the key in the URL
};

// Finds the stored log a read.cgi URL points to. None when the URL names no log below LogDir()
// (also when a host, board or key is not a safe path component) or the log file does not exist.
std::optional<StoredThreadLink> FindStoredThread(std::string_view url);

// Where a read.cgi URL's thread lives below LogDir(), its log stored or not, and the anchor its
// page opens at ("midoku", or "a<n>" for a reply the URL names). None when the URL does not name a
// host, board and key that are safe path components.
struct ThreadLinkTarget {
  std::string boardDir;  // full path ending in "/"
  std::string datName;   // "<key>.dat"
  std::string anchor;
};
std::optional<ThreadLinkTarget> LocateThread(std::string_view url);

struct LinkAction {
  enum Kind {
    kNone,        // nothing to do
    kMenu,        // a reply number: show the reply menu for menuNumber
    kJump,        // scroll to `anchor` (kUnreadAnchor or "a<n>")
    kShowAll,     // show every reply
    kOpenThread,  // open the stored thread boardDir + datName in a new tab
    kExternal,    // hand `url` to a program outside
  };
  Kind kind = kNone;
  int menuNumber = 0;
  std::string anchor;    // kJump; kOpenThread: where the new tab scrolls to
  std::string boardDir;  // kOpenThread
  std::string datName;   // kOpenThread
  std::string title;     // kOpenThread: its stored title, empty when unknown
  int firstUnread = 1;   // kOpenThread: its stored first unread reply, 1 when unknown
  std::string url;       // kExternal
};

// The action for a followed link `url`.
LinkAction ClassifyLink(std::string_view url);

// Whether an outside program may be given this link: web, ftp and mail links only, so a page can
// never make the desktop open local files or other handlers.
bool IsExternalLinkAllowed(std::string_view url);

struct HoverAction {
  enum Kind {
    kHide,  // hide the pop-up
    kKeep,  // leave the pop-up as it is
    kShow,  // show `text`
  };
  Kind kind = kHide;
  std::string text;  // CP932, lines ending in CR LF
};

// The pop-up for the link under the mouse (`statusText` empty: none), the tab's replies giving
// in-page replies and `lineLimit` bounding the text.
HoverAction HoverPopup(const ReplyList& replies, std::string_view statusText, int lineLimit);

// HoverPopup with the NG rules applied: a reply of this page comes from `shown` (the tab's replies
// as its rules leave them; null when no rule applies to the thread), a stored thread's replies are
// judged by the rules of that thread's board. A pop-up that the rules leave empty is hidden.
HoverAction FilteredHoverPopup(const ReplyList& replies, const NgOutcome* shown,
                               std::string_view statusText, int lineLimit);

}  // namespace velkor
