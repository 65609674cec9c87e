#include "post/PostAnswer.h"

#include <algorithm>

#include "base/Integer.h"
#include "base/Sjis.h"
#include "net/HttpUrl.h"

namespace velkor {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// Case-insensitive search for an ASCII needle that begins with "<" (a byte no CP932 character
// holds as its second byte, so a plain byte search cannot start inside a character).
std::size_t FindTag(std::string_view html, std::string_view needle, std::size_t from = 0) {
  for (std::size_t at = html.find('<', from); at != std::string_view::npos;
       at = html.find('<', at + 1)) {
    if (EqualsIgnoreAsciiCase(html.substr(at, needle.size()), needle)) return at;
  }
  return std::string_view::npos;
}

// One tag: its lower-case name ("input", "/form") and the text of its attributes; `end` is the
// position after its ">" (the page's end when it has none).
struct Tag {
  std::string name;
  std::string_view attributes;
  std::size_t end = 0;
};

Tag ReadTag(std::string_view html, std::size_t at) {
  Tag tag;
  std::size_t i = at + 1;
  while (i < html.size() && !IsBlank(html[i]) && html[i] != '>' &&
         !(html[i] == '/' && i > at + 1)) {
    tag.name += AsciiLower(html[i]);
    ++i;
  }
  const std::size_t attributesStart = i;
  char quote = 0;
  while (i < html.size() && (quote != 0 || html[i] != '>')) {
    if (quote != 0 && html[i] == quote) {
      quote = 0;
    } else if (quote == 0 && (html[i] == '"' || html[i] == '\'')) {
      quote = html[i];
    }
    ++i;
  }
  tag.attributes = html.substr(attributesStart, i - attributesStart);
  tag.end = std::min(i + 1, html.size());
  return tag;
}

// The CP932 bytes of a Unicode code point, or empty when CP932 cannot hold it.
std::string CodePointAsSjis(std::uint32_t code) {
  if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {};
  std::string utf8;
  if (code < 0x80) {
    utf8 += static_cast<char>(code);
  } else if (code < 0x800) {
    utf8 += static_cast<char>(0xC0 | (code >> 6));
    utf8 += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    utf8 += static_cast<char>(0xE0 | (code >> 12));
    utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    utf8 += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    utf8 += static_cast<char>(0xF0 | (code >> 18));
    utf8 += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    utf8 += static_cast<char>(0x80 | (code & 0x3F));
  }
  return Utf8ToSjis(utf8).value_or(std::string());
}

// Decodes the character references of a text once: the named ones a board page uses and numeric
// ones whose character CP932 holds; any other "&" stays as written.
std::string DecodeReferences(std::string_view text) {
  static constexpr std::pair<std::string_view, char> kNamed[] = {{"&amp;", '&'},   {"&lt;", '<'},
                                                                 {"&gt;", '>'},    {"&quot;", '"'},
                                                                 {"&apos;", '\''}, {"&nbsp;", ' '}};
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '&') {
      const std::size_t step = IsLeadByte(text[i]) && i + 1 < text.size() ? 2 : 1;
      out.append(text.substr(i, step));
      i += step;
      continue;
    }
    const std::string_view rest = text.substr(i);
    bool named = false;
    for (const auto& [name, c] : kNamed) {
      if (EqualsIgnoreAsciiCase(rest.substr(0, name.size()), name)) {
        out += c;
        i += name.size();
        named = true;
        break;
      }
    }
    if (named) continue;
    const std::size_t semicolon = rest.find(';');
    if (rest.starts_with("&#") && semicolon != std::string_view::npos && semicolon <= 10) {
      const bool hex = rest.size() > 2 && (rest[2] == 'x' || rest[2] == 'X');
      const std::string_view digits = rest.substr(hex ? 3 : 2, semicolon - (hex ? 3 : 2));
      std::uint32_t code = 0;
      bool ok = !digits.empty();
      for (char c : digits) {
        const int v = hex ? HexDigitValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (v < 0 || code > 0x10FFFF) {
          ok = false;
          break;
        }
        code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(v);
      }
      if (ok) {
        if (std::string sjis = CodePointAsSjis(code); !sjis.empty()) {
          out += sjis;
          i += semicolon + 1;
          continue;
        }
      }
    }
    out += '&';
    ++i;
  }
  return out;
}

