#pragma once

// How thread titles are kept, in memory and in subject.ini: CP932, the title of subject.txt with
// its four entities "&lt;", "&gt;", "&quot;" and "&amp;" decoded (DecodeTitleEntities), so "<",
// ">", '"' and "&" stand as plain characters; every other character reference the server sent (a
// character CP932 cannot hold, such as "&#127757;") stays as written. A title is thus neither plain
// text nor HTML: Unicode widgets show TitleForDisplay, and pages put it in through HtmlText
// (app/HtmlPage.h), which escapes the plain characters and leaves the references to the browser.

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
