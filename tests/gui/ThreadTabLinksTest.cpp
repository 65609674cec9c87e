#include <QTemporaryDir>
#include <QtTest>
#include <string>

#include "app/DataDir.h"
#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "threads/DatRenderer.h"
#include "threads/ui/PopupWindow.h"
#include "threads/ReplyList.h"
#include "threads/ThreadLinks.h"

using namespace velkor;

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(LinkAction::Kind)
Q_DECLARE_METATYPE(HoverAction::Kind)

namespace {

constexpr const char* kStored = "http://host.example/test/read.cgi/board/100";

}  // namespace

// What followed and hovered links of a thread page mean, and where the pop-up goes.
class ThreadTabLinksTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(dataDir_.isValid());
    InitDataDir(dataDir_.path().toStdString());
    boardDir_ = LogDir() + "/host.example/board/";
    QVERIFY(MakeDirectories(boardDir_));
    QVERIFY(ReplaceFile(boardDir_ + "100.dat", "one<><>d1<>first reply<>" + Sjis("スレの題") +
                                                   "\nbob<>sage<>d2<>second<>\n"));
    QVERIFY(ReplaceFile(boardDir_ + "subject.ini", "[100.dat]\r\nTitle=" + Sjis("保存済み") +
                                                       "\r\nUnread=2\r\n\r\n[555.dat]\r\nTitle=" +
                                                       Sjis("未取得") + "\r\n\r\n"));
    LoadRepliesFromText(replies_, "a<>m@x<>d1<>hello<br>world<>t\nb<><>d2<>bye<>\n");
  }

  void classifyLink_data() {
    QTest::addColumn<std::string>("url");
    QTest::addColumn<LinkAction::Kind>("kind");
    QTest::addColumn<int>("menuNumber");
    QTest::addColumn<std::string>("anchor");
    const std::string stored = kStored;
    QTest::newRow("blank page") << std::string("about:blank") << LinkAction::kNone << 0
                                << std::string();
    QTest::newRow("reply number") << std::string("menu:12") << LinkAction::kMenu << 12
                                  << std::string();
    QTest::newRow("reply number not a number")
        << std::string("menu:12x") << LinkAction::kMenu << 0 << std::string();
    QTest::newRow("empty reply number")
        << std::string("menu:") << LinkAction::kMenu << 0 << std::string();
    QTest::newRow("unread marker")
        << std::string("about:blank#midoku") << LinkAction::kJump << 0 << std::string("midoku");
    QTest::newRow("show all") << std::string("about:blank#all") << LinkAction::kShowAll << 0
                              << std::string();
    QTest::newRow("reply range") << std::string("about:blank#a12-15") << LinkAction::kJump << 0
                                 << std::string("a12");
    QTest::newRow("negative reply")
        << std::string("about:blank#a-5") << LinkAction::kJump << 0 << std::string("a5");
    QTest::newRow("reply list") << std::string("about:blank#a3,,5") << LinkAction::kJump << 0
                                << std::string("a3");
    QTest::newRow("stored thread without anchor")
        << stored << LinkAction::kOpenThread << 0 << std::string("midoku");
    QTest::newRow("stored thread with slash")
        << stored + "/" << LinkAction::kOpenThread << 0 << std::string("midoku");
    QTest::newRow("stored thread last replies")
        << stored + "/l50" << LinkAction::kOpenThread << 0 << std::string("midoku");
    QTest::newRow("stored thread reply range")
        << stored + "/12-15" << LinkAction::kOpenThread << 0 << std::string("a12");
    QTest::newRow("stored thread without first reply")
        << stored + "/n7" << LinkAction::kOpenThread << 0 << std::string("a7");
    QTest::newRow("thread not stored")
        << std::string("http://host.example/test/read.cgi/board/999/") << LinkAction::kExternal << 0
        << std::string();
    QTest::newRow("thread path leaving the log tree")
        << std::string("http://host.example/test/read.cgi/../100") << LinkAction::kExternal << 0
        << std::string();
    QTest::newRow("other page") << std::string("http://example.com/x.html") << LinkAction::kExternal
                                << 0 << std::string();
  }

  void classifyLink() {
    QFETCH(std::string, url);
    QFETCH(LinkAction::Kind, kind);
    QFETCH(int, menuNumber);
    QFETCH(std::string, anchor);
    const LinkAction action = ClassifyLink(url);
    QCOMPARE(action.kind, kind);
    QCOMPARE(action.menuNumber, menuNumber);
    QCOMPARE(action.anchor, anchor);
    if (kind == LinkAction::kExternal) QCOMPARE(action.url, url);
  }

  // A stored thread opens with the title and reading position of its subject.ini section.
  void storedThreadCarriesItsState() {
    const LinkAction action = ClassifyLink(std::string(kStored) + "/5");
    QCOMPARE(action.kind, LinkAction::kOpenThread);
    QCOMPARE(action.boardDir, boardDir_);
    QCOMPARE(action.datName, std::string("100.dat"));
    QCOMPARE(action.title, Sjis("保存済み"));
    QCOMPARE(action.firstUnread, 2);
  }

  void externalLinksAllowed_data() {
    QTest::addColumn<std::string>("url");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("http") << std::string("http://example.com/") << true;
    QTest::newRow("https upper case") << std::string("HTTPS://example.com/") << true;
    QTest::newRow("ftp") << std::string("ftp://example.com/f") << true;
    QTest::newRow("mail") << std::string("mailto:a@b") << true;
    QTest::newRow("local file") << std::string("file:///etc/passwd") << false;
    QTest::newRow("script") << std::string("javascript:alert(1)") << false;
    QTest::newRow("relative") << std::string("x.html") << false;
  }

  void externalLinksAllowed() {
    QFETCH(std::string, url);
    QFETCH(bool, allowed);
    QCOMPARE(IsExternalLinkAllowed(url), allowed);
  }

  void hoverPopup_data() {
    QTest::addColumn<std::string>("status");
    QTest::addColumn<HoverAction::Kind>("kind");
    QTest::addColumn<std::string>("text");
    QTest::newRow("left the link") << std::string() << HoverAction::kHide << std::string();
    QTest::newRow("mail") << std::string("mailto:m@x") << HoverAction::kShow << std::string("m@x");
    QTest::newRow("show all link")
        << std::string("about:blank#all") << HoverAction::kKeep << std::string();
    QTest::newRow("reply in page") << std::string("about:blank#a2") << HoverAction::kShow
                                   << Sjis("2 名前：b メール： 投稿日：d2\r\nbye");
    QTest::newRow("reply not in page")
        << std::string("about:blank#a9") << HoverAction::kHide << std::string();
    QTest::newRow("unread marker link")
        << std::string("about:blank#midoku") << HoverAction::kHide << std::string();
    QTest::newRow("stored thread")
        << std::string(kStored) + "/" << HoverAction::kShow
        << Sjis("スレの題\r\n\r\n1 名前：one メール： 投稿日：d1\r\nfirst reply");
    QTest::newRow("stored thread reply")
        << std::string(kStored) + "/2" << HoverAction::kShow
        << Sjis("スレの題\r\n\r\n2 名前：bob メール：sage 投稿日：d2\r\nsecond");
    QTest::newRow("thread never fetched")
        << std::string("http://host.example/test/read.cgi/board/555/") << HoverAction::kShow
        << Sjis("未取得");
    QTest::newRow("thread unknown") << std::string("http://host.example/test/read.cgi/board/556/")
                                    << HoverAction::kHide << std::string();
    QTest::newRow("thread path leaving the log tree")
        << std::string("http://host.example/test/read.cgi/../555/") << HoverAction::kHide
        << std::string();
    QTest::newRow("reply number") << std::string("menu:3") << HoverAction::kHide << std::string();
    QTest::newRow("other page") << std::string("http://example.com/") << HoverAction::kHide
                                << std::string();
  }

  void hoverPopup() {
    QFETCH(std::string, status);
    QFETCH(HoverAction::Kind, kind);
    QFETCH(std::string, text);
    const HoverAction action = HoverPopup(replies_, status, 40);
    QCOMPARE(action.kind, kind);
    QCOMPARE(action.text, text);
  }

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

  // Anchors of a pop-up text, found as the page links them, at their places in the plain text.
  void popupAnchors_data() {
    QTest::addColumn<std::string>("text");
    QTest::addColumn<QStringList>("expected");  // "offset:length:spec"
    QTest::newRow("none") << std::string("1 name\nno anchors > here") << QStringList();
    QTest::newRow("markup characters and a run of markers")
        << std::string("a&b<c>>>12\n") << QStringList{"5:5:12"};
    QTest::newRow("full-width range and list")
        << Sjis("x ＞＞１２－１５ and >>3,5") << QStringList{"2:15:12-15,", "21:5:3,5"};
    QTest::newRow("ends at the line's end") << std::string(">>7\n8") << QStringList{"0:3:7"};
    QTest::newRow("zero is no anchor") << std::string(">>0 >>") << QStringList();
  }

  void popupAnchors() {
    QFETCH(std::string, text);
    QFETCH(QStringList, expected);
    QStringList found;
    for (const PopupTextAnchor& anchor : FindPopupAnchors(text)) {
      found << QString("%1:%2:%3")
                   .arg(anchor.offset)
                   .arg(anchor.length)
                   .arg(QString::fromStdString(anchor.spec));
    }
    QCOMPARE(found, expected);
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

 private:
  QTemporaryDir dataDir_;
  std::string boardDir_;
  ReplyList replies_;
};

QTEST_MAIN(ThreadTabLinksTest)
#include "ThreadTabLinksTest.moc"
