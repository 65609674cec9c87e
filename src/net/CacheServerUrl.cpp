#include "net/CacheServerUrl.h"

#include <optional>
#include <unordered_set>

#include "app/Settings.h"
#include "app/UrlPaths.h"
#include "base/Sjis.h"
#include "net/Fetch.h"
#include "net/FetchContext.h"

namespace velkor {
namespace {

// Directory names the cache server carries, in lower case; missing until a download succeeded.
std::optional<std::unordered_set<std::string>>& BoardList() {
  static std::optional<std::unordered_set<std::string>> list;
  return list;
}

// Downloads the cache server's index page and fills the board list.
Outcome DownloadBoardList(const std::string& cacheBase) {
  static const std::string kFetching = Sjis("キャッシュサーバから板一覧を取得...");
  static const std::string kFetched = Sjis("キャッシュ板一覧を取得しました.");
  static const std::string kWarning = Sjis(
      "キャッシュサーバから板の一覧をダウンロードできませんでした。\n"
      "このまま閲覧を続けた場合、読み書きが規制される可能性があります。");
  FetchContext context;
  StandardStatusHandler(kFetching.c_str(), &context, 0, 0);
  std::string page;
  std::string lastModified;
  bool fetched;
  {
    HttpSession session;
    session.SetStatusHandler(&context, StandardStatusHandler);
    fetched = FetchFull(session, cacheBase, page, lastModified, false).IsOk();
  }
  if (!fetched) return Failed(kWarning);
  StandardStatusHandler(kFetched.c_str(), &context, 0, 0);
  auto& list = BoardList().emplace();
  for (const std::string& board : ParseCacheServerBoardList(page))
    list.insert(AsciiLowerCopy(board));
  return {};
}

// Where the board URL would be read from the cache server: the cache base ("http(s)://<cache
// host>/") and the board part ("board/"). Nothing when the cache server does not stand in for it.
struct CacheRoute {
  std::string cacheBase;
  std::string board;
};

std::optional<CacheRoute> RouteOf(const std::string& boardUrl) {
  const Settings& settings = AppSettings();
  if (!settings.cacheServerEnable ||
      boardUrl.find(settings.cacheServerMatch) == std::string::npos) {
    return std::nullopt;
  }
  std::string host;
  std::string path;
  if (!SplitUrl(boardUrl, host, path) || path.empty()) return std::nullopt;
  std::size_t slash = path.find('/', 1);
  if (slash == std::string::npos) return std::nullopt;
  // An https board is never read from the cache server over plain http.
  constexpr std::string_view kHttps = "https://";
  bool tls = boardUrl.size() > kHttps.size() &&
             EqualsIgnoreAsciiCase(std::string_view(boardUrl).substr(0, kHttps.size()), kHttps);
  return CacheRoute{(tls ? "https://" : "http://") + settings.cacheServerHost + "/",
                    path.substr(1, slash)};
}

}  // namespace

std::vector<std::string> ParseCacheServerBoardList(std::string_view page) {
  std::vector<std::string> boards;
  std::size_t pos = 0;
  for (;;) {
    std::size_t open = page.find('<', pos);
    if (open == std::string_view::npos) break;
    if (open + 2 >= page.size() || (page[open + 1] != 'a' && page[open + 1] != 'A') ||
        page[open + 2] != ' ') {
      pos = open + 1;
      continue;
    }
    std::size_t close = page.find('>', open + 3);
    if (close == std::string_view::npos) break;
    std::size_t next = page.find('<', close + 1);
    if (next == std::string_view::npos) break;
    if (page[next - 1] == '/') boards.emplace_back(page.substr(close + 1, next - close - 1));
    pos = next + 1;
  }
  return boards;
}

Outcome PrepareCacheServer(const std::string& boardUrl) {
  if (BoardList()) return {};
  std::optional<CacheRoute> route = RouteOf(boardUrl);
  return route ? DownloadBoardList(route->cacheBase) : Outcome();
}

std::string CacheServerUrl(const std::string& boardUrl) {
  std::optional<CacheRoute> route = RouteOf(boardUrl);
  if (!route || !BoardList() || BoardList()->count(AsciiLowerCopy(route->board)) == 0) {
    return boardUrl;
  }
  return route->cacheBase + route->board;
}

void ResetCacheServerBoardListForTesting() {
  BoardList().reset();
}

}  // namespace velkor
