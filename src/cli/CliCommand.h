#pragma once

// The command table of velkor-cli. Each command lives in a file of this folder and registers itself
// with a static CliCommandRegistrar; `velkor-cli help` lists them in name order.
//
// Conventions every command follows: data on stdout in UTF-8 (or a page's own bytes, to --page FILE
// or stdout); status texts on stderr in UTF-8, one per line; exit 0 on success, 1 on failure with a
// one-line reason on stderr, 2 on a usage error.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velkor::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// The arguments after the command name. Options are taken out first, then the positionals remain.
class CliArgs {
 public:
  explicit CliArgs(std::vector<std::string> args) : args_(std::move(args)) {}

  // Takes "--name VALUE"; nullopt when absent. A missing value is a usage error (see Error).
  std::optional<std::string> TakeOption(std::string_view name);
  // Takes "--name VALUE1 VALUE2"; nullopt when absent. Missing values are a usage error.
  std::optional<std::pair<std::string, std::string>> TakeOptionPair(std::string_view name);
  // Takes every "--name VALUE", in order.
  std::vector<std::string> TakeOptionAll(std::string_view name);
  // Takes "--name"; true when it was there.
  bool TakeFlag(std::string_view name);
  // Takes an integer option; a value that is no decimal integer (optional sign, digits, within the
  // range of long long) is a usage error.
  std::optional<long long> TakeIntOption(std::string_view name);
  // What is left: the positionals. An argument still starting with "--" is a usage error.
  const std::vector<std::string>& Positionals();
  // The first usage error met, or empty.
  const std::string& Error() const { return error_; }

 private:
  std::vector<std::string> args_;
  std::string error_;
};

using CliHandler = int (*)(CliArgs& args);

struct CliCommand {
  const char* name;
  const char* usage;  // arguments after the name, for help
  const char* summary;
  CliHandler run;
};

struct CliCommandRegistrar {
  explicit CliCommandRegistrar(const CliCommand& command);
};

const std::vector<CliCommand>& CliCommands();

// Helpers for the conventions above.
int UsageError(const CliCommand& command, const std::string& reason);
// Checks earlier option errors and the number of positionals; on a usage error prints it (exit code
// kExitUsage is then the command's result) and returns false.
bool CheckArgs(CliArgs& args, const CliCommand& command, std::size_t minPositionals,
               std::size_t maxPositionals);
int Failure(const std::string& reason);  // reason in UTF-8
// Writes a page's bytes to FILE when given, else to stdout. Failure to write is exit 1.
int WritePage(const std::optional<std::string>& file, const std::string& bytes);
// Prints a CP932 text as a UTF-8 line on stdout.
void PrintSjisLine(const std::string& sjis);
// Prints CP932 fields as one UTF-8 line on stdout, TAB-separated: always fields.size() fields.
// Each field is converted on its own (a broken sequence becomes U+FFFD and never takes the
// separator with it); a TAB, CR or LF inside a field becomes a blank.
void PrintFields(const std::vector<std::string>& fields);
// Prints a CP932 text as a one-line reason on stderr ("velkor-cli: " + text).
void PrintSjisError(const std::string& sjis);
// Prints a UTF-8 line on stdout.
void PrintLine(std::string_view utf8);

}  // namespace velkor::cli
