#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "PresetDialogs.h"
#include "app/AppConfig.h"
#include "app/DataDir.h"
#include "base/FileUtil.h"
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
    QCOMPARE(form.findChild<QPushButton*>("bbsMenuFontButton")->text(), QString("11"));
    QCOMPARE(form.findChild<QPushButton*>("threadFontButton")->text(), QString("13"));
    QCOMPARE(form.findChild<QLineEdit*>("browserEdit")->text(), QString("/usr/bin/firefox"));
    QVERIFY(form.tabStyleButtons->button(2)->isChecked());
    QCOMPARE(form.findChild<QLabel*>("threadNewLabel")->palette().color(QPalette::Window),
             QColor(255, 0, 0));
    QVERIFY(form.findChild<QCheckBox*>("debugLogCheckBox")->isHidden());
    QVERIFY(form.findChild<QPushButton*>("defaultBrowserButton")->isHidden());
  }

  // Every control carries its name and caption; the colour buttons carry the tag of their sample.
  void controlsHaveTheirCaptionsAndTags_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("tag");
    const struct {
      const char* name;
      const char* caption;
      int tag;
    } rows[] = {
        {"threadGroupBox", "スレッドタブ", -1},
        {"newTabCheckBox", "スレッドは常に新しいタブで開く", -1},
        {"tabMultiLineCheckBox", "タブは複数行表示が好み", -1},
        {"tabStyleRadioGroup", "タブのスタイル", -1},
        {"browserLabel", "外部ブラウザ", -1},
        {"browserButton", "参照...", -1},
        {"defaultBrowserButton", "標準", -1},
        {"bbsMenuGroupBox", "ボード一覧", -1},
        {"bbsMenuFontLabel", "文字の大きさ", -1},
        {"subscribeLabel", "お気に入り", -1},
        {"colorSubscribeButton", "背景色...", 0},
        {"subjectGroupBox", "スレッド一覧", -1},
        {"subjectFontLabel", "文字の大きさ", -1},
        {"threadNewLabel", "新規スレッド", -1},
        {"coloNewThreadButton", "背景色...", 1},
        {"threadUnreadLabel", "未読有り", -1},
        {"colorUnreadButton", "背景色...", 2},
        {"threadLogExistLabel", "取得ログ有", -1},
        {"colorLogExistButton", "背景色...", 3},
        {"threadNologLabel", "取得ログ無", -1},
        {"colorNologButton", "背景色...", 4},
        {"thread1000OverLabel", "1000レス超え", -1},
        {"colorOver1000Button", "背景色...", 5},
        {"threadPastLabel", "dat落ち", -1},
        {"colorPastButton", "背景色...", 6},
        {"subjectGzipCheckBox", "subject.txtをgzipで取得", -1},
        {"debugLogCheckBox", "通信の詳細ログを取る", -1},
        {"GroupBox3", "キャッシュサーバ", -1},
        {"cache1CB", "", -1},
        {"cache1Label", "をホスト名に含む→", -1},
        {"okButton", "OK", -1},
        {"cancelButton", "キャンセル", -1},
    };
    for (const auto& row : rows) {
      QTest::newRow(row.name) << QString::fromLatin1(row.name) << QString::fromUtf8(row.caption)
                              << row.tag;
    }
  }

  void controlsHaveTheirCaptionsAndTags() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(int, tag);
    TSettingForm form(nullptr, 10, 10);
    const QObject* control = form.findChild<QObject*>(name);
    QVERIFY(control != nullptr);
    QCOMPARE(CaptionOf(control), caption);
    if (tag >= 0) QCOMPARE(control->property("tag").toInt(), tag);
  }

  void tabStyleItems() {
    TSettingForm form(nullptr, 10, 10);
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
    form.cancelButton->click();
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
    form.okButton->click();
    QCOMPARE(form.result(), int(QDialog::Accepted));

    std::string bytes = ConfigBytes();
    for (const char* line :
         {"[Kodawari]\r\nDebugLog=1\r\nTabStyle=1\r\nBrowserApp=/usr/bin/firefox\r\n"
          "SubjectGzip=1\r\nNewTabOpen=1\r\nTabMultiLine=0\r\n",
          "BoardFontSize=12\r\n", "ThreadFontSize=10\r\n", "NewThreadColor=255\r\n",
          "PastThreadColor=3351057\r\n", "[CacheServer]\r\nEnable=1\r\nMatch=abc\r\nHost=\r\n"}) {
      QVERIFY2(bytes.find(line) != std::string::npos,
               (line + std::string(" in\n") + bytes).c_str());
    }
    QCOMPARE(form.Display().boardFontSize, 12);
    QCOMPARE(form.Display().tabStyle, 1);
    QVERIFY(AppSettings().newTabOpen);
    QVERIFY(AppSettings().debugLog);
    QVERIFY(AppSettings().cacheServerEnable);
    QCOMPARE(AppSettings().cacheServerHost, std::string());
    QCOMPARE(AppSettings().pastThreadColor, Colour(0x332211));
  }

 private:
  test::TempDataDir dir_;
};

QTEST_MAIN(TSettingFormTest)
#include "TSettingFormTest.moc"
