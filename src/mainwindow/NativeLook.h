#pragma once

class QApplication;

namespace velkor {

// Qt's own texts (the standard font, colour and file dialogs, context menus of text fields) in
// Japanese, as the rest of the window: installs qtbase_ja from Qt's translations folder (Debian's
// qt6-translations-l10n). Returns false, changing nothing, when the file is not there.
bool LoadQtTranslations(QApplication& app);

// Whether the desktop asks for a dark look: its colour scheme where Qt reports one, else a window
// colour darker than mid-grey in the application's palette (which Qt takes from the desktop).
bool DesktopIsDark();

}  // namespace velkor
