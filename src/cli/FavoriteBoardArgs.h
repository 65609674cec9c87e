#pragma once

#include <string>

namespace velkor {
class SubjectList;
}

namespace velkor::cli {

// Binds the configuration file and loads the settings, as the main window does at start-up.
void LoadConfiguration();

// Loads the configuration and the favourites and binds `list` to the favourite board CATEGORY NAME
// (both UTF-8), as the main window does when it shows the board. Returns kExitOk, or kExitFailure
// after printing why (no such favourite, a board URL that would leave the log directory, a board
// directory that cannot be made).
int BindFavoriteBoard(const std::string& category, const std::string& name, SubjectList& list);

// Prints the list's rows, one per line: the texts of columns 1 to 9 joined by TAB, in UTF-8.
void PrintThreadRows(const SubjectList& list);

}  // namespace velkor::cli
