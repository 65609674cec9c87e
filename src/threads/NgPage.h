#pragma once

// Pages and pop-ups of a thread that the NG rules filtered. A reply filtered as "あぼーん" renders
// through the same skin template as any reply, its number kept and every field reading "あぼーん"
// (so its name shows as a mailto link to "あぼーん", like a reply the board itself deleted); a
// hidden reply leaves only its page anchor "a{number}", so links to it land on the next reply; in
// pop-ups it is left out. When nothing is filtered, every result is byte for byte what the
// unfiltered operation gives.

#include <string>
#include <string_view>

#include "threads/NgFilter.h"
#include "threads/Skin.h"

namespace velkor {

// RenderPage of the outcome's replies, hidden replies reduced to their anchors.
std::string RenderFilteredPage(const Skin& skin, const NgOutcome& outcome, std::string_view title,
                               int firstUnread, int oldShown);

// BuildPopupText of the outcome's replies with hidden replies left out of the selection.
std::string BuildFilteredPopupText(const NgOutcome& outcome, std::string_view spec, int lineLimit);

// BuildPopupTextFromLogText with the filter's verdicts applied to the log's replies (line k is
// reply k): filtered replies read "あぼーん", hidden ones are left out of the selection. The title
// on top is kept.
std::string BuildFilteredPopupTextFromLogText(std::string_view logText, const NgFilter& filter,
                                              std::string_view spec, int lineLimit);

}  // namespace velkor
