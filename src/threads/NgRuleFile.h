#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"
#include "threads/NgFilter.h"
#include "threads/NgRule.h"

namespace velkor {

// Why an operation on the NG rule file failed. Each failure's reason is the text the window shows
// (CP932): "エラー:{path} を読み込めませんでした." (kUnreadable), "エラー:{path} を書き込めません
// でした." (kUnwritable), the reason Check gives (kRefused), "エラー:そのNGルールはありません."
// (kNoSuchRule).
enum class NgRuleFileCode { kOk, kUnreadable, kUnwritable, kRefused, kNoSuchRule };

// The NG rule file in memory: "ng.txt" in the data directory's "ini" folder, CP932 text, one rule a
// line (docs/ng.md):
//
//   KIND <TAB> PATTERN [<TAB> SCOPE [<TAB> MODE]]
//
// KIND is word, name, mail, id or regex; SCOPE is "global" (the default) or a board as
// "host/board"; MODE is "abone" (the default) or "hidden", either followed by "+chain". Lines that
// start with "#" and blank lines are comments. A line that is none of these is damaged: it is
// skipped with a Problem and kept as it is when the file is written again, as are comments; rules
// added later are appended. Rules are numbered 1, 2, ... in file order.
class NgRuleFile {
 public:
  struct Problem {
    int line = 0;        // 1-based line of the file
    std::string reason;  // CP932, without the line number
  };

  // IniDir() + "/ng.txt".
  static std::string DefaultPath();

  // Reads the file at `path`. A missing file is an empty rule list and no failure. kUnreadable,
  // leaving the list empty, when the file exists but cannot be read.
  Result<NgRuleFileCode> Load(const std::string& path);

  // Replaces the contents with those of a file's text (lines end with CR LF, LF or CR).
  void Parse(std::string_view text);

  const std::vector<NgRule>& Rules() const { return rules_; }
  const std::vector<Problem>& Problems() const { return problems_; }

  // Whether `rule` can be a rule; the reason (CP932) when it cannot: an empty pattern, a TAB, CR,
  // LF or zero byte in it, a board that is not "host/board", or, for a regex rule, a pattern the
  // search engine refuses (then its own error text).
  static Outcome Check(const NgRule& rule);

  // Appends `rule` unless an equal rule exists. Returns its 1-based number (the existing one for a
  // duplicate); kRefused with Check's reason.
  ResultWith<int, NgRuleFileCode> Add(const NgRule& rule);

  // Removes rule `number` (1-based); kNoSuchRule when there is none.
  Result<NgRuleFileCode> Remove(int number);

  // The file's contents: every line as read (comments and damaged lines included) and the added
  // rules, each followed by CR LF. A list started from nothing opens with two comment lines that
  // describe the format.
  std::string Text() const;

  // Writes Text() to `path` crash-safely (ReplaceFile), creating the folder when missing.
  // kUnwritable when it cannot be written; the old file is then unchanged.
  Result<NgRuleFileCode> Save(const std::string& path) const;

 private:
  struct Line {
    std::string text;
    int rule = -1;  // index into rules_, or -1 for a comment or damaged line
  };

  std::vector<Line> lines_;
  std::vector<NgRule> rules_;
  std::vector<Problem> problems_;
};

// How a damaged line is reported (CP932): "ng.txt line {line} skipped: {reason}".
std::string NgProblemText(const NgRuleFile::Problem& problem);

// Takes each damaged line of a rule file that an edit reads.
using NgProblemSink = std::function<void(const NgRuleFile::Problem&)>;

// What an edit of the rule file came to.
struct NgRuleEdit {
  int number = 0;        // the rule's 1-based number (before its removal, for a removal)
  bool changed = false;  // false when an equal rule was there already: the file was not written
};

// The one edit of the rule file that the window and the CLI both make: reads the file at `path`
// afresh (its damaged lines go to `onProblem` when given), adds `rule` unless an equal rule is
// there, and writes the file crash-safely when it changed. kRefused for a rule NgRuleFile::Check
// refuses and for a regular expression too costly to match (NgRegexCostCheck); kUnreadable,
// kUnwritable as Load and Save give them. A failure leaves the file as it was.
ResultWith<NgRuleEdit, NgRuleFileCode> AddNgRuleToFile(const std::string& path, const NgRule& rule,
                                                       const NgProblemSink& onProblem = {});

// The same for removing rule `number` (1-based); kNoSuchRule when there is none.
ResultWith<NgRuleEdit, NgRuleFileCode> RemoveNgRuleFromFile(const std::string& path, int number,
                                                            const NgProblemSink& onProblem = {});

// The same for removing the rule equal to `rule`; kNoSuchRule when there is none.
ResultWith<NgRuleEdit, NgRuleFileCode> RemoveNgRuleFromFile(const std::string& path,
                                                            const NgRule& rule,
                                                            const NgProblemSink& onProblem = {});

// The filter for the thread log (or board directory) at `logPath`: the rules of the file at
// NgRuleFile::DefaultPath() that are global or belong to the board NgBoardOfLogPath finds. The
// file's damaged lines go to `problems` when given.
NgFilter LoadNgFilterFor(std::string_view logPath,
                         std::vector<NgRuleFile::Problem>* problems = nullptr);

}  // namespace velkor
