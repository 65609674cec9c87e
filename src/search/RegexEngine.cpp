#include "search/RegexEngine.h"

#include <oniguruma.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "app/UiHooks.h"
#include "base/Sjis.h"

namespace velkor {
namespace {

// Oniguruma keeps per-encoding tables that are set up once per process; a failure is remembered so
// that every search reports it the same way.
bool InitialiseOniguruma() {
  static const int result = [] {
    OnigEncoding encodings[] = {ONIG_ENCODING_SJIS};
    return onig_initialize(encodings, 1);
  }();
  return result == ONIG_NORMAL;
}

// The caption of the search dialog, which owns the engine's message boxes.
const std::string& DialogCaption() {
  static const std::string caption = Sjis("検索");
  return caption;
}

// Characters that carry syntax in Oniguruma's Ruby syntax, and line ends (which a line never
// holds).
constexpr std::string_view kSyntax = ".^$|()[]{}*+?\\\r\n";

bool IsAsciiLetter(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A word that means itself in Oniguruma's Ruby syntax: well-formed CP932 without any of the
// characters that carry syntax, and without line ends (which a line can never hold).
bool IsPlainWord(std::string_view word) {
  if (word.empty()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(word[i]);
    if (IsLeadByte(c)) {
      if (i + 1 >= word.size()) return false;
      const unsigned char trail = static_cast<unsigned char>(word[i + 1]);
      if (trail < 0x40 || trail == 0x7F || trail > 0xFC) return false;
      ++i;
    } else if (kSyntax.find(static_cast<char>(c)) != std::string_view::npos || c == 0x80 ||
               c >= 0xFD) {
      return false;
    }
  }
  return true;
}

// True for a pattern whose matches depend only on the bytes they cover: no anchors ("^", "$", "\A",
// "\z", "\Z", "\G"), no boundary tests ("\b", "\B", "\y", "\Y") and no "(?" constructs
// (look-arounds, options, atomic and absent groups). For such a pattern a match inside one line is
// also a match in the whole text, so a search over the whole text tells where the first matching
// line can begin at the earliest. (A boundary test after a possessive repeat that ran to the end of
// the line sees the line end in the whole text, not the end of the subject, and may then fail
// there.) Errs on the careful side: a "^" in a character class also counts.
bool IsContextFree(std::string_view pattern) {
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (IsLeadByte(c)) {
      ++i;
      continue;
    }
    const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    if (c == '^' || c == '$') return false;
    if (c == '(' && next == '?') return false;
    if (c == '\\') {
      if (next == 'A' || next == 'z' || next == 'Z' || next == 'G' || next == 'b' || next == 'B' ||
          next == 'y' || next == 'Y') {
        return false;
      }
      ++i;  // the escaped character
      if (i < pattern.size() && IsLeadByte(pattern[i])) ++i;
    }
  }
  return true;
}

// True when the pattern has an alternative ("|") outside every group and character class.
bool HasTopLevelAlternative(std::string_view pattern) {
  int depth = 0;
  int classDepth = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (IsLeadByte(c)) {
      ++i;
    } else if (c == '\\') {
      ++i;
      if (i < pattern.size() && IsLeadByte(pattern[i])) ++i;
    } else if (classDepth > 0) {
      if (c == '[') {
        ++classDepth;
        if (i + 1 < pattern.size() && pattern[i + 1] == '^') ++i;
        if (i + 1 < pattern.size() && pattern[i + 1] == ']') ++i;  // a leading "]" is a member
      } else if (c == ']') {
        --classDepth;
      }
    } else if (c == '[') {
      classDepth = 1;
      if (i + 1 < pattern.size() && pattern[i + 1] == '^') ++i;
      if (i + 1 < pattern.size() && pattern[i + 1] == ']') ++i;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    } else if (c == '|' && depth <= 0) {
      return true;
    }
  }
  return false;
}

// The plain text every match of the pattern begins with: its leading characters up to the first
// piece of syntax, less the last one when a quantifier follows it. Empty when there is none or when
// the pattern has a top-level alternative.
std::string LeadingText(std::string_view pattern) {
  if (HasTopLevelAlternative(pattern)) return {};
  std::string lead;
  std::size_t lastStart = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(pattern[i]);
    if (IsLeadByte(c)) {
      if (i + 1 >= pattern.size()) break;
      lastStart = lead.size();
      lead += pattern.substr(i, 2);
      ++i;
      continue;
    }
    if (kSyntax.find(static_cast<char>(c)) != std::string_view::npos || c == 0x80 || c >= 0xFD) {
      if (c == '*' || c == '+' || c == '?' || c == '{') lead.resize(lastStart);
      break;
    }
    lastStart = lead.size();
    lead += static_cast<char>(c);
  }
  return lead;
}

