#pragma once

// Where a board keeps the logs of threads that fell off its list: the board URL followed by
// "oyster/", a folder named by the key without its last six digits (the first four digits of
// today's ten-digit keys), "/" and the log's file name. Only keys the service makes are taken:
// nine or ten decimal digits without a leading zero.

#include <string>
#include <string_view>

#include "base/Result.h"

namespace velkor {

enum class ArchiveUrlCode { kOk, kBadKey };

// The archived log's URL for `key` ("1234567890" or "1234567890.dat") on the board at `boardUrl`
// (a "/" is put after it when it has none): "{boardUrl}oyster/1234/1234567890.dat". Any other
// key gives kBadKey with a reason to show.
ResultWith<std::string, ArchiveUrlCode> ArchiveLogUrl(std::string_view boardUrl,
                                                      std::string_view key);

}  // namespace velkor
