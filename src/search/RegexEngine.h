#pragma once

#include <string>
#include <string_view>

#include "base/Result.h"

namespace velkor {

// Why RegexEngine::Prepare refused a search word. kNotLoaded carries no reason: a missing engine
// fails silently.
enum class PrepareCode { kOk, kNotLoaded, kCannotInitialise, kBadWord };

// The search word matcher: Oniguruma in its native Shift_JIS encoding (Ruby syntax). Subjects are
// CP932 bytes; a pattern never matches across the two bytes of one character, and letter-case
// folding, when asked for, touches ASCII letters only.
//
// Use: Load once, then for every search Prepare, Matches / FirstMatchingLine as often as needed,
// Finish. The three user-visible failures have fixed texts (NotFoundText, CannotInitialiseText,
// BadWordText); Prepare returns the last two as its reason, VersionText gives the first. Nothing is
// shown: the caller shows the reason.
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

  // "Oniguruma " + version + the library's notice; NotFoundText() when not loaded.
  std::string VersionText() const;

  // Compiles the search word (CP932). kNotLoaded (no reason) when the engine is not loaded;
  // kCannotInitialise (reason CannotInitialiseText()) when Oniguruma cannot start or runs out of
  // memory, kBadWord (reason BadWordText()) when it rejects the pattern; in both cases the previous
  // compiled pattern is gone. On success the word becomes Pattern().
  Result<PrepareCode> Prepare(std::string_view searchText, bool ignoreCase);

  // True when the prepared pattern matches somewhere in `text`. False when nothing is prepared.
  bool Matches(std::string_view text) const;

  // The 1-based number of the first line of `text` (lines as SplitLines cuts them: CR LF, LF or CR)
  // that Matches, or 0 when none does: always the answer of testing line by line, on any bytes. A
  // plain word is scanned over the whole text at once; an expression is first narrowed to the lines
  // holding the plain text all its matches hold (or, failing that, the lines where a search of the
  // whole text finds a match) and only those lines are tried one by one.
  int FirstMatchingLine(std::string_view text) const;

  // Drops the compiled pattern. Pattern() stays.
  void Finish();

  // The search word of the last successful Prepare.
  const std::string& Pattern() const { return pattern_; }

  // When set (before Prepare), full-width ASCII letters and digits in the pattern and in the text
  // match their half-width forms. Off by default.
  void SetFoldWidth(bool fold) { foldWidth_ = fold; }
  bool FoldWidth() const { return foldWidth_; }

  static const std::string& NotFoundText();
  static const std::string& CannotInitialiseText();
  static const std::string& BadWordText();

 private:
  bool MatchesRaw(std::string_view text) const;
  // Offset of the leftmost match in the whole text at or after `from`, or npos.
  std::size_t SearchFrom(std::string_view text, std::size_t from) const;
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
  void* regex_ = nullptr;  // OnigRegex
  // Set when matches depend on nothing outside them (see FirstMatchingLine).
  bool contextFree_ = false;
};

// Full-width ASCII letters and digits (Ａ-Ｚ, ａ-ｚ, ０-９) of CP932 text turned into their
// half-width forms; everything else is copied. Line ends are untouched, so line numbers are kept.
std::string FoldFullWidthAscii(std::string_view sjis);

}  // namespace velkor
