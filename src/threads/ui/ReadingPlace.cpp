#include "threads/ui/ReadingPlace.h"

namespace velkor {

QString ReadingPlaceTrackerScript() {
  return QStringLiteral(R"JS(
(function () {
  var anchors = null;
  var pending = false;
  document.addEventListener('DOMContentLoaded', function () { anchors = null; }, true);
  function replyAnchors() {
    if (anchors) return anchors;
    anchors = [];
    var all = document.anchors;
    for (var i = 0; i < all.length; ++i) {
      if (/^a[0-9]+$/.test(all[i].getAttribute('name') || '')) anchors.push(all[i]);
    }
    return anchors;
  }
  function report() {
    pending = false;
    var bridge = window.velkorBridge;
    if (!bridge) return;
    var list = replyAnchors();
    var low = 0, high = list.length - 1, found = -1;
    while (low <= high) {
      var middle = (low + high) >> 1;
      if (list[middle].getBoundingClientRect().top <= 1) {
        found = middle;
        low = middle + 1;
      } else {
        high = middle - 1;
      }
    }
    if (found < 0) {
      bridge.readingPlace(0, 0);
    } else {
      bridge.readingPlace(parseInt(list[found].getAttribute('name').substring(1), 10),
                          Math.min(0, list[found].getBoundingClientRect().top));
    }
  }
  window.addEventListener('scroll', function () {
    if (pending) return;
    pending = true;
    requestAnimationFrame(report);
  }, true);
  // A page written to be shown at an anchor goes there as soon as the anchor has been parsed with
  // enough text after it to reach the top of the view, instead of when the whole page has loaded.
  var target = decodeURIComponent(location.hash.substring(1));
  function seek() {
    var anchor = document.anchors && document.anchors.namedItem(target);
    if (anchor) {
      var top = anchor.getBoundingClientRect().top;
      if (Math.abs(top) > 1) window.scrollTo(0, top + window.pageYOffset);
      if (Math.abs(anchor.getBoundingClientRect().top) <= 1) return;
    }
    if (document.readyState === 'loading') requestAnimationFrame(seek);
  }
  if (target) requestAnimationFrame(seek);
})();
)JS");
}

QString RestoreReadingPlaceScript(const ReadingPlace& place) {
  return QStringLiteral(R"JS(
(function (reply, offset) {
  var all = document.anchors;
  for (var i = 0; i < all.length; ++i) {
    var name = all[i].getAttribute('name') || '';
    if (!/^a[0-9]+$/.test(name) || parseInt(name.substring(1), 10) < reply) continue;
    window.scrollTo(0, all[i].getBoundingClientRect().top + window.pageYOffset - offset);
    return true;
  }
  return false;
})(%1, %2)
)JS")
      .arg(place.reply)
      .arg(place.offset);
}

}  // namespace velkor
