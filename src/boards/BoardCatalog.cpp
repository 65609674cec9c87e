#include "boards/BoardCatalog.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/DataDir.h"
#include "app/Deployment.h"
#include "app/HtmlPage.h"
#include "app/UiHooks.h"
#include "app/UrlPaths.h"
#include "base/FileUtil.h"
#include "base/Sjis.h"

namespace velkor {
namespace {

// Reads list text the way the board lists are read: every line trimmed, and the key and the value
// of an entry each trimmed around the first "=".
void ParseListText(std::string_view text, IniDocument& ini) {
  std::string normal;
  normal.reserve(text.size());
  for (std::string_view raw : SplitLines(text)) {
    std::string_view line = TrimView(raw);
    std::size_t eq = line.find('=');
    bool section = line.size() >= 2 && line.front() == '[' && line.back() == ']';
    bool entry = !line.empty() && line.front() != ';' && !section && eq != std::string_view::npos;
    if (entry) {
      normal += TrimView(line.substr(0, eq));
      normal += '=';
      normal += TrimView(line.substr(eq + 1));
    } else {
      normal += line;
    }
    normal += "\r\n";
  }
  ini.Parse(normal);
}

bool IsLineBreak(char c) {
  return c == '\r' || c == '\n';
}

// A name taken from the menu page as it can stand on one line of the list: line breaks inside the
// heading or the link text are dropped.
std::string OneLineName(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (!IsLineBreak(c)) out += c;
  }
  return out;
}

bool HasLineBreak(std::string_view text) {
  return std::any_of(text.begin(), text.end(), IsLineBreak);
}

// The domain suffix as it stands in a board URL: "." + domain + "/".
std::string DomainSuffix(std::string_view domain) {
  return "." + std::string(domain) + "/";
}

// True when a link URL of the menu names a board of the service.
bool IsServiceBoardUrl(std::string_view url) {
  static const std::string primary = DomainSuffix(kPrimaryDomain);
  static const std::string sister = DomainSuffix(kSisterDomain);
  if (url.find(primary) != std::string_view::npos && url.size() > 7 && url[7] != 'w') return true;
  return url.find(sister) != std::string_view::npos;
}

// The full log directory of a relative one, without its final "/".
std::string FullLogDir(const std::string& relative) {
  std::string full = LogDir() + relative;
  while (full.size() > 1 && full.back() == '/') full.pop_back();
  return full;
}

// Moves a board's log directory to its new place. When the new directory exists already, the
// entries it lacks are moved into it one by one and the old directory is removed once empty, so no
// stored log is left behind under a URL no favourite names any more. Failures are ignored.
void MoveBoardLogs(const std::string& from, const std::string& to) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::create_directories(fs::path(to).parent_path(), ec);
  ec.clear();
  fs::rename(from, to, ec);
  if (!ec) return;
  if (!fs::is_directory(from, ec) || !fs::is_directory(to, ec)) return;
  std::vector<fs::path> entries;
  for (const fs::directory_entry& entry : fs::directory_iterator(from, ec)) {
    entries.push_back(entry.path());
  }
  for (const fs::path& entry : entries) {
    fs::path target = fs::path(to) / entry.filename();
    std::error_code entryError;
    if (!fs::exists(fs::symlink_status(target, entryError))) fs::rename(entry, target, entryError);
  }
  fs::remove(from, ec);
}

}  // namespace

bool IsSafeBoardUrl(std::string_view url) {
  std::string host;
  std::string path;
  if (!SplitUrl(url, host, path) || !IsSafePathComponent(host)) return false;
  if (path.empty()) return true;
  if (path.front() != '/') return false;
  std::string_view rest = std::string_view(path).substr(1);
  while (!rest.empty()) {
    std::size_t slash = rest.find('/');
    std::string_view segment = rest.substr(0, slash);
    if (!IsSafePathComponent(segment)) return false;
    if (slash == std::string_view::npos) break;
    rest.remove_prefix(slash + 1);
  }
  return true;
}

void BoardCatalog::Open(const std::string& path, BoardCatalogObserver* observer) {
  if (open_) return;
  open_ = true;
  path_ = path;
  observer_ = observer;
  if (auto text = ReadWholeFile(path)) ParseListText(*text, ini_);
}

bool BoardCatalog::Exists() const {
  return open_ && FileExists(path_);
}

