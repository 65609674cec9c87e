#include "app/StrayTempFiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "app/DataDir.h"

namespace velkor {
namespace {

constexpr std::string_view kMark = "tmp";
constexpr std::size_t kUniqueChars = 6;  // mkstemp's letters and digits

std::string GuardPath() {
  return IniDir() + "/velkor-cli.lock";
}

int OpenGuardFile() {
  int fd = ::open(GuardPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) fd = ::open(GuardPath().c_str(), O_RDONLY | O_CLOEXEC);
  return fd;
}

bool IsAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

void RemoveIn(const std::string& dir, bool traceToo, std::vector<std::string>& removed) {
  std::error_code ec;
  for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!StrayTempFiles::IsTempName(name, traceToo)) continue;
    std::error_code statError;
    if (!std::filesystem::is_regular_file(it->symlink_status(statError)) || statError) continue;
    const std::string path = dir + "/" + name;
    if (::unlink(path.c_str()) == 0) removed.push_back(path);
  }
}

// Each draft folder, "draft/<host>/<board>" (links are not followed).
void RemoveInDrafts(std::vector<std::string>& removed) {
  const std::string root = AppDir() + "/draft";
  std::error_code ec;
  for (std::filesystem::directory_iterator host(root, ec), end; !ec && host != end;
       host.increment(ec)) {
    std::error_code statError;
    if (!std::filesystem::is_directory(host->symlink_status(statError)) || statError) continue;
    std::error_code boardError;
    for (std::filesystem::directory_iterator board(host->path(), boardError);
         !boardError && board != end; board.increment(boardError)) {
      if (!std::filesystem::is_directory(board->symlink_status(statError)) || statError) continue;
      RemoveIn(board->path().string(), false, removed);
    }
  }
}

}  // namespace

bool StrayTempFiles::IsTempName(std::string_view name, bool traceToo) {
  const std::size_t tail = kMark.size() + kUniqueChars;
  if (name.size() < tail) return false;
  const std::string_view unique = name.substr(name.size() - kUniqueChars);
  if (!std::all_of(unique.begin(), unique.end(), IsAsciiAlnum)) return false;
  if (name.substr(name.size() - tail, kMark.size()) != kMark) return false;
  if (name.size() == tail) return traceToo;
  // "<name>.tmpXXXXXX": the replaced file's name is never empty.
  return name.size() > tail + 1 && name[name.size() - tail - 1] == '.';
}

std::vector<std::string> StrayTempFiles::Remove() {
  std::vector<std::string> removed;
  const int fd = OpenGuardFile();
  if (fd < 0) return removed;
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    RemoveIn(IniDir(), false, removed);
    RemoveIn(LogDir(), true, removed);
    RemoveInDrafts(removed);
  }
  ::close(fd);
  return removed;
}

StrayTempFiles::Guard::Guard() : fd_(OpenGuardFile()) {
  int rc = 0;
  do {
    rc = fd_ >= 0 ? ::flock(fd_, LOCK_SH) : 0;
  } while (rc != 0 && errno == EINTR);
}

StrayTempFiles::Guard::~Guard() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace velkor
