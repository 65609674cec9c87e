#pragma once

#include <string>
#include <vector>

namespace velkor {

// What the command line of the GUI asks for.
struct StartupOptions {
  std::string dataDir;                 // --data-dir DIR; empty: the executable's directory
  std::vector<std::string> connectTo;  // --connect-to HOST=ADDR:PORT, in order
  bool boardMenuSwitch = false;  // "b" after "-" or "/", any case: fetch the board menu silently
};

// Reads the arguments after the program name. Unknown arguments are ignored (the GUI toolkit takes
// its own). Returns false, with a one-line reason, when an option lacks its value.
bool ParseStartupOptions(const std::vector<std::string>& args, StartupOptions& options,
                         std::string& error);

// True for "-b", "/b", "-B" or "/B".
bool IsBoardMenuSwitch(const std::string& arg);

}  // namespace velkor