// True when `pos` starts a character of `text`. Each lead byte takes the byte after it, so the byte
// after any non-lead byte starts a character; from there the run of lead-range bytes decides.
bool IsCharBoundary(std::string_view text, std::size_t pos) {
  std::size_t run = 0;
  while (run < pos && IsLeadByte(text[pos - run - 1])) ++run;
  return run % 2 == 0;
}

// ASCII letters that stand on their own lower-cased; second bytes of two-byte characters stay.
std::string LowerSingleBytes(std::string_view word) {
  std::string out;
  out.reserve(word.size());
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (IsLeadByte(word[i]) && i + 1 < word.size()) {
      out += word[i];
      out += word[++i];
    } else {
      out += AsciiLower(word[i]);
    }
  }
  return out;
}

struct LineSpan {
  bool exists = true;     // false for the place after a line end at the very end of the text
  std::size_t begin = 0;  // first byte of the line
  std::size_t end = 0;    // its line end (or the end of the text)
  std::size_t next = 0;   // first byte after that line end
};

bool IsLineEnd(char c) {
  return c == '\n' || c == '\r';
}

// The line (as SplitLines cuts them) that holds byte `at`; a line end belongs to the line it ends.
LineSpan LineAround(std::string_view text, std::size_t at) {
  if (at > 0 && at < text.size() && text[at] == '\n' && text[at - 1] == '\r') --at;
  LineSpan span;
  span.begin = at;
  while (span.begin > 0 && !IsLineEnd(text[span.begin - 1])) --span.begin;
  if (at == text.size() && at > 0 && span.begin == at) span.exists = false;
  if (text.empty()) span.exists = false;
  span.end = at;
  while (span.end < text.size() && !IsLineEnd(text[span.end])) ++span.end;
  span.next = span.end;
  if (span.next < text.size()) {
    span.next +=
        text[span.next] == '\r' && span.next + 1 < text.size() && text[span.next + 1] == '\n' ? 2
                                                                                              : 1;
  }
  return span;
}

// 1-based number of the line (as SplitLines cuts them) holding byte `pos`.
int LineNumberAt(std::string_view text, std::size_t pos) {
  int line = 1;
  for (std::size_t i = 0; i < pos; ++i) {
    if (text[i] == '\n') {
      ++line;
    } else if (text[i] == '\r' && text[i + 1] != '\n') {
      ++line;
    }
  }
  return line;
}

}  // namespace

RegexEngine::~RegexEngine() {
  Finish();
}

const std::string& RegexEngine::NotFoundText() {
  static const std::string text = Sjis("（・３・）アルェー　hmJre.dllが見つからないＹＯ");
  return text;
}

const std::string& RegexEngine::CannotInitialiseText() {
  static const std::string text = Sjis("（・３・）アルェー　DLLを初期化できないＹＯ");
  return text;
}

const std::string& RegexEngine::BadWordText() {
  static const std::string text = Sjis("（・３・）アルェー　検索ワードがおかしいＹＯ");
  return text;
}