// The value of attribute `name` in a tag's attribute text (decoded), or nullopt when absent. An
// attribute without "=" has the empty value.
std::optional<std::string> Attribute(std::string_view attributes, std::string_view name) {
  std::size_t i = 0;
  const std::size_t n = attributes.size();
  while (i < n) {
    while (i < n && (IsBlank(attributes[i]) || attributes[i] == '/')) ++i;
    const std::size_t nameStart = i;
    while (i < n && !IsBlank(attributes[i]) && attributes[i] != '=' && attributes[i] != '>') ++i;
    const std::string_view key = attributes.substr(nameStart, i - nameStart);
    while (i < n && IsBlank(attributes[i])) ++i;
    std::string_view value;
    if (i < n && attributes[i] == '=') {
      ++i;
      while (i < n && IsBlank(attributes[i])) ++i;
      if (i < n && (attributes[i] == '"' || attributes[i] == '\'')) {
        const char quote = attributes[i++];
        const std::size_t close = attributes.find(quote, i);
        const std::size_t end = close == std::string_view::npos ? n : close;
        value = attributes.substr(i, end - i);
        i = end == n ? n : end + 1;
      } else {
        const std::size_t start = i;
        while (i < n && !IsBlank(attributes[i])) ++i;
        value = attributes.substr(start, i - start);
      }
    }
    if (key.empty()) {
      if (i == nameStart) ++i;
      continue;
    }
    if (EqualsIgnoreAsciiCase(key, name)) return DecodeReferences(value);
  }
  return std::nullopt;
}

bool IsLineBreakTag(std::string_view name) {
  static constexpr std::string_view kBlocks[] = {
      "br",  "p",          "div", "tr", "li", "hr",     "table", "form",
      "dt",  "dd",         "h1",  "h2", "h3", "h4",     "h5",    "h6",
      "pre", "blockquote", "ul",  "ol", "dl", "center", "title", "body"};
  if (name.starts_with('/')) name.remove_prefix(1);
  return std::find(std::begin(kBlocks), std::end(kBlocks), name) != std::end(kBlocks);
}

// Cuts a text to at most `limit` bytes on a character boundary.
std::string Bounded(std::string text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = 0;
  while (end < text.size()) {
    const std::size_t step = IsLeadByte(text[end]) ? 2 : 1;
    if (end + step > limit) break;
    end += step;
  }
  text.resize(end);
  return text;
}

// The part of the page inside <body>; without a body tag, what follows </head> (the whole page
// when it has neither).
std::string_view BodyOf(std::string_view page) {
  const std::size_t open = FindTag(page, "<body");
  if (open == std::string_view::npos) {
    const std::size_t head = FindTag(page, "</head");
    return head == std::string_view::npos ? page : page.substr(ReadTag(page, head).end);
  }
  const std::size_t start = ReadTag(page, open).end;
  const std::size_t close = FindTag(page, "</body", start);
  return page.substr(start, close == std::string_view::npos ? close : close - start);
}

std::string TitleOf(std::string_view page) {
  const std::size_t open = FindTag(page, "<title");
  if (open == std::string_view::npos) return {};
  const std::size_t start = ReadTag(page, open).end;
  const std::size_t close = FindTag(page, "</title", start);
  return PageText(page.substr(start, close == std::string_view::npos ? close : close - start));
}

// The word after "2ch_X:" in the page's comment, lower case; empty when there is none.
std::string StatusWord(std::string_view page) {
  for (std::size_t open = page.find("<!--"); open != std::string_view::npos;
       open = page.find("<!--", open + 4)) {
    const std::size_t close = page.find("-->", open + 4);
    const std::string_view comment = page.substr(open + 4, close - (open + 4));
    const std::size_t mark = comment.find("2ch_X:");
    if (mark != std::string_view::npos) {
      std::string word;
      for (std::size_t i = mark + 6; i < comment.size(); ++i) {
        const char c = AsciiLower(comment[i]);
        if (c < 'a' || c > 'z') break;
        word += c;
      }
      return word;
    }
    if (close == std::string_view::npos) break;
  }
  return {};
}

// The first line of a refusal's text that says ERROR (from that word on), else the whole text.
std::string RefusalReason(const std::string& text) {
  static const std::string wide = Sjis("ＥＲＲＯＲ");
  for (std::string_view line : SplitLines(text)) {
    for (std::string_view word : {std::string_view("ERROR"), std::string_view(wide)}) {
      const std::size_t at = SjisFind(line, word);
      if (at != std::string_view::npos) return std::string(line.substr(at));
    }
  }
  return text;
}

bool SameOrigin(const HttpUrl& a, const HttpUrl& b) {
  return a.tls == b.tls && a.port == b.port && EqualsIgnoreAsciiCase(a.host, b.host);
}

