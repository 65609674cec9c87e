#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <map>
#include <string>
#include <vector>

#include "images/ImageLinks.h"
#include "images/ui/ImagePopup.h"
#include "images/ui/ImageService.h"
#include "images/ui/ImageViewer.h"
#include "threads/ui/ThreadTabExtension.h"

class QWidget;

namespace velkor {

// The images of the thread tabs (installed with ThreadTab::SetExtension). By the ImageLoad setting:
// never, nothing changes; on click (the default), a click on an image link fetches the image and
// shows its thumbnail under each post that links it, and images already cached show their
// thumbnails when a page loads; automatically, every image of the posts on the page is fetched
// when it loads. The thumbnails are added to the loaded page (the page's own bytes stay as they
// were rendered), blurred under the ImageMosaic setting until clicked; a click on a thumbnail (or
// on the link of an image shown) opens the viewer, a refused or failed image shows its reason in
// its place and is fetched again when its link is clicked. Resting the mouse on the link of a
// cached image shows it in a pop-up.
class ThreadImages : public QObject, public ThreadTabExtension {
  Q_OBJECT

 public:
  // `window` (not owned) parents the viewer and the pop-up.
  explicit ThreadImages(QWidget* window);
  ~ThreadImages() override;

  void PageLoaded(ThreadTab& tab) override;
  bool LinkFollowed(ThreadTab& tab, const std::string& url) override;
  bool LinkHovered(ThreadTab& tab, const std::string& url) override;

  ImageService& Service() { return service_; }
  // The viewer window, while it is open.
  ImageViewer* Viewer() const { return viewer_; }
  ImagePopup* Popup() const { return popup_; }
  // The images of the posts on the tab's page, in page order (one entry per post and image).
  struct Shown {
    int reply = 0;
    ImageLink link;
  };
  const std::vector<Shown>& ShownIn(ThreadTab& tab) { return tabs_[&tab].shown; }

 private:
  struct TabImages {
    std::vector<Shown> shown;
    bool loaded = false;  // `shown` belongs to the page in the view
  };

  // Takes the replies on the loaded page (their numbers) and asks for their images.
  void ReadPage(ThreadTab& tab, const std::vector<int>& replies);
  // Draws the places of the images of `imageUrl` (empty: all) on the tab's page.
  void Draw(ThreadTab& tab, const std::string& imageUrl = {});
  void ImageChanged(const QString& imageUrl);
  // Opens the viewer on `link` with the tab's images to step through.
  void OpenViewer(ThreadTab& tab, const ImageLink& link);
  TabImages* Find(ThreadTab& tab);

  QWidget* window_;
  ImageService service_;
  std::map<ThreadTab*, TabImages> tabs_;
  QPointer<ImagePopup> popup_;
  QPointer<ImageViewer> viewer_;
  std::string hovered_;  // the image URL of the link under the mouse
};

}  // namespace velkor
