#pragma once

#include <string>
#include <string_view>

namespace velkor::bench {

// A fresh folder under the system's temporary folder ("<prefix>XXXXXX"), removed with everything in
// it when the object goes. Path() is empty when the folder could not be made.
class ScratchDir {
 public:
  explicit ScratchDir(std::string_view prefix);
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace velkor::bench
