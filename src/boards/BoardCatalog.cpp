#include "boards/BoardCatalog.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/DataDir.h"
#include "app/Deployment.h"
#include "app/HtmlPage.h"
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

// A board name as it can stand before the "=" of a list line and read back the same: one line,
// trimmed as the reader trims it, "=" written as the full-width "＝" (the first "=" ends the name
// when the line is read) and a leading ";" as "；" (it would make the line a comment). No byte
// below 0x40 is the second byte of a CP932 character, so the replacements are Shift_JIS-safe.
std::string BoardName(std::string_view text) {
  static const std::string equals = Sjis("＝");
  static const std::string semicolon = Sjis("；");
  const std::string line = OneLineName(text);
  std::string_view trimmed = TrimView(line);
  std::string out;
  out.reserve(trimmed.size());
  for (char c : trimmed) {
    if (c == '=') {
      out += equals;
    } else if (c == ';' && out.empty()) {
      out += semicolon;
    } else {
      out += c;
    }
  }
  return out;
}

bool HasLineBreak(std::string_view text) {
  return std::any_of(text.begin(), text.end(), IsLineBreak);
}

// True for a host below `domain` (a subdomain of it: the menu's boards never sit on the bare
// domain).
bool IsSubdomainOf(std::string_view host, std::string_view domain) {
  return host.size() > domain.size() && HostInDomain(host, domain);
}

// True when a link URL of the menu names a board of the service: an http or https URL whose host is
// a subdomain of the primary domain, its URL byte 7 (the first host byte after "http://") not "w",
// or of the sister domain.
bool IsServiceBoardUrl(std::string_view url) {
  const std::string scheme = UrlScheme(url);
  if (scheme != "http" && scheme != "https") return false;
  std::string host;
  std::string path;
  if (!SplitUrl(url, host, path)) return false;
  if (IsSubdomainOf(host, kPrimaryDomain) && url.size() > 7 && url[7] != 'w') return true;
  return IsSubdomainOf(host, kSisterDomain);
}

// True for text that is well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    auto byte = static_cast<unsigned char>(text[i]);
    std::size_t length = byte < 0x80                    ? 1
                         : byte >= 0xC2 && byte <= 0xDF ? 2
                         : byte >= 0xE0 && byte <= 0xEF ? 3
                         : byte >= 0xF0 && byte <= 0xF4 ? 4
                                                        : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    auto second = static_cast<unsigned char>(text[i + 1 < text.size() ? i + 1 : i]);
    if ((byte == 0xE0 && second < 0xA0) || (byte == 0xED && second > 0x9F) ||
        (byte == 0xF0 && second < 0x90) || (byte == 0xF4 && second > 0x8F)) {
      return false;
    }
    i += length;
  }
  return true;
}

// The menu page as CP932: a page that is not valid CP932 but is UTF-8 with non-ASCII text (mirrors
// serve such pages labelled Shift_JIS) is converted, characters CP932 lacks becoming "?".
std::string MenuPageAsSjis(std::string_view page) {
  const bool ascii = std::all_of(page.begin(), page.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii || SjisToUtf8(page) || !IsUtf8(page)) return std::string(page);
  return Utf8ToSjisLossy(page);
}

// The relative log folder of a board URL, ending in "/"; empty when the URL names no folder of its
// own.
std::string SafeLogDirOf(std::string_view url) {
  return BoardLogFolder(url).value_or(std::string());
}

CatalogResult NotOpen() {
  static const std::string reason = Sjis("エラー:一覧が開かれていません。");
  return {CatalogCode::kNotOpen, reason};
}

CatalogResult NotWritten(const std::string& path) {
  static const std::string cannotSave = Sjis("エラー:保存できません: ");
  return {CatalogCode::kNotWritten, cannotSave + path};
}

// The part of an http or https URL after its scheme; empty for any other URL.
std::string_view AfterHttpScheme(std::string_view url) {
  const std::string scheme = UrlScheme(url);
  if (scheme != "http" && scheme != "https") return {};
  return url.substr(scheme.size() + 3);
}

