#pragma once

// Character-level helpers of the thread renderer and the pop-up texts: how a CP932 character is
// delimited, and the two sets of characters that may form a reply number (the page's anchors and
// selected text).

#include <cstddef>
#include <string_view>

namespace velkor {

// Length of the character at `pos` (which must be < text.size()): 2 for a lead byte followed by a
// byte that can end a two-byte character, otherwise 1. A lead byte at the end of the text or before
// a byte that cannot follow it is taken alone, so scanning never runs past the text and never
// swallows the ASCII byte after a broken character.
std::size_t CharLength(std::string_view text, std::size_t pos);

// The reply-number character the character `ch` (one whole character) stands for in the page's
// reply anchors: a digit, '-', ',' or '='; 0 when it is not one of them. "&" is not a member here
// (the anchor scanner treats it as the start of an entity).
char AnchorNumberChar(std::string_view ch);

// The same for selected text: like AnchorNumberChar, but "&" is a member (as ',') and the hyphen
// 0x815D is not.
char SelectionNumberChar(std::string_view ch);

}  // namespace velkor
