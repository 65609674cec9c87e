#pragma once

// The board list (ini/board.ini) and the favourite boards (ini/subscrib.ini): one class, two
// process-wide instances. See docs/boards.md for the file format and the menu scanning rules.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/IniDocument.h"

namespace velkor {

// One board. A board is identified by (category, name); the URL is its value and always ends in
// "/".
struct BoardEntry {
  std::string category;
  std::string name;
  std::string url;
};

// A category node of the side-bar tree with its board nodes (labels, in tree order).
struct BoardTreeCategory {
  std::string label;
  std::vector<std::string> boards;
};

// A category item of the menus built by FillMenu: caption = category name, one board item per name.
// Board items take the click handler of the caller; category items have none.
struct BoardMenuCategory {
  std::string caption;
  std::vector<std::string> boards;
};

class BoardCatalog;

// Told about every change of a catalog's tree, so that a view bound to the catalog can follow it.
// Calls come after the change; indices are positions in BoardCatalog::Tree() (for a removal, the
// positions the removed nodes had).
class BoardCatalogObserver {
 public:
  virtual ~BoardCatalogObserver() = default;
  // The whole tree was rebuilt (BuildTree).
  virtual void TreeRebuilt(const BoardCatalog& catalog) = 0;
  // A board node was appended: Tree()[category].boards[board]; `newCategory` when its category node
  // was appended with it.
  virtual void BoardAdded(const BoardCatalog& catalog, std::size_t category, std::size_t board,
                          bool newCategory) = 0;
  // The board node at (category, board) was removed; `categoryRemoved` when its category node, left
  // without boards, was removed as well (the index then no longer exists in Tree()).
  virtual void BoardRemoved(const BoardCatalog& catalog, std::size_t category, std::size_t board,
                            bool categoryRemoved) = 0;
};

// One list of boards bound to one file, with the category tree a side-bar view shows.
//
// File: one section per category ("[category]"), one "name=url" line per board, CR LF, an empty
// line after each section. Lookups by category and name are case-insensitive (ASCII letters);
// lookups by URL and the matching of tree labels are exact. Every operation does nothing and
// returns an empty result until Open has run. Every write replaces the file crash-safely; a write
// that fails leaves the old file as it was and the memory copy changed.
class BoardCatalog {
 public:
  // The label of the tree's single root node.
  static constexpr std::string_view kRootLabel = "2ch";

  // Binds the catalog to the file and loads it when it exists; the tree stays empty until
  // BuildTree. `observer` (may be null, not owned) follows the tree from now on. A second call does
  // nothing.
  void Open(const std::string& path, BoardCatalogObserver* observer = nullptr);
  bool IsOpen() const { return open_; }
  const std::string& Path() const { return path_; }
  // Replaces the observer (null for none).
  void SetObserver(BoardCatalogObserver* observer) { observer_ = observer; }

  // True when the bound file exists on disk.
  bool Exists() const;

  // Scans a board menu page (CP932 bytes) and replaces the whole list with the boards found, then
  // writes the file. Categories come from "<B>" headings, boards from "<A HREF=url>name<" links
  // whose URL ends in "/" and lies on the service's domains; a link whose URL would name a
  // directory outside the log directory is skipped. The tree is not touched (call BuildTree).
  // Returns false when the catalog is not open or the file could not be written.
  bool ImportMenu(std::string_view page);

  // Rebuilds the tree from the list: the root, one category node per section in file order, one
  // board node per board. Sections without boards are erased from the list, and the file is then
  // written. The observer is told TreeRebuilt.
  void BuildTree();

  // The tree as BuildTree, AddBoard and RemoveBoard left it (below the root). Empty before
  // BuildTree.
  const std::vector<BoardTreeCategory>& Tree() const { return tree_; }
  // Nodes in the tree, the root included (0 while the catalog is not open).
  std::size_t TreeNodeCount() const;

  // The stored URL of (category, name), or empty.
  std::string BoardUrl(std::string_view category, std::string_view name) const;

  // The board's log directory relative to LogDir, "/" + host + URL path ("/host/board/"). Empty
  // when the board has no URL, or when its URL does not split or would name a directory outside the
  // log directory (see IsSafeBoardUrl).
  std::string BoardLogDir(std::string_view category, std::string_view name) const;

  // The first board in file order whose URL equals `url` exactly. False (and both outputs emptied)
  // when there is none.
  bool FindByUrl(std::string_view url, std::string& category, std::string& name) const;

  // Adds the board to the tree (under the last category node labelled exactly `category`, or a new
  // one at the end) and to the list, then writes the file. Callers add only boards Contains denies;
  // an existing (category, name) only gets its URL replaced in the list.
  void AddBoard(std::string_view category, std::string_view name, std::string_view url);

  // Removes the board from the list and writes the file, then removes the first matching board node
  // (exact labels) from the tree, and its category node when that is left empty. The emptied
  // section stays in the file until the next BuildTree. Nothing happens when Contains is false.
  void RemoveBoard(std::string_view category, std::string_view name);

  // True when the category holds a board of that name.
  bool Contains(std::string_view category, std::string_view name) const;

  // Every board's URL: categories in file order, boards in file order, duplicates kept.
  std::vector<std::string> AllUrls() const;
  // Every board, in the same order.
  std::vector<BoardEntry> AllBoards() const;

  // The menu of every category (file order) with its boards.
  std::vector<BoardMenuCategory> FillMenu() const;
  // The board names of one category (file order); empty when the category is missing.
  std::vector<std::string> FillCategoryMenu(std::string_view category) const;

  // Run on the favourites after a new menu was applied to `boardList`. For every favourite whose
  // URL is in `vanished`: when `boardList` holds a board of the same category and name, its log
  // directory is moved from the old URL's place to the new one's (creating missing parents; when
  // the new directory already exists, the files it lacks are moved into it and the rest stays) and
  // the favourite takes the new URL; otherwise it is reported as gone. Writes the favourites file,
  // shows the report page under the title "更新詳細" through Ui().ShowHtmlPage, and returns it
  // (CP932). Returns empty and does nothing when the catalog is not open.
  std::string ReportMovedBoards(const BoardCatalog& boardList,
                                const std::vector<std::string>& vanished);

 private:
  bool Save() const;

  bool open_ = false;
  std::string path_;
  IniDocument ini_;
  std::vector<BoardTreeCategory> tree_;
  BoardCatalogObserver* observer_ = nullptr;
};

// True for a board URL whose log directory stays below LogDir: the URL splits, the decoded host is
// a safe path component, and the decoded path is empty or begins with "/" and has no empty, "." or
// ".." segment and no "\" or zero byte (a final "/" is allowed, so is the path "/" alone).
bool IsSafeBoardUrl(std::string_view url);

// The process-wide board list and favourites. Built empty; the callers open them on
// IniDir() + "/board.ini" and IniDir() + "/subscrib.ini".
BoardCatalog& BoardList();
BoardCatalog& Favorites();
// Opens BoardList() on IniDir() + "/board.ini" and Favorites() on IniDir() + "/subscrib.ini" (a
// catalog already open stays as it is). The trees are not built.
void OpenCatalogs();

}  // namespace velkor
