#pragma once

// A board's posting limits, read from its SETTING.TXT (CP932 "KEY=value" lines), and the checks a
// post must pass before anything is sent.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"
#include "net/FetchContext.h"
#include "post/PostForm.h"

namespace velkor {

// The limits of one board; 0 where SETTING.TXT does not give a number (no check is made then).
struct BoardLimits {
  int messageBytes = 0;    // BBS_MESSAGE_COUNT
  int lineNumber = 0;      // BBS_LINE_NUMBER: servers allow twice as many lines
  int nameBytes = 0;       // BBS_NAME_COUNT
  int mailBytes = 0;       // BBS_MAIL_COUNT
  int subjectBytes = 0;    // BBS_SUBJECT_COUNT
  std::string nonameName;  // BBS_NONAME_NAME: the name shown for an empty name
};

// Reads the keys above from SETTING.TXT; unknown keys, lines without "=" and values that are no
// number (or above a million) are passed over.
BoardLimits ParseSettingText(std::string_view text);

// Why a post is refused before it is sent.
enum class PostCheck {
  kOk,
  kEmptyMessage,    // "本文がありません"
  kMessageTooLong,  // "本文が長すぎます (N バイト / 上限 M)"
  kTooManyLines,    // "本文の行が多すぎます (N 行 / 上限 M)"
  kNameTooLong,     // "名前が長すぎます (N バイト / 上限 M)"
  kMailTooLong,     // "メール欄が長すぎます (N バイト / 上限 M)"
  kEmptySubject,    // "タイトルがありません"
  kSubjectTooLong,  // "タイトルが長すぎます (N バイト / 上限 M)"
};

// The sizes of a post as the limits count them, in CP932 bytes of what is sent: the message with
// each line break as one byte and without the line breaks at its end, its lines likewise, the name
// up to its trip key ("#" or "＃"), the mail and the subject whole. A message of blanks and line
// breaks only is empty.
struct PostMeasure {
  std::size_t messageBytes = 0;
  std::size_t messageLines = 0;
  std::size_t nameBytes = 0;
  std::size_t mailBytes = 0;
  std::size_t subjectBytes = 0;
  bool emptyMessage = true;
};
PostMeasure MeasurePost(const PostFields& fields);

// The most lines a message may have: twice BBS_LINE_NUMBER (0: no limit).
inline int MaxMessageLines(const BoardLimits& limits) {
  return 2 * limits.lineNumber;
}

// Checks a post against the board's limits, first failure first in the order above, counted as
// MeasurePost counts. The limits only catch what the server would refuse anyway: where it counts
// differently, it has the last word.
Result<PostCheck> CheckPost(const PostFields& fields, const BoardLimits& limits);

// A board's SETTING.TXT as kept in its log folder: the file "SETTING.TXT" (the server's bytes)
// and, in "setting.ini" section [SETTING.TXT] key LastModified, the Last-Modified text to send
// back as If-Modified-Since.
struct StoredBoardSetting {
  std::string text;          // empty when none is stored
  std::string lastModified;  // empty when none is stored
};

// Reads what is stored in `boardDir` (ending in "/").
StoredBoardSetting ReadBoardSetting(const std::string& boardDir);

// Stores a downloaded SETTING.TXT and its Last-Modified text crash-safely: the text first, so that
// a failure between the two writes leaves an old time stamp that asks for the file again, never a
// new time stamp with an old file. Fails when either write fails.
Outcome StoreBoardSetting(const std::string& boardDir, std::string_view text,
                          std::string_view lastModified);

// The board's limits for a post: its SETTING.TXT, downloaded from "{boardUrl}SETTING.TXT" the first
// time this run asks for the board (conditionally, when a copy is stored; status texts through the
// standard status handler with `context`, so the window stays live and a stop request ends it) and
// kept in `boardDir` (ending in "/"); later calls in the run read the stored copy. A failed
// download leaves what is stored (no limits when nothing is): the server checks again anyway. A
// copy that cannot be stored adds a note (CP932) to `notes`.
BoardLimits LoadBoardLimits(const std::string& boardUrl, const std::string& boardDir,
                            FetchContext& context, std::vector<std::string>& notes);

}  // namespace velkor