// True when the two URLs differ at most in their scheme, http or https.
bool SameButScheme(std::string_view a, std::string_view b) {
  std::string_view restA = AfterHttpScheme(a);
  return !restA.empty() && restA == AfterHttpScheme(b);
}

// The full log directory of a relative one, without its final "/".
std::string FullLogDir(const std::string& relative) {
  std::string full = LogDir() + relative;
  while (full.size() > 1 && full.back() == '/') full.pop_back();
  return full;
}

// Moves a board's log directory to its new place. When the new directory exists already, the
// entries it lacks are moved into it one by one and the old directory is removed once empty, so no
// stored log is left behind under a URL no favourite names any more. The caller looks at what is
// left.
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

CatalogResult BoardCatalog::Save() const {
  if (!ini_.Save(path_)) return NotWritten(path_);
  return {};
}

CatalogResult BoardCatalog::ImportMenu(std::string_view original) {
  if (!open_) return NotOpen();
  // The page ends at its first zero byte, as the scan reads it as a C string.
  const std::string converted = MenuPageAsSjis(original.substr(0, original.find('\0')));
  std::string_view page = converted;
  std::string lines;
  bool anyBoard = false;
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
        anyBoard = true;
        lines += BoardName(page.substr(urlEnd + 1, nameEnd - urlEnd - 1));
        lines += '=';
        lines += url;
        lines += "\r\n";
      }
      next = nameEnd + 1;
    }
    at = page.find('<', next);
  }
  // A page that names no board (a maintenance or error page, a portal) is no board menu.
  if (!anyBoard) {
    static const std::string notAMenu = Sjis("ボード一覧ではありません（板が見つかりません）。");
    return {CatalogCode::kNotAMenu, notAMenu};
  }
  IniDocument imported;
  ParseListText(lines, imported);
  if (!imported.Save(path_)) return NotWritten(path_);
  ini_ = std::move(imported);
  return {};
}

CatalogResult BoardCatalog::BuildTree() {
  if (!open_) return NotOpen();
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
  CatalogResult written = empty.empty() ? CatalogResult() : Save();
  if (observer_ != nullptr) observer_->TreeRebuilt(*this);
  return written;
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
  return SafeLogDirOf(BoardUrl(category, name));
}

