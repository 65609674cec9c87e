#pragma once

#include <string>

namespace velkor {

class ThreadTab;

// What a part of the window above the thread tabs adds to every one of them (the images under the
// posts): it hears of every page that finished loading and sees followed and hovered links before
// the tab acts on them. Installed with ThreadTab::SetExtension; URLs are CP932, in the form
// ThreadTab::LinkFollowed and LinkHovered get them.
class ThreadTabExtension {
 public:
  virtual ~ThreadTabExtension() = default;
  // A page finished loading in `tab` (also one drawn again, or reloaded after it was discarded).
  virtual void PageLoaded(ThreadTab& tab) = 0;
  // True when the extension took the followed link: the tab then does nothing with it.
  virtual bool LinkFollowed(ThreadTab& tab, const std::string& url) = 0;
  // The link under the mouse (empty: none). True when the extension showed something for it: the
  // tab then shows no text pop-up.
  virtual bool LinkHovered(ThreadTab& tab, const std::string& url) = 0;
};

}  // namespace velkor
