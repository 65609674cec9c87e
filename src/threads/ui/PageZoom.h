#pragma once

#include <QObject>

namespace velkor {

// The zoom of the thread pages: one factor for every tab's page, kept for the run. The steps are
// those of the common browsers, from 25 % to 500 %.
class PageZoom : public QObject {
  Q_OBJECT

 public:
  double Factor() const { return factor_; }
  // One step up or down (nothing beyond the ends), or back to 100 %.
  void ZoomIn();
  void ZoomOut();
  void Reset();

 signals:
  // Every page takes the new factor.
  void Changed(double factor);

 private:
  void Set(double factor);

  double factor_ = 1.0;
};

// The process-wide zoom.
PageZoom& ThreadPageZoom();

}  // namespace velkor
