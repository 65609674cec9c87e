#include "mainwindow/NativeLook.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QPalette>
#include <QStyleHints>
#include <QTranslator>

namespace velkor {

bool LoadQtTranslations(QApplication& app) {
  auto* translator = new QTranslator(&app);
  if (!translator->load(QStringLiteral("qtbase_ja"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QApplication::installTranslator(translator);
}

bool DesktopIsDark() {
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
  const Qt::ColorScheme scheme = QGuiApplication::styleHints()->colorScheme();
  if (scheme != Qt::ColorScheme::Unknown) return scheme == Qt::ColorScheme::Dark;
#endif
  return QApplication::palette().color(QPalette::Window).lightness() < 128;
}

}  // namespace velkor
