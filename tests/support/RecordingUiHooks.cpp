#include "support/RecordingUiHooks.h"

namespace velkor::test {

RecordingUiHooks::RecordingUiHooks() {
  SetUiHooks(this);
}
RecordingUiHooks::~RecordingUiHooks() {
  SetUiHooks(nullptr);
}

void RecordingUiHooks::ShowMessage(MessageIcon icon, const std::string& caption,
                                   const std::string& text) {
  messages.push_back({icon, caption, text});
}

void RecordingUiHooks::ShowHtmlPage(const std::string& html, const std::string& title) {
  pages.push_back({html, title});
}

void RecordingUiHooks::SetStatusText(const std::string& text) {
  statusTexts.push_back(text);
}

void RecordingUiHooks::ProcessEvents() {
  ++processEventsCalls;
}

}  // namespace velkor::test
