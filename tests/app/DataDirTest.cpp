#include "app/DataDir.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <iterator>
#include <string>

namespace velkor {
namespace {

// In exeDir, xdgDataHome, home and expected, "{root}" stands for a fresh temporary folder.
struct DefaultDataDirCase {
  const char* name;
  const char* exeDir;
  const char* dataBeside;  // a folder made in exeDir first, or ""
  bool writable;           // whether the process may write into exeDir
  const char* xdgDataHome;
  const char* home;
  const char* expected;
};

void PrintTo(const DefaultDataDirCase& c, std::ostream* os) {
  *os << c.name;
}

class DefaultDataDirTest : public ::testing::TestWithParam<DefaultDataDirCase> {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "velkor-datadir-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    root_ = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  std::string Expand(std::string text) const {
    if (text.starts_with("{root}")) text.replace(0, 6, root_);
    return text;
  }
  std::ptrdiff_t CountEntries() const {
    using Walk = std::filesystem::recursive_directory_iterator;
    return std::distance(Walk(root_), Walk());
  }
  std::string root_;
};

TEST_P(DefaultDataDirTest, Chooses) {
  const DefaultDataDirCase& c = GetParam();
  std::string exeDir = Expand(c.exeDir);
  std::filesystem::create_directories(exeDir);
  if (*c.dataBeside != '\0') std::filesystem::create_directories(exeDir + "/" + c.dataBeside);
  std::ptrdiff_t entries = CountEntries();
  EXPECT_EQ(DefaultDataDir(exeDir, c.writable, Expand(c.xdgDataHome), Expand(c.home)),
            Expand(c.expected));
  EXPECT_EQ(CountEntries(), entries) << "choosing creates nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DefaultDataDirTest,
    ::testing::Values(DefaultDataDirCase{"WritableFolderAsToday", "{root}/build/src", "", true,
                                         "{root}/x", "{root}/h", "{root}/build/src"},
                      DefaultDataDirCase{"ReadOnlyUsesXdgDataHome", "{root}/opt/velkor", "", false,
                                         "{root}/x", "{root}/h", "{root}/x/velkor"},
                      DefaultDataDirCase{"XdgTrailingSlash", "{root}/opt/velkor", "", false,
                                         "{root}/x/", "{root}/h", "{root}/x/velkor"},
                      DefaultDataDirCase{"NoXdgUsesHome", "{root}/opt/velkor", "", false, "",
                                         "{root}/h", "{root}/h/.local/share/velkor"},
                      DefaultDataDirCase{"RelativeXdgIgnored", "{root}/opt/velkor", "", false, "x",
                                         "{root}/h", "{root}/h/.local/share/velkor"},
                      DefaultDataDirCase{"NeitherVariableKeepsExe", "{root}/opt/velkor", "", false,
                                         "", "", "{root}/opt/velkor"},
                      DefaultDataDirCase{"RelativeHomeKeepsExe", "{root}/opt/velkor", "", false, "",
                                         "h", "{root}/opt/velkor"},
                      DefaultDataDirCase{"PortableIniOnReadOnly", "{root}/opt/velkor", "ini", false,
                                         "{root}/x", "{root}/h", "{root}/opt/velkor"},
                      DefaultDataDirCase{"PortableLogOnReadOnly", "{root}/opt/velkor", "log", false,
                                         "{root}/x", "{root}/h", "{root}/opt/velkor"},
                      DefaultDataDirCase{"ProgramFolderEvenWhenWritable", "{root}/usr/bin", "",
                                         true, "", "{root}/h", "{root}/h/.local/share/velkor"},
                      DefaultDataDirCase{"ProgramFolderWithDataBeside", "{root}/usr/bin", "ini",
                                         true, "", "{root}/h", "{root}/usr/bin"}),
    [](const ::testing::TestParamInfo<DefaultDataDirCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor
