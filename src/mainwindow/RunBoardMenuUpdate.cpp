#include "mainwindow/RunBoardMenuUpdate.h"

#include <QWidget>

#include "app/AppConfig.h"
#include "app/DataDir.h"
#include "boards/BoardCatalog.h"
#include "boards/ui/TUpdateMenuForm.h"
#include "gui/Dialogs.h"

namespace velkor {

void RunBoardMenuUpdate(QWidget* mainForm, bool silent, bool detach) {
  Config().Open(IniDir() + "/config.ini");
  OpenCatalogs();
  if (silent) {
    TUpdateMenuForm form(nullptr);
    // Silent: the board list is applied as far as it goes; no failure is told.
    static_cast<void>(form.RunUpdate(true));
    return;
  }
  TUpdateMenuForm form(detach ? nullptr : mainForm);
  AppDialogs().Exec(form);
}

}  // namespace velkor
