#include "images/ImageLoader.h"

#include <algorithm>

#include "base/BackgroundThread.h"
#include "base/Sjis.h"
#include "images/ImageFetch.h"
#include "net/HttpSession.h"
#include "net/HttpUrl.h"

namespace velkor {
namespace {

// The handler of the loader's sessions: shows nothing, stops when the loader stops.
int StopHandler(const char*, void* context, std::int32_t, std::int32_t) {
  return static_cast<const std::atomic<bool>*>(context)->load() ? 1 : 0;
}

std::string HostOf(const std::string& url) {
  HttpUrl parts;
  if (ParseHttpUrl(url, parts) != HttpUrlStatus::kOk) return {};
  return AsciiLowerCopy(parts.host);
}

}  // namespace

ImageLoader::ImageLoader(std::string cacheDir, std::uint64_t byteLimit, Listener listener)
    : listener_(std::move(listener)), cache_(std::move(cacheDir), byteLimit) {}

ImageLoader::~ImageLoader() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stop_ = true;
  changed_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void ImageLoader::StartThreads() {
  if (!threads_.empty()) return;
  threads_.emplace_back([this] { LookupLoop(); });
  for (int i = 0; i < kMaxFetches; ++i) threads_.emplace_back([this] { FetchLoop(); });
}

std::optional<ImageLoadOutcome> ImageLoader::Request(const ImageLink& link, Mode mode) {
  const std::string& url = link.imageUrl;
  std::lock_guard lock(mutex_);
  if (stopping_) return std::nullopt;
  if (const auto found = known_.find(url); found != known_.end()) {
    const bool failed = !found->second.IsOk();
    if (!failed || mode == Mode::kFetch) return found->second;
    if (mode == Mode::kCacheOnly) {
      return ImageLoadOutcome(ImageLoadCode::kNotCached, found->second.Reason());
    }
    known_.erase(found);
  }
  const bool fetch = mode != Mode::kCacheOnly;
  if (const auto pending = pending_.find(url); pending != pending_.end()) {
    pending->second.fetch = pending->second.fetch || fetch;
    return std::nullopt;
  }
  pending_.emplace(url, Job{link, HostOf(url), fetch});
  toLookUp_.push_back(url);
  StartThreads();
  changed_.notify_all();
  return std::nullopt;
}

void ImageLoader::Forget(const std::string& imageUrl) {
  std::lock_guard lock(mutex_);
  known_.erase(imageUrl);
}

void ImageLoader::OpenCacheOnce() {
  if (cacheOpened_) return;
  cacheOpened_ = true;
  // An index that cannot be read leaves an empty cache that never overwrites it: stores fail and
  // say so.
  (void)cache_.Open();
}

void ImageLoader::LookupLoop() {
  MakeThisThreadBackground();
  for (;;) {
    std::string url;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return stopping_ || !toLookUp_.empty(); });
      if (stopping_) return;
      url = std::move(toLookUp_.front());
      toLookUp_.pop_front();
    }
    std::optional<ImageCache::Entry> entry;
    {
      std::lock_guard cacheLock(cacheMutex_);
      OpenCacheOnce();
      entry = cache_.Lookup(url);
    }
    if (entry) {
      Finish(url, *entry);
      continue;
    }
    {
      std::lock_guard lock(mutex_);
      const auto pending = pending_.find(url);
      if (pending != pending_.end() && pending->second.fetch) {
        toFetch_.push_back(url);
        changed_.notify_all();
        continue;
      }
    }
    Finish(url, ImageLoadOutcome(ImageLoadCode::kNotCached, Sjis("画像はキャッシュにありません")));
  }
}

void ImageLoader::FetchLoop() {
  MakeThisThreadBackground();
  for (;;) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      std::deque<std::string>::iterator next;
      changed_.wait(lock, [this, &next] {
        if (stopping_) return true;
        next = std::find_if(toFetch_.begin(), toFetch_.end(), [this](const std::string& url) {
          return !busyHosts_.contains(pending_.at(url).host);
        });
        return next != toFetch_.end();
      });
      if (stopping_) return;
      job = pending_.at(*next);
      toFetch_.erase(next);
      busyHosts_.insert(job.host);
    }
    const ImageLoadOutcome outcome = FetchAndStore(job);
    {
      std::lock_guard lock(mutex_);
      busyHosts_.erase(job.host);
      if (stopping_) return;
    }
    changed_.notify_all();
    Finish(job.link.imageUrl, outcome);
  }
}

ImageLoadOutcome ImageLoader::FetchAndStore(const Job& job) {
  HttpSession session;
  session.RunOffUiThread(&stop_);
  session.SetStatusHandler(static_cast<void*>(&stop_), &StopHandler);
  ResultWith<FetchedImage, ImageFetchCode> fetched =
      FetchImage(session, job.link.imageUrl, job.link.referer);
  if (!fetched.IsOk()) {
    return {fetched.Code() == ImageFetchCode::kRefused ? ImageLoadCode::kRefused
                                                       : ImageLoadCode::kFailed,
            fetched.Reason()};
  }
  std::lock_guard cacheLock(cacheMutex_);
  OpenCacheOnce();
  ResultWith<ImageCache::Entry, ImageStoreCode> stored =
      cache_.Store(job.link.imageUrl, fetched.Value().body, fetched.Value().contentType);
  if (!stored.IsOk()) {
    return {stored.Code() == ImageStoreCode::kRefused ? ImageLoadCode::kRefused
                                                      : ImageLoadCode::kFailed,
            stored.Reason()};
  }
  return stored.Value();
}

void ImageLoader::Finish(const std::string& url, const ImageLoadOutcome& outcome) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    pending_.erase(url);
    if (outcome.Code() != ImageLoadCode::kNotCached) known_.insert_or_assign(url, outcome);
  }
  if (listener_) listener_(url, outcome);
}

Result<ImageStoreCode> ImageLoader::StoreThumbnail(const std::string& imageUrl,
                                                   std::string_view png) {
  Result<ImageStoreCode> stored;
  {
    std::lock_guard cacheLock(cacheMutex_);
    OpenCacheOnce();
    stored = cache_.StoreThumbnail(imageUrl, png);
  }
  if (stored.IsOk()) {
    std::lock_guard lock(mutex_);
    if (const auto found = known_.find(imageUrl); found != known_.end() && found->second.IsOk()) {
      ImageCache::Entry entry = found->second.Value();
      entry.thumbnailBytes = png.size();
      found->second = entry;
    }
  }
  return stored;
}

Outcome ImageLoader::Clear() {
  {
    std::lock_guard lock(mutex_);
    known_.clear();
  }
  std::lock_guard cacheLock(cacheMutex_);
  OpenCacheOnce();
  return cache_.Clear();
}

Outcome ImageLoader::Flush() {
  std::lock_guard cacheLock(cacheMutex_);
  if (!cacheOpened_) return {};
  return cache_.Flush();
}

void ImageLoader::SetByteLimit(std::uint64_t byteLimit) {
  std::lock_guard cacheLock(cacheMutex_);
  cache_.SetByteLimit(byteLimit);
}

}  // namespace velkor
