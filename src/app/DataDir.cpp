#include "app/DataDir.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
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

bool IsAbsolute(const std::string& path) {
  return !path.empty() && path.front() == '/';
}

std::string Normalized(const std::string& dir) {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(dir.empty() ? "." : dir, ec);
  std::string text = ec ? dir : absolute.lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
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

std::string DefaultDataDir(const std::string& exeDir, bool exeDirWritable,
                           const std::string& xdgDataHome, const std::string& home) {
  if (DirectoryExists(exeDir + "/ini") || DirectoryExists(exeDir + "/log")) return exeDir;
  if (exeDirWritable && std::filesystem::path(exeDir).filename() != "bin") return exeDir;
  if (IsAbsolute(xdgDataHome)) return Normalized(xdgDataHome + "/velkor");
  if (IsAbsolute(home)) return Normalized(home + "/.local/share/velkor");
  return exeDir;
}

std::string DefaultDataDir() {
  std::string exeDir = ExecutableDir();
  return DefaultDataDir(exeDir, ::access(exeDir.c_str(), W_OK | X_OK) == 0,
                        EnvironmentValue("XDG_DATA_HOME"), EnvironmentValue("HOME"));
}

void InitDataDir(const std::string& dir) {
  std::string text = Normalized(dir);
  if (text == Normalized(ExecutableDir())) text = Normalized(DefaultDataDir());
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
