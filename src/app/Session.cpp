#include "app/Session.h"

#include <algorithm>
#include <string_view>

#include "app/DataDir.h"
#include "app/UrlPaths.h"
#include "base/IniDocument.h"

namespace velkor {
namespace {

constexpr char kSession[] = "Session";

bool AllDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsSafeFolder(std::string_view folder) {
  if (folder.empty()) return false;
  for (std::size_t slash; (slash = folder.find('/')) != std::string_view::npos;) {
    if (!IsSafePathComponent(folder.substr(0, slash))) return false;
    folder.remove_prefix(slash + 1);
  }
  return IsSafePathComponent(folder);
}

bool IsDatName(std::string_view name) {
  static constexpr std::string_view kDat = ".dat";
  return name.size() > kDat.size() && name.substr(name.size() - kDat.size()) == kDat &&
         AllDigits(name.substr(0, name.size() - kDat.size()));
}

bool IsSessionAnchor(std::string_view anchor) {
  return anchor == "midoku" ||
         (anchor.size() > 1 && anchor[0] == 'a' && AllDigits(anchor.substr(1)));
}

std::string TabSection(std::size_t index) {
  return "Tab" + std::to_string(index + 1);
}

}  // namespace

std::string SessionPath() {
  return IniDir() + "/session.ini";
}

Session LoadSession(const std::string& path) {
  Session session;
  IniDocument ini;
  if (!ini.Load(path)) return session;
  session.category = ini.ReadString(kSession, "Category", "");
  session.board = ini.ReadString(kSession, "Board", "");
  session.maximized = ini.ReadBool(kSession, "Maximized", false);
  const long long active = ini.ReadInteger(kSession, "ActiveTab", -1);
  for (std::size_t index = 0; ini.SectionExists(TabSection(index)); ++index) {
    const std::string section = TabSection(index);
    SessionTab tab{ini.ReadString(section, "Folder", ""), ini.ReadString(section, "Dat", ""),
                   ini.ReadString(section, "Anchor", ""), ini.ReadString(section, "Title", "")};
    const bool valid =
        IsSafeFolder(tab.folder) && IsDatName(tab.datName) && IsSessionAnchor(tab.anchor);
    if (static_cast<long long>(index) == active && valid) {
      session.activeTab = static_cast<int>(session.tabs.size());
    }
    if (valid) session.tabs.push_back(std::move(tab));
  }
  return session;
}

bool SaveSession(const std::string& path, const Session& session) {
  IniDocument ini;
  ini.WriteString(kSession, "Category", session.category);
  ini.WriteString(kSession, "Board", session.board);
  ini.WriteInteger(kSession, "ActiveTab", session.activeTab);
  ini.WriteBool(kSession, "Maximized", session.maximized);
  for (std::size_t index = 0; index < session.tabs.size(); ++index) {
    const SessionTab& tab = session.tabs[index];
    const std::string section = TabSection(index);
    ini.WriteString(section, "Folder", tab.folder);
    ini.WriteString(section, "Dat", tab.datName);
    ini.WriteString(section, "Anchor", tab.anchor);
    ini.WriteString(section, "Title", tab.title);
  }
  return ini.Save(path);
}

}  // namespace velkor
