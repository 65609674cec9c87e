#include <QtTest>
#include <string>

#include "base/Sjis.h"
#include "threads/ui/PopupWindow.h"

using namespace velkor;

// Where the pop-up goes, how much it holds and how it shows.
class ThreadTabLinksTest : public QObject {
  Q_OBJECT

 private slots:
  void placePopup_data() {
    QTest::addColumn<QPoint>("cursor");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("above right of the pointer") << QPoint(100, 300) << QRect(108, 180, 200, 100);
    QTest::newRow("near the top edge") << QPoint(100, 50) << QRect(108, 0, 200, 100);
    QTest::newRow("near the right edge") << QPoint(1200, 500) << QRect(1080, 380, 200, 100);
  }

  void placePopup() {
    QFETCH(QPoint, cursor);
    QFETCH(QRect, expected);
    QCOMPARE(PlacePopup(cursor, QSize(200, 100), QRect(0, 0, 1280, 1024)), expected);
  }

  // The line limit fits the lines of the pop-up font into the screen height.
  void popupMaxLinesFitTheScreen() {
    PopupWindow& popup = AppPopup();
    const int lines = popup.MaxLines(1000);
    QVERIFY(lines > 20);
    const QString text = QString("x\n").repeated(lines - 1) + "x";
    QVERIFY(popup.HintSize(text, 2000).height() <= 1000);
    const QString more = text + "\nx";
    QVERIFY(popup.HintSize(more, 2000).height() > 1000);
    QVERIFY(PopupMaxLines() > 0);
    // A line wider than the screen wraps instead of running off its edge.
    const QSize oneLine = popup.HintSize("x", 300);
    const QSize wide = popup.HintSize(QString("x").repeated(1000), 300);
    QVERIFY(wide.width() <= 300);
    QVERIFY(wide.height() > 3 * oneLine.height());
  }

  void popupShowsAndHidesText() {
    PopupWindow& popup = AppPopup();
    popup.ShowText(Sjis("1 名前：a\r\nこんにちは"), QPoint(300, 300));
    QVERIFY(popup.isVisible());
    QCOMPARE(popup.Text(), QString::fromUtf8("1 名前：a\nこんにちは"));
    QVERIFY(popup.geometry().bottom() < 300);
    popup.HidePopup();
    QVERIFY(!popup.isVisible());
  }
};

QTEST_MAIN(ThreadTabLinksTest)
#include "ThreadTabLinksTest.moc"
