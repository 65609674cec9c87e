#pragma once

// Board directories made from board URLs, refusing names that would leave the log directory.

#include <optional>
#include <string>
#include <string_view>

namespace velkor {

// LogDir() + UrlToLogDir(boardUrl), ending in "/", when IsSafeBoardUrl (app/UrlPaths.h) holds;
// nullopt otherwise.
std::optional<std::string> SafeBoardDir(std::string_view boardUrl);

// SafeBoardDir + "subject.ini", or nullopt.
std::optional<std::string> SubjectIniPathOf(std::string_view boardUrl);

}  // namespace velkor
