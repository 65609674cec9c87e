#pragma once

#include <QImage>
#include <functional>

namespace velkor::bench {

// Before the application object: Qt's offscreen platform unless QT_QPA_PLATFORM names another,
// and WebEngine's sandbox off for root, where it cannot run (as on build machines).
void PrepareQtEnvironment();

// The wall clock in epoch milliseconds: the clock a page reads as performance.timeOrigin + now().
double EpochMs();

// Runs the event loop until `done` holds or `timeoutMs` passed; false on timeout. It sleeps between
// events (a busy loop would take a core from the page's processes), waking at least every
// millisecond.
bool SpinUntil(const std::function<bool()>& done, int timeoutMs = 30000);

// A photograph-like picture of `width` x `height` (gradients, stripes and grain, so that a JPEG of
// it is as large as a photograph's), the same bytes every time.
QImage PhotoLikeImage(int width, int height);

}  // namespace velkor::bench
