#pragma once

#include <string>
#include <vector>

#include "app/UiHooks.h"

namespace velkor::test {

// UiHooks that record every call, installed for the object's lifetime.
class RecordingUiHooks final : public UiHooks {
 public:
  struct Message {
    MessageIcon icon;
    std::string caption;
    std::string text;
  };
  struct Page {
    std::string html;
    std::string title;
  };

  RecordingUiHooks();
  ~RecordingUiHooks() override;

  void ShowMessage(MessageIcon icon, const std::string& caption, const std::string& text) override;
  void ShowHtmlPage(const std::string& html, const std::string& title) override;
  void SetStatusText(const std::string& text) override;
  void ProcessEvents() override;

  std::vector<Message> messages;
  std::vector<Page> pages;
  std::vector<std::string> statusTexts;
  int processEventsCalls = 0;
};

}  // namespace velkor::test
