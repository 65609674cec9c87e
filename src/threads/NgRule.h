#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "search/RegexEngine.h"

namespace velkor {

// What an NG rule looks at in a reply.
enum class NgKind {
  kWord,   // the message as the reader sees it (markup removed, entities decoded), substring
  kName,   // the name as the reader sees it (a trip's markup removed), substring
  kMail,   // the mail field, substring
  kId,     // the ID of the date field (ReplyIdOf), whole
  kRegex,  // the message as for kWord, Oniguruma in Shift_JIS (RegexEngine), letter case counts
};

// One NG rule. Texts are CP932. A rule hides every reply it matches: as "あぼーん" (the reply
// keeps its number, its fields read "あぼーん") or, when `hidden`, leaving nothing of it on the
// page. With `chain`, replies that answer a reply this rule hid are hidden the same way, and so are
// the replies answering those.
struct NgRule {
  NgKind kind = NgKind::kWord;
  std::string pattern;  // never empty; no TAB, CR, LF or zero byte
  std::string board;    // empty: every board; otherwise the board's scope (NgBoardScope)
  bool hidden = false;
  bool chain = false;

  bool operator==(const NgRule&) const = default;
};

// "word", "name", "mail", "id", "regex"; and back (nullopt for anything else).
std::string_view NgKindName(NgKind kind);
std::optional<NgKind> ParseNgKind(std::string_view name);

// The scope text of a rule: "global", or the board as "host/board".
std::string NgScopeText(const NgRule& rule);

// The mode text of a rule: "abone" or "hidden", followed by "+chain" for chained rules.
std::string NgModeText(const NgRule& rule);

// The board of a log path or board directory below LogDir() ("<LogDir>/host/board/key.dat" or
// "<LogDir>/host/board/") as rules name it: "host/board". Relative paths are taken from the
// current directory. Empty for a path outside LogDir() or without both parts.
std::string NgBoardOfLogPath(std::string_view path);

// The board of a board URL ("http://host/board/") as rules name it; empty when the URL does not
// split or names no board.
std::string NgBoardOfUrl(std::string_view url);

// Compiles `pattern` (CP932) into `engine` (loading it first) for a regex rule, letter case
// counting. A refused pattern gives the search engine's own reason (CP932).
Result<PrepareCode> PrepareNgRegex(RegexEngine& engine, std::string_view pattern);

}  // namespace velkor
