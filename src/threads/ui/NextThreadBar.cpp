#include "threads/ui/NextThreadBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

#include "subjects/TitleText.h"

namespace velkor {

NextThreadBar::NextThreadBar(QWidget* parent)
    : QFrame(parent),
      message_(new QLabel(this)),
      links_(new QLabel(this)),
      search_(new QToolButton(this)) {
  setObjectName(QStringLiteral("nextThreadBar"));
  setFrameShape(QFrame::StyledPanel);
  setAutoFillBackground(true);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
  message_->setObjectName(QStringLiteral("nextThreadMessageLabel"));
  message_->setWordWrap(true);
  links_->setObjectName(QStringLiteral("nextThreadLinksLabel"));
  links_->setWordWrap(true);
  links_->setTextFormat(Qt::RichText);
  links_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  search_->setObjectName(QStringLiteral("nextThreadSearchButton"));
  search_->setText(QString::fromUtf8("更新して探す"));
  auto* close = new QToolButton(this);
  close->setObjectName(QStringLiteral("nextThreadCloseButton"));
  close->setText(QString::fromUtf8("×"));
  close->setAutoRaise(true);

  auto* text = new QVBoxLayout;
  text->addWidget(message_);
  text->addWidget(links_);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(6, 3, 3, 3);
  layout->addLayout(text, 1);
  layout->addWidget(search_, 0, Qt::AlignTop);
  layout->addWidget(close, 0, Qt::AlignTop);

  connect(links_, &QLabel::linkActivated, this, [this](const QString& link) {
    bool ok = false;
    const int index = link.toInt(&ok);
    if (ok && index >= 0 && static_cast<std::size_t>(index) < candidates_.size()) {
      emit CandidateChosen(index);
    }
  });
  connect(search_, &QToolButton::clicked, this, &NextThreadBar::SearchAgainRequested);
  connect(close, &QToolButton::clicked, this, &QWidget::hide);
  hide();
}

void NextThreadBar::ShowCandidates(const QString& message,
                                   std::vector<NextThreadCandidate> candidates) {
  candidates_ = std::move(candidates);
  showsCandidates_ = true;
  message_->setText(message);
  QString links;
  for (std::size_t i = 0; i < candidates_.size(); ++i) {
    const NextThreadCandidate& candidate = candidates_[i];
    if (!links.isEmpty()) links += QStringLiteral("<br>");
    links += QStringLiteral("<a href=\"%1\">%2</a> (%3)")
                 .arg(i)
                 .arg(QString::fromStdString(TitleForDisplay(candidate.title)).toHtmlEscaped())
                 .arg(candidate.resCount);
  }
  if (links.isEmpty()) links = QString::fromUtf8("次スレ候補は見つかりません。");
  links_->setText(links);
  links_->show();
  search_->show();
  show();
}

void NextThreadBar::ShowMessage(const QString& message) {
  candidates_.clear();
  showsCandidates_ = false;
  message_->setText(message);
  links_->hide();
  search_->hide();
  show();
}

QString NextThreadBar::MessageText() const {
  return message_->text();
}

QString NextThreadBar::CandidatesText() const {
  return links_->isHidden() ? QString() : links_->text();
}

}  // namespace velkor
