#include "threads/LogLines.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "base/Sjis.h"

namespace velkor {
namespace {

struct LinesCase {
  const char* name;
  std::string text;
  std::vector<std::string> lines;
};

void PrintTo(const LinesCase& c, std::ostream* os) {
  *os << c.name;
}

class LogLineReaderTest : public testing::TestWithParam<LinesCase> {};

TEST_P(LogLineReaderTest, SplitsLikeTheTextLayer) {
  std::vector<std::string> lines;
  LogLineReader reader(GetParam().text);
  for (std::string_view line; reader.Next(line);) lines.emplace_back(line);
  EXPECT_EQ(lines, GetParam().lines);
  std::vector<std::string> reference;
  for (std::string_view line : SplitLines(GetParam().text)) reference.emplace_back(line);
  EXPECT_EQ(lines, reference);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, LogLineReaderTest,
    testing::Values(LinesCase{"Empty", "", {}}, LinesCase{"NoEnd", "a", {"a"}},
                    LinesCase{"Lf", "a\nb\n", {"a", "b"}},
                    LinesCase{"CrLf", "a\r\nb\r\n", {"a", "b"}},
                    LinesCase{"LoneCr", "a\rb\rc", {"a", "b", "c"}},
                    LinesCase{"Mixed", "a\r\n\nb\r\rc\n", {"a", "", "b", "", "c"}},
                    LinesCase{"EmptyLinesBetween", "a\n\n\nb", {"a", "", "", "b"}},
                    LinesCase{"OnlyEnds", "\n\r\n\r", {"", "", ""}},
                    LinesCase{"CrBeforeLaterLf", "a\rb\r\nc\nd", {"a", "b", "c", "d"}}),
    [](const testing::TestParamInfo<LinesCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor
