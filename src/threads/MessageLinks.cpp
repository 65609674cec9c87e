#include "threads/MessageLinks.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "app/Deployment.h"
#include "base/Integer.h"
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

constexpr std::array<bool, 256> MakeUrlTable() {
  std::array<bool, 256> table{};
  constexpr std::string_view chars =
      "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ#$%&*+,-./:;=?@[]^_`{|}~!'";
  for (char c : chars) table[static_cast<unsigned char>(c)] = true;
  return table;
}
constexpr std::array<bool, 256> kUrlChar = MakeUrlTable();

// Position of byte c at or after `from`, or text.size().
std::size_t FindByte(std::string_view text, char c, std::size_t from) {
  if (from >= text.size()) return text.size();
  const void* hit = std::memchr(text.data() + from, c, text.size() - from);
  return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data()) : text.size();
}

// Position of `tag` (lower case, starting with "<") in `text` at or after `from`, letters in any
// case, or npos. "<" never is the second byte of a CP932 character, so a byte search is exact.
std::size_t FindTagAnyCase(std::string_view text, std::string_view tag, std::size_t from) {
  for (std::size_t at = FindByte(text, '<', from); at < text.size();
       at = FindByte(text, '<', at + 1)) {
    if (text.size() - at < tag.size()) break;
    bool equal = true;
    for (std::size_t i = 1; i < tag.size() && equal; ++i) {
      const char c = text[at + i];
      equal = (c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c) == tag[i];
    }
    if (equal) return at;
  }
  return std::string_view::npos;
}

// The markup a field keeps: the tags the boards themselves write into names and messages. Anything
// else is shown as text.
constexpr std::string_view kKeptTags[] = {"<br>", "<b>", "</b>", "<hr>", "<i>", "</i>", "</font>"};

bool IsAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Length of the "<font" tag at `at` when it holds only colour and size attributes with plain
// values ("<font color=red>", "<font color=\"#FF0000\" size=2>"), else 0.
std::size_t KeptFontTagLength(std::string_view text, std::size_t at) {
  constexpr std::string_view kFont = "<font";
  if (text.compare(at, kFont.size(), kFont) != 0) return 0;
  std::size_t i = at + kFont.size();
  while (true) {
    if (i >= text.size()) return 0;
    if (text[i] == '>') return i + 1 - at;
    if (text[i] != ' ') return 0;
    ++i;
    std::size_t nameEnd = i;
    while (nameEnd < text.size() && text[nameEnd] >= 'a' && text[nameEnd] <= 'z') ++nameEnd;
    const std::string_view name = text.substr(i, nameEnd - i);
    if ((name != "color" && name != "size") || nameEnd >= text.size() || text[nameEnd] != '=') {
      return 0;
    }
    i = nameEnd + 1;
    const bool quoted = i < text.size() && text[i] == '"';
    if (quoted) ++i;
    const std::size_t valueStart = i;
    while (i < text.size() && (IsAsciiAlnum(text[i]) || text[i] == '#')) ++i;
    if (i == valueStart) return 0;
    if (quoted) {
      if (i >= text.size() || text[i] != '"') return 0;
      ++i;
    }
  }
}

// Length of the kept tag that starts at `at` (a "<"), or 0.
std::size_t KeptTagLength(std::string_view text, std::size_t at) {
  for (std::string_view tag : kKeptTags) {
    if (text.compare(at, tag.size(), tag) == 0) return tag.size();
  }
  return KeptFontTagLength(text, at);
}

// The schemes a linked URL may start with, each before "://", longest first, so that the earliest
// start wins ("https" before "ttps", "http" before "ttp").
constexpr std::string_view kUrlSchemes[] = {"https", "http", "ttps", "ttp", "ftp"};

// A redirector prefix and the scheme-only start that replaces it.
struct RedirectorPrefix {
  std::string prefix;       // "http://ime.nu/"
  std::string_view scheme;  // "http://"
};

