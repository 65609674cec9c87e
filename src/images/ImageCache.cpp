#include "images/ImageCache.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>
#include <system_error>
#include <vector>

#include "app/DataDir.h"
#include "base/FileUtil.h"
#include "base/Integer.h"
#include "base/Sjis.h"
#include "images/ImageLinks.h"

namespace velkor {
namespace {

constexpr std::string_view kIndexName = "index.txt";
constexpr std::string_view kLockName = "lock";
constexpr std::string_view kIndexHeader = "velkor image cache 1";
constexpr std::string_view kImageSuffix = ".img";
constexpr std::string_view kThumbnailSuffix = ".thumb.png";

std::string HashName(std::string_view url) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(url.data(), url.size(), digest, &length, EVP_sha256(), nullptr);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string name;
  name.reserve(2 * length);
  for (unsigned int i = 0; i < length; ++i) {
    name.push_back(kHex[digest[i] >> 4]);
    name.push_back(kHex[digest[i] & 15]);
  }
  return name;
}

// The size of a regular file, or nullopt.
std::optional<std::uint64_t> FileSize(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

// A URL the cache keeps: one the image links produce (link bytes only, a valid http(s) URL).
bool IsCacheableUrl(std::string_view url) {
  return !url.empty() && url.size() <= kMaxImageLinkLength && IsLinkText(url) &&
         url.find("://") != std::string_view::npos;
}

// One index line: LASTUSE TYPE WIDTH HEIGHT BYTES THUMBNAILBYTES URL, TAB-separated.
std::optional<ImageCache::Entry> ParseIndexLine(std::string_view line) {
  const std::vector<std::string_view> fields = SplitTabs(line);
  if (fields.size() != 7) return std::nullopt;
  const auto lastUse = ParseInteger<std::int64_t>(fields[0], IntegerSyntax::kDigits);
  const std::optional<ImageType> type = ParseImageTypeName(fields[1]);
  const auto width = ParseInteger<std::uint32_t>(fields[2], IntegerSyntax::kDigits);
  const auto height = ParseInteger<std::uint32_t>(fields[3], IntegerSyntax::kDigits);
  const auto bytes = ParseInteger<std::int64_t>(fields[4], IntegerSyntax::kDigits);
  const auto thumbnail = ParseInteger<std::int64_t>(fields[5], IntegerSyntax::kDigits);
  if (!lastUse || !type || !width || !height || !bytes || !thumbnail ||
      !IsCacheableUrl(fields[6])) {
    return std::nullopt;
  }
  ImageCache::Entry entry;
  entry.url = std::string(fields[6]);
  entry.info.type = *type;
  entry.info.width = *width;
  entry.info.height = *height;
  entry.bytes = static_cast<std::uint64_t>(*bytes);
  entry.thumbnailBytes = static_cast<std::uint64_t>(*thumbnail);
  entry.lastUse = static_cast<std::uint64_t>(*lastUse);
  return entry;
}

const std::string& NotWrittenText() {
  static const std::string text = Sjis("エラー:画像キャッシュに書き込めません");
  return text;
}

}  // namespace

// An exclusive flock on the cache's lock file for the life of the object; Held() is false when
// the lock file could not be opened.
class ImageCache::Lock {
 public:
  explicit Lock(const std::string& path)
      : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        ::close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  ~Lock() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_;
};

std::string ImageCache::DefaultDir() {
  return AppDir() + "/cache/img";
}

ImageCache::ImageCache(std::string dir, std::uint64_t byteLimit)
    : dir_(std::move(dir)), byteLimit_(byteLimit) {}

std::string ImageCache::IndexPath() const {
  return dir_ + "/" + std::string(kIndexName);
}

std::string ImageCache::LockPath() const {
  return dir_ + "/" + std::string(kLockName);
}

std::string ImageCache::ImagePath(std::string_view url) const {
  return dir_ + "/" + HashName(url) + std::string(kImageSuffix);
}

std::string ImageCache::ThumbnailPath(std::string_view url) const {
  return dir_ + "/" + HashName(url) + std::string(kThumbnailSuffix);
}

std::uint64_t ImageCache::TotalBytes() const {
  std::uint64_t total = 0;
  for (const auto& [url, entry] : entries_) total += entry.bytes + entry.thumbnailBytes;
  return total;
}

std::uint64_t ImageCache::NextUse() {
  std::uint64_t last = 0;
  for (const auto& [url, entry] : entries_) last = std::max(last, entry.lastUse);
  return last + 1;
}

bool ImageCache::Reload() {
  entries_.clear();
  std::error_code error;
  if (std::filesystem::exists(std::filesystem::path(IndexPath()), error) || error) {
    const std::optional<std::string> text = ReadWholeFile(IndexPath());
    if (!text) return false;
    const std::vector<std::string_view> lines = SplitLines(*text);
    if (!lines.empty() && lines.front() == kIndexHeader) {
      for (std::size_t i = 1; i < lines.size(); ++i) {
        if (std::optional<Entry> entry = ParseIndexLine(lines[i])) {
          std::string url = entry->url;
          entries_.insert_or_assign(std::move(url), std::move(*entry));
        }
      }
    }
  }
  std::vector<std::pair<std::uint64_t, std::string>> uses;
  for (auto& [url, order] : pendingUses_) uses.emplace_back(order, url);
  std::sort(uses.begin(), uses.end());
  std::uint64_t next = NextUse();
  for (const auto& [order, url] : uses) {
    if (auto it = entries_.find(url); it != entries_.end()) it->second.lastUse = next++;
  }
  pendingUses_.clear();
  return true;
}

std::string ImageCache::IndexText() const {
  std::string text(kIndexHeader);
  text += "\r\n";
  for (const auto& [url, entry] : entries_) {
    text += std::to_string(entry.lastUse) + "\t" + std::string(ImageTypeName(entry.info.type)) +
            "\t" + std::to_string(entry.info.width) + "\t" + std::to_string(entry.info.height) +
            "\t" + std::to_string(entry.bytes) + "\t" + std::to_string(entry.thumbnailBytes) +
            "\t" + url + "\r\n";
  }
  return text;
}

std::vector<std::string> ImageCache::EvictOverLimit(std::string_view keep) {
  std::vector<const Entry*> byAge;
  for (const auto& [url, entry] : entries_) {
    if (url != keep) byAge.push_back(&entry);
  }
  std::sort(byAge.begin(), byAge.end(),
            [](const Entry* a, const Entry* b) { return a->lastUse < b->lastUse; });
  std::uint64_t total = TotalBytes();
  std::vector<std::string> evicted;
  for (const Entry* entry : byAge) {
    if (total <= byteLimit_) break;
    total -= entry->bytes + entry->thumbnailBytes;
    evicted.push_back(entry->url);
  }
  for (const std::string& url : evicted) entries_.erase(url);
  return evicted;
}

void ImageCache::RemoveFilesOf(const std::vector<std::string>& urls) const {
  for (const std::string& url : urls) {
    RemoveFile(ImagePath(url));
    RemoveFile(ThumbnailPath(url));
  }
}

Outcome ImageCache::Open() {
  entries_.clear();
  pendingUses_.clear();
  if (!DirectoryExists(dir_)) return {};
  const Lock lock(LockPath());
  if (!lock.Held() || !Reload()) {
    entries_.clear();
    return Failed(Sjis("エラー:画像キャッシュの目録を読めません"));
  }
  std::set<std::string> present;
  std::error_code error;
  for (std::filesystem::directory_iterator it(dir_, error), end; !error && it != end;
       it.increment(error)) {
    const std::filesystem::file_status status = it->symlink_status(error);
    if (error) break;
    if (std::filesystem::is_regular_file(status) || std::filesystem::is_symlink(status)) {
      present.insert(it->path().filename().string());
    }
  }
  bool changed = false;
  std::set<std::string> named = {std::string(kIndexName), std::string(kLockName)};
  for (auto it = entries_.begin(); it != entries_.end();) {
    Entry& entry = it->second;
    const std::string hash = HashName(entry.url);
    const std::string image = hash + std::string(kImageSuffix);
    const std::string thumbnail = hash + std::string(kThumbnailSuffix);
    if (!present.contains(image) || FileSize(dir_ + "/" + image) != entry.bytes) {
      it = entries_.erase(it);
      changed = true;
      continue;
    }
    named.insert(image);
    if (entry.thumbnailBytes != 0) {
      if (present.contains(thumbnail) && FileSize(dir_ + "/" + thumbnail) == entry.thumbnailBytes) {
        named.insert(thumbnail);
      } else {
        entry.thumbnailBytes = 0;
        changed = true;
      }
    }
    ++it;
  }
  if (changed && !ReplaceFile(IndexPath(), IndexText())) return Failed(NotWrittenText());
  for (const std::string& name : present) {
    if (!named.contains(name)) RemoveFile(dir_ + "/" + name);
  }
  return {};
}

std::optional<ImageCache::Entry> ImageCache::Lookup(std::string_view url) {
  const auto it = entries_.find(url);
  if (it == entries_.end()) return std::nullopt;
  if (FileSize(ImagePath(url)) != it->second.bytes) {
    entries_.erase(it);
    return std::nullopt;
  }
  it->second.lastUse = NextUse();
  pendingUses_[it->first] = ++pendingCounter_;
  return it->second;
}

ResultWith<ImageCache::Entry, ImageStoreCode> ImageCache::Store(std::string_view url,
                                                                std::string_view body,
                                                                std::string_view contentType) {
  if (!IsCacheableUrl(url)) {
    return {ImageStoreCode::kRefused, Sjis("エラー:画像のURLが正しくありません")};
  }
  if (body.size() > kMaxImageBytes) {
    return {ImageStoreCode::kRefused, Sjis("エラー:画像が20MBを超えています")};
  }
  const ResultWith<ImageInfo, ImageCheck> check =
      CheckImageBody(body, contentType, ImageTypeOfLinkName(url));
  if (!check.IsOk()) return {ImageStoreCode::kRefused, check.Reason()};

  if (!MakeDirectories(dir_)) return {ImageStoreCode::kNotWritten, NotWrittenText()};
  const Lock lock(LockPath());
  if (!lock.Held() || !Reload()) return {ImageStoreCode::kNotWritten, NotWrittenText()};
  const bool hadThumbnail = [&] {
    const auto it = entries_.find(url);
    return it != entries_.end() && it->second.thumbnailBytes != 0;
  }();
  if (!ReplaceFile(ImagePath(url), body)) return {ImageStoreCode::kNotWritten, NotWrittenText()};
  Entry entry;
  entry.url = std::string(url);
  entry.info = check.Value();
  entry.bytes = body.size();
  entry.lastUse = NextUse();
  entries_.insert_or_assign(entry.url, entry);
  const std::vector<std::string> evicted = EvictOverLimit(url);
  if (!ReplaceFile(IndexPath(), IndexText())) {
    return {ImageStoreCode::kNotWritten, NotWrittenText()};
  }
  if (hadThumbnail) RemoveFile(ThumbnailPath(url));
  RemoveFilesOf(evicted);
  return entry;
}

Result<ImageStoreCode> ImageCache::StoreThumbnail(std::string_view url, std::string_view png) {
  const ResultWith<ImageInfo, ImageCheck> check = CheckImageBody(png, "image/png", ImageType::kPng);
  if (!check.IsOk()) return {ImageStoreCode::kRefused, check.Reason()};
  if (check.Value().width > kMaxThumbnailSide || check.Value().height > kMaxThumbnailSide) {
    return {ImageStoreCode::kRefused, Sjis("エラー:縮小画像が200×200を超えています")};
  }
  if (!DirectoryExists(dir_)) {
    return {ImageStoreCode::kRefused, Sjis("エラー:画像がキャッシュにありません")};
  }
  const Lock lock(LockPath());
  if (!lock.Held() || !Reload()) return {ImageStoreCode::kNotWritten, NotWrittenText()};
  const auto it = entries_.find(url);
  if (it == entries_.end()) {
    return {ImageStoreCode::kRefused, Sjis("エラー:画像がキャッシュにありません")};
  }
  if (!ReplaceFile(ThumbnailPath(url), png)) {
    return {ImageStoreCode::kNotWritten, NotWrittenText()};
  }
  it->second.thumbnailBytes = png.size();
  it->second.lastUse = NextUse();
  const std::vector<std::string> evicted = EvictOverLimit(url);
  if (!ReplaceFile(IndexPath(), IndexText())) {
    return {ImageStoreCode::kNotWritten, NotWrittenText()};
  }
  RemoveFilesOf(evicted);
  return {};
}

Outcome ImageCache::Clear() {
  entries_.clear();
  pendingUses_.clear();
  if (!DirectoryExists(dir_)) return {};
  const Lock lock(LockPath());
  if (!lock.Held() || !ReplaceFile(IndexPath(), IndexText())) return Failed(NotWrittenText());
  bool removedAll = true;
  std::error_code error;
  for (std::filesystem::directory_iterator it(dir_, error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    const std::filesystem::file_status status = it->symlink_status(error);
    if (error) break;
    if (name == kIndexName || name == kLockName) continue;
    if (std::filesystem::is_regular_file(status) || std::filesystem::is_symlink(status)) {
      removedAll = RemoveFile(it->path().string()) && removedAll;
    }
  }
  if (error || !removedAll) return Failed(Sjis("エラー:画像キャッシュを削除できませんでした"));
  return {};
}

Outcome ImageCache::Flush() {
  if (pendingUses_.empty() || !DirectoryExists(dir_)) return {};
  const Lock lock(LockPath());
  if (!lock.Held() || !Reload() || !ReplaceFile(IndexPath(), IndexText())) {
    return Failed(NotWrittenText());
  }
  return {};
}

}  // namespace velkor
