#pragma once

#include <QWidget>
#include <vector>

#include "images/ImageLinks.h"

class QAction;
class QTabWidget;
class QToolBar;

namespace velkor {

class ImageService;
class ImageViewerPage;

// The image viewer: a window of its own with one tab per image opened, a tool bar ("ウィンドウに
// 合わせる", "100%", "名前を付けて保存...", "URLをコピー", "ブラウザで開く") acting on the tab in
// front, the wheel zooming, the left and right arrows stepping through the images of the thread
// the image came from, Escape closing the window.
class ImageViewer : public QWidget {
  Q_OBJECT

 public:
  explicit ImageViewer(ImageService& service, QWidget* parent = nullptr);

  // Shows image `at` of `list` (a thread's images in page order): in the tab that already shows
  // that image, else in a new tab; brings the window up.
  void Open(const std::vector<ImageLink>& list, std::size_t at);
  // The tab in front, or null.
  ImageViewerPage* CurrentPage() const;

  QTabWidget* imageTabs;
  QToolBar* imageToolBar;
  QAction* fitAction;
  QAction* actualSizeAction;
  QAction* saveAction;
  QAction* copyUrlAction;
  QAction* browserAction;

 private:
  void SaveAs();
  void OpenInBrowser();

  ImageService& service_;
};

}  // namespace velkor
