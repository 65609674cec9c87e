#include "threads/ui/ThreadView.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QWebChannel>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

#include "threads/ui/LazyLayout.h"
#include "threads/ui/LinkBridge.h"
#include "threads/ui/PageDecorations.h"
#include "threads/ui/PageZoom.h"
#include "threads/ui/ReadingPlace.h"
#include "threads/ui/ThreadPage.h"
#include "threads/ui/ThreadSchemeHandler.h"
#include "threads/ui/ThreadViewProfile.h"

namespace velkor {

namespace {

// Runs in the program's own script world (the page's scripts are off): takes every click on a
// link, cancels it and reports the link's address, since in-page links never come by as
// navigations.
QString ClickListenerScript() {
  QFile channelJs(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
  QString script;
  if (channelJs.open(QIODevice::ReadOnly)) script = QString::fromUtf8(channelJs.readAll());
  script += QStringLiteral(R"JS(
(function () {
  var bridge = null;
  new QWebChannel(qt.webChannelTransport, function (channel) {
    bridge = channel.objects.velkorLinks;
    window.velkorBridge = bridge;
  });
  document.addEventListener('click', function (event) {
    if (event.button !== 0) return;
    var node = event.target;
    while (node && !(node.tagName === 'A' && node.hasAttribute('href'))) node = node.parentElement;
    if (!node) return;
    event.preventDefault();
    event.stopPropagation();
    if (bridge) bridge.linkClicked(node.href);
  }, true);
  // The browser reports the link under the mouse only when it differs from the last one it
  // reported, and on a busy machine it can miss that the mouse left the link (its report of that
  // comes before the first one was taken): back on the same link, it then says nothing. The
  // page's own mouse events say it every time.
  var link = null;
  function linkOf(node) {
    while (node && node.nodeType !== 1) node = node.parentNode;
    while (node && !(node.tagName === 'A' && node.hasAttribute('href'))) node = node.parentElement;
    return node;
  }
  document.addEventListener('mouseover', function (event) {
    var node = linkOf(event.target);
    if (node === link) return;
    link = node;
    if (bridge) bridge.linkHovered(node ? node.href : '');
  }, true);
  document.addEventListener('mouseout', function (event) {
    if (!link || (event.relatedTarget && link.contains(event.relatedTarget))) return;
    link = null;
    if (bridge) bridge.linkHovered('');
  }, true);
  var decoration = null;
  function decorationOf(node) {
    while (node && node.nodeType !== 1) node = node.parentNode;
    while (node && !node.hasAttribute('data-velkor-kind')) node = node.parentElement;
    return node;
  }
  document.addEventListener('mouseover', function (event) {
    var node = decorationOf(event.target);
    if (!node || node === decoration) return;
    decoration = node;
    if (bridge) {
      bridge.decorationHovered(node.getAttribute('data-velkor-kind'),
                               parseInt(node.getAttribute('data-velkor-reply'), 10));
    }
  }, true);
  document.addEventListener('mouseout', function (event) {
    if (!decoration || (event.relatedTarget && decoration.contains(event.relatedTarget))) return;
    decoration = null;
    if (bridge) bridge.decorationHovered('', 0);
  }, true);
})();
)JS");
  return script;
}

// The number of the reply shown at a point (view coordinates): the last reply anchor before the
// element there.
constexpr const char* kReplyAtScript = R"JS(
(function (x, y) {
  var target = document.elementFromPoint(x, y);
  if (!target) return 0;
  var found = 0;
  var anchors = document.anchors;
  for (var i = 0; i < anchors.length; ++i) {
    var name = anchors[i].getAttribute('name') || '';
    if (!/^a[0-9]+$/.test(name)) continue;
    if (anchors[i] !== target &&
        !(anchors[i].compareDocumentPosition(target) & Node.DOCUMENT_POSITION_FOLLOWING)) break;
    found = parseInt(name.substring(1), 10);
  }
  return found;
})
)JS";

// The place at the top of the view: [reply, pixels the view's top lies below its anchor], the
// reply being the last one whose anchor is at or above the top; [0, scroll position] above the
// first reply.
constexpr const char* kReadSpotScript = R"JS(
(function () {
  var anchors = document.anchors;
  var spot = [0, Math.round(window.pageYOffset)];
  for (var i = 0; i < anchors.length; ++i) {
    var name = anchors[i].getAttribute('name') || '';
    if (!/^a[0-9]+$/.test(name)) continue;
    var top = anchors[i].getBoundingClientRect().top;
    if (top > 0.5) break;
    spot = [parseInt(name.substring(1), 10), Math.round(-top)];
  }
  return spot;
})()
)JS";

// Where the reader is: the reply at the top of the view (the last reply anchor "a<k>" at or above
// the top, else the first one), its anchor's distance from the top, and whether the view is at the
// bottom of the page.
constexpr const char* kReplyPlaceScript = R"JS(
(function () {
  var root = document.scrollingElement || document.documentElement;
  if (!root) return null;
  var atBottom = window.pageYOffset + window.innerHeight >= root.scrollHeight - 2;
  var reply = 0, offset = 0;
  var anchors = document.anchors;
  for (var i = 0; i < anchors.length; ++i) {
    var name = anchors[i].getAttribute('name') || '';
    if (!/^a[0-9]+$/.test(name)) continue;
    var top = anchors[i].getBoundingClientRect().top;
    if (top > 0 && reply !== 0) break;
    reply = parseInt(name.substring(1), 10);
    offset = top;
    if (top > 0) break;
  }
  return [reply, offset, atBottom];
})()
)JS";

