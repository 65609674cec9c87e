#include "threads/NgRuleFile.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/DataDir.h"
#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "search/RegexEngine.h"

namespace velkor {
namespace {

constexpr std::string_view kHeader[] = {
    "# NG rules, one a line: KIND<TAB>PATTERN[<TAB>SCOPE[<TAB>MODE]]",
    "# KIND: word, name, mail, id, regex; SCOPE: global or host/board; MODE: abone or hidden, "
    "+chain to hide the answers too"};

bool IsComment(std::string_view line) {
  const std::string_view trimmed = TrimView(line);
  return trimmed.empty() || trimmed.front() == '#';
}

// A board as "host/board": two non-empty parts around one "/", each a safe path component.
bool IsBoardScope(std::string_view board) {
  const std::size_t slash = board.find('/');
  if (slash == std::string_view::npos || slash == 0 || slash + 1 == board.size()) return false;
  const std::string_view host = board.substr(0, slash);
  const std::string_view name = board.substr(slash + 1);
  const auto bad = [](std::string_view part) {
    return part == "." || part == ".." ||
           part.find_first_of(std::string_view("/\\\t\r\n\0 ", 7)) != std::string_view::npos;
  };
  return !bad(host) && !bad(name);
}

// The rule a line holds, or the reason it holds none.
ResultWith<NgRule> ParseRuleLine(std::string_view line) {
  const std::vector<std::string_view> fields = SplitTabs(line);
  if (fields.size() < 2) return Failed("no TAB between kind and pattern");
  if (fields.size() > 4) return Failed("more than four fields");
  const std::optional<NgKind> kind = ParseNgKind(fields[0]);
  if (!kind) return Failed("unknown kind \"" + std::string(fields[0]) + "\"");
  NgRule rule;
  rule.kind = *kind;
  rule.pattern = std::string(fields[1]);
  if (fields.size() > 2 && fields[2] != "global") rule.board = std::string(fields[2]);
  if (fields.size() > 3) {
    std::string_view mode = fields[3];
    constexpr std::string_view kChain = "+chain";
    if (mode.size() > kChain.size() && mode.substr(mode.size() - kChain.size()) == kChain) {
      rule.chain = true;
      mode.remove_suffix(kChain.size());
    }
    if (mode == "hidden") {
      rule.hidden = true;
    } else if (mode != "abone") {
      return Failed("unknown mode \"" + std::string(fields[3]) + "\"");
    }
  }
  if (Outcome checked = NgRuleFile::Check(rule); !checked.IsOk()) return checked;
  return rule;
}

std::string RuleLine(const NgRule& rule) {
  std::string line(NgKindName(rule.kind));
  line.append("\t").append(rule.pattern).append("\t").append(NgScopeText(rule));
  line.append("\t").append(NgModeText(rule));
  return line;
}

}  // namespace

std::string NgRuleFile::DefaultPath() {
  return IniDir() + "/ng.txt";
}

Result<NgRuleFileCode> NgRuleFile::Load(const std::string& path) {
  lines_.clear();
  rules_.clear();
  problems_.clear();
  const Result<NgRuleFileCode> unreadable{
      NgRuleFileCode::kUnreadable, Sjis("エラー:") + path + Sjis(" を読み込めませんでした.")};
  if (!FileExists(path)) {
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::path(path), error) || error) return unreadable;
    return {};
  }
  const std::optional<std::string> text = ReadWholeFile(path);
  if (!text) return unreadable;
  Parse(*text);
  return {};
}

void NgRuleFile::Parse(std::string_view text) {
  lines_.clear();
  rules_.clear();
  problems_.clear();
  int number = 0;
  for (std::string_view line : SplitLines(text)) {
    ++number;
    Line entry{std::string(line), -1};
    if (!IsComment(line)) {
      ResultWith<NgRule> parsed = ParseRuleLine(line);
      if (parsed.IsOk()) {
        entry.rule = static_cast<int>(rules_.size());
        rules_.push_back(std::move(parsed).Value());
      } else {
        problems_.push_back({number, parsed.Reason()});
      }
    }
    lines_.push_back(std::move(entry));
  }
}

Outcome NgRuleFile::Check(const NgRule& rule) {
  if (rule.pattern.empty()) return Failed("empty pattern");
  if (rule.pattern.find_first_of(std::string_view("\t\r\n\0", 4)) != std::string::npos) {
    return Failed("TAB, line break or zero byte in the pattern");
  }
  if (!rule.board.empty() && !IsBoardScope(rule.board)) {
    return Failed("board \"" + rule.board + "\" is not host/board");
  }
  if (rule.kind == NgKind::kRegex) {
    RegexEngine engine;
    if (const Result<PrepareCode> prepared = PrepareNgRegex(engine, rule.pattern);
        !prepared.IsOk()) {
      return Failed(prepared.Reason());
    }
  }
  return {};
}

