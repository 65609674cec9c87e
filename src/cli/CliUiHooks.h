#pragma once

#include <string>

#include "app/UiHooks.h"

namespace velkor::cli {

// UiHooks for the terminal: messages and status texts go to stderr in UTF-8, one per line; a page
// the core shows is kept for the command to write.
class CliUiHooks final : public UiHooks {
 public:
  void ShowMessage(MessageIcon icon, const std::string& caption, const std::string& text) override;
  void ShowHtmlPage(const std::string& html, const std::string& title) override;
  void SetStatusText(const std::string& text) override;
  void ProcessEvents() override {}

  // The last page shown, if any, and whether one was shown.
  bool HasPage() const { return hasPage_; }
  const std::string& Page() const { return page_; }

 private:
  bool hasPage_ = false;
  std::string page_;
};

// The hooks installed for the running command.
CliUiHooks& CliHooks();

}  // namespace velkor::cli
