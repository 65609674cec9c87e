#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

namespace velkor {

// The public suffixes: domains under which anyone may register a name ("com", "io", "co.jp",
// "github.io"), so that no cookie may be set for all of one. Read from a list in the format of
// the Public Suffix List: one rule per line ("co.jp", the wildcard "*.kobe.jp", the exception
// "!city.kobe.jp"), "//" comments, a rule ending at the first blank. Rules that are not plain
// ASCII are left out (hosts reach the cookie jar in their ASCII form). As in that list's own
// algorithm, a domain of one label that no rule names is a public suffix too.
class PublicSuffixes {
 public:
  explicit PublicSuffixes(std::string_view listText);

  // True when `domain` (ASCII, any letter case, no leading dot; one final dot is ignored) is a
  // public suffix by itself. Labels that are empty ("a..b", ".com") make no public suffix; the
  // cookie jar refuses such names before it asks.
  bool IsPublicSuffix(std::string_view domain) const;

  // The number of rules taken (for tests and the about page).
  std::size_t RuleCount() const { return rules_.size() + wildcards_.size() + exceptions_.size(); }

 private:
  std::unordered_set<std::string> rules_;       // "co.jp"
  std::unordered_set<std::string> wildcards_;   // "kobe.jp" for "*.kobe.jp"
  std::unordered_set<std::string> exceptions_;  // "city.kobe.jp" for "!city.kobe.jp"
};

// Where Debian's "publicsuffix" package puts the list.
inline constexpr std::string_view kSystemPublicSuffixFile =
    "/usr/share/publicsuffix/public_suffix_list.dat";

// The process-wide list, read once on first use: kSystemPublicSuffixFile when it can be read and
// holds rules, else a small built-in list (Japanese, British and other common second-level
// suffixes and well-known hosting domains) on top of the one-label rule.
const PublicSuffixes& SystemPublicSuffixes();

}  // namespace velkor
