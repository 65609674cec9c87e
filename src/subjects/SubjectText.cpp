#include "subjects/SubjectText.h"

#include <limits>

#include "base/Integer.h"
#include "base/Sjis.h"

namespace velkor {
namespace {

// Strict decimal with an optional sign; nullopt-like false for anything else or out of range.
bool ParseDecimal32(std::string_view text, std::int32_t& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  long long v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
    if (v > std::numeric_limits<std::int32_t>::max()) return false;
  }
  value = static_cast<std::int32_t>(negative ? -v : v);
  return true;
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
  std::int32_t count = 0;
  if (!ParseDecimal32(afterOpen.substr(0, close), count)) count = 0;
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
