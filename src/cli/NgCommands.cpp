#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/DataDir.h"
#include "base/Sjis.h"
#include "boards/BoardCatalog.h"
#include "cli/CliCommand.h"
#include "cli/FavoriteBoardArgs.h"
#include "threads/NgRule.h"
#include "threads/NgRuleFile.h"

namespace velkor::cli {
namespace {

int RunNg(CliArgs& args);

const CliCommand kNg = {
    "ng", "add KIND PATTERN [--board CATEGORY NAME] [--hidden] [--chain] | list | remove NUMBER",
    "manage the NG rules (KIND: word, name, mail, id, regex); list prints number, kind, pattern, "
    "scope and mode, TAB-separated",
    RunNg};

std::string RuleListLine(int number, const NgRule& rule) {
  return std::to_string(number) + "\t" + std::string(NgKindName(rule.kind)) + "\t" + rule.pattern +
         "\t" + NgScopeText(rule) + "\t" + NgModeText(rule);
}

void ReportProblem(const NgRuleFile::Problem& problem) {
  std::fprintf(stderr, "%s\n", SjisToUtf8Lossy(NgProblemText(problem)).c_str());
}

// The failure of a rule file operation as the CLI reports it.
int EditFailure(NgRuleFileCode code, const std::string& reason, const std::string& number = {}) {
  const std::string path = SjisToUtf8Lossy(NgRuleFile::DefaultPath());
  switch (code) {
    case NgRuleFileCode::kUnreadable:
      return Failure("cannot read " + path);
    case NgRuleFileCode::kUnwritable:
      return Failure("cannot write " + path);
    case NgRuleFileCode::kNoSuchRule:
      return Failure("no rule " + number);
    case NgRuleFileCode::kOk:
    case NgRuleFileCode::kRefused:
      break;
  }
  return Failure(SjisToUtf8Lossy(reason));
}

// The options of "ng add", taken before the positionals are looked at.
struct AddOptions {
  std::optional<std::pair<std::string, std::string>> board;
  bool hidden = false;
  bool chain = false;
  bool Any() const { return board || hidden || chain; }
};

int RunAdd(CliArgs& args, const AddOptions& options) {
  if (!CheckArgs(args, kNg, 3, 3)) return kExitUsage;
  const auto& board = options.board;
  const bool hidden = options.hidden;
  const bool chain = options.chain;
  NgRule rule;
  const auto kind = ParseNgKind(args.Positionals()[1]);
  if (!kind) return UsageError(kNg, "unknown kind " + args.Positionals()[1]);
  rule.kind = *kind;
  const auto pattern = Utf8ToSjis(args.Positionals()[2]);
  if (!pattern) return Failure("the pattern cannot be written in Shift_JIS");
  rule.pattern = *pattern;
  rule.hidden = hidden;
  rule.chain = chain;
  if (board) {
    LoadConfiguration();
    OpenCatalogs();
    const auto category = Utf8ToSjis(board->first);
    const auto name = Utf8ToSjis(board->second);
    const std::string url = category && name ? Favorites().BoardUrl(*category, *name) : "";
    rule.board = NgBoardOfUrl(url);
    if (rule.board.empty()) {
      return Failure("no favourite board " + board->first + " / " + board->second);
    }
  }
  const ResultWith<NgRuleEdit, NgRuleFileCode> added =
      AddNgRuleToFile(NgRuleFile::DefaultPath(), rule, ReportProblem);
  if (!added.IsOk()) return EditFailure(added.Code(), added.Reason());
  const int number = added.Value().number;
  PrintSjisLine(RuleListLine(number, rule));
  return kExitOk;
}

int RunList(CliArgs& args) {
  if (!CheckArgs(args, kNg, 1, 1)) return kExitUsage;
  NgRuleFile file;
  if (const Result<NgRuleFileCode> loaded = file.Load(NgRuleFile::DefaultPath()); !loaded.IsOk()) {
    return EditFailure(loaded.Code(), loaded.Reason());
  }
  for (const NgRuleFile::Problem& problem : file.Problems()) ReportProblem(problem);
  int number = 0;
  for (const NgRule& rule : file.Rules()) PrintSjisLine(RuleListLine(++number, rule));
  return kExitOk;
}

int RunRemove(CliArgs& args) {
  if (!CheckArgs(args, kNg, 2, 2)) return kExitUsage;
  const std::string& text = args.Positionals()[1];
  int number = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || number > 100000000)
      return UsageError(kNg, "NUMBER wants a rule number");
    number = number * 10 + (c - '0');
  }
  if (text.empty()) return UsageError(kNg, "NUMBER wants a rule number");
  const ResultWith<NgRuleEdit, NgRuleFileCode> removed =
      RemoveNgRuleFromFile(NgRuleFile::DefaultPath(), number, ReportProblem);
  if (!removed.IsOk()) return EditFailure(removed.Code(), removed.Reason(), text);
  return kExitOk;
}

int RunNg(CliArgs& args) {
  AddOptions options;
  options.board = args.TakeOptionPair("--board");
  options.hidden = args.TakeFlag("--hidden");
  options.chain = args.TakeFlag("--chain");
  const std::vector<std::string>& positionals = args.Positionals();
  const std::string action = positionals.empty() ? "" : positionals[0];
  if (action == "add") return RunAdd(args, options);
  if (!CheckArgs(args, kNg, 1, 2)) return kExitUsage;
  if (options.Any()) return UsageError(kNg, "--board, --hidden and --chain belong to add");
  if (action == "list") return RunList(args);
  if (action == "remove") return RunRemove(args);
  return UsageError(kNg, "wants add, list or remove");
}

const CliCommandRegistrar kRegisterNg(kNg);

}  // namespace
}  // namespace velkor::cli
