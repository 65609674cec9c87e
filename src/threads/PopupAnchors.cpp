#include "threads/PopupAnchors.h"

#include "threads/MessageLinks.h"

namespace velkor {
namespace {

bool StartsWith(std::string_view text, std::size_t pos, std::string_view prefix) {
  return text.size() - pos >= prefix.size() && text.compare(pos, prefix.size(), prefix) == 0;
}

}  // namespace

std::vector<PopupTextAnchor> FindPopupAnchors(const std::string& text) {
  // The page's linker reads HTML text: escape the three markup characters (never the second byte
  // of a CP932 character), link, and read the links back with offsets into the plain text.
  std::string escaped;
  escaped.reserve(text.size() + text.size() / 8);
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      default:
        escaped += c;
    }
  }
  const std::string linked = LinkReplyAnchors(escaped);
  constexpr std::string_view kOpen = "<a href=\"#a";
  constexpr std::string_view kClose = "</a>";
  std::vector<PopupTextAnchor> anchors;
  std::size_t plain = 0;  // offset in `text` of linked[i]
  std::size_t i = 0;
  const auto unescapedLength = [&linked](std::size_t& at, std::size_t end) {
    std::size_t length = 0;
    while (at < end) {
      if (StartsWith(linked, at, "&amp;")) {
        at += 5;
      } else if (StartsWith(linked, at, "&lt;") || StartsWith(linked, at, "&gt;")) {
        at += 4;
      } else {
        ++at;
      }
      ++length;
    }
    return length;
  };
  while (i < linked.size()) {
    const std::size_t open = linked.find(kOpen, i);
    if (open == std::string::npos) break;
    plain += unescapedLength(i, open);
    const std::size_t specEnd = linked.find("\">", open + kOpen.size());
    const std::size_t close = specEnd == std::string::npos ? specEnd : linked.find(kClose, specEnd);
    if (close == std::string::npos) break;
    PopupTextAnchor anchor;
    anchor.spec = linked.substr(open + kOpen.size(), specEnd - open - kOpen.size());
    anchor.offset = plain;
    i = specEnd + 2;
    anchor.length = unescapedLength(i, close);
    plain += anchor.length;
    i = close + kClose.size();
    anchors.push_back(std::move(anchor));
  }
  return anchors;
}

}  // namespace velkor
