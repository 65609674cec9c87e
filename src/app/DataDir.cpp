#include "app/DataDir.h"

#include <unistd.h>

#include <climits>
#include <filesystem>
#include <system_error>

#include "base/FileUtil.h"

namespace velkor {
namespace {

std::string& AppDirStorage() {
  static std::string dir;
  return dir;
}

std::string& LogDirStorage() {
  static std::string dir;
  return dir;
}

}  // namespace

std::string ExecutableDir() {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return ".";
  std::string path(buffer, static_cast<std::size_t>(n));
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

void InitDataDir(const std::string& dir) {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(dir.empty() ? "." : dir, ec);
  std::string text = ec ? dir : absolute.lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  AppDirStorage() = text;
  LogDirStorage() = text + "/log";
  MakeDirectories(text + "/ini");
  MakeDirectories(LogDirStorage());
}

const std::string& AppDir() {
  return AppDirStorage();
}
const std::string& LogDir() {
  return LogDirStorage();
}
std::string IniDir() {
  return AppDirStorage() + "/ini";
}

}  // namespace velkor
