#include "threads/NgPage.h"

#include <algorithm>

#include "threads/DatRenderer.h"
#include "threads/LogLines.h"
#include "threads/MessageLinks.h"
#include "threads/PopupText.h"
#include "threads/ReplySpec.h"
#include "threads/TextReplace.h"

namespace velkor {
namespace {

// A spec that selects what `selection` selects less the hidden replies ("0" selects nothing).
std::string SpecWithoutHidden(const ReplySelection& selection, const NgOutcome& outcome) {
  std::string spec;
  for (int k = 1; k <= kMaxPopupReplies; ++k) {
    if (!selection.Has(k) || outcome.VerdictOf(k) == NgVerdict::kHidden) continue;
    if (!spec.empty()) spec += ',';
    spec += std::to_string(k);
  }
  return spec.empty() ? "0" : spec;
}

}  // namespace

std::string RenderFilteredPage(const Skin& skin, const NgOutcome& outcome, std::string_view title,
                               int firstUnread, int oldShown) {
  if (!outcome.AnyHidden()) return RenderPage(skin, outcome.replies, title, firstUnread, oldShown);
  // The same walk as RenderPage, with an empty template for hidden replies (which leaves the
  // anchor alone).
  const ReplyList& replies = outcome.replies;
  const int n = replies.Count();
  const long long read =
      std::max(0LL, std::min<long long>(firstUnread, static_cast<long long>(n) + 1) - 1);
  const long long start = (oldShown > 0 && oldShown < read) ? read - oldShown : 0;
  std::string page;
  AppendReplaced(page, skin.header, "<&TITLE>", NeutraliseMarkup(title));
  auto append = [&](const std::string& tmpl, long long number) {
    const int k = static_cast<int>(number);
    const bool hidden = outcome.VerdictOf(k) == NgVerdict::kHidden;
    page.append(RenderReply(hidden ? std::string_view() : std::string_view(tmpl), replies.Name(k),
                            replies.Mail(k), replies.Date(k), replies.Message(k), k));
  };
  if (start > 0) append(skin.res, 1);
  for (long long k = start + 1; k <= read; ++k) append(skin.res, k);
  page.append("<a name=\"").append(kUnreadAnchor).append("\"></a>").append(skin.bookmark);
  for (long long k = read + 1; k <= n; ++k) append(skin.newRes, k);
  page.append(skin.footer);
  return page;
}

std::string BuildFilteredPopupText(const NgOutcome& outcome, std::string_view spec, int lineLimit) {
  if (!outcome.AnyHidden()) return BuildPopupText(outcome.replies, spec, lineLimit);
  return BuildPopupText(outcome.replies, SpecWithoutHidden(ParseReplySpec(spec), outcome),
                        lineLimit);
}

std::string BuildFilteredPopupTextFromLogText(std::string_view logText, const NgFilter& filter,
                                              std::string_view spec, int lineLimit) {
  if (filter.Empty()) return BuildPopupTextFromLogText(logText, spec, lineLimit);
  ReplyList replies;
  LoadRepliesFromText(replies, logText);
  NgOutcome outcome;
  outcome.verdicts = filter.Judge(replies).verdicts;
  if (!outcome.AnyFiltered()) return BuildPopupTextFromLogText(logText, spec, lineLimit);
  // The log again with every filtered line replaced by a line of "あぼーん" fields; line 1 keeps
  // the title (the text after its last ">").
  std::string filtered;
  filtered.reserve(logText.size());
  LogLineReader reader(logText);
  int k = 0;
  for (std::string_view line; reader.Next(line);) {
    ++k;
    if (outcome.VerdictOf(k) == NgVerdict::kShown) {
      filtered.append(line);
    } else {
      for (int field = 0; field < 4; ++field) filtered.append(AboneText()).append("<>");
      if (k == 1) {
        const std::size_t gt = line.rfind('>');
        if (gt != std::string_view::npos) filtered.append(line.substr(gt + 1));
      }
    }
    filtered.push_back('\n');
  }
  const bool selectsFirst = spec.empty() || spec == kUnreadAnchor;
  ReplySelection selection;
  if (selectsFirst) {
    selection.Select(1);
  } else {
    selection = ParseReplySpec(spec);
  }
  const std::string effective =
      outcome.AnyHidden() ? SpecWithoutHidden(selection, outcome) : std::string(spec);
  return BuildPopupTextFromLogText(filtered, effective, lineLimit);
}

}  // namespace velkor
