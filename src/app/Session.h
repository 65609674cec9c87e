#pragma once

#include <string>
#include <vector>

namespace velkor {

// What the window showed when the program ended, shown again at the next start: the favourite
// board whose threads were listed and the thread tabs, in tab order, each with the place the
// reader was at. Kept in ini/session.ini (CP932, an INI document like the others):
//
//   [Session]             Category=<category>, Board=<board name>, ActiveTab=<0-based index>,
//                         Maximized=0|1 (the window's size and place are config.ini's)
//   [Tab1], [Tab2], ...   Folder=<host>/<board> below the log directory, Dat=<key>.dat,
//                         Anchor=midoku or a<reply>, Title=<the tab's caption>
struct SessionTab {
  std::string folder;   // the board's folder below LogDir(), without a leading or final "/"
  std::string datName;  // "<decimal digits>.dat"
  std::string anchor;   // "midoku" or "a<decimal digits>"
  std::string title;
};

struct Session {
  std::string category;  // empty: no board was shown
  std::string board;
  std::vector<SessionTab> tabs;
  int activeTab = -1;  // index into tabs, -1 for none
  bool maximized = false;
};

// ini/session.ini of the data directory.
std::string SessionPath();

// Reads the session file; a missing or unreadable file is an empty session. A tab whose folder is
// not made of safe path components (app/UrlPaths.h), whose dat name is not "<digits>.dat" or whose
// anchor is neither "midoku" nor "a<digits>" is left out (the active tab then counts among the
// rest; one left out or out of range gives -1).
Session LoadSession(const std::string& path);

// Replaces the session file crash-safely with `session`; false when it could not be written.
bool SaveSession(const std::string& path, const Session& session);

}  // namespace velkor
