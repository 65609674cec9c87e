#include "cli/CliCommand.h"

#include <algorithm>
#include <cstdio>

#include "base/FileUtil.h"
#include "base/Integer.h"
#include "base/Sjis.h"

namespace velkor::cli {
namespace {

std::vector<CliCommand>& Table() {
  static std::vector<CliCommand> table;
  return table;
}

}  // namespace

CliCommandRegistrar::CliCommandRegistrar(const CliCommand& command) {
  auto& table = Table();
  auto at = std::lower_bound(table.begin(), table.end(), command,
                             [](const CliCommand& a, const CliCommand& b) {
                               return std::string_view(a.name) < std::string_view(b.name);
                             });
  table.insert(at, command);
}

const std::vector<CliCommand>& CliCommands() {
  return Table();
}

std::optional<std::string> CliArgs::TakeOption(std::string_view name) {
  for (std::size_t i = 0; i < args_.size(); ++i) {
    if (args_[i] != name) continue;
    if (i + 1 >= args_.size()) {
      if (error_.empty()) error_ = std::string(name) + " needs a value";
      args_.erase(args_.begin() + static_cast<std::ptrdiff_t>(i));
      return std::nullopt;
    }
    std::string value = args_[i + 1];
    args_.erase(args_.begin() + static_cast<std::ptrdiff_t>(i),
                args_.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    return value;
  }
  return std::nullopt;
}

std::optional<std::pair<std::string, std::string>> CliArgs::TakeOptionPair(std::string_view name) {
  for (std::size_t i = 0; i < args_.size(); ++i) {
    if (args_[i] != name) continue;
    const std::size_t end = std::min(i + 3, args_.size());
    std::optional<std::pair<std::string, std::string>> values;
    if (end == i + 3) {
      values.emplace(args_[i + 1], args_[i + 2]);
    } else if (error_.empty()) {
      error_ = std::string(name) + " needs two values";
    }
    args_.erase(args_.begin() + static_cast<std::ptrdiff_t>(i),
                args_.begin() + static_cast<std::ptrdiff_t>(end));
    return values;
  }
  return std::nullopt;
}

std::vector<std::string> CliArgs::TakeOptionAll(std::string_view name) {
  std::vector<std::string> values;
  while (auto value = TakeOption(name)) values.push_back(*value);
  return values;
}

bool CliArgs::TakeFlag(std::string_view name) {
  auto it = std::find(args_.begin(), args_.end(), name);
  if (it == args_.end()) return false;
  args_.erase(it);
  return true;
}

std::optional<long long> CliArgs::TakeIntOption(std::string_view name) {
  auto value = TakeOption(name);
  if (!value) return std::nullopt;
  auto parsed = ParseInteger<long long>(*value, IntegerSyntax::kDecimal);
  if (!parsed && error_.empty()) error_ = std::string(name) + " wants a whole number";
  return parsed;
}

const std::vector<std::string>& CliArgs::Positionals() {
  for (const std::string& arg : args_) {
    if (arg.size() > 2 && arg.compare(0, 2, "--") == 0 && error_.empty()) {
      error_ = "unknown option " + arg;
    }
  }
  return args_;
}

int UsageError(const CliCommand& command, const std::string& reason) {
  std::fprintf(stderr, "velkor-cli %s: %s\nusage: velkor-cli [OPTIONS] %s %s\n", command.name,
               reason.c_str(), command.name, command.usage);
  return kExitUsage;
}

bool CheckArgs(CliArgs& args, const CliCommand& command, std::size_t minPositionals,
               std::size_t maxPositionals) {
  std::size_t count = args.Positionals().size();
  if (!args.Error().empty()) {
    UsageError(command, args.Error());
    return false;
  }
  if (count < minPositionals || count > maxPositionals) {
    UsageError(command, count < minPositionals ? "too few arguments" : "too many arguments");
    return false;
  }
  return true;
}

int Failure(const std::string& reason) {
  std::fprintf(stderr, "velkor-cli: %s\n", reason.c_str());
  return kExitFailure;
}

int WritePage(const std::optional<std::string>& file, const std::string& bytes) {
  if (file) {
    if (!ReplaceFile(*file, bytes)) return Failure("cannot write " + *file);
    return kExitOk;
  }
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
      std::fflush(stdout) != 0) {
    return Failure("cannot write the page to standard output");
  }
  return kExitOk;
}

void PrintSjisLine(const std::string& sjis) {
  PrintLine(SjisToUtf8Lossy(sjis));
}

void PrintFields(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += '\t';
    std::string field = fields[i];
    // No byte below 0x40 is the second byte of a CP932 character.
    for (char& c : field) {
      if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    }
    line += SjisToUtf8Lossy(field);
  }
  PrintLine(line);
}

void PrintSjisError(const std::string& sjis) {
  std::string text = SjisToUtf8Lossy(sjis);
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  Failure(text);
}

void PrintLine(std::string_view utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fputc('\n', stdout);
}

}  // namespace velkor::cli
