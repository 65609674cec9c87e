#pragma once

#include <string>
#include <string_view>

namespace velkor {

// A post's field (Shift_JIS) as the board stores it in the thread's log: "<", ">" and '"' as
// entities ("&" stays, so character references survive), zero bytes dropped, two-byte characters
// whole, and each line break (CR LF, CR or LF) replaced with `lineBreak`.
std::string StoredPostText(std::string_view text, std::string_view lineBreak);

}  // namespace velkor
