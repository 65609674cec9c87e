#include "images/ui/ThreadImages.h"

#include <QCursor>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <set>

#include "app/Settings.h"
#include "gui/GuiText.h"
#include "images/ui/ImagePopup.h"
#include "images/ui/ImageViewer.h"
#include "threads/ui/ThreadTab.h"
#include "threads/ui/ThreadView.h"

namespace velkor {
namespace {

// A thumbnail's link: "velkor:/image/<index>", a form a page does not read relative to its own
// address.
constexpr std::string_view kThumbnailLink = "velkor:/image/";

// The numbers of the replies on the page (their anchors "a<k>").
constexpr const char* kRepliesScript = R"JS(
(function () {
  var numbers = [];
  var anchors = document.anchors;
  for (var i = 0; i < anchors.length; ++i) {
    var found = /^a([0-9]+)$/.exec(anchors[i].getAttribute('name') || '');
    if (found) numbers.push(parseInt(found[1], 10));
  }
  return numbers;
})()
)JS";

// Draws the places of images under their posts; ITEMS is a list of {reply, index, state, ...}. A
// post's images go in one block before the next reply's anchor (or the unread marker), for the
// last post before the first rule after it; "none" removes an image's place.
constexpr const char* kDrawScript = R"JS(
(function (items) {
  function blockOf(reply, make) {
    var block = document.querySelector('div[data-velkor-images="' + reply + '"]');
    if (block || !make) return block;
    var anchor = document.anchors.namedItem('a' + reply);
    if (!anchor || !document.body) return null;
    var walker = document.createTreeWalker(document.body, NodeFilter.SHOW_ELEMENT);
    walker.currentNode = anchor;
    var end = null, rule = null;
    for (var node = walker.nextNode(); node; node = walker.nextNode()) {
      if (node.tagName === 'A' && /^(a[0-9]+|midoku)$/.test(node.getAttribute('name') || '')) {
        end = node;
        break;
      }
      if (!rule && node.tagName === 'HR') rule = node;
    }
    end = end || rule;
    block = document.createElement('div');
    block.setAttribute('data-velkor-images', reply);
    block.style.margin = '4px 0 8px 0';
    if (end) end.parentNode.insertBefore(block, end); else document.body.appendChild(block);
    return block;
  }
  items.forEach(function (item) {
    var block = blockOf(item.reply, item.state !== 'none');
    if (!block) return;
    var cell = block.querySelector('[data-velkor-image="' + item.index + '"]');
    if (item.state === 'none') {
      if (cell) cell.remove();
      if (!block.firstChild) block.remove();
      return;
    }
    if (!cell) {
      cell = document.createElement('span');
      cell.setAttribute('data-velkor-image', item.index);
      cell.style.display = 'inline-block';
      cell.style.verticalAlign = 'top';
      cell.style.marginRight = '8px';
      var next = null;
      for (var other = block.firstChild; other; other = other.nextSibling) {
        if (parseInt(other.getAttribute('data-velkor-image'), 10) > item.index) {
          next = other;
          break;
        }
      }
      block.insertBefore(cell, next);
    }
    while (cell.firstChild) cell.removeChild(cell.firstChild);
    if (item.state === 'ready') {
      var link = document.createElement('a');
      link.href = 'velkor:/image/' + item.index;
      link.title = item.url;
      link.style.display = 'inline-block';
      link.style.overflow = 'hidden';
      var image = document.createElement('img');
      image.src = item.src;
      image.width = item.width;
      image.height = item.height;
      image.style.border = '0';
      image.style.verticalAlign = 'top';
      if (item.blur) image.style.filter = 'blur(10px)';
      link.appendChild(image);
      cell.appendChild(link);
    } else {
      var text = document.createElement('span');
      text.textContent = item.text;
      text.style.fontSize = 'smaller';
      text.style.color = item.state === 'failed' ? '#c00000' : '#808080';
      cell.appendChild(text);
    }
  });
  return true;
})
)JS";

QString Latin(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

bool ImagesOff() {
  return AppSettings().imageLoad == Settings::ImageLoad::kNever;
}

}  // namespace

