#pragma once

// The four search walks behind the search dialog. Each takes a prepared RegexEngine and a progress
// function; the walks that build a result page show it through Ui().ShowHtmlPage under the title
// "検索結果" and also return it.

#include <functional>
#include <string>

namespace velkor {

class RegexEngine;

// Called between the items of a walk: `message` is null for a progress step, which sets the
// progress display to `position` of `maximum`. A non-zero answer stops the walk; the page then
// holds what was found so far.
using SearchProgress = std::function<int(const std::string* message, int position, int maximum)>;

// The dialog's progress function: shows progress steps through `showProgress`, lets the user
// interface handle its pending events (Ui().ProcessEvents) and answers 1 once `cancelRequested` is
// set, else 0. `cancelRequested` must outlive the function.
SearchProgress MakeSearchProgress(std::function<void(int position, int maximum)> showProgress,
                                  const bool& cancelRequested);

// Titles of every favourite board: reads ini/subscrib.ini afresh and each board's subject.ini, and
// shows the page with one link per thread whose Title matches. The progress function is called
// after each board with (category index, number of categories).
std::string SearchFavoriteTitles(const RegexEngine& engine, const SearchProgress& progress);

// Stored logs of every favourite board: as SearchFavoriteTitles, but each thread's stored log is
// read and the link ends in the number of the first matching line. The progress function is called
// after each thread whose log exists and after each board, with (10 x category index + 10 x board
// index / boards in the category, 10 x number of categories). Unreadable logs are skipped.
std::string SearchFavoriteLogs(const RegexEngine& engine, const SearchProgress& progress);

}  // namespace velkor
