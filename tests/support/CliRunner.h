#pragma once

#include <string>
#include <vector>

#include "support/TempDataDir.h"

namespace velkor::test {

struct CliResult {
  int exitCode = -1;
  std::string out;  // stdout bytes
  std::string err;  // stderr bytes
};

// Runs velkor-cli with --data-dir set to the temporary data directory and the given arguments;
// `input` goes to its standard input.
CliResult RunCli(const TempDataDir& dir, const std::vector<std::string>& args,
                 const std::string& input = "");

}  // namespace velkor::test
