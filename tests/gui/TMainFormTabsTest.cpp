// The main window's thread-view tabs: pages shown in new tabs, the tab strip's mouse buttons and
// the tab menu.

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "app/DataDir.h"
#include "app/Settings.h"
#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "boards/ui/BoardTreeWidget.h"
#include "mainwindow/TMainForm.h"
#include "net/ConnectOverrides.h"
#include "threads/ui/ThreadTab.h"
#include "threads/ui/ThreadTabList.h"
#include "threads/ui/ThreadTabStrip.h"
#include "threads/ui/ThreadView.h"

using namespace velkor;

class TMainFormTabsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(dataDir_.isValid());
    InitDataDir(dataDir_.path().toStdString());
    QVERIFY(ReplaceFile(IniDir() + "/subscrib.ini",
                        Sjis("[趣味]\r\n釣り=http://hobby.test/fish/\r\n\r\n")));
  }

  // Pages open in new tabs and restore the shared arrangement; "about..." shows the about page.
  void pagesOpenInNewTabs() {
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* tabs = form.findChild<QTabWidget*>("tabPageControl");
    QVERIFY(form.IsSubjectExpanded());
    form.ShowHtmlPage("<html><body>one</body></html>", Sjis("一"));
    QVERIFY(!form.IsSubjectExpanded());
    form.findChild<QAction*>("optionAboutMI")->trigger();
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(0), QString::fromUtf8("一"));
    QCOMPARE(tabs->tabText(1), QString("about"));
  }

  // The middle button closes the tab under the pointer without activating it; a right click
  // activates it and opens the tab menu, whose history shows only a disabled "1" for a page.
  void tabStripMouse() {
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* tabs = form.findChild<QTabWidget*>("tabPageControl");
    form.ShowHtmlPage("<html><body>a</body></html>", "a");
    form.ShowHtmlPage("<html><body>b</body></html>", "b");
    form.ShowHtmlPage("<html><body>c</body></html>", "c");
    tabs->setCurrentIndex(2);
    QTabBar* bar = tabs->tabBar();
    QTest::mouseClick(bar, Qt::MiddleButton, {}, bar->tabRect(0).center());
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(tabs->currentIndex()), QString("c"));

    auto* menu = form.findChild<QMenu*>("tabPM");
    bool shown = false;
    QTimer::singleShot(200, [&] {
      shown = menu->isVisible();
      menu->close();
    });
    QTest::mouseClick(bar, Qt::RightButton, {}, bar->tabRect(0).center());
    QVERIFY(shown);
    QCOMPARE(tabs->tabText(tabs->currentIndex()), QString("b"));
    auto* history = form.findChild<QMenu*>("tabHistoryMI");
    QVERIFY(!history->isEnabled());
    QVERIFY(form.findChild<QAction*>("tabHistory1MI")->isVisible());
    QVERIFY(!form.findChild<QAction*>("tabHistory2MI")->isVisible());

    form.findChild<QAction*>("tabCloseOtherMI")->trigger();
    QCOMPARE(tabs->count(), 1);
    form.findChild<QAction*>("tabCloseMI")->trigger();
    QCOMPARE(tabs->count(), 0);
    form.findChild<QAction*>("tabCloseMI")->trigger();
    QCOMPARE(tabs->count(), 0);
  }

  // The keyboard focus the tab strip gets (Qt hands it to the tab bar) goes on to the active page.
  void tabStripFocusGoesToThePage() {
    TMainForm form;
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    auto* tabs = form.findChild<QTabWidget*>("tabPageControl");
    form.ShowHtmlPage("<html><body>a</body></html>", "a");
    QWidget* page = tabs->currentWidget();
    auto* other = form.findChild<QWidget*>("subjectShowTypeCB");
    other->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), other);
    tabs->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(page->isAncestorOf(QApplication::focusWidget()));
  }

  // Multi-line tabs wrap into rows of buttons over the pages, which act as the tabs do; in one line
  // the tab bar is back, drawn as buttons for the button styles.
  void multiLineTabsWrapIntoRows() {
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* tabs = form.findChild<QTabWidget*>("tabPageControl");
    auto* strip = form.findChild<ThreadTabStrip*>("tabStrip");
    QVERIFY(strip != nullptr);
    QVERIFY(!strip->isVisible());
    DisplaySettings display;
    display.tabMultiLine = true;
    display.tabStyle = 1;
    form.ApplyDisplaySettings(display);
    for (int i = 0; i < 12; ++i) {
      form.ShowHtmlPage("<html></html>", Sjis("とても長いタイトルのスレッド") + std::to_string(i));
    }
    QVERIFY(strip->isVisible());
    QVERIFY(!tabs->tabBar()->isVisible());
    QCOMPARE(strip->ButtonCount(), 12);
    QCOMPARE(strip->ButtonAt(3)->text(), QString::fromUtf8("とても長いタイトルのスレッド3"));
    QTRY_VERIFY(strip->ButtonAt(11)->y() > strip->ButtonAt(0)->y());
    QTRY_VERIFY(strip->ButtonAt(11)->geometry().bottom() < strip->height());
    for (int i = 0; i < 12; ++i) {
      QVERIFY(strip->ButtonAt(i)->geometry().right() < strip->width());
      QVERIFY(strip->ButtonAt(i)->geometry().bottom() < strip->height());
      QCOMPARE(strip->ButtonAt(i)->isChecked(), i == 11);
    }
    QVERIFY(!strip->ButtonAt(0)->autoRaise());

    QTest::mouseClick(strip->ButtonAt(2), Qt::LeftButton);
    QCOMPARE(tabs->currentIndex(), 2);
    QVERIFY(strip->ButtonAt(2)->isChecked());
    QTest::mouseClick(strip->ButtonAt(0), Qt::MiddleButton);
    QCOMPARE(tabs->count(), 11);
    QCOMPARE(strip->ButtonCount(), 11);
    QCOMPARE(strip->ButtonAt(0)->text(), QString::fromUtf8("とても長いタイトルのスレッド1"));

    display.tabStyle = 2;
    form.ApplyDisplaySettings(display);
    QVERIFY(strip->ButtonAt(0)->autoRaise());
    display.tabMultiLine = false;
    form.ApplyDisplaySettings(display);
    QVERIFY(!strip->isVisible());
    QVERIFY(tabs->tabBar()->isVisible());
    QVERIFY(tabs->tabBar()->styleSheet().contains("QTabBar::tab:selected"));
    display.tabStyle = 0;
    form.ApplyDisplaySettings(display);
    QVERIFY(tabs->tabBar()->styleSheet().isEmpty());
  }

  // The shown board and the thread tabs come back at the next start, each tab at the reply the
  // reader was at; a tab whose log is gone is skipped, and the setting can turn it all off.
  void sessionComesBackAtTheNextStart() {
    QVERIFY(AddConnectOverrides({"hobby.test=127.0.0.1:1"}).IsOk());
    const std::string fish = LogDir() + "/hobby.test/fish/";
    QVERIFY(MakeDirectories(LogDir() + "/hobby.test/fish"));
    std::string log;
    for (int k = 1; k <= 120; ++k) log += "n<><>d<>reply " + std::to_string(k) + "<br>x<br>x<>t\n";
    for (const char* dat : {"1000000001.dat", "1000000002.dat", "1000000003.dat"}) {
      QVERIFY(ReplaceFile(fish + dat, log));
    }
    QVERIFY(ReplaceFile(fish + "subject.ini",
                        "[1000000001.dat]\r\nNowNo=1\r\nTitle=one\r\nGotCount=120\r\n\r\n"
                        "[1000000002.dat]\r\nNowNo=2\r\nTitle=two\r\nGotCount=120\r\n\r\n"));
    {
      TMainForm form;
      form.show();
      QVERIFY(QTest::qWaitForWindowExposed(&form));
      auto* tree = form.findChild<BoardTreeWidget*>("subscribeTreeView");
      tree->setCurrentItem(tree->FindBoardNode(Sjis("趣味"), Sjis("釣り")));
      form.SetSubjectExpanded(false);
      ThreadTabs().OpenThread(fish, "1000000001.dat", "midoku", 1, TabChoice::kNewTab, "one");
      ThreadTabs().OpenThread(fish, "1000000003.dat", "midoku", 1, TabChoice::kNewTab, "gone");
      ThreadTabs().OpenThread(fish, "1000000002.dat", "midoku", 1, TabChoice::kNewTab, "two");
      ThreadTab* two = ThreadTabs().ActiveTab();
      QTRY_VERIFY(!two->View()->IsLoading());
      two->JumpTo("a80");
      QTRY_COMPARE(two->View()->Place().reply, 80);
    }
    QVERIFY(RemoveFile(fish + "1000000003.dat"));
    {
      TMainForm form;
      form.show();
      QVERIFY(QTest::qWaitForWindowExposed(&form));
      form.RestoreSession();
      QCOMPARE(form.findChild<QLabel*>("BBSNameLabel")->text(), QString::fromUtf8("趣味：釣り"));
      QCOMPARE(form.Subjects().RowCount(), std::size_t{2});
      auto* tabs = form.findChild<QTabWidget*>("tabPageControl");
      QCOMPARE(tabs->count(), 2);
      QCOMPARE(tabs->tabText(0), QString("one"));
      QCOMPARE(tabs->tabText(1), QString("two"));
      QCOMPARE(tabs->currentIndex(), 1);
      ThreadTab* two = ThreadTabs().ActiveTab();
      QTRY_VERIFY(!two->View()->IsLoading());
      QTRY_COMPARE(two->View()->Place().reply, 80);
    }
    {
      TMainForm form;
      AppSettings().restoreSession = false;
      form.RestoreSession();
      AppSettings().restoreSession = true;
      QCOMPARE(form.findChild<QTabWidget*>("tabPageControl")->count(), 0);
    }
    ClearConnectOverrides();
  }

 private:
  QTemporaryDir dataDir_;
};

QTEST_MAIN(TMainFormTabsTest)
#include "TMainFormTabsTest.moc"
