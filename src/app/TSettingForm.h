#pragma once

#include <QDialog>

#include "app/Settings.h"

namespace velkor {

// The settings dialog. Creation fills the controls from AppSettings(), the configuration file and
// the given font sizes; OK writes config.ini, reloads the settings and accepts.
class TSettingForm : public QDialog {
  Q_OBJECT

 public:
  TSettingForm(QWidget* parent, int boardFontSize, int threadFontSize);

  // The display settings read back after OK (fonts, tab style, tab lines); defaults before.
  const DisplaySettings& Display() const { return display_; }

 private:
  SettingsDialogValues values_;
  DisplaySettings display_;
};

}  // namespace velkor
