#include "threads/PopupText.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "threads/DatRenderer.h"
#include "threads/LogLines.h"
#include "threads/MessageLinks.h"
#include "threads/ReplyChars.h"
#include "threads/ReplySpec.h"
#include "threads/TextReplace.h"

namespace velkor {
namespace {

// Collects pop-up lines (each followed by CR LF) until the line limit is reached.
class PopupLines {
 public:
  explicit PopupLines(int limit) : limit_(std::max(limit, 0)) {}

  bool Full() const { return count_ >= limit_; }

  void Add(std::string_view line) {
    if (Full()) return;
    AddUnbounded(line);
  }

  // A line that is kept whatever the limit until a reply is added over it (CutToLimit).
  void AddUnbounded(std::string_view line) {
    text_.append(line).append("\r\n");
    ++count_;
  }

  // Drops lines from the end until no more than the limit remain.
  void CutToLimit() {
    if (count_ <= limit_) return;
    std::size_t end = 0;
    for (int i = 0; i < limit_; ++i) end = text_.find("\r\n", end) + 2;
    text_.resize(end);
    count_ = limit_;
  }

  // The reply's heading line, then its message: "<br>" ends a line, and the message ends with an
  // empty line.
  void AddReply(int k, std::string_view name, std::string_view mail, std::string_view date,
                std::string_view message) {
    static const std::string nameLabel = Sjis(" 名前：");
    static const std::string mailLabel = Sjis(" メール：");
    static const std::string dateLabel = Sjis(" 投稿日：");
    heading_ = std::to_string(k);
    heading_.append(nameLabel).append(name).append(mailLabel).append(mail);
    heading_.append(dateLabel).append(date);
    Add(heading_);
    lineBreaks_.clear();
    AppendReplaced(lineBreaks_, message, "<br>", "\n");
    std::string_view rest = lineBreaks_;
    for (std::size_t lf = rest.find('\n'); lf != std::string_view::npos; lf = rest.find('\n')) {
      Add(rest.substr(0, lf));
      rest.remove_prefix(lf + 1);
    }
    Add(rest);
    Add("");
  }

  const std::string& Text() const { return text_; }

 private:
  int limit_;
  int count_ = 0;
  std::string text_;
  std::string heading_;
  std::string lineBreaks_;
};

// Trailing white space off, bold tags and all other markup out, entities to characters;
// `spaceEntity` is the entity that becomes a space.
std::string FinishPopup(std::string_view text, std::string_view spaceEntity) {
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20) text.remove_suffix(1);
  std::string out = StripTags(ReplaceAll(ReplaceAll(text, "<b>", ""), "</b>", ""));
  out = ReplaceAll(out, "&lt;", "<");
  out = ReplaceAll(out, "&gt;", ">");
  out = ReplaceAll(out, "&quot;", "\"");
  return ReplaceAll(out, spaceEntity, " ");
}

}  // namespace

std::string StripTags(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (true) {
    std::size_t open = text.find('<', pos);
    if (open == std::string_view::npos) break;
    out.append(text, pos, open - pos);
    std::size_t close = text.find('>', open + 1);
    if (close == std::string_view::npos) return out;
    pos = close + 1;
  }
  out.append(text, pos);
  return out;
}

std::string BuildPopupText(const ReplyList& replies, std::string_view spec, int lineLimit) {
  const ReplySelection selection = ParseReplySpec(spec);
  const int n = std::min(replies.Count(), kMaxPopupReplies);
  PopupLines lines(lineLimit);
  for (int k = 1; k <= n && !lines.Full(); ++k) {
    if (!selection.Has(k)) continue;
    lines.AddReply(k, replies.Name(k), replies.Mail(k), replies.Date(k), replies.Message(k));
  }
  return FinishPopup(lines.Text(), "&nbsp;");
}

std::string BuildPopupTextFromLogText(std::string_view logText, std::string_view spec,
                                      int lineLimit) {
  ReplySelection selection;
  if (spec.empty() || spec == kUnreadAnchor) {
    selection.Select(1);
  } else {
    selection = ParseReplySpec(spec);
  }
  std::vector<std::string_view> logLines;
  LogLineReader reader(logText);
  for (std::string_view line; logLines.size() < kMaxPopupReplies && reader.Next(line);) {
    logLines.push_back(line);
  }
  const int n = static_cast<int>(logLines.size());
  PopupLines lines(lineLimit);
  if (n > 0) {
    std::string_view first = logLines[0];
    std::size_t gt = first.rfind('>');
    lines.AddUnbounded(gt == std::string_view::npos ? std::string()
                                                    : NeutraliseField(first.substr(gt + 1)));
    lines.AddUnbounded("");
  }
  // The title lines stay when no reply is added; once one is, they count toward the limit.
  for (int k = 1; k <= n; ++k) {
    if (!selection.Has(k)) continue;
    if (lines.Full()) {
      lines.CutToLimit();
      break;
    }
    // The fields as the thread page shows them: no markup of a log's own cuts the text short.
    const DatFields fields = SplitDatLineRaw(logLines[static_cast<std::size_t>(k - 1)]);
    lines.AddReply(k, NeutraliseField(fields.name), NeutraliseField(fields.mail),
                   NeutraliseField(fields.date), NeutraliseField(fields.message));
  }
  return FinishPopup(lines.Text(), "&ampnbsp;");
}

std::string BuildPopupTextFromLog(const std::string& logPath, std::string_view spec,
                                  int lineLimit) {
  std::optional<std::string> text = ReadWholeFile(logPath);
  if (!text) return {};
  return BuildPopupTextFromLogText(*text, spec, lineLimit);
}

std::string BuildSelectionPopupText(const ReplyList& replies, std::string_view selectedText,
                                    int lineLimit) {
  std::string spec;
  spec.reserve(selectedText.size());
  for (std::size_t i = 0; i < selectedText.size();) {
    const std::size_t len = CharLength(selectedText, i);
    const char c = SelectionNumberChar(selectedText.substr(i, len));
    if (c == 0) return {};
    spec.push_back(c);
    i += len;
  }
  return BuildPopupText(replies, spec, lineLimit);
}

}  // namespace velkor
