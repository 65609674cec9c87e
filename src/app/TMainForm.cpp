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
  WindowLayout layout = Config().LoadWindowLayout();
  setGeometry(layout.left, layout.top, layout.width, layout.height);
}

void TMainForm::FormDestroy() {
  WindowLayout layout = Config().LoadWindowLayout();
  QRect frame = geometry();
  layout.top = frame.top();
  layout.left = frame.left();
  layout.width = frame.width();
  layout.height = frame.height();
  Config().SaveWindowLayout(layout, true);
}

void TMainForm::ShowHtmlPage(const std::string&, const std::string&) {}

}  // namespace velkor
