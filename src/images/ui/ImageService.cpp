#include "images/ui/ImageService.h"

#include <QBuffer>
#include <QPointer>
#include <QWebEngineUrlRequestJob>
#include <filesystem>
#include <system_error>

#include "app/Settings.h"
#include "app/UiHooks.h"
#include "base/BackgroundThread.h"
#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "images/ImageRuleFile.h"
#include "threads/ui/ThreadSchemeHandler.h"
#include "threads/ui/ThreadViewProfile.h"

namespace velkor {
namespace {

ImageService* current = nullptr;

std::uint64_t CacheBytes() {
  return static_cast<std::uint64_t>(AppSettings().imageCacheMegabytes) << 20;
}

// What identifies a version of the rule file: its size and time, or "missing".
std::string FileStamp(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  if (error) return "missing";
  const auto time = std::filesystem::last_write_time(path, error);
  return std::to_string(size) + "/" + std::to_string(time.time_since_epoch().count());
}

// A stored thumbnail read back, when it is still a PNG the cache would take.
std::optional<QByteArray> StoredThumbnail(const std::string& path) {
  const std::optional<std::string> png = ReadWholeFile(path);
  if (!png) return std::nullopt;
  const ResultWith<ImageInfo, ImageCheck> check =
      CheckImageBody(*png, "image/png", ImageType::kPng);
  if (!check.IsOk() || check.Value().width > kMaxThumbnailSide ||
      check.Value().height > kMaxThumbnailSide) {
    return std::nullopt;
  }
  return QByteArray(png->data(), static_cast<qsizetype>(png->size()));
}

}  // namespace

ImageService::ImageService(QObject* parent) : QObject(parent) {
  LimitImageDecoding();
  pool_.setMaxThreadCount(2);
  loader_ = std::make_unique<ImageLoader>(
      ImageCache::DefaultDir(), CacheBytes(),
      [this](const std::string& imageUrl, const ImageLoadOutcome& outcome) {
        QMetaObject::invokeMethod(
            this, [this, imageUrl, outcome] { Heard(imageUrl, outcome); }, Qt::QueuedConnection);
      });
  current = this;
}

void ImageService::ServeThumbnails() {
  if (serving_) return;
  serving_ = true;
  QPointer<const ImageService> self(this);
  ThreadPages()->AddSource(QStringLiteral("thumb"), [self](QWebEngineUrlRequestJob* job) {
    if (self.isNull()) {
      job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    } else {
      self->ServeThumbnail(job);
    }
  });
}

ImageService::~ImageService() {
  if (current == this) current = nullptr;
  pool_.waitForDone();
  (void)loader_->Flush();
  loader_.reset();
}

ImageService* ImageService::Current() {
  return current;
}

const ImageLinks& ImageService::Links() {
  const std::string path = ImageRuleFile::DefaultPath();
  const std::string stamp = FileStamp(path);
  if (stamp != rulesText_) {
    rulesText_ = stamp;
    ImageRuleFile rules;
    if (Outcome loaded = rules.Load(path); !loaded.IsOk()) {
      Ui().SetStatusText(loaded.Reason());
    } else if (!rules.Problems().empty()) {
      Ui().SetStatusText(Sjis("警告:") + ImageRuleProblemText(rules.Problems().front()));
    }
    links_ = ImageLinks(rules.Rules());
  }
  return links_;
}

ImageService::Image& ImageService::Entry(const std::string& imageUrl) {
  auto [it, added] = images_.try_emplace(imageUrl);
  if (added) {
    it->second.id = nextId_++;
    urlsById_.emplace(it->second.id, imageUrl);
  }
  return it->second;
}

const ImageService::Image& ImageService::Find(const std::string& imageUrl) const {
  static const Image none;
  const auto found = images_.find(imageUrl);
  return found == images_.end() ? none : found->second;
}

const ImageService::Image& ImageService::Request(const ImageLink& link, ImageLoader::Mode mode) {
  ServeThumbnails();
  Image& image = Entry(link.imageUrl);
  if (image.state == Image::kReady) return image;
  if (image.state == Image::kFailed && mode != ImageLoader::Mode::kFetchAgain) return image;
  if (image.state == Image::kLoading && mode == ImageLoader::Mode::kCacheOnly) return image;
  image.state = mode == ImageLoader::Mode::kCacheOnly ? Image::kLookingUp : Image::kLoading;
  image.reason.clear();
  if (std::optional<ImageLoadOutcome> known = loader_->Request(link, mode)) {
    Heard(link.imageUrl, *known);
  }
  return image;
}

void ImageService::Heard(const std::string& imageUrl, const ImageLoadOutcome& outcome) {
  Image& image = Entry(imageUrl);
  if (image.state == Image::kReady) return;
  switch (outcome.Code()) {
    case ImageLoadCode::kOk:
      image.state = Image::kLoading;
      image.entry = outcome.Value();
      MakeThumbnailOf(imageUrl, outcome.Value());
      break;
    case ImageLoadCode::kNotCached:
      image.state = Image::kNone;
      break;
    case ImageLoadCode::kRefused:
    case ImageLoadCode::kFailed:
      image.state = Image::kFailed;
      image.reason = outcome.Reason();
      break;
  }
  emit ImageChanged(QString::fromLatin1(imageUrl.data(), static_cast<qsizetype>(imageUrl.size())));
}

void ImageService::MakeThumbnailOf(const std::string& imageUrl, const ImageCache::Entry& entry) {
  const bool stored = entry.thumbnailBytes != 0;
  // The destructor waits for the pool: the task may use the service and its loader.
  pool_.start([this, imageUrl, stored] {
    MakeThisThreadBackground();
    std::optional<QByteArray> png =
        stored ? StoredThumbnail(loader_->ThumbnailPath(imageUrl)) : std::nullopt;
    ResultWith<QByteArray> made =
        png ? ResultWith<QByteArray>(*png) : MakeThumbnail(loader_->ImagePath(imageUrl));
    if (!png && made.IsOk()) {
      (void)loader_->StoreThumbnail(
          imageUrl, std::string_view(made.Value().constData(),
                                     static_cast<std::size_t>(made.Value().size())));
    }
    if (!made.IsOk()) loader_->Forget(imageUrl);  // a file gone from the cache is asked for again
    QMetaObject::invokeMethod(
        this,
        [this, imageUrl, made] {
          Image& image = Entry(imageUrl);
          if (made.IsOk()) {
            image.state = Image::kReady;
            image.thumbnail = made.Value();
          } else {
            image.state = Image::kFailed;
            image.reason = made.Reason();
          }
          emit ImageChanged(
              QString::fromLatin1(imageUrl.data(), static_cast<qsizetype>(imageUrl.size())));
        },
        Qt::QueuedConnection);
  });
}

std::string ImageService::ImagePath(const std::string& imageUrl) const {
  return loader_->ImagePath(imageUrl);
}

QString ImageService::ThumbnailUrl(const Image& image) {
  return QStringLiteral("velkor:/thumb/%1").arg(image.id);
}

void ImageService::ServeThumbnail(QWebEngineUrlRequestJob* job) const {
  bool ok = false;
  const int id = job->requestUrl().path().section(QLatin1Char('/'), -1).toInt(&ok);
  const auto url = urlsById_.find(id);
  const Image* image = ok && url != urlsById_.end() ? &Find(url->second) : nullptr;
  if (image == nullptr || image->state != Image::kReady) {
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    return;
  }
  auto* buffer = new QBuffer(job);
  buffer->setData(image->thumbnail);
  buffer->open(QIODevice::ReadOnly);
  job->reply(QByteArrayLiteral("image/png"), buffer);
}

void ImageService::DecodeWhole(const std::string& imageUrl, QObject* receiver,
                               std::function<void(const ResultWith<DecodedImage>&)> done) {
  const std::string path = ImagePath(imageUrl);
  QPointer<QObject> target(receiver);
  pool_.start([this, path, target, done = std::move(done)] {
    MakeThisThreadBackground();
    ResultWith<DecodedImage> decoded = DecodeImageFile(path);
    QMetaObject::invokeMethod(
        this,
        [target, done, decoded] {
          if (!target.isNull()) done(decoded);
        },
        Qt::QueuedConnection);
  });
}

void ImageService::ApplySettings() {
  loader_->SetByteLimit(CacheBytes());
}

Outcome ImageService::ClearCache() {
  if (current == nullptr) return ImageCache(ImageCache::DefaultDir()).Clear();
  for (auto& [url, image] : current->images_) {
    if (image.state == Image::kLoading) continue;
    const int id = image.id;
    image = Image();
    image.id = id;
  }
  return current->loader_->Clear();
}

}  // namespace velkor
