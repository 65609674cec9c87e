#include "threads/NextThread.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string_view>
#include <utility>

#include "base/Sjis.h"

namespace velkor {
namespace {

// What a character of a folded title is to the scoring.
enum class Kind : std::uint8_t {
  kWord,        // letters, kana, kanji, long vowel marks: compared
  kDigit,       // ASCII digit: compared, and read as numbers
  kSpace,       // blanks and control characters
  kOpen,        // opening bracket
  kClose,       // closing bracket
  kDecoration,  // ★☆◆■♪..., emoji written as references
  kPunct,       // any other punctuation or symbol
};

struct Char {
  std::uint32_t code = 0;  // ASCII (letters lower-cased), a CP932 two-byte code, or a reference
  Kind kind = Kind::kWord;
};

// A character CP932 lacks, written as a numeric character reference, folds to this + its code
// point.
constexpr std::uint32_t kReferenceBase = 0x1000000;

// Longest digit run read as a number; longer runs are IDs or times, never a series number.
constexpr std::size_t kMaxNumberDigits = 9;

// Least similarity of a candidate whose series number is one greater, and of any other candidate.
constexpr double kSuccessorFloor = 0.35;
constexpr double kSimilarFloor = 0.5;

// The CP932 characters of a UTF-8 literal, one code each (a byte, or lead << 8 | trail).
std::vector<std::uint32_t> CodesOf(std::string_view utf8) {
  const std::string sjis = Sjis(utf8);
  std::vector<std::uint32_t> codes;
  for (std::size_t i = 0; i < sjis.size(); ++i) {
    const auto c = static_cast<unsigned char>(sjis[i]);
    if (IsLeadByte(c) && i + 1 < sjis.size()) {
      codes.push_back(c << 8 | static_cast<unsigned char>(sjis[++i]));
    } else {
      codes.push_back(c);
    }
  }
  return codes;
}

Char AsciiChar(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return {static_cast<std::uint32_t>(c - 'A' + 'a'), Kind::kWord};
  if (c >= 'a' && c <= 'z') return {c, Kind::kWord};
  if (c >= '0' && c <= '9') return {c, Kind::kDigit};
  if (c <= 0x20 || c == 0x7F) return {' ', Kind::kSpace};
  if (c == '(' || c == '[' || c == '{' || c == '<') return {c, Kind::kOpen};
  if (c == ')' || c == ']' || c == '}' || c == '>') return {c, Kind::kClose};
  return {c, Kind::kPunct};
}

// Latin-1 signs (©, ®, °, ...), punctuation, arrows, shapes, dingbats, emoji and their selectors.
bool IsDecorationCodePoint(std::uint32_t cp) {
  return (cp >= 0xA0 && cp <= 0xBF) || (cp >= 0x2000 && cp <= 0x2BFF) ||
         (cp >= 0xFE00 && cp <= 0xFE0F) || (cp >= 0x1F000 && cp <= 0x1FAFF) ||
         (cp >= 0xE0000 && cp <= 0xE007F);
}

// The folding of every character that is not itself, built once from the program's literals.
struct FoldTables {
  // Two-byte characters with lead bytes 0x81 to 0x84, by lead - 0x81 and trail byte.
  std::array<std::array<Char, 256>, 4> rows;
  // Single bytes 0xA0 to 0xDF (half-width katakana and punctuation), by byte - 0xA0.
  std::array<Char, 64> halfWidth;
  // The full-width katakana of a half-width one followed by a voiced or semi-voiced mark (0: none).
  std::array<std::uint32_t, 64> voiced{};
  std::array<std::uint32_t, 64> semiVoiced{};

