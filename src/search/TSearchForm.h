#pragma once

#include <QDialog>
#include <functional>

namespace velkor {

class SubjectList;

// The search dialog.
class TSearchForm : public QDialog {
  Q_OBJECT

 public:
  explicit TSearchForm(QWidget* parent);

  // Binds the thread list on screen (null when none) and the function called after the shown rows
  // were filtered.
  void Prepare(SubjectList* shown, std::function<void()> rowsChanged);

 private:
  SubjectList* shown_ = nullptr;
  std::function<void()> rowsChanged_;
};

}  // namespace velkor
