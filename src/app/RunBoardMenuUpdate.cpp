#include "app/RunBoardMenuUpdate.h"

#include <QWidget>

#include "app/AppConfig.h"
#include "app/DataDir.h"
#include "boards/BoardCatalog.h"
#include "boards/BoardMenuUpdater.h"

namespace velkor {

// The silent path runs the core update at once on the process-wide catalogs and configuration. The
// interactive path shows the update dialog (TUpdateMenuForm), which comes with the board widgets;
// until it exists, an interactive request does nothing and the main window starts as usual.
void RunBoardMenuUpdate(QWidget*, bool silent, bool) {
  if (!silent) return;
  Config().Open(IniDir() + "/config.ini");
  OpenCatalogs();
  BoardMenuUpdater updater(BoardList(), Favorites(), Config());
  updater.RunUpdate(true);
}

}  // namespace velkor