  FoldTables() {
    for (std::size_t row = 0; row < rows.size(); ++row) {
      for (std::size_t trail = 0; trail < 256; ++trail) {
        const auto code = static_cast<std::uint32_t>((0x81 + row) << 8 | trail);
        // Row 0x81 holds blanks, punctuation and symbols only.
        rows[row][trail] = {code, row == 0 ? Kind::kPunct : Kind::kWord};
      }
    }
    Assign(CodesOf("ヽヾゝゞ〃仝々〆〇ー"), Kind::kWord);
    Assign(CodesOf("　"), Kind::kSpace);
    Assign(CodesOf("〔〈《「『【“‘"), Kind::kOpen);
    Assign(CodesOf("〕〉》」』】”’"), Kind::kClose);
    Assign(CodesOf("☆★○●◎◇◆□■△▲▽▼※♪♯♭†‡§¶◯〓→←↑↓⇒⇔♂♀∞"), Kind::kDecoration);
    Assign(CodesOf("─│┌┐┘└├┬┤┴┼━┃┏┓┛┗┣┳┫┻╋┠┯┨┷┿┝┰┥┸╂"), Kind::kDecoration);
    const std::vector<std::uint32_t> wide = CodesOf(
        "０１２３４５６７８９ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴＵＶＷＸＹＺ"
        "ａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚ"
        "！＃＄％＆（）＊＋，－．／：；＜＝＞？＠［＼］＾＿｀｛｜｝～");
    const std::string_view narrow =
        "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
        "!#$%&()*+,-./:;<=>?@[\\]^_`{|}~";
    for (std::size_t i = 0; i < wide.size() && i < narrow.size(); ++i) {
      if (InRows(wide[i])) Slot(wide[i]) = AsciiChar(static_cast<unsigned char>(narrow[i]));
    }

    for (std::size_t i = 0; i < halfWidth.size(); ++i) {
      halfWidth[i] = {static_cast<std::uint32_t>(0xA0 + i), Kind::kPunct};
    }
    const std::vector<std::uint32_t> half =
        CodesOf("ｦｧｨｩｪｫｬｭｮｯｰｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜﾝ");
    const std::vector<std::uint32_t> full = CodesOf(
        "ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテト"
        "ナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン");
    for (std::size_t i = 0; i < half.size() && i < full.size(); ++i) {
      halfWidth[(half[i] - 0xA0) & 0x3F] = {full[i], Kind::kWord};
    }
    const std::vector<std::uint32_t> open = CodesOf("｢");
    const std::vector<std::uint32_t> close = CodesOf("｣");
    for (std::uint32_t c : open) halfWidth[(c - 0xA0) & 0x3F].kind = Kind::kOpen;
    for (std::uint32_t c : close) halfWidth[(c - 0xA0) & 0x3F].kind = Kind::kClose;
    Marks(CodesOf("ｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾊﾋﾌﾍﾎｳ"), CodesOf("ガギグゲゴザジズゼゾダヂヅデドバビブベボヴ"),
          voiced);
    Marks(CodesOf("ﾊﾋﾌﾍﾎ"), CodesOf("パピプペポ"), semiVoiced);
  }

  static bool InRows(std::uint32_t code) { return code >> 8 >= 0x81 && code >> 8 <= 0x84; }
  Char& Slot(std::uint32_t code) { return rows[(code >> 8) - 0x81][code & 0xFF]; }

  void Assign(const std::vector<std::uint32_t>& codes, Kind kind) {
    for (std::uint32_t code : codes) {
      if (InRows(code)) Slot(code) = {code, kind};
    }
  }

  static void Marks(const std::vector<std::uint32_t>& half, const std::vector<std::uint32_t>& full,
                    std::array<std::uint32_t, 64>& table) {
    for (std::size_t i = 0; i < half.size() && i < full.size(); ++i) {
      table[(half[i] - 0xA0) & 0x3F] = full[i];
    }
  }
};

const FoldTables& Tables() {
  static const FoldTables tables;
  return tables;
}

bool IsAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Reads a character reference at text[at] ("&#127775;", "&#x1F31F;", "&hearts;"): its folded
// character and length, or nullopt when none is written there.
std::optional<std::pair<Char, std::size_t>> ReadReference(std::string_view text, std::size_t at) {
  // The longest reference read is "&#x10FFFF;" or a name of ten letters: look no further.
  const std::size_t semicolon = text.substr(0, at + 13).find(';', at + 1);
  if (semicolon == std::string_view::npos) return std::nullopt;
  const std::string_view body = text.substr(at + 1, semicolon - at - 1);
  const std::size_t length = semicolon - at + 1;
  if (body.size() >= 2 && body[0] == '#') {
    const bool hex = body[1] == 'x' || body[1] == 'X';
    const std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 7) return std::nullopt;
    std::uint32_t cp = 0;
    for (char c : digits) {
      const int value = hex ? HexDigitValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
      if (value < 0) return std::nullopt;
      cp = cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(value);
    }
    if (cp > 0 && cp < 0x80) return std::pair{AsciiChar(static_cast<unsigned char>(cp)), length};
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || IsDecorationCodePoint(cp)) {
      return std::pair{Char{kReferenceBase, Kind::kDecoration}, length};
    }
    return std::pair{Char{kReferenceBase + cp, Kind::kWord}, length};
  }
  if (body.size() < 2 || !std::all_of(body.begin(), body.end(), IsAsciiAlnum)) return std::nullopt;
  // A log's first line still has the entities the thread list decodes: read them alike.
  static constexpr std::pair<std::string_view, char> kDecoded[] = {
      {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"amp", '&'}};
  for (const auto& [name, c] : kDecoded) {
    if (body == name) return std::pair{AsciiChar(static_cast<unsigned char>(c)), length};
  }
  return std::pair{Char{kReferenceBase, Kind::kDecoration}, length};
}

