#pragma once

#include <string>
#include <string_view>

namespace velkor {

// The head and the tail of every page the program builds (about, reports, search results, the
// default thread page header): pages are Shift_JIS and say so.
inline constexpr std::string_view kHtmlPageHead =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"
    "</head><body>";
inline constexpr std::string_view kHtmlPageTail = "</body></html>";

// A text taken from data (a thread title, a board or category name, a URL, a search word; CP932) as
// it is put into a page, between tags or inside a double-quoted attribute value: "<", ">" and '"'
// become "&lt;", "&gt;" and "&quot;", and "&" becomes "&amp;" unless it begins a character
// reference ("&#" digits ";", "&#x" hex digits ";", "&" letters or digits ";", at most 10 between
// "&" and ";"), which stays for the browser to resolve. No markup can come out of it. None of these
// bytes is the second byte of a CP932 character, so two-byte characters pass unchanged.
std::string HtmlText(std::string_view text);

}  // namespace velkor
