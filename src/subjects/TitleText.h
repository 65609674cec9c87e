#pragma once

// Thread titles as Unicode widgets show them. subject.ini keeps a title as the server sent it
// (CP932, where a character CP932 cannot hold stays a character reference such as "&#127757;");
// pages built in CP932 keep the references too, for the browser to resolve.

#include <string>
#include <string_view>

namespace velkor {

// The title (CP932) as UTF-8 for a Unicode widget (thread list, tab captions, window texts):
// numeric character references ("&#127757;", "&#x1F30D;", "&#160;") and the named entities of HTML
// 4 ("&amp;", "&hearts;", ...) are decoded; a reference to no character (0, a surrogate, above
// U+10FFFF), an unknown name and an "&" without ";" stay as written. A broken CP932 sequence
// becomes U+FFFD.
std::string TitleForDisplay(std::string_view sjisTitle);

}  // namespace velkor
