#pragma once

class QWidget;

namespace velkor {

// Fetches and applies the board menu. Silent: at once, without the dialog or message boxes.
// Otherwise the update dialog is shown modally; with `detach` it stands alone on the desktop (the
// main window is not visible yet at first run).
void RunBoardMenuUpdate(QWidget* mainForm, bool silent, bool detach);

}  // namespace velkor
