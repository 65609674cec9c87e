#pragma once

// Board directories made from board URLs, refusing names that would leave the log directory.

#include <optional>
#include <string>
#include <string_view>

namespace velkor {

// LogDir() + BoardLogFolder(boardUrl) (app/UrlPaths.h): the board's folder, ending in "/"; nullopt
// for a URL that names no folder of its own.
std::optional<std::string> SafeBoardDir(std::string_view boardUrl);

// SafeBoardDir + "subject.ini", or nullopt.
std::optional<std::string> SubjectIniPathOf(std::string_view boardUrl);

}  // namespace velkor
