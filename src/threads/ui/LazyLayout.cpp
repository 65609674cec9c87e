#include "threads/ui/LazyLayout.h"

namespace velkor {

QString LazyLayoutScript() {
  return QStringLiteral(R"JS(
(function () {
  var sheet;
  try {
    sheet = new CSSStyleSheet();
    sheet.replaceSync('dd:not([data-velkor-laid-out]) {' +
                      ' content-visibility: auto; contain-intrinsic-size: auto 6em; }');
    document.adoptedStyleSheets = document.adoptedStyleSheets.concat([sheet]);
  } catch (error) {
    return;
  }
  var kBatch = 50;
  function layOutRest() {
    var texts = document.getElementsByTagName('dd');
    var replies = [];
    for (var i = 0; i < document.anchors.length; ++i) {
      if (/^a[0-9]+$/.test(document.anchors[i].getAttribute('name') || '')) {
        replies.push(document.anchors[i]);
      }
    }
    // The reply anchor at or above the top of the view: the text the reader is at.
    function readingAnchor() {
      var low = 0, high = replies.length - 1, found = null;
      while (low <= high) {
        var middle = (low + high) >> 1;
        if (replies[middle].getBoundingClientRect().top <= 1) {
          found = replies[middle];
          low = middle + 1;
        } else {
          high = middle - 1;
        }
      }
      return found;
    }
    var next = 0;
    function batch() {
      // Texts laid out above the view change its heights: the reader's text stays where it was.
      var anchor = readingAnchor();
      var before = anchor ? anchor.getBoundingClientRect().top : 0;
      for (var end = Math.min(next + kBatch, texts.length); next < end; ++next) {
        texts[next].setAttribute('data-velkor-laid-out', '');
      }
      if (anchor) {
        var moved = anchor.getBoundingClientRect().top - before;
        if (moved !== 0) window.scrollBy(0, moved);
      }
      if (next < texts.length) {
        requestIdleCallback(batch);
        return;
      }
      document.adoptedStyleSheets = document.adoptedStyleSheets.filter(function (s) {
        return s !== sheet;
      });
    }
    requestIdleCallback(batch);
  }
  document.addEventListener('DOMContentLoaded', layOutRest, true);
})();
)JS");
}

}  // namespace velkor
