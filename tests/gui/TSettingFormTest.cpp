#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QtTest>

#include "../images/TestImages.h"
#include "PresetDialogs.h"
#include "app/AppConfig.h"
#include "app/DataDir.h"
#include "base/FileUtil.h"
#include "images/ImageCache.h"
#include "mainwindow/TSettingForm.h"
#include "support/TempDataDir.h"

using namespace velkor;

namespace {

std::string ConfigBytes() {
  return ReadWholeFile(IniDir() + "/config.ini").value_or("<missing>");
}

// The caption a control shows: a label's or button's text, a group box's title.
QString CaptionOf(const QObject* control) {
  if (const auto* label = qobject_cast<const QLabel*>(control)) return label->text();
  if (const auto* button = qobject_cast<const QAbstractButton*>(control)) return button->text();
  if (const auto* group = qobject_cast<const QGroupBox*>(control)) return group->title();
  return QStringLiteral("<no caption>");
}

}  // namespace

class TSettingFormTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    dir_.WriteFile("ini/config.ini",
                   "[Kodawari]\r\nDebugLog=1\r\nTabStyle=2\r\nBrowserApp=/usr/bin/firefox\r\n\r\n"
                   "[LookFeel]\r\nNewThreadColor=255\r\n\r\n"
                   "[CacheServer]\r\nEnable=0\r\nMatch=abc\r\nHost=cache.example\r\n\r\n");
    Config().Open(IniDir() + "/config.ini");
    DisplaySettings display;
    Config().LoadSettings(AppSettings(), display);
    Config().FillSettingsDialog(AppSettings(), 10, 10, stored_);
  }

  // Every test starts from the same settings.
  void init() {
    Config().SaveSettingsDialog(stored_, true);
    DisplaySettings display;
    Config().LoadSettings(AppSettings(), display);
  }

  // The dialog opens on "こだわり" and shows the configuration and the given font sizes.
  void opensOnTheFirstPageWithTheStoredValues() {
    TSettingForm form(nullptr, 11, 13);
    QCOMPARE(form.windowTitle(), QString::fromUtf8("設定"));
    auto* pages = form.findChild<QTabWidget*>("PageControl");
    QVERIFY(pages != nullptr);
    QCOMPARE(pages->currentWidget()->objectName(), QString("configTabSheet"));
    QCOMPARE(pages->tabText(0), QString::fromUtf8("こだわり"));
    QCOMPARE(pages->tabText(1), QString::fromUtf8("見栄え"));
    QCOMPARE(pages->tabText(2), QString::fromUtf8("通信"));
    QCOMPARE(pages->tabText(4), QString::fromUtf8("画像"));
    QVERIFY(form.findChild<QAbstractButton*>("imageOnClickRadioButton")->isChecked());
    QCOMPARE(form.findChild<QSpinBox*>("imageCacheSpinBox")->value(), 300);
    QCOMPARE(form.findChild<QPushButton*>("bbsMenuFontButton")->text(), QString("11"));
    QCOMPARE(form.findChild<QPushButton*>("threadFontButton")->text(), QString("13"));
    QCOMPARE(form.findChild<QLineEdit*>("browserEdit")->text(), QString("/usr/bin/firefox"));
    QVERIFY(form.tabStyleButtons->button(2)->isChecked());
    QCOMPARE(form.findChild<QLabel*>("threadNewLabel")->palette().color(QPalette::Window),
             QColor(255, 0, 0));
    // Made but never shown.
    for (const auto& [name, caption] : {std::pair{"debugLogCheckBox", "通信の詳細ログを取る"},
                                        std::pair{"defaultBrowserButton", "標準"}}) {
      const auto* hidden = form.findChild<QWidget*>(name);
      QVERIFY2(hidden != nullptr, name);
      QVERIFY(hidden->isHidden());
      QCOMPARE(CaptionOf(hidden), QString::fromUtf8(caption));
    }
  }

  // Each control, found by its name in its group and with its caption and the caption of the label
  // beside it, is clicked once (the pickers answer /opt/browser, size 12, colour #112233), and
  // "OK" writes the changed key. A colour button paints the sample it belongs to.
  void clickingEachControlWritesItsKey_data() {
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("labelCaption");
    QTest::addColumn<QString>("asks");
    QTest::addColumn<QByteArray>("written");
    const struct {
      const char* group;  // "name:title" of the group box holding both, or "" for the page
      const char* name;
      const char* caption;
      const char* label;
      const char* labelCaption;
      const char* asks;  // the question the click puts (PresetDialogs' record), or ""
      const char* written;
    } rows[] = {
        {"threadGroupBox:スレッドタブ", "newTabCheckBox", "スレッドは常に新しいタブで開く", "", "",
         "", "NewTabOpen=1\r\n"},
        {"threadGroupBox:スレッドタブ", "tabMultiLineCheckBox", "タブは複数行表示が好み", "", "",
         "", "TabMultiLine=1\r\n"},
        {"", "browserButton", "参照...", "browserLabel", "外部ブラウザ", "file|ブラウザの指定|",
         "BrowserApp=/opt/browser\r\n"},
        {"bbsMenuGroupBox:ボード一覧", "bbsMenuFontButton", "10", "bbsMenuFontLabel",
         "文字の大きさ", "font||", "BoardFontSize=12\r\n"},
        {"bbsMenuGroupBox:ボード一覧", "colorSubscribeButton", "背景色...", "subscribeLabel",
         "お気に入り", "colour||", "SubjectSubscribeColor=3351057\r\n"},
        {"subjectGroupBox:スレッド一覧", "threadFontButton", "10", "subjectFontLabel",
         "文字の大きさ", "font||", "ThreadFontSize=12\r\n"},
        {"subjectGroupBox:スレッド一覧", "coloNewThreadButton", "背景色...", "threadNewLabel",
         "新規スレッド", "colour||", "NewThreadColor=3351057\r\n"},
        {"subjectGroupBox:スレッド一覧", "colorUnreadButton", "背景色...", "threadUnreadLabel",
         "未読有り", "colour||", "UnreadThreadColor=3351057\r\n"},
        {"subjectGroupBox:スレッド一覧", "colorLogExistButton", "背景色...", "threadLogExistLabel",
         "取得ログ有", "colour||", "LogExistThreadColor=3351057\r\n"},
        {"subjectGroupBox:スレッド一覧", "colorNologButton", "背景色...", "threadNologLabel",
         "取得ログ無", "colour||", "NologThreadColor=3351057\r\n"},
        {"subjectGroupBox:スレッド一覧", "colorOver1000Button", "背景色...", "thread1000OverLabel",
         "1000レス超え", "colour||", "Over1000ThreadColor=3351057\r\n"},
        {"subjectGroupBox:スレッド一覧", "colorPastButton", "背景色...", "threadPastLabel",
         "dat落ち", "colour||", "PastThreadColor=3351057\r\n"},
        {"", "subjectGzipCheckBox", "subject.txtをgzipで取得", "", "", "", "SubjectGzip=0\r\n"},
        {"GroupBox3:キャッシュサーバ", "cache1CB", "", "cache1Label", "をホスト名に含む→", "",
         "[CacheServer]\r\nEnable=1\r\n"},
        {"imageLoadRadioGroup:画像の読み込み", "imageAutoRadioButton", "サムネイルを自動で読み込む",
         "", "", "", "ImageLoad=2\r\n"},
        {"imageLoadRadioGroup:画像の読み込み", "imageNeverRadioButton", "読み込まない", "", "", "",
         "ImageLoad=0\r\n"},
        {"", "imageMosaicCheckBox", "サムネイルにモザイクをかける(クリックで外す)", "", "", "",
         "ImageMosaic=1\r\n"},
    };
    for (const auto& row : rows) {
      QTest::newRow(row.name) << QString::fromUtf8(row.group) << QString::fromLatin1(row.name)
                              << QString::fromUtf8(row.caption) << QString::fromLatin1(row.label)
                              << QString::fromUtf8(row.labelCaption) << QString::fromUtf8(row.asks)
                              << QByteArray(row.written);
    }
  }

  void clickingEachControlWritesItsKey() {
    QFETCH(QString, group);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, label);
    QFETCH(QString, labelCaption);
    QFETCH(QString, asks);
    QFETCH(QByteArray, written);
    TSettingForm form(nullptr, 10, 10);
    const QWidget* holder = &form;
    if (!group.isEmpty()) {
      holder = form.findChild<QGroupBox*>(group.section(':', 0, 0));
      QVERIFY(holder != nullptr);
      QCOMPARE(CaptionOf(holder), group.section(':', 1));
    }
    auto* control = holder->findChild<QAbstractButton*>(name);
    QVERIFY(control != nullptr);
    QCOMPARE(CaptionOf(control), caption);
    const QLabel* sample = label.isEmpty() ? nullptr : holder->findChild<QLabel*>(label);
    if (!label.isEmpty()) {
      QVERIFY(sample != nullptr);
      QCOMPARE(CaptionOf(sample), labelCaption);
    }
    test::PresetDialogs dialogs;
    dialogs.files.push_back("/opt/browser");
    dialogs.fontSizes.push_back(12);
    dialogs.colours.push_back(QColor(0x11, 0x22, 0x33));
    control->click();
    QCOMPARE(dialogs.asked, asks.isEmpty() ? QStringList() : QStringList{asks});
    if (asks == "colour||") {
      QCOMPARE(sample->palette().color(QPalette::Window), QColor(0x11, 0x22, 0x33));
    }
    auto* ok = form.findChild<QPushButton*>("okButton");
    QCOMPARE(CaptionOf(ok), QString("OK"));
    ok->click();
    QCOMPARE(form.result(), int(QDialog::Accepted));
    const std::string bytes = ConfigBytes();
    QVERIFY2(bytes.find(written.toStdString()) != std::string::npos, bytes.c_str());
  }

  void tabStyleItems() {
    TSettingForm form(nullptr, 10, 10);
    QCOMPARE(CaptionOf(form.findChild<QGroupBox*>("tabStyleRadioGroup")),
             QString::fromUtf8("タブのスタイル"));
    QStringList items;
    for (int i = 0; i < 3; ++i) items << form.tabStyleButtons->button(i)->text();
    QCOMPARE(items, QStringList({QString::fromUtf8("標準"), QString::fromUtf8("ボタン"),
                                 QString::fromUtf8("フラット")}));
    QVERIFY(form.okButton->isDefault());
  }

  void cacheInputsFollowTheirCheckBox() {
    TSettingForm form(nullptr, 10, 10);
    form.show();
    auto* box = form.findChild<QCheckBox*>("cache1CB");
    QWidget* inputs[] = {form.findChild<QLineEdit*>("cache1Edit"),
                         form.findChild<QLabel*>("cache1Label"),
                         form.findChild<QLineEdit*>("cacheserver1Edit")};
    QVERIFY(!box->isChecked());
    for (QWidget* input : inputs) QVERIFY(!input->isEnabled());
    form.PageControl->setCurrentIndex(2);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
    QVERIFY(box->isChecked());
    for (QWidget* input : inputs) QVERIFY(input->isEnabled());
  }

  // "画像キャッシュを削除" empties the cache at once, whatever the dialog's end.
  void clearingTheImageCacheEmptiesIt() {
    {
      ImageCache cache(ImageCache::DefaultDir());
      QVERIFY(cache.Open().IsOk());
      QVERIFY(cache.Store("http://img.test/a.png", test::MakePng(2, 2), "image/png").IsOk());
    }
    const std::string before = ConfigBytes();
    TSettingForm form(nullptr, 10, 10);
    QCOMPARE(CaptionOf(form.imageCacheClearButton), QString::fromUtf8("画像キャッシュを削除"));
    form.imageCacheClearButton->click();
    QCOMPARE(form.imageCacheClearLabel->text(), QString::fromUtf8("削除しました"));
    form.cancelButton->click();
    ImageCache cache(ImageCache::DefaultDir());
    QVERIFY(cache.Open().IsOk());
    QCOMPARE(cache.Count(), std::size_t{0});
    QCOMPARE(ConfigBytes(), before);
  }

  // Colour and font changes followed by "キャンセル" leave the file and the settings alone.
  void cancelWritesNothing() {
    std::string before = ConfigBytes();
    Colour newColour = AppSettings().newThreadColor;
    TSettingForm form(nullptr, 10, 10);
    test::PresetDialogs dialogs;
    dialogs.colours.push_back(QColor(1, 2, 3));
    form.coloNewThreadButton->click();
    QCOMPARE(dialogs.asked, QStringList{"colour||"});
    QCOMPARE(form.threadNewLabel->palette().color(QPalette::Window), QColor(1, 2, 3));
    auto* cancel = form.findChild<QPushButton*>("cancelButton");
    QCOMPARE(CaptionOf(cancel), QString::fromUtf8("キャンセル"));
    cancel->click();
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QCOMPARE(ConfigBytes(), before);
    QCOMPARE(AppSettings().newThreadColor, newColour);
  }

  // "OK" writes every key, keeps the hidden DebugLog, and reads the file back into the settings.
  void okWritesTheFileAndReloads() {
    TSettingForm form(nullptr, 10, 10);
    test::PresetDialogs dialogs;
    dialogs.fontSizes.push_back(12);
    dialogs.colours.push_back(QColor(0x11, 0x22, 0x33));
    form.bbsMenuFontButton->click();
    QCOMPARE(form.bbsMenuFontButton->text(), QString("12"));
    form.colorPastButton->click();
    QCOMPARE(dialogs.asked, (QStringList{"font||", "colour||"}));
    form.newTabCheckBox->setChecked(true);
    form.cache1CB->setChecked(true);
    form.cacheserver1Edit->setText("");
    form.tabStyleButtons->button(1)->setChecked(true);
    QVERIFY(form.restoreSessionCheckBox->isChecked());
    form.restoreSessionCheckBox->setChecked(false);
    QCOMPARE(form.autoReloadLabel->text(), QString::fromUtf8("自動更新の間隔（秒）"));
    QCOMPARE(form.autoReloadSpinEdit->value(), 30);
    form.autoReloadSpinEdit->setValue(5);
    QCOMPARE(form.autoReloadSpinEdit->value(), 10);
    form.autoReloadSpinEdit->setValue(45);
    form.okButton->click();
    QCOMPARE(form.result(), int(QDialog::Accepted));

    std::string bytes = ConfigBytes();
    for (const char* line :
         {"[Kodawari]\r\nDebugLog=1\r\nTabStyle=1\r\nBrowserApp=/usr/bin/firefox\r\n"
          "SubjectGzip=1\r\nNewTabOpen=1\r\nTabMultiLine=0\r\n",
          "RestoreSession=0\r\n", "AutoReloadInterval=45\r\n", "BoardFontSize=12\r\n",
          "ThreadFontSize=10\r\n", "NewThreadColor=255\r\n", "PastThreadColor=3351057\r\n",
          "[CacheServer]\r\nEnable=1\r\nMatch=abc\r\nHost=\r\n"}) {
      QVERIFY2(bytes.find(line) != std::string::npos,
               (line + std::string(" in\n") + bytes).c_str());
    }
    // The page font size was left at its default: the file does not get the key.
    QVERIFY(bytes.find("PageFontSize") == std::string::npos);
    QCOMPARE(form.Display().boardFontSize, 12);
    QCOMPARE(form.Display().tabStyle, 1);
    QVERIFY(AppSettings().newTabOpen);
    QVERIFY(!AppSettings().restoreSession);
    AppSettings().restoreSession = true;
    QVERIFY(AppSettings().debugLog);
    QVERIFY(AppSettings().cacheServerEnable);
    QCOMPARE(AppSettings().cacheServerHost, std::string());
    QCOMPARE(AppSettings().pastThreadColor, Colour(0x332211));
    QCOMPARE(AppSettings().autoReloadInterval, 45);
  }

 private:
  test::TempDataDir dir_;
  SettingsDialogValues stored_;
};

QTEST_MAIN(TSettingFormTest)
#include "TSettingFormTest.moc"
