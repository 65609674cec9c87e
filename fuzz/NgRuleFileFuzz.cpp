// The NG rule file. Input: a rule file's text. Oracles: every line is kept as it was read (comments
// and damaged lines included); the text written back reads as the same rules and is written back
// byte for byte; rules plus damaged lines plus comments account for every line; adding a rule and
// removing it again leaves the text as it was.

#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "base/Sjis.h"
#include "threads/NgRuleFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velkor;
  if (size > 64 * 1024) return 0;
  const std::string_view text = fuzz::AsText(data, size);
  NgRuleFile file;
  file.Parse(text);
  const std::string written = file.Text();

  const auto in = SplitLines(text);
  const auto out = SplitLines(written);
  FUZZ_CHECK(in.size() == out.size(), "lines lost or added", written);
  std::size_t comments = 0;
  for (std::size_t i = 0; i < in.size(); ++i) {
    FUZZ_CHECK(in[i] == out[i], "line " + std::to_string(i + 1) + " not kept as read", written);
    const std::string_view trimmed = TrimView(in[i]);
    if (trimmed.empty() || trimmed.front() == '#') ++comments;
  }
  FUZZ_CHECK(file.Rules().size() + file.Problems().size() + comments == in.size(),
             "a line is neither rule, damaged line nor comment", written);

  NgRuleFile again;
  again.Parse(written);
  FUZZ_CHECK(again.Rules() == file.Rules(), "rules change on reading the written text", written);
  FUZZ_CHECK(again.Text() == written, "the written text does not write back alike", written);

  if (!in.empty()) {
    const NgRule extra{NgKind::kWord, "fuzz-extra-rule", "", false, false};
    const ResultWith<int, NgRuleFileCode> added = again.Add(extra);
    FUZZ_CHECK(added.IsOk(), "a plain word rule is refused", added.Reason());
    const bool existed = again.Rules().size() == file.Rules().size();
    if (!existed) {
      FUZZ_CHECK(again.Remove(added.Value()).IsOk(), "the added rule cannot be removed", written);
      FUZZ_CHECK(again.Text() == written, "add and remove change the text", again.Text());
    }
  }
  return 0;
}
