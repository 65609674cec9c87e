#pragma once

// One HTTP request to the demo server, parsed from the bytes a client sent. Everything in it is
// hostile: the parser bounds the head and the body, takes a body only by its Content-Length, and
// decodes form fields (percent-encoded Shift_JIS, "+" for a blank) into raw bytes without
// interpreting them further.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velkor::demo {

class DemoRequest {
 public:
  static constexpr std::size_t kMaxHead = 16 * 1024;
  static constexpr std::size_t kMaxBody = 64 * 1024;

  // How many leading bytes of `received` make one request: 0 while more bytes are needed; the
  // head's size when the head alone is answered (no body announced, or a body that will be refused:
  // no or a malformed Content-Length on a POST, or one above kMaxBody); otherwise head and body.
  static std::size_t Size(std::string_view received);

  // Parses one request (head and, for a POST, the body Size counted). Null when the request line
  // is not "METHOD TARGET HTTP/x.y" or the head does not end.
  static std::optional<DemoRequest> Parse(std::string_view request);

  const std::string& Method() const { return method_; }
  // The target as sent and its path (the target up to "?"), neither decoded.
  const std::string& Target() const { return target_; }
  std::string_view Path() const;
  bool Http11() const { return version_ == "HTTP/1.1"; }
  // The first header `name` (any case), blanks trimmed; nullopt when absent.
  std::optional<std::string> Header(std::string_view name) const;
  // The Host header without a port, lower case.
  std::string Host() const;
  // The body's length from Content-Length: nullopt when absent, malformed or given twice with
  // different values.
  std::optional<std::size_t> ContentLength() const;
  const std::string& Body() const { return body_; }

  // The value of cookie `name` in the Cookie headers; nullopt when not sent.
  std::optional<std::string> Cookie(std::string_view name) const;

  // The fields of an application/x-www-form-urlencoded text in order, names and values decoded.
  static std::vector<std::pair<std::string, std::string>> FormFields(std::string_view text);
  // "%XY" to the byte, "+" to a blank; a "%" without two hexadecimal digits stays as it is.
  static std::string PercentDecode(std::string_view text);

 private:
  std::string method_;
  std::string target_;
  std::string version_;
  std::vector<std::pair<std::string, std::string>> headers_;
  std::string body_;
};

}  // namespace velkor::demo
