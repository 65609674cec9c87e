// The search engine against line-by-line matching. Input: the first line is the search word, the
// rest the text searched (its size picks letter-case and width folding). Oracle: FirstMatchingLine
// answers the first line (as SplitLines cuts them) that Matches alone, or 0 when none does, on any
// bytes; and MayMatch never rules out a text that Matches.

#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "app/UiHooks.h"
#include "base/Sjis.h"
#include "search/RegexEngine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velkor;
  if (size > 16 * 1024) return 0;
  const fuzz::Head input = fuzz::SplitHead(fuzz::AsText(data, size));
  if (input.line.empty() || input.line.size() > 64) return 0;

  RegexEngine engine;
  engine.Load();
  engine.SetFoldWidth(size % 2 == 1);
  if (!engine.Prepare(input.line, (size / 2) % 2 == 1).IsOk()) return 0;
  int expected = 0;
  const auto lines = SplitLines(input.rest);
  for (std::size_t i = 0; i < lines.size() && expected == 0; ++i) {
    if (engine.Matches(lines[i])) expected = static_cast<int>(i) + 1;
  }
  FUZZ_CHECK(expected == 0 || engine.MayMatch(lines[static_cast<std::size_t>(expected - 1)]),
             "MayMatch rules out a line that matches",
             std::string(input.line) + "\n" + std::string(input.rest));
  // A search that gave up exhausts the engine; the comparison then says nothing.
  if (engine.Exhausted()) return 0;
  const int got = engine.FirstMatchingLine(input.rest);
  if (engine.Exhausted()) return 0;
  FUZZ_CHECK(got == expected,
             "FirstMatchingLine answers " + std::to_string(got) + ", line by line gives " +
                 std::to_string(expected),
             std::string(input.line) + "\n" + std::string(input.rest));
  engine.Finish();
  return 0;
}
