#include "threads/ReplyChars.h"

namespace velkor {
namespace {

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
