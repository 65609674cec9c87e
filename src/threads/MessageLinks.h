#pragma once

// The three conversions a reply's message goes through when a thread log is loaded, in this order:
// StripAnchorTags, LinkReplyAnchors, LinkUrls. Each takes and returns CP932 HTML text; each scans
// its input once and never reads past it, whatever the bytes are.

#include <string>
#include <string_view>

namespace velkor {

// Removes the server's own link markup ("<a ...>" and "</a>", letters in any case) and keeps the
// link text. An "<a" whose ">" is missing drops itself and the rest of the text.
std::string StripAnchorTags(std::string_view text);

// Every "<" that does not open a tag the boards write themselves ("<br>", "<b>", "</b>", "<hr>",
// "<i>", "</i>", "<font>" with colour and size only, "</font>") becomes "&lt;", so a field or title
// from the network shows as text: no script, frame, image, form or anchor of its own. Applied to
// every field after StripAnchorTags, before the program adds its own links.
std::string NeutraliseMarkup(std::string_view text);

// A name, mail or date field (or a title) as pages and pop-ups show it: StripAnchorTags, then
// NeutraliseMarkup. A text without "<" is taken as it is.
std::string NeutraliseField(std::string_view text);

// Links reply anchors: a run of markers ("＞", "&gt;", "≫", "》") followed by reply-number
// characters becomes <a href="#a{normalised number}">{markers}{number as written}</a>. A number
// whose value is 0 (also after its first character) stays plain text, as do markers without a
// number.
std::string LinkReplyAnchors(std::string_view text);

// Links "http://", "https://", "ttp://", "ttps://" and "ftp://" URLs: the longest run of URL
// characters, ending before any "&gt;". The "ttp://" and "ttps://" forms are linked with "h" in
// front; link-redirector prefixes (kLinkRedirectorHosts, over http or https) are removed from the
// link target, which keeps the redirector's scheme.
std::string LinkUrls(std::string_view text);

// Appending forms of the three conversions, for callers that reuse buffers.
void AppendStrippedAnchorTags(std::string& out, std::string_view text);
void AppendNeutralisedMarkup(std::string& out, std::string_view text);
void AppendLinkedReplyAnchors(std::string& out, std::string_view text);
void AppendLinkedUrls(std::string& out, std::string_view text);

}  // namespace velkor
