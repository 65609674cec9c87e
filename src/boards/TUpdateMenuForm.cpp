#include "boards/TUpdateMenuForm.h"

#include "app/AppConfig.h"
#include "boards/BoardCatalog.h"

namespace velkor {

TUpdateMenuForm::TUpdateMenuForm(QWidget* parent)
    : QDialog(parent),
      updater_(std::make_unique<BoardMenuUpdater>(BoardList(), Favorites(), Config())) {
  updater_->SetStatusSink(this);
}

TUpdateMenuForm::~TUpdateMenuForm() = default;

int TUpdateMenuForm::RunUpdate(bool silent) {
  return updater_->RunUpdate(silent);
}

void TUpdateMenuForm::ShowStatusText(const std::string&) {}

void TUpdateMenuForm::ShowProgress(std::int32_t, std::int32_t) {}

}  // namespace velkor
