#include "post/PostForm.h"

#include "base/Sjis.h"

namespace velkor {
namespace {

bool IsFormSafe(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '*' ||
         c == '-' || c == '.' || c == '_';
}

// Line breaks as CR LF, whatever mix came in (LF, CR LF or a lone CR).
std::string WithCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      out += "\r\n";
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The length of the UTF-8 sequence at the start of `text` and its code point; 0 when it is no
// valid sequence (overlong forms, surrogates and values above U+10FFFF included).
std::size_t DecodeUtf8(std::string_view text, char32_t& code) {
  const auto b0 = static_cast<unsigned char>(text[0]);
  std::size_t length = b0 < 0x80 ? 1 : b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC2 ? 2 : 0;
  if (length == 0 || b0 > 0xF4 || text.size() < length) return 0;
  code = length == 1 ? b0 : b0 & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if ((b & 0xC0) != 0x80) return 0;
    code = (code << 6) | (b & 0x3F);
  }
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  if (overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::string FormEncode(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (char c : bytes) {
    if (IsFormSafe(c)) {
      out += c;
    } else if (c == ' ') {
      out += '+';
    } else {
      const auto u = static_cast<unsigned char>(c);
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 0x0F];
    }
  }
  return out;
}

std::string PostFormBody(const PostFields& fields) {
  static const std::string submit = Sjis("書き込む");
  std::vector<std::pair<std::string, std::string>> pairs = {{"bbs", fields.bbs}};
  if (fields.IsNewThread()) {
    pairs.emplace_back("subject", fields.subject);
  } else {
    pairs.emplace_back("key", fields.key);
  }
  pairs.emplace_back("time", std::to_string(fields.time));
  pairs.emplace_back("FROM", fields.name);
  pairs.emplace_back("mail", fields.mail);
  pairs.emplace_back("MESSAGE", WithCrLf(fields.message));
  pairs.emplace_back("submit", submit);
  return FormBody(pairs);
}

std::string FormBody(const std::vector<std::pair<std::string, std::string>>& pairs) {
  std::string body;
  for (const auto& [name, value] : pairs) {
    if (!body.empty()) body += '&';
    body += FormEncode(name) + "=" + FormEncode(value);
  }
  return body;
}

ResultWith<std::string> Utf8ToPostText(std::string_view utf8) {
  // Most texts convert whole; only one that does not is taken character by character.
  if (auto whole = Utf8ToSjis(utf8)) return *whole;
  std::string out;
  while (!utf8.empty()) {
    char32_t code = 0;
    const std::size_t length = DecodeUtf8(utf8, code);
    if (length == 0)
      return Failed(Sjis("エラー:文字コードが正しくありません (UTF-8ではありません)"));
    if (auto converted = Utf8ToSjis(utf8.substr(0, length))) {
      out += *converted;
    } else {
      out += "&#" + std::to_string(static_cast<std::uint32_t>(code)) + ";";
    }
    utf8.remove_prefix(length);
  }
  return out;
}

}  // namespace velkor
