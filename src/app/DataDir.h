#pragma once

#include <string>

namespace velkor {

// The data directory: everything the program keeps lives below it. "ini" holds configuration and
// lists, "log" the per-board logs. Paths use "/" and carry no trailing "/".

// The directory of the running executable (from /proc/self/exe), or "." when it cannot be found.
std::string ExecutableDir();

// Fixes AppDir for the run and creates "<dir>/ini" and "<dir>/log" when missing (failures are
// ignored; later file operations fail on their own). Relative paths are made absolute.
void InitDataDir(const std::string& dir);

// The data directory and its "log" and "ini" folders as fixed by InitDataDir (empty before).
const std::string& AppDir();
const std::string& LogDir();
std::string IniDir();

}  // namespace velkor
