#include "support/TempDataDir.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "app/DataDir.h"
#include "base/FileUtil.h"
#include "base/Sjis.h"

namespace velkor::test {

TempDataDir::TempDataDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "velkor-test-XXXXXX").string();
  if (::mkdtemp(tmpl.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
  path_ = tmpl;
  InitDataDir(path_);
}

TempDataDir::~TempDataDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void TempDataDir::WriteFile(std::string_view relative, std::string_view bytes) const {
  std::filesystem::path full = std::filesystem::path(path_) / relative;
  MakeDirectories(full.parent_path().string());
  ASSERT_TRUE(ReplaceFile(full.string(), bytes)) << full;
}

std::string TempDataDir::ReadFile(std::string_view relative) const {
  return ReadWholeFile((std::filesystem::path(path_) / relative).string()).value_or("<missing>");
}

bool TempDataDir::Exists(std::string_view relative) const {
  return std::filesystem::exists(std::filesystem::path(path_) / relative);
}

std::string S(std::string_view utf8) {
  return Sjis(utf8);
}

}  // namespace velkor::test
