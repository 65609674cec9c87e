#pragma once

// The thread list of one board: its reading state file (subject.ini), the merge of each downloaded
// subject.txt, and the rows the list view shows. Everything here is plain data; the GUI's virtual
// list binds to RowCount / CellTexts / RowColour and calls Fill / SortBy / FilterRows.
//
// Files in a board directory (all CP932):
//   subject.txt  the last downloaded thread list, as served.
//   subject.ini  one section per known thread, named by its dat name ("1234567890.dat"), with the
//   keys
//                NowNo, PreNo, ResCount, Title, GotCount, Unread, LastModified, DatSize.
//   bbs.ini      section [subject.txt], key LastModified: the time stamp of the last merged list.
//   <key>.dat    the thread logs (threads/ThreadLogFetch.h).
// docs/subjects.md describes the formats and the merge.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/Settings.h"
#include "subjects/UpdateResult.h"

namespace velkor {

class IniDocument;
struct FetchContext;

// State flags of a thread (ThreadItem::state).
inline constexpr std::uint8_t kThreadNoLog = 0x02;   // gotCount <= 0
inline constexpr std::uint8_t kThreadLog = 0x04;     // gotCount > 0
inline constexpr std::uint8_t kThreadUnread = 0x08;  // stored replies not all read, or more listed
inline constexpr std::uint8_t kThreadNew = 0x10;     // preNo == 0: absent from the previous list
inline constexpr std::uint8_t kThreadOver1000 =
    0x20;                                          // has a colour; ComputeThreadState never sets it
inline constexpr std::uint8_t kThreadPast = 0x40;  // nowNo < 0: no longer listed
// Every bit: the mask that shows every thread.
inline constexpr std::uint8_t kThreadAnyState = 0xFF;

// The show types of the thread list, in the order of the show-type box (the numbers are the
// box's indexes and the command line's --show values).
enum class ShowType : int {
  kThreads = 0,     // "スレッド": unread, new or past threads
  kAll = 1,         // "全てのスレッド"
  kWithLog = 2,     // "ログのあるスレッド"
  kWithoutLog = 3,  // "ログのないスレッド"
  kUnread = 4,      // "未読スレッド"
  kNew = 5,         // "新規スレッド"
};
inline constexpr int kShowTypeCount = 6;
// The state masks of the show types, by index: a row is shown when its state shares at least one
// bit with the mask.
inline constexpr std::array<std::uint8_t, kShowTypeCount> kShowTypeMasks = {
    kThreadUnread | kThreadNew | kThreadPast,
    kThreadAnyState,
    kThreadLog,
    kThreadNoLog,
    kThreadUnread,
    kThreadNew,
};
inline constexpr std::uint8_t ShowTypeMask(ShowType type) {
  return kShowTypeMasks[static_cast<std::size_t>(type)];
}

// Columns of the thread list; the index is also the sort key.
enum class SubjectColumn : int {
  kState = 0,     // shows nothing; sorts by state
  kRank,          // "順位"
  kPreviousRank,  // "前回"
  kTitle,         // "タイトル"
  kResCount,      // "レス"
  kGotCount,      // "既得"
  kUnreadCount,   // "未読"
  kLastModified,  // "タイムスタンプ"
  kDatSize,       // "サイズ"
  kDatName,       // "dat"
};
inline constexpr int kSubjectColumnCount = 10;

// One thread as the list shows it. Strings are CP932.
struct ThreadItem {
  std::uint8_t state = 0;
  std::int32_t nowNo = 0;  // rank in the last merged list; -1 when no longer listed
  std::int32_t preNo = 0;  // rank before the last merge; 0 new, -1 already past before
  std::string title;
  std::int32_t resCount = 0;  // replies the last list announced
  std::int32_t gotCount = 0;  // lines of the stored log; 0 = no log
  std::int32_t unread = 1;    // number of the first reply not yet read
  std::string datName;        // "<key>.dat"
  std::string lastModified;   // Last-Modified of the last log download, as stored
  std::int32_t datSize = 0;   // bytes of the stored log
};

// The state flags for these values (the table above).
std::uint8_t ComputeThreadState(std::int32_t gotCount, std::int32_t unread, std::int32_t resCount,
                                std::int32_t preNo, std::int32_t nowNo);
// Replies stored but not read: gotCount - unread + 1 when gotCount >= unread (and >= 0), else 0.
std::int32_t UnreadCountOf(std::int32_t gotCount, std::int32_t unread);
// The background colour of a row in this state, from the settings' thread colours (first match of
// unread, past, log, new, over 1000; otherwise the no-log colour).
Colour ThreadStateColour(std::uint8_t state, const Settings& settings);

// The texts of columns 0 to 9 of a row showing this thread (CP932; column 0 is always empty).
std::array<std::string, kSubjectColumnCount> ThreadCellTexts(const ThreadItem& item);

// Yes/no answer whether a text (CP932) matches, used by the search over titles and logs.
using TextMatcher = std::function<bool(std::string_view text)>;
// Called by Fill while rows are added (every 64 sections), with the current row count, so that a
// view can show the list filling in.
using RowGrowth = std::function<void(std::size_t rowCount)>;

class SubjectList {
 public:
  SubjectList();
  ~SubjectList();
  SubjectList(const SubjectList&) = delete;
  SubjectList& operator=(const SubjectList&) = delete;

