// Reply specs and pop-up texts. Input: the first line is a reply spec (or selected text), the rest
// a thread log. Oracles: a spec selects only replies 1 ... kMaxPopupReplies; a pop-up holds no more
// lines than its limit (a log pop-up without a selected reply: its title and an empty line); its
// size is bounded by the selected replies' fields; StripTags leaves no "<".

#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "threads/DatRenderer.h"
#include "threads/PopupText.h"
#include "threads/ReplySpec.h"

namespace {

std::size_t LineCount(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string_view::npos;
       at = text.find("\r\n", at + 2)) {
    ++count;
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velkor;
  if (size > 128 * 1024) return 0;
  const fuzz::Head input = fuzz::SplitHead(fuzz::AsText(data, size));
  const std::string_view spec = input.line;
  const std::string_view log = input.rest;
  static constexpr int kLimits[] = {-1, 0, 1, 2, 5, 40};
  const int limit = kLimits[size % std::size(kLimits)];
  const std::size_t maxLines = limit > 0 ? static_cast<std::size_t>(limit) : 0;

  const ReplySelection selection = ParseReplySpec(spec);
  FUZZ_CHECK(!selection.Has(0) && !selection.Has(kMaxPopupReplies + 1) &&
                 selection.Size() <= kMaxPopupReplies,
             "a spec selects a reply out of range", spec);

  ReplyList replies;
  LoadRepliesFromText(replies, log);
  // Every selected reply shows its fields once (a missing one as the broken-field text), with a
  // heading of its number and three labels.
  const std::size_t perReply = 64 + 4 * BrokenFieldText().size();
  const std::size_t sizeBound =
      static_cast<std::size_t>(selection.Size()) * perReply + 2 * log.size() + 8;

  const std::string popup = BuildPopupText(replies, spec, limit);
  FUZZ_CHECK(LineCount(popup) <= maxLines, "a pop-up holds more lines than its limit", spec);
  FUZZ_CHECK(popup.size() <= sizeBound, "a pop-up grows beyond the replies it shows", spec);

  const std::string fromLog = BuildPopupTextFromLogText(log, spec, limit);
  FUZZ_CHECK(LineCount(fromLog) <= std::max<std::size_t>(maxLines, 2),
             "a log pop-up holds more lines than its limit", spec);
  FUZZ_CHECK(fromLog.size() <= sizeBound + perReply + log.size(),
             "a log pop-up grows beyond the replies it shows", spec);

  const std::string selected = BuildSelectionPopupText(replies, spec, limit);
  FUZZ_CHECK(LineCount(selected) <= maxLines, "a selection pop-up holds more lines than its limit",
             spec);

  FUZZ_CHECK(StripTags(log).find('<') == std::string::npos, "StripTags left a tag", "");
  return 0;
}
