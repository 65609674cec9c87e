#pragma once

#include <string>

namespace velkor {

enum class MessageIcon { kInformation, kWarning, kError };

// What the core asks of the user interface. The GUI shows boxes and tabs, the CLI writes to the
// terminal, tests record the calls. All texts are CP932.
class UiHooks {
 public:
  virtual ~UiHooks() = default;
  // A modal message box with one OK button; returns when it is closed.
  virtual void ShowMessage(MessageIcon icon, const std::string& caption,
                           const std::string& text) = 0;
  // Shows an HTML page (CP932 bytes) in a new thread-view tab with the given title.
  virtual void ShowHtmlPage(const std::string& html, const std::string& title) = 0;
  // Shows a status text in the main window's status bar.
  virtual void SetStatusText(const std::string& text) = 0;
  // Lets the user interface handle its pending events, so the window stays live during long work.
  virtual void ProcessEvents() = 0;
};

// The process-wide hooks. Until SetUiHooks is called they do nothing.
UiHooks& Ui();
// Installs hooks for the rest of the run (null restores the do-nothing hooks). Not owned.
void SetUiHooks(UiHooks* hooks);

}  // namespace velkor
