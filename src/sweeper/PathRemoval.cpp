#include "sweeper/PathRemoval.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace velkor {
namespace {

namespace fs = std::filesystem;

bool PathIsGone(const std::string& path) {
  std::error_code error;
  return !fs::exists(fs::symlink_status(path, error));
}

// Percent-encodes a path for the Path= line of a .trashinfo file (RFC 2396 unreserved characters
// and "/" stay as they are).
std::string EncodeTrashPath(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : path) {
    const unsigned char c = static_cast<unsigned char>(ch);
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '/' || c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
  return out;
}

std::string LocalTimeStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

// Creates info/<name>.trashinfo exclusively, so that the name is reserved for this item.
bool WriteTrashInfo(const std::string& infoPath, const std::string& contents) {
  const int fd = ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool written =
      ::write(fd, contents.data(), contents.size()) == static_cast<ssize_t>(contents.size());
  ::close(fd);
  if (!written) ::unlink(infoPath.c_str());
  return written;
}

}  // namespace

bool RemoveForGood(const std::string& path) {
  std::error_code error;
  fs::remove_all(path, error);
  return PathIsGone(path);
}

std::optional<std::string> HomeTrashDir() {
  std::string base;
  if (const char* dataHome = std::getenv("XDG_DATA_HOME");
      dataHome != nullptr && *dataHome == '/') {
    base = dataHome;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    base = std::string(home) + "/.local/share";
  } else {
    return std::nullopt;
  }
  const std::string trash = base + "/Trash";
  std::error_code error;
  if (!fs::is_directory(trash, error)) return std::nullopt;
  return trash;
}

bool MoveToTrash(const std::string& path, const std::string& trashDir) {
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  if (error) return false;
  fs::create_directories(trashDir + "/files", error);
  fs::create_directories(trashDir + "/info", error);
  const std::string info = "[Trash Info]\nPath=" + EncodeTrashPath(absolute.string()) +
                           "\nDeletionDate=" + LocalTimeStamp() + "\n";
  const std::string stem = absolute.filename().string();
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const std::string name = attempt == 0 ? stem : stem + "." + std::to_string(attempt);
    const std::string infoPath = trashDir + "/info/" + name + ".trashinfo";
    const std::string target = trashDir + "/files/" + name;
    if (fs::exists(fs::symlink_status(target, error))) continue;
    if (!WriteTrashInfo(infoPath, info)) continue;
    if (std::rename(absolute.c_str(), target.c_str()) == 0) return true;
    ::unlink(infoPath.c_str());
    return false;
  }
  return false;
}

bool MoveToTrashOrRemove(const std::string& path) {
  if (const std::optional<std::string> trash = HomeTrashDir()) {
    if (MoveToTrash(path, *trash)) return true;
  }
  return RemoveForGood(path);
}

}  // namespace velkor
