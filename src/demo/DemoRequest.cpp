#include "demo/DemoRequest.h"

#include "base/Integer.h"
#include "base/Sjis.h"

namespace velkor::demo {
namespace {

constexpr std::string_view kHeadEnd = "\r\n\r\n";

// The head's lines after the request line, as name and trimmed value; lines without a colon are
// skipped.
std::vector<std::pair<std::string, std::string>> HeaderLines(std::string_view head) {
  std::vector<std::pair<std::string, std::string>> headers;
  std::size_t at = head.find("\r\n");
  while (at != std::string_view::npos && at + 2 < head.size()) {
    std::size_t start = at + 2;
    std::size_t end = head.find("\r\n", start);
    std::string_view line = head.substr(start, end == std::string_view::npos ? end : end - start);
    std::size_t colon = line.find(':');
    if (colon != std::string_view::npos) {
      headers.emplace_back(std::string(line.substr(0, colon)),
                           std::string(TrimView(line.substr(colon + 1))));
    }
    at = end;
  }
  return headers;
}

std::optional<std::size_t> LengthOf(
    const std::vector<std::pair<std::string, std::string>>& headers) {
  std::optional<std::size_t> length;
  for (const auto& [name, value] : headers) {
    if (!EqualsIgnoreAsciiCase(name, "Content-Length")) continue;
    auto parsed = ParseInteger(value, 0, 1LL << 40, IntegerSyntax::kDigits);
    if (!parsed || (length && *length != static_cast<std::size_t>(*parsed))) return std::nullopt;
    length = static_cast<std::size_t>(*parsed);
  }
  return length;
}

}  // namespace

std::size_t DemoRequest::Size(std::string_view received) {
  std::size_t end = received.find(kHeadEnd);
  if (end == std::string_view::npos) return 0;
  std::size_t head = end + kHeadEnd.size();
  if (received.substr(0, 5) != "POST ") return head;
  std::optional<std::size_t> length = LengthOf(HeaderLines(received.substr(0, head)));
  if (!length || *length > kMaxBody) return head;
  return received.size() >= head + *length ? head + *length : 0;
}

std::optional<DemoRequest> DemoRequest::Parse(std::string_view request) {
  std::size_t end = request.find(kHeadEnd);
  if (end == std::string_view::npos) return std::nullopt;
  std::string_view head = request.substr(0, end + 2);
  std::string_view line = head.substr(0, head.find("\r\n"));
  std::size_t sp1 = line.find(' ');
  std::size_t sp2 = line.rfind(' ');
  if (sp1 == std::string_view::npos || sp2 == sp1 || sp1 == 0) return std::nullopt;
  DemoRequest parsed;
  parsed.version_ = std::string(line.substr(sp2 + 1));
  if (parsed.version_.size() != 8 || parsed.version_.substr(0, 5) != "HTTP/") return std::nullopt;
  parsed.method_ = std::string(line.substr(0, sp1));
  parsed.target_ = std::string(line.substr(sp1 + 1, sp2 - sp1 - 1));
  parsed.headers_ = HeaderLines(head);
  std::optional<std::size_t> length = parsed.ContentLength();
  if (length && *length <= kMaxBody) {
    parsed.body_ = std::string(request.substr(end + kHeadEnd.size(), *length));
  }
  return parsed;
}

std::string_view DemoRequest::Path() const {
  return std::string_view(target_).substr(0, target_.find('?'));
}

std::optional<std::string> DemoRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : headers_) {
    if (EqualsIgnoreAsciiCase(key, name)) return value;
  }
  return std::nullopt;
}

std::string DemoRequest::Host() const {
  std::string host = Header("Host").value_or("");
  return AsciiLowerCopy(host.substr(0, host.find(':')));
}

std::optional<std::size_t> DemoRequest::ContentLength() const {
  return LengthOf(headers_);
}

std::optional<std::string> DemoRequest::Cookie(std::string_view name) const {
  for (const auto& [key, value] : headers_) {
    if (!EqualsIgnoreAsciiCase(key, "Cookie")) continue;
    std::string_view rest = value;
    while (!rest.empty()) {
      std::size_t semicolon = rest.find(';');
      std::string_view pair = TrimView(rest.substr(0, semicolon));
      rest = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
      std::size_t equals = pair.find('=');
      if (equals != std::string_view::npos && TrimView(pair.substr(0, equals)) == name) {
        return std::string(TrimView(pair.substr(equals + 1)));
      }
    }
  }
  return std::nullopt;
}

std::vector<std::pair<std::string, std::string>> DemoRequest::FormFields(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> fields;
  while (!text.empty()) {
    std::size_t amp = text.find('&');
    std::string_view field = text.substr(0, amp);
    text = amp == std::string_view::npos ? std::string_view() : text.substr(amp + 1);
    if (field.empty()) continue;
    std::size_t equals = field.find('=');
    fields.emplace_back(
        PercentDecode(field.substr(0, equals)),
        equals == std::string_view::npos ? std::string() : PercentDecode(field.substr(equals + 1)));
  }
  return fields;
}

std::string DemoRequest::PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out += ' ';
    } else if (text[i] == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
               HexDigitValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace velkor::demo
