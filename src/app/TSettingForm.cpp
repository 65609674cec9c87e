#include "app/TSettingForm.h"

#include "app/AppConfig.h"

namespace velkor {

TSettingForm::TSettingForm(QWidget* parent, int boardFontSize, int threadFontSize)
    : QDialog(parent) {
  Config().FillSettingsDialog(AppSettings(), boardFontSize, threadFontSize, values_);
}

}  // namespace velkor