// Puts the reply REPLY's anchor OFFSET pixels from the top of the view; with AT_BOTTOM, then
// scrolls on down to the end of the page, but not past the point where the anchor FOLLOW is at the
// top.
constexpr const char* kKeepReplyScript = R"JS(
(function (reply, offset, atBottom, follow) {
  var root = document.scrollingElement || document.documentElement;
  if (!root) return;
  var y = window.pageYOffset;
  var anchor = reply > 0 ? document.anchors.namedItem('a' + reply) : null;
  if (anchor) y = anchor.getBoundingClientRect().top + window.pageYOffset - offset;
  if (atBottom) {
    var end = root.scrollHeight - window.innerHeight;
    var next = follow ? document.anchors.namedItem(follow) : null;
    if (next) end = Math.min(end, next.getBoundingClientRect().top + window.pageYOffset);
    y = Math.max(y, end);
  }
  window.scrollTo(0, y);
})
)JS";

bool IsPlainAnchorName(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name) {
    const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!ok) return false;
  }
  return true;
}

}  // namespace

ThreadView::ThreadView(QWidget* parent)
    : QWebEngineView(parent),
      pages_(ThreadPages()),
      page_(new ThreadPage(ThreadViewProfile(), this)),
      bridge_(new LinkBridge(this)),
      channel_(new QWebChannel(this)),
      slot_(pages_->NewSlot()) {
  channel_->registerObject(QStringLiteral("velkorLinks"), bridge_);
  page_->setWebChannel(channel_, QWebEngineScript::ApplicationWorld);
  const auto addScript = [this](const char* name, const QString& source) {
    QWebEngineScript script;
    script.setName(QString::fromLatin1(name));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(source);
    page_->scripts().insert(script);
  };
  addScript("velkor-links", ClickListenerScript());
  addScript("velkor-reading-place", ReadingPlaceTrackerScript());
  addScript("velkor-lazy-layout", LazyLayoutScript());
  setPage(page_);
  setZoomFactor(ThreadPageZoom().Factor());
  connect(&ThreadPageZoom(), &PageZoom::Changed, this,
          [this](double factor) { setZoomFactor(factor); });

  connect(bridge_, &LinkBridge::LinkClicked, this,
          [this](const QString& href) { emit LinkFollowed(DocumentForm(href)); });
  connect(bridge_, &LinkBridge::DecorationHovered, this, &ThreadView::DecorationUnderMouse);
  connect(bridge_, &LinkBridge::ReadingPlaceChanged, this, [this](int reply, double offset) {
    place_ = {reply, offset};
  });
  connect(page_, &ThreadPage::LinkRequested, this,
          [this](const QUrl& url) { emit LinkFollowed(DocumentForm(url.toString())); });
  connect(page_, &QWebEnginePage::linkHovered, this,
          [this](const QString& url) { PassHoveredLink(DocumentForm(url)); });
  connect(bridge_, &LinkBridge::LinkHovered, this,
          [this](const QString& href) { PassHoveredLink(DocumentForm(href)); });
  connect(page_, &QWebEnginePage::recommendedStateChanged, this,
          [this](QWebEnginePage::LifecycleState state) {
            LifecycleRecommended(static_cast<int>(state));
          });
  connect(page_, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
    switch (info.status()) {
      case QWebEngineLoadingInfo::LoadStartedStatus:
        hoveredLink_.clear();
        // Also a discarded page loading its document again: scrolls wait for it.
        if (info.url().adjusted(QUrl::RemoveFragment) == page_->DocumentUrl()) loading_ = true;
        break;
      case QWebEngineLoadingInfo::LoadSucceededStatus:
        LoadingChanged(true, true, info.url());
        break;
      default:
        LoadingChanged(true, false, info.url());
        break;
    }
  });
}

