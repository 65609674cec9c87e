#include "post/OwnPostFinder.h"

#include <vector>

#include "base/Sjis.h"
#include "post/StoredPostText.h"
#include "threads/DatRenderer.h"
#include "threads/LogLines.h"
#include "threads/MessageLinks.h"
#include "threads/PopupText.h"

namespace velkor {
namespace {

std::string_view TrimSpaces(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// The lines of a message, each without blanks at its ends, without empty lines at either end.
std::vector<std::string> MessageLines(const std::vector<std::string_view>& raw) {
  std::vector<std::string> lines;
  for (std::string_view line : raw) lines.emplace_back(TrimSpaces(line));
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  std::size_t first = 0;
  while (first < lines.size() && lines[first].empty()) ++first;
  lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(first));
  return lines;
}

std::vector<std::string> SentLines(std::string_view message) {
  const std::string escaped = StoredPostText(message, "\n");
  std::vector<std::string_view> raw = SplitLines(escaped);
  // A message ending in a line break has an empty last line.
  return MessageLines(raw);
}

std::vector<std::string> StoredLines(std::string_view message) {
  const std::string text = StripAnchorTags(message);
  std::vector<std::string_view> raw;
  std::size_t start = 0;
  for (;;) {
    const std::size_t br = SjisFind(text, "<br>", start);
    raw.push_back(std::string_view(text).substr(start, br - start));
    if (br == std::string::npos) break;
    start = br + 4;
  }
  return MessageLines(raw);
}

// "◆" as "◇" and "★" as "☆".
std::string FoldMarks(std::string_view text) {
  static const std::string marks[][2] = {{Sjis("◆"), Sjis("◇")}, {Sjis("★"), Sjis("☆")}};
  std::string out(text);
  for (const auto& [from, to] : marks) {
    for (std::size_t at = SjisFind(out, from); at != std::string::npos;
         at = SjisFind(out, from, at + to.size())) {
      out.replace(at, from.size(), to);
    }
  }
  return out;
}

struct Expected {
  std::optional<std::string> namePrefix;  // nullopt: any name
  std::string mail;
  std::vector<std::string> lines;
};

bool Matches(std::string_view line, const Expected& expected) {
  const DatFields fields = SplitDatLineRaw(line);
  if (TrimSpaces(fields.mail) != expected.mail) return false;
  if (expected.namePrefix) {
    const std::string name = FoldMarks(TrimSpaces(StripTags(fields.name)));
    if (!name.starts_with(*expected.namePrefix)) return false;
  }
  return StoredLines(fields.message) == expected.lines;
}

}  // namespace

std::optional<int> FindOwnReply(std::string_view logText, const SentPost& sent,
                                std::string_view nonameName, int after, std::optional<int> resnum) {
  static const std::string wideSharp = Sjis("＃");
  const std::string_view typed = sent.name;
  const std::size_t sharp = std::min(SjisFindChar(typed, '#'), SjisFind(typed, wideSharp));
  const std::string namePart(TrimSpaces(StoredPostText(typed.substr(0, sharp), " ")));
  Expected expected;
  if (!namePart.empty()) {
    expected.namePrefix = FoldMarks(namePart);
  } else if (!nonameName.empty() && sharp == std::string_view::npos) {
    expected.namePrefix = FoldMarks(TrimSpaces(nonameName));
  }
  expected.mail = std::string(TrimSpaces(StoredPostText(sent.mail, " ")));
  expected.lines = SentLines(sent.message);
  if (expected.lines.empty()) return std::nullopt;

  std::optional<int> found;
  bool hintHeld = false;
  const int hint = resnum && *resnum > after ? *resnum : 0;
  int count = 0;
  LogLineReader reader(logText);
  std::string_view line;
  while (reader.Next(line)) {
    const int k = ++count;
    if (k <= after || !Matches(line, expected)) continue;
    found = k;
    if (k == hint) hintHeld = true;
  }
  if (hint > 0 && (count < hint || hintHeld)) return hint;
  return found;
}

}  // namespace velkor
