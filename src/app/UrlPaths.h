#pragma once

// URLs and the log paths made from them. Log paths are relative to LogDir, begin with "/" and use
// "/" between components: a board http://host/board/ lives in "/host/board/".

#include <optional>
#include <string>
#include <string_view>

namespace velkor {

// What the path of a thread URL starts with on every board host.
inline constexpr std::string_view kReadCgiPath = "/test/read.cgi/";

// Longest part SplitUrl accepts, in bytes after decoding.
inline constexpr std::size_t kMaxUrlPartLength = 511;

// The parts of a URL after its "scheme://": the authority (host and port) without any "user@"
// part, and the rest from the first "/", "?" or "#" on (empty when there is none).
struct UrlAuthority {
  std::string_view authority;
  std::string_view tail;
};
UrlAuthority SplitAuthority(std::string_view afterScheme);

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

// The file beside a thread's log "<key>.dat" (key: decimal digits) that lists the replies the user
// wrote in it: "<key>.own". Empty for any other name, so no name from a list or the network can
// name a file elsewhere. It belongs to the log: removed with it, kept with it.
std::string OwnPostsFileName(std::string_view datName);

// True for a name that may be used as one component of a path below LogDir: not empty, not "." or
// "..", without "/", "\" or a control byte (0x00-0x1F, 0x7F), and not ending in a lone Shift_JIS
// lead byte (which would pair with the "/" after it).
bool IsSafePathComponent(std::string_view name);

// True for a board URL whose log directory is the board's own folder below LogDir: the URL splits,
// its host is a plain host name written without escapes or a user part (ASCII letters, digits, ".",
// "-", "_"; not "." or ".."),
// and its decoded path begins with "/" and holds at least one segment, every segment a safe path
// component (a final "/" is allowed). A URL naming a host's root ("http://host/") is no board.
bool IsSafeBoardUrl(std::string_view url);

// The one rule from a board URL to its log folder: UrlToLogDir of the URL, ending in "/"
// ("/host/board/", relative to LogDir), when IsSafeBoardUrl holds; nullopt for any other URL, which
// names no folder of its own.
std::optional<std::string> BoardLogFolder(std::string_view boardUrl);

// The scheme of a URL in lower case, without "://" ("https"); empty when the URL has none.
std::string UrlScheme(std::string_view url);

// True when `host` is `domain` or ends in "." + domain, ASCII case ignored: a suffix on a label
// boundary, so "evil-5ch.io" is not a host of "5ch.io".
bool HostInDomain(std::string_view host, std::string_view domain);

// True for a host of the service's primary or sister domain (app/Deployment.h).
bool IsServiceHost(std::string_view host);

// The scheme a board in the log folder host/... is reached by when no list names it: "https" for
// the service's hosts, "http" for any other.
std::string_view DefaultSchemeOfHost(std::string_view host);

// The URL of the board in a log folder ("/host/board/", relative or whole) when no list names it,
// rebuilt from the folder's last two names: DefaultSchemeOfHost + "://" + host + "/" + board + "/",
// with "%", "?" and "#" escaped so that SplitUrl gives the same names back (a folder name is never
// decoded a second time). Empty for an empty folder.
std::string RebuiltBoardUrl(std::string_view logDir);

// The read.cgi URL of a thread: for the board URL "scheme://host/board/" and the key,
// "scheme://host/test/read.cgi/board/key", followed by "/" when `finalSlash` is set. Scheme, host
// (with any port) and board path are the board URL's own bytes, never decoded; a query or fragment
// is dropped, a board URL without its final "/" gives the same URL, and one without a scheme is
// taken as http.
std::string ThreadUrl(std::string_view boardUrl, std::string_view key, bool finalSlash);

}  // namespace velkor