std::string BoardCatalog::UrlOfLogDir(std::string_view logDir) const {
  std::string wanted(logDir);
  if (wanted.empty()) return {};
  if (wanted.back() != '/') wanted += '/';
  for (const BoardEntry& board : AllBoards()) {
    if (SafeLogDirOf(board.url) == wanted) return board.url;
  }
  return {};
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

CatalogResult BoardCatalog::AddBoard(std::string_view category, std::string_view name,
                                     std::string_view url) {
  if (!open_) return NotOpen();
  const IniDocument before = ini_;
  ini_.WriteString(category, name, url);
  if (CatalogResult written = Save(); !written.IsOk()) {
    ini_ = before;
    return written;
  }
  auto found = std::find_if(tree_.rbegin(), tree_.rend(),
                            [&](const BoardTreeCategory& node) { return node.label == category; });
  bool newCategory = found == tree_.rend();
  std::size_t index =
      newCategory ? tree_.size() : static_cast<std::size_t>(tree_.rend() - found) - 1;
  if (newCategory) tree_.push_back(BoardTreeCategory{std::string(category), {}});
  tree_[index].boards.emplace_back(name);
  if (observer_ != nullptr) {
    observer_->BoardAdded(*this, index, tree_[index].boards.size() - 1, newCategory);
  }
  return {};
}

CatalogResult BoardCatalog::RemoveBoard(std::string_view category, std::string_view name) {
  if (!open_) return NotOpen();
  if (!Contains(category, name)) {
    static const std::string notFound = Sjis("エラー:その板はありません。");
    return {CatalogCode::kNotFound, notFound};
  }
  const IniDocument before = ini_;
  ini_.DeleteKey(category, name);
  if (CatalogResult written = Save(); !written.IsOk()) {
    ini_ = before;
    return written;
  }
  auto node = std::find_if(tree_.begin(), tree_.end(),
                           [&](const BoardTreeCategory& item) { return item.label == category; });
  if (node == tree_.end()) return {};
  auto board = std::find(node->boards.begin(), node->boards.end(), name);
  if (board == node->boards.end()) return {};
  std::size_t categoryIndex = static_cast<std::size_t>(node - tree_.begin());
  std::size_t boardIndex = static_cast<std::size_t>(board - node->boards.begin());
  node->boards.erase(board);
  bool categoryRemoved = node->boards.empty();
  if (categoryRemoved) tree_.erase(node);
  if (observer_ != nullptr) {
    observer_->BoardRemoved(*this, categoryIndex, boardIndex, categoryRemoved);
  }
  return {};
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

std::vector<std::vector<BoardEntry>> BoardCatalog::BoardsByCategory() const {
  std::vector<std::vector<BoardEntry>> categories;
  for (const IniDocument::Section& section : ini_.Sections()) {
    std::vector<BoardEntry>& boards = categories.emplace_back();
    for (const IniDocument::Entry& entry : section.entries) {
      if (entry.hasValue) boards.push_back(BoardEntry{section.name, entry.key, entry.value});
    }
  }
  return categories;
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

CatalogResult BoardCatalog::FollowSchemeChanges(const BoardCatalog& boardList) {
  if (!open_) return NotOpen();
  const std::vector<BoardEntry> current = boardList.AllBoards();
  const IniDocument before = ini_;
  bool changed = false;
  for (const BoardEntry& board : AllBoards()) {
    auto same = [&](const BoardEntry& entry) { return entry.url == board.url; };
    if (std::any_of(current.begin(), current.end(), same)) continue;
    auto schemeOnly = [&](const BoardEntry& entry) { return SameButScheme(entry.url, board.url); };
    auto found = std::find_if(current.begin(), current.end(), [&](const BoardEntry& entry) {
      return schemeOnly(entry) && EqualsIgnoreAsciiCase(entry.category, board.category) &&
             EqualsIgnoreAsciiCase(entry.name, board.name);
    });
    if (found == current.end()) found = std::find_if(current.begin(), current.end(), schemeOnly);
    if (found == current.end()) continue;
    ini_.WriteString(board.category, board.name, found->url);
    changed = true;
  }
  if (!changed) return {};
  CatalogResult written = Save();
  if (!written.IsOk()) ini_ = before;
  return written;
}

std::string BoardCatalog::PendingMovesPath() const {
  const std::size_t slash = path_.rfind('/');
  return (slash == std::string::npos ? std::string() : path_.substr(0, slash + 1)) +
         "boardmove.lst";
}

std::vector<BoardCatalog::PendingMove> BoardCatalog::ReadPendingMoves() const {
  std::vector<PendingMove> moves;
  auto text = ReadWholeFile(PendingMovesPath());
  if (!text) return moves;
  for (std::string_view line : SplitLines(*text)) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) continue;
    moves.push_back(
        PendingMove{std::string(line.substr(0, tab)), std::string(line.substr(tab + 1))});
  }
  return moves;
}

bool BoardCatalog::WritePendingMoves(const std::vector<PendingMove>& moves) const {
  if (moves.empty()) {
    std::error_code ec;
    std::filesystem::remove(PendingMovesPath(), ec);
    return !ec;
  }
  std::string text;
  for (const PendingMove& move : moves) text += move.from + "\t" + move.to + "\r\n";
  return ReplaceFile(PendingMovesPath(), text);
}

std::vector<BoardCatalog::PendingMove> BoardCatalog::RunMoves(
    const std::vector<PendingMove>& moves) const {
  namespace fs = std::filesystem;
  std::vector<std::string> named;
  for (const BoardEntry& board : AllBoards()) named.push_back(SafeLogDirOf(board.url));
  auto isNamed = [&](const std::string& dir) {
    return std::find(named.begin(), named.end(), dir) != named.end();
  };
  std::vector<PendingMove> left;
  for (const PendingMove& move : moves) {
    // Only a board's own folder moves: both ends must be folders a safe board URL can name.
    if (SafeLogDirOf("http:/" + move.from) != move.from || !isNamed(move.to) ||
        isNamed(move.from) || move.from == move.to) {
      continue;
    }
    const std::string from = FullLogDir(move.from);
    const std::string to = FullLogDir(move.to);
    std::error_code ec;
    if (!fs::is_directory(from, ec)) continue;
    MoveBoardLogs(from, to);
    if (fs::is_directory(from, ec) && !fs::is_directory(to, ec)) left.push_back(move);
  }
  return left;
}

void BoardCatalog::CompletePendingMoves() {
  if (!open_) return;
  const std::vector<PendingMove> pending = ReadPendingMoves();
  if (pending.empty()) return;
  WritePendingMoves(RunMoves(pending));
}

const std::string& BoardCatalog::MovedBoardsTitle() {
  static const std::string title = Sjis("更新詳細");
  return title;
}

MovedBoardsReport BoardCatalog::ReportMovedBoards(const BoardCatalog& boardList,
                                                  const std::vector<std::string>& vanished) {
  if (!open_) return {{}, NotOpen()};
  static const std::string heading = Sjis("移転した板<br><br>");
  static const std::string separator = Sjis("：");
  static const std::string arrow = Sjis("→");
  static const std::string unknown = Sjis("→移転先不明？<br>");
  CompletePendingMoves();
  const std::vector<PendingMove> earlier = ReadPendingMoves();
  std::vector<PendingMove> moves = earlier;
  const IniDocument before = ini_;
  std::string page = std::string(kHtmlPageHead) + heading;
  for (const BoardEntry& board : AllBoards()) {
    if (std::find(vanished.begin(), vanished.end(), board.url) == vanished.end()) continue;
    page += HtmlText(board.category) + separator + HtmlText(board.name) + "<br>" +
            HtmlText(board.url) + "<br>";
    std::string newUrl = boardList.BoardUrl(board.category, board.name);
    if (!newUrl.empty() && !board.url.empty()) {
      const std::string from = SafeLogDirOf(board.url);
      const std::string to = SafeLogDirOf(newUrl);
      if (!from.empty() && !to.empty() && from != to) moves.push_back(PendingMove{from, to});
      ini_.WriteString(board.category, board.name, newUrl);
      page += arrow + HtmlText(newUrl) + "<br>";
    } else {
      page += unknown;
    }
    page += "<br>";
  }
  page += kHtmlPageTail;
  // The list of moves reaches the disk before the favourites name the new places, and the folders
  // move only after that: a crash at any point leaves a state CompletePendingMoves finishes.
  if (!WritePendingMoves(moves)) {
    ini_ = before;
    return {{}, NotWritten(PendingMovesPath())};
  }
  if (CatalogResult written = Save(); !written.IsOk()) {
    // The favourites file still names the old places: the logs stay where it finds them.
    ini_ = before;
    WritePendingMoves(earlier);
    return {{}, written};
  }
  const std::vector<PendingMove> left = RunMoves(moves);
  // A list that cannot be trimmed only names moves that are done or moot, which the next
  // CompletePendingMoves drops.
  WritePendingMoves(left);
  if (left.empty()) return {std::move(page), {}};
  static const std::string notMoved = Sjis("エラー:ログフォルダを移動できません:");
  std::string reason = notMoved;
  for (const PendingMove& move : left) reason += " " + FullLogDir(move.from);
  return {std::move(page), {CatalogCode::kLogsNotMoved, std::move(reason)}};
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
  Favorites().CompletePendingMoves();
}

std::string BoardUrlOfLogDir(std::string_view logDir) {
  if (logDir.empty()) return {};
  std::string relative(logDir);
  const std::string base = LogDir();
  if (relative.size() > base.size() && relative.compare(0, base.size(), base) == 0 &&
      relative[base.size()] == '/') {
    relative.erase(0, base.size());
  }
  if (relative.back() != '/') relative += '/';
  for (BoardCatalog* catalog : {&Favorites(), &BoardList()}) {
    if (!catalog->IsOpen()) continue;
    std::string url = catalog->UrlOfLogDir(relative);
    if (!url.empty()) return url;
  }
  return RebuiltBoardUrl(relative);
}

}  // namespace velkor
