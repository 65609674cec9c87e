#include "images/ImageFetch.h"

#include <algorithm>

#include "base/Sjis.h"
#include "images/ImageCache.h"
#include "images/ImageHeader.h"
#include "images/ImageLinks.h"
#include "net/Fetch.h"

namespace velkor {
namespace {

bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

const std::string& TooLargeText() {
  static const std::string text = Sjis("エラー:画像が20MBを超えています");
  return text;
}

bool IsAsciiAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// True when `reference` starts with a scheme ("name:" before any "/", "?" or "#").
bool HasScheme(std::string_view reference) {
  const std::size_t colon = reference.find(':');
  if (colon == 0 || colon == std::string_view::npos || !IsAsciiAlpha(reference[0]) ||
      colon > reference.find_first_of("/?#")) {
    return false;
  }
  return std::all_of(
      reference.begin() + 1, reference.begin() + static_cast<std::ptrdiff_t>(colon), [](char c) {
        return IsAsciiAlpha(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
      });
}

}  // namespace

std::optional<std::string> ImageRedirectTarget(std::string_view from, std::string_view location) {
  const std::size_t schemeEnd = from.find("://");
  if (schemeEnd == std::string_view::npos || location.empty()) return std::nullopt;
  const std::string_view afterScheme = from.substr(schemeEnd + 3);
  const std::string_view origin = from.substr(
      0, schemeEnd + 3 + std::min(afterScheme.find_first_of("/?#"), afterScheme.size()));
  const std::string_view tail = from.substr(origin.size());
  const std::string_view path = tail.substr(0, tail.find_first_of("?#"));
  std::string target;
  if (HasScheme(location)) {
    target = location;
  } else if (location.starts_with("//")) {
    target = std::string(from.substr(0, schemeEnd + 1)) + std::string(location);
  } else if (location.starts_with("/")) {
    target = std::string(origin) + std::string(location);
  } else if (location.starts_with("?")) {
    target = std::string(origin) + std::string(path.empty() ? "/" : path) + std::string(location);
  } else {
    const std::size_t slash = path.rfind('/');
    const std::string_view directory =
        slash == std::string_view::npos ? "/" : path.substr(0, slash + 1);
    target = std::string(origin) + std::string(directory) + std::string(location);
  }
  target.erase(std::min(target.find('#'), target.size()));
  if (!IsFetchableUrl(target)) return std::nullopt;
  return target;
}

std::string WatchImageAnswer(std::string_view header, std::string_view body, bool& headerPassed) {
  if (HttpSession::HasContentLength(header) &&
      static_cast<std::uint64_t>(HttpSession::ContentLength(header)) > kMaxImageBytes) {
    return TooLargeText();
  }
  if (body.size() > kMaxImageBytes) return TooLargeText();
  if (headerPassed) return {};
  const ResultWith<ImageInfo, ImageCheck> head = ReadImageHeader(body);
  headerPassed = head.IsOk();
  if (head.IsOk() || head.Code() == ImageCheck::kTruncated) return {};
  return CheckImageBody(body, HttpSession::FieldValue(header, "Content-Type"), std::nullopt)
      .Reason();
}

ResultWith<FetchedImage, ImageFetchCode> FetchImage(HttpSession& session, const std::string& url,
                                                    const std::string& referer) {
  bool refused = false;
  bool headerPassed = false;
  const AnswerWatcher watch = [&refused, &headerPassed](std::string_view header,
                                                        std::string_view body) {
    std::string refusal = WatchImageAnswer(header, body, headerPassed);
    refused = !refusal.empty();
    return refusal;
  };
  std::string at = url;
  for (int hops = 0;; ++hops) {
    FetchedAnswer answer;
    headerPassed = false;
    const FetchOutcome fetched = FetchAnswer(session, at, referer, watch, answer);
    if (!fetched.IsOk()) {
      return {refused ? ImageFetchCode::kRefused : ImageFetchCode::kFailed, fetched.Reason()};
    }
    if (answer.status == 200) {
      return FetchedImage{std::move(answer.body),
                          HttpSession::FieldValue(answer.header, "Content-Type")};
    }
    if (!IsRedirect(answer.status)) {
      return {ImageFetchCode::kFailed, Sjis("エラー:画像を取得できませんでした (HTTP ") +
                                           std::to_string(answer.status) + ")"};
    }
    if (hops == kMaxImageRedirects) {
      return {ImageFetchCode::kFailed, Sjis("エラー:画像の転送が多すぎます")};
    }
    std::optional<std::string> next =
        ImageRedirectTarget(at, HttpSession::FieldValue(answer.header, "Location"));
    if (!next) return {ImageFetchCode::kRefused, Sjis("エラー:画像の転送先が正しくありません")};
    at = std::move(*next);
  }
}

}  // namespace velkor
