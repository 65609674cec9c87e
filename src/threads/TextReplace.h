#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velkor {

// Appends `text` to `out` with every occurrence of `from` (non-empty) replaced by `to`, scanning
// left to right; inserted text is not searched again. Every byte the templates and pop-ups search
// for starts with an ASCII byte below 0x40, which never ends a two-byte character, so a byte search
// finds the same places a character search would.
void AppendReplaced(std::string& out, std::string_view text, std::string_view from,
                    std::string_view to);

// The same, returning the result.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

}  // namespace velkor