// Folds a CP932 title: full-width ASCII to half-width, ASCII letters to lower case, half-width
// katakana to full-width (voiced marks joined), references to one character each.
void Fold(std::string_view title, std::vector<Char>& out) {
  const FoldTables& tables = Tables();
  out.clear();
  for (std::size_t i = 0; i < title.size();) {
    const auto c = static_cast<unsigned char>(title[i]);
    if (c == '&') {
      if (const auto reference = ReadReference(title, i)) {
        out.push_back(reference->first);
        i += reference->second;
        continue;
      }
    }
    if (c < 0x80) {
      out.push_back(AsciiChar(c));
      ++i;
    } else if (IsLeadByte(c)) {
      if (i + 1 >= title.size()) break;
      const auto trail = static_cast<unsigned char>(title[i + 1]);
      if (c <= 0x84) {
        out.push_back(tables.rows[c - 0x81][trail]);
      } else {
        out.push_back({static_cast<std::uint32_t>(c << 8 | trail), Kind::kWord});
      }
      i += 2;
    } else if (c >= 0xA0 && c <= 0xDF) {
      const std::size_t slot = c - 0xA0;
      const auto next = i + 1 < title.size() ? static_cast<unsigned char>(title[i + 1]) : 0;
      const std::uint32_t joined = next == 0xDE   ? tables.voiced[slot]
                                   : next == 0xDF ? tables.semiVoiced[slot]
                                                  : 0;
      if (joined != 0) {
        out.push_back({joined, Kind::kWord});
        i += 2;
      } else {
        out.push_back(tables.halfWidth[slot]);
        ++i;
      }
    } else {
      ++i;  // a byte CP932 does not define
    }
  }
}

std::vector<std::vector<Char>> FoldedMarkers(std::initializer_list<std::string_view> utf8) {
  std::vector<std::vector<Char>> markers;
  for (std::string_view text : utf8) {
    std::vector<Char> folded;
    Fold(Sjis(text), folded);
    markers.push_back(std::move(folded));
  }
  return markers;
}

// Words written before a series number ("Part39", "その39", "第39") and after it ("39スレ目").
// The first that matches is taken: a longer form comes before a shorter one it starts with.
const std::vector<std::vector<Char>>& PrefixMarkers() {
  static const auto markers =
      FoldedMarkers({"part", "pt", "vol", "no", "パート", "その", "其の", "第", "スレ"});
  return markers;
}
const std::vector<std::vector<Char>>& SuffixMarkers() {
  static const auto markers = FoldedMarkers(
      {"スレ目", "スレ", "本目", "代目", "杯目", "匹目", "回目", "枚目", "周目", "発目", "号"});
  return markers;
}

bool SameCode(const Char& a, const Char& b) {
  return a.code == b.code;
}

bool IsAsciiLetter(const Char& c) {
  return c.kind == Kind::kWord && c.code >= 'a' && c.code <= 'z';
}

bool IsSeparator(const Char& c) {
  return c.kind == Kind::kSpace ||
         (c.code < 0x80 &&
          std::string_view(".:#-_").find(static_cast<char>(c.code)) != std::string_view::npos);
}

// A digit run of a folded title and how surely it is the thread's series number.
struct Number {
  std::int64_t value = 0;
  int strength = 0;       // 2: with a marker; 1: at the end of the title; 0: neither
  std::size_t begin = 0;  // what leaves the compared text with it: the digits, with their marker
  std::size_t end = 0;
};

// Where the title ends once trailing blanks, punctuation, decorations and bracketed groups are
// set aside ("Part39【ワッチョイ】★" ends after "39"). A group that opens the title stays.
std::size_t EffectiveEnd(const std::vector<Char>& chars) {
  std::size_t end = chars.size();
  while (end > 0) {
    const Kind kind = chars[end - 1].kind;
    if (kind == Kind::kSpace || kind == Kind::kPunct || kind == Kind::kDecoration) {
      --end;
      continue;
    }
    if (kind != Kind::kClose) break;
    int depth = 0;
    std::size_t at = end;
    while (at > 0) {
      --at;
      if (chars[at].kind == Kind::kClose) ++depth;
      if (chars[at].kind == Kind::kOpen && --depth == 0) break;
    }
    if (depth != 0 || at == 0) break;
    end = at;
  }
  return end;
}

