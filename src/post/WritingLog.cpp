#include "post/WritingLog.h"

#include "app/DataDir.h"
#include "base/FileUtil.h"
#include "base/Sjis.h"

namespace velkor {
namespace {

std::string OneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

std::string LocalTimeText(std::time_t time) {
  std::tm local{};
  localtime_r(&time, &local);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y/%m/%d %H:%M:%S", &local);
  return buffer;
}

}  // namespace

std::string WritingLogPath() {
  return LogDir() + "/kakikomi.txt";
}

std::string WritingLogText(const WritingLogEntry& entry) {
  std::string text = std::string(50, '-') + "\r\n";
  text += "Date : " + LocalTimeText(entry.time) + "\r\n";
  text += "Subject : " + OneLine(entry.subject) + "\r\n";
  text += "URL : " + OneLine(entry.url) + "\r\n";
  text += "FROM : " + OneLine(entry.name) + "\r\n";
  text += "MAIL : " + OneLine(entry.mail) + "\r\n";
  text += "\r\n";
  for (std::string_view line : SplitLines(entry.message)) {
    text.append(line);
    text += "\r\n";
  }
  text += "\r\n";
  return text;
}

Outcome AppendWritingLog(const std::string& path, const WritingLogEntry& entry) {
  static const std::string cannotWrite = Sjis("エラー:書き込み履歴を保存できません: ");
  if (!AppendToFile(path, WritingLogText(entry))) return Failed(cannotWrite + path);
  return {};
}

}  // namespace velkor
