#pragma once

// Shared pieces of the fuzz targets: a scratch data directory, the input split most targets use,
// and the oracle check that turns a broken property into a crash libFuzzer records.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velkor::fuzz {

// A data directory of its own for this process (in /dev/shm or the temporary folder, made the
// program's data directory on first use, removed at exit). Targets that write files call it once.
const std::string& ScratchDataDir();

// The input as text.
inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The input cut at its first LF: the first line (without the LF) and the rest. Without an LF the
// whole input is the first line and the rest is empty.
struct Head {
  std::string_view line;
  std::string_view rest;
};
Head SplitHead(std::string_view input);

// True when `path` stays inside `dir` (both absolute; "." and ".." segments resolved lexically,
// without following links).
bool PathInside(std::string_view path, std::string_view dir);

// True when the text holds a byte below 0x20 or 0x7F.
bool HasControlByte(std::string_view text);

// Prints what broke with the (escaped) detail and aborts, which libFuzzer reports as a crash and
// saves the input for.
[[noreturn]] void Fail(std::string_view what, std::string_view detail = {});

}  // namespace velkor::fuzz

// The oracle of a target: aborts with the message when `condition` is false.
#define FUZZ_CHECK(condition, what, detail)                   \
  do {                                                        \
    if (!(condition)) ::velkor::fuzz::Fail((what), (detail)); \
  } while (false)
