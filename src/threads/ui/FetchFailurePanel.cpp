#include "threads/ui/FetchFailurePanel.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/GuiText.h"

namespace velkor {

FetchFailurePanel::FetchFailurePanel(QWidget* parent)
    : QWidget(parent), reason_(new QLabel(this)), retry_(new QPushButton(this)) {
  setObjectName(QStringLiteral("fetchFailurePanel"));
  reason_->setObjectName(QStringLiteral("fetchFailureLabel"));
  reason_->setTextFormat(Qt::PlainText);
  reason_->setWordWrap(true);
  reason_->setAlignment(Qt::AlignCenter);
  retry_->setObjectName(QStringLiteral("fetchRetryButton"));
  retry_->setText(QString::fromUtf8("再試行"));
  auto* layout = new QVBoxLayout(this);
  layout->addStretch();
  layout->addWidget(reason_);
  layout->addWidget(retry_, 0, Qt::AlignHCenter);
  layout->addStretch();
  connect(retry_, &QPushButton::clicked, this, &FetchFailurePanel::RetryClicked);
}

void FetchFailurePanel::SetReason(const std::string& reason) {
  reason_->setText(FromSjis(reason));
}

}  // namespace velkor