bool BoardCatalog::Save() const {
  return ini_.Save(path_);
}

bool BoardCatalog::ImportMenu(std::string_view page) {
  if (!open_) return false;
  // The page ends at its first zero byte, as the scan reads it as a C string.
  page = page.substr(0, page.find('\0'));
  std::string lines;
  std::size_t at = page.find('<');
  while (at != std::string_view::npos) {
    std::string_view tag = page.substr(at + 1);
    std::size_t next = at + 1;
    if (tag.substr(0, 2) == "B>") {
      std::size_t start = at + 3;
      std::size_t end = page.find('<', start);
      lines += '[';
      lines +=
          OneLineName(page.substr(start, end == std::string_view::npos ? page.npos : end - start));
      lines += "]\r\n";
      if (end == std::string_view::npos) break;
      next = end + 1;
    } else if (tag.substr(0, 2) == "A ") {
      std::size_t urlStart = at + 8;
      if (urlStart > page.size()) break;
      std::size_t urlEnd = page.find('>', urlStart);
      if (urlEnd == std::string_view::npos) break;
      std::size_t nameEnd = page.find('<', urlEnd + 1);
      if (nameEnd == std::string_view::npos) break;
      std::string_view url = page.substr(urlStart, urlEnd - urlStart);
      if (page[urlEnd - 1] == '/' && IsServiceBoardUrl(url) && !HasLineBreak(url) &&
          IsSafeBoardUrl(url)) {
        lines += OneLineName(page.substr(urlEnd + 1, nameEnd - urlEnd - 1));
        lines += '=';
        lines += url;
        lines += "\r\n";
      }
      next = nameEnd + 1;
    }
    at = page.find('<', next);
  }
  ParseListText(lines, ini_);
  return Save();
}

void BoardCatalog::BuildTree() {
  if (!open_) return;
  tree_.clear();
  std::vector<std::string> empty;
  for (const IniDocument::Section& section : ini_.Sections()) {
    BoardTreeCategory category{section.name, {}};
    for (const IniDocument::Entry& entry : section.entries) {
      if (entry.hasValue) category.boards.push_back(entry.key);
    }
    if (category.boards.empty()) {
      empty.push_back(section.name);
    } else {
      tree_.push_back(std::move(category));
    }
  }
  for (const std::string& name : empty) ini_.EraseSection(name);
  if (!empty.empty()) Save();
  if (observer_ != nullptr) observer_->TreeRebuilt(*this);
}

std::size_t BoardCatalog::TreeNodeCount() const {
  if (!open_) return 0;
  std::size_t count = 1;
  for (const BoardTreeCategory& category : tree_) count += 1 + category.boards.size();
  return count;
}

std::string BoardCatalog::BoardUrl(std::string_view category, std::string_view name) const {
  if (!open_) return {};
  return ini_.ReadString(category, name, "");
}

std::string BoardCatalog::BoardLogDir(std::string_view category, std::string_view name) const {
  std::string url = BoardUrl(category, name);
  if (url.empty() || !IsSafeBoardUrl(url)) return {};
  return UrlToLogDir(url);
}

bool BoardCatalog::FindByUrl(std::string_view url, std::string& category, std::string& name) const {
  category.clear();
  name.clear();
  if (!open_) return false;
  for (const IniDocument::Section& section : ini_.Sections()) {
    for (const IniDocument::Entry& entry : section.entries) {
      if (entry.hasValue && entry.value == url) {
        category = section.name;
        name = entry.key;
        return true;
      }
    }
  }
  return false;
}

void BoardCatalog::AddBoard(std::string_view category, std::string_view name,
                            std::string_view url) {
  if (!open_) return;
  auto found = std::find_if(tree_.rbegin(), tree_.rend(),
                            [&](const BoardTreeCategory& node) { return node.label == category; });
  bool newCategory = found == tree_.rend();
  std::size_t index =
      newCategory ? tree_.size() : static_cast<std::size_t>(tree_.rend() - found) - 1;
  if (newCategory) tree_.push_back(BoardTreeCategory{std::string(category), {}});
  tree_[index].boards.emplace_back(name);
  ini_.WriteString(category, name, url);
  Save();
  if (observer_ != nullptr) {
    observer_->BoardAdded(*this, index, tree_[index].boards.size() - 1, newCategory);
  }
}

