#pragma once

// The board list (ini/board.ini) and the favourite boards (ini/subscrib.ini): one class, two
// process-wide instances. See docs/boards.md for the file format and the menu scanning rules.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/IniDocument.h"
#include "base/Result.h"

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

// Codes of the catalog's operations that can fail.
enum class CatalogCode {
  kOk,
  kNotOpen,   // the catalog is not open: nothing happened
  kNotAMenu,  // ImportMenu: the page names no board at all
  kNotFound,  // RemoveBoard: the catalog holds no such board
  kNotWritten,  // a file could not be written: the reason names it ("エラー:保存できません: "
                // + path); the catalog and its files are as they were before the call
  kLogsNotMoved,  // ReportMovedBoards: the favourites were written, some log folders could not
                  // move (the reason names them); they stay pending (CompletePendingMoves)
};
using CatalogResult = Result<CatalogCode>;

// A moved-board report and what the pass came to. The page tells what was written; it is empty when
// nothing was (result kNotOpen or kNotWritten).
struct MovedBoardsReport {
  std::string page;
  CatalogResult result;
};

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
// returns an empty result (or kNotOpen) until Open has run. Every write replaces the file
// crash-safely; an operation whose write fails returns kNotWritten and leaves the file, the memory
// copy and the tree as they were (BuildTree excepted, see there).
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

  // Scans a board menu page and replaces the whole list with the boards found, then writes the
  // file. kNotAMenu when the page names no board at all, kNotWritten when the file could not be
  // written: the list and the file then stay as they were. The page is CP932; a page that is not
  // valid CP932 but valid UTF-8 is converted first. Categories come from "<B>" headings, boards
  // from "<A HREF=url>name<" links whose URL ends in "/", whose host lies on the service's domains
  // and which IsSafeBoardUrl accepts. A name is stored so that it reads back the same (see
  // docs/boards.md). The tree is not touched (call BuildTree).
  CatalogResult ImportMenu(std::string_view page);

  // Rebuilds the tree from the list: the root, one category node per section in file order, one
  // board node per board. Sections without boards are erased from the list, and the file is then
  // written. The observer is told TreeRebuilt. kNotWritten when that write failed: the tree and the
  // memory copy are rebuilt all the same, the file keeps the empty sections (which name no board).
  CatalogResult BuildTree();

  // The tree as BuildTree, AddBoard and RemoveBoard left it (below the root). Empty before
  // BuildTree.
  const std::vector<BoardTreeCategory>& Tree() const { return tree_; }
  // Nodes in the tree, the root included (0 while the catalog is not open).
  std::size_t TreeNodeCount() const;

  // The stored URL of (category, name), or empty.
  std::string BoardUrl(std::string_view category, std::string_view name) const;

  // The board's log directory relative to LogDir (BoardLogFolder of its URL, app/UrlPaths.h:
  // "/host/board/"). Empty when the board has no URL, or when its URL names no folder of its own.
  std::string BoardLogDir(std::string_view category, std::string_view name) const;

  // The first board in file order whose URL equals `url` exactly. False (and both outputs emptied)
  // when there is none.
  bool FindByUrl(std::string_view url, std::string& category, std::string& name) const;
  // The stored URL of the first board in file order whose log directory (relative to LogDir, as
  // BoardLogDir gives it) is `logDir`; empty when there is none.
  std::string UrlOfLogDir(std::string_view logDir) const;

  // Adds the board to the tree (under the last category node labelled exactly `category`, or a new
  // one at the end) and to the list, then writes the file. Callers add only boards Contains denies;
  // an existing (category, name) only gets its URL replaced in the list.
  CatalogResult AddBoard(std::string_view category, std::string_view name, std::string_view url);

  // Removes the board from the list and writes the file, then removes the first matching board node
  // (exact labels) from the tree, and its category node when that is left empty. The emptied
  // section stays in the file until the next BuildTree. kNotFound, and nothing happens, when
  // Contains is false.
  CatalogResult RemoveBoard(std::string_view category, std::string_view name);

  // True when the category holds a board of that name.
  bool Contains(std::string_view category, std::string_view name) const;

  // Every board's URL: categories in file order, boards in file order, duplicates kept.
  std::vector<std::string> AllUrls() const;
  // Every board, in the same order.
  std::vector<BoardEntry> AllBoards() const;
  // Every category in file order (empty ones included) with its boards in file order.
  std::vector<std::vector<BoardEntry>> BoardsByCategory() const;

  // The menu of every category (file order) with its boards.
  std::vector<BoardMenuCategory> FillMenu() const;
  // The board names of one category (file order); empty when the category is missing.
  std::vector<std::string> FillCategoryMenu(std::string_view category) const;

  // Run on the favourites after a new menu was applied to `boardList`, before the moved-board pass:
  // a favourite whose URL `boardList` lacks but holds with only the scheme changed (http <-> https;
  // the board of the same category and name first, else the first in file order) takes that URL.
  // Its log folder is the same, so nothing moves and nothing is reported. Writes the file when a
  // URL changed.
  CatalogResult FollowSchemeChanges(const BoardCatalog& boardList);

  // Run on the favourites after a new menu was applied to `boardList`. For every favourite whose
  // URL is in `vanished`: when `boardList` holds a board of the same category and name, the
  // favourite takes the new URL and its log folder moves from the old URL's place to the new one's
  // (creating missing parents; when the new folder already exists, the files it lacks are moved
  // into it and the rest stays); otherwise it is reported as gone. Only a board's own folder moves:
  // URLs IsSafeBoardUrl refuses move nothing. The moves are first written to the pending-move list
  // beside the file, then the favourites file is written, then the folders move: a move cut short
  // (a crash, a failed rename) is finished by CompletePendingMoves. When the list or the favourites
  // file cannot be written, nothing changes (kNotWritten, no page). Returns the report page (CP932,
  // to be shown under MovedBoardsTitle()); categories, names and URLs go in through HtmlText
  // (app/HtmlPage.h). kLogsNotMoved when some folder could not move: the page is kept, the moves
  // stay pending.
  MovedBoardsReport ReportMovedBoards(const BoardCatalog& boardList,
                                      const std::vector<std::string>& vanished);
  // The title of the moved-board report's tab: "更新詳細".
  static const std::string& MovedBoardsTitle();

  // Finishes the moves of the pending-move list a moved-board pass left behind: a folder moves only
  // when a favourite names its new place, none names its old one, and the old folder exists. The
  // list is removed when every move is done or moot; a move that fails again stays listed. Run at
  // start (OpenCatalogs) and before a menu is applied. Nothing happens when the catalog is not
  // open.
  void CompletePendingMoves();

 private:
  // One folder move of a moved-board pass: relative log folders ("/host/board/").
  struct PendingMove {
    std::string from;
    std::string to;
  };

  // Writes the file; kNotWritten naming it when that fails.
  CatalogResult Save() const;
  // The pending-move list: "boardmove.lst" beside the file, one "from" TAB "to" line per move (a
  // folder name never holds a control byte).
  std::string PendingMovesPath() const;
  std::vector<PendingMove> ReadPendingMoves() const;
  // Writes the list, or removes the file when it is empty. False when that failed.
  bool WritePendingMoves(const std::vector<PendingMove>& moves) const;
  // Runs the moves whose conditions hold (see CompletePendingMoves); returns those that failed (the
  // old folder still there, the new one not).
  std::vector<PendingMove> RunMoves(const std::vector<PendingMove>& moves) const;

  bool open_ = false;
  std::string path_;
  IniDocument ini_;
  std::vector<BoardTreeCategory> tree_;
  BoardCatalogObserver* observer_ = nullptr;
};

// The process-wide board list and favourites. Built empty; OpenCatalogs opens them.
BoardCatalog& BoardList();
BoardCatalog& Favorites();
// Opens BoardList() on IniDir() + "/board.ini" and Favorites() on IniDir() + "/subscrib.ini" (a
// catalog already open stays as it is), then finishes moves a moved-board pass left pending
// (CompletePendingMoves). The trees are not built.
void OpenCatalogs();

// The URL of the board whose log folder is `logDir`, a board folder below LogDir given whole
// (LogDir() + "/host/board/") or relative ("/host/board/"): the stored URL of the first favourite
// with that folder, else of the first board of the board list, else RebuiltBoardUrl
// (app/UrlPaths.h). Empty for an empty `logDir`. Uses the process-wide catalogs as they are open.
std::string BoardUrlOfLogDir(std::string_view logDir);

}  // namespace velkor