  // Binds the list to the subject.ini at this path: drops the previous state without writing it,
  // loads the file (missing = empty), sets Dir() to the file's folder plus "/" and creates that
  // folder with its parents. Items and rows are cleared. Returns false when the folder cannot be
  // created (the list is bound all the same; later writes then fail). The path must not have been
  // made from network names without SafeBoardDir (subjects/BoardDir.h). `boardUrl` is the board's
  // stored URL (a favourite's, with its scheme); empty when the caller has none.
  bool Bind(const std::string& subjectIniPath, const std::string& boardUrl = {});
  // Drops the state (without writing), the items and the rows; the list is unbound afterwards.
  // A download still running for the old board no longer counts as this list's RunningFetch(), so
  // a Refresh of the next board starts its own download instead of stopping that one.
  void Release();
  bool IsBound() const { return ini_ != nullptr; }
  // The board directory, ending in "/"; empty while unbound.
  const std::string& Dir() const { return dir_; }
  // The board's URL for Dir(), with its scheme: the URL given to Bind, else RebuiltBoardUrl
  // (app/UrlPaths.h) from the folder's last two names. Empty while unbound.
  std::string BoardUrlFromDir() const;

  // Downloads subject.txt from BoardUrlFromDir() (through CacheServerUrl, conditional on bbs.ini's
  // time stamp, gzip as the settings say) and merges it. On a new list: subject.txt is replaced;
  // when its first byte is a digit, the list is merged, subject.ini written and bbs.ini's time
  // stamp updated, and the result is kOk. kUnchanged for 304. kNotWritten when subject.txt,
  // subject.ini or bbs.ini could not be written (the time stamp then stays, so the next refresh
  // downloads the list again). kFailed for failures, aborts, an empty body, a body not starting
  // with a digit (then only subject.txt is replaced). While a download runs for this list
  // (RunningFetch() not null), a call only asks the running one to stop and fails
  // ("中断しました."). Status texts go through the standard status handler to Ui().
  UpdateResult Refresh();

  // Merges the lines of a downloaded subject.txt: broken lines are joined first, then every parsed
  // line with a safe dat name sets NowNo (its 1-based position), PreNo (the previous NowNo) and
  // ResCount, and Title for a thread not known before. Threads no longer listed become past
  // (NowNo -1, PreNo the last rank); one without a log is forgotten; one already past at the
  // previous merge and fully read is forgotten and its log deleted (RemoveThreadLog). Writes
  // subject.ini; false when unbound or when the file could not be written (the in-memory state is
  // merged all the same).
  bool Merge(std::vector<std::string> lines);

