#pragma once

#include <string>
#include <string_view>

namespace velkor {

// A uniquely named temporary file, open for writing, that is removed when the object is closed or
// destroyed. Only its owner may read it (mode 0600; for example a protocol trace watched with tail,
// which holds the cookies and the text of posts).
class TempFile {
 public:
  TempFile() = default;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  TempFile(TempFile&& other) noexcept;
  TempFile& operator=(TempFile&& other) noexcept;
  ~TempFile();

  // Creates "<directory>/<prefix>XXXXXX" (prefix "tmp" when empty; the current directory when the
  // directory is empty). Returns false, and leaves the object invalid, when no file can be made.
  bool Create(const std::string& directory, std::string_view prefix);
  bool IsValid() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }
  // Appends bytes; false on a write failure or an invalid file.
  bool Write(std::string_view data);
  // Closes and removes the file. Safe to call more than once.
  void Close();

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace velkor
