#pragma once

#include <QString>

namespace velkor {

// Where the reader is in a thread page: the reply whose top is at or above the top of the view
// (0: none, the page is at its top) and how far above the top its anchor lies, in CSS pixels
// (0 or negative). A place survives a page drawn anew: replies hidden or shown above it move the
// text, not the reply at the top.
struct ReadingPlace {
  int reply = 0;
  double offset = 0;
};

// A script for the program's script world, run when a page's document is created: after every
// scroll (at most once a frame) it reports the page's reading place through the web channel
// object the view's link listener publishes as window.velkorBridge (readingPlace(reply, offset)).
// A page loaded with a fragment ("#midoku") is scrolled to that anchor while it is still being
// parsed, as soon as the anchor can reach the top of the view.
QString ReadingPlaceTrackerScript();

// A script for a loaded page that scrolls `place` back into view: the reply, or when the page no
// longer shows it the first shown reply after it, goes back to its offset from the top. Returns
// whether a reply was found; with none, the page is left as it is.
QString RestoreReadingPlaceScript(const ReadingPlace& place);

}  // namespace velkor
