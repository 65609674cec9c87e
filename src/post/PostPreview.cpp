#include "post/PostPreview.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "base/Sjis.h"
#include "post/StoredPostText.h"
#include "threads/DatRenderer.h"
#include "threads/MessageLinks.h"
#include "threads/TextReplace.h"

namespace velkor {
namespace {

std::string StoredName(std::string_view name, std::string_view nonameName) {
  static const std::string wideSharp = Sjis("＃");
  const std::size_t sharp = std::min(SjisFindChar(name, '#'), SjisFind(name, wideSharp));
  const std::string_view part = name.substr(0, std::min(sharp, name.size()));
  std::string stored = part.empty() ? std::string(nonameName) : StoredPostText(part, " ");
  if (sharp < name.size()) stored += Sjis(" ◆…");
  return stored;
}

std::string StoredDate(std::time_t now) {
  static const std::string weekdays[] = {Sjis("日"), Sjis("月"), Sjis("火"), Sjis("水"),
                                         Sjis("木"), Sjis("金"), Sjis("土")};
  std::tm tm{};
  localtime_r(&now, &tm);
  char head[48];
  char tail[48];
  std::snprintf(head, sizeof head, "%04d/%02d/%02d(", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  std::snprintf(tail, sizeof tail, ") %02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
  return head + weekdays[tm.tm_wday % 7] + tail;
}

}  // namespace

std::string PostPreviewPage(const Skin& skin, std::string_view title, const PostFields& fields,
                            int number, std::string_view nonameName, std::time_t now) {
  const std::string line = StoredName(fields.name, nonameName) + "<>" +
                           StoredPostText(fields.mail, " ") + "<>" + StoredDate(now) + "<> " +
                           StoredPostText(fields.message, " <br> ") + " <>";
  ReplyList replies;
  LoadRepliesFromText(replies, line);
  std::string page;
  AppendReplaced(page, skin.header, "<&TITLE>", NeutraliseMarkup(title));
  if (replies.Count() == 1) {
    page += RenderReply(skin.newRes, replies.Name(1), replies.Mail(1), replies.Date(1),
                        replies.Message(1), number);
  }
  page += skin.footer;
  return page;
}

}  // namespace velkor