void RegexEngine::Load() {
  pattern_.clear();
  loaded_ = true;
}

std::string RegexEngine::VersionText() const {
  if (!loaded_) return NotFoundText();
  return std::string("Oniguruma ") + onig_version() + " " + onig_copyright();
}

bool RegexEngine::Prepare(std::string_view searchText, bool ignoreCase) {
  if (!loaded_) return false;
  Finish();
  if (!InitialiseOniguruma()) {
    Ui().ShowMessage(MessageIcon::kError, DialogCaption(), CannotInitialiseText());
    return false;
  }
  const std::string word = foldWidth_ ? FoldFullWidthAscii(searchText) : std::string(searchText);
  OnigRegex regex = nullptr;
  OnigErrorInfo info;
  const auto* begin = reinterpret_cast<const OnigUChar*>(word.data());
  const int rc = onig_new(&regex, begin, begin + word.size(),
                          ignoreCase ? ONIG_OPTION_IGNORECASE : ONIG_OPTION_NONE,
                          ONIG_ENCODING_SJIS, ONIG_SYNTAX_RUBY, &info);
  if (rc != ONIG_NORMAL) {
    Ui().ShowMessage(MessageIcon::kError, DialogCaption(),
                     rc == ONIGERR_MEMORY ? CannotInitialiseText() : BadWordText());
    return false;
  }
  regex_ = regex;
  ignoreCase_ = ignoreCase;
  literal_ = IsPlainWord(word);
  contextFree_ = IsContextFree(word);
  const std::string lead = literal_ ? word : LeadingText(word);
  leadWord_ = ignoreCase ? LowerSingleBytes(lead) : lead;
  pattern_ = std::string(searchText);
  return true;
}

void RegexEngine::Finish() {
  if (regex_ != nullptr) onig_free(static_cast<OnigRegex>(regex_));
  regex_ = nullptr;
  literal_ = false;
  contextFree_ = false;
  leadWord_.clear();
}

bool RegexEngine::MatchesRaw(std::string_view text) const {
  if (literal_) return FindLiteral(text, 0) != std::string_view::npos;
  const auto* begin = reinterpret_cast<const OnigUChar*>(text.data());
  const auto* end = begin + text.size();
  return onig_search(static_cast<OnigRegex>(regex_), begin, end, begin, end, nullptr,
                     ONIG_OPTION_NONE) >= 0;
}

bool RegexEngine::Matches(std::string_view text) const {
  if (regex_ == nullptr) return false;
  if (foldWidth_) return MatchesRaw(FoldFullWidthAscii(text));
  return MatchesRaw(text);
}

int RegexEngine::FirstMatchingLine(std::string_view text) const {
  if (regex_ == nullptr) return 0;
  std::string folded;
  if (foldWidth_) {
    folded = FoldFullWidthAscii(text);
    text = folded;
  }
  if (literal_) return FirstLiteralLine(text);
  if (leadWord_.empty() && !contextFree_) {
    int number = 0;
    for (std::string_view line : SplitLines(text)) {
      ++number;
      if (MatchesRaw(line)) return number;
    }
    return 0;
  }
  // Every match begins with the leading text; and a context-free pattern that matches inside a
  // line also matches there in the whole text. Either way no line before the one holding the next
  // candidate can match, so only the lines holding candidates are tried one by one.
  const bool byLead = !leadWord_.empty();
  std::size_t at = byLead ? FindLiteral(text, 0) : SearchFrom(text, 0);
  while (at != std::string_view::npos) {
    const LineSpan line = LineAround(text, at);
    if (!line.exists) return 0;
    if (MatchesRaw(text.substr(line.begin, line.end - line.begin))) {
      return LineNumberAt(text, line.begin);
    }
    if (line.next >= text.size()) return 0;
    at = byLead ? FindLiteral(text, line.next) : SearchFrom(text, line.next);
  }
  return 0;
}

