#include "threads/ReplyChars.h"

#include "base/Sjis.h"

namespace velkor {
namespace {

bool IsTrailByte(unsigned char c) {
  return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

char OneByteNumberChar(unsigned char c) {
  if (c >= '0' && c <= '9') return static_cast<char>(c);
  switch (c) {
    case '-':
    case '=':
      return static_cast<char>(c);
    case ',':
    case '.':
    case ' ':
    case 0xA5:  // half-width middle dot
      return ',';
    default:
      return 0;
  }
}

// Two-byte members shared by both sets.
char TwoByteNumberChar(unsigned char lead, unsigned char trail) {
  if (lead == 0x82) {
    if (trail >= 0x50 && trail <= 0x58) return static_cast<char>('1' + (trail - 0x50));
    if (trail == 0x4F) return '0';
    return 0;
  }
  if (lead != 0x81) return 0;
  switch (trail) {
    case 0x7C:  // full-width minus
    case 0x60:  // wave dash
      return '-';
    case 0x43:  // full-width comma
    case 0x41:  // ideographic comma
    case 0x45:  // katakana middle dot
    case 0x95:  // full-width ampersand
      return ',';
    case 0x81:  // full-width equals
      return '=';
    default:
      return 0;
  }
}

}  // namespace

std::size_t CharLength(std::string_view text, std::size_t pos) {
  if (IsLeadByte(text[pos]) && pos + 1 < text.size() &&
      IsTrailByte(static_cast<unsigned char>(text[pos + 1]))) {
    return 2;
  }
  return 1;
}

char AnchorNumberChar(std::string_view ch) {
  if (ch.size() == 1) return OneByteNumberChar(static_cast<unsigned char>(ch[0]));
  if (ch.size() != 2) return 0;
  auto lead = static_cast<unsigned char>(ch[0]);
  auto trail = static_cast<unsigned char>(ch[1]);
  if (lead == 0x81 && trail == 0x5D) return '-';  // hyphen
  return TwoByteNumberChar(lead, trail);
}

char SelectionNumberChar(std::string_view ch) {
  if (ch.size() == 1) {
    if (ch[0] == '&') return ',';
    return OneByteNumberChar(static_cast<unsigned char>(ch[0]));
  }
  if (ch.size() != 2) return 0;
  return TwoByteNumberChar(static_cast<unsigned char>(ch[0]), static_cast<unsigned char>(ch[1]));
}

}  // namespace velkor
