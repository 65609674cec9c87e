#include "threads/ui/TNgForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "gui/Dialogs.h"
#include "gui/GuiText.h"
#include "threads/NgRuleFile.h"
#include "threads/ui/ThreadTab.h"

namespace velkor {

namespace {

constexpr NgKind kKinds[] = {NgKind::kWord, NgKind::kName, NgKind::kMail, NgKind::kId,
                             NgKind::kRegex};

// Redraws the open threads after an edit that changed the file; the edit's outcome otherwise.
Result<NgRuleFileCode> Reapplied(const ResultWith<NgRuleEdit, NgRuleFileCode>& edit) {
  if (!edit.IsOk()) return {edit.Code(), edit.Reason()};
  if (edit.Value().changed) ReapplyNgRulesToOpenTabs();
  return {};
}

}  // namespace

Result<NgRuleFileCode> AddNgRule(const NgRule& rule) {
  return Reapplied(AddNgRuleToFile(NgRuleFile::DefaultPath(), rule));
}

Result<NgRuleFileCode> RemoveNgRule(const NgRule& rule) {
  return Reapplied(RemoveNgRuleFromFile(NgRuleFile::DefaultPath(), rule));
}

void ReapplyNgRulesToOpenTabs() {
  ThreadTab::ReapplyNgRulesInAllTabs();
}

TNgForm::TNgForm(const std::string& board, QWidget* parent) : QDialog(parent), board_(board) {
  setObjectName(QStringLiteral("NgForm"));
  setWindowTitle(QString::fromUtf8("NG設定"));
  ruleLV = new QTreeWidget(this);
  ruleLV->setObjectName(QStringLiteral("ruleLV"));
  ruleLV->setRootIsDecorated(false);
  ruleLV->setHeaderLabels({QString::fromUtf8("番号"), QString::fromUtf8("種類"),
                           QString::fromUtf8("パターン"), QString::fromUtf8("範囲"),
                           QString::fromUtf8("モード")});
  kindCB = new QComboBox(this);
  kindCB->setObjectName(QStringLiteral("kindCB"));
  for (NgKind kind : kKinds) kindCB->addItem(QString::fromLatin1(NgKindName(kind).data()));
  patternEdit = new QLineEdit(this);
  patternEdit->setObjectName(QStringLiteral("patternEdit"));
  boardOnlyCB =
      new QCheckBox(QString::fromUtf8("この板のみ (") + FromSjis(board) + QLatin1Char(')'), this);
  boardOnlyCB->setObjectName(QStringLiteral("boardOnlyCB"));
  boardOnlyCB->setEnabled(!board.empty());
  hiddenCB = new QCheckBox(QString::fromUtf8("透明あぼーん"), this);
  hiddenCB->setObjectName(QStringLiteral("hiddenCB"));
  chainCB = new QCheckBox(QString::fromUtf8("連鎖あぼーん"), this);
  chainCB->setObjectName(QStringLiteral("chainCB"));
  addButton = new QPushButton(QString::fromUtf8("追加"), this);
  addButton->setObjectName(QStringLiteral("addButton"));
  removeButton = new QPushButton(QString::fromUtf8("削除"), this);
  removeButton->setObjectName(QStringLiteral("removeButton"));
  closeButton = new QPushButton(QString::fromUtf8("閉じる"), this);
  closeButton->setObjectName(QStringLiteral("closeButton"));

  auto* input = new QHBoxLayout;
  input->addWidget(kindCB);
  input->addWidget(patternEdit, 1);
  input->addWidget(addButton);
  auto* options = new QHBoxLayout;
  options->addWidget(boardOnlyCB);
  options->addWidget(hiddenCB);
  options->addWidget(chainCB);
  options->addStretch(1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(removeButton);
  buttons->addStretch(1);
  buttons->addWidget(closeButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(ruleLV, 1);
  layout->addLayout(input);
  layout->addLayout(options);
  layout->addLayout(buttons);
  resize(560, 360);

  connect(addButton, &QPushButton::clicked, this, &TNgForm::addButtonClick);
  connect(patternEdit, &QLineEdit::returnPressed, this, &TNgForm::addButtonClick);
  connect(removeButton, &QPushButton::clicked, this, &TNgForm::removeButtonClick);
  connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
  FillRules();
}

void TNgForm::FillRules() {
  ruleLV->clear();
  shown_.clear();
  NgRuleFile file;
  if (const Result<NgRuleFileCode> loaded = file.Load(NgRuleFile::DefaultPath()); !loaded.IsOk()) {
    AppDialogs().ShowMessage(this, QMessageBox::Warning, windowTitle(), FromSjis(loaded.Reason()));
    return;
  }
  int number = 0;
  for (const NgRule& rule : file.Rules()) {
    auto* item = new QTreeWidgetItem(ruleLV);
    item->setText(0, QString::number(++number));
    item->setText(1, QString::fromLatin1(NgKindName(rule.kind).data()));
    item->setText(2, FromSjis(rule.pattern));
    item->setText(3, FromSjis(NgScopeText(rule)));
    item->setText(4, FromSjis(NgModeText(rule)));
    shown_.push_back(rule);
  }
  ruleLV->header()->resizeSections(QHeaderView::ResizeToContents);
}

void TNgForm::addButtonClick() {
  NgRule rule;
  rule.kind = kKinds[std::max(0, kindCB->currentIndex())];
  rule.pattern = ToSjis(patternEdit->text());
  if (boardOnlyCB->isEnabled() && boardOnlyCB->isChecked()) rule.board = board_;
  rule.hidden = hiddenCB->isChecked();
  rule.chain = chainCB->isChecked();
  if (const Result<NgRuleFileCode> added = AddNgRule(rule); !added.IsOk()) {
    AppDialogs().ShowMessage(this, QMessageBox::Warning, windowTitle(), FromSjis(added.Reason()));
    return;
  }
  patternEdit->clear();
  FillRules();
}

void TNgForm::removeButtonClick() {
  const int row = ruleLV->indexOfTopLevelItem(ruleLV->currentItem());
  if (row < 0 || static_cast<std::size_t>(row) >= shown_.size()) return;
  if (const Result<NgRuleFileCode> removed = RemoveNgRule(shown_[static_cast<std::size_t>(row)]);
      !removed.IsOk()) {
    AppDialogs().ShowMessage(this, QMessageBox::Warning, windowTitle(), FromSjis(removed.Reason()));
  }
  FillRules();
}

}  // namespace velkor
