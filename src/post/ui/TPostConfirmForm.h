#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace velkor {

// The question a confirmation page asks before a post goes through: the page's text, "書き込む"
// (accept: the page's form is sent back) and "キャンセル" (reject, the default button: nothing more
// is sent). Shown through the dialog provider (gui/Dialogs.h).
class TPostConfirmForm : public QDialog {
  Q_OBJECT

 public:
  TPostConfirmForm(const QString& pageText, QWidget* parent = nullptr);

  QPlainTextEdit* confirmTextEdit;
  QPushButton* confirmPostButton;
  QPushButton* confirmCancelButton;
};

}  // namespace velkor
