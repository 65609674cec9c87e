#include "search/SearchWalks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "app/HtmlPage.h"
#include "app/UiHooks.h"
#include "base/IniDocument.h"
#include "boards/BoardCatalog.h"
#include "search/RegexEngine.h"
#include "search/SearchPage.h"
#include "subjects/BoardDir.h"
#include "subjects/SubjectList.h"
#include "subjects/SubjectText.h"
#include "subjects/ThreadState.h"

namespace velkor {
namespace {

// The board's reading state; empty when the board has no safe log directory or no state file.
IniDocument ReadSubjects(const std::optional<std::string>& boardDir) {
  IniDocument subjects;
  if (boardDir) subjects.Load(SubjectIniPath(*boardDir));
  return subjects;
}

// One buffer that every log of a walk is read into, grown as needed and never cleared.
class LogBuffer {
 public:
  // The bytes of the regular file at `path`, valid until the next Read; nullopt when it cannot be
  // read.
  std::optional<std::string_view> Read(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      return std::nullopt;
    }
    // One byte more than the size, so that a file that grew since is noticed and read on.
    Reserve(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t size = 0;
    for (;;) {
      if (size == capacity_) Reserve(2 * capacity_);
      const ssize_t n = ::read(fd, data_.get() + size, capacity_ - size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ::close(fd);
        if (n < 0) return std::nullopt;
        return std::string_view(data_.get(), size);
      }
      size += static_cast<std::size_t>(n);
    }
  }

 private:
  // Grows the buffer to hold at least `bytes`, keeping its contents.
  void Reserve(std::size_t bytes) {
    if (bytes <= capacity_) return;
    auto grown = std::make_unique_for_overwrite<char[]>(bytes);
    if (capacity_ > 0) std::memcpy(grown.get(), data_.get(), capacity_);
    data_ = std::move(grown);
    capacity_ = bytes;
  }

  std::unique_ptr<char[]> data_;
  std::size_t capacity_ = 0;
};

// The result entry of one thread of a board: LogEntry for the first line of its log that the
// engine matches, or "" when none does; nullopt when the section names no thread log or the log
// cannot be read.
std::optional<std::string> LogHit(const IniDocument& subjects, const std::string& datName,
                                  const std::string& boardDir, const std::string& linkBase,
                                  const RegexEngine& engine, LogBuffer& logs) {
  if (!IsThreadDatName(datName)) return std::nullopt;
  const std::optional<std::string_view> log = logs.Read(boardDir + datName);
  if (!log) return std::nullopt;
  const int line = engine.FirstMatchingLine(*log);
  if (line <= 0) return std::string();
  return LogEntry(linkBase, datName, line, ReadTitle(subjects, datName));
}

std::string FinishPage(std::string page) {
  page += kHtmlPageTail;
  return page;
}

}  // namespace

WalkProgress MakeWalkProgress(std::function<void(int position, int maximum)> showProgress,
                              const bool& cancelRequested) {
  return [showProgress = std::move(showProgress), &cancelRequested](const std::string* message,
                                                                    int position, int maximum) {
    if (message == nullptr && showProgress) showProgress(position, maximum);
    Ui().ProcessEvents();
    return cancelRequested ? 1 : 0;
  };
}

void SearchShownTitles(SubjectList& list, const RegexEngine& engine) {
  list.FilterRows([&engine](std::string_view title) { return engine.Matches(title); });
}

std::optional<std::string> SearchBoardLogs(const SubjectList& list, const BoardCatalog& favorites,
                                           const RegexEngine& engine,
                                           const WalkProgress& progress) {
  if (!list.IsBound()) return std::nullopt;
  const std::string url = list.BoardUrlFromDir();
  std::string category;
  std::string name;
  if (!favorites.FindByUrl(url, category, name)) return std::nullopt;
  std::string html = std::string(kHtmlPageHead) + SearchHeading(engine.Pattern(), true);
  const IniDocument& subjects = *list.Ini();
  const auto& threads = subjects.Sections();
  const std::string linkBase = ThreadLinkBase(url);
  LogBuffer logs;
  std::string entries;
  for (std::size_t i = 0; i < threads.size(); ++i) {
    if (progress && progress(nullptr, static_cast<int>(i), static_cast<int>(threads.size())) != 0) {
      break;
    }
    if (auto hit = LogHit(subjects, threads[i].name, list.Dir(), linkBase, engine, logs)) {
      entries += *hit;
    }
  }
  html += BoardBlock(name, entries);
  return FinishPage(std::move(html));
}

std::string SearchFavoriteTitles(const BoardCatalog& favorites, const RegexEngine& engine,
                                 const WalkProgress& progress) {
  std::string page = std::string(kHtmlPageHead) + SearchHeading(engine.Pattern(), false);
  const std::vector<std::vector<BoardEntry>> categories = favorites.BoardsByCategory();
  const int categoryCount = static_cast<int>(categories.size());
  for (int c = 0; c < categoryCount; ++c) {
    for (const BoardEntry& board : categories[c]) {
      const std::optional<std::string> dir = SafeBoardDir(board.url);
      const IniDocument subjects = ReadSubjects(dir);
      const std::string linkBase = ThreadLinkBase(board.url);
      std::string entries;
      for (const IniDocument::Section& thread : subjects.Sections()) {
        const std::string title = ReadTitle(subjects, thread.name);
        if (engine.Matches(title)) entries += TitleEntry(linkBase, thread.name, title);
      }
      page += BoardBlock(board.name, entries);
      if (progress && progress(nullptr, c, categoryCount) != 0) return FinishPage(std::move(page));
    }
  }
  return FinishPage(std::move(page));
}

std::string SearchFavoriteLogs(const BoardCatalog& favorites, const RegexEngine& engine,
                               const WalkProgress& progress) {
  std::string page = std::string(kHtmlPageHead) + SearchHeading(engine.Pattern(), true);
  const std::vector<std::vector<BoardEntry>> categories = favorites.BoardsByCategory();
  const int categoryCount = static_cast<int>(categories.size());
  LogBuffer logs;
  for (int c = 0; c < categoryCount; ++c) {
    const std::vector<BoardEntry>& boards = categories[c];
    const int boardCount = static_cast<int>(boards.size());
    for (int b = 0; b < boardCount; ++b) {
      const int position = 10 * c + (10 * b) / boardCount;
      const int maximum = 10 * categoryCount;
      const std::optional<std::string> dir = SafeBoardDir(boards[b].url);
      const IniDocument subjects = ReadSubjects(dir);
      const std::string linkBase = ThreadLinkBase(boards[b].url);
      std::string entries;
      bool stop = false;
      for (const IniDocument::Section& thread : subjects.Sections()) {
        const std::optional<std::string> hit =
            LogHit(subjects, thread.name, *dir, linkBase, engine, logs);
        if (!hit) continue;
        entries += *hit;
        if (progress && progress(nullptr, position, maximum) != 0) {
          stop = true;
          break;
        }
      }
      page += BoardBlock(boards[b].name, entries);
      if (stop || (progress && progress(nullptr, position, maximum) != 0)) {
        return FinishPage(std::move(page));
      }
    }
  }
  return FinishPage(std::move(page));
}

}  // namespace velkor
