#pragma once

// URLs and the log paths made from them. Log paths are relative to LogDir, begin with "/" and use
// "/" between components: a board http://host/board/ lives in "/host/board/".

#include <string>
#include <string_view>

namespace velkor {

// Longest part SplitUrl accepts, in bytes after decoding.
inline constexpr std::size_t kMaxUrlPartLength = 511;

// Splits "scheme://[user[:password]@]host[:port][/path][?query][#fragment]" into the host and the
// path (from the first "/" after the host up to any "?" or "#"), percent-decoding both. Fails,
// leaving host and path as they were, when there is no scheme or host, or when a part is longer
// than kMaxUrlPartLength.
bool SplitUrl(std::string_view url, std::string& host, std::string& path);

// "/" + host + path of the URL; "/" for an empty or unparsable URL.
std::string UrlToLogDir(std::string_view url);

// For http://host/test/read.cgi/board/key/rest: "/host/board/key.dat" and remainder "rest".
// "/host/" when there is no "/" after the board; "//" when the URL does not split.
std::string ThreadUrlToLogPath(std::string_view url, std::string& remainder);

// For a path inside a board's log directory (".../log/host/board/" or
// ".../log/host/board/key.dat"): the host and the board path "/board/".
void LogPathToBoard(std::string_view logPath, std::string& host, std::string& boardPath);

// True for a name that may be used as one component of a path below LogDir: not empty, not "." or
// "..", and without "/", "\" or a zero byte.
bool IsSafePathComponent(std::string_view name);

}  // namespace velkor
