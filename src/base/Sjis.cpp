#include "base/Sjis.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>

namespace velkor {
namespace {

// Converts with iconv. With `lossy`, an unconvertible or invalid input sequence is replaced by
// `replacement` and `skip` input bytes are dropped (one character where possible).
std::optional<std::string> Convert(const char* to, const char* from, std::string_view in,
                                   bool lossy, std::string_view replacement, bool fromSjis) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out;
  out.reserve(in.size() * 3 / 2 + 16);
  char buffer[4096];
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  bool ok = true;
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    if (rc != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    if (!lossy) {
      ok = false;
      break;
    }
    // EILSEQ or EINVAL (truncated sequence): replace one character and go on.
    size_t skip = 1;
    if (fromSjis) {
      if (IsLeadByte(*inPtr) && inLeft >= 2) skip = 2;
    } else {
      unsigned char c = static_cast<unsigned char>(*inPtr);
      size_t want = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
      skip = 1;
      while (skip < want && skip < inLeft &&
             (static_cast<unsigned char>(inPtr[skip]) & 0xC0) == 0x80) {
        ++skip;
      }
    }
    out.append(replacement);
    inPtr += skip;
    inLeft -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  if (!ok) return std::nullopt;
  return out;
}

}  // namespace

std::optional<std::string> SjisToUtf8(std::string_view sjis) {
  return Convert("UTF-8", "CP932", sjis, false, {}, true);
}

std::optional<std::string> Utf8ToSjis(std::string_view utf8) {
  return Convert("CP932", "UTF-8", utf8, false, {}, false);
}

std::string SjisToUtf8Lossy(std::string_view sjis) {
  return Convert("UTF-8", "CP932", sjis, true, "\xEF\xBF\xBD", true).value_or(std::string());
}

std::string Utf8ToSjisLossy(std::string_view utf8) {
  return Convert("CP932", "UTF-8", utf8, true, "?", false).value_or(std::string());
}

std::string Sjis(std::string_view utf8Literal) {
  auto converted = Utf8ToSjis(utf8Literal);
  // A literal that does not convert is a programming error, found by the first test that uses it.
  if (!converted) std::abort();
  return *converted;
}

std::size_t SjisFind(std::string_view hay, std::string_view needle, std::size_t from) {
  if (from > hay.size()) return std::string_view::npos;
  if (needle.empty()) return from;
  const char first = needle.front();
  std::size_t i = from;
  const std::size_t last = hay.size() >= needle.size() ? hay.size() - needle.size() : 0;
  if (hay.size() < needle.size()) return std::string_view::npos;
  while (i <= last) {
    if (hay[i] == first && hay.compare(i, needle.size(), needle) == 0) return i;
    i += IsLeadByte(hay[i]) ? 2 : 1;
  }
  return std::string_view::npos;
}

std::size_t SjisFindChar(std::string_view hay, char c, std::size_t from) {
  std::size_t i = from;
  while (i < hay.size()) {
    if (hay[i] == c) return i;
    i += IsLeadByte(hay[i]) ? 2 : 1;
  }
  return std::string_view::npos;
}

std::size_t SjisFindLastChar(std::string_view hay, char c) {
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < hay.size(); i += IsLeadByte(hay[i]) ? 2 : 1) {
    if (hay[i] == c) found = i;
  }
  return found;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(text.substr(start, i - start));
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t pos = 0;
  for (std::size_t tab = line.find('\t'); tab != std::string_view::npos;
       tab = line.find('\t', pos)) {
    fields.push_back(line.substr(pos, tab - pos));
    pos = tab + 1;
  }
  fields.push_back(line.substr(pos));
  return fields;
}

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

std::string AsciiLowerCopy(std::string_view s) {
  std::string out(s);
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (IsLeadByte(out[i])) {
      ++i;
    } else {
      out[i] = AsciiLower(out[i]);
    }
  }
  return out;
}

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (IsLeadByte(a[i])) {
      if (a[i] != b[i] || (i + 1 < a.size() && a[i + 1] != b[i + 1])) return false;
      ++i;
    } else if (AsciiLower(a[i]) != AsciiLower(b[i])) {
      return false;
    }
  }
  return true;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string_view TrimView(std::string_view s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 0x20) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 0x20) --e;
  return s.substr(b, e - b);
}

}  // namespace velkor
