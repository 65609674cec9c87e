#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velkor {

// Rewrites a board URL "http://host/board/" to "http://<cache host>/board/" (an https:// board
// to "https://<cache host>/board/") when the cache server is enabled
// (AppSettings().cacheServerEnable), the URL contains AppSettings().cacheServerMatch and the cache
// server carries the board (letter case ignored); otherwise returns the URL unchanged. The first
// call that needs it downloads the cache server's index page once per run (status texts through
// StandardStatusHandler); when that fails a warning box is shown (Ui().ShowMessage) and the URL
// comes back unchanged; the next call tries again.
std::string CacheServerUrl(const std::string& boardUrl);

// The directory names ("board/") that the cache server's index page links to: the texts of <a ...>
// links that end in "/".
std::vector<std::string> ParseCacheServerBoardList(std::string_view page);

// Test support only: forgets the downloaded board list, so the next call downloads it again.
void ResetCacheServerBoardListForTesting();

}  // namespace velkor
