#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "base/Result.h"
#include "images/ImageCache.h"
#include "images/ImageLinks.h"
#include "images/ImageLoader.h"
#include "images/ui/ImageDecoder.h"

class QWebEngineUrlRequestJob;

namespace velkor {

// The window's images: the image rules, the loader that brings images into the cache
// (ImageLoader, off the window's thread), their thumbnails (made off the window's thread on two
// background threads, kept in the cache and in memory) and the state of every image asked for in
// this run. The thumbnails go to the pages through the thread views' own scheme as
// "velkor:/thumb/<id>", never as a remote load. One service lives while the main window does
// (Current()).
class ImageService : public QObject {
  Q_OBJECT

 public:
  struct Image {
    enum State {
      kNone,       // nothing asked, or not in the cache when only the cache was asked
      kLookingUp,  // looked up in the cache only; nothing shows for it yet
      kLoading,    // fetched (or its thumbnail made)
      kReady,      // cached, with its thumbnail
      kFailed,     // refused or failed; `reason` says why
    };
    State state = kNone;
    std::string reason;       // kFailed: CP932, for the image's place
    ImageCache::Entry entry;  // kReady
    QByteArray thumbnail;     // kReady: a PNG of at most kMaxThumbnailSide a side
    int id = 0;               // its number in "velkor:/thumb/<id>"
  };

  // Uses the cache in ImageCache::DefaultDir() with the size limit of AppSettings() and sets the
  // decoding allocation limit. "velkor:/thumb/..." is served to the thread views from the first
  // request on (their browser profile is made when a view first needs it, not at start).
  explicit ImageService(QObject* parent = nullptr);
  // Waits for the decodes and fetches under way to stop, then writes the cache's uses.
  ~ImageService() override;

  // The service alive, or null.
  static ImageService* Current();

  // The image links of the rules in ini/imagerules.txt, read again when the file changed; damaged
  // lines are reported in the status bar ("警告:" and the first problem).
  const ImageLinks& Links();

  // Asks for the image of `link` as ImageLoader::Request does and returns its state then; every
  // later change is told by ImageChanged. A ready or failed image stays as it is (but for
  // kFetchAgain, which asks again after a failure); kCacheOnly never shows a loading image.
  const Image& Request(const ImageLink& link, ImageLoader::Mode mode);
  // The state of an image (kNone when never asked for).
  const Image& Find(const std::string& imageUrl) const;
  // Where the cache keeps the image's file.
  std::string ImagePath(const std::string& imageUrl) const;
  // The address a page loads the image's thumbnail from.
  static QString ThumbnailUrl(const Image& image);

  // Thumbnails under a mosaic are shown clearly once revealed (for the rest of the run).
  bool Revealed(const std::string& imageUrl) const { return revealed_.contains(imageUrl); }
  void Reveal(const std::string& imageUrl) { revealed_.insert(imageUrl); }

  // Decodes the whole cached image off the window's thread and calls `done` with it on the
  // window's thread, unless `receiver` is gone by then.
  void DecodeWhole(const std::string& imageUrl, QObject* receiver,
                   std::function<void(const ResultWith<DecodedImage>&)> done);

  // Takes the cache size limit of AppSettings().
  void ApplySettings();
  // "画像キャッシュを削除": empties the cache (through the service when there is one, so its
  // images are asked for afresh, else directly) and forgets the ready images.
  static Outcome ClearCache();

 signals:
  // The state of the image at `imageUrl` changed.
  void ImageChanged(const QString& imageUrl);

 private:
  Image& Entry(const std::string& imageUrl);
  // The loader's outcome for `imageUrl`, on the window's thread.
  void Heard(const std::string& imageUrl, const ImageLoadOutcome& outcome);
  // Makes (or reads) the thumbnail of a cached image off the window's thread.
  void MakeThumbnailOf(const std::string& imageUrl, const ImageCache::Entry& entry);
  void ServeThumbnails();
  void ServeThumbnail(QWebEngineUrlRequestJob* job) const;

  std::map<std::string, Image> images_;
  std::map<int, std::string> urlsById_;
  std::set<std::string> revealed_;
  int nextId_ = 1;
  bool serving_ = false;
  std::string rulesText_;
  ImageLinks links_;
  QThreadPool pool_;
  // Last, so it goes first: its threads end before anything they report to.
  std::unique_ptr<ImageLoader> loader_;
};

}  // namespace velkor
