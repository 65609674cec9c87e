#include "post/PostHistory.h"

#include <algorithm>

#include "app/DataDir.h"
#include "base/IniDocument.h"
#include "base/Sjis.h"

namespace velkor {
namespace {

constexpr std::string_view kNameSection = "Name";
constexpr std::string_view kMailSection = "Mail";

std::vector<std::string> ReadList(const IniDocument& ini, std::string_view section) {
  std::vector<std::string> list;
  for (std::size_t i = 1; i <= PostHistory::kSize; ++i) {
    const std::string value = ini.ReadString(section, std::to_string(i), "");
    if (!value.empty() && std::find(list.begin(), list.end(), value) == list.end()) {
      list.push_back(value);
    }
  }
  return list;
}

// Puts `given` (line breaks as blanks and without blanks at its ends, as the file keeps it)
// first in `list`; true when the list changed.
bool PutFirst(std::vector<std::string>& list, std::string_view given) {
  std::string text(given);
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  text = std::string(TrimView(text));
  if (text.empty() || (!list.empty() && list.front() == text)) return false;
  std::erase(list, text);
  list.insert(list.begin(), text);
  if (list.size() > PostHistory::kSize) list.resize(PostHistory::kSize);
  return true;
}

}  // namespace

PostHistory::PostHistory(std::string path) : path_(std::move(path)) {
  IniDocument ini;
  ini.Load(path_);
  names_ = ReadList(ini, kNameSection);
  mails_ = ReadList(ini, kMailSection);
}

Outcome PostHistory::Remember(std::string_view name, std::string_view mail) {
  const bool namesChanged = PutFirst(names_, name);
  const bool mailsChanged = PutFirst(mails_, mail);
  if (!namesChanged && !mailsChanged) return {};
  IniDocument ini;
  for (const auto& [section, list] : {std::pair{kNameSection, &names_}, {kMailSection, &mails_}}) {
    for (std::size_t i = 0; i < list->size(); ++i) {
      ini.WriteString(section, std::to_string(i + 1), (*list)[i]);
    }
  }
  if (!ini.Save(path_)) return Failed(Sjis("エラー:保存できません: ") + path_);
  return {};
}

std::string PostHistoryPath() {
  return IniDir() + "/posthistory.ini";
}

}  // namespace velkor
