#include "post/BoardLimits.h"

#include <algorithm>

#include "base/FileUtil.h"
#include "base/IniDocument.h"
#include "base/Integer.h"
#include "base/Sjis.h"

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

Result<PostCheck> CheckPost(const PostFields& fields, const BoardLimits& limits) {
  const std::string message = MeasuredMessage(fields.message);
  if (TrimView(message).empty()) return {PostCheck::kEmptyMessage, Sjis("本文がありません")};
  if (limits.messageBytes > 0 && message.size() > static_cast<std::size_t>(limits.messageBytes)) {
    return TooLong(PostCheck::kMessageTooLong, "本文が長すぎます", message.size(),
                   limits.messageBytes, "バイト");
  }
  const std::size_t lines =
      static_cast<std::size_t>(std::count(message.begin(), message.end(), '\n')) + 1;
  if (limits.lineNumber > 0 && lines > 2 * static_cast<std::size_t>(limits.lineNumber)) {
    return TooLong(PostCheck::kTooManyLines, "本文の行が多すぎます", lines, 2 * limits.lineNumber,
                   "行");
  }
  const std::size_t name = NamePart(fields.name).size();
  if (limits.nameBytes > 0 && name > static_cast<std::size_t>(limits.nameBytes)) {
    return TooLong(PostCheck::kNameTooLong, "名前が長すぎます", name, limits.nameBytes, "バイト");
  }
  if (limits.mailBytes > 0 && fields.mail.size() > static_cast<std::size_t>(limits.mailBytes)) {
    return TooLong(PostCheck::kMailTooLong, "メール欄が長すぎます", fields.mail.size(),
                   limits.mailBytes, "バイト");
  }
  if (fields.IsNewThread()) {
    if (TrimView(fields.subject).empty()) {
      return {PostCheck::kEmptySubject, Sjis("タイトルがありません")};
    }
    if (limits.subjectBytes > 0 &&
        fields.subject.size() > static_cast<std::size_t>(limits.subjectBytes)) {
      return TooLong(PostCheck::kSubjectTooLong, "タイトルが長すぎます", fields.subject.size(),
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

}  // namespace velkor
