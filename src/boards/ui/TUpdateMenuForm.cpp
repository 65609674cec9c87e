#include "boards/ui/TUpdateMenuForm.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QVBoxLayout>

#include "app/AppConfig.h"
#include "app/UiHooks.h"
#include "base/Sjis.h"
#include "boards/BoardCatalog.h"
#include "gui/Dialogs.h"
#include "gui/GuiText.h"

namespace velkor {

TUpdateMenuForm::TUpdateMenuForm(QWidget* parent)
    : QDialog(parent),
      updater_(std::make_unique<BoardMenuUpdater>(BoardList(), Favorites(), Config())) {
  setObjectName("UpdateMenuForm");
  setWindowTitle(FromSjis(BoardMenuUpdater::Caption()));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);

  bbsMenuComboBox = new QComboBox(this);
  bbsMenuComboBox->setObjectName("bbsMenuComboBox");
  bbsMenuComboBox->setEditable(true);
  bbsMenuComboBox->setInsertPolicy(QComboBox::NoInsert);
  bbsMenuComboBox->setMinimumWidth(360);
  ProgressBar = new QProgressBar(this);
  ProgressBar->setObjectName("ProgressBar");
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  ProgressBar->setTextVisible(false);
  localButton = new QPushButton(QString::fromUtf8("ローカルファイル..."), this);
  localButton->setObjectName("localButton");
  rebuildCheckBox = new QCheckBox(QString::fromUtf8("再構築する"), this);
  rebuildCheckBox->setObjectName("rebuildCheckBox");
  updateButton = new QPushButton(QString::fromUtf8("更新"), this);
  updateButton->setObjectName("updateButton");
  updateButton->setDefault(true);
  abortButton = new QPushButton(QString::fromUtf8("中止"), this);
  abortButton->setObjectName("abortButton");
  abortButton->setEnabled(false);
  closeButton = new QPushButton(QString::fromUtf8("閉じる"), this);
  closeButton->setObjectName("closeButton");
  StatusBar = new QStatusBar(this);
  StatusBar->setObjectName("StatusBar");
  StatusBar->setSizeGripEnabled(false);

  auto* options = new QHBoxLayout;
  options->addWidget(localButton);
  options->addStretch();
  options->addWidget(rebuildCheckBox);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(updateButton);
  buttons->addWidget(abortButton);
  buttons->addWidget(closeButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(bbsMenuComboBox);
  layout->addWidget(ProgressBar);
  layout->addLayout(options);
  layout->addLayout(buttons);
  layout->addWidget(StatusBar);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  ShowHistory();
  updater_->SetStatusSink(this);

  connect(updateButton, &QPushButton::clicked, this, &TUpdateMenuForm::updateButtonClick);
  connect(abortButton, &QPushButton::clicked, this, &TUpdateMenuForm::abortButtonClick);
  connect(closeButton, &QPushButton::clicked, this, &TUpdateMenuForm::closeButtonClick);
  connect(localButton, &QPushButton::clicked, this, &TUpdateMenuForm::localButtonClick);
  connect(bbsMenuComboBox, &QComboBox::currentTextChanged, this,
          &TUpdateMenuForm::bbsMenuComboBoxChange);
  connect(rebuildCheckBox, &QCheckBox::toggled, this,
          [this](bool checked) { updater_->SetRebuild(checked); });
}

TUpdateMenuForm::~TUpdateMenuForm() = default;

void TUpdateMenuForm::ShowHistory() {
  QSignalBlocker comboBlocker(bbsMenuComboBox);
  QSignalBlocker checkBlocker(rebuildCheckBox);
  bbsMenuComboBox->clear();
  for (const std::string& url : updater_->History()) bbsMenuComboBox->addItem(FromSjis(url));
  bbsMenuComboBox->setCurrentIndex(0);
  updater_->SetUrl(updater_->History().front());
  rebuildCheckBox->setChecked(updater_->Rebuild());
}

MenuUpdateResult TUpdateMenuForm::RunUpdate(bool silent) {
  // The text decides the URL, the box the rebuild, whatever the order they were changed in.
  bool rebuild = rebuildCheckBox->isChecked();
  updater_->SetUrl(ToSjis(bbsMenuComboBox->currentText()));
  updater_->SetRebuild(rebuild);
  MenuUpdateResult result = updater_->RunUpdate();
  ShowResult(result, silent);
  ShowHistory();
  return result;
}

void TUpdateMenuForm::ShowResult(const MenuUpdateResult& result, bool silent) {
  if (!result.MovedReport().empty()) {
    Ui().ShowHtmlPage(result.MovedReport(), BoardCatalog::MovedBoardsTitle());
  }
  if (result.IsOk() || silent) return;
  const MessageIcon icon = result.Code() == MenuUpdateCode::kNotModified ? MessageIcon::kInformation
                                                                         : MessageIcon::kWarning;
  Ui().ShowMessage(icon, BoardMenuUpdater::Caption(), result.Reason());
}

void TUpdateMenuForm::ShowStatusText(const std::string& text) {
  StatusBar->showMessage(FromSjis(text));
}

void TUpdateMenuForm::ShowProgress(std::int32_t received, std::int32_t total) {
  // Without an announced length the bar shows activity instead of a share.
  ProgressBar->setRange(0, total > 0 ? total : 0);
  ProgressBar->setValue(total > 0 ? std::min(received, total) : 0);
}

void TUpdateMenuForm::SetIdle(bool idle) {
  bbsMenuComboBox->setEnabled(idle);
  rebuildCheckBox->setEnabled(idle);
  updateButton->setEnabled(idle);
  localButton->setEnabled(idle);
  abortButton->setEnabled(!idle);
}

void TUpdateMenuForm::updateButtonClick() {
  SetIdle(false);
  // RunUpdate has shown what came of it.
  static_cast<void>(RunUpdate(false));
  SetIdle(true);
  accept();
}

void TUpdateMenuForm::abortButtonClick() {
  abortButton->setEnabled(false);
  updater_->RequestAbort();
}

void TUpdateMenuForm::closeButtonClick() {
  reject();
}

void TUpdateMenuForm::done(int result) {
  if (updater_->CurrentRunFlag() == BoardMenuUpdater::kDownloading) updater_->RequestAbort();
  QDialog::done(result);
}

void TUpdateMenuForm::localButtonClick() {
  // Saved pages come with either case of extension, and any file may be a saved page.
  QString file = AppDialogs().OpenFileName(this, QString::fromUtf8("ボード一覧HTML"), QString(),
                                           "HTML files (*.HTM *.HTML *.htm *.html);;All files (*)");
  if (file.isEmpty()) return;
  const MenuUpdateResult applied = updater_->ApplyMenuFile(QFile::encodeName(file).toStdString());
  ShowResult(applied, false);
  // A menu that was applied closes the dialog even when its logs could not all move.
  if (applied.IsOk() || applied.Code() == MenuUpdateCode::kLogsNotMoved) accept();
}

void TUpdateMenuForm::bbsMenuComboBoxChange(const QString& text) {
  updater_->SetUrl(ToSjis(text));
  QSignalBlocker blocker(rebuildCheckBox);
  rebuildCheckBox->setChecked(updater_->Rebuild());
}

}  // namespace velkor
