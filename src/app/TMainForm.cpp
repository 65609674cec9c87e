#include "app/TMainForm.h"

#include <QStatusBar>

#include "app/AppConfig.h"
#include "app/DataDir.h"
#include "app/Settings.h"

namespace velkor {

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
  setObjectName("MainForm");
  setWindowTitle("Velkor");
  statusBar();
  FormCreate();
}

TMainForm::~TMainForm() {
  FormDestroy();
}

void TMainForm::FormCreate() {
  Config().Open(IniDir() + "/config.ini");
  DisplaySettings display;
  Config().LoadSettings(AppSettings(), display);
  columnWidths_ = Config().LoadColumnWidths(kThreadListColumns);
  WindowLayout layout = Config().LoadWindowLayout();
  setGeometry(layout.left, layout.top, layout.width, layout.height);
  sidebarVisible_ = layout.sidebarVisible;
  sidebarWidth_ = layout.sidebarWidth;
  subjectHeight_ = layout.subjectHeight;
}

void TMainForm::FormDestroy() {
  WindowLayout layout;
  QRect frame = geometry();
  layout.top = frame.top();
  layout.left = frame.left();
  layout.width = frame.width();
  layout.height = frame.height();
  layout.sidebarVisible = sidebarVisible_;
  layout.sidebarWidth = sidebarWidth_;
  layout.subjectHeight = subjectHeight_;
  Config().SaveWindowLayout(layout, false);
  Config().SaveColumnWidths(columnWidths_, true);
}

void TMainForm::ShowHtmlPage(const std::string&, const std::string&) {}

}  // namespace velkor