  // After a log download: GotCount = lines of `log`, LastModified, DatSize = its size. Writes
  // subject.ini when flush is set (false when that write fails or unbound).
  bool StoreFetched(std::string_view log, const std::string& datName, bool flush,
                    const std::string& lastModified);
  // Marks the thread as no longer listed, as a merge marks a thread that fell off the list: a
  // thread with NowNo >= 0 gets PreNo = NowNo and NowNo = -1; one already past is left alone.
  // Writes subject.ini when flush is set (false when that write fails or unbound).
  bool MarkPast(const std::string& datName, bool flush);
  // Deletes the log Dir() + datName (RemoveThreadLog) and resets GotCount 0, Unread 1,
  // LastModified empty, DatSize 0; writes subject.ini when flush is set. A name that is not
  // "<decimal>.dat" is refused (false).
  bool ResetThread(const std::string& datName, bool flush);
  // ResetThread, then the row's item shows the reset values (state recomputed; also when writing
  // subject.ini failed, which the result reports). A refused name changes nothing.
  bool DeleteLog(std::size_t row, const std::string& datName, bool flush);
  // Unread of the thread: 1 when missing, 0 while unbound.
  std::int32_t UnreadOf(const std::string& datName) const;
  // Stores Unread = n, where n < 1 means GotCount + 1 (everything read); writes subject.ini when
  // flush is set. Returns the stored n (0 when unbound).
  std::int32_t SetUnread(const std::string& datName, std::int32_t n, bool flush);
  // SetUnread, then the row's item takes the stored value and its state is recomputed.
  std::int32_t SetUnreadAt(std::size_t row, const std::string& datName, bool flush, std::int32_t n);
  // Re-reads NowNo, PreNo, ResCount, GotCount, Unread, LastModified and DatSize of the row's
  // thread and recomputes its state (a log found in the archive makes the thread past). The title
  // stays.
  void RefreshRow(std::size_t row);
  // The listed threads (NowNo > 0) with a stored log (GotCount > 0) for which the last list
  // announced more replies than are stored (ResCount > GotCount), by rank; empty while unbound.
  // Rows are not touched.
  std::vector<ThreadItem> ThreadsWithNewReplies() const;
  // The thread's values as a row would show them (defaults when it has no section).
  ThreadItem ReadItem(const std::string& datName) const;
  // Index of the first row whose dat name equals datName exactly, or -1.
  int IndexOfDat(std::string_view datName) const;
  // Writes subject.ini (after operations called with flush off). False when unbound or on failure.
  bool Flush();

  // Rebuilds items and rows from subject.ini: every thread whose state shares a bit with mask,
  // ordered by nowNo ascending (equal ranks keep file order). Resets the sort directions (columns
  // 0, 1, 4, 5, 6 descending, the others ascending). `growth` is told the row count every 64
  // sections while the list grows. Unbound: rows are emptied.
  void Fill(std::uint8_t mask, const RowGrowth& growth = {});
  // Sorts rows by the column in the direction of its flag, then flips the flag. Texts compare
  // bytewise; numbers numerically. Rows with equal keys keep their order. Other columns: nothing.
  void SortBy(int column);
  // The direction the next SortBy of this column uses.
  bool SortDescending(int column) const;
  // Removes every row whose title the matcher does not match; items and subject.ini stay.
  void FilterRows(const TextMatcher& matcher);

  std::size_t RowCount() const { return rows_.size(); }
  // The row's item; row must be below RowCount().
  const ThreadItem& Row(std::size_t row) const { return items_[rows_[row]]; }
  // The texts of columns 0 to 9 (CP932; column 0 is always empty); all empty for a row beyond the
  // row count.
  std::array<std::string, kSubjectColumnCount> CellTexts(std::size_t row) const;
  // The row's background colour from AppSettings() (ThreadStateColour); the no-log colour for a row
  // beyond the row count.
  Colour RowColour(std::size_t row) const;

  // The context of the download that runs for this board (Refresh or a thread-log fetch), or null.
  // Set and cleared by the fetching code around its download; not owned.
  FetchContext* RunningFetch() const { return fetch_; }
  void SetRunningFetch(FetchContext* context) { fetch_ = context; }

  // The in-memory subject.ini (null while unbound), for readers of single values.
  const IniDocument* Ini() const { return ini_.get(); }

 private:
  std::string IniPath() const;
  void ResetSortDirections();

  std::unique_ptr<IniDocument> ini_;
  std::string dir_;
  std::string boardUrl_;
  std::array<bool, kSubjectColumnCount> sortDescending_{};
  FetchContext* fetch_ = nullptr;
  std::vector<ThreadItem> items_;
  std::vector<std::size_t> rows_;  // indices into items_
};

}  // namespace velkor
