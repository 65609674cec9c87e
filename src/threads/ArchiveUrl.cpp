#include "threads/ArchiveUrl.h"

#include <algorithm>

#include "base/Sjis.h"

namespace velkor {

ResultWith<std::string, ArchiveUrlCode> ArchiveLogUrl(std::string_view boardUrl,
                                                      std::string_view key) {
  std::string_view digits = key;
  if (digits.ends_with(".dat")) digits.remove_suffix(4);
  const bool isKey =
      (digits.size() == 9 || digits.size() == 10) && digits.front() != '0' &&
      std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!isKey) {
    static const std::string kReason = Sjis("エラー:過去ログの場所がわからないスレッド番号です: ");
    // Only printable ASCII of the key is shown: it may hold anything.
    std::string shown(key.substr(0, 32));
    std::replace_if(
        shown.begin(), shown.end(), [](char c) { return c < 0x20 || c > 0x7E; }, '?');
    return {ArchiveUrlCode::kBadKey, kReason + shown};
  }
  std::string url(boardUrl);
  if (!url.ends_with('/')) url += '/';
  url += "oyster/";
  url += digits.substr(0, digits.size() - 6);
  url += '/';
  url += digits;
  url += ".dat";
  return url;
}

}  // namespace velkor
