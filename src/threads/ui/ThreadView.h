#pragma once

#include <QJsonObject>
#include <QPoint>
#include <QPointF>
#include <QPointer>
#include <QWebEngineView>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "threads/JumpHistory.h"
#include "threads/ui/ReadingPlace.h"

class QWebChannel;

namespace velkor {

class ThreadPage;
class LinkBridge;
class ThreadSchemeHandler;

// The browser of one thread tab. It shows pages written into it, reports followed and hovered
// links in the form they have in a page written into "about:blank" ("about:blank#a12" for an
// in-page link), and lets its owner answer right-clicks.
class ThreadView : public QWebEngineView {
  Q_OBJECT

 public:
  enum ScrollResult { kScrollFailed = -1, kAnchorNotFound = 0, kAnchorFound = 1 };

  explicit ThreadView(QWidget* parent = nullptr);
  ~ThreadView() override;

  // Replaces the whole page with `html` (CP932 bytes, shown as Shift_JIS); the view starts at the
  // top, or at `anchor` (a plain anchor name) as soon as the browser has parsed it. The page loads
  // asynchronously; ScrollToAnchor waits for it.
  void WriteDocument(const std::string& html, const std::string& anchor = {});
  // Scrolls so that the anchor named `name` is at the top, once the current page has loaded, and
  // then tells `done` whether it was found (kScrollFailed when the page did not load or was
  // replaced meanwhile). `done` may be empty.
  void ScrollToAnchor(const std::string& name, std::function<void(int)> done);
  // The same, then `offset` CSS pixels further down; an empty `name` scrolls to `offset` from the
  // page's top (and is found).
  void ScrollToAnchor(const std::string& name, int offset, std::function<void(int)> done);
  // Calls `done` with the place at the top of the loaded page (a reply anchor "a<k>" and how far
  // the view's top lies below it; reply 0 above the first one), or none while a page loads.
  void ReadSpot(std::function<void(std::optional<ReadingSpot>)> done);
  // Gives the page keyboard focus.
  void FocusDocument();
  // True while a written page is still loading (or, after RewriteKeepingReply, is about to be
  // written).
  bool IsLoading() const { return loading_ || pendingRewrite_.has_value(); }

  // Asked on a right-click with the text selected where the user clicked: true when it showed
  // something itself (the view then shows no menu).
  void SetContextMenuHandler(std::function<bool(const QString&)> handler) {
    contextMenuHandler_ = std::move(handler);
  }

  // A right-click the view did not take for itself: the text selected then, the link under the
  // pointer (in the form LinkFollowed reports; empty when none), and where the user clicked.
  struct PageClick {
    QString selection;
    QString link;
    QPoint pos;        // view coordinates
    QPoint globalPos;  // where the menu opens
  };
  // Shows the program's menu for such a click; the browser's own menu never appears. Without a
  // provider a right-click shows nothing.
  void SetMenuProvider(std::function<void(const PageClick&)> provider) {
    menuProvider_ = std::move(provider);
  }
  // Replaces the page with `html` as WriteDocument does, but keeps the reader's place: the reply
  // at the top of the view stays there (ReadingPlace), whatever the new page shows above it.
  void RewriteDocument(const std::string& html);
  // While `keep` is set the page stays active when hidden, instead of being frozen and discarded
  // as the browser recommends: for a page rewritten on its own (a hidden page that was discarded
  // loads nothing reliably). Cleared, the browser's recommendation applies again.
  void SetKeepActive(bool keep);
  // Replaces the page with `html` keeping the reader's place by reply: the reply at the top of the
  // view (anchors "a<k>") stays where it was. When the view was at the bottom of the page, it then
  // follows what was added: it scrolls down as far as the page goes, but not so far that the
  // anchor `follow` leaves the top of the view. The place is read from the page first, and a page
  // still loading is let finish first, so the new page is written a moment later: a later call
  // meanwhile replaces the page to write, a page written meanwhile (WriteDocument) wins and this
  // one is dropped. A page that is not active (hidden and frozen or discarded) is replaced as
  // RewriteDocument does.
  void RewriteKeepingReply(const std::string& html, const std::string& follow);
  // Where the reader is in the page, as last scrolled (reply 0 at the top or before any scroll).
  const ReadingPlace& Place() const { return place_; }
  // The reply decorations of the pages written from now on, added while each loads
  // (DecorationScript of threads/ui/PageDecorations.h describes them); empty: none. The mouse
  // entering and leaving them is reported by DecorationUnderMouse.
  void SetDecorations(const QJsonObject& decorations);
  // Calls `done` with the number of the reply shown at `pos` (view coordinates): the last reply
  // anchor "a<k>" before the element there; 0 when there is none or the page cannot tell.
  void ReplyAt(QPoint pos, std::function<void(int)> done);

  // The address translated into the form of a page written into "about:blank"; other addresses
  // unchanged.
  QString DocumentForm(const QString& url) const;

 signals:
  // A link the user followed, CP932-convertible text as described above.
  void LinkFollowed(const QString& url);
  // The link under the mouse; empty when it left the link.
  void LinkUnderMouse(const QString& url);
  // The mouse entered a decoration (kind "answers" or "id") of reply `reply`; kind empty: it left.
  void DecorationUnderMouse(const QString& kind, int reply);
  // The page finished loading (ok false: it failed or was replaced).
  void DocumentLoaded(bool ok);

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  struct PendingScroll {
    std::string name;
    int offset = 0;
    std::function<void(int)> done;
  };
  // Where RewriteKeepingReply puts the view once the new page has loaded.
  struct ReplyPlace {
    int reply = 0;      // the reply at the top of the view; 0: none
    double offset = 0;  // its anchor's distance from the top of the view
    bool atBottom = false;
    std::string follow;
  };
  // A page RewriteKeepingReply writes once the reader's place has been read.
  struct PendingRewrite {
    std::string html;
    std::string follow;
  };

  void RunScroll(const std::string& name, int offset, std::function<void(int)> done);
  // Reads the reader's place from the page, then writes the pending rewrite.
  void MeasureAndRewrite();
  void LoadingChanged(bool finished, bool ok, const QUrl& url);
  // Emits LinkUnderMouse for a link the browser or the page's own script reports, unless it is
  // the one last passed on (both report most changes).
  void PassHoveredLink(const QString& url);

  // Hidden pages are frozen and later discarded to give their memory back; a discarded page
  // loads its document again when shown, at the place it was left.
  void LifecycleRecommended(int state);

  QPointer<ThreadSchemeHandler> pages_;  // gone once the profile is, at the very end
  ThreadPage* page_;
  // False once the view is being destroyed: script answers the dying page still delivers are
  // dropped.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  LinkBridge* bridge_;
  QWebChannel* channel_;
  int slot_;
  bool loading_ = false;
  bool restoreScroll_ = false;
  bool keepActive_ = false;
  bool measuring_ = false;  // the place is being read for a pending rewrite
  QPointF savedScroll_;
  bool restorePlace_ = false;
  ReadingPlace place_;
  QString hoveredLink_;  // the link LinkUnderMouse last named (DocumentForm)
  std::optional<ReplyPlace> keepReply_;
  std::optional<PendingRewrite> pendingRewrite_;
  std::vector<PendingScroll> pending_;
  std::function<bool(const QString&)> contextMenuHandler_;
  std::function<void(const PageClick&)> menuProvider_;
};

}  // namespace velkor
