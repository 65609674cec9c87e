#include "subjects/SubjectText.h"

#include <limits>
#include <optional>

#include "base/Integer.h"
#include "base/Sjis.h"

namespace velkor {
namespace {

// A reply count: a decimal number with an optional sign, up to the largest 32-bit value either way
// (so "-2147483648" is none); nullopt for anything else.
std::optional<std::int32_t> ReplyCount(std::string_view text) {
  constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
  auto value = ParseInteger(text, -kLargest, kLargest);
  if (!value) return std::nullopt;
  return static_cast<std::int32_t>(*value);
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  std::string out;
  std::size_t pos = 0;
  for (;;) {
    std::size_t hit = text.find(from, pos);
    if (hit == std::string::npos) break;
    out.append(text, pos, hit - pos);
    out.append(to);
    pos = hit + from.size();
  }
  if (pos == 0) return;
  out.append(text, pos, std::string::npos);
  text.swap(out);
}

}  // namespace

bool ParseSubjectLine(std::string_view line, SubjectLine& out) {
  // "<", ">", "(" and ")" never occur as the second byte of a two-byte character, so plain byte
  // searches are safe here.
  std::size_t gt = line.find('>');
  if (gt == std::string_view::npos) return false;
  std::string_view rest = line.substr(gt + 1);
  std::size_t open = rest.rfind('(');
  if (open == std::string_view::npos) return false;
  std::string_view afterOpen = rest.substr(open + 1);
  std::size_t close = afterOpen.rfind(')');
  if (close == std::string_view::npos) return false;
  const std::int32_t count = ReplyCount(afterOpen.substr(0, close)).value_or(0);
  out.datName.assign(line.substr(0, gt == 0 ? 0 : gt - 1));
  out.title = DecodeTitleEntities(rest.substr(0, open));
  out.resCount = count;
  return true;
}

std::string DecodeTitleEntities(std::string_view raw) {
  std::string text(raw);
  ReplaceAll(text, "&lt;", "<");
  ReplaceAll(text, "&gt;", ">");
  ReplaceAll(text, "&quot;", "\"");
  ReplaceAll(text, "&amp;", "&");
  return text;
}

void JoinBrokenLines(std::vector<std::string>& lines) {
  for (std::size_t i = lines.size(); i-- > 1;) {
    if (LeadingIntegerIsNonZero(lines[i])) continue;
    std::string& previous = lines[i - 1];
    while (!previous.empty() && static_cast<unsigned char>(previous.back()) <= 0x20) {
      previous.pop_back();
    }
    previous += lines[i];
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

bool IsThreadDatName(std::string_view name) {
  constexpr std::string_view kExt = ".dat";
  if (name.size() <= kExt.size() || name.substr(name.size() - kExt.size()) != kExt) return false;
  for (char c : name.substr(0, name.size() - kExt.size())) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::int32_t CountLines(std::string_view text) {
  return static_cast<std::int32_t>(SplitLines(text).size());
}

}  // namespace velkor
