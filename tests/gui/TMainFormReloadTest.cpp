// The main window while a thread-list or thread-log download runs: the window stays live, another
// board cannot be opened meanwhile, the merged list shows when the download ends, and a thread's
// new replies reach the tab that shows it.

#include <QAction>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/DataDir.h"
#include "app/Settings.h"
#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "boards/ui/BoardTreeWidget.h"
#include "mainwindow/GuiUiHooks.h"
#include "mainwindow/TMainForm.h"
#include "net/ConnectOverrides.h"
#include "subjects/ui/SubjectListView.h"
#include "support/HttpTestServer.h"
#include "threads/ui/ThreadTab.h"
#include "threads/ui/ThreadTabList.h"

using namespace velkor;

namespace {

using Gate = test::HttpTestServer::Gate;
using Script = test::HttpTestServer::Script;

// Runs `action` once, as soon as `server` has read `requests` requests. The timer fires while the
// window processes events during the download's waits; the server holds its answer behind a gate
// that the action opens, so the action always happens while the download waits for the answer.
void ActWhenRequested(QTimer& timer, const test::HttpTestServer& server, std::size_t requests,
                      std::function<void()> action) {
  timer.setInterval(5);
  QObject::connect(&timer, &QTimer::timeout, [&timer, &server, requests, action] {
    if (server.Requests().size() < requests) return;
    timer.stop();
    action();
  });
  timer.start();
}

// Shows `form` and opens the favourite board ニュース/速報; its thread list view, or null when the
// window was never exposed.
// The main window with status texts and messages going to it, as the program sets it up.
struct HookedWindow {
  HookedWindow() { SetUiHooks(&hooks); }
  TMainForm form;
  GuiUiHooks hooks{&form};
};

SubjectListView* ShowNewsBoard(TMainForm& form) {
  form.show();
  if (!QTest::qWaitForWindowExposed(&form)) return nullptr;
  auto* tree = form.findChild<BoardTreeWidget*>("subscribeTreeView");
  tree->setCurrentItem(tree->FindBoardNode(Sjis("ニュース"), Sjis("速報")));
  return form.findChild<SubjectListView*>("SubjectListView");
}

}  // namespace

class TMainFormReloadTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(dataDir_.isValid());
    InitDataDir(dataDir_.path().toStdString());
    std::string favorites = Sjis(
        "[ニュース]\r\n速報=http://news.test/flash/\r\n\r\n"
        "[趣味]\r\n釣り=http://hobby.test/fish/\r\n\r\n");
    QVERIFY(ReplaceFile(IniDir() + "/subscrib.ini", favorites));
    QVERIFY(ReplaceFile(IniDir() + "/board.ini", favorites));
    QVERIFY(AddConnectOverrides({"hobby.test=127.0.0.1:1"}).IsOk());
  }

  void cleanupTestCase() { ClearConnectOverrides(); }

  // Selecting another favourite while the first board's list downloads moves the tree selection
  // but leaves the shown board and its new rows in place.
  void otherBoardWaitsForTheDownload() {
    std::string body = Sjis("1000000001.dat<>一番目 (3)\n1000000002.dat<>二番目 (7)\n");
    std::string response = test::HttpTestServer::ClosingAnswer(
        "200 OK", body, "Last-Modified: Mon, 07 Dec 2026 10:00:00 GMT\r\n");
    test::HttpTestServer server;
    auto answer = std::make_shared<Gate>();
    server.AddConnection(Script().ReadRequest().Hold(answer).Send(response));
    server.Route("news.test");

    HookedWindow window;
    TMainForm& form = window.form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* tree = form.findChild<BoardTreeWidget*>("subscribeTreeView");
    auto* label = form.findChild<QLabel*>("BBSNameLabel");
    QTreeWidgetItem* fish = tree->FindBoardNode(Sjis("趣味"), Sjis("釣り"));
    bool selectedDuringDownload = false;
    QTimer act;
    ActWhenRequested(act, server, 1, [&] {
      tree->setCurrentItem(fish);
      selectedDuringDownload = true;
      answer->Open();
    });
    tree->setCurrentItem(tree->FindBoardNode(Sjis("ニュース"), Sjis("速報")));
    SetUiHooks(nullptr);

    QVERIFY(selectedDuringDownload);
    QCOMPARE(tree->SelectedNode(), fish);
    QCOMPARE(label->text(), QString::fromUtf8("ニュース：速報"));
    auto* view = form.findChild<SubjectListView*>("SubjectListView");
    QCOMPARE(view->model()->rowCount(), 2);
    QCOMPARE(view->model()->index(0, 3).data().toString(), QString::fromUtf8("一番目"));
    QCOMPARE(server.Requests().size(), std::size_t{1});

    // The board-name label's menu acts on the shown board, not on the one selected meanwhile.
    auto* menu = form.findChild<QMenu*>("subscribePM");
    QGuiApplication::clipboard()->clear();
    bool shown = false;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, [&] {
      if (!menu->isVisible()) return;
      shown = true;
      poll.stop();
      form.findChild<QAction*>("subscribeURLCopyMI")->trigger();
      menu->close();
    });
    poll.start();
    emit label->customContextMenuRequested(QPoint(2, 2));
    QTRY_VERIFY(shown);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("http://news.test/flash/"));
  }

  // "更新" pressed again while the list downloads stops that download: nothing is merged or
  // stored, and the status bar says it stopped.
  void reloadAgainStopsTheDownload() {
    std::string body = Sjis("1000000009.dat<>止めた (1)\n");
    std::string response = test::HttpTestServer::ClosingAnswer("200 OK", body);
    test::HttpTestServer server;
    auto answer = std::make_shared<Gate>();
    server.AddConnection(Script().ReadRequest().Hold(answer).Send(response));
    server.Route("news.test");
    const std::string subjectTxt = LogDir() + "/news.test/flash/subject.txt";
    RemoveFile(subjectTxt);
    ReplaceFile(LogDir() + "/news.test/flash/bbs.ini", "");

    HookedWindow window;
    TMainForm& form = window.form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* tree = form.findChild<BoardTreeWidget*>("subscribeTreeView");
    auto* reload = form.findChild<QToolButton*>("subjectReloadToolButton");
    bool pressedAgain = false;
    QTimer act;
    ActWhenRequested(act, server, 1, [&] {
      reload->click();
      pressedAgain = true;
      answer->Open();
    });
    tree->setCurrentItem(tree->FindBoardNode(Sjis("ニュース"), Sjis("速報")));
    SetUiHooks(nullptr);

    QVERIFY(pressedAgain);
    QCOMPARE(server.Requests().size(), std::size_t{1});
    QCOMPARE(form.statusBar()->currentMessage(), QString::fromUtf8("中断しました."));
    QVERIFY(!FileExists(subjectTxt));
    for (std::size_t row = 0; row < form.Subjects().RowCount(); ++row) {
      QVERIFY(form.Subjects().Row(row).datName != "1000000009.dat");
    }
  }

  // Selecting another favourite while a thread log of the shown board downloads loads the other
  // board's list instead of stopping the thread download.
  void otherBoardLoadsWhileAThreadDownloads() {
    const std::string flash = LogDir() + "/news.test/flash/";
    QVERIFY(MakeDirectories(LogDir() + "/news.test/flash"));
    QVERIFY(ReplaceFile(flash + "subject.ini",
                        Sjis("[1000000005.dat]\r\nNowNo=1\r\nResCount=2\r\nTitle=長い\r\n\r\n")));
    RemoveFile(flash + "1000000005.dat");
    const std::string dat = "a<>b<>c<>d<>e\n";
    test::HttpTestServer news;
    news.AddConnection(test::HttpTestServer::Script().ReadRequest().Send(
        "HTTP/1.1 304 Not Modified\r\nConnection: close\r\n\r\n"));
    auto answer = std::make_shared<Gate>();
    news.AddConnection(Script().ReadRequest().Hold(answer).Send(
        test::HttpTestServer::ClosingAnswer("200 OK", dat)));
    news.Route("news.test");
    const std::string fishList = Sjis("1000000021.dat<>釣果 (4)\n");
    test::HttpTestServer hobby;
    hobby.AddConnection(test::HttpTestServer::Script().ReadRequest().Send(
        test::HttpTestServer::ClosingAnswer("200 OK", fishList)));
    hobby.Route("hobby.test");

    HookedWindow window;
    TMainForm& form = window.form;
    SubjectListView* view = ShowNewsBoard(form);
    QVERIFY(view != nullptr);
    QCOMPARE(view->model()->rowCount(), 1);
    auto* tree = form.findChild<BoardTreeWidget*>("subscribeTreeView");
    bool switched = false;
    QTimer act;
    ActWhenRequested(act, news, 2, [&] {
      tree->setCurrentItem(tree->FindBoardNode(Sjis("趣味"), Sjis("釣り")));
      switched = true;
      answer->Open();
    });
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(view->model()->index(0, 3)).center());
    SetUiHooks(nullptr);
    (void)AddConnectOverrides({"hobby.test=127.0.0.1:1"});

    QVERIFY(switched);
    QCOMPARE(news.Requests().size(), std::size_t{2});
    QCOMPARE(hobby.Requests().size(), std::size_t{1});
    QCOMPARE(form.findChild<QLabel*>("BBSNameLabel")->text(), QString::fromUtf8("趣味：釣り"));
    QCOMPARE(view->model()->rowCount(), 1);
    QCOMPARE(view->model()->index(0, 3).data().toString(), QString::fromUtf8("釣果"));
  }

  // Clicking the row of a thread whose tab is open: new replies fetched by the click are shown
  // at once, with the marker before the first of them; a click that brings nothing new only
  // brings the tab to the front.
  void reopenedThreadShowsItsNewReplies() {
    const std::string flash = LogDir() + "/news.test/flash/";
    QVERIFY(MakeDirectories(LogDir() + "/news.test/flash"));
    const std::string dat =
        Sjis("名無し<><>2026/12/07<> 一つ目 <>続くスレ\n名無し<><>2026/12/07<> 二つ目 <>\n");
    QVERIFY(ReplaceFile(flash + "1000000007.dat", dat));
    QVERIFY(ReplaceFile(flash + "subject.ini",
                        Sjis("[1000000007.dat]\r\nNowNo=1\r\nPreNo=1\r\nResCount=3\r\n"
                             "Title=続くスレ\r\nGotCount=2\r\nUnread=3\r\nDatSize=" +
                             std::to_string(dat.size()) + "\r\n\r\n")));
    const std::string third = Sjis("\n名無し<><>2026/12/07<> 三つ目 <>\n");
    test::HttpTestServer news;
    const std::string notModified = "HTTP/1.1 304 Not Modified\r\nConnection: close\r\n\r\n";
    news.AddConnection(test::HttpTestServer::Script().ReadRequest().Send(notModified));
    news.AddConnection(test::HttpTestServer::Script().ReadRequest().Send(notModified));
    news.AddConnection(test::HttpTestServer::Script().ReadRequest().Send(
        test::HttpTestServer::ClosingAnswer("206 Partial Content", third)));
    news.Route("news.test");

    HookedWindow window;
    TMainForm& form = window.form;
    SubjectListView* view = ShowNewsBoard(form);
    QVERIFY(view != nullptr);
    QCOMPARE(view->model()->rowCount(), 1);
    auto clickRow = [&] {
      form.SetSubjectExpanded(true);
      QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                        view->visualRect(view->model()->index(0, 3)).center());
    };
    clickRow();  // nothing new on the server
    ThreadTab* tab = ThreadTabs().ActiveTab();
    QVERIFY(tab != nullptr);
    QCOMPARE(tab->Replies().Count(), 2);
    QCOMPARE(tab->FirstUnread(), 3);

    clickRow();  // the third reply arrives
    QCOMPARE(news.Requests().size(), std::size_t{3});
    QCOMPARE(form.findChild<QTabWidget*>("tabPageControl")->count(), 1);
    QCOMPARE(ThreadTabs().ActiveTab(), tab);
    QCOMPARE(tab->Replies().Count(), 3);
    QCOMPARE(tab->FirstUnread(), 3);
    const std::string page = tab->Document();
    const std::size_t marker = page.find("<a name=\"midoku\">");
    QVERIFY(marker != std::string::npos);
    QVERIFY(marker < page.find(Sjis("三つ目")));
    QVERIFY(page.find(Sjis("二つ目")) < marker);

    clickRow();  // everything stored and read: the tab stays as it is
    SetUiHooks(nullptr);
    QCOMPARE(news.Requests().size(), std::size_t{3});
    QCOMPARE(tab->FirstUnread(), 3);
    QCOMPARE(tab->Document(), page);
  }

  // A thread whose log cannot be had shows why in its tab, with a retry that fetches it again.
  void failedDownloadShowsTheReasonAndARetry() {
    const std::string flash = LogDir() + "/news.test/flash/";
    QVERIFY(MakeDirectories(LogDir() + "/news.test/flash"));
    QVERIFY(ReplaceFile(flash + "subject.ini",
                        Sjis("[1000000041.dat]\r\nNowNo=1\r\nResCount=1\r\nTitle=落ちる\r\n\r\n")));
    RemoveFile(flash + "1000000041.dat");
    const std::string dat = Sjis("名無し<><>2026/12/07<> 届いた <>落ちる\n");
    test::HttpTestServer news;
    news.AddConnection(
        Script().ReadRequest().Send("HTTP/1.1 304 Not Modified\r\nConnection: close\r\n\r\n"));
    news.AddConnection(Script().ReadRequest().Send(
        test::HttpTestServer::ClosingAnswer("500 Internal Server Error", "")));
    news.AddConnection(
        Script().ReadRequest().Send(test::HttpTestServer::ClosingAnswer("200 OK", dat)));
    news.Route("news.test");

    HookedWindow window;
    TMainForm& form = window.form;
    SubjectListView* view = ShowNewsBoard(form);
    QVERIFY(view != nullptr);
    QCOMPARE(view->model()->rowCount(), 1);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(view->model()->index(0, 3)).center());
    ThreadTab* tab = ThreadTabs().ActiveTab();
    QVERIFY(tab != nullptr);
    auto* reason = tab->findChild<QLabel*>("fetchFailureLabel");
    auto* retry = tab->findChild<QPushButton*>("fetchRetryButton");
    QVERIFY(reason != nullptr && retry != nullptr);
    QVERIFY(reason->isVisible());
    QVERIFY2(reason->text().contains(QString::fromUtf8("エラー:")), qPrintable(reason->text()));
    QCOMPARE(retry->text(), QString::fromUtf8("再試行"));

    retry->click();
    QTRY_COMPARE(news.Requests().size(), std::size_t{3});
    SetUiHooks(nullptr);
    QCOMPARE(form.findChild<QTabWidget*>("tabPageControl")->count(), 1);
    QCOMPARE(ThreadTabs().ActiveTab(), tab);
    QVERIFY(!reason->isVisible());
    QCOMPARE(tab->Replies().Count(), 1);
    QVERIFY(tab->Document().find(Sjis("届いた")) != std::string::npos);
  }

  // A link to a thread of a favourite board whose log is not stored, followed in a page of
  // search results, fetches the thread and opens it in a tab of its own.
  void searchResultOfAThreadWithoutLogOpensIt() {
    const std::string flash = LogDir() + "/news.test/flash/";
    QVERIFY(MakeDirectories(LogDir() + "/news.test/flash"));
    QVERIFY(
        ReplaceFile(flash + "subject.ini",
                    Sjis("[1000000051.dat]\r\nNowNo=1\r\nResCount=1\r\nTitle=見つけた\r\n\r\n")));
    RemoveFile(flash + "1000000051.dat");
    const std::string dat = Sjis("名無し<><>2026/12/07<> 本文 <>見つけた\n");
    test::HttpTestServer news;
    news.AddConnection(
        Script().ReadRequest().Send(test::HttpTestServer::ClosingAnswer("200 OK", dat)));
    news.Route("news.test");
    // Nothing may reach a desktop browser while the test runs.
    const std::string browser = AppSettings().browserApp;
    AppSettings().browserApp = "/bin/true";

    HookedWindow window;
    TMainForm& form = window.form;
    form.ShowHtmlPage(Sjis("<html><body><dl><dt><strong>速報</strong><dd><a href=\""
                           "http://news.test/test/read.cgi/flash/1000000051/\">見つけた</a><br>"
                           "</dl></body></html>"),
                      Sjis("検索結果"));
    ThreadTabs().ActiveTab()->LinkFollowed("http://news.test/test/read.cgi/flash/1000000051/");
    QTRY_COMPARE(news.Requests().size(), std::size_t{1});
    auto* tabs = form.findChild<QTabWidget*>("tabPageControl");
    QTRY_COMPARE(tabs->count(), 2);
    SetUiHooks(nullptr);
    AppSettings().browserApp = browser;
    QVERIFY(news.Requests()[0].bytes.find("GET /flash/dat/1000000051.dat") != std::string::npos);
    QCOMPARE(tabs->tabText(1), QString::fromUtf8("見つけた"));
    QCOMPARE(ThreadTabs().ActiveTab()->DatName(), std::string("1000000051.dat"));
    QCOMPARE(ThreadTabs().ActiveTab()->Replies().Count(), 1);
  }

 private:
  QTemporaryDir dataDir_;
};

QTEST_MAIN(TMainFormReloadTest)
#include "TMainFormReloadTest.moc"
