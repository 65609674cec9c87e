#pragma once

#include <string>
#include <string_view>

#include "net/HttpSession.h"

namespace velkor {

enum class GunzipResult {
  kOk,
  kBadHeader,  // too short (< 32 bytes), wrong magic, method not 8, reserved flag, header cut off
  kBadData,    // the deflate data is damaged or ends before the end of the compressed stream
  kTooLarge,   // the decoded data would exceed the limit
};

// Decodes one gzip member (its header is checked here; the trailer is ignored) into `output`, which
// is replaced by the decoded bytes with every zero byte as '*' (as they are with `keepZeros`). On
// failure `output` may hold the part decoded so far.
GunzipResult Gunzip(std::string_view body, std::string& output,
                    std::size_t outputLimit = kMaxBodySize, bool keepZeros = false);

}  // namespace velkor
