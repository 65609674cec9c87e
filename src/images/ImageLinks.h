#pragma once

// Which links of a post show an image, and where that image is fetched from. A link shows an image
// when a rule of the image rule file maps it to one (the first matching rule in file order), or
// else when its path ends in an image file name. Only http and https links count.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "images/CapturePattern.h"
#include "images/ImageHeader.h"
#include "images/ImageRuleFile.h"

namespace velkor {

// Links longer than this are never images (and never reach a rule's pattern).
inline constexpr std::size_t kMaxImageLinkLength = 2048;

struct ImageLink {
  std::string link;      // the link as the browser follows it
  std::string imageUrl;  // the image to fetch: an http(s) URL of link bytes only, no fragment
  std::string referer;   // the Referer to send; empty: none
};

// True when every byte of `text` is one a linked URL may hold (the 88 URL characters of the
// message linker: ASCII letters, digits and #$%&*+,-./:;=?@[]^_`{|}~!'). Such a text holds no
// blank, quote, angle bracket, control byte or line break.
bool IsLinkText(std::string_view text);

// A URL an image may be fetched from: at most kMaxImageLinkLength bytes, link bytes only, and an
// http or https URL the HTTP client can take apart.
bool IsFetchableUrl(std::string_view url);

// The type an http(s) URL's file name claims: its path (before any "?" or "#") ends in ".png",
// ".jpg", ".jpeg", ".gif", ".webp" or ".bmp", letter case ignored. nullopt for anything else.
std::optional<ImageType> ImageTypeOfLinkName(std::string_view url);

class ImageLinks {
 public:
  // Links by their file names only.
  ImageLinks() = default;
  // Rules first, in order, then file names. Rules that fail ImageRuleFile::Check are left out.
  explicit ImageLinks(const std::vector<ImageRule>& rules);

  // The image behind one link, or nullopt: a link that is longer than kMaxImageLinkLength, holds a
  // byte IsLinkText refuses, or is no valid http(s) URL shows none. A rule whose image URL comes
  // out invalid, or whose pattern reaches the cost bound, passes the link on to the next rule.
  std::optional<ImageLink> Classify(std::string_view link) const;

  // The image links of a reply's message as LoadReplies converted it (ReplyList::Message): the
  // targets of its <a href="..."> links ("&amp;" read as "&"), in order, each link once. Reply
  // anchors and the message's own text are not links.
  std::vector<ImageLink> InMessage(std::string_view message) const;

 private:
  struct CompiledRule {
    CapturePattern pattern;
    std::string imageUrl;
    std::string referer;
  };
  std::vector<CompiledRule> rules_;
};

}  // namespace velkor
