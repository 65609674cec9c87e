#pragma once

#include <string>
#include <string_view>

namespace velkor {

// The search word matcher: Oniguruma in its native Shift_JIS encoding (Ruby syntax). Subjects are
// CP932 bytes; a pattern never matches across the two bytes of one character, and letter-case
// folding, when asked for, touches ASCII letters only.
//
// Use: Load once, then for every search Prepare, Matches / FirstMatchingLine as often as needed,
// Finish. The three user-visible failures have fixed texts (NotFoundText, CannotInitialiseText,
// BadWordText); Prepare shows the last two through Ui().ShowMessage, VersionText gives the first.
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

  // Compiles the search word (CP932). Returns false without a message when the engine is not
  // loaded; shows CannotInitialiseText() when Oniguruma cannot start or runs out of memory,
  // BadWordText() when it rejects the pattern; in both cases the previous compiled pattern is gone.
  // On success the word becomes Pattern().
  bool Prepare(std::string_view searchText, bool ignoreCase);

  // True when the prepared pattern matches somewhere in `text`. False when nothing is prepared.
  bool Matches(std::string_view text) const;

  // The 1-based number of the first line of `text` (lines as SplitLines cuts them: CR LF, LF or CR)
  // that Matches, or 0 when none does. Same answer as testing line by line, but a plain word is
  // scanned over the whole text at once, and most expressions are first searched for in the whole
  // text so that only lines holding a match are tried one by one.
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
  int FirstLiteralLine(std::string_view text) const;
  // Offset of the leftmost match in the whole text at or after `from`, or npos.
  std::size_t SearchFrom(std::string_view text, std::size_t from) const;
  // Offset of the first occurrence of leadWord_ at or after `from` that starts a character, or
  // npos.
  std::size_t FindLiteral(std::string_view text, std::size_t from) const;

  bool loaded_ = false;
  bool foldWidth_ = false;
  bool ignoreCase_ = false;
  std::string pattern_;
  // Set when the word holds no regular-expression syntax: then FindLiteral alone decides.
  bool literal_ = false;
  // The plain text every match begins with (the whole word when literal_, possibly empty
  // otherwise), as FindLiteral looks for it: width-folded, and lower-cased when ignoring case.
  std::string leadWord_;
  void* regex_ = nullptr;  // OnigRegex
  // Set when matches depend on nothing outside them (see FirstMatchingLine).
  bool contextFree_ = false;
};

// Full-width ASCII letters and digits (Ａ-Ｚ, ａ-ｚ, ０-９) of CP932 text turned into their
// half-width forms; everything else is copied. Line ends are untouched, so line numbers are kept.
std::string FoldFullWidthAscii(std::string_view sjis);

}  // namespace velkor
