#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/Result.h"
#include "images/ImageCache.h"
#include "images/ImageLinks.h"

namespace velkor {

enum class ImageLoadCode {
  kOk,         // the image is in the cache (the entry says what it is)
  kNotCached,  // a cache-only request for an image the cache does not hold
  kRefused,    // the server sent no image to show, or the cache refused it (ImageFetchCode,
               // ImageStoreCode::kRefused); the reason says why
  kFailed,     // no image came, or it could not be stored; the reason says why
};

using ImageLoadOutcome = ResultWith<ImageCache::Entry, ImageLoadCode>;

// Brings images into the cache for the window, off the caller's thread, so that the caller never
// waits for the network or the disk: one thread looks images up in the cache, kMaxFetches threads
// fetch them (all of them background threads, MakeThisThreadBackground) (FetchImage on a session of
// their own that never touches the user interface), at most one per host at a time, in the order
// asked for. Whatever a URL came to in this run (cached, stored, refused, failed) is remembered, so
// an image is fetched at most once however often it is shown; a request for a URL already on its
// way joins it. Every method may be called from any thread.
class ImageLoader {
 public:
  static constexpr int kMaxFetches = 2;

  enum class Mode {
    kCacheOnly,   // from the cache or not at all
    kFetch,       // from the cache, else from the network
    kFetchAgain,  // as kFetch, after forgetting a refusal or failure of this run
  };

  // Hears the outcome of every request that Request did not answer at once, on one of the
  // loader's threads, with no lock of the loader held.
  using Listener = std::function<void(const std::string& imageUrl, const ImageLoadOutcome&)>;

  // A loader over the cache in `cacheDir` (opened, with ImageCache::Open, by its first use).
  ImageLoader(std::string cacheDir, std::uint64_t byteLimit, Listener listener);
  // Stops the running fetches (at their next wait slice) and waits for the threads; what is still
  // queued is dropped unanswered.
  ~ImageLoader();
  ImageLoader(const ImageLoader&) = delete;
  ImageLoader& operator=(const ImageLoader&) = delete;

  // Asks for the image of `link`. An outcome this run already has for its image URL (found,
  // stored, refused or failed; kFetchAgain forgets the last two first; kCacheOnly takes a refusal
  // or failure as kNotCached) comes back at once. Otherwise the answer is nullopt and the listener
  // hears it later: the request joins one pending for the same URL (a cache-only one becomes a
  // fetch when this one is), or is queued: looked up in the cache, and, unless kCacheOnly,
  // fetched and stored when missing. kNotCached outcomes are not remembered.
  std::optional<ImageLoadOutcome> Request(const ImageLink& link, Mode mode);
  // Forgets what this run knows of `imageUrl` (for an image whose file went from under it).
  void Forget(const std::string& imageUrl);

  // The cache's operations, taken in turn with the loader's own use of it (and so possibly
  // waiting for a store in progress).
  Result<ImageStoreCode> StoreThumbnail(const std::string& imageUrl, std::string_view png);
  // Also forgets every outcome of this run. Fetches still running store what they bring.
  Outcome Clear();
  Outcome Flush();
  void SetByteLimit(std::uint64_t byteLimit);
  // Where the cache keeps these files (no lookup).
  std::string ImagePath(const std::string& imageUrl) const { return cache_.ImagePath(imageUrl); }
  std::string ThumbnailPath(const std::string& imageUrl) const {
    return cache_.ThumbnailPath(imageUrl);
  }

 private:
  struct Job {
    ImageLink link;
    std::string host;
    bool fetch = false;
  };

  void StartThreads();
  void LookupLoop();
  void FetchLoop();
  // Opens the cache on its first use; cacheMutex_ held.
  void OpenCacheOnce();
  // Ends the pending job of `url` with `outcome` and tells the listener.
  void Finish(const std::string& url, const ImageLoadOutcome& outcome);
  ImageLoadOutcome FetchAndStore(const Job& job);

  Listener listener_;

  // Guards everything below up to cacheMutex_; never held while the network or the disk is used.
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stopping_ = false;
  std::map<std::string, ImageLoadOutcome> known_;
  std::map<std::string, Job> pending_;
  std::deque<std::string> toLookUp_;
  std::deque<std::string> toFetch_;
  std::set<std::string> busyHosts_;
  std::vector<std::thread> threads_;
  std::atomic<bool> stop_ = false;

  // Guards the cache.
  std::mutex cacheMutex_;
  ImageCache cache_;
  bool cacheOpened_ = false;
};

}  // namespace velkor
