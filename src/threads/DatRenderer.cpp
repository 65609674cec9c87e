#include "threads/DatRenderer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <optional>

#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "threads/LogLines.h"
#include "threads/MessageLinks.h"
#include "threads/TextReplace.h"

namespace velkor {
namespace {

struct LineFields {
  std::array<std::string_view, 4> field;
  int found = 0;  // separators found, 0 ... 4
};

LineFields SplitFields(std::string_view line) {
  LineFields result;
  std::size_t pos = 0;
  for (int i = 0; i < 4; ++i) {
    std::size_t sep = line.find("<>", pos);
    if (sep == std::string_view::npos) break;
    result.field[static_cast<std::size_t>(i)] = line.substr(pos, sep - pos);
    pos = sep + 2;
    result.found = i + 1;
  }
  return result;
}

std::string_view FieldOrBroken(const LineFields& fields, int i) {
  return fields.found > i ? fields.field[static_cast<std::size_t>(i)]
                          : std::string_view(BrokenFieldText());
}

DatFields MakeFields(const LineFields& fields) {
  return {std::string(FieldOrBroken(fields, 0)), std::string(FieldOrBroken(fields, 1)),
          std::string(FieldOrBroken(fields, 2)), std::string(FieldOrBroken(fields, 3))};
}

constexpr std::string_view kAmpNbsp = "&ampnbsp;";

// Appends `text` with every double quote as "&quot;", so that it stays inside a quoted attribute.
void AppendAttributeValue(std::string& out, std::string_view text) {
  AppendReplaced(out, text, "\"", "&quot;");
}

// Position of `tag` (at least two bytes) in `text` at or after `from`, or npos. Tags start with
// "<", which templates use often; the second byte rules out most candidates without a full compare.
std::size_t FindTag(std::string_view text, std::string_view tag, std::size_t from) {
  while (from < text.size()) {
    const void* hit = std::memchr(text.data() + from, tag[0], text.size() - from);
    if (hit == nullptr) break;
    const auto i = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
    if (text.size() - i >= tag.size() && text[i + 1] == tag[1] &&
        std::memcmp(text.data() + i, tag.data(), tag.size()) == 0) {
      return i;
    }
    from = i + 1;
  }
  return std::string_view::npos;
}

// Appends `text` to `out` with each `tag` from `first` on (its first occurrence) replaced by
// `value`, as long as the piece appended stays within `cap` bytes; occurrences beyond that stay as
// tag text.
void AppendSubstituted(std::string& out, std::string_view text, std::size_t first,
                       std::string_view tag, std::string_view value, std::size_t cap) {
  const std::size_t base = out.size();
  std::size_t pos = 0;
  for (std::size_t hit = first; hit != std::string_view::npos; hit = FindTag(text, tag, pos)) {
    out.append(text, pos, hit - pos);
    pos = hit + tag.size();
    const std::size_t rest = text.size() - pos;
    out.append(out.size() - base + value.size() + rest <= cap ? value : tag);
  }
  out.append(text, pos);
}

void Substitute(std::string& text, std::string& scratch, std::string_view tag,
                std::string_view value, std::size_t cap) {
  const std::size_t first = FindTag(text, tag, 0);
  if (first == std::string::npos) return;
  scratch.clear();
  AppendSubstituted(scratch, text, first, tag, value, cap);
  text.swap(scratch);
}

// Working buffers reused from reply to reply.
struct ReplyBuffers {
  std::string text;
  std::string scratch;
  std::string nameWithMail;
  std::string numberLink;
};

void AppendReply(std::string& out, std::string_view tmpl, std::string_view name,
                 std::string_view mail, std::string_view date, std::string_view message, int number,
                 ReplyBuffers& b) {
  char digits[16];
  const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, number);
  const std::string_view k(digits, ec == std::errc() ? static_cast<std::size_t>(end - digits) : 0);

  b.nameWithMail.clear();
  if (!mail.empty() && mail != " ") {
    b.nameWithMail.append("<a href=\"mailto:");
    AppendAttributeValue(b.nameWithMail, mail);
    b.nameWithMail.append("\"><b>");
    b.nameWithMail.append(name).append("</b></a>");
  } else {
    b.nameWithMail.append("<b>").append(name).append("</b>");
  }
  b.numberLink.clear();
  b.numberLink.append("<a href=\"menu:").append(k).append("\">").append(k).append("</a>");

  b.text.clear();
  b.text.append("<a name=\"a").append(k).append("\"></a>").append(tmpl);
  // Each tag of the template inserts at most one field-sized value; a field that itself holds tag
  // texts is expanded only within that bound. Templates with few tags get the bound of sixteen, so
  // a field repeating a tag text a few times expands fully whatever the template.
  constexpr std::size_t kMinTags = 16;
  const std::size_t tags =
      std::max(kMinTags, static_cast<std::size_t>(std::count(tmpl.begin(), tmpl.end(), '<')));
  const std::size_t cap =
      b.text.size() + tags * (name.size() + mail.size() + date.size() + message.size() + 64);
  Substitute(b.text, b.scratch, "<NUMBER/>", b.numberLink, cap);
  Substitute(b.text, b.scratch, "<PLAINNUMBER/>", k, cap);
  Substitute(b.text, b.scratch, "<MAILNAME/>", b.nameWithMail, cap);
  Substitute(b.text, b.scratch, "<NAME/>", name, cap);
  Substitute(b.text, b.scratch, "<MAIL/>", mail, cap);
  Substitute(b.text, b.scratch, "<DATE/>", date, cap);
  constexpr std::string_view kMessageTag = "<MESSAGE/>";
  AppendSubstituted(out, b.text, FindTag(b.text, kMessageTag, 0), kMessageTag, message, cap);
}

}  // namespace