ThreadView::~ThreadView() {
  if (!pages_.isNull()) pages_->Release(slot_);
  // The page goes before the view it draws into, and tells it nothing more while it goes: a load
  // it stops, or a script answer it drops, on its way out would otherwise come back into this
  // half-destroyed view (and the tab around it).
  *alive_ = false;
  disconnect(page_, nullptr, this, nullptr);
  setPage(nullptr);
  delete page_;
}

QString ThreadView::DocumentForm(const QString& url) const {
  const QString document = page_->DocumentUrl().toString();
  if (document.isEmpty()) return url;
  if (url == document) return QStringLiteral("about:blank");
  if (url.startsWith(document + QLatin1Char('#'))) {
    return QStringLiteral("about:blank") + url.mid(document.size());
  }
  return url;
}

void ThreadView::WriteDocument(const std::string& html, const std::string& anchor) {
  if (pages_.isNull()) return;
  std::vector<PendingScroll> dropped;
  dropped.swap(pending_);
  const QUrl url =
      pages_->Publish(slot_, QByteArray(html.data(), static_cast<qsizetype>(html.size())));
  page_->SetDocumentUrl(url);
  loading_ = true;
  restoreScroll_ = false;
  keepReply_.reset();
  pendingRewrite_.reset();
  restorePlace_ = false;
  place_ = ReadingPlace();
  // The browser shows the anchor as soon as it is parsed, long before a large page has loaded.
  QUrl shown = url;
  if (IsPlainAnchorName(anchor)) shown.setFragment(QString::fromLatin1(anchor.c_str()));
  page_->load(shown);
  for (PendingScroll& scroll : dropped) {
    if (scroll.done) scroll.done(kScrollFailed);
  }
}

void ThreadView::RewriteDocument(const std::string& html) {
  const QPointF at = page_->scrollPosition();
  const ReadingPlace place = place_;
  WriteDocument(html);
  // The reply at the top stays there; only a page never scrolled keeps its pixel offset.
  if (place.reply > 0) {
    place_ = place;
    restorePlace_ = true;
  } else {
    savedScroll_ = at;
    restoreScroll_ = true;
  }
}

void ThreadView::SetDecorations(const QJsonObject& decorations) {
  static const QString kName = QStringLiteral("velkor-decorations");
  QWebEngineScriptCollection& scripts = page_->scripts();
  for (const QWebEngineScript& old : scripts.find(kName)) scripts.remove(old);
  if (decorations.isEmpty()) return;
  QWebEngineScript script;
  script.setName(kName);
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setWorldId(QWebEngineScript::ApplicationWorld);
  script.setRunsOnSubFrames(false);
  script.setSourceCode(DecorationScript(decorations));
  scripts.insert(script);
}

void ThreadView::RewriteKeepingReply(const std::string& html, const std::string& follow) {
  // A newer page replaces one still waiting; it goes in once the page in hand has loaded and the
  // place has been read from it.
  pendingRewrite_ = PendingRewrite{html, follow};
  if (measuring_ || loading_) return;
  if (page_->DocumentUrl().isEmpty() ||
      page_->lifecycleState() != QWebEnginePage::LifecycleState::Active) {
    const std::string page = std::move(pendingRewrite_->html);
    pendingRewrite_.reset();
    RewriteDocument(page);
    return;
  }
  MeasureAndRewrite();
}

