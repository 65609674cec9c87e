#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/DataDir.h"

namespace velkor::fuzz {

namespace {

std::string& ScratchPath() {
  static std::string path;
  return path;
}

void RemoveScratch() {
  std::error_code ec;
  if (!ScratchPath().empty()) std::filesystem::remove_all(ScratchPath(), ec);
}

}  // namespace

const std::string& ScratchDataDir() {
  std::string& path = ScratchPath();
  if (path.empty()) {
    // Memory-backed when the machine has it: targets that write files then run much faster.
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::string pattern = (base / "velkor-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) Fail("cannot make a scratch data directory", pattern);
    path = pattern;
    InitDataDir(path);
    std::atexit(RemoveScratch);
  }
  return path;
}

Head SplitHead(std::string_view input) {
  std::size_t lf = input.find('\n');
  if (lf == std::string_view::npos) return {input, {}};
  return {input.substr(0, lf), input.substr(lf + 1)};
}

bool PathInside(std::string_view path, std::string_view dir) {
  namespace fs = std::filesystem;
  fs::path p = fs::path(std::string(path)).lexically_normal();
  fs::path d = fs::path(std::string(dir)).lexically_normal();
  fs::path rel = p.lexically_relative(d);
  if (rel.empty()) return false;
  std::string first = rel.begin()->string();
  return first != ".." && !rel.is_absolute();
}

bool HasControlByte(std::string_view text) {
  for (char c : text) {
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return true;
  }
  return false;
}

void Fail(std::string_view what, std::string_view detail) {
  std::fprintf(stderr, "\n=== oracle failed: %.*s\n", static_cast<int>(what.size()), what.data());
  if (!detail.empty()) {
    std::string shown;
    for (char c : detail.substr(0, 400)) {
      auto u = static_cast<unsigned char>(c);
      if (u >= 0x20 && u < 0x7F && c != '\\') {
        shown += c;
      } else {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", u);
        shown += hex;
      }
    }
    std::fprintf(stderr, "=== detail: %s\n", shown.c_str());
  }
  std::abort();
}

}  // namespace velkor::fuzz