// Reads the first form of a confirmation page; false when there is none or its action leads
// elsewhere than `postUrl`.
bool ReadConfirmForm(std::string_view page, std::string_view postUrl, ConfirmForm& form) {
  const std::size_t open = FindTag(page, "<form");
  if (open == std::string_view::npos) return false;
  const Tag formTag = ReadTag(page, open);
  form.action = ResolveUrl(postUrl, Attribute(formTag.attributes, "action").value_or(""));
  const std::string method = AsciiLowerCopy(Attribute(formTag.attributes, "method").value_or(""));
  form.method = method == "get" ? "GET" : "POST";
  HttpUrl post;
  HttpUrl action;
  if (ParseHttpUrl(postUrl, post) != HttpUrlStatus::kOk ||
      ParseHttpUrl(form.action, action) != HttpUrlStatus::kOk || !SameOrigin(post, action)) {
    return false;
  }
  bool submitTaken = false;
  std::size_t at = formTag.end;
  while ((at = page.find('<', at)) != std::string_view::npos) {
    const Tag tag = ReadTag(page, at);
    at = tag.end;
    if (tag.name == "/form") break;
    if (tag.name == "textarea") {
      const std::size_t close = FindTag(page, "</textarea", at);
      std::string_view content =
          page.substr(at, close == std::string_view::npos ? close : close - at);
      if (content.starts_with("\r\n")) {
        content.remove_prefix(2);
      } else if (content.starts_with('\n')) {
        content.remove_prefix(1);
      }
      if (auto name = Attribute(tag.attributes, "name"); name && !name->empty()) {
        form.fields.emplace_back(*name, DecodeReferences(content));
      }
      if (close == std::string_view::npos) break;
      at = close;
      continue;
    }
    if (tag.name != "input") continue;
    const auto name = Attribute(tag.attributes, "name");
    if (!name || name->empty()) continue;
    const std::string type = AsciiLowerCopy(Attribute(tag.attributes, "type").value_or("text"));
    std::string value = Attribute(tag.attributes, "value").value_or("");
    if (type == "submit") {
      if (submitTaken) continue;
      submitTaken = true;
    } else if (type == "checkbox" || type == "radio") {
      if (!Attribute(tag.attributes, "checked")) continue;
      if (!Attribute(tag.attributes, "value")) value = "on";
    } else if (type != "hidden" && type != "text" && type != "password") {
      continue;
    }
    form.fields.emplace_back(*name, std::move(value));
  }
  return true;
}

// Removes "." and ".." segments of an absolute path (RFC 3986 section 5.2.4).
std::string RemoveDotSegments(std::string_view path) {
  std::vector<std::string_view> segments;
  std::size_t i = 1;
  bool trailingSlash = false;
  while (i <= path.size()) {
    const std::size_t slash = path.find('/', i);
    const std::string_view segment =
        path.substr(i, slash == std::string_view::npos ? slash : slash - i);
    trailingSlash = segment == "." || segment == "..";
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (segment != ".") {
      segments.push_back(segment);
    }
    if (slash == std::string_view::npos) break;
    i = slash + 1;
  }
  std::string out;
  for (std::string_view segment : segments) out += "/" + std::string(segment);
  if (trailingSlash || out.empty()) out += "/";
  return out;
}

}  // namespace

std::string PageText(std::string_view html) {
  std::string raw;
  raw.reserve(html.size());
  std::size_t i = 0;
  while (i < html.size()) {
    const char c = html[i];
    if (c == '<') {
      if (html.substr(i, 4) == "<!--") {
        const std::size_t close = html.find("-->", i + 4);
        i = close == std::string_view::npos ? html.size() : close + 3;
        continue;
      }
      const Tag tag = ReadTag(html, i);
      i = tag.end;
      if (tag.name == "script" || tag.name == "style") {
        const std::size_t close = FindTag(html, "</" + tag.name, i);
        i = close == std::string_view::npos ? html.size() : ReadTag(html, close).end;
      } else if (IsLineBreakTag(tag.name)) {
        raw += '\n';
      }
      continue;
    }
    if (IsLeadByte(c) && i + 1 < html.size()) {
      raw.append(html.substr(i, 2));
      i += 2;
      continue;
    }
    raw += IsBlank(c) ? ' ' : c;
    ++i;
  }
  const std::string decoded = DecodeReferences(raw);
  std::string text;
  for (std::string_view line : SplitLines(decoded)) {
    line = TrimView(line);
    if (line.empty()) continue;
    if (!text.empty()) text += '\n';
    bool blank = false;
    for (std::size_t k = 0; k < line.size(); ++k) {
      const char b = line[k];
      if (IsLeadByte(b)) {
        // A two-byte character keeps its pair; a lead byte without a trail byte (the line ends,
        // or a control byte follows) is a broken character and goes.
        const auto trail = k + 1 < line.size() ? static_cast<unsigned char>(line[k + 1]) : 0;
        if (trail >= 0x40 && trail != 0x7F) {
          text.append(line.substr(k, 2));
          ++k;
          blank = false;
        }
      } else if (b == ' ' || b == '\t') {
        if (!blank) text += ' ';
        blank = true;
      } else if (static_cast<unsigned char>(b) < 0x20 || b == 0x7F) {
        continue;  // no control byte reaches a terminal or a dialog
      } else {
        text += b;
        blank = false;
      }
    }
  }
  return text;
}