void ThreadView::MeasureAndRewrite() {
  measuring_ = true;
  QPointer<ThreadView> self(this);
  page_->runJavaScript(QString::fromUtf8(kReplyPlaceScript), QWebEngineScript::ApplicationWorld,
                       [self, alive = alive_](const QVariant& result) {
                         if (!*alive || self.isNull()) return;
                         self->measuring_ = false;
                         // A page written meanwhile won.
                         if (!self->pendingRewrite_) return;
                         const PendingRewrite rewrite = std::move(*self->pendingRewrite_);
                         self->pendingRewrite_.reset();
                         const QVariantList place = result.toList();
                         if (place.size() != 3) {
                           self->RewriteDocument(rewrite.html);
                           return;
                         }
                         self->WriteDocument(rewrite.html);
                         self->keepReply_ = ReplyPlace{
                             place[0].toInt(), place[1].toDouble(), place[2].toBool(),
                             IsPlainAnchorName(rewrite.follow) ? rewrite.follow : std::string()};
                       });
}

void ThreadView::ReplyAt(QPoint pos, std::function<void(int)> done) {
  if (page_->DocumentUrl().isEmpty() || loading_) {
    done(0);
    return;
  }
  page_->runJavaScript(
      QString::fromUtf8(kReplyAtScript) + QStringLiteral("(%1, %2)").arg(pos.x()).arg(pos.y()),
      QWebEngineScript::ApplicationWorld,
      [done = std::move(done), alive = alive_](const QVariant& result) {
        if (*alive) done(result.toInt());
      });
}

void ThreadView::SetKeepActive(bool keep) {
  using State = QWebEnginePage::LifecycleState;
  keepActive_ = keep;
  if (keep) {
    LifecycleRecommended(static_cast<int>(State::Active));
    return;
  }
  // The browser's recommendations come one step at a time: frozen before discarded.
  const State recommended = page_->recommendedState();
  if (recommended == State::Discarded) LifecycleRecommended(static_cast<int>(State::Frozen));
  LifecycleRecommended(static_cast<int>(recommended));
}

void ThreadView::LifecycleRecommended(int recommended) {
  const auto state = static_cast<QWebEnginePage::LifecycleState>(recommended);
  if (keepActive_ && state != QWebEnginePage::LifecycleState::Active) return;
  // A page still loading or with scrolls waiting is left alone until it is done.
  if (state != QWebEnginePage::LifecycleState::Active && (loading_ || !pending_.empty())) return;
  if (state == QWebEnginePage::LifecycleState::Discarded) {
    savedScroll_ = page_->scrollPosition();
    restoreScroll_ = true;
  }
  page_->setLifecycleState(state);
}

void ThreadView::PassHoveredLink(const QString& url) {
  if (url == hoveredLink_) return;
  hoveredLink_ = url;
  emit LinkUnderMouse(url);
}

void ThreadView::LoadingChanged(bool finished, bool ok, const QUrl& url) {
  if (!finished || url.adjusted(QUrl::RemoveFragment) != page_->DocumentUrl()) return;
  loading_ = false;
  if (restorePlace_) {
    restorePlace_ = false;
    if (ok)
      page_->runJavaScript(RestoreReadingPlaceScript(place_), QWebEngineScript::ApplicationWorld);
  }
  // A discarded page comes back with the zoom it was made with.
  if (zoomFactor() != ThreadPageZoom().Factor()) setZoomFactor(ThreadPageZoom().Factor());
  if (restoreScroll_) {
    restoreScroll_ = false;
    if (ok) {
      page_->runJavaScript(
          QStringLiteral("window.scrollTo(%1, %2)").arg(savedScroll_.x()).arg(savedScroll_.y()),
          QWebEngineScript::ApplicationWorld);
    }
  }
  std::vector<PendingScroll> ready;
  ready.swap(pending_);
  for (PendingScroll& scroll : ready) {
    if (ok) {
      RunScroll(scroll.name, scroll.offset, std::move(scroll.done));
    } else if (scroll.done) {
      scroll.done(kScrollFailed);
    }
  }
  emit DocumentLoaded(ok);
  // After the decorations, which may make lines longer.
  if (keepReply_) {
    const ReplyPlace place = *keepReply_;
    keepReply_.reset();
    if (ok) {
      page_->runJavaScript(
          QString::fromUtf8(kKeepReplyScript) +
              QStringLiteral("(%1, %2, %3, '%4')")
                  .arg(place.reply)
                  .arg(place.offset)
                  .arg(place.atBottom ? QStringLiteral("true") : QStringLiteral("false"))
                  .arg(QString::fromLatin1(place.follow.c_str())),
          QWebEngineScript::ApplicationWorld);
    }
  }
  // A rewrite that came while this page loaded.
  if (pendingRewrite_ && !measuring_ && !loading_) {
    if (ok) {
      MeasureAndRewrite();
    } else {
      const std::string page = std::move(pendingRewrite_->html);
      pendingRewrite_.reset();
      WriteDocument(page);
    }
  }
}