const std::string& BrokenFieldText() {
  static const std::string text = Sjis("[ここ壊れています？]");
  return text;
}

DatFields SplitDatLine(std::string_view line) {
  LineFields fields = SplitFields(line);
  DatFields result = MakeFields(fields);
  if (fields.found == 4 && result.message.find(kAmpNbsp) != std::string::npos) {
    result.message = ReplaceAll(result.message, kAmpNbsp, "&nbsp;");
  }
  return result;
}

DatFields SplitDatLineRaw(std::string_view line) {
  return MakeFields(SplitFields(line));
}

void LoadRepliesFromText(ReplyList& replies, std::string_view logText) {
  replies.Clear();
  // A stored log's replies are rarely shorter than 200 bytes; this is only a first reservation.
  replies.Reserve(logText.size() / 200 + 1);
  std::string unescaped;
  std::string stripped;
  std::string neutral;
  std::string anchored;
  LogLineReader reader(logText);
  for (std::string_view line; reader.Next(line);) {
    const LineFields fields = SplitFields(line);
    std::string_view message = FieldOrBroken(fields, 3);
    if (fields.found == 4 && message.find(kAmpNbsp) != std::string_view::npos) {
      unescaped.clear();
      AppendReplaced(unescaped, message, kAmpNbsp, "&nbsp;");
      message = unescaped;
    }
    stripped.clear();
    AppendStrippedAnchorTags(stripped, message);
    neutral.clear();
    AppendNeutralisedMarkup(neutral, stripped);
    anchored.clear();
    AppendLinkedReplyAnchors(anchored, neutral);
    std::string linked;
    linked.reserve(anchored.size() + anchored.size() / 8 + 16);
    AppendLinkedUrls(linked, anchored);
    replies.Add(NeutraliseField(FieldOrBroken(fields, 0)),
                NeutraliseField(FieldOrBroken(fields, 1)),
                NeutraliseField(FieldOrBroken(fields, 2)), std::move(linked));
  }
}

bool LoadReplies(ReplyList& replies, const std::string& logPath) {
  replies.Clear();
  std::optional<std::string> text = ReadWholeFile(logPath);
  if (!text) return false;
  LoadRepliesFromText(replies, *text);
  return true;
}

std::string RenderReply(std::string_view tmpl, std::string_view name, std::string_view mail,
                        std::string_view date, std::string_view message, int number) {
  std::string out;
  ReplyBuffers buffers;
  AppendReply(out, tmpl, name, mail, date, message, number, buffers);
  return out;
}

std::string RenderPage(const Skin& skin, const ReplyList& replies, std::string_view title,
                       int firstUnread, int oldShown) {
  const int n = replies.Count();
  if (n == 0) return {};
  // 64-bit arithmetic: any int the caller passes is valid input.
  const long long read =
      std::max(0LL, std::min<long long>(firstUnread, static_cast<long long>(n) + 1) - 1);
  const long long start = (oldShown > 0 && oldShown < read) ? read - oldShown : 0;

  std::size_t estimate =
      skin.header.size() + title.size() + skin.bookmark.size() + skin.footer.size() + 64;
  const std::size_t perReply = std::max(skin.res.size(), skin.newRes.size()) + 128;
  for (const std::string& entry : replies.Entries()) estimate += entry.size();
  estimate += static_cast<std::size_t>(n) * perReply;

  std::string page;
  page.reserve(estimate);
  AppendReplaced(page, skin.header, "<&TITLE>", NeutraliseMarkup(title));
  ReplyBuffers buffers;
  auto append = [&](const std::string& tmpl, int k) {
    AppendReply(page, tmpl, replies.Name(k), replies.Mail(k), replies.Date(k), replies.Message(k),
                k, buffers);
  };
  if (start > 0) append(skin.res, 1);
  for (long long k = start + 1; k <= read; ++k) append(skin.res, static_cast<int>(k));
  page.append("<a name=\"").append(kUnreadAnchor).append("\"></a>").append(skin.bookmark);
  for (long long k = read + 1; k <= n; ++k) append(skin.newRes, static_cast<int>(k));
  page.append(skin.footer);
  return page;
}

std::string RenderPage(const ReplyList& replies, std::string_view title, int firstUnread,
                       int oldShown) {
  return RenderPage(AppSkin(), replies, title, firstUnread, oldShown);
}

std::string RenderThreadLog(const std::string& logPath, std::string_view title, int firstUnread,
                            int oldShown) {
  ReplyList replies;
  LoadReplies(replies, logPath);
  return RenderPage(replies, title, firstUnread, oldShown);
}

}  // namespace velkor
