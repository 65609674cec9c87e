#include "search/RegexEngine.h"

#include <oniguruma.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "base/Sjis.h"

namespace velkor {
namespace {

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

// True when the pattern holds a control or meta escape ("\cX", "\C-X", "\M-X"), whose argument
// may be any character, "[", "(" or "|" included: the plain reading of the pattern's structure
// does not hold after one.
bool HasControlEscape(std::string_view pattern) {
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (IsLeadByte(c)) {
      ++i;
    } else if (c == '\\' && i + 1 < pattern.size()) {
      const char next = pattern[++i];
      if (next == 'c' || next == 'C' || next == 'M') return true;
      if (IsLeadByte(next)) ++i;
    }
  }
  return false;
}

// Index just after the escape whose backslash stands at `backslash` (the escaped character may
// be a two-byte one).
std::size_t EscapeEnd(std::string_view pattern, std::size_t backslash) {
  std::size_t i = backslash + 1;
  if (i < pattern.size() && IsLeadByte(pattern[i])) ++i;
  return i + 1;
}

// Index just after the character class that opens at `open` ("[" ... "]", nested classes and
// escapes included), or npos when it does not close.
std::size_t ClassEnd(std::string_view pattern, std::size_t open) {
  std::size_t i = open + 1;
  if (i < pattern.size() && pattern[i] == '^') ++i;
  if (i < pattern.size() && pattern[i] == ']') ++i;  // a leading "]" is a member
  while (i < pattern.size()) {
    const char c = pattern[i];
    if (c == ']') return i + 1;
    if (c == '[') {
      i = ClassEnd(pattern, i);
      if (i == std::string_view::npos) return i;
      continue;
    }
    if (c == '\\') {
      i = EscapeEnd(pattern, i);
      continue;
    }
    i += IsLeadByte(c) ? 2 : 1;
  }
  return std::string_view::npos;
}

// Index just after the group that opens at `open` ("(" ... ")"), or npos when it does not close.
std::size_t GroupEnd(std::string_view pattern, std::size_t open) {
  int depth = 0;
  std::size_t i = open;
  while (i < pattern.size()) {
    const char c = pattern[i];
    if (c == '[') {
      i = ClassEnd(pattern, i);
      if (i == std::string_view::npos) return i;
      continue;
    }
    if (c == '\\') {
      i = EscapeEnd(pattern, i);
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')' && --depth == 0) return i + 1;
    i += IsLeadByte(c) ? 2 : 1;
  }
  return std::string_view::npos;
}

// Index just after an interval "{n}", "{n,}", "{,m}" or "{n,m}" opening at `open`; npos when the
// brace opens none (then it is a plain character). Any run of digits and commas counts, so that
// an interval is never taken for plain text.
std::size_t IntervalEnd(std::string_view pattern, std::size_t open) {
  std::size_t i = open + 1;
  while (i < pattern.size() && ((pattern[i] >= '0' && pattern[i] <= '9') || pattern[i] == ',')) {
    ++i;
  }
  return i < pattern.size() && pattern[i] == '}' ? i + 1 : std::string_view::npos;
}

// True when every "(?" of the pattern opens a group that leaves the options alone: "(?:", a look
// ahead or behind ("(?=", "(?!", "(?<=", "(?<!") or an atomic group ("(?>"). Others may switch
// options such as case folding for the rest of the pattern, or are comments.
bool HasOnlyPlainGroups(std::string_view pattern) {
  for (std::size_t at = pattern.find("(?"); at != std::string_view::npos;
       at = pattern.find("(?", at + 2)) {
    const std::string_view rest = pattern.substr(at + 2);
    if (!(rest.starts_with(':') || rest.starts_with('=') || rest.starts_with('!') ||
          rest.starts_with('>') || rest.starts_with("<=") || rest.starts_with("<!"))) {
      return false;
    }
  }
  return true;
}

// The longest run of plain text that every match of the pattern holds, byte for byte (before any
// case folding), or empty when none is known. Only the top level is read: groups, classes, ".",
// anchors, the escapes of one class of characters ("\s", "\d", "\w", "\h" and their negations)
// or of a place ("\b", "\B", "\A", "\z", "\Z", "\G") and quantified characters end a run; any
// other escape of a letter, digit or two-byte character (whose arguments are not parsed) ends the
// reading. Patterns with a top-level alternative, a "(?" construct other than the plain groups of
// HasOnlyPlainGroups, or a control or meta escape give nothing.
std::string RequiredText(std::string_view pattern) {
  if (HasTopLevelAlternative(pattern) || !HasOnlyPlainGroups(pattern) ||
      HasControlEscape(pattern)) {
    return {};
  }
  static constexpr std::string_view kRunEndingEscapes = "sSdDwWhHbBAzZG";
  std::string best;
  std::string run;
  std::size_t lastStart = 0;  // where the last character of `run` starts
  auto endRun = [&] {
    if (run.size() > best.size()) best = run;
    run.clear();
    lastStart = 0;
  };
  auto append = [&](std::string_view character) {
    lastStart = run.size();
    run += character;
  };
  std::size_t i = 0;
  while (i < pattern.size()) {
    const unsigned char c = static_cast<unsigned char>(pattern[i]);
    if (IsLeadByte(c)) {
      if (i + 1 >= pattern.size()) break;
      append(pattern.substr(i, 2));
      i += 2;
      continue;
    }
    switch (c) {
      case '*':
      case '?':
        run.resize(lastStart);
        endRun();
        ++i;
        break;
      case '+':
        // The character is there at least once, unless another quantifier follows ("a+*",
        // "a+?", "a++", "a+{0,1}"), which may also make it optional: then it is left out.
        if (i + 1 < pattern.size() &&
            std::string_view("*?+{").find(pattern[i + 1]) != std::string_view::npos) {
          run.resize(lastStart);
        }
        endRun();
        ++i;
        break;
      case '{': {
        run.resize(lastStart);
        endRun();
        const std::size_t after = IntervalEnd(pattern, i);
        i = after == std::string_view::npos ? i + 1 : after;
        break;
      }
      case '(':
      case '[':
        endRun();
        i = c == '(' ? GroupEnd(pattern, i) : ClassEnd(pattern, i);
        if (i == std::string_view::npos) return {};
        break;
      case '\\': {
        const unsigned char next = i + 1 < pattern.size() ? pattern[i + 1] : 0;
        if (next > 0x20 && next < 0x7F && !std::isalnum(next)) {
          append(pattern.substr(i + 1, 1));
          i += 2;
          break;
        }
        endRun();
        if (next != 0 &&
            kRunEndingEscapes.find(static_cast<char>(next)) != std::string_view::npos) {
          i += 2;
          break;
        }
        return best;
      }
      case ')':
        return {};
      default:
        if (kSyntax.find(static_cast<char>(c)) != std::string_view::npos || c == 0x80 ||
            c >= 0xFD) {
          endRun();
        } else {
          append(pattern.substr(i, 1));
        }
        ++i;
    }
  }
  endRun();
  return best;
}

// True when `pos` starts a character of `text`. Each lead byte takes the byte after it, so the byte
// after any non-lead byte starts a character; from there the run of lead-range bytes decides.
bool IsCharBoundary(std::string_view text, std::size_t pos) {
  std::size_t run = 0;
  while (run < pos && IsLeadByte(text[pos - run - 1])) ++run;
  return run % 2 == 0;
}

// How common a byte is in board logs (mixed Japanese and ASCII text), roughly: the scan for a
// needle looks for its least common byte first.
int ByteFrequency(unsigned char c) {
  static constexpr std::string_view kLettersByFrequency = "etaoinsrhldcumfpgwybvkxjqz";
  if (c >= 'a' && c <= 'z') {
    return 60 - 2 * static_cast<int>(kLettersByFrequency.find(static_cast<char>(c)));
  }
  if (c >= 'A' && c <= 'Z') return 15;
  if (c >= '0' && c <= '9') return 40;
  if (c == ' ' || c == '<' || c == '>' || c == '\n' || c == '/' || c == '.' || c == ':') return 90;
  if (c >= 0x81 && c <= 0x83) return 100;  // kana and symbols
  if (c >= 0x88 && c <= 0x9F) return 45;   // common kanji
  if (c >= 0x40 && c <= 0xFC) return 30;   // other second bytes and kanji
  return 5;
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

bool InitialiseOniguruma() {
  static const int result = [] {
    OnigEncoding encodings[] = {ONIG_ENCODING_SJIS};
    return onig_initialize(encodings, 1);
  }();
  return result == ONIG_NORMAL;
}

RegexEngine::~RegexEngine() {
  Finish();
}

const std::string& RegexEngine::TooCostlyText() {
  static const std::string text = Sjis("警告:検索ワードが重すぎるため途中で止めました.");
  return text;
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
  // The library's notice names the library and its version ("Oniguruma 6.9.8 : Copyright ...");
  // they are said once.
  const std::string name = std::string("Oniguruma ") + onig_version();
  const std::string notice = onig_copyright();
  return notice.starts_with(name) ? notice : name + " " + notice;
}

Result<PrepareCode> RegexEngine::Prepare(std::string_view searchText, bool ignoreCase) {
  if (!loaded_) return {PrepareCode::kNotLoaded};
  Finish();
  if (!InitialiseOniguruma()) return {PrepareCode::kCannotInitialise, CannotInitialiseText()};
  const std::string word = foldWidth_ ? FoldFullWidthAscii(searchText) : std::string(searchText);
  OnigRegex regex = nullptr;
  OnigErrorInfo info;
  const auto* begin = reinterpret_cast<const OnigUChar*>(word.data());
  const int rc = onig_new(&regex, begin, begin + word.size(),
                          ignoreCase ? ONIG_OPTION_IGNORECASE : ONIG_OPTION_NONE,
                          ONIG_ENCODING_SJIS, ONIG_SYNTAX_RUBY, &info);
  if (rc != ONIG_NORMAL) {
    if (rc == ONIGERR_MEMORY) return {PrepareCode::kCannotInitialise, CannotInitialiseText()};
    return {PrepareCode::kBadWord, BadWordText()};
  }
  regex_ = regex;
  OnigMatchParam* param = onig_new_match_param();
  if (param == nullptr) {
    Finish();
    return {PrepareCode::kCannotInitialise, CannotInitialiseText()};
  }
  onig_set_retry_limit_in_match_of_match_param(param, kRetryLimit);
  onig_set_retry_limit_in_search_of_match_param(param, kRetryLimit);
  matchParam_ = param;
  spent_ = {};
  exhausted_ = false;
  literal_ = IsPlainWord(word);
  SetNeedle(literal_ ? word : RequiredText(word));
  if (ignoreCase) {
    for (std::size_t i = 0; i < needle_.size(); ++i) {
      if (IsLeadByte(needle_[i]) && i + 1 < needle_.size()) {
        ++i;
      } else if (IsAsciiLetter(static_cast<unsigned char>(needle_[i]))) {
        needleOther_[i] = static_cast<char>(needle_[i] ^ 0x20);
      }
    }
  }
  int rarest = 0;
  for (std::size_t i = 0; i < needle_.size(); ++i) {
    const int frequency =
        ByteFrequency(static_cast<unsigned char>(needle_[i])) +
        (needleOther_[i] != needle_[i] ? ByteFrequency(static_cast<unsigned char>(needleOther_[i]))
                                       : 0);
    if (i == 0 || frequency < rarest) {
      rarest = frequency;
      rareAt_ = i;
    }
  }
  pattern_ = std::string(searchText);
  return {};
}

void RegexEngine::SetNeedle(std::string_view text) {
  needle_ = std::string(text);
  needleOther_ = needle_;
  rareAt_ = 0;
}

void RegexEngine::Finish() {
  if (regex_ != nullptr) onig_free(static_cast<OnigRegex>(regex_));
  if (matchParam_ != nullptr) onig_free_match_param(static_cast<OnigMatchParam*>(matchParam_));
  regex_ = nullptr;
  matchParam_ = nullptr;
  literal_ = false;
  SetNeedle({});
}

MatchResult RegexEngine::Search(std::string_view text) const {
  if (text.size() > subjectLimit_) {
    std::size_t cut = subjectLimit_;
    while (cut > 0 && !IsCharBoundary(text, cut)) --cut;
    text = text.substr(0, cut);
  }
  const auto* begin = reinterpret_cast<const OnigUChar*>(text.data());
  const auto* end = begin + text.size();
  const int rc =
      onig_search_with_param(static_cast<OnigRegex>(regex_), begin, end, begin, end, nullptr,
                             ONIG_OPTION_NONE, static_cast<OnigMatchParam*>(matchParam_));
  if (rc >= 0) return MatchResult::kMatch;
  return rc == ONIG_MISMATCH ? MatchResult::kNoMatch : MatchResult::kTooCostly;
}

bool RegexEngine::MatchesRaw(std::string_view text) const {
  if (literal_) return FindNeedle(text, 0, true) != std::string_view::npos;
  if (exhausted_) return false;
  const Clock::TimePoint start = budget_ ? CurrentClock().Now() : Clock::TimePoint();
  const MatchResult result = Search(text);
  if (budget_) {
    spent_ += CurrentClock().Now() - start;
    if (spent_ > *budget_) exhausted_ = true;
  }
  if (result == MatchResult::kTooCostly) exhausted_ = true;
  return result == MatchResult::kMatch;
}

MatchResult RegexEngine::TryMatch(std::string_view text) const {
  if (regex_ == nullptr) return MatchResult::kNoMatch;
  std::string folded;
  if (foldWidth_) {
    folded = FoldFullWidthAscii(text);
    text = folded;
  }
  if (literal_) {
    return FindNeedle(text, 0, true) != std::string_view::npos ? MatchResult::kMatch
                                                               : MatchResult::kNoMatch;
  }
  return Search(text);
}

bool RegexEngine::MayMatch(std::string_view text) const {
  return regex_ != nullptr && (foldWidth_ || FindNeedle(text, 0, false) != std::string_view::npos);
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
  if (literal_) {
    const std::size_t pos = FindNeedle(text, 0, true);
    return pos == std::string_view::npos ? 0 : LineNumberAt(text, pos);
  }
  if (needle_.empty()) {
    int number = 0;
    for (std::string_view line : SplitLines(text)) {
      ++number;
      if (MatchesRaw(line)) return number;
      if (exhausted_) return 0;
    }
    return 0;
  }
  // Every match holds the needle's bytes, so no line before the one holding the next candidate
  // can match: only the lines holding candidates are tried one by one. Needle hits are taken on
  // any byte: whether a place starts a character in broken text is Oniguruma's to decide when it
  // matches the line. (Each line is searched on its own, so the bounds on one search hold.)
  std::size_t at = FindNeedle(text, 0, false);
  while (at != std::string_view::npos && !exhausted_) {
    const LineSpan line = LineAround(text, at);
    if (!line.exists) return 0;
    if (MatchesRaw(text.substr(line.begin, line.end - line.begin))) {
      return LineNumberAt(text, line.begin);
    }
    if (line.next >= text.size()) return 0;
    at = FindNeedle(text, line.next, false);
  }
  return 0;
}

std::size_t RegexEngine::FindNeedle(std::string_view text, std::size_t from, bool boundary) const {
  const std::size_t n = needle_.size();
  if (n == 0) return from <= text.size() ? from : std::string_view::npos;
  if (text.size() < n || from > text.size() - n) return std::string_view::npos;
  const char* const base = text.data();
  // Candidates are the places of the rare byte (in either letter case); the needle then starts
  // rareAt_ bytes before. Scanned as two memchr streams, the nearer one taken first.
  const std::size_t scanEnd = text.size() - n + rareAt_ + 1;  // one past the last rare-byte place
  const char rare = needle_[rareAt_];
  const char rareOther = needleOther_[rareAt_];
  auto next = [&](char c, std::size_t at) -> std::size_t {
    if (at >= scanEnd) return std::string_view::npos;
    const void* hit = std::memchr(base + at, c, scanEnd - at);
    return hit == nullptr ? std::string_view::npos : static_cast<const char*>(hit) - base;
  };
  std::size_t nextA = next(rare, from + rareAt_);
  std::size_t nextB = rareOther != rare ? next(rareOther, from + rareAt_) : std::string_view::npos;
  while (nextA != std::string_view::npos || nextB != std::string_view::npos) {
    const bool takeA = nextA < nextB;
    const std::size_t pos = (takeA ? nextA : nextB) - rareAt_;
    bool equal = true;
    for (std::size_t i = 0; i < n && equal; ++i) {
      equal = base[pos + i] == needle_[i] || base[pos + i] == needleOther_[i];
    }
    if (equal && (!boundary || IsCharBoundary(text, pos))) return pos;
    if (takeA) {
      nextA = next(rare, pos + rareAt_ + 1);
    } else {
      nextB = next(rareOther, pos + rareAt_ + 1);
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