void BoardCatalog::RemoveBoard(std::string_view category, std::string_view name) {
  if (!Contains(category, name)) return;
  ini_.DeleteKey(category, name);
  Save();
  auto node = std::find_if(tree_.begin(), tree_.end(),
                           [&](const BoardTreeCategory& item) { return item.label == category; });
  if (node == tree_.end()) return;
  auto board = std::find(node->boards.begin(), node->boards.end(), name);
  if (board == node->boards.end()) return;
  std::size_t categoryIndex = static_cast<std::size_t>(node - tree_.begin());
  std::size_t boardIndex = static_cast<std::size_t>(board - node->boards.begin());
  node->boards.erase(board);
  bool categoryRemoved = node->boards.empty();
  if (categoryRemoved) tree_.erase(node);
  if (observer_ != nullptr) {
    observer_->BoardRemoved(*this, categoryIndex, boardIndex, categoryRemoved);
  }
}

bool BoardCatalog::Contains(std::string_view category, std::string_view name) const {
  return open_ && ini_.ValueExists(category, name);
}

std::vector<std::string> BoardCatalog::AllUrls() const {
  std::vector<std::string> urls;
  for (const IniDocument::Section& section : ini_.Sections()) {
    for (const IniDocument::Entry& entry : section.entries) {
      if (entry.hasValue) urls.push_back(entry.value);
    }
  }
  return urls;
}

std::vector<BoardEntry> BoardCatalog::AllBoards() const {
  std::vector<BoardEntry> boards;
  for (const IniDocument::Section& section : ini_.Sections()) {
    for (const IniDocument::Entry& entry : section.entries) {
      if (entry.hasValue) boards.push_back(BoardEntry{section.name, entry.key, entry.value});
    }
  }
  return boards;
}

std::vector<BoardMenuCategory> BoardCatalog::FillMenu() const {
  std::vector<BoardMenuCategory> menu;
  for (const IniDocument::Section& section : ini_.Sections()) {
    menu.push_back(BoardMenuCategory{section.name, FillCategoryMenu(section.name)});
  }
  return menu;
}

std::vector<std::string> BoardCatalog::FillCategoryMenu(std::string_view category) const {
  std::vector<std::string> boards;
  const IniDocument::Section* section = ini_.FindSection(category);
  if (section == nullptr) return boards;
  for (const IniDocument::Entry& entry : section->entries) {
    if (entry.hasValue) boards.push_back(entry.key);
  }
  return boards;
}

std::string BoardCatalog::ReportMovedBoards(const BoardCatalog& boardList,
                                            const std::vector<std::string>& vanished) {
  if (!open_) return {};
  static const std::string heading = Sjis("移転した板<br><br>");
  static const std::string separator = Sjis("：");
  static const std::string arrow = Sjis("→");
  static const std::string unknown = Sjis("→移転先不明？<br>");
  static const std::string title = Sjis("更新詳細");
  std::string page = std::string(kHtmlPageHead) + heading;
  for (const BoardEntry& board : AllBoards()) {
    if (std::find(vanished.begin(), vanished.end(), board.url) == vanished.end()) continue;
    page += board.category + separator + board.name + "<br>" + board.url + "<br>";
    std::string newUrl = boardList.BoardUrl(board.category, board.name);
    if (!newUrl.empty() && !board.url.empty()) {
      if (IsSafeBoardUrl(board.url) && IsSafeBoardUrl(newUrl)) {
        MoveBoardLogs(FullLogDir(UrlToLogDir(board.url)), FullLogDir(UrlToLogDir(newUrl)));
      }
      ini_.WriteString(board.category, board.name, newUrl);
      page += arrow + newUrl + "<br>";
    } else {
      page += unknown;
    }
    page += "<br>";
  }
  Save();
  page += kHtmlPageTail;
  Ui().ShowHtmlPage(page, title);
  return page;
}

BoardCatalog& BoardList() {
  static BoardCatalog catalog;
  return catalog;
}

BoardCatalog& Favorites() {
  static BoardCatalog catalog;
  return catalog;
}

void OpenCatalogs() {
  BoardList().Open(IniDir() + "/board.ini");
  Favorites().Open(IniDir() + "/subscrib.ini");
}

}  // namespace velkor