std::size_t RegexEngine::SearchFrom(std::string_view text, std::size_t from) const {
  const auto* begin = reinterpret_cast<const OnigUChar*>(text.data());
  const auto* end = begin + text.size();
  const int at = onig_search(static_cast<OnigRegex>(regex_), begin, end, begin + from, end, nullptr,
                             ONIG_OPTION_NONE);
  return at < 0 ? std::string_view::npos : static_cast<std::size_t>(at);
}

int RegexEngine::FirstLiteralLine(std::string_view text) const {
  const std::size_t pos = FindLiteral(text, 0);
  return pos == std::string_view::npos ? 0 : LineNumberAt(text, pos);
}

std::size_t RegexEngine::FindLiteral(std::string_view text, std::size_t from) const {
  const std::string_view word = leadWord_;
  const std::size_t n = word.size();
  if (text.size() < n) return std::string_view::npos;
  const char* const base = text.data();
  const std::size_t last = text.size() - n;  // last possible start

  if (!ignoreCase_) {
    while (from <= last) {
      const void* hit = memmem(base + from, text.size() - from, word.data(), n);
      if (hit == nullptr) return std::string_view::npos;
      const std::size_t pos = static_cast<const char*>(hit) - base;
      if (IsCharBoundary(text, pos)) return pos;
      from = pos + 1;
    }
    return std::string_view::npos;
  }

  // Ignoring case: the candidates are the places of the first byte in either case; each is checked
  // byte by byte, folding only the bytes that are characters of their own.
  const char first = word[0];
  const bool firstIsLetter = IsAsciiLetter(static_cast<unsigned char>(first));
  const char firstOther = firstIsLetter ? static_cast<char>(first - 'a' + 'A') : first;
  auto next = [&](char c, std::size_t at) -> std::size_t {
    if (at > last) return std::string_view::npos;
    const void* hit = std::memchr(base + at, c, last + 1 - at);
    return hit == nullptr ? std::string_view::npos : static_cast<const char*>(hit) - base;
  };
  std::size_t nextLower = next(first, from);
  std::size_t nextUpper = firstIsLetter ? next(firstOther, from) : std::string_view::npos;
  while (nextLower != std::string_view::npos || nextUpper != std::string_view::npos) {
    const bool takeLower = nextLower < nextUpper;
    const std::size_t pos = takeLower ? nextLower : nextUpper;
    bool equal = true;
    for (std::size_t i = 0; i < n && equal; ++i) {
      if (IsLeadByte(word[i])) {
        equal = base[pos + i] == word[i] && base[pos + i + 1] == word[i + 1];
        ++i;
      } else {
        equal = AsciiLower(base[pos + i]) == word[i];
      }
    }
    if (equal && IsCharBoundary(text, pos)) return pos;
    if (takeLower) {
      nextLower = next(first, pos + 1);
    } else {
      nextUpper = next(firstOther, pos + 1);
    }
  }
  return std::string_view::npos;
}

std::string FoldFullWidthAscii(std::string_view sjis) {
  std::string out;
  out.reserve(sjis.size());
  for (std::size_t i = 0; i < sjis.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(sjis[i]);
    if (!IsLeadByte(c) || i + 1 >= sjis.size()) {
      out += sjis[i];
      continue;
    }
    const unsigned char trail = static_cast<unsigned char>(sjis[i + 1]);
    if (c == 0x82 && trail >= 0x4F && trail <= 0x58) {
      out += static_cast<char>('0' + (trail - 0x4F));
    } else if (c == 0x82 && trail >= 0x60 && trail <= 0x79) {
      out += static_cast<char>('A' + (trail - 0x60));
    } else if (c == 0x82 && trail >= 0x81 && trail <= 0x9A) {
      out += static_cast<char>('a' + (trail - 0x81));
    } else {
      out += sjis[i];
      out += sjis[i + 1];
    }
    ++i;
  }
  return out;
}

}  // namespace velkor
