#include "net/CacheServerUrl.h"

#include <optional>
#include <unordered_set>

#include "app/Settings.h"
#include "app/UiHooks.h"
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

// Downloads the cache server's index page and fills the board list. Shows the warning and returns
// false when the download fails.
bool DownloadBoardList(const std::string& cacheBase) {
  static const std::string kFetching = Sjis("キャッシュサーバから板一覧を取得...");
  static const std::string kFetched = Sjis("キャッシュ板一覧を取得しました.");
  static const std::string kCaption = Sjis("警告");
  static const std::string kWarning = Sjis(
      "キャッシュサーバから板の一覧をダウンロードできませんでした。\n"
      "このまま閲覧を続けた場合、読み書きが規制される可能性があります。");
  FetchContext context;
  StandardStatusHandler(kFetching.c_str(), &context, 0, 0);
  std::string page;
  std::string lastModified;
  int result;
  {
    HttpSession session;
    session.SetStatusHandler(&context, StandardStatusHandler);
    result = FetchFull(session, cacheBase, page, lastModified, false);
  }
  if (result != kFetchOk) {
    Ui().ShowMessage(MessageIcon::kWarning, kCaption, kWarning);
    return false;
  }
  StandardStatusHandler(kFetched.c_str(), &context, 0, 0);
  auto& list = BoardList().emplace();
  for (const std::string& board : ParseCacheServerBoardList(page))
    list.insert(AsciiLowerCopy(board));
  return true;
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

std::string CacheServerUrl(const std::string& boardUrl) {
  const Settings& settings = AppSettings();
  if (!settings.cacheServerEnable ||
      boardUrl.find(settings.cacheServerMatch) == std::string::npos) {
    return boardUrl;
  }
  std::string host;
  std::string path;
  if (!SplitUrl(boardUrl, host, path) || path.empty()) return boardUrl;
  std::size_t slash = path.find('/', 1);
  if (slash == std::string::npos) return boardUrl;
  std::string board = path.substr(1, slash);
  // An https board is never read from the cache server over plain http.
  bool tls = boardUrl.size() > 8 &&
             EqualsIgnoreAsciiCase(std::string_view(boardUrl).substr(0, 8), "https://");
  std::string cacheBase = (tls ? "https://" : "http://") + settings.cacheServerHost + "/";
  if (!BoardList() && !DownloadBoardList(cacheBase)) return boardUrl;
  if (BoardList()->count(AsciiLowerCopy(board)) == 0) return boardUrl;
  return cacheBase + board;
}

void ResetCacheServerBoardListForTesting() {
  BoardList().reset();
}

}  // namespace velkor