std::string ResolveUrl(std::string_view base, std::string_view reference) {
  reference = reference.substr(0, reference.find('#'));
  reference = TrimView(reference);
  const std::size_t schemeEnd = base.find("://");
  if (schemeEnd == std::string_view::npos) return std::string(reference);
  const std::string_view scheme = base.substr(0, schemeEnd);
  const std::size_t colon = reference.find(':');
  const std::size_t firstDelimiter = reference.find_first_of("/?");
  if (colon != std::string_view::npos && colon < firstDelimiter) return std::string(reference);
  if (reference.starts_with("//")) return std::string(scheme) + ":" + std::string(reference);
  const std::size_t pathStart = base.find_first_of("/?", schemeEnd + 3);
  const std::string_view origin = base.substr(0, pathStart);
  std::string_view basePath =
      pathStart == std::string_view::npos
          ? std::string_view("/")
          : base.substr(pathStart, base.find_first_of("?#", pathStart) - pathStart);
  if (basePath.empty() || basePath.front() != '/') basePath = "/";
  if (reference.empty()) {
    return std::string(base.substr(0, base.find('#')));
  }
  const std::size_t queryAt = reference.find('?');
  const std::string_view refPath = reference.substr(0, queryAt);
  const std::string_view query =
      queryAt == std::string_view::npos ? std::string_view() : reference.substr(queryAt);
  std::string path;
  if (refPath.empty()) {
    path = std::string(basePath);
  } else if (refPath.front() == '/') {
    path = RemoveDotSegments(refPath);
  } else {
    path = RemoveDotSegments(std::string(basePath.substr(0, basePath.rfind('/') + 1)) +
                             std::string(refPath));
  }
  return std::string(origin) + path + std::string(query);
}

PostAnswer ClassifyPostAnswer(std::string_view page, std::string_view postUrl) {
  static const std::string postedTitles[] = {Sjis("書きこみました"), Sjis("書き込みました")};
  static const std::string confirmTitles[] = {Sjis("書き込み確認"), Sjis("書きこみ確認")};
  static const std::string errorTitles[] = {Sjis("ＥＲＲＯＲ"), "ERROR"};
  static const std::string noForm =
      Sjis("エラー:確認ページに送り返すフォームがないか、その送信先が板のサーバではありません");
  static const std::string refusedBlank =
      Sjis("エラー:書き込めませんでした (理由は示されていません)");
  static const std::string unknownBlank = Sjis("エラー:書き込めたかどうかを示さない応答です");
  const std::string word = StatusWord(page);
  PostAnswerKind kind = PostAnswerKind::kUnknown;
  if (word == "true") {
    kind = PostAnswerKind::kPosted;
  } else if (word == "false") {
    kind = PostAnswerKind::kWarning;
  } else if (word == "cookie" || word == "check") {
    kind = PostAnswerKind::kConfirm;
  } else if (word == "error") {
    kind = PostAnswerKind::kError;
  } else {
    const std::string title = TitleOf(page);
    auto titleHas = [&](const auto& words) {
      return std::any_of(std::begin(words), std::end(words), [&](const std::string& w) {
        return SjisFind(title, w) != std::string::npos;
      });
    };
    if (titleHas(errorTitles)) {
      kind = PostAnswerKind::kError;
    } else if (titleHas(confirmTitles)) {
      kind = PostAnswerKind::kConfirm;
    } else if (titleHas(postedTitles)) {
      kind = PostAnswerKind::kPosted;
    }
  }
  PostAnswer answer;
  answer.kind = kind;
  if (kind == PostAnswerKind::kPosted) return answer;
  const std::string bodyText = PageText(BodyOf(page));
  if (kind == PostAnswerKind::kError) {
    answer.text =
        bodyText.empty() ? refusedBlank : Bounded(RefusalReason(bodyText), kMaxAnswerText);
    return answer;
  }
  if (kind == PostAnswerKind::kUnknown && bodyText.empty()) {
    answer.text = unknownBlank;
    return answer;
  }
  if (kind == PostAnswerKind::kConfirm && !ReadConfirmForm(page, postUrl, answer.form)) {
    answer.kind = PostAnswerKind::kUnknown;
    answer.form = {};
    answer.text = Bounded(noForm + "\n" + bodyText, kMaxAnswerText);
    return answer;
  }
  answer.text = Bounded(bodyText, kMaxAnswerText);
  return answer;
}

}  // namespace velkor
