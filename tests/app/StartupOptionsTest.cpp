#include "app/StartupOptions.h"

#include <gtest/gtest.h>

namespace velkor {
namespace {

TEST(StartupOptionsTest, BoardMenuSwitch) {
  for (const char* on : {"-b", "/b", "-B", "/B"}) EXPECT_TRUE(IsBoardMenuSwitch(on)) << on;
  for (const char* off : {"b", "--b", "-bb", "\\b", ""})
    EXPECT_FALSE(IsBoardMenuSwitch(off)) << off;
}

TEST(StartupOptionsTest, ParsesOptions) {
  StartupOptions options;
  std::string error;
  ASSERT_TRUE(ParseStartupOptions(
      {"-style", "fusion", "--data-dir", "/d", "/B", "--connect-to", "h=127.0.0.1:8080"}, options,
      error));
  EXPECT_EQ(options.dataDir, "/d");
  EXPECT_TRUE(options.boardMenuSwitch);
  EXPECT_EQ(options.connectTo, std::vector<std::string>{"h=127.0.0.1:8080"});
  StartupOptions bad;
  EXPECT_FALSE(ParseStartupOptions({"--data-dir"}, bad, error));
  EXPECT_EQ(error, "--data-dir needs a value");
}

}  // namespace
}  // namespace velkor
