#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"

namespace velkor {

// One image rule: links that `pattern` matches show the image at `imageUrl`. Both URL texts are
// templates: "$0" is the whole match, "$1" ... "$9" the pattern's groups, "$$" a "$".
struct ImageRule {
  std::string pattern;   // Oniguruma (CapturePattern), over the link; never empty
  std::string imageUrl;  // starts with "http://" or "https://"
  std::string referer;   // empty: no Referer; else as imageUrl
};

// The image rule file in memory: "imagerules.txt" in the data directory's "ini" folder, CP932 text,
// one rule a line (docs/images.md):
//
//   PATTERN <TAB> IMAGE-URL [<TAB> REFERER]
//
// Lines that start with "#" (after blanks) and blank lines are comments. Any other line that is no
// valid rule is damaged: it is skipped and reported with its line number, as the NG rule file does.
// The user edits the file by hand; the program never rewrites it.
class ImageRuleFile {
 public:
  struct Problem {
    int line = 0;        // 1-based line of the file
    std::string reason;  // without the line number
  };

  // IniDir() + "/imagerules.txt".
  static std::string DefaultPath();

  // The file the program ships: the format in two comment lines and one example rule, which maps a
  // video page to its thumbnail. CP932, CR LF.
  static std::string_view DefaultText();

  // Reads the file at `path`. A missing file counts as DefaultText() (so the example works until
  // the user writes a file of their own: an empty file has no rule). A file that exists but cannot
  // be read is a failure and leaves no rule.
  Outcome Load(const std::string& path);

  // Replaces the rules with those of a file's text (lines end with CR LF, LF or CR).
  void Parse(std::string_view text);

  const std::vector<ImageRule>& Rules() const { return rules_; }
  const std::vector<Problem>& Problems() const { return problems_; }

  // Why `rule` cannot be a rule, or the empty string when it can: an empty pattern, a TAB, line
  // break or zero byte in a field, a pattern Oniguruma refuses (its own message), a URL template
  // that does not start with "http://" or "https://", holds a byte no link may hold, refers to a
  // group the pattern does not have, or has a "$" that is neither "$0" ... "$9" nor "$$".
  static std::string Check(const ImageRule& rule);

 private:
  std::vector<ImageRule> rules_;
  std::vector<Problem> problems_;
};

// How a damaged line is reported: "imagerules.txt line {line} skipped: {reason}".
std::string ImageRuleProblemText(const ImageRuleFile::Problem& problem);

// The template `text` with its "$n" and "$$" replaced from `groups` (a missing group is empty).
// The template must have passed ImageRuleFile::Check.
std::string ExpandImageTemplate(std::string_view text, const std::vector<std::string>& groups);

}  // namespace velkor
