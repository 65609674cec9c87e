#pragma once

#include <string>
#include <string_view>

namespace velkor::test {

// A fresh data directory under the system's temporary folder, made the program's data directory
// (InitDataDir) on construction and removed with everything in it on destruction.
class TempDataDir {
 public:
  TempDataDir();
  ~TempDataDir();
  TempDataDir(const TempDataDir&) = delete;
  TempDataDir& operator=(const TempDataDir&) = delete;

  const std::string& Path() const { return path_; }
  // Writes a file below the data directory (creating folders); `relative` uses "/".
  void WriteFile(std::string_view relative, std::string_view bytes) const;
  // The file's bytes, or "<missing>" when it cannot be read.
  std::string ReadFile(std::string_view relative) const;
  bool Exists(std::string_view relative) const;

 private:
  std::string path_;
};

// Converts a UTF-8 test literal to CP932.
std::string S(std::string_view utf8);

}  // namespace velkor::test
