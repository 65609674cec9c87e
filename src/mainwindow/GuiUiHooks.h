#pragma once

#include <QObject>

#include "app/UiHooks.h"

namespace velkor {

class TMainForm;

// UiHooks for the GUI: message boxes, the status bar, pages in tabs and the event loop.
class GuiUiHooks final : public UiHooks {
 public:
  explicit GuiUiHooks(TMainForm* mainForm) : mainForm_(mainForm) {}
  void ShowMessage(MessageIcon icon, const std::string& caption, const std::string& text) override;
  void ShowHtmlPage(const std::string& html, const std::string& title) override;
  void SetStatusText(const std::string& text) override;
  void ProcessEvents() override;
  // True while some work lets the window process its events through ProcessEvents (a download
  // waiting for its server): work started from an event then would run inside that work.
  static bool InsideWait();

 private:
  TMainForm* mainForm_;
};

}  // namespace velkor
