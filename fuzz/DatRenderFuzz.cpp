// Dat splitting and rendering. Input: a stored thread log. Oracles: every line becomes one reply;
// a line split into fields loses no separator into a field when all four are there; the page is
// bounded by the skin's fragments per reply plus a fixed multiple of the log's size; the page holds
// the unread marker and an anchor for reply 1 whatever reading position and folding the view asks
// for (any int).

#include <climits>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "base/Sjis.h"
#include "subjects/SubjectText.h"
#include "threads/DatRenderer.h"
#include "threads/LogLines.h"

namespace {

// A reading position and a fold width derived from the input, extreme values included.
int Pick(std::uint64_t hash, int count) {
  switch (hash % 6) {
    case 0:
      return INT_MIN;
    case 1:
      return INT_MAX;
    case 2:
      return -static_cast<int>(hash % 7);
    default:
      return static_cast<int>(hash % static_cast<std::uint64_t>(count + 3));
  }
}

std::size_t CountOf(std::string_view text, std::string_view word) {
  std::size_t count = 0;
  for (std::size_t at = text.find(word); at != std::string_view::npos;
       at = text.find(word, at + word.size())) {
    ++count;
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velkor;
  if (size > 256 * 1024) return 0;
  std::string_view log = fuzz::AsText(data, size);
  std::uint64_t hash = 1469598103934665603ULL;
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 1099511628211ULL;

  ReplyList replies;
  LoadRepliesFromText(replies, log);
  FUZZ_CHECK(replies.Count() == CountLines(log), "the reply count differs from the line count", "");
  LogLineReader reader(log);
  for (std::string_view line; reader.Next(line);) {
    const DatFields fields = SplitDatLineRaw(line);
    for (const std::string* field : {&fields.name, &fields.mail, &fields.date, &fields.message}) {
      FUZZ_CHECK(field->find('\n') == std::string::npos && field->find('\r') == std::string::npos,
                 "a field holds a line end", line);
    }
  }

  const Skin skin;
  const std::string_view title = SplitLines(log).empty() ? "" : SplitLines(log).front();
  const int firstUnread = Pick(hash, replies.Count());
  const int oldShown = Pick(hash / 6, replies.Count());
  const std::string page = RenderPage(skin, replies, title, firstUnread, oldShown);
  if (replies.Count() == 0) {
    FUZZ_CHECK(page.empty(), "a log without replies renders a page", "");
    return 0;
  }
  // A reply costs its template, its anchor and, for each field a line lacks, the broken-field text.
  const std::size_t perReply =
      std::max(skin.res.size(), skin.newRes.size()) + 32 + 4 * BrokenFieldText().size();
  const std::size_t fixed = skin.header.size() + CountOf(skin.header, "<&TITLE>") * title.size() +
                            skin.bookmark.size() + skin.footer.size() + 64;
  const std::size_t bound =
      fixed + static_cast<std::size_t>(replies.Count()) * perReply + 16 * log.size();
  FUZZ_CHECK(page.size() <= bound, "the page grows beyond its bound",
             std::to_string(page.size()) + " > " + std::to_string(bound));
  FUZZ_CHECK(page.find("<a name=\"a1\"></a>") != std::string::npos, "reply 1 has no anchor", "");
  FUZZ_CHECK(page.find("<a name=\"midoku\"></a>" + skin.bookmark) != std::string::npos,
             "the page has no unread marker", "");
  return 0;
}
