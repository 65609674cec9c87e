#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

#include "PresetDialogs.h"
#include "app/AppConfig.h"
#include "app/DataDir.h"
#include "base/IniDocument.h"
#include "base/Sjis.h"
#include "boards/BoardCatalog.h"
#include "boards/ui/TUpdateMenuForm.h"
#include "mainwindow/RunBoardMenuUpdate.h"
#include "support/NginxFixture.h"
#include "support/RecordingUiHooks.h"
#include "support/TempDataDir.h"

using namespace velkor;
using test::S;

namespace {

std::string Menu(const char* newsHost) {
  return S(std::string("<HTML><BODY><BR><B>ニュース</B><BR>\r\n<A HREF=http://") + newsHost +
           "/newsplus/>ニュース速報+</A><br>\r\n</BODY></HTML>\r\n");
}

QStringList ComboItems(const QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  return items;
}

std::string HistoryKey(const char* key) {
  IniDocument file;
  file.Load(IniDir() + "/config.ini");
  return file.ReadString("BBSMenuURL", key, "<none>");
}

}  // namespace

class TUpdateMenuFormTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY2(nginx_.IsRunning(), nginx_.ErrorLog().c_str());
    nginx_.WriteFile("bbsmenu.html", Menu("asahi.5ch.io"));
    nginx_.Route("menu.test");
    dir_.WriteFile("ini/config.ini",
                   "[BBSMenuURL]\r\nHistory1=http://menu.test/bbsmenu.html\r\n"
                   "History2=http://old.test/a.html\r\nHistory3=\r\n"
                   "History4=http://old.test/b.html\r\n\r\n");
    Config().Open(IniDir() + "/config.ini");
    OpenCatalogs();
  }

  void showsTheHistoryAndTheInitialStates() {
    TUpdateMenuForm form(nullptr);
    QCOMPARE(form.windowTitle(), QString::fromUtf8("ボード一覧更新"));
    auto* combo = form.findChild<QComboBox*>("bbsMenuComboBox");
    QVERIFY(combo != nullptr && combo->isEditable());
    QCOMPARE(ComboItems(combo), QStringList({"http://menu.test/bbsmenu.html",
                                             "http://old.test/a.html", "http://old.test/b.html"}));
    QCOMPARE(combo->currentIndex(), 0);
    QVERIFY(!form.findChild<QCheckBox*>("rebuildCheckBox")->isChecked());
    QVERIFY(!form.findChild<QPushButton*>("abortButton")->isEnabled());
    QCOMPARE(form.findChild<QPushButton*>("localButton")->text(),
             QString::fromUtf8("ローカルファイル..."));
    QCOMPARE(form.findChild<QProgressBar*>("ProgressBar")->value(), 0);
  }

  void captions() {
    TUpdateMenuForm form(nullptr);
    QCOMPARE(form.rebuildCheckBox->text(), QString::fromUtf8("再構築する"));
    QCOMPARE(form.updateButton->text(), QString::fromUtf8("更新"));
    QCOMPARE(form.abortButton->text(), QString::fromUtf8("中止"));
    QCOMPARE(form.closeButton->text(), QString::fromUtf8("閉じる"));
    QCOMPARE(form.ProgressBar->maximum(), 100);
    QVERIFY(form.StatusBar->currentMessage().isEmpty());
    for (QWidget* enabled :
         {static_cast<QWidget*>(form.bbsMenuComboBox), static_cast<QWidget*>(form.localButton),
          static_cast<QWidget*>(form.rebuildCheckBox), static_cast<QWidget*>(form.updateButton),
          static_cast<QWidget*>(form.closeButton)}) {
      QVERIFY2(enabled->isEnabled(), qPrintable(enabled->objectName()));
    }
  }

  // A text other than the first history entry checks "再構築する"; the first entry clears it.
  void anotherUrlChecksRebuild() {
    TUpdateMenuForm form(nullptr);
    form.bbsMenuComboBox->setEditText("http://new.test/bbsmenu.html");
    QVERIFY(form.rebuildCheckBox->isChecked());
    form.bbsMenuComboBox->setCurrentIndex(1);
    QVERIFY(form.rebuildCheckBox->isChecked());
    form.bbsMenuComboBox->setCurrentIndex(0);
    QVERIFY(!form.rebuildCheckBox->isChecked());
  }

  // The first download applies the page; the second one from the same URL is conditional and
  // reports that nothing changed.
  void secondUpdateIsNotModified() {
    test::RecordingUiHooks ui;
    {
      TUpdateMenuForm form(nullptr);
      form.updateButton->click();
      QCOMPARE(form.result(), int(QDialog::Accepted));
      QVERIFY(ui.messages.empty());
      QVERIFY(!form.StatusBar->currentMessage().isEmpty());
      QVERIFY(form.updateButton->isEnabled());
    }
    QCOMPARE(dir_.ReadFile("ini/board.ini"),
             S("[ニュース]\r\nニュース速報+=http://asahi.5ch.io/newsplus/\r\n\r\n"));
    QCOMPARE(HistoryKey("Timestamp"),
             test::NginxFixture::LastModifiedText(test::NginxFixture::kFixedTime));

    TUpdateMenuForm form(nullptr);
    QVERIFY(form.RunUpdate(false).Code() == MenuUpdateCode::kNotModified);
    QCOMPARE(ui.messages.size(), std::size_t(1));
    QCOMPARE(ui.messages[0].icon, MessageIcon::kInformation);
    QCOMPARE(ui.messages[0].caption, S("ボード一覧更新"));
    QCOMPARE(ui.messages[0].text, S("更新されていません。"));
  }

  void progressShowsTheReceivedShare() {
    TUpdateMenuForm form(nullptr);
    form.ShowProgress(50, 200);
    QCOMPARE(form.ProgressBar->maximum(), 200);
    QCOMPARE(form.ProgressBar->value(), 50);
    form.ShowProgress(700, -1);
    QCOMPARE(form.ProgressBar->maximum(), 0);
    form.ShowStatusText(S("接続しました"));
    QCOMPARE(form.StatusBar->currentMessage(), QString::fromUtf8("接続しました"));
  }

  // A typed URL heads the history afterwards, in the file and in the combo box; History4 kept its
  // old value when three entries were written before.
  void usedUrlHeadsTheHistory() {
    test::RecordingUiHooks ui;
    nginx_.Route("second.test");
    nginx_.WriteFile("menu2.html", Menu("ai.5ch.io"));
    TUpdateMenuForm form(nullptr);
    form.bbsMenuComboBox->setEditText("http://second.test/menu2.html");
    QVERIFY(form.RunUpdate(true).IsOk());
    QVERIFY(ui.messages.empty());
    QCOMPARE(ComboItems(form.bbsMenuComboBox),
             QStringList({"http://second.test/menu2.html", "http://menu.test/bbsmenu.html",
                          "http://old.test/a.html", "http://old.test/b.html",
                          "http://old.test/b.html"}));
    QVERIFY(!form.rebuildCheckBox->isChecked());
    QCOMPARE(HistoryKey("History1"), std::string("http://second.test/menu2.html"));
    QCOMPARE(HistoryKey("History5"), std::string("http://old.test/b.html"));
    QCOMPARE(BoardList().BoardUrl(S("ニュース"), S("ニュース速報+")),
             std::string("http://ai.5ch.io/newsplus/"));
  }

  // Aborting during the download leaves the board list as it was and shows the failure.
  void abortDuringTheDownload() {
    test::RecordingUiHooks ui;
    std::string before = dir_.ReadFile("ini/board.ini");
    nginx_.WriteFile("menu2.html", Menu("egg.5ch.io"));
    TUpdateMenuForm form(nullptr);
    form.rebuildCheckBox->setChecked(true);
    connect(form.StatusBar, &QStatusBar::messageChanged, &form, [&form] {
      if (form.abortButton->isEnabled()) form.abortButton->click();
    });
    form.updateButton->click();
    QCOMPARE(dir_.ReadFile("ini/board.ini"), before);
    QCOMPARE(ui.messages.size(), std::size_t(1));
    QCOMPARE(ui.messages[0].text, S("ボード一覧の取得に失敗。"));
  }

  // "ローカルファイル..." offers saved pages of either extension case; the picked file is applied,
  // the moved favourite shown on the report and the dialog closes, leaving the history alone.
  void localFileIsApplied() {
    test::RecordingUiHooks ui;
    if (!Favorites().Contains(S("ニュース"), S("ニュース速報+"))) {
      QVERIFY(Favorites()
                  .AddBoard(S("ニュース"), S("ニュース速報+"),
                            BoardList().BoardUrl(S("ニュース"), S("ニュース速報+")))
                  .IsOk());
    }
    dir_.WriteFile("saved/MENU.HTML", Menu("local.5ch.io"));
    const std::string historyBefore = HistoryKey("History1");
    TUpdateMenuForm form(nullptr);
    test::PresetDialogs dialogs;
    dialogs.files.push_back(QString::fromStdString(dir_.Path() + "/saved/MENU.HTML"));
    form.localButton->click();
    QCOMPARE(dialogs.asked,
             QStringList{QString::fromUtf8(
                 "file|ボード一覧HTML|HTML files (*.HTM *.HTML *.htm *.html);;All files (*)")});
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(BoardList().BoardUrl(S("ニュース"), S("ニュース速報+")),
             std::string("http://local.5ch.io/newsplus/"));
    QCOMPARE(HistoryKey("History1"), historyBefore);
    QVERIFY(ui.messages.empty());
    QCOMPARE(ui.pages.size(), std::size_t(1));
    QCOMPARE(ui.pages[0].title, S("更新詳細"));
    QVERIFY(ui.pages[0].html.find(S("→http://local.5ch.io/newsplus/<br>")) != std::string::npos);
  }

  // The interactive path shows the dialog modally; closing it changes nothing.
  void interactiveRunShowsTheDialog() {
    test::RecordingUiHooks ui;
    std::string before = dir_.ReadFile("ini/board.ini");
    QString shown;
    test::PresetDialogs dialogs;
    dialogs.windows.push_back([&shown](QDialog& dialog) {
      shown = dialog.windowTitle();
      static_cast<TUpdateMenuForm&>(dialog).closeButton->click();
    });
    RunBoardMenuUpdate(nullptr, false, true);
    QCOMPARE(dialogs.asked, QStringList{"window||UpdateMenuForm"});
    QCOMPARE(shown, QString::fromUtf8("ボード一覧更新"));
    QCOMPARE(dir_.ReadFile("ini/board.ini"), before);
    QVERIFY(ui.messages.empty());
  }

  // The silent path updates from the first history entry without any window or message, even when
  // the download fails.
  void silentRunShowsNothing() {
    test::RecordingUiHooks ui;
    nginx_.WriteFile("menu2.html", Menu("mi.5ch.io"));
    RunBoardMenuUpdate(nullptr, true, false);
    QCOMPARE(BoardList().BoardUrl(S("ニュース"), S("ニュース速報+")),
             std::string("http://mi.5ch.io/newsplus/"));
    QFile::remove(QString::fromStdString(nginx_.DocumentRoot() + "/menu2.html"));
    RunBoardMenuUpdate(nullptr, true, false);
    QVERIFY(ui.messages.empty());
    QCOMPARE(BoardList().BoardUrl(S("ニュース"), S("ニュース速報+")),
             std::string("http://mi.5ch.io/newsplus/"));
  }

 private:
  test::TempDataDir dir_;
  test::NginxFixture nginx_;
};

QTEST_MAIN(TUpdateMenuFormTest)
#include "TUpdateMenuFormTest.moc"
