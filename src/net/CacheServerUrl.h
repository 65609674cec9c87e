#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"

namespace velkor {

// Makes sure the cache server's board list is at hand when `boardUrl` is one the cache server may
// stand in for (the cache server enabled by AppSettings().cacheServerEnable, the URL containing
// AppSettings().cacheServerMatch): the first such call downloads the cache server's index page
// (status texts through StandardStatusHandler) and keeps the list for the rest of the run. Fails
// when that download fails, with the warning to show (caption "警告"):
// "キャッシュサーバから板の一覧をダウンロードできませんでした。\nこのまま閲覧を続けた場合、
// 読み書きが規制される可能性があります。"; the next call tries again. Callers run it before a
// download of the board's files (thread list, thread logs), which then go through CacheServerUrl.
Outcome PrepareCacheServer(const std::string& boardUrl);

// Rewrites a board URL "http://host/board/" to "http://<cache host>/board/" (an https:// board
// to "https://<cache host>/board/") when the cache server is enabled, the URL contains the match
// text and the board list that PrepareCacheServer brought carries the board (letter case
// ignored); otherwise (also while no list is at hand) returns the URL unchanged. Downloads nothing.
std::string CacheServerUrl(const std::string& boardUrl);

// The directory names ("board/") that the cache server's index page links to: the texts of <a ...>
// links that end in "/".
std::vector<std::string> ParseCacheServerBoardList(std::string_view page);

// Test support only: forgets the downloaded board list, so the next call downloads it again.
void ResetCacheServerBoardListForTesting();

}  // namespace velkor