ResultWith<int, NgRuleFileCode> NgRuleFile::Add(const NgRule& rule) {
  if (const auto it = std::find(rules_.begin(), rules_.end(), rule); it != rules_.end()) {
    return static_cast<int>(it - rules_.begin()) + 1;
  }
  if (const Outcome checked = Check(rule); !checked.IsOk()) {
    return {NgRuleFileCode::kRefused, checked.Reason()};
  }
  if (lines_.empty()) {
    for (std::string_view comment : kHeader) lines_.push_back({std::string(comment), -1});
  }
  lines_.push_back({RuleLine(rule), static_cast<int>(rules_.size())});
  rules_.push_back(rule);
  return static_cast<int>(rules_.size());
}

Result<NgRuleFileCode> NgRuleFile::Remove(int number) {
  if (number < 1 || number > static_cast<int>(rules_.size())) {
    return {NgRuleFileCode::kNoSuchRule, Sjis("エラー:そのNGルールはありません.")};
  }
  const int index = number - 1;
  lines_.erase(std::find_if(lines_.begin(), lines_.end(),
                            [&](const Line& line) { return line.rule == index; }));
  for (Line& line : lines_) {
    if (line.rule > index) --line.rule;
  }
  rules_.erase(rules_.begin() + index);
  return {};
}

std::string NgRuleFile::Text() const {
  std::string text;
  for (const Line& line : lines_) text.append(line.text).append("\r\n");
  return text;
}

Result<NgRuleFileCode> NgRuleFile::Save(const std::string& path) const {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (!folder.empty()) MakeDirectories(folder.string());
  if (ReplaceFile(path, Text())) return {};
  return {NgRuleFileCode::kUnwritable, Sjis("エラー:") + path + Sjis(" を書き込めませんでした.")};
}

std::string NgProblemText(const NgRuleFile::Problem& problem) {
  return "ng.txt line " + std::to_string(problem.line) + " skipped: " + problem.reason;
}

namespace {

// Reads the rule file at `path` for an edit, handing its damaged lines to `onProblem`.
Result<NgRuleFileCode> LoadForEdit(NgRuleFile& file, const std::string& path,
                                   const NgProblemSink& onProblem) {
  Result<NgRuleFileCode> loaded = file.Load(path);
  if (loaded.IsOk() && onProblem) {
    for (const NgRuleFile::Problem& problem : file.Problems()) onProblem(problem);
  }
  return loaded;
}

ResultWith<NgRuleEdit, NgRuleFileCode> RemoveAndSave(NgRuleFile& file, const std::string& path,
                                                     int number) {
  if (Result<NgRuleFileCode> removed = file.Remove(number); !removed.IsOk()) return removed;
  if (Result<NgRuleFileCode> saved = file.Save(path); !saved.IsOk()) return saved;
  return NgRuleEdit{number, true};
}

}  // namespace

ResultWith<NgRuleEdit, NgRuleFileCode> AddNgRuleToFile(const std::string& path, const NgRule& rule,
                                                       const NgProblemSink& onProblem) {
  NgRuleFile file;
  if (Result<NgRuleFileCode> loaded = LoadForEdit(file, path, onProblem); !loaded.IsOk()) {
    return loaded;
  }
  if (rule.kind == NgKind::kRegex) {
    if (const Outcome cost = NgRegexCostCheck(rule.pattern); !cost.IsOk()) {
      return {NgRuleFileCode::kRefused, cost.Reason()};
    }
  }
  const std::size_t before = file.Rules().size();
  ResultWith<int, NgRuleFileCode> added = file.Add(rule);
  if (!added.IsOk()) return {added.Code(), added.Reason()};
  if (file.Rules().size() == before) return NgRuleEdit{added.Value(), false};
  if (Result<NgRuleFileCode> saved = file.Save(path); !saved.IsOk()) return saved;
  return NgRuleEdit{added.Value(), true};
}

ResultWith<NgRuleEdit, NgRuleFileCode> RemoveNgRuleFromFile(const std::string& path, int number,
                                                            const NgProblemSink& onProblem) {
  NgRuleFile file;
  if (Result<NgRuleFileCode> loaded = LoadForEdit(file, path, onProblem); !loaded.IsOk()) {
    return loaded;
  }
  return RemoveAndSave(file, path, number);
}

ResultWith<NgRuleEdit, NgRuleFileCode> RemoveNgRuleFromFile(const std::string& path,
                                                            const NgRule& rule,
                                                            const NgProblemSink& onProblem) {
  NgRuleFile file;
  if (Result<NgRuleFileCode> loaded = LoadForEdit(file, path, onProblem); !loaded.IsOk()) {
    return loaded;
  }
  const auto& rules = file.Rules();
  const auto found = std::find(rules.begin(), rules.end(), rule);
  return RemoveAndSave(file, path, static_cast<int>(found - rules.begin()) + 1);
}

NgFilter LoadNgFilterFor(std::string_view logPath, std::vector<NgRuleFile::Problem>* problems) {
  NgRuleFile file;
  // A file that cannot be read counts as no rule.
  static_cast<void>(file.Load(NgRuleFile::DefaultPath()));
  if (problems) *problems = file.Problems();
  return NgFilter(file.Rules(), NgBoardOfLogPath(logPath));
}

}  // namespace velkor