ThreadImages::ThreadImages(QWidget* window) : window_(window), popup_(new ImagePopup(window)) {
  connect(&service_, &ImageService::ImageChanged, this, &ThreadImages::ImageChanged);
}

ThreadImages::~ThreadImages() {
  delete viewer_.data();
  delete popup_.data();
}

ThreadImages::TabImages* ThreadImages::Find(ThreadTab& tab) {
  const auto found = tabs_.find(&tab);
  return found == tabs_.end() ? nullptr : &found->second;
}

void ThreadImages::PageLoaded(ThreadTab& tab) {
  if (tab.BoardDir().empty() || tab.DatName().empty() || ImagesOff()) {
    tabs_.erase(&tab);
    return;
  }
  auto [entry, added] = tabs_.try_emplace(&tab);
  if (added) {
    ThreadTab* gone = &tab;
    connect(&tab, &QObject::destroyed, this, [this, gone] { tabs_.erase(gone); });
  }
  entry->second = TabImages();
  // A page that goes away answers with no value, perhaps while its tab and this go too.
  QPointer<ThreadImages> self(this);
  QPointer<ThreadTab> shown(&tab);
  tab.View()->page()->runJavaScript(
      QString::fromUtf8(kRepliesScript), QWebEngineScript::ApplicationWorld,
      [self, shown](const QVariant& result) {
        if (self.isNull() || shown.isNull() || result.typeId() != QMetaType::QVariantList) return;
        std::vector<int> replies;
        for (const QVariant& number : result.toList()) replies.push_back(number.toInt());
        self->ReadPage(*shown, replies);
      });
}

void ThreadImages::ReadPage(ThreadTab& tab, const std::vector<int>& replies) {
  TabImages* images = Find(tab);
  if (images == nullptr) return;
  const ImageLinks& links = service_.Links();
  const ReplyList& shown = tab.ShownReplies();
  images->shown.clear();
  for (int reply : replies) {
    if (reply < 1 || reply > shown.Count()) continue;
    for (ImageLink& link : links.InMessage(shown.Message(reply))) {
      images->shown.push_back({reply, std::move(link)});
    }
  }
  images->loaded = true;
  const ImageLoader::Mode mode = AppSettings().imageLoad == Settings::ImageLoad::kAutomatic
                                     ? ImageLoader::Mode::kFetch
                                     : ImageLoader::Mode::kCacheOnly;
  for (const Shown& image : images->shown) service_.Request(image.link, mode);
  Draw(tab);
}

void ThreadImages::Draw(ThreadTab& tab, const std::string& imageUrl) {
  TabImages* images = Find(tab);
  // A discarded page runs no script; it is drawn whole when it loads again.
  if (images == nullptr || !images->loaded ||
      tab.View()->page()->lifecycleState() == QWebEnginePage::LifecycleState::Discarded) {
    return;
  }
  QJsonArray items;
  for (std::size_t i = 0; i < images->shown.size(); ++i) {
    const Shown& shown = images->shown[i];
    if (!imageUrl.empty() && shown.link.imageUrl != imageUrl) continue;
    const ImageService::Image& image = service_.Find(shown.link.imageUrl);
    QJsonObject item;
    item.insert(QStringLiteral("reply"), shown.reply);
    item.insert(QStringLiteral("index"), static_cast<int>(i));
    item.insert(QStringLiteral("url"), Latin(shown.link.imageUrl));
    switch (image.state) {
      case ImageService::Image::kReady: {
        const QSize size = ThumbnailSize(QSize(static_cast<int>(image.entry.info.width),
                                               static_cast<int>(image.entry.info.height)));
        item.insert(QStringLiteral("state"), QStringLiteral("ready"));
        item.insert(QStringLiteral("src"), ImageService::ThumbnailUrl(image));
        item.insert(QStringLiteral("width"), size.width());
        item.insert(QStringLiteral("height"), size.height());
        item.insert(QStringLiteral("blur"),
                    AppSettings().imageMosaic && !service_.Revealed(shown.link.imageUrl));
        break;
      }
      case ImageService::Image::kLoading:
        item.insert(QStringLiteral("state"), QStringLiteral("loading"));
        item.insert(QStringLiteral("text"), QString::fromUtf8("画像を読み込んでいます..."));
        break;
      case ImageService::Image::kFailed:
        item.insert(QStringLiteral("state"), QStringLiteral("failed"));
        item.insert(QStringLiteral("text"), FromSjis(image.reason));
        break;
      default:
        item.insert(QStringLiteral("state"), QStringLiteral("none"));
        break;
    }
    items.append(item);
  }
  if (items.isEmpty()) return;
  const QString data = QString::fromUtf8(QJsonDocument(items).toJson(QJsonDocument::Compact));
  tab.View()->page()->runJavaScript(
      QString::fromUtf8(kDrawScript) + QLatin1Char('(') + data + QLatin1Char(')'),
      QWebEngineScript::ApplicationWorld);
}

