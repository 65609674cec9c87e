#include "threads/ThreadLinks.h"

#include <optional>
#include <vector>

#include "app/DataDir.h"
#include "app/UrlPaths.h"
#include "base/FileUtil.h"
#include "base/Integer.h"
#include "base/Sjis.h"
#include "subjects/ThreadState.h"
#include "threads/DatRenderer.h"
#include "threads/NgPage.h"
#include "threads/NgRuleFile.h"
#include "threads/PopupText.h"

namespace velkor {

namespace {

constexpr std::string_view kBlank = "about:blank";
constexpr std::string_view kBlankFragment = "about:blank#";
constexpr std::string_view kMenu = "menu:";
constexpr std::string_view kMailto = "mailto:";
constexpr std::string_view kReplyAnchor = "about:blank#a";
// Reply numbers in link fragments are read up to this value; none above 1000 is on a page.
constexpr std::int64_t kAnchorNumberCap = 100000000000;

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The whole text as a decimal integer; 0 for anything else.
int StrictInteger(std::string_view text) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  if (i == text.size()) return 0;
  long long value = 0;
  for (std::size_t j = i; j < text.size(); ++j) {
    if (text[j] < '0' || text[j] > '9') return 0;
    value = value * 10 + (text[j] - '0');
    if (value > 0x7FFFFFFF) return 0;
  }
  return static_cast<int>(text[0] == '-' ? -value : value);
}

std::string AbsText(long long value) {
  return std::to_string(value < 0 ? -value : value);
}

// The anchor a link to another thread scrolls to: the unread marker, or the reply it names.
std::string AnchorForRemainder(std::string_view remainder) {
  if (remainder.empty() || remainder[0] == 'l') return std::string(kUnreadAnchor);
  std::string_view number = remainder;
  if (number[0] == 'n') number.remove_prefix(1);
  return "a" + AbsText(LeadingInteger(number, kAnchorNumberCap));
}

// Where a read.cgi URL's log lives below LogDir(), whether or not it exists. None when the URL
// does not name host, board and key, or when one of them is not a safe path component.
std::optional<StoredThreadLink> ThreadLogLocation(std::string_view url) {
  std::string remainder;
  const std::string path = ThreadUrlToLogPath(url, remainder);
  // "/host/board/key.dat": exactly three components, none of which may leave the log tree.
  if (path.empty() || path[0] != '/') return std::nullopt;
  std::vector<std::string_view> parts;
  std::string_view rest = std::string_view(path).substr(1);
  for (std::size_t slash; (slash = rest.find('/')) != std::string_view::npos;) {
    parts.push_back(rest.substr(0, slash));
    rest.remove_prefix(slash + 1);
  }
  parts.push_back(rest);
  if (parts.size() != 3) return std::nullopt;
  for (std::string_view part : parts) {
    if (!IsSafePathComponent(part)) return std::nullopt;
  }
  StoredThreadLink link;
  link.boardDir = LogDir() + "/";
  link.boardDir.append(parts[0]).append("/").append(parts[1]).append("/");
  link.datName.assign(parts[2]);
  link.anchor = std::move(remainder);
  return link;
}

}  // namespace

std::optional<ThreadLinkTarget> LocateThread(std::string_view url) {
  std::optional<StoredThreadLink> place = ThreadLogLocation(url);
  if (!place) return std::nullopt;
  return ThreadLinkTarget{std::move(place->boardDir), std::move(place->datName),
                          AnchorForRemainder(place->anchor)};
}

std::optional<StoredThreadLink> FindStoredThread(std::string_view url) {
  std::optional<StoredThreadLink> found = ThreadLogLocation(url);
  if (!found || !FileExists(found->boardDir + found->datName)) return std::nullopt;
  return found;
}

bool IsExternalLinkAllowed(std::string_view url) {
  const std::string lower = AsciiLowerCopy(url.substr(0, 8));
  return StartsWith(lower, "http://") || StartsWith(lower, "https://") ||
         StartsWith(lower, "ftp://") || StartsWith(lower, kMailto);
}

