#include "threads/StoredThreadPopups.h"

#include "threads/DatRenderer.h"
#include "threads/NgPage.h"
#include "threads/NgRuleFile.h"

namespace velkor {

std::string StoredThreadPopups::PopupText(std::string_view spec, int lineLimit) {
  if (!shown_) {
    ReplyList replies;
    LoadReplies(replies, logPath_);
    shown_ = LoadNgFilterFor(logPath_).Apply(replies);
  }
  return BuildFilteredPopupText(*shown_, spec, lineLimit);
}

}  // namespace velkor
