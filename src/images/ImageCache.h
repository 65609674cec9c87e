#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/Result.h"
#include "images/ImageHeader.h"

namespace velkor {

// Largest image body the cache takes (the fetch stops at it too).
inline constexpr std::uint64_t kMaxImageBytes = 20ull << 20;
// Default of the cache's size limit (300 MB).
inline constexpr std::uint64_t kDefaultImageCacheBytes = 300ull << 20;
// Thumbnails are at most this wide and high.
inline constexpr std::uint32_t kMaxThumbnailSide = 200;

enum class ImageStoreCode {
  kOk,
  kRefused,     // not an image the program shows (CheckImageBody's reason), too big, a bad URL
  kNotWritten,  // the file or the index could not be written; the cache is as it was
};

// The image cache: "cache/img" in the data directory (docs/images.md). Each image is a file named
// by the SHA-256 of its URL ("<64 hex digits>.img", its thumbnail "<hex>.thumb.png"); "index.txt"
// lists URL, type, size, dimensions and last use of each. Every file is written crash-safely
// (ReplaceFile): image files before the index that names them, the index before the files it drops
// are removed, so a crash leaves at worst files no index line names, which the next Open removes.
// Changes are made under an flock on "lock" after reading the index afresh, so a CLI and the window
// can share the cache. Not for use from several threads at once.
class ImageCache {
 public:
  struct Entry {
    std::string url;
    ImageInfo info;
    std::uint64_t bytes = 0;           // of the image file
    std::uint64_t thumbnailBytes = 0;  // 0: no thumbnail stored
    std::uint64_t lastUse = 0;         // a use counter: larger is more recent
  };

  // AppDir() + "/cache/img".
  static std::string DefaultDir();

  // A cache in `dir` that keeps its files (images and thumbnails) within `byteLimit` bytes.
  explicit ImageCache(std::string dir, std::uint64_t byteLimit = kDefaultImageCacheBytes);

  // Reads the index (a missing folder or index is an empty cache; nothing is created), drops lines
  // whose file has gone, and removes files of the folder that no line names (left by a crash or a
  // version whose index this one cannot read). Fails when the index exists but cannot be read.
  Outcome Open();

  // The cached image of `url`, fetching nothing, and marks it used (kept in memory until the next
  // change or Flush). nullopt when it is not cached or its file has gone.
  std::optional<Entry> Lookup(std::string_view url);

  // Where the image and the thumbnail of `url` are (or would be) kept.
  std::string ImagePath(std::string_view url) const;
  std::string ThumbnailPath(std::string_view url) const;

  // Stores a fetched body for `url` after CheckImageBody (with `contentType` and the type the URL's
  // name claims) and the kMaxImageBytes cap; an image stored before under the URL is replaced and
  // its thumbnail dropped. Then removes least recently used images until the cache fits its limit
  // again; the new image itself is always kept.
  ResultWith<Entry, ImageStoreCode> Store(std::string_view url, std::string_view body,
                                          std::string_view contentType);

  // Stores the thumbnail of a cached image: a whole PNG at most kMaxThumbnailSide wide and high.
  // Evicts as Store does, keeping this image.
  Result<ImageStoreCode> StoreThumbnail(std::string_view url, std::string_view png);

  // Removes every cached image and thumbnail ("画像キャッシュを削除"). Fails when a file could not
  // be removed or the index not written.
  Outcome Clear();

  // Writes the uses Lookup marked since the last change.
  Outcome Flush();

  void SetByteLimit(std::uint64_t byteLimit) { byteLimit_ = byteLimit; }
  std::size_t Count() const { return entries_.size(); }
  // Bytes of all image and thumbnail files.
  std::uint64_t TotalBytes() const;

 private:
  class Lock;

  std::string IndexPath() const;
  std::string LockPath() const;
  // Reads the index into entries_ and applies the pending uses; false when it cannot be read.
  bool Reload();
  std::string IndexText() const;
  // Drops least recently used entries (never `keep`) until the files fit the limit; their URLs.
  std::vector<std::string> EvictOverLimit(std::string_view keep);
  void RemoveFilesOf(const std::vector<std::string>& urls) const;
  std::uint64_t NextUse();

  std::string dir_;
  std::uint64_t byteLimit_;
  std::map<std::string, Entry, std::less<>> entries_;
  // Uses marked by Lookup and not yet written: URL -> order of the last mark.
  std::unordered_map<std::string, std::uint64_t> pendingUses_;
  std::uint64_t pendingCounter_ = 0;
};

}  // namespace velkor
