#include "post/PostDrafts.h"

#include <algorithm>

#include "app/DataDir.h"
#include "app/UrlPaths.h"
#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "subjects/SubjectText.h"

namespace velkor {
namespace {

constexpr std::string_view kNewThreadFile = "newthread.txt";

// The one-line form of a field: CR and LF as blanks.
std::string OneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return line;
}

// Line breaks of any kind as LF.
std::string LfLines(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string CrLfLines(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : LfLines(text)) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace

std::string DraftPath(std::string_view boardUrl, std::string_view key) {
  const std::optional<std::string> folder = BoardLogFolder(boardUrl);
  if (!folder || AppDir().empty()) return {};
  if (key.empty()) return AppDir() + "/draft" + *folder + std::string(kNewThreadFile);
  const std::string datName = std::string(key) + ".dat";
  if (!IsThreadDatName(datName)) return {};
  return AppDir() + "/draft" + *folder + std::string(key) + ".txt";
}

ResultWith<SavedDraft> ReadDraft(const std::string& path) {
  SavedDraft draft;
  if (!FileExists(path)) return draft;
  const std::optional<std::string> text = ReadWholeFile(path);
  if (!text) return Failed(Sjis("エラー:読み込めません: ") + path);
  const std::string lines = LfLines(*text);
  std::size_t at = 0;
  while (at < lines.size()) {
    std::size_t end = lines.find('\n', at);
    if (end == std::string::npos) end = lines.size();
    const std::string_view line(lines.data() + at, end - at);
    at = end + 1;
    if (line.empty()) {
      draft.message = lines.substr(std::min(at, lines.size()));
      break;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, equals);
    const std::string value(line.substr(equals + 1));
    if (key == "Subject") {
      draft.subject = value;
    } else if (key == "Name") {
      draft.name = value;
    } else if (key == "Mail") {
      draft.mail = value;
    }
  }
  return draft;
}

Outcome SaveDraft(const std::string& path, const SavedDraft& draft) {
  if (draft.IsEmpty()) return RemoveDraft(path);
  const std::string folder = path.substr(0, path.rfind('/'));
  if (!MakeDirectories(folder)) return Failed(Sjis("エラー:フォルダを作れません: ") + folder);
  const std::string text = "Subject=" + OneLine(draft.subject) + "\r\nName=" + OneLine(draft.name) +
                           "\r\nMail=" + OneLine(draft.mail) + "\r\n\r\n" +
                           CrLfLines(draft.message);
  if (!ReplaceFile(path, text)) return Failed(Sjis("エラー:保存できません: ") + path);
  return {};
}

Outcome RemoveDraft(const std::string& path) {
  if (!RemoveFile(path)) return Failed(Sjis("エラー:削除できません: ") + path);
  return {};
}

}  // namespace velkor
