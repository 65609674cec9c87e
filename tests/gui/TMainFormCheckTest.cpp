// The window's new-reply check: the list across boards, the failed board named, the favourites
// with new replies in bold, a double-click that opens the thread as from its board, the stop
// button, and the remembered "取得もする".

#include <QAction>
#include <QLabel>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "app/DataDir.h"
#include "base/FileUtil.h"
#include "base/IniDocument.h"
#include "base/Sjis.h"
#include "boards/ui/BoardTreeWidget.h"
#include "mainwindow/GuiUiHooks.h"
#include "mainwindow/TMainForm.h"
#include "net/ConnectOverrides.h"
#include "support/HttpTestServer.h"

using namespace velkor;

namespace {

using Gate = test::HttpTestServer::Gate;
using Script = test::HttpTestServer::Script;

std::string Dat(int from, int to) {
  std::string dat;
  for (int i = from; i <= to; ++i) {
    dat += Sjis("名無し<>sage<>2026/12/07(月) 12:00:0") + std::to_string(i % 10) + "<> " +
           Sjis("本文") + std::to_string(i) + " <>" + (i == 1 ? Sjis("一番目") : "") + "\n";
  }
  return dat;
}

std::string Ok(const std::string& body) {
  return test::HttpTestServer::ClosingAnswer("200 OK", body,
                                             "Last-Modified: Tue, 08 Dec 2026 10:00:00 GMT\r\n");
}

}  // namespace

class TMainFormCheckTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dataDir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dataDir_->isValid());
    InitDataDir(dataDir_->path().toStdString());
    std::string favorites = Sjis(
        "[ニュース]\r\n速報=http://news.test/flash/\r\n\r\n"
        "[趣味]\r\n釣り=http://hobby.test/fish/\r\n\r\n");
    QVERIFY(ReplaceFile(IniDir() + "/subscrib.ini", favorites));
    QVERIFY(ReplaceFile(IniDir() + "/board.ini", favorites));
    const std::string flash = LogDir() + "/news.test/flash/";
    QVERIFY(MakeDirectories(LogDir() + "/news.test/flash"));
    QVERIFY(ReplaceFile(flash + "subject.ini",
                        Sjis("[1000000001.dat]\r\nNowNo=1\r\nPreNo=1\r\nResCount=2\r\n"
                             "Title=一番目\r\nGotCount=2\r\nUnread=3\r\nDatSize=" +
                             std::to_string(Dat(1, 2).size()) + "\r\n\r\n")));
    QVERIFY(ReplaceFile(flash + "1000000001.dat", Dat(1, 2)));
  }

  void cleanup() { ClearConnectOverrides(); }

  // One board brings new replies, the other fails: the list shows the thread with its board, the
  // status bar names the failed board, the board with new replies is bold until it is opened, and a
  // double-click opens the thread from its board.
  void checkListsNewRepliesAcrossBoards() {
    test::HttpTestServer news;
    news.AddConnection(Script().ReadRequest().Send(Ok(Sjis("1000000001.dat<>一番目 (5)\n"))));
    const std::string range = "\n" + Dat(3, 5);
    const std::size_t first = Dat(1, 2).size() - 1;
    news.AddConnection(Script().ReadRequest().Send(
        "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(first) + "-" +
        std::to_string(first + range.size() - 1) + "/" + std::to_string(first + range.size()) +
        "\r\nContent-Length: " + std::to_string(range.size()) + "\r\nConnection: close\r\n\r\n" +
        range));
    news.Route("news.test");
    test::HttpTestServer hobby;
    hobby.AddConnection(Script().ReadRequest().Send(
        "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"));
    hobby.Route("hobby.test");
    news.AddConnection(Script().ReadRequest().Send(
        "HTTP/1.1 304 Not Modified\r\nConnection: close\r\n\r\n"));  // the board, shown again

    TMainForm form;
    GuiUiHooks hooks(&form);
    SetUiHooks(&hooks);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* tree = form.findChild<BoardTreeWidget*>("subscribeTreeView");
    QTreeWidgetItem* newsBoard = tree->FindBoardNode(Sjis("ニュース"), Sjis("速報"));
    {
      const QSignalBlocker quiet(tree);  // selected as if it had been shown before the check
      tree->setCurrentItem(newsBoard);
    }
    form.findChild<QToolButton*>("subjectCheckToolButton")->click();

    auto* list = form.findChild<QTableView*>("checkListView");
    QVERIFY(list->isVisible());
    QCOMPARE(list->model()->rowCount(), 1);
    QCOMPARE(list->model()->index(0, 0).data().toString(), QString::fromUtf8("速報"));
    QCOMPARE(list->model()->index(0, 3).data().toString(), QString::fromUtf8("一番目"));
    QCOMPARE(list->model()->index(0, 4).data().toString(), QString("5"));
    QCOMPARE(list->model()->index(0, 5).data().toString(), QString("2"));
    QVERIFY(form.statusBar()->currentMessage().contains(QString::fromUtf8("失敗: 釣り")));
    QVERIFY(!form.findChild<QToolButton*>("checkStopButton")->isVisible());
    QVERIFY(tree->IsBoardMarked(Sjis("ニュース"), Sjis("速報")));
    QVERIFY(!tree->IsBoardMarked(Sjis("趣味"), Sjis("釣り")));
    QCOMPARE(news.Requests().size(), std::size_t{1});
    QCOMPARE(hobby.Requests().size(), std::size_t{1});

    form.OpenCheckedThread(0, true);
    SetUiHooks(nullptr);
    QCOMPARE(news.Requests().size(), std::size_t{2});
    QVERIFY(news.Requests()[1].bytes.starts_with("GET /flash/dat/1000000001.dat "));
    QCOMPARE(ReadWholeFile(LogDir() + "/news.test/flash/1000000001.dat").value_or(""), Dat(1, 5));
    QCOMPARE(form.findChild<QTabWidget*>("tabPageControl")->count(), 1);
    QCOMPARE(list->model()->index(0, 5).data().toString(), QString("5"));
    QCOMPARE(form.Subjects().UnreadOf("1000000001.dat"), 6);  // read as from its board
    QVERIFY(list->isVisible());
    // A click on the board that was shown before the check shows it again.
    tree->setCurrentItem(newsBoard);
    QVERIFY(!list->isVisible());
    QVERIFY(form.findChild<QWidget*>("SubjectListView")->isVisible());
    QCOMPARE(news.Requests().size(), std::size_t{3});
  }

  // The stop button ends the check while a board's answer is held: no other board is asked.
  void stopEndsTheCheck() {
    test::HttpTestServer news;
    auto gate = std::make_shared<Gate>();
    news.AddConnection(Script().ReadRequest().Hold(gate).Send(Ok("")));
    news.Route("news.test");
    test::HttpTestServer hobby;
    hobby.Route("hobby.test");

    TMainForm form;
    GuiUiHooks hooks(&form);
    SetUiHooks(&hooks);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* stop = form.findChild<QToolButton*>("checkStopButton");
    bool stopped = false;
    QTimer act;
    act.setInterval(5);
    connect(&act, &QTimer::timeout, [&] {
      if (news.Requests().empty()) return;
      act.stop();
      QVERIFY(stop->isVisible());
      QVERIFY(form.NewReplyCheckRunning());
      stop->click();
      stopped = true;
    });
    act.start();
    form.findChild<QAction*>("checkAction")->trigger();
    gate->Open();
    SetUiHooks(nullptr);
    QVERIFY(stopped);
    QVERIFY(!form.NewReplyCheckRunning());
    QCOMPARE(hobby.AcceptedConnections(), 0);
    QVERIFY(form.statusBar()->currentMessage().startsWith(QString::fromUtf8("新着チェックを中止")));
    QCOMPARE(form.findChild<QAction*>("checkAction")->shortcut(), QKeySequence(Qt::Key_F9));
  }

  // "取得もする" is kept in config.ini across runs, also past the window's own save at exit.
  void fetchOptionIsRemembered() {
    {
      TMainForm form;
      auto* option = form.findChild<QAction*>("checkFetchLogsMI");
      QVERIFY(!option->isChecked());
      option->setChecked(true);
    }
    IniDocument config;
    QVERIFY(config.Load(IniDir() + "/config.ini"));
    QVERIFY(config.ReadBool("Kodawari", "CheckFetchesLogs", false));
    TMainForm again;
    QVERIFY(again.findChild<QAction*>("checkFetchLogsMI")->isChecked());
  }

 private:
  std::unique_ptr<QTemporaryDir> dataDir_;
};

QTEST_MAIN(TMainFormCheckTest)
#include "TMainFormCheckTest.moc"
