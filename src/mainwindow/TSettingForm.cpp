#include "mainwindow/TSettingForm.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/AppConfig.h"
#include "base/Sjis.h"
#include "gui/Dialogs.h"
#include "gui/GuiText.h"
#include "gui/KeyMap.h"
#include "images/ui/ImageService.h"
#include "mainwindow/KeyPage.h"

namespace velkor {
namespace {

constexpr char kTag[] = "tag";

int Tag(const QObject* object) {
  return object->property(kTag).toInt();
}

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

}  // namespace

TSettingForm::TSettingForm(QWidget* parent, int boardFontSize, int threadFontSize)
    : QDialog(parent) {
  setObjectName("SettingForm");
  setWindowTitle(QString::fromUtf8("設定"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  QFont dialogFont = GothicFont();
  setFont(dialogFont);
  setFixedSize(498, 344);

  PageControl = Named(new QTabWidget(this), "PageControl");
  BuildConfigPage();
  BuildLookFeelPage();
  BuildNetworkPage();
  keyTabSheet = new KeyPage(AppKeys());
  PageControl->addTab(keyTabSheet, QString::fromUtf8("キー"));
  BuildImagePage();

  okButton = Named(new QPushButton(QString::fromUtf8("OK"), this), "okButton");
  okButton->setDefault(true);
  cancelButton = Named(new QPushButton(QString::fromUtf8("キャンセル"), this), "cancelButton");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(okButton);
  buttons->addWidget(cancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PageControl);
  layout->addLayout(buttons);

  connect(okButton, &QPushButton::clicked, this, &TSettingForm::okButtonClick);
  connect(cancelButton, &QPushButton::clicked, this, &TSettingForm::cancelButtonClick);
  connect(browserButton, &QPushButton::clicked, this, &TSettingForm::browserButtonClick);
  connect(defaultBrowserButton, &QPushButton::clicked, this,
          &TSettingForm::defaultBrowserButtonClick);
  for (QPushButton* button : {bbsMenuFontButton, threadFontButton, pageFontButton}) {
    connect(button, &QPushButton::clicked, this, &TSettingForm::bbsMenuFontButtonClick);
  }
  for (QPushButton* button :
       {colorSubscribeButton, coloNewThreadButton, colorUnreadButton, colorLogExistButton,
        colorNologButton, colorOver1000Button, colorPastButton}) {
    connect(button, &QPushButton::clicked, this, &TSettingForm::coloNewThreadButtonClick);
  }
  connect(cache1CB, &QCheckBox::toggled, this, &TSettingForm::cache1CBClick);
  connect(imageCacheClearButton, &QPushButton::clicked, this,
          &TSettingForm::imageCacheClearButtonClick);

  PageControl->setCurrentWidget(configTabSheet);
  Config().FillSettingsDialog(AppSettings(), boardFontSize, threadFontSize, values_);
  ShowValues();
}

void TSettingForm::BuildConfigPage() {
  configTabSheet = Named(new QWidget, "configTabSheet");
  PageControl->addTab(configTabSheet, QString::fromUtf8("こだわり"));

  threadGroupBox =
      Named(new QGroupBox(QString::fromUtf8("スレッドタブ"), configTabSheet), "threadGroupBox");
  newTabCheckBox =
      Named(new QCheckBox(QString::fromUtf8("スレッドは常に新しいタブで開く"), threadGroupBox),
            "newTabCheckBox");
  tabMultiLineCheckBox =
      Named(new QCheckBox(QString::fromUtf8("タブは複数行表示が好み"), threadGroupBox),
            "tabMultiLineCheckBox");
  tabStyleRadioGroup = Named(new QGroupBox(QString::fromUtf8("タブのスタイル"), threadGroupBox),
                             "tabStyleRadioGroup");
  tabStyleButtons = new QButtonGroup(tabStyleRadioGroup);
  auto* styleLayout = new QHBoxLayout(tabStyleRadioGroup);
  int index = 0;
  for (const char* caption : {"標準", "ボタン", "フラット"}) {
    auto* radio = new QRadioButton(QString::fromUtf8(caption), tabStyleRadioGroup);
    tabStyleButtons->addButton(radio, index++);
    styleLayout->addWidget(radio);
  }
  autoReloadLabel = Named(new QLabel(QString::fromUtf8("自動更新の間隔（秒）"), threadGroupBox),
                          "autoReloadLabel");
  autoReloadSpinEdit = Named(new QSpinBox(threadGroupBox), "autoReloadSpinEdit");
  autoReloadSpinEdit->setRange(kShortestAutoReloadInterval, kLongestAutoReloadInterval);
  autoReloadLabel->setBuddy(autoReloadSpinEdit);
  auto* reloadRow = new QHBoxLayout;
  reloadRow->addWidget(autoReloadLabel);
  reloadRow->addWidget(autoReloadSpinEdit);
  reloadRow->addStretch();
  auto* threadLayout = new QVBoxLayout(threadGroupBox);
  threadLayout->addWidget(newTabCheckBox);
  threadLayout->addWidget(tabMultiLineCheckBox);
  threadLayout->addWidget(tabStyleRadioGroup);
  threadLayout->addLayout(reloadRow);

  browserLabel =
      Named(new QLabel(QString::fromUtf8("外部ブラウザ"), configTabSheet), "browserLabel");
  browserEdit = Named(new QLineEdit(configTabSheet), "browserEdit");
  browserButton =
      Named(new QPushButton(QString::fromUtf8("参照..."), configTabSheet), "browserButton");
  defaultBrowserButton =
      Named(new QPushButton(QString::fromUtf8("標準"), configTabSheet), "defaultBrowserButton");
  defaultBrowserButton->hide();
  auto* browserRow = new QHBoxLayout;
  browserRow->addWidget(browserLabel);
  browserRow->addWidget(browserEdit, 1);
  browserRow->addWidget(browserButton);
  browserRow->addWidget(defaultBrowserButton);

  restoreSessionCheckBox =
      Named(new QCheckBox(QString::fromUtf8("起動時に前回の板とタブを開く"), configTabSheet),
            "restoreSessionCheckBox");

  auto* layout = new QVBoxLayout(configTabSheet);
  layout->addWidget(threadGroupBox);
  layout->addLayout(browserRow);
  layout->addWidget(restoreSessionCheckBox);
  layout->addStretch();
}

void TSettingForm::BuildLookFeelPage() {
  lookFeelTabSheet = Named(new QWidget, "lookFeelTabSheet");
  PageControl->addTab(lookFeelTabSheet, QString::fromUtf8("見栄え"));

  auto sample = [](QWidget* parent, const char* caption, const char* name) {
    auto* label = Named(new QLabel(QString::fromUtf8(caption), parent), name);
    label->setAutoFillBackground(true);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    return label;
  };
  auto colourButton = [](QWidget* parent, int tag, const char* name) {
    auto* button = Named(new QPushButton(QString::fromUtf8("背景色..."), parent), name);
    button->setProperty(kTag, tag);
    return button;
  };
  auto fontButton = [](QWidget* parent, const char* name) {
    return Named(new QPushButton(parent), name);
  };

  bbsMenuGroupBox =
      Named(new QGroupBox(QString::fromUtf8("ボード一覧"), lookFeelTabSheet), "bbsMenuGroupBox");
  bbsMenuFontLabel =
      Named(new QLabel(QString::fromUtf8("文字の大きさ"), bbsMenuGroupBox), "bbsMenuFontLabel");
  bbsMenuFontButton = fontButton(bbsMenuGroupBox, "bbsMenuFontButton");
  subscribeLabel = sample(bbsMenuGroupBox, "お気に入り", "subscribeLabel");
  colorSubscribeButton = colourButton(bbsMenuGroupBox, 0, "colorSubscribeButton");
  auto* menuLayout = new QGridLayout(bbsMenuGroupBox);
  menuLayout->addWidget(bbsMenuFontLabel, 0, 0);
  menuLayout->addWidget(bbsMenuFontButton, 0, 1);
  menuLayout->addWidget(subscribeLabel, 1, 0);
  menuLayout->addWidget(colorSubscribeButton, 1, 1);
  menuLayout->setRowStretch(2, 1);

  subjectGroupBox =
      Named(new QGroupBox(QString::fromUtf8("スレッド一覧"), lookFeelTabSheet), "subjectGroupBox");
  subjectFontLabel =
      Named(new QLabel(QString::fromUtf8("文字の大きさ"), subjectGroupBox), "subjectFontLabel");
  threadFontButton = fontButton(subjectGroupBox, "threadFontButton");
  threadNewLabel = sample(subjectGroupBox, "新規スレッド", "threadNewLabel");
  coloNewThreadButton = colourButton(subjectGroupBox, 1, "coloNewThreadButton");
  threadUnreadLabel = sample(subjectGroupBox, "未読有り", "threadUnreadLabel");
  colorUnreadButton = colourButton(subjectGroupBox, 2, "colorUnreadButton");
  threadLogExistLabel = sample(subjectGroupBox, "取得ログ有", "threadLogExistLabel");
  colorLogExistButton = colourButton(subjectGroupBox, 3, "colorLogExistButton");
  threadNologLabel = sample(subjectGroupBox, "取得ログ無", "threadNologLabel");
  colorNologButton = colourButton(subjectGroupBox, 4, "colorNologButton");
  thread1000OverLabel = sample(subjectGroupBox, "1000レス超え", "thread1000OverLabel");
  colorOver1000Button = colourButton(subjectGroupBox, 5, "colorOver1000Button");
  threadPastLabel = sample(subjectGroupBox, "dat落ち", "threadPastLabel");
  colorPastButton = colourButton(subjectGroupBox, 6, "colorPastButton");
  auto* subjectLayout = new QGridLayout(subjectGroupBox);
  subjectLayout->addWidget(subjectFontLabel, 0, 0);
  subjectLayout->addWidget(threadFontButton, 0, 1);
  const std::pair<QLabel*, QPushButton*> rows[] = {
      {threadNewLabel, coloNewThreadButton},      {threadUnreadLabel, colorUnreadButton},
      {threadLogExistLabel, colorLogExistButton}, {threadNologLabel, colorNologButton},
      {thread1000OverLabel, colorOver1000Button}, {threadPastLabel, colorPastButton}};
  int row = 1;
  for (const auto& [label, button] : rows) {
    subjectLayout->addWidget(label, row, 0);
    subjectLayout->addWidget(button, row, 1);
    ++row;
  }

  pageGroupBox =
      Named(new QGroupBox(QString::fromUtf8("スレッド表示"), lookFeelTabSheet), "pageGroupBox");
  pageFontLabel =
      Named(new QLabel(QString::fromUtf8("文字の大きさ"), pageGroupBox), "pageFontLabel");
  pageFontButton = fontButton(pageGroupBox, "pageFontButton");
  auto* pageLayout = new QGridLayout(pageGroupBox);
  pageLayout->addWidget(pageFontLabel, 0, 0);
  pageLayout->addWidget(pageFontButton, 0, 1);

  auto* left = new QVBoxLayout;
  left->addWidget(bbsMenuGroupBox, 1);
  left->addWidget(pageGroupBox);
  auto* layout = new QHBoxLayout(lookFeelTabSheet);
  layout->addLayout(left);
  layout->addWidget(subjectGroupBox);
}

void TSettingForm::BuildNetworkPage() {
  TabSheet1 = Named(new QWidget, "TabSheet1");
  PageControl->addTab(TabSheet1, QString::fromUtf8("通信"));

  subjectGzipCheckBox =
      Named(new QCheckBox(QString::fromUtf8("subject.txtをgzipで取得"), TabSheet1),
            "subjectGzipCheckBox");
  debugLogCheckBox = Named(new QCheckBox(QString::fromUtf8("通信の詳細ログを取る"), TabSheet1),
                           "debugLogCheckBox");
  debugLogCheckBox->hide();

  GroupBox3 = Named(new QGroupBox(QString::fromUtf8("キャッシュサーバ"), TabSheet1), "GroupBox3");
  cache1CB = Named(new QCheckBox(GroupBox3), "cache1CB");
  cache1Edit = Named(new QLineEdit(GroupBox3), "cache1Edit");
  cache1Label = Named(new QLabel(QString::fromUtf8("をホスト名に含む→"), GroupBox3), "cache1Label");
  cacheserver1Edit = Named(new QLineEdit(GroupBox3), "cacheserver1Edit");

  // A second rule row that is never filled, read or saved.
  cache2CB = Named(new QCheckBox(GroupBox3), "cache2CB");
  cache2Panel = Named(new QWidget(GroupBox3), "cache2Panel");
  cache2Edit = Named(new QLineEdit(cache2Panel), "cache2Edit");
  cache2Label =
      Named(new QLabel(QString::fromUtf8("をホスト名に含む→"), cache2Panel), "cache2Label");
  cacheserver2Edit = Named(new QLineEdit(cache2Panel), "cacheserver2Edit");
  auto* panelLayout = new QHBoxLayout(cache2Panel);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->addWidget(cache2Edit);
  panelLayout->addWidget(cache2Label);
  panelLayout->addWidget(cacheserver2Edit);
  cache2CB->hide();
  cache2Panel->hide();

  auto* groupLayout = new QGridLayout(GroupBox3);
  groupLayout->addWidget(cache1CB, 0, 0);
  groupLayout->addWidget(cache1Edit, 0, 1);
  groupLayout->addWidget(cache1Label, 0, 2);
  groupLayout->addWidget(cacheserver1Edit, 0, 3);
  groupLayout->addWidget(cache2CB, 1, 0);
  groupLayout->addWidget(cache2Panel, 1, 1, 1, 3);

  auto* layout = new QVBoxLayout(TabSheet1);
  layout->addWidget(subjectGzipCheckBox);
  layout->addWidget(debugLogCheckBox);
  layout->addWidget(GroupBox3);
  layout->addStretch();
}

void TSettingForm::BuildImagePage() {
  imageTabSheet = Named(new QWidget, "imageTabSheet");
  PageControl->addTab(imageTabSheet, QString::fromUtf8("画像"));

  imageLoadRadioGroup = Named(new QGroupBox(QString::fromUtf8("画像の読み込み"), imageTabSheet),
                              "imageLoadRadioGroup");
  imageLoadButtons = new QButtonGroup(imageLoadRadioGroup);
  auto* loadLayout = new QVBoxLayout(imageLoadRadioGroup);
  const std::pair<const char*, const char*> loads[] = {
      {"読み込まない", "imageNeverRadioButton"},
      {"リンクをクリックしたとき", "imageOnClickRadioButton"},
      {"サムネイルを自動で読み込む", "imageAutoRadioButton"}};
  int index = 0;
  for (const auto& [caption, name] : loads) {
    auto* radio = Named(new QRadioButton(QString::fromUtf8(caption), imageLoadRadioGroup), name);
    imageLoadButtons->addButton(radio, index++);
    loadLayout->addWidget(radio);
  }
  imageMosaicCheckBox =
      Named(new QCheckBox(QString::fromUtf8("サムネイルにモザイクをかける(クリックで外す)"),
                          imageTabSheet),
            "imageMosaicCheckBox");

  imageCacheLabel = Named(new QLabel(QString::fromUtf8("画像キャッシュの上限(MB)"), imageTabSheet),
                          "imageCacheLabel");
  imageCacheSpinBox = Named(new QSpinBox(imageTabSheet), "imageCacheSpinBox");
  imageCacheSpinBox->setRange(1, kMaxImageCacheMegabytes);
  imageCacheClearButton =
      Named(new QPushButton(QString::fromUtf8("画像キャッシュを削除"), imageTabSheet),
            "imageCacheClearButton");
  imageCacheClearLabel = Named(new QLabel(imageTabSheet), "imageCacheClearLabel");
  auto* cacheRow = new QHBoxLayout;
  cacheRow->addWidget(imageCacheLabel);
  cacheRow->addWidget(imageCacheSpinBox);
  cacheRow->addStretch();
  auto* clearRow = new QHBoxLayout;
  clearRow->addWidget(imageCacheClearButton);
  clearRow->addWidget(imageCacheClearLabel, 1);

  auto* layout = new QVBoxLayout(imageTabSheet);
  layout->addWidget(imageLoadRadioGroup);
  layout->addWidget(imageMosaicCheckBox);
  layout->addLayout(cacheRow);
  layout->addLayout(clearRow);
  layout->addStretch();
}

void TSettingForm::ShowValues() {
  newTabCheckBox->setChecked(values_.newTabOpen);
  tabMultiLineCheckBox->setChecked(values_.tabMultiLine);
  if (QAbstractButton* style = tabStyleButtons->button(values_.tabStyle)) style->setChecked(true);
  browserEdit->setText(FromSjis(values_.browserApp));
  restoreSessionCheckBox->setChecked(values_.restoreSession);
  autoReloadSpinEdit->setValue(values_.autoReloadInterval);
  SetFontSize(bbsMenuFontButton, values_.boardFontSize);
  SetFontSize(threadFontButton, values_.threadFontSize);
  SetFontSize(pageFontButton, values_.pageFontSize);
  for (int tag = 0; tag < 7; ++tag) SetSampleColour(SampleLabel(tag), values_.colours[tag]);
  subjectGzipCheckBox->setChecked(values_.subjectGzip);
  debugLogCheckBox->setChecked(values_.debugLog);
  cache1CB->setChecked(values_.cacheServerEnable);
  cache1Edit->setText(FromSjis(values_.cacheServerMatch));
  cacheserver1Edit->setText(FromSjis(values_.cacheServerHost));
  cache1CBClick();
  if (QAbstractButton* load = imageLoadButtons->button(static_cast<int>(values_.imageLoad))) {
    load->setChecked(true);
  }
  imageMosaicCheckBox->setChecked(values_.imageMosaic);
  imageCacheSpinBox->setValue(values_.imageCacheMegabytes);
}

void TSettingForm::CollectValues() {
  values_.newTabOpen = newTabCheckBox->isChecked();
  values_.tabMultiLine = tabMultiLineCheckBox->isChecked();
  // A style the file held outside 0..2 checks no button and is written back unchanged.
  if (tabStyleButtons->checkedId() >= 0) values_.tabStyle = tabStyleButtons->checkedId();
  values_.browserApp = ToSjis(browserEdit->text());
  values_.restoreSession = restoreSessionCheckBox->isChecked();
  values_.autoReloadInterval = autoReloadSpinEdit->value();
  values_.boardFontSize = Tag(bbsMenuFontButton);
  values_.threadFontSize = Tag(threadFontButton);
  values_.pageFontSize = Tag(pageFontButton);
  for (int tag = 0; tag < 7; ++tag) values_.colours[tag] = SampleColour(SampleLabel(tag));
  values_.subjectGzip = subjectGzipCheckBox->isChecked();
  values_.debugLog = debugLogCheckBox->isChecked();
  values_.cacheServerEnable = cache1CB->isChecked();
  values_.cacheServerMatch = ToSjis(cache1Edit->text());
  values_.cacheServerHost = ToSjis(cacheserver1Edit->text());
  values_.imageLoad = static_cast<Settings::ImageLoad>(imageLoadButtons->checkedId());
  values_.imageMosaic = imageMosaicCheckBox->isChecked();
  values_.imageCacheMegabytes = imageCacheSpinBox->value();
}

void TSettingForm::okButtonClick() {
  CollectValues();
  keyTabSheet->Save();
  Config().SaveSettingsDialog(values_, true);
  Config().LoadSettings(AppSettings(), display_);
  accept();
}

void TSettingForm::cancelButtonClick() {
  reject();
}

void TSettingForm::browserButtonClick() {
  QString file = AppDialogs().OpenFileName(this, QString::fromUtf8("ブラウザの指定"),
                                           browserEdit->text(), QString());
  if (!file.isEmpty()) browserEdit->setText(file);
}

void TSettingForm::defaultBrowserButtonClick() {
  browserEdit->clear();
}

void TSettingForm::bbsMenuFontButtonClick() {
  auto* button = qobject_cast<QPushButton*>(sender());
  if (button == nullptr) return;
  QFont preset = font();
  if (Tag(button) > 0) preset.setPointSize(Tag(button));
  std::optional<QFont> chosen = AppDialogs().ChooseFont(this, preset);
  if (!chosen) return;
  int size = chosen->pointSize();
  if (size > 0) SetFontSize(button, size);
}

void TSettingForm::coloNewThreadButtonClick() {
  QObject* button = sender();
  QLabel* label = button != nullptr ? SampleLabel(Tag(button)) : nullptr;
  const QColor preset = label != nullptr ? ToQColor(SampleColour(label)) : QColor(Qt::white);
  std::optional<QColor> chosen = AppDialogs().ChooseColour(this, preset);
  if (!chosen || label == nullptr) return;
  SetSampleColour(label, FromQColor(*chosen));
}

void TSettingForm::cache1CBClick() {
  bool enabled = cache1CB->isChecked();
  cache1Edit->setEnabled(enabled);
  cache1Label->setEnabled(enabled);
  cacheserver1Edit->setEnabled(enabled);
}

void TSettingForm::imageCacheClearButtonClick() {
  const Outcome cleared = ImageService::ClearCache();
  imageCacheClearLabel->setText(cleared.IsOk() ? QString::fromUtf8("削除しました")
                                               : FromSjis(cleared.Reason()));
}

QLabel* TSettingForm::SampleLabel(int tag) const {
  switch (tag) {
    case 0:
      return subscribeLabel;
    case 1:
      return threadNewLabel;
    case 2:
      return threadUnreadLabel;
    case 3:
      return threadLogExistLabel;
    case 4:
      return threadNologLabel;
    case 5:
      return thread1000OverLabel;
    case 6:
      return threadPastLabel;
    default:
      return nullptr;
  }
}

void TSettingForm::SetSampleColour(QLabel* label, Colour colour) {
  label->setProperty("colour", colour);
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, ToQColor(colour));
  label->setPalette(palette);
}

Colour TSettingForm::SampleColour(const QLabel* label) {
  return label->property("colour").toInt();
}

void TSettingForm::SetFontSize(QPushButton* button, int size) {
  button->setProperty(kTag, size);
  button->setText(QString::number(size));
}

}  // namespace velkor
