#pragma once

#include <concepts>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

namespace velkor {

// The program's one integer reader. Every number read from a file, a header, the network or the
// command line goes through it, so every number is range-checked the same way.
enum class IntegerSyntax {
  kDecimal,  // an optional '+' or '-', then decimal digits
  kDigits,   // decimal digits only (no sign)
  kIni,      // as the INI files have always held them: an optional '-', then decimal digits or
             // hexadecimal ones after "0x", "0X" or "$"
};

// The number that makes up all of `text` in `syntax`, when it lies within [min, max]; nullopt for
// anything else (an empty text, blanks, a stray byte, a value out of range).
std::optional<std::int64_t> ParseInteger(std::string_view text, std::int64_t min, std::int64_t max,
                                         IntegerSyntax syntax = IntegerSyntax::kDecimal);

// ParseInteger over the whole range of T.
template <std::integral T>
requires(sizeof(T) < 8 || std::is_signed_v<T>) std::optional<T> ParseInteger(
    std::string_view text, IntegerSyntax syntax = IntegerSyntax::kDecimal) {
  auto value =
      ParseInteger(text, std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), syntax);
  if (!value) return std::nullopt;
  return static_cast<T>(*value);
}

// As the C library's atoi reads a number: blanks (space, TAB to CR) are skipped, then an optional
// sign and as many decimal digits as follow; whatever comes after is ignored. The value is clamped
// to [-cap, cap]; 0 when no digit follows.
std::int64_t LeadingInteger(std::string_view text, std::int64_t cap);

// True when LeadingInteger would read a value other than 0: blanks, an optional sign, then digits
// of which one is not '0'. No length of digits overflows.
bool LeadingIntegerIsNonZero(std::string_view text);

}  // namespace velkor
