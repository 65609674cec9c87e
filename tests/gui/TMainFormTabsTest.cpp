// The main window's thread-view tabs: pages shown in new tabs, the tab strip's mouse buttons and
// the tab menu.

#include <QAction>
#include <QMenu>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "app/DataDir.h"
#include "mainwindow/TMainForm.h"
#include "base/Sjis.h"

using namespace velkor;

class TMainFormTabsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(dataDir_.isValid());
    InitDataDir(dataDir_.path().toStdString());
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

 private:
  QTemporaryDir dataDir_;
};

QTEST_MAIN(TMainFormTabsTest)
#include "TMainFormTabsTest.moc"