const std::array<RedirectorPrefix, 2 * kLinkRedirectorHosts.size()>& RedirectorPrefixes() {
  static const auto prefixes = [] {
    std::array<RedirectorPrefix, 2 * kLinkRedirectorHosts.size()> result;
    for (std::size_t i = 0; i < kLinkRedirectorHosts.size(); ++i) {
      result[2 * i] = {"http://" + std::string(kLinkRedirectorHosts[i]) + "/", "http://"};
      result[2 * i + 1] = {"https://" + std::string(kLinkRedirectorHosts[i]) + "/", "https://"};
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
  for (const RedirectorPrefix& redirector : RedirectorPrefixes()) {
    // Each pass shortens the target (the prefix is longer than its scheme), so this ends.
    while (target.compare(0, redirector.prefix.size(), redirector.prefix) == 0) {
      target = ReplaceAll(target, redirector.prefix, redirector.scheme);
    }
  }
  return target;
}

}  // namespace

void AppendStrippedAnchorTags(std::string& out, std::string_view text) {
  constexpr std::string_view kOpen = "<a";
  constexpr std::string_view kClose = "</a>";
  std::size_t pos = 0;
  while (true) {
    std::size_t open = FindTagAnyCase(text, kOpen, pos);
    if (open == std::string_view::npos) break;
    out.append(text, pos, open - pos);
    std::size_t close = text.find('>', open + kOpen.size());
    if (close == std::string_view::npos) return;
    pos = close + 1;
    std::size_t end = FindTagAnyCase(text, kClose, pos);
    if (end == std::string_view::npos) break;
    out.append(text, pos, end - pos);
    pos = end + kClose.size();
  }
  out.append(text, pos);
}

std::string NeutraliseMarkup(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendNeutralisedMarkup(out, text);
  return out;
}

std::string NeutraliseField(std::string_view text) {
  if (text.find('<') == std::string_view::npos) return std::string(text);
  return NeutraliseMarkup(StripAnchorTags(text));
}

void AppendNeutralisedMarkup(std::string& out, std::string_view text) {
  std::size_t pos = 0;
  for (std::size_t at = FindByte(text, '<', 0); at < text.size(); at = FindByte(text, '<', pos)) {
    const std::size_t kept = KeptTagLength(text, at);
    out.append(text, pos, at - pos);
    if (kept > 0) {
      out.append(text, at, kept);
      pos = at + kept;
    } else {
      out.append("&lt;");
      pos = at + 1;
    }
  }
  out.append(text, pos);
}

void AppendLinkedReplyAnchors(std::string& out, std::string_view text) {
  std::string normalised;
  std::size_t pos = 0;    // start of the text not yet appended
  std::size_t known = 0;  // a character start at or before the scan position
  std::size_t i = 0;
  // Next "&" and next 0x81 (the first byte of the two-byte markers) at or after the scan position.
  std::size_t nextAmp = FindByte(text, '&', 0);
  std::size_t nextLead = FindByte(text, '\x81', 0);
  while (true) {
    if (nextAmp < i) nextAmp = FindByte(text, '&', i);
    if (nextLead < i) nextLead = FindByte(text, '\x81', i);
    i = std::min(nextAmp, nextLead);
    if (i >= text.size()) break;
    if (AnchorMarkerAt(text, i) == 0) {
      ++i;
      continue;
    }
    // "&" always starts a character; a two-byte marker may be the second half of one.
    if (text[i] != '&' && !IsCharStart(text, known, i)) {
      known = ++i;
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
        !raw.empty() && (LeadingIntegerIsNonZero(normalised) ||
                         LeadingIntegerIsNonZero(std::string_view(normalised).substr(1)));
    if (link) {
      out.append("<a href=\"#a");
      out.append(normalised);
      out.append("\">");
    }
    out.append(prefix);
    out.append(raw);
    if (link) out.append("</a>");
    pos = known = i;
  }
  out.append(text, pos);
}

void AppendLinkedUrls(std::string& out, std::string_view text) {
  std::size_t pos = 0;  // start of the text not yet appended; always a character start
  for (std::size_t colon = text.find("://"); colon != std::string_view::npos;
       colon = text.find("://", pos)) {
    // The earliest character start among "https://", "http://", "ttps://", "ttp://" and "ftp://"
    // ending in this "://".
    std::size_t start = std::string_view::npos;
    for (std::string_view scheme : kUrlSchemes) {
      if (colon >= pos + scheme.size() &&
          text.compare(colon - scheme.size(), scheme.size(), scheme) == 0 &&
          IsCharStart(text, pos, colon - scheme.size())) {
        start = colon - scheme.size();
        break;
      }
    }
    if (start == std::string_view::npos) {
      // ":" is a character of its own, so the text up to it can be appended as it is.
      out.append(text, pos, colon + 1 - pos);
      pos = colon + 1;
      continue;
    }
    out.append(text, pos, start - pos);
    std::size_t end = start;
    while (end < text.size() && kUrlChar[static_cast<unsigned char>(text[end])]) ++end;
    std::string_view url = text.substr(start, end - start);
    if (std::size_t gt = url.find(kGt); gt != std::string_view::npos) url = url.substr(0, gt);
    out.append("<a href=\"");
    out.append(LinkTarget(url));
    out.append("\">");
    out.append(url);
    out.append("</a>");
    pos = start + url.size();
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
