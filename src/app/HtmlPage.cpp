#include "app/HtmlPage.h"

namespace velkor {
namespace {

bool IsAsciiAlnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsDecimalDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// True when `rest` (the text after an "&") begins with the body of a character reference and its
// ";": "#" + decimal digits, "#x" + hexadecimal digits, or a name of ASCII letters and digits.
bool StartsReference(std::string_view rest) {
  constexpr std::size_t kLongestBody = 10;  // "#x0010FFFF", "thetasym"
  std::size_t at = 0;
  bool (*isBodyChar)(char) = IsAsciiAlnum;
  if (!rest.empty() && rest[0] == '#') {
    const bool hex = rest.size() > 1 && (rest[1] == 'x' || rest[1] == 'X');
    at = hex ? 2 : 1;
    isBodyChar = hex ? IsHexDigit : IsDecimalDigit;
  }
  const std::size_t start = at;
  while (at < rest.size() && at < kLongestBody && isBodyChar(rest[at])) ++at;
  return at > start && at < rest.size() && rest[at] == ';';
}

}  // namespace

std::string HtmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    switch (text[i]) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '&':
        out += StartsReference(text.substr(i + 1)) ? "&" : "&amp;";
        break;
      default:
        out += text[i];
        break;
    }
  }
  return out;
}

}  // namespace velkor
