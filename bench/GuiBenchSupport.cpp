#include "GuiBenchSupport.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QtGlobal>
#include <chrono>
#include <cstdint>

namespace velkor::bench {

void PrepareQtEnvironment() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (::getuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

double EpochMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(system_clock::now().time_since_epoch()).count();
}

bool SpinUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  QTimer tick;
  tick.start(1);
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

QImage PhotoLikeImage(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  std::uint32_t noise = 20261208;
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) {
      noise ^= noise << 13;
      noise ^= noise >> 17;
      noise ^= noise << 5;
      const int grain = static_cast<int>(noise & 31) - 16;
      line[x] = qRgb((x * 255 / width + grain) & 255,
                     (y * 255 / height + ((x / 40) % 2) * 60 + grain) & 255,
                     (((x + y) / 25) % 200 + grain) & 255);
    }
  }
  return image;
}

}  // namespace velkor::bench
