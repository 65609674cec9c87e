#include "threads/ui/FindBar.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QToolButton>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>

#include "gui/KeyMap.h"
#include "threads/ui/ThreadTab.h"
#include "threads/ui/ThreadTabList.h"
#include "threads/ui/ThreadView.h"

namespace velkor {
namespace {

QToolButton* BarButton(QWidget* parent, const char* name, const char* caption) {
  auto* button = new QToolButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setText(QString::fromUtf8(caption));
  button->setAutoRaise(true);
  return button;
}

}  // namespace

FindBar::FindBar(ThreadTabList& tabs, QTabWidget* tabControl, QWidget* parent)
    : QWidget(parent), tabs_(tabs) {
  setObjectName(QStringLiteral("findBar"));
  findEdit = new QLineEdit(this);
  findEdit->setObjectName(QStringLiteral("findEdit"));
  findEdit->setPlaceholderText(QString::fromUtf8("スレッド内を検索"));
  findEdit->setClearButtonEnabled(true);
  findCountLabel = new QLabel(this);
  findCountLabel->setObjectName(QStringLiteral("findCountLabel"));
  findCountLabel->setMinimumWidth(
      findCountLabel->fontMetrics().horizontalAdvance(QString::fromUtf8("見つかりません")));
  findPreviousButton = BarButton(this, "findPreviousButton", "前");
  findNextButton = BarButton(this, "findNextButton", "次");
  findCloseButton = BarButton(this, "findCloseButton", "×");
  AppKeys().ShowTip("FindPrevious", findPreviousButton, QString::fromUtf8("前を検索"));
  AppKeys().ShowTip("FindNext", findNextButton, QString::fromUtf8("次を検索"));
  AppKeys().ShowTip("ClosePopups", findCloseButton, QString::fromUtf8("検索バーを閉じる"));

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(4);
  layout->addWidget(findEdit, 1);
  layout->addWidget(findCountLabel);
  layout->addWidget(findPreviousButton);
  layout->addWidget(findNextButton);
  layout->addWidget(findCloseButton);
  findEdit->installEventFilter(this);
  hide();

  connect(findEdit, &QLineEdit::textChanged, this, [this] { Find(false); });
  connect(findNextButton, &QToolButton::clicked, this, &FindBar::FindNext);
  connect(findPreviousButton, &QToolButton::clicked, this, &FindBar::FindPrevious);
  connect(findCloseButton, &QToolButton::clicked, this, &FindBar::Close);
  if (tabControl != nullptr) {
    connect(tabControl, &QTabWidget::currentChanged, this, &FindBar::Follow);
  }
}

void FindBar::Open(const QString& text) {
  show();
  if (!text.isEmpty() && text != findEdit->text()) {
    findEdit->setText(text);  // finds through textChanged
  } else {
    Follow();
  }
  findEdit->setFocus(Qt::ShortcutFocusReason);
  findEdit->selectAll();
}

void FindBar::Close() {
  if (isHidden()) return;
  hide();
  ++request_;
  Leave();
  view_ = nullptr;
  activeMatch_ = 0;
  matchCount_ = 0;
  ShowCount();
  tabs_.FocusActiveTab();
}

void FindBar::FindNext() {
  if (isHidden()) {
    Open();
    return;
  }
  Find(false);
}

void FindBar::FindPrevious() {
  if (isHidden()) {
    Open();
    return;
  }
  Find(true);
}

void FindBar::Follow() {
  if (isHidden()) return;
  ThreadTab* tab = tabs_.ActiveTab();
  ThreadView* view = tab != nullptr ? tab->View() : nullptr;
  if (view != view_.data()) {
    Leave();
    view_ = view;
    // A page drawn anew (more replies, other rules) loses its highlights: find again there.
    if (view != nullptr) {
      connect(view, &ThreadView::DocumentLoaded, this, &FindBar::Follow, Qt::UniqueConnection);
    }
  } else if (!view_.isNull()) {
    view_->page()->findText(QString());  // the next find starts a new search from the top
  }
  Find(false);
}

void FindBar::Leave() {
  if (view_.isNull()) return;
  view_->page()->findText(QString());
  disconnect(view_, &ThreadView::DocumentLoaded, this, &FindBar::Follow);
}

void FindBar::Find(bool backward) {
  const int request = ++request_;
  if (view_.isNull()) {
    ThreadTab* tab = tabs_.ActiveTab();
    if (tab == nullptr) {
      activeMatch_ = 0;
      matchCount_ = 0;
      ShowCount();
      return;
    }
    view_ = tab->View();
    connect(view_, &ThreadView::DocumentLoaded, this, &FindBar::Follow, Qt::UniqueConnection);
  }
  const QString text = findEdit->text();
  if (text.isEmpty()) {
    view_->page()->findText(QString());
    activeMatch_ = 0;
    matchCount_ = 0;
    ShowCount();
    return;
  }
  QPointer<FindBar> self(this);
  view_->page()->findText(text,
                          backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags(),
                          [self, request](const QWebEngineFindTextResult& result) {
                            if (!self.isNull()) self->Answered(request, result);
                          });
}

void FindBar::Answered(int request, const QWebEngineFindTextResult& result) {
  ++answers_;
  if (request != request_) return;
  activeMatch_ = result.activeMatch();
  matchCount_ = result.numberOfMatches();
  ShowCount();
}

QString FindBar::CountText() const {
  if (findEdit->text().isEmpty() || isHidden()) return QString();
  if (matchCount_ == 0) return QString::fromUtf8("見つかりません");
  return QStringLiteral("%1/%2").arg(activeMatch_).arg(matchCount_);
}

void FindBar::ShowCount() {
  findCountLabel->setText(CountText());
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == findEdit && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      Find(key->modifiers().testFlag(Qt::ShiftModifier));
      return true;
    }
    if (key->key() == Qt::Key_Escape) {
      Close();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace velkor
