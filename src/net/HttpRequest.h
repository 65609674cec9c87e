#pragma once

// One HTTP request with a method, header fields and a body (a post, a confirmation form sent back,
// a picture), and the answer to it with every header field. SendHttpRequest (net/Fetch.h) sends
// it.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Result.h"

namespace velkor {

// A header field: its name and its value, CP932 or ASCII bytes.
using HttpField = std::pair<std::string, std::string>;

struct HttpRequest {
  std::string method = "GET";  // "GET", "POST", ...: letters only
  std::string url;  // absolute http:// or https:// URL; its query is sent, not its fragment
  // Fields sent after Host, User-Agent and Connection (Content-Type, Referer, Origin, Cookie...),
  // in this order. A name or value holding a control byte is refused before anything is sent.
  std::vector<HttpField> fields;
  std::string body;  // sent with a Content-Length when not empty, or always for a POST
};

struct HttpResponse {
  int status = 0;
  // Every header field after the status line, in order: repeated fields (Set-Cookie) each on
  // its own; names as the server wrote them, values without the blanks around them. A line that
  // begins with a blank continues the value before it.
  std::vector<HttpField> fields;
  // The whole body, unframed when chunked and decoded when gzip; zero bytes are kept.
  std::string body;

  // The values of every field named `name` (ASCII letter case ignored), in order.
  std::vector<std::string> Values(std::string_view name) const;
  // The value of the first field named `name`, or empty.
  std::string Value(std::string_view name) const;
};

// The fields of a response header as HttpResponse::fields holds them; the status line, lines
// without a colon and fields without a name are passed over.
std::vector<HttpField> ParseHeaderFields(std::string_view header);

// How far a request got. Only kOk carries the answer.
enum class RequestReach {
  kOk,            // answered: status, fields and the whole body
  kNotConnected,  // no connection was made (or the request was refused before): nothing was sent
  kNotSent,       // connected, but no byte of the request went out
  // The request went out, whole or in part, and then the connection failed, timed out or was
  // stopped before a whole answer came, or the answer was broken: the server may have acted on it.
  kNoAnswer,
};

// The answer with, for every code but kOk, a reason (CP932, one line).
using RequestOutcome = ResultWith<HttpResponse, RequestReach>;

}  // namespace velkor