void ThreadView::ScrollToAnchor(const std::string& name, std::function<void(int)> done) {
  ScrollToAnchor(name, 0, std::move(done));
}

void ThreadView::ScrollToAnchor(const std::string& name, int offset,
                                std::function<void(int)> done) {
  if (loading_) {
    pending_.push_back({name, offset, std::move(done)});
    return;
  }
  RunScroll(name, offset, std::move(done));
}

void ThreadView::ReadSpot(std::function<void(std::optional<ReadingSpot>)> done) {
  if (page_->DocumentUrl().isEmpty() || loading_) {
    done(std::nullopt);
    return;
  }
  page_->runJavaScript(QString::fromUtf8(kReadSpotScript), QWebEngineScript::ApplicationWorld,
                       [done = std::move(done), alive = alive_](const QVariant& result) {
                         if (!*alive) return;
                         const QVariantList spot = result.toList();
                         if (spot.size() != 2) {
                           done(std::nullopt);
                           return;
                         }
                         done(ReadingSpot{spot[0].toInt(), spot[1].toInt()});
                       });
}

void ThreadView::RunScroll(const std::string& name, int offset, std::function<void(int)> done) {
  if (page_->DocumentUrl().isEmpty()) {
    if (done) done(kScrollFailed);
    return;
  }
  // Every anchor of a thread page is a plain name ("a12", "midoku"); anything else is not there.
  if (!name.empty() && !IsPlainAnchorName(name)) {
    if (done) done(kAnchorNotFound);
    return;
  }
  const QString script = QStringLiteral(
                             "(function (name, offset) {"
                             "  if (!document.body || !document.anchors) return -1;"
                             "  var top = 0;"
                             "  if (name) {"
                             "    var anchor = document.anchors.namedItem(name);"
                             "    if (!anchor) return 0;"
                             "    top = anchor.getBoundingClientRect().top + window.pageYOffset;"
                             "  }"
                             "  window.scrollTo(0, top + offset);"
                             "  return 1;"
                             "})('%1', %2)")
                             .arg(QString::fromLatin1(name.c_str()))
                             .arg(offset);
  page_->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                       [done = std::move(done), alive = alive_](const QVariant& result) {
                         if (!*alive || !done) return;
                         bool ok = false;
                         const int value = result.toInt(&ok);
                         done(ok ? value : kScrollFailed);
                       });
}

void ThreadView::FocusDocument() {
  setFocus(Qt::OtherFocusReason);
}

void ThreadView::contextMenuEvent(QContextMenuEvent* event) {
  // The browser's own report of the click carries the selection as it was then; the page's
  // cached selection may already have been cleared by the press.
  const QWebEngineContextMenuRequest* request = lastContextMenuRequest();
  const QString selection = request != nullptr ? request->selectedText() : selectedText();
  event->accept();
  if (contextMenuHandler_ && contextMenuHandler_(selection)) return;
  if (!menuProvider_) return;
  PageClick click;
  click.selection = selection;
  click.pos = request != nullptr ? request->position() : event->pos();
  click.globalPos = event->globalPos();
  if (request != nullptr && !request->linkUrl().isEmpty()) {
    click.link = DocumentForm(request->linkUrl().toString());
  }
  menuProvider_(click);
}

}  // namespace velkor