bool MatchesAt(const std::vector<Char>& chars, std::size_t at, const std::vector<Char>& marker) {
  return at + marker.size() <= chars.size() &&
         std::equal(marker.begin(), marker.end(), chars.begin() + static_cast<std::ptrdiff_t>(at),
                    SameCode);
}

// Every digit run of a folded title with its strength.
void FindNumbers(const std::vector<Char>& chars, std::vector<Number>& out) {
  out.clear();
  const std::size_t effectiveEnd = EffectiveEnd(chars);
  auto isDigit = [&](std::size_t at) {
    return at < chars.size() && chars[at].kind == Kind::kDigit;
  };
  auto joinsDigits = [&](std::size_t at) {
    return at < chars.size() && chars[at].code < 0x80 &&
           std::string_view(".:/,").find(static_cast<char>(chars[at].code)) !=
               std::string_view::npos;
  };
  for (std::size_t begin = 0; begin < chars.size();) {
    if (!isDigit(begin)) {
      ++begin;
      continue;
    }
    std::size_t end = begin;
    while (isDigit(end)) ++end;
    const std::size_t digits = end - begin;
    // Parts of a date, a time or a decimal ("2024/10/05", "12:30", "3.5") and digits that start a
    // Latin name ("2ch", "3DS", "4K") are no series number.
    const bool inFigure = (begin >= 2 && joinsDigits(begin - 1) && isDigit(begin - 2)) ||
                          (joinsDigits(end) && isDigit(end + 1));
    const bool startsName = end < chars.size() && IsAsciiLetter(chars[end]);
    if (digits > kMaxNumberDigits || inFigure || startsName) {
      begin = end;
      continue;
    }
    Number number;
    for (std::size_t i = begin; i < end; ++i) {
      number.value = number.value * 10 + (chars[i].code - '0');
    }
    number.begin = begin;
    number.end = end;

    std::size_t before = begin;
    bool hash = false;
    while (before > 0 && begin - before < 2 && IsSeparator(chars[before - 1])) {
      hash = hash || chars[before - 1].code == '#';
      --before;
    }
    if (hash || (before > 0 && chars[before - 1].kind == Kind::kDecoration)) {
      number.strength = 2;
      number.begin = before - (hash ? 0 : 1);
    }
    for (const std::vector<Char>& marker : PrefixMarkers()) {
      if (number.strength == 2 || marker.size() > before) continue;
      const std::size_t at = before - marker.size();
      if (!MatchesAt(chars, at, marker)) continue;
      // "no" and "pt" end many words ("casino39", "concept2"); "part" and "vol" are taken glued.
      if (marker.size() <= 2 && IsAsciiLetter(marker.front()) && at > 0 &&
          IsAsciiLetter(chars[at - 1])) {
        continue;
      }
      number.strength = 2;
      number.begin = at;
    }
    std::size_t after = end;
    if (after < chars.size() && chars[after].kind == Kind::kSpace) ++after;
    for (const std::vector<Char>& marker : SuffixMarkers()) {
      if (!MatchesAt(chars, after, marker)) continue;
      number.strength = 2;
      number.end = after + marker.size();
      break;
    }
    // A number that ends a Latin name ("PS5", "FF14") belongs to the name.
    const bool glued = begin > 0 && IsAsciiLetter(chars[begin - 1]);
    if (number.strength == 0 && end == effectiveEnd && !glued) number.strength = 1;
    out.push_back(number);
    begin = end;
  }
}

// The series number: the strongest, the last of equals; nullptr when none has a strength.
const Number* SeriesNumber(const std::vector<Number>& numbers) {
  const Number* best = nullptr;
  for (const Number& number : numbers) {
    if (number.strength > 0 && (best == nullptr || number.strength >= best->strength)) {
      best = &number;
    }
  }
  return best;
}

// Character bigrams of the compared text (words and digits outside `skip`), with a start and an
// end mark so the first and last characters count as much as the others; sorted. A bigram outside
// brackets is put in twice: tags such as "【ワッチョイ】" or "【PS5】" are shared by many threads
// of a board and weigh half of what the subject's own name weighs.
void Bigrams(const std::vector<Char>& chars, const Number* skip, std::vector<std::uint64_t>& out) {
  constexpr std::uint64_t kStart = 0xFFFFFFFF;
  constexpr std::uint64_t kEnd = 0xFFFFFFFE;
  out.clear();
  std::uint64_t previous = kStart;
  int depth = 0;
  for (std::size_t i = 0; i < chars.size(); ++i) {
    const Kind kind = chars[i].kind;
    if (kind == Kind::kOpen) ++depth;
    if (kind == Kind::kClose && depth > 0) --depth;
    if (skip != nullptr && i >= skip->begin && i < skip->end) continue;
    if (kind != Kind::kWord && kind != Kind::kDigit) continue;
    const std::uint64_t bigram = previous << 32 | chars[i].code;
    out.push_back(bigram);
    if (depth == 0) out.push_back(bigram);
    previous = chars[i].code;
  }
  out.push_back(previous << 32 | kEnd);
  out.push_back(previous << 32 | kEnd);
  std::sort(out.begin(), out.end());
}

