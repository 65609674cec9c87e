#include "app/UiHooks.h"

namespace velkor {
namespace {

class NullUiHooks final : public UiHooks {
 public:
  void ShowMessage(MessageIcon, const std::string&, const std::string&) override {}
  void ShowHtmlPage(const std::string&, const std::string&) override {}
  void SetStatusText(const std::string&) override {}
  void ProcessEvents() override {}
};

NullUiHooks nullHooks;
UiHooks* current = &nullHooks;

}  // namespace

UiHooks& Ui() {
  return *current;
}

void SetUiHooks(UiHooks* hooks) {
  current = hooks != nullptr ? hooks : &nullHooks;
}

}  // namespace velkor
