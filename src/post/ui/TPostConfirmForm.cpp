#include "post/ui/TPostConfirmForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velkor {

TPostConfirmForm::TPostConfirmForm(const QString& pageText, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PostConfirmForm"));
  setWindowTitle(QString::fromUtf8("書き込み確認"));
  auto* layout = new QVBoxLayout(this);
  auto* intro = new QLabel(QString::fromUtf8("サーバが書き込みの確認を求めています:"), this);
  layout->addWidget(intro);
  confirmTextEdit = new QPlainTextEdit(this);
  confirmTextEdit->setObjectName(QStringLiteral("confirmTextEdit"));
  confirmTextEdit->setReadOnly(true);
  confirmTextEdit->setPlainText(pageText);
  layout->addWidget(confirmTextEdit, 1);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  confirmPostButton = new QPushButton(QString::fromUtf8("書き込む"), this);
  confirmPostButton->setObjectName(QStringLiteral("confirmPostButton"));
  confirmPostButton->setAutoDefault(false);
  confirmCancelButton = new QPushButton(QString::fromUtf8("キャンセル"), this);
  confirmCancelButton->setObjectName(QStringLiteral("confirmCancelButton"));
  confirmCancelButton->setDefault(true);
  buttons->addWidget(confirmPostButton);
  buttons->addWidget(confirmCancelButton);
  layout->addLayout(buttons);
  connect(confirmPostButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(confirmCancelButton, &QPushButton::clicked, this, &QDialog::reject);
  resize(520, 360);
}

}  // namespace velkor
