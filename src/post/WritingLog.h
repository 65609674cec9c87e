#pragma once

// The writing log, log/kakikomi.txt: every successful post, appended in the form people know from
// other readers. CP932, CR LF line ends. Per post:
//
//   --------------------------------------------------        (50 dashes)
//   Date : 2026/12/07 12:34:56                                 (local time of the post)
//   Subject : <thread title, or the new thread's subject>
//   URL : <the thread's read.cgi URL, or the board URL for a new thread whose key is not known>
//   FROM : <name as sent>
//   MAIL : <mail as sent>
//   <empty line>
//   <message, one line per line>
//   <empty line>

#include <ctime>
#include <string>
#include <string_view>

#include "base/Result.h"

namespace velkor {

struct WritingLogEntry {
  std::time_t time = 0;  // when the post was made
  std::string subject;
  std::string url;
  std::string name;
  std::string mail;
  std::string message;  // line breaks LF, CR LF or CR
};

// "<LogDir>/kakikomi.txt".
std::string WritingLogPath();

// The bytes one entry adds. Line breaks in the one-line fields (a title from the network
// included) become blanks, so no field can start a line of its own; the message's line breaks
// become CR LF.
std::string WritingLogText(const WritingLogEntry& entry);

// Appends the entry to the file at `path` (opened for appending, created when missing).
Outcome AppendWritingLog(const std::string& path, const WritingLogEntry& entry);

}  // namespace velkor
