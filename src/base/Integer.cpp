#include "base/Integer.h"

#include "base/Sjis.h"

namespace velkor {

std::optional<std::int64_t> ParseInteger(std::string_view text, std::int64_t min, std::int64_t max,
                                         IntegerSyntax syntax) {
  bool negative = false;
  if (!text.empty() && syntax != IntegerSyntax::kDigits &&
      (text.front() == '-' || (text.front() == '+' && syntax == IntegerSyntax::kDecimal))) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (syntax == IntegerSyntax::kIni) {
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
      base = 16;
      text.remove_prefix(2);
    } else if (!text.empty() && text[0] == '$') {
      base = 16;
      text.remove_prefix(1);
    }
  }
  if (text.empty()) return std::nullopt;
  // The magnitude is gathered as unsigned and checked against the bound on its side of zero.
  const std::uint64_t limit = negative ? (min >= 0 ? 0 : 0 - static_cast<std::uint64_t>(min))
                                       : (max < 0 ? 0 : static_cast<std::uint64_t>(max));
  std::uint64_t value = 0;
  for (char c : text) {
    const int digit = HexDigitValue(c);
    if (digit < 0 || digit >= base) return std::nullopt;
    if (static_cast<std::uint64_t>(digit) > limit ||
        value > (limit - static_cast<std::uint64_t>(digit)) / static_cast<std::uint64_t>(base)) {
      return std::nullopt;
    }
    value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
  }
  const std::int64_t result =
      negative ? static_cast<std::int64_t>(0 - value) : static_cast<std::int64_t>(value);
  if (result < min || result > max) return std::nullopt;
  return result;
}

std::int64_t LeadingInteger(std::string_view text, std::int64_t cap) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value > (cap - (text[i] - '0')) / 10 ? cap : value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

bool LeadingIntegerIsNonZero(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (text[i] != '0') return true;
  }
  return false;
}

}  // namespace velkor