void ThreadImages::ImageChanged(const QString& imageUrl) {
  const std::string url = imageUrl.toStdString();
  for (auto& [tab, images] : tabs_) {
    const bool has = std::any_of(images.shown.begin(), images.shown.end(),
                                 [&url](const Shown& shown) { return shown.link.imageUrl == url; });
    if (has) Draw(*tab, url);
  }
  if (url != hovered_) return;
  const ImageService::Image& image = service_.Find(url);
  if (image.state == ImageService::Image::kReady &&
      !(AppSettings().imageMosaic && !service_.Revealed(url))) {
    popup_->ShowThumbnail(image.thumbnail, QCursor::pos());
  }
}

bool ThreadImages::LinkFollowed(ThreadTab& tab, const std::string& url) {
  if (url.starts_with(kThumbnailLink)) {
    TabImages* images = Find(tab);
    const std::size_t index =
        static_cast<std::size_t>(std::atoll(url.c_str() + kThumbnailLink.size()));
    if (images == nullptr || index >= images->shown.size()) return true;
    const ImageLink link = images->shown[index].link;
    if (AppSettings().imageMosaic && !service_.Revealed(link.imageUrl)) {
      service_.Reveal(link.imageUrl);
      Draw(tab, link.imageUrl);
    } else {
      OpenViewer(tab, link);
    }
    return true;
  }
  if (ImagesOff()) return false;
  const std::optional<ImageLink> link = service_.Links().Classify(url);
  if (!link) return false;
  const ImageService::Image& image = service_.Find(link->imageUrl);
  if (image.state == ImageService::Image::kReady) {
    OpenViewer(tab, *link);
    return true;
  }
  service_.Request(*link, image.state == ImageService::Image::kFailed
                              ? ImageLoader::Mode::kFetchAgain
                              : ImageLoader::Mode::kFetch);
  Draw(tab, link->imageUrl);
  return true;
}

bool ThreadImages::LinkHovered(ThreadTab&, const std::string& url) {
  hovered_.clear();
  std::optional<ImageLink> link;
  if (!ImagesOff() && !url.empty() && !url.starts_with(kThumbnailLink)) {
    link = service_.Links().Classify(url);
  }
  if (!link) {
    popup_->hide();
    return false;
  }
  hovered_ = link->imageUrl;
  const ImageService::Image& image = service_.Request(*link, ImageLoader::Mode::kCacheOnly);
  if (image.state != ImageService::Image::kReady ||
      (AppSettings().imageMosaic && !service_.Revealed(link->imageUrl))) {
    popup_->hide();
    return false;
  }
  popup_->ShowThumbnail(image.thumbnail, QCursor::pos());
  return true;
}

void ThreadImages::OpenViewer(ThreadTab& tab, const ImageLink& link) {
  std::vector<ImageLink> list;
  std::size_t at = 0;
  std::set<std::string> seen;
  if (TabImages* images = Find(tab)) {
    for (const Shown& shown : images->shown) {
      if (!seen.insert(shown.link.imageUrl).second) continue;
      if (shown.link.imageUrl == link.imageUrl) at = list.size();
      list.push_back(shown.link);
    }
  }
  if (!seen.contains(link.imageUrl)) {
    at = 0;
    list = {link};
  }
  popup_->hide();
  if (viewer_.isNull()) viewer_ = new ImageViewer(service_, window_);
  viewer_->Open(list, at);
}

}  // namespace velkor
