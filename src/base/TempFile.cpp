#include "base/TempFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

namespace velkor {

TempFile::TempFile(TempFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

TempFile& TempFile::operator=(TempFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

TempFile::~TempFile() {
  Close();
}

bool TempFile::Create(const std::string& directory, std::string_view prefix) {
  Close();
  std::string tmpl = directory.empty() ? std::string(".") : directory;
  if (tmpl.back() != '/') tmpl += '/';
  tmpl += prefix.empty() ? std::string_view("tmp") : prefix;
  tmpl += "XXXXXX";
  int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
  if (fd < 0) return false;
  fd_ = fd;
  path_ = std::move(tmpl);
  return true;
}

bool TempFile::Write(std::string_view data) {
  if (fd_ < 0) return false;
  while (!data.empty()) {
    ssize_t n = ::write(fd_, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

void TempFile::Close() {
  if (fd_ < 0) return;
  ::close(fd_);
  ::unlink(path_.c_str());
  fd_ = -1;
  path_.clear();
}

}  // namespace velkor
