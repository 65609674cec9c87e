#pragma once

// One image fetched with the program's own HTTP client: redirects followed within bounds, the
// answer watched while it arrives so that a bomb, an HTML page or an oversized body is dropped at
// its first bytes, and the bytes kept exactly as sent. Storing (and the whole-body check that comes
// with it) is the cache's.

#include <optional>
#include <string>
#include <string_view>

#include "base/Result.h"
#include "net/HttpSession.h"

namespace velkor {

// Redirects followed for one image at most.
inline constexpr int kMaxImageRedirects = 5;

enum class ImageFetchCode {
  kOk,
  // The server sent something that is no image to show: a body or Content-Length above
  // kMaxImageBytes, a start the header reader refuses (HTML, an unknown type, a broken header,
  // more than kMaxImagePixels), or a redirect to a place no image link may point to.
  kRefused,
  // No image came: no connection, a failed or stopped transfer, a status other than 200, too many
  // redirects.
  kFailed,
};

struct FetchedImage {
  std::string body;         // as sent (zero bytes kept)
  std::string contentType;  // the answer's Content-Type value; empty when it has none
};

// Where a redirect from `from` (an http or https URL) leads with this Location value: a URL with a
// scheme as it is (so one of another scheme than http and https leads nowhere), "//host/..." with
// the scheme of `from`, "/path" on the host of `from`, any other text relative to the directory of
// `from`'s path ("?query" to its path); the fragment is dropped. nullopt when the result is no URL
// IsFetchableUrl takes (another scheme, a blank or a byte no link holds, too long), so a redirect
// can lead nowhere a link could not.
std::optional<std::string> ImageRedirectTarget(std::string_view from, std::string_view location);

// Judges an image answer while it arrives, from its header and the body so far: a Content-Length
// or a body above kMaxImageBytes is refused ("エラー:画像が20MBを超えています"), and so is a start
// that ReadImageHeader refuses for any reason but kTruncated (with CheckImageBody's reason, so a
// text/html answer is told as an HTML page). `headerPassed` (false at the start of an answer) is
// set once the header reader took the start; from then on only the size is looked at, so watching a
// whole body stays linear in it. The reason (CP932), or empty to read on.
std::string WatchImageAnswer(std::string_view header, std::string_view body, bool& headerPassed);

// Fetches the image at `url` (an IsFetchableUrl URL) through `session`, sending `referer` (empty:
// none). Redirects (301, 302, 303, 307, 308) are followed through ImageRedirectTarget, at most
// kMaxImageRedirects of them, with the same Referer; the answer of status 200 is watched by
// WatchImageAnswer. kOk with the body and Content-Type; otherwise the code above and a reason:
// "エラー:画像の転送先が正しくありません", "エラー:画像の転送が多すぎます",
// "エラー:画像を取得できませんでした (HTTP <status>)", or the fetch's own (FetchAnswer). The
// whole-body check is left to ImageCache::Store.
ResultWith<FetchedImage, ImageFetchCode> FetchImage(HttpSession& session, const std::string& url,
                                                    const std::string& referer);

}  // namespace velkor
