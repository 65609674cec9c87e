#pragma once

// The content of the offline demo board network: a board menu, 8 boards in 3 categories, each with
// a thread list of 300 threads and their dat files, all generated from a fixed seed (the same
// network on every start, dated relative to the start time) and kept in memory. The network grows
// on request: threads get new replies, the thread lists are reordered, the last thread of a list
// falls off into the archive and a new thread takes the top. Replies link pictures of the image
// host (DemoImages). Texts are Shift_JIS bytes as the board
// servers serve them. Not thread-safe; the demo server drives it from its single thread.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "demo/DemoImages.h"

namespace velkor::demo {

// What a path on one of the network's hosts answers.
struct DemoResource {
  int status = 404;         // 200, 302 or 404
  std::string body;         // 200 only
  std::string contentType;  // 200 only
  long long modified = 0;   // 200 only: Last-Modified, seconds since the epoch
  std::string location;     // 302 only: the absolute URL to go to
};

// A board's posting limits, served as its SETTING.TXT and enforced on posts.
struct DemoBoardSettings {
  std::string noName;    // Shift_JIS: the name shown when a post leaves the name empty
  int messageCount = 0;  // bytes of a message
  int lineNumber = 0;    // servers allow twice this many lines
  int nameCount = 0;     // bytes
  int mailCount = 0;     // bytes
  int subjectCount = 0;  // bytes of a new thread's title
};

// Where a thread key stands on a board.
enum class DemoThreadState { kOpen, kFull, kArchived, kMissing };

// "2026/12/07(月) 23:50:12.34" in Japan time (Shift_JIS), the date field of a dat line.
std::string DemoDate(long long when, int hundredths);

class DemoNetwork {
 public:
  static constexpr int kThreadsPerBoard = 300;
  static constexpr int kMaxReplies = 1000;
  // The host that serves the menu page "/bbsmenu.html".
  static constexpr std::string_view kMenuHost = "menu.5ch.io";

  // Generates the network. `scheme` ("http" or "https") is used in the menu's links and redirects;
  // `now` (seconds since the epoch) dates the threads and is the first Last-Modified of everything.
  DemoNetwork(std::string scheme, long long now);

  // The menu host first, then each board host once, then the image host.
  std::vector<std::string> Hosts() const;
  std::string MenuUrl() const;
  // "http" or "https", as given at construction.
  const std::string& Scheme() const { return scheme_; }
  // `host` without port, `path` as requested (the query is not part of it).
  // Builds a thread's dat on its first request, hence not const.
  DemoResource Find(std::string_view host, std::string_view path);

  // Adds `count` replies (at most up to kMaxReplies) to the listed thread `key` of the board whose
  // directory name is `board`, dated `now`, and moves the thread to the top of its list. Returns
  // the number of replies added; 0 when there is no such listed thread or it is full.
  int Grow(std::string_view board, long long key, int count, long long now);
  // One step of the network's life: a few random threads get 1 to 5 replies; on one board the last
  // thread falls into the archive and a new thread starts at the top. Returns a one-line summary.
  std::string Step(long long now);

  // The posting limits of the board `dir` served on `host` (empty: any host); null when the host
  // serves no such board.
  const DemoBoardSettings* Settings(std::string_view host, std::string_view dir) const;
  // Whether thread `key` of the board `dir` is listed and open, full, archived or unknown.
  DemoThreadState ThreadState(std::string_view dir, long long key) const;
  // Appends one dat line (ending in LF) to the listed open thread `key` of the board `dir`, dated
  // `now`; with `age` the thread moves to the top of its list. Returns the new reply's number, 0
  // when the thread is not open.
  int AppendReply(std::string_view dir, long long key, const std::string& line, bool age,
                  long long now);
  // Starts a thread with `title` (Shift_JIS, entities escaped) and its first dat line at the top of
  // the board `dir`; the last thread of the list falls into the archive. Returns the new key, 0
  // when there is no such board.
  long long StartThread(std::string_view dir, const std::string& title, const std::string& line,
                        long long now);

  // Directory names of the boards, in menu order; and a board's listed thread keys, top first.
  std::vector<std::string> BoardDirs() const;
  std::vector<long long> ThreadKeys(std::string_view board) const;

 private:
  struct Thread {
    long long key = 0;
    std::string title;    // Shift_JIS, entities as in subject.txt
    int baseReplies = 0;  // replies generated from the seed
    std::string dat;      // built on first use; new replies are appended
    int replies = 0;      // replies in the thread (built or not)
    long long lastPost = 0;
    long long modified = 0;
  };
  struct Board {
    int index = 0;
    std::string category;  // Shift_JIS
    std::string name;      // Shift_JIS
    std::string host;
    std::string dir;
    DemoBoardSettings settings;
    std::vector<Thread> threads;  // listed, top first
    std::map<long long, Thread> archive;
    long long subjectModified = 0;
  };

  // Gives each full thread of a freshly generated board a successor: a later open thread, both
  // titled as parts of one series (the successor's part number one greater).
  void MakeSeries(Board& board) const;
  Thread NewThread(const Board& board, long long key, int replies, long long lastPost,
                   std::uint64_t seed) const;
  void BuildDat(const Board& board, Thread& thread) const;
  std::string ReplyLine(const Board& board, const Thread& thread, int number, long long when) const;
  std::string SubjectText(const Board& board) const;
  std::string MenuPage() const;
  Board* FindBoard(std::string_view host, std::string_view dir);
  std::string BoardUrl(const Board& board) const;
  std::string SettingText(const Board& board) const;
  // Pushes `thread` on top of the list and the last listed thread into the archive.
  void PushThread(Board& board, Thread thread, long long now);
  // Records a change to a listed thread at `now`; with `age` the thread moves to the top.
  void Touch(Board& board, std::vector<Thread>::iterator thread, bool age, long long now);
  long long FreeKey(const Board& board, long long key) const;
  void Retire(Board& board, long long now);

  std::string scheme_;
  long long start_ = 0;
  std::uint64_t stepCount_ = 0;
  std::vector<Board> boards_;
  DemoImages images_;
};

}  // namespace velkor::demo
