#include "app/StartupOptions.h"

namespace velkor {

bool IsBoardMenuSwitch(const std::string& arg) {
  return arg.size() == 2 && (arg[0] == '-' || arg[0] == '/') && (arg[1] == 'b' || arg[1] == 'B');
}

bool ParseStartupOptions(const std::vector<std::string>& args, StartupOptions& options,
                         std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--data-dir" || arg == "--connect-to") {
      if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return false;
      }
      (arg == "--data-dir" ? options.dataDir : options.connectTo.emplace_back()) = args[++i];
    } else if (IsBoardMenuSwitch(arg)) {
      options.boardMenuSwitch = true;
    }
  }
  return true;
}

}  // namespace velkor
