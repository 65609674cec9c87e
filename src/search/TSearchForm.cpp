#include "search/TSearchForm.h"

#include <utility>

namespace velkor {

TSearchForm::TSearchForm(QWidget* parent) : QDialog(parent) {}

void TSearchForm::Prepare(SubjectList* shown, std::function<void()> rowsChanged) {
  shown_ = shown;
  rowsChanged_ = std::move(rowsChanged);
}

}  // namespace velkor
