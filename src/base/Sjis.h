#pragma once

// Shift_JIS (CP932) text helpers. Core strings hold CP932 bytes; conversion to UTF-8 happens only
// at the edges (widgets, terminal). Lead bytes are 0x81-0x9F and 0xE0-0xFC.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

// True for a byte that starts a two-byte CP932 character.
constexpr bool IsLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
constexpr bool IsLeadByte(char c) {
  return IsLeadByte(static_cast<unsigned char>(c));
}

// CP932 -> UTF-8. Returns nullopt when the input holds a byte sequence CP932 does not define.
std::optional<std::string> SjisToUtf8(std::string_view sjis);

// UTF-8 -> CP932. Returns nullopt when the input is not UTF-8 or holds a character CP932 lacks.
std::optional<std::string> Utf8ToSjis(std::string_view utf8);

// CP932 -> UTF-8 for display: undefined sequences become U+FFFD instead of failing.
std::string SjisToUtf8Lossy(std::string_view sjis);

// UTF-8 -> CP932 for input from the user or the terminal: characters CP932 lacks become "?".
std::string Utf8ToSjisLossy(std::string_view utf8);

// Converts a UTF-8 literal of the program's own texts to CP932. The literal must be convertible;
// this is the one place where the program's Japanese texts become Shift_JIS (keep the result in a
// static).
std::string Sjis(std::string_view utf8Literal);

// Finds needle in hay at or after `from`, only at character boundaries: a match never starts on the
// second byte of a two-byte character. `from` must itself be a character boundary. Returns npos
// when absent. An empty needle matches at `from`.
std::size_t SjisFind(std::string_view hay, std::string_view needle, std::size_t from = 0);

// Single-byte variant of SjisFind (the byte is an ASCII character).
std::size_t SjisFindChar(std::string_view hay, char c, std::size_t from = 0);

// Last occurrence of the ASCII character c at a character boundary, or npos.
std::size_t SjisFindLastChar(std::string_view hay, char c);

// Splits text into lines at CR LF, LF or a lone CR. A final line without terminator counts; a
// terminator at the very end does not start another (empty) line. The views point into `text`.
std::vector<std::string_view> SplitLines(std::string_view text);

// The fields of a line split at every TAB (n TABs give n + 1 fields). The views point into `line`.
std::vector<std::string_view> SplitTabs(std::string_view line);

// ASCII-only case folding and comparison of CP932 text: two-byte characters (whose second byte may
// look like an ASCII letter) compare exactly.
char AsciiLower(char c);
std::string AsciiLowerCopy(std::string_view s);
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

// The value of a hexadecimal digit (either letter case), or -1 for any other character.
int HexDigitValue(char c);

// Removes leading and trailing bytes <= 0x20 (the classic Trim of control characters and blanks).
std::string_view TrimView(std::string_view s);

}  // namespace velkor
