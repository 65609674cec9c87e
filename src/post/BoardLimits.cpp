#include "post/BoardLimits.h"

#include <algorithm>
#include <set>

#include "base/FileUtil.h"
#include "base/IniDocument.h"
#include "base/Integer.h"
#include "base/Sjis.h"
#include "net/Fetch.h"
#include "net/HttpSession.h"

namespace velkor {
namespace {

constexpr std::string_view kSettingFile = "SETTING.TXT";
constexpr std::string_view kStateFile = "setting.ini";

// The message as it is measured: line breaks as one byte each, none at its end.
std::string MeasuredMessage(std::string_view message) {
  std::string out;
  for (std::size_t i = 0; i < message.size(); ++i) {
    if (message[i] == '\r') {
      out += '\n';
      if (i + 1 < message.size() && message[i + 1] == '\n') ++i;
    } else {
      out += message[i];
    }
  }
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

std::string_view NamePart(std::string_view name) {
  static const std::string wideSharp = Sjis("＃");
  const std::size_t sharp = std::min(SjisFindChar(name, '#'), SjisFind(name, wideSharp));
  return name.substr(0, sharp);
}

Result<PostCheck> TooLong(PostCheck code, std::string_view what, std::size_t size, int limit,
                          std::string_view unit) {
  return {code, Sjis(what) + " (" + std::to_string(size) + " " + Sjis(unit) + " / " + Sjis("上限") +
                    " " + std::to_string(limit) + ")"};
}

}  // namespace

BoardLimits ParseSettingText(std::string_view text) {
  BoardLimits limits;
  const std::pair<std::string_view, int*> numbers[] = {{"BBS_MESSAGE_COUNT", &limits.messageBytes},
                                                       {"BBS_LINE_NUMBER", &limits.lineNumber},
                                                       {"BBS_NAME_COUNT", &limits.nameBytes},
                                                       {"BBS_MAIL_COUNT", &limits.mailBytes},
                                                       {"BBS_SUBJECT_COUNT", &limits.subjectBytes}};
  for (std::string_view line : SplitLines(text)) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = TrimView(line.substr(0, equals));
    const std::string_view value = TrimView(line.substr(equals + 1));
    if (key == "BBS_NONAME_NAME") {
      limits.nonameName = std::string(value);
      continue;
    }
    for (const auto& [name, field] : numbers) {
      if (key != name) continue;
      if (auto number = ParseInteger(value, 0, 1'000'000, IntegerSyntax::kDigits)) {
        *field = static_cast<int>(*number);
      }
    }
  }
  return limits;
}

PostMeasure MeasurePost(const PostFields& fields) {
  const std::string message = MeasuredMessage(fields.message);
  PostMeasure measure;
  measure.messageBytes = message.size();
  measure.messageLines =
      message.empty()
          ? 0
          : static_cast<std::size_t>(std::count(message.begin(), message.end(), '\n')) + 1;
  measure.nameBytes = NamePart(fields.name).size();
  measure.mailBytes = fields.mail.size();
  measure.subjectBytes = fields.subject.size();
  measure.emptyMessage = TrimView(message).empty();
  return measure;
}

Result<PostCheck> CheckPost(const PostFields& fields, const BoardLimits& limits) {
  const PostMeasure measure = MeasurePost(fields);
  const auto over = [](std::size_t size, int limit) {
    return limit > 0 && size > static_cast<std::size_t>(limit);
  };
  if (measure.emptyMessage) return {PostCheck::kEmptyMessage, Sjis("本文がありません")};
  if (over(measure.messageBytes, limits.messageBytes)) {
    return TooLong(PostCheck::kMessageTooLong, "本文が長すぎます", measure.messageBytes,
                   limits.messageBytes, "バイト");
  }
  if (over(measure.messageLines, MaxMessageLines(limits))) {
    return TooLong(PostCheck::kTooManyLines, "本文の行が多すぎます", measure.messageLines,
                   MaxMessageLines(limits), "行");
  }
  if (over(measure.nameBytes, limits.nameBytes)) {
    return TooLong(PostCheck::kNameTooLong, "名前が長すぎます", measure.nameBytes, limits.nameBytes,
                   "バイト");
  }
  if (over(measure.mailBytes, limits.mailBytes)) {
    return TooLong(PostCheck::kMailTooLong, "メール欄が長すぎます", measure.mailBytes,
                   limits.mailBytes, "バイト");
  }
  if (fields.IsNewThread()) {
    if (TrimView(fields.subject).empty()) {
      return {PostCheck::kEmptySubject, Sjis("タイトルがありません")};
    }
    if (over(measure.subjectBytes, limits.subjectBytes)) {
      return TooLong(PostCheck::kSubjectTooLong, "タイトルが長すぎます", measure.subjectBytes,
                     limits.subjectBytes, "バイト");
    }
  }
  return {};
}

StoredBoardSetting ReadBoardSetting(const std::string& boardDir) {
  StoredBoardSetting stored;
  auto text = ReadWholeFile(boardDir + std::string(kSettingFile));
  if (!text) return stored;
  stored.text = std::move(*text);
  IniDocument state;
  state.Load(boardDir + std::string(kStateFile));
  stored.lastModified = state.ReadString(kSettingFile, "LastModified", "");
  return stored;
}

Outcome StoreBoardSetting(const std::string& boardDir, std::string_view text,
                          std::string_view lastModified) {
  static const std::string cannotSave = Sjis("エラー:保存できません: ");
  const std::string textPath = boardDir + std::string(kSettingFile);
  if (!ReplaceFile(textPath, text)) return Failed(cannotSave + textPath);
  const std::string statePath = boardDir + std::string(kStateFile);
  IniDocument state;
  state.WriteString(kSettingFile, "LastModified", lastModified);
  if (!state.Save(statePath)) return Failed(cannotSave + statePath);
  return {};
}

namespace {

// The boards whose SETTING.TXT was brought up to date in this run (their folders).
std::set<std::string>& CheckedBoards() {
  static std::set<std::string> boards;
  return boards;
}

}  // namespace

BoardLimits LoadBoardLimits(const std::string& boardUrl, const std::string& boardDir,
                            FetchContext& context, std::vector<std::string>& notes) {
  StoredBoardSetting stored = ReadBoardSetting(boardDir);
  if (CheckedBoards().contains(boardDir)) return ParseSettingText(stored.text);
  std::string text;
  std::string lastModified = stored.text.empty() ? std::string() : stored.lastModified;
  FetchOutcome fetched;
  {
    HttpSession session;
    session.SetStatusHandler(&context, StandardStatusHandler);
    const std::string folder = boardUrl.ends_with('/') ? boardUrl : boardUrl + "/";
    fetched = FetchFull(session, folder + std::string(kSettingFile), text, lastModified, false);
  }
  if (fetched.Code() == FetchResult::kNotModified) {
    CheckedBoards().insert(boardDir);
  } else if (fetched.IsOk() && !text.empty()) {
    CheckedBoards().insert(boardDir);
    if (Outcome kept = StoreBoardSetting(boardDir, text, lastModified); !kept.IsOk()) {
      notes.push_back(kept.Reason());
    }
    stored.text = std::move(text);
  }
  return ParseSettingText(stored.text);
}

}  // namespace velkor
