#include "cli/CliUiHooks.h"

#include <cstdio>

#include "base/Sjis.h"

namespace velkor::cli {
namespace {

void PrintStderrLines(const std::string& sjis) {
  for (std::string_view line : SplitLines(sjis)) {
    std::string utf8 = SjisToUtf8Lossy(line);
    std::fprintf(stderr, "%s\n", utf8.c_str());
  }
}

}  // namespace

void CliUiHooks::ShowMessage(MessageIcon, const std::string&, const std::string& text) {
  PrintStderrLines(text);
}

void CliUiHooks::ShowHtmlPage(const std::string& html, const std::string&) {
  hasPage_ = true;
  page_ = html;
}

void CliUiHooks::SetStatusText(const std::string& text) {
  PrintStderrLines(text);
}

CliUiHooks& CliHooks() {
  static CliUiHooks hooks;
  return hooks;
}

}  // namespace velkor::cli
