#pragma once

#include <string_view>

namespace velkor {

// The head and the tail of every page the program builds (about, reports, search results, the
// default thread page header): pages are Shift_JIS and say so.
inline constexpr std::string_view kHtmlPageHead =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"
    "</head><body>";
inline constexpr std::string_view kHtmlPageTail = "</body></html>";

}  // namespace velkor
