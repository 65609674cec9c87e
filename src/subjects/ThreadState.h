#pragma once

// One thread's reading state: the section named by its dat name in its board's subject.ini (the
// keys GotCount, Unread, ResCount, LastModified, DatSize and Title, formats in docs/subjects.md)
// and its log file. SubjectList keeps a whole board's state in memory and uses the functions below
// on it, as do the log search and the command line; the class ThreadState serves callers that hold
// a thread by its board directory (thread tabs, thread links), so that none of them reads or writes
// the file itself. Texts are CP932; board directories end in "/".

#include <cstdint>
#include <string>
#include <string_view>

#include "base/IniDocument.h"

namespace velkor {

class SubjectList;

// The board's reading-state file: boardDir + "subject.ini".
std::string SubjectIniPath(std::string_view boardDir);

// Values of one thread in a loaded subject.ini; a missing value, or one beyond 32 bits, gives the
// default (Unread 1, GotCount 0, Title empty).
std::int32_t ReadUnread(const IniDocument& ini, std::string_view datName);
std::int32_t ReadGotCount(const IniDocument& ini, std::string_view datName);
std::string ReadTitle(const IniDocument& ini, std::string_view datName);
// The Last-Modified text of the thread's last download, leading blank kept (empty when missing).
std::string ReadLastModified(const IniDocument& ini, std::string_view datName);
// True when the stored replies (GotCount) reach the count the last list announced (ResCount, not
// 0).
bool HoldsListedReplies(const IniDocument& ini, std::string_view datName);

// Stores Unread = n, where n < 1 means GotCount + 1 (everything read); returns the stored value.
std::int32_t WriteUnread(IniDocument& ini, std::string_view datName, std::int32_t n);

// Deletes the log boardDir + datName and the file of the user's own replies in it
// (OwnPostsFileName, app/UrlPaths.h); a file that cannot be deleted stays behind. Nothing for a
// name that is not "<decimal>.dat".
void RemoveThreadLog(const std::string& boardDir, const std::string& datName);

// Deletes the log boardDir + datName (RemoveThreadLog) and gives the
// section the state of a thread never fetched: GotCount 0, Unread 1, LastModified empty, DatSize 0.
// A name that is not "<decimal>.dat" is refused: false, nothing deleted or changed. Writes nothing
// to disk but the deletion.
bool ResetThreadState(IniDocument& ini, const std::string& boardDir, const std::string& datName);

// One thread of one board. When `shown` (may be null, not owned, must outlive this object) is bound
// to the same board directory, reads come from it and writes go through it, so its rows and its
// later writes keep the change; otherwise the board's subject.ini is loaded when this object is
// made and every write replaces it (crash-safely) at once. A subject.ini that exists but cannot be
// read reads as empty and is never replaced.
class ThreadState {
 public:
  ThreadState(std::string boardDir, std::string datName, SubjectList* shown = nullptr);

  // Unread (1 when missing) and Title (empty when missing) of the thread.
  std::int32_t FirstUnread() const;
  std::string Title() const;
  // Whether the thread is past: its board's list no longer shows it (NowNo below 0).
  bool IsPast() const;

  // Stores n as the thread's Unread and writes it at once. Through the shown list n < 1 stands for
  // GotCount + 1 (SubjectList::SetUnread) and the thread's row takes the value; in the file n is
  // stored as given. False, with nothing changed, without a board directory or dat name; false when
  // the state could not be written (through the list, its memory holds the value all the same).
  bool StoreFirstUnread(std::int32_t n);
  // Deletes the thread's log and resets its state (ResetThreadState) and writes it at once; through
  // the shown list its row shows the reset (SubjectList::DeleteLog). False, with nothing changed,
  // without a board directory or for a name that is not "<decimal>.dat"
  // (CanDeleteLog() tells); false when the state could not be written (the log is gone all the
  // same).
  bool DeleteLog();
  // Whether DeleteLog would act: a board directory and a "<decimal>.dat" name.
  bool CanDeleteLog() const;

  // The file the state lives in, for messages about a failed write.
  std::string FilePath() const { return SubjectIniPath(boardDir_); }

 private:
  // The shown list when it is bound to this board, else null.
  SubjectList* Shown() const;

  std::string boardDir_;
  std::string datName_;
  SubjectList* shown_;
  IniDocument file_;      // the board's subject.ini when the shown list is another board's
  bool readable_ = true;  // false when subject.ini exists but could not be read
};

}  // namespace velkor
