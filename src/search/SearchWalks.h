#pragma once

// The four search walks behind the search dialog. Each takes a prepared RegexEngine; the walks over
// logs and over all favourites also take a progress function. The walks that build a result page
// return it (CP932) and show nothing: the caller shows it under SearchResultTitle()
// (search/SearchPage.h).

#include <functional>
#include <optional>
#include <string>

namespace velkor {

class BoardCatalog;
class RegexEngine;
class SubjectList;

// Called between the items of a walk: `message` is null for a progress step, which sets the
// progress display to `position` of `maximum`. A non-zero answer stops the walk; the page then
// holds what was found so far.
using WalkProgress = std::function<int(const std::string* message, int position, int maximum)>;

// The dialog's progress function: shows progress steps through `showProgress` (may be empty), lets
// the user interface handle its pending events (Ui().ProcessEvents) and answers 1 once
// `cancelRequested` is set, else 0. `cancelRequested` must outlive the function.
WalkProgress MakeWalkProgress(std::function<void(int position, int maximum)> showProgress,
                              const bool& cancelRequested);

// Scope 0: removes from the shown rows of `list` every thread whose title does not match. No page.
void SearchShownTitles(SubjectList& list, const RegexEngine& engine);

// Scope 1: the stored logs of the board `list` is bound to, when that board (by its URL) is among
// `favorites`; the page holds the board's block under its favourite name. nullopt when the list is
// unbound or the board is no favourite. The progress function is called before each thread with
// (thread index, number of threads).
std::optional<std::string> SearchBoardLogs(const SubjectList& list, const BoardCatalog& favorites,
                                           const RegexEngine& engine, const WalkProgress& progress);

// Scope 2: titles of every board of `favorites` (categories and boards in file order). Reads each
// board's subject.ini; the page has one link per thread whose Title matches. The progress function
// is called after each board with (category index, number of categories).
std::string SearchFavoriteTitles(const BoardCatalog& favorites, const RegexEngine& engine,
                                 const WalkProgress& progress);

// Scope 3: stored logs of every favourite board. As scope 2, but each thread's stored log is read
// and the link ends in the number of its first matching line. The progress function is called after
// each thread whose log exists and after each board, with (10 x category index + 10 x board index /
// boards in the category, 10 x number of categories). Unreadable logs are skipped.
std::string SearchFavoriteLogs(const BoardCatalog& favorites, const RegexEngine& engine,
                               const WalkProgress& progress);

}  // namespace velkor
