#include "threads/ui/PageZoom.h"

#include <algorithm>
#include <iterator>

#include "app/UiHooks.h"
#include "base/Sjis.h"

namespace velkor {
namespace {

constexpr double kSteps[] = {0.25, 0.33, 0.5,  0.67, 0.75, 0.8, 0.9, 1.0, 1.1,
                             1.25, 1.5,  1.75, 2.0,  2.5,  3.0, 4.0, 5.0};

}  // namespace

void PageZoom::ZoomIn() {
  const auto next = std::upper_bound(std::begin(kSteps), std::end(kSteps), factor_ + 0.001);
  if (next != std::end(kSteps)) Set(*next);
}

void PageZoom::ZoomOut() {
  const auto next = std::lower_bound(std::begin(kSteps), std::end(kSteps), factor_ - 0.001);
  if (next != std::begin(kSteps)) Set(*std::prev(next));
}

void PageZoom::Reset() {
  Set(1.0);
}

void PageZoom::Set(double factor) {
  factor_ = factor;
  Ui().SetStatusText(Sjis("拡大率 ") + std::to_string(static_cast<int>(factor * 100 + 0.5)) + "%");
  emit Changed(factor);
}

PageZoom& ThreadPageZoom() {
  static PageZoom zoom;
  return zoom;
}

}  // namespace velkor
