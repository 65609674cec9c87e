#pragma once

#include <string>

namespace velkor {

// The data directory: everything the program keeps lives below it. "ini" holds configuration and
// lists, "log" the per-board logs. Paths use "/" and carry no trailing "/".

// The directory of the running executable (from /proc/self/exe), or "." when it cannot be found.
std::string ExecutableDir();

// The data directory to use when the command line names none, for a program in `exeDir`:
// 1. `exeDir` when it already holds a data directory (an "ini" or "log" folder): a portable copy,
//    or one that has run there before;
// 2. `exeDir` when `exeDirWritable` and it is not a folder named "bin" (a folder of programs, such
//    as /usr/bin, which root may write but must not fill with data): a build folder or an
//    unpacked copy;
// 3. otherwise the per-user folder `xdgDataHome` + "/velkor" when `xdgDataHome` is an absolute
//    path, else `home` + "/.local/share/velkor" when `home` is an absolute path;
// 4. `exeDir` when neither names a usable folder.
// Reads the file system only to look into `exeDir`; creates nothing.
std::string DefaultDataDir(const std::string& exeDir, bool exeDirWritable,
                           const std::string& xdgDataHome, const std::string& home);

// DefaultDataDir for this process: ExecutableDir(), whether this process may create files there,
// and the environment variables XDG_DATA_HOME and HOME.
std::string DefaultDataDir();

// Fixes AppDir for the run and creates "<dir>/ini" and "<dir>/log" when missing (failures are
// ignored; later file operations fail on their own). Relative paths are made absolute. The
// programs pass ExecutableDir() when no --data-dir is given: that directory is taken through
// DefaultDataDir(), so an installed program keeps its data in the user's folder; any other `dir`
// is used as given.
void InitDataDir(const std::string& dir);

// The data directory and its "log" and "ini" folders as fixed by InitDataDir (empty before).
const std::string& AppDir();
const std::string& LogDir();
std::string IniDir();

}  // namespace velkor
