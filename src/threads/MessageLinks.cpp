#include "threads/MessageLinks.h"

#include <array>
#include <string>

#include "app/Deployment.h"
#include "threads/ReplyChars.h"
#include "threads/TextReplace.h"

namespace velkor {
namespace {

constexpr std::string_view kGt = "&gt;";

bool StartsWith(std::string_view text, std::size_t pos, std::string_view prefix) {
  return text.size() - pos >= prefix.size() && text.compare(pos, prefix.size(), prefix) == 0;
}

// Length of the anchor marker starting at `pos`, or 0. Markers are "＞" (0x8184), "&gt;",
// "≫" (0x81E2) and "》" (0x8174); `pos` must be a character boundary.
std::size_t AnchorMarkerAt(std::string_view text, std::size_t pos) {
  const auto c = static_cast<unsigned char>(text[pos]);
  if (c == 0x81 && pos + 1 < text.size()) {
    const auto next = static_cast<unsigned char>(text[pos + 1]);
    return (next == 0x84 || next == 0xE2 || next == 0x74) ? 2 : 0;
  }
  if (c == '&' && StartsWith(text, pos, kGt)) return kGt.size();
  return 0;
}

// True when the number text, read as a decimal integer (leading white space, an optional sign, then
// digits), is not 0. Only the digits' being all zero matters, so no length of number overflows.
bool LeadingNumberIsNonZero(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (text[i] != '0') return true;
  }
  return false;
}

constexpr std::array<bool, 256> MakeUrlTable() {
  std::array<bool, 256> table{};
  constexpr std::string_view chars =
      "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ#$%&*+,-./:;=?@[]^_`{|}~!'";
  for (char c : chars) table[static_cast<unsigned char>(c)] = true;
  return table;
}
constexpr std::array<bool, 256> kUrlChar = MakeUrlTable();

// True when "http://", "ttp://" or "ftp://" starts at `pos`.
bool UrlStartsAt(std::string_view text, std::size_t pos) {
  switch (text[pos]) {
    case 'h':
      return StartsWith(text, pos, "http://");
    case 't':
      return StartsWith(text, pos, "ttp://");
    case 'f':
      return StartsWith(text, pos, "ftp://");
    default:
      return false;
  }
}

const std::array<std::string, kLinkRedirectorHosts.size()>& RedirectorPrefixes() {
  static const auto prefixes = [] {
    std::array<std::string, kLinkRedirectorHosts.size()> result;
    for (std::size_t i = 0; i < result.size(); ++i) {
      result[i] = "http://" + std::string(kLinkRedirectorHosts[i]) + "/";
    }
    return result;
  }();
  return prefixes;
}

std::string LinkTarget(std::string_view url) {
  std::string target;
  target.reserve(url.size() + 1);
  if (url.front() == 't') target.push_back('h');
  target.append(url);
  for (const std::string& prefix : RedirectorPrefixes()) {
    // Each pass shortens the target (the prefix is longer than "http://"), so this ends.
    while (target.compare(0, prefix.size(), prefix) == 0) {
      target = ReplaceAll(target, prefix, "http://");
    }
  }
  return target;
}

}  // namespace

void AppendStrippedAnchorTags(std::string& out, std::string_view text) {
  std::size_t pos = 0;
  while (true) {
    std::size_t open = text.find("<a", pos);
    if (open == std::string_view::npos) break;
    out.append(text, pos, open - pos);
    std::size_t close = text.find('>', open + 2);
    if (close == std::string_view::npos) return;
    pos = close + 1;
    std::size_t end = text.find("</a>", pos);
    if (end == std::string_view::npos) break;
    out.append(text, pos, end - pos);
    pos = end + 4;
  }
  out.append(text, pos);
}

void AppendLinkedReplyAnchors(std::string& out, std::string_view text) {
  std::string normalised;
  std::size_t pos = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (AnchorMarkerAt(text, i) == 0) {
      i += CharLength(text, i);
      continue;
    }
    out.append(text, pos, i - pos);
    const std::size_t prefixStart = i;
    for (std::size_t m; i < text.size() && (m = AnchorMarkerAt(text, i)) != 0;) i += m;
    const std::size_t numberStart = i;
    normalised.clear();
    while (i < text.size()) {
      const std::size_t len = CharLength(text, i);
      if (char n = AnchorNumberChar(text.substr(i, len)); n != 0) {
        normalised.push_back(n);
        i += len;
      } else if (text[i] == '&') {
        if (StartsWith(text, i, "&gt;") || StartsWith(text, i, "&lt;") ||
            StartsWith(text, i, "&nbsp;")) {
          break;
        }
        i += StartsWith(text, i, "&amp;") ? 5 : 1;
        normalised.push_back(',');
      } else {
        break;
      }
    }
    const std::string_view prefix = text.substr(prefixStart, numberStart - prefixStart);
    const std::string_view raw = text.substr(numberStart, i - numberStart);
    const bool link =
        !raw.empty() && (LeadingNumberIsNonZero(normalised) ||
                         LeadingNumberIsNonZero(std::string_view(normalised).substr(1)));
    if (link) {
      out.append("<a href=\"#a");
      out.append(normalised);
      out.append("\">");
    }
    out.append(prefix);
    out.append(raw);
    if (link) out.append("</a>");
    pos = i;
  }
  out.append(text, pos);
}

void AppendLinkedUrls(std::string& out, std::string_view text) {
  std::size_t pos = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (!UrlStartsAt(text, i)) {
      i += CharLength(text, i);
      continue;
    }
    out.append(text, pos, i - pos);
    std::size_t end = i;
    while (end < text.size() && kUrlChar[static_cast<unsigned char>(text[end])]) ++end;
    std::string_view url = text.substr(i, end - i);
    if (std::size_t gt = url.find(kGt); gt != std::string_view::npos) url = url.substr(0, gt);
    out.append("<a href=\"");
    out.append(LinkTarget(url));
    out.append("\">");
    out.append(url);
    out.append("</a>");
    i += url.size();
    pos = i;
  }
  out.append(text, pos);
}

std::string StripAnchorTags(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendStrippedAnchorTags(out, text);
  return out;
}

std::string LinkReplyAnchors(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  AppendLinkedReplyAnchors(out, text);
  return out;
}

std::string LinkUrls(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  AppendLinkedUrls(out, text);
  return out;
}

}  // namespace velkor