LinkAction ClassifyLink(std::string_view url) {
  LinkAction action;
  if (url == kBlank) return action;
  if (StartsWith(url, kMenu)) {
    action.kind = LinkAction::kMenu;
    action.menuNumber = StrictInteger(url.substr(kMenu.size()));
    return action;
  }
  if (StartsWith(url, kBlankFragment)) {
    const std::string_view fragment = url.substr(kBlankFragment.size());
    if (fragment == kUnreadAnchor) {
      action.kind = LinkAction::kJump;
      action.anchor = kUnreadAnchor;
    } else if (fragment == "all") {
      action.kind = LinkAction::kShowAll;
    } else {
      action.kind = LinkAction::kJump;
      action.anchor = "a" + AbsText(LeadingInteger(fragment.substr(fragment.empty() ? 0 : 1),
                                                   kAnchorNumberCap));
    }
    return action;
  }
  if (url.find(kReadCgiPath) != std::string_view::npos) {
    if (std::optional<StoredThreadLink> link = FindStoredThread(url)) {
      const ThreadState state(link->boardDir, link->datName);
      action.kind = LinkAction::kOpenThread;
      action.title = state.Title();
      action.firstUnread = state.FirstUnread();
      action.anchor = AnchorForRemainder(link->anchor);
      action.boardDir = std::move(link->boardDir);
      action.datName = std::move(link->datName);
      return action;
    }
  }
  action.kind = LinkAction::kExternal;
  action.url.assign(url);
  return action;
}

HoverAction HoverPopup(const ReplyList& replies, std::string_view statusText, int lineLimit) {
  HoverAction action;
  if (statusText.empty()) return action;
  std::string text;
  if (StartsWith(statusText, kMailto)) {
    text.assign(statusText.substr(kMailto.size()));
  } else if (StartsWith(statusText, kReplyAnchor)) {
    const std::string_view fragment = statusText.substr(kReplyAnchor.size());
    if (fragment == "ll") {
      action.kind = HoverAction::kKeep;
      return action;
    }
    text = BuildPopupText(replies, fragment, lineLimit);
  } else if (statusText.find(kReadCgiPath) != std::string_view::npos) {
    if (const std::optional<StoredThreadLink> link = FindStoredThread(statusText)) {
      text = BuildPopupTextFromLog(link->boardDir + link->datName, link->anchor, lineLimit);
    } else if (const std::optional<StoredThreadLink> place = ThreadLogLocation(statusText)) {
      // A thread that was never fetched shows its title, when its board knows it.
      text = ThreadState(place->boardDir, place->datName).Title();
    }
  }
  if (!text.empty()) {
    action.kind = HoverAction::kShow;
    action.text = std::move(text);
  }
  return action;
}

HoverAction FilteredHoverPopup(const ReplyList& replies, const NgOutcome* shown,
                               std::string_view statusText, int lineLimit) {
  HoverAction action = HoverPopup(replies, statusText, lineLimit);
  if (action.kind != HoverAction::kShow) return action;
  std::optional<StoredThreadLink> stored;
  if (shown != nullptr && StartsWith(statusText, kReplyAnchor)) {
    action.text = BuildFilteredPopupText(*shown, statusText.substr(kReplyAnchor.size()), lineLimit);
  } else if (statusText.find(kReadCgiPath) != std::string_view::npos &&
             (stored = FindStoredThread(statusText))) {
    const std::string path = stored->boardDir + stored->datName;
    const NgFilter filter = LoadNgFilterFor(path);
    if (filter.Empty()) return action;
    action.text = BuildFilteredPopupTextFromLogText(ReadWholeFile(path).value_or(std::string()),
                                                    filter, stored->anchor, lineLimit);
  } else {
    return action;
  }
  if (action.text.empty()) action.kind = HoverAction::kHide;
  return action;
}

}  // namespace velkor
