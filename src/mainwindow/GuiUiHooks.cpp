#include "mainwindow/GuiUiHooks.h"

#include <QApplication>
#include <QMessageBox>
#include <QStatusBar>

#include "gui/Dialogs.h"
#include "gui/GuiText.h"
#include "mainwindow/TMainForm.h"

namespace velkor {

void GuiUiHooks::ShowMessage(MessageIcon icon, const std::string& caption,
                             const std::string& text) {
  QMessageBox::Icon qtIcon = icon == MessageIcon::kInformation ? QMessageBox::Information
                             : icon == MessageIcon::kWarning   ? QMessageBox::Warning
                                                               : QMessageBox::Critical;
  AppDialogs().ShowMessage(nullptr, qtIcon, FromSjis(caption), FromSjis(text));
}

void GuiUiHooks::ShowHtmlPage(const std::string& html, const std::string& title) {
  if (mainForm_ != nullptr) mainForm_->ShowHtmlPage(html, title);
}

void GuiUiHooks::SetStatusText(const std::string& text) {
  if (mainForm_ != nullptr) mainForm_->statusBar()->showMessage(FromSjis(text));
}

namespace {

int waitDepth = 0;

}  // namespace

void GuiUiHooks::ProcessEvents() {
  ++waitDepth;
  QApplication::processEvents(QEventLoop::AllEvents, 50);
  --waitDepth;
}

bool GuiUiHooks::InsideWait() {
  return waitDepth > 0;
}

}  // namespace velkor
