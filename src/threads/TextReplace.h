#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velkor {

// Appends `text` to `out` with every occurrence of `from` (non-empty) replaced by `to`, scanning
// left to right; inserted text is not searched again. The search is byte-wise: use it for texts
// that start with an ASCII byte below 0x40 (markup, entities), which never ends a two-byte
// character, or on pure ASCII text, so that matches always fall on character starts.
void AppendReplaced(std::string& out, std::string_view text, std::string_view from,
                    std::string_view to);

// The same, returning the result.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

}  // namespace velkor