// Dice's coefficient of two sorted bigram multisets: 2 |A ∩ B| / (|A| + |B|).
double Dice(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b) {
  std::size_t common = 0;
  for (std::size_t i = 0, j = 0; i < a.size() && j < b.size();) {
    if (a[i] < b[j]) {
      ++i;
    } else if (b[j] < a[i]) {
      ++j;
    } else {
      ++common;
      ++i;
      ++j;
    }
  }
  return 2.0 * static_cast<double>(common) / static_cast<double>(a.size() + b.size());
}

// The key without leading zeros, or nullopt when it is not decimal digits.
std::optional<std::string_view> KeyDigits(std::string_view key) {
  if (key.empty() ||
      !std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  const std::size_t first = key.find_first_not_of('0');
  return first == std::string_view::npos ? std::string_view() : key.substr(first);
}

bool KeyGreater(std::string_view a, std::string_view b) {
  return a.size() != b.size() ? a.size() > b.size() : a > b;
}

struct Scored {
  int score = 0;
  double similarity = 0;
  std::size_t index = 0;
};

}  // namespace

std::vector<NextThreadCandidate> FindNextThreads(const ThreadEntry& old,
                                                 std::span<const ThreadEntry> board,
                                                 std::size_t limit) {
  const std::optional<std::string_view> oldKey = KeyDigits(old.key);
  if (!oldKey || limit == 0) return {};

  std::vector<Char> chars;
  std::vector<Number> numbers;
  std::vector<std::uint64_t> oldBigrams;
  std::vector<std::uint64_t> bigrams;
  Fold(old.title, chars);
  FindNumbers(chars, numbers);
  const Number* oldSeries = SeriesNumber(numbers);
  // The first thread of a series usually carries no number: its successor is number 2.
  const std::int64_t next = oldSeries != nullptr ? oldSeries->value + 1 : 2;
  Bigrams(chars, oldSeries, oldBigrams);

  std::vector<Scored> scored;
  for (std::size_t index = 0; index < board.size(); ++index) {
    const ThreadEntry& entry = board[index];
    const std::optional<std::string_view> key = KeyDigits(entry.key);
    if (!key || !KeyGreater(*key, *oldKey)) continue;
    Fold(entry.title, chars);
    FindNumbers(chars, numbers);
    const Number* successor = nullptr;
    for (const Number& number : numbers) {
      if (number.strength > 0 && number.value == next) successor = &number;
    }
    Bigrams(chars, successor != nullptr ? successor : SeriesNumber(numbers), bigrams);
    const double similarity = Dice(oldBigrams, bigrams);
    int score = 0;
    if (successor != nullptr) {
      if (similarity < kSuccessorFloor) continue;
      score = 60 + static_cast<int>(
                       std::lround(40 * (similarity - kSuccessorFloor) / (1 - kSuccessorFloor)));
    } else {
      if (similarity < kSimilarFloor) continue;
      score = static_cast<int>(std::lround(59 * similarity));
    }
    scored.push_back({score, similarity, index});
  }

  auto better = [&](const Scored& a, const Scored& b) {
    if (a.score != b.score) return a.score > b.score;
    if (a.similarity != b.similarity) return a.similarity > b.similarity;
    const ThreadEntry& x = board[a.index];
    const ThreadEntry& y = board[b.index];
    if (x.resCount != y.resCount) return x.resCount > y.resCount;
    return KeyGreater(*KeyDigits(y.key), *KeyDigits(x.key));
  };
  const std::size_t count = std::min(limit, scored.size());
  std::partial_sort(scored.begin(), scored.begin() + static_cast<std::ptrdiff_t>(count),
                    scored.end(), better);

  std::vector<NextThreadCandidate> candidates;
  candidates.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const ThreadEntry& entry = board[scored[i].index];
    candidates.push_back({entry.key, entry.title, entry.resCount, scored[i].score});
  }
  return candidates;
}

}  // namespace velkor
