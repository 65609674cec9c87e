#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace velkor {

// A reply anchor of a pop-up text: its byte offset and byte length in the text and its normalised
// number text.
struct PopupTextAnchor {
  std::size_t offset;
  std::size_t length;
  std::string spec;
};

// The reply anchors of a pop-up text (CP932, lines ending in LF), as the thread page links them.
std::vector<PopupTextAnchor> FindPopupAnchors(const std::string& text);

}  // namespace velkor
