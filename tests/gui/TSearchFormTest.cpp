#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include "PresetDialogs.h"
#include "app/DataDir.h"
#include "boards/BoardCatalog.h"
#include "search/RegexEngine.h"
#include "search/ui/TSearchForm.h"
#include "subjects/SubjectList.h"
#include "support/RecordingUiHooks.h"
#include "support/TempDataDir.h"

using namespace velkor;
using test::S;

namespace {

std::string Section(const std::string& dat, const std::string& titleUtf8) {
  return "[" + dat + "]\r\nNowNo=1\r\nTitle=" + S(titleUtf8) + "\r\nGotCount=1\r\n\r\n";
}

QStringList Titles(const SubjectList& list) {
  QStringList titles;
  for (std::size_t row = 0; row < list.RowCount(); ++row) {
    titles << QString::fromStdString(list.CellTexts(row)[3]);
  }
  return titles;
}

}  // namespace

class TSearchFormTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    dir_.WriteFile("ini/subscrib.ini",
                   S("[News]\r\nBoard A=http://host1/a/\r\n\r\n[Misc]\r\nBoard C=http://host1/c/"
                     "\r\n\r\n"));
    dir_.WriteFile("log/host1/a/subject.ini", Section("100.dat", "Velkor release") +
                                                  Section("101.dat", "weather") +
                                                  Section("102.dat", "VELKOR bugs"));
    dir_.WriteFile("log/host1/a/100.dat", "one\ntwo\nthree\nfour\nvelkor five\nvelkor six\n");
    dir_.WriteFile("log/host1/a/101.dat", "nothing here\n");
    dir_.WriteFile("log/host1/c/subject.ini", Section("300.dat", "other"));
    dir_.WriteFile("log/host1/c/300.dat", "velkor\n");
    OpenCatalogs();
  }

  void preparedDialogShowsTheEngineAndEnablesItsInputs() {
    TSearchForm form(nullptr);
    QCOMPARE(form.windowTitle(), QString::fromUtf8("検索"));
    form.Prepare(nullptr, {});
    const QString version = form.findChild<QLabel*>("copyrightLabel")->text();
    QVERIFY(version.startsWith("Oniguruma"));
    QCOMPARE(version.count("Oniguruma"), 1);
    QCOMPARE(form.searchTypeButtons->checkedId(), 0);
    QCOMPARE(form.searchTypeButtons->button(3)->text(),
             QString::fromUtf8("全ての購読板の既得ログから検索"));
    for (const char* name :
         {"startButton", "keyEdit", "nocaseCheckBox", "dialogButton", "searchTypeRadioGroup"}) {
      QVERIFY2(form.findChild<QWidget*>(name)->isEnabled(), name);
    }
    QCOMPARE(form.findChild<QProgressBar*>("ProgressBar")->value(), 0);
  }

  // The captions of the dialog and the four scopes of "範囲", in order.
  void captionsAndScopes() {
    TSearchForm form(nullptr);
    QCOMPARE(form.keyLabel->text(), QString::fromUtf8("検索ワード"));
    QCOMPARE(form.nocaseCheckBox->text(), QString::fromUtf8("大文字小文字を区別する"));
    QCOMPARE(form.dialogButton->text(), QString::fromUtf8("あいまい検索設定..."));
    QCOMPARE(form.copyrightLabel->text(), QString::fromUtf8("HmJre.dllのバージョン"));
    QCOMPARE(form.searchTypeRadioGroup->title(), QString::fromUtf8("範囲"));
    QCOMPARE(form.startButton->text(), QString::fromUtf8("検索"));
    QVERIFY(form.startButton->isDefault());
    QCOMPARE(form.cancelButton->text(), QString::fromUtf8("キャンセル"));
    QStringList scopes;
    for (QAbstractButton* button : form.searchTypeButtons->buttons()) {
      scopes << QString::number(form.searchTypeButtons->id(button)) + " " + button->text();
    }
    QCOMPARE(scopes, QStringList({QString::fromUtf8("0 表示中のスレッド一覧からタイトル検索"),
                                  QString::fromUtf8("1 一覧を表示している板の既得ログから検索"),
                                  QString::fromUtf8("2 全ての購読板からスレッドタイトル検索"),
                                  QString::fromUtf8("3 全ての購読板の既得ログから検索")}));
  }

  void scope0FiltersTheShownList_data() {
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("caseCounts");
    QTest::addColumn<QStringList>("titles");
    QTest::newRow("case ignored") << "velkor" << false
                                  << QStringList({"Velkor release", "VELKOR bugs"});
    QTest::newRow("case counts") << "VELKOR" << true << QStringList({"VELKOR bugs"});
    QTest::newRow("no hit") << "nothing" << false << QStringList();
  }
  void scope0FiltersTheShownList() {
    QFETCH(QString, word);
    QFETCH(bool, caseCounts);
    QFETCH(QStringList, titles);
    SubjectList list;
    QVERIFY(list.Bind(dir_.Path() + "/log/host1/a/subject.ini"));
    list.Fill(0xFF);
    QCOMPARE(list.RowCount(), std::size_t(3));
    int changes = 0;
    TSearchForm form(nullptr);
    form.Prepare(&list, [&changes] { ++changes; });
    form.keyEdit->setText(word);
    form.nocaseCheckBox->setChecked(caseCounts);
    form.startButton->click();
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(changes, 1);
    QCOMPARE(Titles(list), titles);
  }

  // Enter in the search box starts the search too.
  void enterStartsTheSearch() {
    SubjectList list;
    QVERIFY(list.Bind(dir_.Path() + "/log/host1/a/subject.ini"));
    list.Fill(0xFF);
    TSearchForm form(nullptr);
    form.Prepare(&list, {});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::keyClicks(form.keyEdit, "weather");
    QTest::keyClick(form.keyEdit, Qt::Key_Return);
    QCOMPARE(Titles(list), QStringList({"weather"}));
    QVERIFY(!form.isVisible());
  }

  void scope3ShowsAPageOfFirstMatchingLines() {
    test::RecordingUiHooks ui;
    TSearchForm form(nullptr);
    form.Prepare(nullptr, {});
    form.keyEdit->setText("velkor");
    form.searchTypeButtons->button(3)->setChecked(true);
    form.startButton->click();
    QCOMPARE(ui.pages.size(), std::size_t(1));
    QCOMPARE(ui.pages[0].title, S("検索結果"));
    const std::string& html = ui.pages[0].html;
    QVERIFY(html.find("\"velkor\" " + S("を含むログ<br>")) != std::string::npos);
    QVERIFY(
        html.find("<dd><a href=\"http://host1/test/read.cgi/a/100/5\">Velkor release</a><br>") !=
        std::string::npos);
    QVERIFY(html.find("http://host1/test/read.cgi/c/300/1\">other</a>") != std::string::npos);
    QCOMPARE(form.result(), int(QDialog::Accepted));
  }

  // Closing the dialog during a walk over every favourite stops it at the next progress step; the
  // page holds what was found so far.
  void cancelStopsTheWalk() {
    test::RecordingUiHooks ui;
    TSearchForm form(nullptr);
    form.Prepare(nullptr, {});
    form.keyEdit->setText("velkor");
    form.searchTypeButtons->button(3)->setChecked(true);
    // Below its minimum the bar reports the first step (position 0) as a change.
    form.ProgressBar->reset();
    connect(form.ProgressBar, &QProgressBar::valueChanged, &form,
            [&form] { form.cancelButton->click(); });
    form.startButton->click();
    QCOMPARE(ui.pages.size(), std::size_t(1));
    QVERIFY(ui.pages[0].html.find("read.cgi/a/100/5") != std::string::npos);
    QVERIFY(ui.pages[0].html.find("read.cgi/c/") == std::string::npos);
    QCOMPARE(form.result(), int(QDialog::Rejected));
  }

  // A word the engine rejects is reported and the dialog stays ready for another one.
  void badWordKeepsTheDialogOpen() {
    test::PresetDialogs dialogs;
    SubjectList list;
    QVERIFY(list.Bind(dir_.Path() + "/log/host1/a/subject.ini"));
    list.Fill(0xFF);
    int changes = 0;
    TSearchForm form(nullptr);
    form.Prepare(&list, [&changes] { ++changes; });
    form.open();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.keyEdit->setText("velkor(");
    form.startButton->click();
    QCOMPARE(dialogs.asked,
             QStringList("message|" + QString::fromUtf8("検索") + "|" +
                         QString::fromUtf8("（・３・）アルェー　検索ワードがおかしいＹＯ")));
    QCOMPARE(changes, 0);
    QCOMPARE(list.RowCount(), std::size_t(3));
    QVERIFY(form.isVisible());
    QVERIFY(form.startButton->isEnabled());
    QVERIFY(form.keyEdit->isEnabled());
  }

  // The option dialog's width folding lets a full-width word find a half-width title.
  void widthFoldingOption() {
    SubjectList list;
    QVERIFY(list.Bind(dir_.Path() + "/log/host1/a/subject.ini"));
    list.Fill(0xFF);
    TSearchForm form(nullptr);
    form.Prepare(&list, {});
    test::PresetDialogs dialogs;
    dialogs.windows.push_back([](QDialog& options) {
      options.findChild<QCheckBox*>("foldWidthCheckBox")->setChecked(true);
      options.accept();
    });
    form.dialogButton->click();
    QCOMPARE(dialogs.asked, QStringList{"window||FuzzyOptionDialog"});
    form.keyEdit->setText(QString::fromUtf8("ｗｅａｔｈｅｒ"));
    form.startButton->click();
    QCOMPARE(Titles(list), QStringList({"weather"}));
  }

  // Scope 1 on a board that is no favourite shows nothing.
  void scope1OnABoardThatIsNoFavourite() {
    test::RecordingUiHooks ui;
    dir_.WriteFile("log/host9/z/subject.ini", Section("1.dat", "velkor"));
    dir_.WriteFile("log/host9/z/1.dat", "velkor\n");
    SubjectList list;
    QVERIFY(list.Bind(dir_.Path() + "/log/host9/z/subject.ini"));
    list.Fill(0xFF);
    TSearchForm form(nullptr);
    form.Prepare(&list, {});
    form.keyEdit->setText("velkor");
    form.searchTypeButtons->button(1)->setChecked(true);
    form.startButton->click();
    QVERIFY(ui.pages.empty());
    QCOMPARE(form.result(), int(QDialog::Accepted));
  }

 private:
  test::TempDataDir dir_;
};

QTEST_MAIN(TSearchFormTest)
#include "TSearchFormTest.moc"
