#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/Clock.h"
#include "base/Result.h"

namespace velkor {

// Sets up Oniguruma's Shift_JIS tables, once per process (every later call gives the first
// result): false when that failed. Every user of Oniguruma calls it before compiling.
bool InitialiseOniguruma();

// Why RegexEngine::Prepare refused a search word. kNotLoaded carries no reason: a missing engine
// fails silently.
enum class PrepareCode { kOk, kNotLoaded, kCannotInitialise, kBadWord };

// The time a log search may spend in the expression matcher (RegexEngine::SetBudget).
inline constexpr std::chrono::seconds kSearchMatchBudget{5};

// How one bounded match came out.
enum class MatchResult { kNoMatch, kMatch, kTooCostly };

// The search word matcher: Oniguruma in its native Shift_JIS encoding (Ruby syntax). Subjects are
// CP932 bytes; a pattern never matches across the two bytes of one character, and letter-case
// folding, when asked for, touches ASCII letters only.
//
// Use: Load once, then for every search Prepare, Matches / FirstMatchingLine as often as needed,
// Finish. The three user-visible failures have fixed texts (NotFoundText, CannotInitialiseText,
// BadWordText); Prepare returns the last two as its reason, VersionText gives the first. Nothing is
// shown: the caller shows the reason.
//
// Matching is bounded, so no pattern and no text can stall the program:
// - each search in a subject gives up after kRetryLimit backtracking steps (counted work);
// - a subject longer than SubjectLimit() bytes is matched on its first SubjectLimit() bytes, cut
//   where a character starts (this bounds patterns whose cost grows with the square of the text);
// - with a budget set, the time spent in the expression matcher (CurrentClock) adds up over the
//   calls of Matches and FirstMatchingLine.
// Once a search gives up or the budget is spent, the engine is Exhausted(): Matches answers false
// and FirstMatchingLine 0 until the next Prepare. A plain word (no expression syntax) is found by a
// linear scan and never exhausts the engine.
class RegexEngine {
 public:
  RegexEngine() = default;
  RegexEngine(const RegexEngine&) = delete;
  RegexEngine& operator=(const RegexEngine&) = delete;
  ~RegexEngine();

  // Makes the engine available: the pattern is cleared. Oniguruma is linked into the program, so
  // this always succeeds; an engine that was never loaded behaves as a missing one.
  void Load();
  bool IsLoaded() const { return loaded_; }

  // The library's name, version and notice, each said once ("Oniguruma 6.9.8 : Copyright ...");
  // NotFoundText() when not loaded.
  std::string VersionText() const;

  // Compiles the search word (CP932). kNotLoaded (no reason) when the engine is not loaded;
  // kCannotInitialise (reason CannotInitialiseText()) when Oniguruma cannot start or runs out of
  // memory, kBadWord (reason BadWordText()) when it rejects the pattern; in both cases the previous
  // compiled pattern is gone. On success the word becomes Pattern().
  Result<PrepareCode> Prepare(std::string_view searchText, bool ignoreCase);

  // True when the prepared pattern matches somewhere in `text`. False when nothing is prepared or
  // the engine is exhausted.
  bool Matches(std::string_view text) const;

  // One bounded match of `text`, outside the budget: kTooCostly when the search gave up. Leaves the
  // engine's exhaustion alone. kNoMatch when nothing is prepared.
  MatchResult TryMatch(std::string_view text) const;

  // False when `text` cannot match: nothing is prepared, or the text lacks the plain text every
  // match holds (on any byte, so a hit that does not start a character still counts). Otherwise
  // true, always so when no such text is known or widths are folded. Costs a scan, no search.
  bool MayMatch(std::string_view text) const;
  // Whether some plain text is known to be held by every match, so MayMatch can rule texts out.
  bool HasRequiredText() const { return !needle_.empty(); }

  // The most backtracking steps one search may take.
  static constexpr unsigned long kRetryLimit = 100000;
  // Subjects are cut to this many bytes unless SetSubjectLimit says otherwise.
  static constexpr std::size_t kDefaultSubjectLimit = 8192;
  void SetSubjectLimit(std::size_t bytes) { subjectLimit_ = bytes; }
  std::size_t SubjectLimit() const { return subjectLimit_; }

  // The time Matches and FirstMatchingLine may spend in the expression matcher from the next
  // Prepare on; none (the default) leaves only the per-search bound.
  void SetBudget(std::optional<std::chrono::steady_clock::duration> budget) { budget_ = budget; }

  // True once a search gave up or the budget was spent since the last Prepare.
  bool Exhausted() const { return exhausted_; }

  // The 1-based number of the first line of `text` (lines as SplitLines cuts them: CR LF, LF or CR)
  // that Matches, or 0 when none does: always the answer of testing line by line, on any bytes. A
  // plain word is scanned over the whole text at once; an expression is first narrowed to the lines
  // holding the plain text all its matches hold, when it has one, and those lines are tried one by
  // one.
  int FirstMatchingLine(std::string_view text) const;

  // Drops the compiled pattern. Pattern() stays.
  void Finish();

  // The search word of the last successful Prepare.
  const std::string& Pattern() const { return pattern_; }

  // When set (before Prepare), full-width ASCII letters and digits in the pattern and in the text
  // match their half-width forms. Off by default.
  void SetFoldWidth(bool fold) { foldWidth_ = fold; }
  bool FoldWidth() const { return foldWidth_; }

  // "警告:検索ワードが重すぎるため途中で止めました.": what the search dialog and the CLI say when
  // the engine was exhausted during a search (its results are then incomplete).
  static const std::string& TooCostlyText();

  static const std::string& NotFoundText();
  static const std::string& CannotInitialiseText();
  static const std::string& BadWordText();

 private:
  bool MatchesRaw(std::string_view text) const;
  // One bounded search of the (already folded) subject, cut to the subject limit.
  MatchResult Search(std::string_view text) const;
  // Offset of the first occurrence of the needle at or after `from`, or npos; with `boundary` only
  // occurrences that start a character count.
  std::size_t FindNeedle(std::string_view text, std::size_t from, bool boundary) const;
  void SetNeedle(std::string_view text);

  bool loaded_ = false;
  bool foldWidth_ = false;
  std::string pattern_;
  // Set when the word holds no regular-expression syntax: then FindNeedle alone decides.
  bool literal_ = false;
  // The plain text looked for first: the whole word when literal_, else the text every match
  // holds (possibly empty). Width-folded like the word. needleOther_ has at each byte the other
  // letter case when case is ignored and the byte is an ASCII letter of its own (else the same
  // byte); a text byte matches either. rareAt_ is the needle's least common byte, scanned for.
  std::string needle_;
  std::string needleOther_;
  std::size_t rareAt_ = 0;
  void* regex_ = nullptr;       // OnigRegex
  void* matchParam_ = nullptr;  // OnigMatchParam with the retry limits
  std::size_t subjectLimit_ = kDefaultSubjectLimit;
  std::optional<std::chrono::steady_clock::duration> budget_;
  mutable std::chrono::steady_clock::duration spent_{};
  mutable bool exhausted_ = false;
};

// Full-width ASCII letters and digits (Ａ-Ｚ, ａ-ｚ, ０-９) of CP932 text turned into their
// half-width forms; everything else is copied. Line ends are untouched, so line numbers are kept.
std::string FoldFullWidthAscii(std::string_view sjis);

}  // namespace velkor
