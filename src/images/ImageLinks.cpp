#include "images/ImageLinks.h"

#include <algorithm>
#include <array>

#include "app/UrlPaths.h"
#include "base/Sjis.h"
#include "net/HttpUrl.h"

namespace velkor {
namespace {

constexpr std::array<bool, 256> MakeLinkTable() {
  std::array<bool, 256> table{};
  constexpr std::string_view chars =
      "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ#$%&*+,-./:;=?@[]^_`{|}~!'";
  for (char c : chars) table[static_cast<unsigned char>(c)] = true;
  return table;
}
constexpr std::array<bool, 256> kLinkChar = MakeLinkTable();

struct Extension {
  std::string_view suffix;
  ImageType type;
};
constexpr std::array<Extension, 6> kExtensions = {{
    {".png", ImageType::kPng},
    {".jpg", ImageType::kJpeg},
    {".jpeg", ImageType::kJpeg},
    {".gif", ImageType::kGif},
    {".webp", ImageType::kWebp},
    {".bmp", ImageType::kBmp},
}};

std::string_view WithoutFragment(std::string_view url) {
  return url.substr(0, url.find('#'));
}

std::string DecodeAmpersands(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    out.push_back(text[i]);
    if (text.compare(i, 5, "&amp;") == 0) i += 4;
  }
  return out;
}

}  // namespace

bool IsFetchableUrl(std::string_view url) {
  HttpUrl parts;
  return url.size() <= kMaxImageLinkLength && IsLinkText(url) &&
         ParseHttpUrl(url, parts) == HttpUrlStatus::kOk;
}

bool IsLinkText(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return kLinkChar[static_cast<unsigned char>(c)]; });
}

std::optional<ImageType> ImageTypeOfLinkName(std::string_view url) {
  const std::size_t schemeEnd = url.find("://");
  if (schemeEnd == std::string_view::npos) return std::nullopt;
  const std::string_view scheme = url.substr(0, schemeEnd);
  if (!EqualsIgnoreAsciiCase(scheme, "http") && !EqualsIgnoreAsciiCase(scheme, "https")) {
    return std::nullopt;
  }
  const std::string_view tail = SplitAuthority(url.substr(schemeEnd + 3)).tail;
  const std::string_view path = tail.substr(0, tail.find_first_of("?#"));
  for (const Extension& extension : kExtensions) {
    if (path.size() > extension.suffix.size() &&
        EqualsIgnoreAsciiCase(path.substr(path.size() - extension.suffix.size()),
                              extension.suffix)) {
      return extension.type;
    }
  }
  return std::nullopt;
}

ImageLinks::ImageLinks(const std::vector<ImageRule>& rules) {
  for (const ImageRule& rule : rules) {
    if (!ImageRuleFile::Check(rule).empty()) continue;
    CompiledRule compiled;
    if (!compiled.pattern.Compile(rule.pattern).IsOk()) continue;
    compiled.imageUrl = rule.imageUrl;
    compiled.referer = rule.referer;
    rules_.push_back(std::move(compiled));
  }
}

std::optional<ImageLink> ImageLinks::Classify(std::string_view link) const {
  if (!IsFetchableUrl(link)) return std::nullopt;
  for (const CompiledRule& rule : rules_) {
    const std::optional<std::vector<std::string>> groups = rule.pattern.Match(link);
    if (!groups) continue;
    ImageLink image{std::string(link), ExpandImageTemplate(rule.imageUrl, *groups),
                    ExpandImageTemplate(rule.referer, *groups)};
    image.imageUrl = std::string(WithoutFragment(image.imageUrl));
    if (!IsFetchableUrl(image.imageUrl)) continue;
    if (!image.referer.empty() && !IsFetchableUrl(image.referer)) continue;
    return image;
  }
  if (!ImageTypeOfLinkName(link)) return std::nullopt;
  return ImageLink{std::string(link), std::string(WithoutFragment(link)), {}};
}

std::vector<ImageLink> ImageLinks::InMessage(std::string_view message) const {
  constexpr std::string_view kOpen = "<a href=\"";
  std::vector<ImageLink> links;
  for (std::size_t at = message.find(kOpen); at != std::string_view::npos;
       at = message.find(kOpen, at)) {
    at += kOpen.size();
    const std::size_t close = message.find('"', at);
    if (close == std::string_view::npos) break;
    const std::string target = DecodeAmpersands(message.substr(at, close - at));
    at = close + 1;
    std::optional<ImageLink> image = Classify(target);
    if (!image) continue;
    const bool seen = std::any_of(links.begin(), links.end(), [&](const ImageLink& other) {
      return other.link == image->link;
    });
    if (!seen) links.push_back(std::move(*image));
  }
  return links;
}

}  // namespace velkor
