#pragma once

// What the user typed for a post that has not gone out yet (a draft), kept on disk until it is
// posted or cleared, so that closing the reply window or the program loses nothing. One file per
// thread, and one per board for a new thread, below the data directory's "draft" folder, which
// mirrors the log tree:
//
//   draft/<host>/<board>/<key>.txt      a reply to thread <key>
//   draft/<host>/<board>/newthread.txt  a new thread of the board
//
// The texts are kept as typed, in UTF-8 (a character CP932 lacks would otherwise come back as a
// character reference). File: "Subject=", "Name=" and "Mail=" lines, an empty line, then the
// message; CR LF. The file is replaced crash-safely; a draft without subject and message has no
// file. The folder is not the log tree's, so the log sweeper and a log's deletion leave drafts
// alone.

#include <string>
#include <string_view>

#include "base/Result.h"

namespace velkor {

// A draft's texts, UTF-8. The one-line fields hold no line break; the message's line breaks are
// LF.
struct SavedDraft {
  std::string subject;
  std::string name;
  std::string mail;
  std::string message;

  // True when there is nothing to keep: no subject and no message (a name or mail alone comes
  // back from the history).
  bool IsEmpty() const { return subject.empty() && message.empty(); }
  bool operator==(const SavedDraft&) const = default;
};

// The draft file of thread `key` (decimal digits) of the board at `boardUrl`, or of a new thread
// of that board when `key` is empty, below AppDir() + "/draft". Empty when the URL names no board
// folder (BoardLogFolder, app/UrlPaths.h) or the key is no thread key, so no name can point
// elsewhere.
std::string DraftPath(std::string_view boardUrl, std::string_view key);

// The draft at `path`: an empty draft when there is no file. Fails when the file exists but cannot
// be read. Header lines that are not known are passed over.
ResultWith<SavedDraft> ReadDraft(const std::string& path);

// Keeps `draft` at `path` (creating its folders), replacing the file crash-safely; an empty draft
// removes the file instead. CR and LF in the one-line fields become blanks. Fails, leaving the
// old file, when the folders or the file cannot be written.
Outcome SaveDraft(const std::string& path, const SavedDraft& draft);

// Removes the draft at `path`; succeeds when there is none afterwards.
Outcome RemoveDraft(const std::string& path);

}  // namespace velkor
