#include "post/StoredPostText.h"

#include "base/Sjis.h"

namespace velkor {

std::string StoredPostText(std::string_view text, std::string_view lineBreak) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (IsLeadByte(c) && i + 1 < text.size()) {
      out += text.substr(i++, 2);
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '"') {
      out += "&quot;";
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += lineBreak;
    } else if (c != '\0') {
      out += c;
    }
  }
  return out;
}

}  // namespace velkor
