// Chunked decoding. Input: a chunked body. Oracles: the outcome (content, failure, end) does not
// depend on how the body is cut into received pieces; the content is never longer than the body;
// and the input itself, framed as chunks of sizes taken from its bytes, decodes back to the input.

#include <cstdint>
#include <cstdio>
#include <string>

#include "FuzzSupport.h"
#include "net/ChunkDecoder.h"

namespace {

struct Outcome {
  bool ok = true;
  bool done = false;
  std::string content;
};

// Feeds the body in pieces whose sizes come from `cuts` (cycled; 1 to 16 bytes).
Outcome Decode(std::string_view body, std::string_view cuts) {
  velkor::ChunkDecoder decoder;
  Outcome outcome;
  std::size_t i = 0;
  for (std::size_t at = 0; at < body.size();) {
    std::size_t piece =
        cuts.empty() ? body.size() : 1 + static_cast<unsigned char>(cuts[i++ % cuts.size()]) % 16;
    bool ok = decoder.Feed(body.substr(at, piece), outcome.content);
    outcome.ok = outcome.ok && ok;
    at += piece;
  }
  outcome.done = decoder.Done();
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velkor;
  if (size > 128 * 1024) return 0;
  std::string_view body = fuzz::AsText(data, size);

  const Outcome whole = Decode(body, {});
  const Outcome pieces = Decode(body, body);
  FUZZ_CHECK(whole.ok == pieces.ok && whole.done == pieces.done,
             "the outcome depends on how the body arrives", body);
  if (whole.ok) {
    FUZZ_CHECK(whole.content == pieces.content, "the content depends on how the body arrives",
               body);
  }
  FUZZ_CHECK(whole.content.size() <= body.size(), "the content is longer than the body", body);

  std::string framed;
  for (std::size_t at = 0, i = 0; at < body.size(); ++i) {
    std::size_t chunk = 1 + static_cast<unsigned char>(body[i % body.size()]) % 300;
    chunk = std::min(chunk, body.size() - at);
    char sizeLine[32];
    std::snprintf(sizeLine, sizeof sizeLine, i % 2 ? "%zx\r\n" : "%zX;ext=1\r\n", chunk);
    framed.append(sizeLine).append(body.substr(at, chunk)).append("\r\n");
    at += chunk;
  }
  framed.append("0\r\nX-Trailer: 1\r\n\r\n");
  const Outcome decoded = Decode(framed, body);
  FUZZ_CHECK(decoded.ok && decoded.done && decoded.content == body,
             "a well-framed body does not decode to its content", framed);
  return 0;
}
