#include "ScratchDir.h"

#include <stdlib.h>

#include <filesystem>
#include <system_error>

namespace velkor::bench {

ScratchDir::ScratchDir(std::string_view prefix) {
  std::error_code ec;
  std::string tmpl =
      (std::filesystem::temp_directory_path(ec) / (std::string(prefix) + "XXXXXX")).string();
  if (!ec && ::mkdtemp(tmpl.data()) != nullptr) path_ = tmpl;
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

}  // namespace velkor::bench
