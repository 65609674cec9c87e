#include "search/ui/TSearchForm.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <optional>
#include <string>
#include <utility>

#include "app/UiHooks.h"
#include "base/Sjis.h"
#include "boards/BoardCatalog.h"
#include "gui/Dialogs.h"
#include "gui/GuiText.h"
#include "search/RegexEngine.h"
#include "search/SearchPage.h"
#include "search/SearchWalks.h"

namespace velkor {
namespace {

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

}  // namespace

TSearchForm::TSearchForm(QWidget* parent) : QDialog(parent) {
  setObjectName("SearchForm");
  setWindowTitle(QString::fromUtf8("検索"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  resize(371, 260);

  keyLabel = Named(new QLabel(QString::fromUtf8("検索ワード"), this), "keyLabel");
  keyEdit = Named(new QLineEdit(this), "keyEdit");
  keyLabel->setBuddy(keyEdit);
  nocaseCheckBox =
      Named(new QCheckBox(QString::fromUtf8("大文字小文字を区別する"), this), "nocaseCheckBox");
  dialogButton =
      Named(new QPushButton(QString::fromUtf8("あいまい検索設定..."), this), "dialogButton");
  copyrightLabel =
      Named(new QLabel(QString::fromUtf8("HmJre.dllのバージョン"), this), "copyrightLabel");
  copyrightLabel->setWordWrap(true);
  searchTypeRadioGroup =
      Named(new QGroupBox(QString::fromUtf8("範囲"), this), "searchTypeRadioGroup");
  searchTypeButtons = new QButtonGroup(searchTypeRadioGroup);
  auto* scopes = new QVBoxLayout(searchTypeRadioGroup);
  int index = 0;
  for (const char* caption :
       {"表示中のスレッド一覧からタイトル検索", "一覧を表示している板の既得ログから検索",
        "全ての購読板からスレッドタイトル検索", "全ての購読板の既得ログから検索"}) {
    auto* radio = new QRadioButton(QString::fromUtf8(caption), searchTypeRadioGroup);
    searchTypeButtons->addButton(radio, index++);
    scopes->addWidget(radio);
  }
  searchTypeButtons->button(0)->setChecked(true);
  startButton = Named(new QPushButton(QString::fromUtf8("検索"), this), "startButton");
  startButton->setDefault(true);
  cancelButton = Named(new QPushButton(QString::fromUtf8("キャンセル"), this), "cancelButton");
  ProgressBar = Named(new QProgressBar(this), "ProgressBar");
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  ProgressBar->setTextVisible(false);

  auto* keyRow = new QHBoxLayout;
  keyRow->addWidget(keyLabel);
  keyRow->addWidget(keyEdit, 1);
  auto* optionRow = new QHBoxLayout;
  optionRow->addWidget(nocaseCheckBox);
  optionRow->addStretch();
  optionRow->addWidget(dialogButton);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(ProgressBar, 1);
  buttons->addWidget(startButton);
  buttons->addWidget(cancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(keyRow);
  layout->addLayout(optionRow);
  layout->addWidget(copyrightLabel);
  layout->addWidget(searchTypeRadioGroup);
  layout->addLayout(buttons);

  dialogButton->setToolTip(
      QString::fromUtf8("全角の英数字を半角の英数字と同じ文字として検索するかを選びます"));

  connect(startButton, &QPushButton::clicked, this, &TSearchForm::startButtonClick);
  connect(cancelButton, &QPushButton::clicked, this, &TSearchForm::cancelButtonClick);
  connect(dialogButton, &QPushButton::clicked, this, &TSearchForm::dialogButtonClick);
}

TSearchForm::~TSearchForm() = default;

void TSearchForm::Prepare(SubjectList* shown, std::function<void()> rowsChanged) {
  shown_ = shown;
  rowsChanged_ = std::move(rowsChanged);
  Ready();
  if (!engine_) {
    engine_ = std::make_unique<RegexEngine>();
    engine_->Load();
    copyrightLabel->setText(FromSjis(engine_->VersionText()));
  }
}

void TSearchForm::Ready() {
  cancelRequested_ = false;
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  SetInputsEnabled(true);
}

void TSearchForm::SetInputsEnabled(bool enabled) {
  startButton->setEnabled(enabled);
  keyEdit->setEnabled(enabled);
  nocaseCheckBox->setEnabled(enabled);
  dialogButton->setEnabled(enabled);
  searchTypeRadioGroup->setEnabled(enabled);
}

void TSearchForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  keyEdit->setFocus();
}

void TSearchForm::startButtonClick() {
  if (searching_ || !engine_) return;
  SetInputsEnabled(false);
  engine_->SetFoldWidth(foldWidth_);
  engine_->SetBudget(kSearchMatchBudget);
  if (const Result<PrepareCode> prepared =
          engine_->Prepare(ToSjis(keyEdit->text()), !nocaseCheckBox->isChecked());
      !prepared.IsOk()) {
    if (!prepared.Reason().empty()) {
      AppDialogs().ShowMessage(this, QMessageBox::Critical, windowTitle(),
                               FromSjis(prepared.Reason()));
    }
    Ready();
    keyEdit->setFocus();
    return;
  }
  searching_ = true;
  WalkProgress progress = MakeWalkProgress(
      [this](int position, int maximum) {
        ProgressBar->setRange(0, maximum);
        ProgressBar->setValue(position);
      },
      cancelRequested_);
  std::optional<std::string> page;
  switch (searchTypeButtons->checkedId()) {
    case 0:
      if (shown_ != nullptr) {
        SearchShownTitles(*shown_, *engine_);
        if (rowsChanged_) rowsChanged_();
      }
      break;
    case 1:
      if (shown_ != nullptr) page = SearchBoardLogs(*shown_, Favorites(), *engine_, progress);
      break;
    case 2:
      page = SearchFavoriteTitles(Favorites(), *engine_, progress);
      break;
    case 3:
      page = SearchFavoriteLogs(Favorites(), *engine_, progress);
      break;
    default:
      break;
  }
  if (page) Ui().ShowHtmlPage(*page, SearchResultTitle());
  if (engine_->Exhausted()) Ui().SetStatusText(RegexEngine::TooCostlyText());
  engine_->Finish();
  searching_ = false;
  // A close during the walk has already ended the dialog with its own result.
  if (!cancelRequested_) accept();
}

void TSearchForm::cancelButtonClick() {
  reject();
}

void TSearchForm::done(int result) {
  cancelRequested_ = true;
  QDialog::done(result);
}

void TSearchForm::dialogButtonClick() {
  QDialog options(this);
  options.setObjectName("FuzzyOptionDialog");
  options.setWindowTitle(QString::fromUtf8("あいまい検索設定"));
  auto* fold = new QCheckBox(QString::fromUtf8("全角と半角の英数字を区別しない"), &options);
  fold->setObjectName("foldWidthCheckBox");
  fold->setChecked(foldWidth_);
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &options);
  connect(box, &QDialogButtonBox::accepted, &options, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, &options, &QDialog::reject);
  auto* layout = new QVBoxLayout(&options);
  layout->addWidget(fold);
  layout->addWidget(box);
  if (AppDialogs().Exec(options) == QDialog::Accepted) foldWidth_ = fold->isChecked();
}

}  // namespace velkor
