#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QtTest>
#include <functional>
#include <memory>
#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "PageScript.h"
#include "PresetDialogs.h"
#include "app/DataDir.h"
#include "app/Settings.h"
#include "app/UiHooks.h"
#include "base/FileUtil.h"
#include "base/IniDocument.h"
#include "base/Sjis.h"
#include "subjects/SubjectList.h"
#include "threads/DatRenderer.h"
#include "threads/NgRuleFile.h"
#include "threads/ui/PageCommands.h"
#include "threads/ui/PopupWindow.h"
#include "threads/ui/TNgForm.h"
#include "threads/ui/ThreadTab.h"
#include "threads/ui/ThreadTabList.h"
#include "threads/ui/ThreadView.h"

using namespace velkor;
using velkor::test::HoverUntil;
using velkor::test::PointFromScript;
using velkor::test::ScriptResult;

namespace {

// Keeps the status texts the core and the tabs show, while it lives.
class StatusRecorder final : public UiHooks {
 public:
  StatusRecorder() : previous_(Ui()) { SetUiHooks(this); }
  ~StatusRecorder() override { SetUiHooks(&previous_); }
  StatusRecorder(const StatusRecorder&) = delete;
  StatusRecorder& operator=(const StatusRecorder&) = delete;
  void ShowMessage(MessageIcon, const std::string&, const std::string&) override {}
  void ShowHtmlPage(const std::string&, const std::string&) override {}
  void SetStatusText(const std::string& text) override { texts.push_back(text); }
  void ProcessEvents() override {}

  std::vector<std::string> texts;

 private:
  UiHooks& previous_;
};

constexpr TabChoice kActive = TabChoice::kActiveTab;
constexpr TabChoice kNew = TabChoice::kNewTab;

std::string DatLine(int k, const std::string& title = std::string()) {
  return "name" + std::to_string(k) + "<>sage<>2026/12/07<> message " + std::to_string(k) + " <>" +
         title + "\n";
}

// A TCP listener on the loopback interface that only tells whether anybody connected.
struct LoopbackListener {
  LoopbackListener() {
    fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        listen(fd, 8) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port = ntohs(address.sin_port);
    }
  }
  ~LoopbackListener() {
    if (fd >= 0) close(fd);
  }
  bool HasConnection() const {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) > 0;
  }
  int fd = -1;
  int port = 0;
};

}  // namespace

class ThreadTabListTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(dataDir_.isValid());
    InitDataDir(dataDir_.path().toStdString());
    boardDir_ = LogDir() + "/host.example/board/";
    QVERIFY(MakeDirectories(boardDir_));
    for (int key = 100; key < 107; ++key) WriteThread(key, 3);
    WriteThread(200, 120);
  }

  void init() {
    tabs_ = new QTabWidget();
    tabs_->resize(800, 600);
    list_ = new ThreadTabList();
    list_->SetTabControl(tabs_);
    AppSettings().newTabOpen = false;
    ReplaceFile(boardDir_ + "subject.ini", "");
    RemoveFile(NgRuleFile::DefaultPath());
  }

  void cleanup() {
    AppPopup().HidePopup();
    delete list_;
    delete tabs_;
  }

  // Mode 1 always opens a new tab, mode 0 reuses the active one; the caption is the title.
  void openThreadModes() {
    Open(100, kActive, "t100");
    QCOMPARE(tabs_->count(), 1);
    Open(101, kNew, "t101");
    QCOMPARE(tabs_->count(), 2);
    QCOMPARE(tabs_->currentIndex(), 1);
    Open(102, kActive, "t102");
    QCOMPARE(tabs_->count(), 2);
    QCOMPARE(tabs_->tabText(1), QString("t102"));
    QCOMPARE(list_->ActiveCaption(), std::string("t102"));
    QCOMPARE(list_->ActiveTab()->DatName(), std::string("102.dat"));
    QCOMPARE(list_->Tabs().size(), std::size_t{2});
    // The replaced thread stays reachable through the tab's history.
    QCOMPARE(list_->ActiveHistoryTitles(), (std::vector<std::string>{"t102", "t101"}));
  }

  // A thread shown under the same title is only activated, whatever the mode; another title
  // opens it again.
  void openThreadActivatesExistingTab() {
    Open(100, kNew, "t100");
    Open(101, kNew, "t101");
    ThreadTab* first = list_->TabAt(0);
    WaitLoaded(first);
    const std::string page = first->Document();
    Open(100, kNew, "t100");
    QCOMPARE(tabs_->count(), 2);
    QCOMPARE(tabs_->currentIndex(), 0);
    Open(100, kActive, "t100");
    QCOMPARE(tabs_->count(), 2);
    QCOMPARE(first->Document(), page);
    Open(100, kNew, "renamed");
    QCOMPARE(tabs_->count(), 3);
  }

  void captionsKeepAmpersands() {
    Open(100, kNew, "A&B");
    QCOMPARE(list_->ActiveCaption(), std::string("A&B"));
    QCOMPARE(tabs_->tabText(0), QString("A&&B"));
  }

  // Pages go into a new tab when asked, when the setting says so or when there is no tab, and
  // leave the tab without a thread.
  void showPage() {
    list_->ShowPage("<html>one</html>", "page", false);
    QCOMPARE(tabs_->count(), 1);
    list_->ShowPage("<html>two</html>", "page2", false);
    QCOMPARE(tabs_->count(), 1);
    QCOMPARE(list_->ActiveTab()->Document(), std::string("<html>two</html>"));
    QCOMPARE(list_->ActiveCaption(), std::string("page2"));
    list_->ShowPage("<html>three</html>", "page3", true);
    QCOMPARE(tabs_->count(), 2);
    AppSettings().newTabOpen = true;
    list_->ShowPage("<html>four</html>", "page4", false);
    QCOMPARE(tabs_->count(), 3);

    AppSettings().newTabOpen = false;
    Open(100, kActive, "t100");
    list_->ShowPage("<html>five</html>", "page5", false);
    ThreadTab* tab = list_->ActiveTab();
    QCOMPARE(tab->BoardDir(), std::string());
    QCOMPARE(tab->DatName(), std::string());
    QCOMPARE(tab->ThreadUrl(), std::string());  // a page that shows no thread has no URL
    QCOMPARE(tab->HistoryTitles(), std::vector<std::string>{"t100"});
  }

  void closeTabs() {
    for (int key = 100; key < 105; ++key) Open(key, kNew, "t" + std::to_string(key));
    list_->CloseTab(1);
    QCOMPARE(tabs_->count(), 4);
    QCOMPARE(list_->Tabs().size(), std::size_t{4});
    QCOMPARE(tabs_->tabText(1), QString("t102"));
    list_->CloseTab(7);
    QCOMPARE(tabs_->count(), 4);
    list_->CloseOtherTabs(2);
    QCOMPARE(tabs_->count(), 1);
    QCOMPARE(tabs_->tabText(0), QString("t103"));
    QCOMPARE(list_->Tabs().size(), std::size_t{1});
    Open(104, kNew, "t104");
    list_->CloseAllTabs();
    QCOMPARE(tabs_->count(), 0);
    QVERIFY(list_->Tabs().empty());
    QVERIFY(list_->ActiveTab() == nullptr);
    // Without a tab the commands do nothing: no file changes, no tab opens.
    QCOMPARE(list_->ActiveThreadUrl(), std::string());
    QVERIFY(list_->ActiveHistoryTitles().empty());
    WriteIni("[104.dat]\r\nUnread=2\r\n\r\n");
    list_->SetActiveBookmark();
    list_->DeleteActiveThreadLog();
    list_->OpenActiveHistoryEntry(0);
    list_->FocusActiveTab();
    QCOMPARE(*ReadWholeFile(boardDir_ + "subject.ini"),
             std::string("[104.dat]\r\nUnread=2\r\n\r\n"));
    QVERIFY(FileExists(boardDir_ + "104.dat"));
    QCOMPARE(tabs_->count(), 0);
  }

  // Six threads in one tab leave the last five, newest first; showing one again moves it to the
  // front without a duplicate.
  void historyKeepsFiveNewestFirst() {
    for (int key = 100; key < 106; ++key) Open(key, kActive, "t" + std::to_string(key));
    QCOMPARE(list_->ActiveHistoryTitles(),
             (std::vector<std::string>{"t105", "t104", "t103", "t102", "t101"}));
    Open(102, kActive, "t102");
    QCOMPARE(list_->ActiveHistoryTitles(),
             (std::vector<std::string>{"t102", "t105", "t104", "t103", "t101"}));
    QCOMPARE(list_->ActiveTab()->HistoryPaths(),
             (std::vector<std::string>{boardDir_ + "102.dat", boardDir_ + "105.dat",
                                       boardDir_ + "104.dat", boardDir_ + "103.dat",
                                       boardDir_ + "101.dat"}));
  }

  // A history entry reopens its thread with the stored reading position and moves to the front.
  void historyEntryReopensWithStoredUnread() {
    Open(100, kActive, "t100");
    Open(101, kActive, "t101");
    WriteIni("[100.dat]\r\nUnread=3\r\n\r\n");
    list_->OpenActiveHistoryEntry(1);
    ThreadTab* tab = list_->ActiveTab();
    QCOMPARE(tab->DatName(), std::string("100.dat"));
    QCOMPARE(tab->FirstUnread(), 3);
    QCOMPARE(list_->ActiveCaption(), std::string("t100"));
    QCOMPARE(tabs_->tabText(0), QString("t100"));
    QCOMPARE(list_->ActiveHistoryTitles(), (std::vector<std::string>{"t100", "t101"}));
    list_->OpenActiveHistoryEntry(5);
    QCOMPARE(tab->DatName(), std::string("100.dat"));
  }

  void threadUrlForm() {
    Open(100, kActive, "t100");
    QCOMPARE(list_->ActiveThreadUrl(), std::string("http://host.example/test/read.cgi/board/100"));
  }

  // "ここまで読んだ" on reply 120 stores 120 and draws the marker between 119 and 120.
  void bookmarkWritesUnreadToSubjectIni() {
    WriteIni("[200.dat]\r\nTitle=big\r\nUnread=121\r\nGotCount=120\r\n\r\n");
    Open(200, kActive, "big", 121);
    ThreadTab* tab = list_->ActiveTab();
    QSignalSpy changed(list_, &ThreadTabList::ThreadStateChanged);
    tab->SetMenuReplyNumber(120);
    list_->SetActiveBookmark();
    IniDocument ini;
    QVERIFY(ini.Load(boardDir_ + "subject.ini"));
    QCOMPARE(ini.ReadInteger("200.dat", "Unread", 0), 120LL);
    QCOMPARE(ini.ReadString("200.dat", "Title", ""), std::string("big"));
    QCOMPARE(tab->FirstUnread(), 120);
    const std::string& page = tab->Document();
    const auto marker = page.find("<a name=\"midoku\">");
    QVERIFY(marker != std::string::npos);
    QVERIFY(page.find("<a name=\"a119\">") < marker);
    QVERIFY(page.find("<a name=\"a120\">") > marker);
    QCOMPARE(changed.count(), 1);
  }

  // With the board shown in the thread list, the bookmark goes through the list so its state and
  // later writes keep the value.
  void bookmarkGoesThroughShownThreadList() {
    WriteIni("[200.dat]\r\nTitle=big\r\nUnread=121\r\nGotCount=120\r\n\r\n");
    SubjectList subjects;
    QVERIFY(subjects.Bind(boardDir_ + "subject.ini"));
    list_->SetShownSubjects([&subjects] { return &subjects; });
    Open(200, kActive, "big", 121);
    list_->ActiveTab()->SetMenuReplyNumber(7);
    list_->SetActiveBookmark();
    QCOMPARE(subjects.UnreadOf("200.dat"), 7);
    IniDocument ini;
    QVERIFY(ini.Load(boardDir_ + "subject.ini"));
    QCOMPARE(ini.ReadInteger("200.dat", "Unread", 0), 7LL);
    list_->SetShownSubjects({});
  }

  // Deleting the log leaves the page and makes the thread read as never fetched.
  void deleteThreadLog() {
    WriteThread(150, 4);
    WriteIni(
        "[150.dat]\r\nTitle=x\r\nGotCount=4\r\nUnread=3\r\nLastModified= Mon\r\nDatSize=99\r\n"
        "\r\n");
    Open(150, kActive, "x", 3);
    ThreadTab* tab = list_->ActiveTab();
    const std::string page = tab->Document();
    list_->DeleteActiveThreadLog();
    QVERIFY(!FileExists(boardDir_ + "150.dat"));
    IniDocument ini;
    QVERIFY(ini.Load(boardDir_ + "subject.ini"));
    QCOMPARE(ini.ReadInteger("150.dat", "GotCount", -1), 0LL);
    QCOMPARE(ini.ReadInteger("150.dat", "Unread", -1), 1LL);
    QCOMPARE(ini.ReadString("150.dat", "LastModified", "?"), std::string());
    QCOMPARE(ini.ReadInteger("150.dat", "DatSize", -1), 0LL);
    QCOMPARE(ini.ReadString("150.dat", "Title", ""), std::string("x"));
    QCOMPARE(tab->Document(), page);
  }

  // Outside the shown thread list the tab writes the board's subject.ini itself: the other
  // sections and keys stay, the reset keys follow in their order, and a bookmark of 0 is stored
  // as it is.
  void directWritesKeepTheFileLayout() {
    WriteThread(150, 4);
    WriteIni("[140.dat]\r\nTitle=a\r\n\r\n[150.dat]\r\nTitle=x\r\n\r\n");
    Open(150, kActive, "x", 3);
    list_->DeleteActiveThreadLog();
    QCOMPARE(*ReadWholeFile(boardDir_ + "subject.ini"),
             std::string("[140.dat]\r\nTitle=a\r\n\r\n[150.dat]\r\nTitle=x\r\nGotCount=0\r\n"
                         "Unread=1\r\nLastModified=\r\nDatSize=0\r\n\r\n"));
    list_->ActiveTab()->SetMenuReplyNumber(0);
    list_->SetActiveBookmark();
    QCOMPARE(*ReadWholeFile(boardDir_ + "subject.ini"),
             std::string("[140.dat]\r\nTitle=a\r\n\r\n[150.dat]\r\nTitle=x\r\nGotCount=0\r\n"
                         "Unread=0\r\nLastModified=\r\nDatSize=0\r\n\r\n"));
  }

  // A subject.ini that exists but cannot be read is left alone rather than replaced. (A link to
  // /proc/self/mem opens as a regular file whose first read fails, whoever runs the test.)
  void unreadableSubjectIniIsNotReplaced() {
    Open(100, kActive, "t100");
    const QString path = QString::fromStdString(boardDir_ + "subject.ini");
    QFile::remove(path);
    QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), path));
    QVERIFY(!ReadWholeFile(path.toStdString()).has_value());
    list_->ActiveTab()->SetMenuReplyNumber(2);
    list_->SetActiveBookmark();
    QCOMPARE(QFileInfo(path).symLinkTarget(), QStringLiteral("/proc/self/mem"));
  }

  // The page shows 50 read replies; a jump to an omitted one shows every reply and keeps all of
  // them shown.
  void jumpToOmittedReplyRendersAll() {
    Open(200, kActive, "big", 121);
    ThreadTab* tab = list_->ActiveTab();
    QCOMPARE(tab->OldShown(), 50);
    QVERIFY(tab->Document().find("<a name=\"a3\">") == std::string::npos);
    WaitLoaded(tab);
    tab->LinkFollowed("about:blank#a3");
    QTRY_COMPARE(tab->OldShown(), 0);
    QVERIFY(tab->Document().find("<a name=\"a3\">") != std::string::npos);
    WaitLoaded(tab);
  }

  // A click on a shown reply anchor scrolls without drawing the page again.
  void jumpToShownReplyKeepsPage() {
    Open(200, kActive, "big", 121);
    ThreadTab* tab = list_->ActiveTab();
    WaitLoaded(tab);
    int result = -2;
    tab->ScrollToAnchor("a100", [&result](int r) { result = r; });
    QTRY_COMPARE(result, 1);
    result = -2;
    tab->ScrollToAnchor("a5", [&result](int r) { result = r; });
    QTRY_COMPARE(result, 0);
    result = -2;
    tab->ScrollToAnchor("a110", [&result](int r) { result = r; });
    QTRY_COMPARE(result, 1);
    const std::string page = tab->Document();
    // Where reply 80's anchor is, against the top of the window (offset by 1000: a null point
    // means no answer).
    const QString where =
        "(function () { var a = document.anchors['a80'];"
        " return a ? [1000 + Math.round(a.getBoundingClientRect().top), 1] : null; })()";
    QVERIFY(PointFromScript(tab, where).x() != 1000);
    tab->LinkFollowed("about:blank#a80");
    QTRY_COMPARE(PointFromScript(tab, where).x(), 1000);
    QCOMPARE(tab->OldShown(), 50);
    QCOMPARE(tab->Document(), page);
  }

  void showAllLink() {
    Open(200, kActive, "big", 121);
    ThreadTab* tab = list_->ActiveTab();
    tab->LinkFollowed("about:blank#all");
    QCOMPARE(tab->OldShown(), 0);
    QVERIFY(tab->Document().find("<a name=\"a2\">") != std::string::npos);
  }

  // A reply number link remembers the number for the bookmark; a non-number gives 0.
  void menuLinkSetsMenuReplyNumber() {
    Open(200, kActive, "big", 121);
    ThreadTab* tab = list_->ActiveTab();
    tab->LinkFollowed("menu:42");
    QCOMPARE(tab->MenuReplyNumber(), 42);
    QVERIFY(list_->ReplyMenu()->isVisible());
    QCOMPARE(list_->ReplyMenu()->objectName(), QString("iePM"));
    QCOMPARE(list_->ReplyMenu()->actions().at(0)->text(), QString::fromUtf8("ここまで読んだ"));
    list_->ReplyMenu()->hide();
    tab->LinkFollowed("menu:x");
    QCOMPARE(tab->MenuReplyNumber(), 0);
    list_->ReplyMenu()->hide();
  }

  // A link to a stored thread opens it in a new tab with its stored title and reading position.
  void linkToStoredThreadOpensNewTab() {
    WriteIni("[101.dat]\r\nTitle=" + test_S("他のスレ") + "\r\nUnread=2\r\n\r\n");
    Open(100, kActive, "t100");
    list_->ActiveTab()->LinkFollowed("http://host.example/test/read.cgi/board/101/2");
    QCOMPARE(tabs_->count(), 2);
    ThreadTab* tab = list_->ActiveTab();
    QCOMPARE(tab->DatName(), std::string("101.dat"));
    QCOMPARE(tab->FirstUnread(), 2);
    QCOMPARE(tabs_->tabText(1), QString::fromUtf8("他のスレ"));
  }

  // Clicks in the page reach the tab in the "about:blank#" form: the show-all link, a reply
  // number, and a link to another stored thread, which opens in a new tab.
  void clicksInThePage() {
    QVERIFY(ReplaceFile(boardDir_ + "300.dat",
                        "a<><>d<>see http://host.example/test/read.cgi/board/101/ now<>t\n"));
    Open(300, kActive, "t300");
    ThreadTab* tab = list_->ActiveTab();
    WaitLoaded(tab);
    QSignalSpy followed(tab->View(), &ThreadView::LinkFollowed);
    Click(tab, "a[href=\"#all\"]");
    QTRY_COMPARE(followed.count(), 1);
    QCOMPARE(followed.at(0).at(0).toString(), QString("about:blank#all"));
    WaitLoaded(tab);
    Click(tab, "a[href=\"menu:1\"]");
    QTRY_COMPARE(followed.count(), 2);
    QCOMPARE(followed.at(1).at(0).toString(), QString("menu:1"));
    QCOMPARE(tab->MenuReplyNumber(), 1);
    list_->ReplyMenu()->hide();
    const QUrl before = tab->View()->page()->url();
    Click(tab, "a[href^=\"http:\"]");
    QTRY_COMPARE(tabs_->count(), 2);
    QCOMPARE(list_->ActiveTab()->DatName(), std::string("101.dat"));
    // The first page stays what it was: the browser never navigated away.
    QCOMPARE(tab->View()->page()->url(), before);
  }

  // A page cannot make the view load anything from outside the program.
  void remoteLoadsAreBlocked() {
    LoopbackListener server;
    QVERIFY(server.port != 0);
    const std::string base = "https://127.0.0.1:" + std::to_string(server.port);
    list_->ShowPage("<html><head><link rel=\"stylesheet\" href=\"" + base +
                        "/a.css\"></head><body><iframe src=\"" + base +
                        "/b.html\"></iframe><img src=\"" + base + "/c.png\"></body></html>",
                    "remote", true);
    WaitLoaded(list_->ActiveTab());
    QTest::qWait(300);
    QVERIFY(!server.HasConnection());
  }

  // A right-click on selected reply numbers shows their pop-up instead of the context menu.
  void rightClickOnSelectedNumbers() {
    QVERIFY(ReplaceFile(boardDir_ + "400.dat",
                        Sjis("a<><>d<>first<>t\nb<><>d<>see <b>１－２</b> here<>\n")));
    Open(400, kActive, "t400");
    ThreadTab* tab = list_->ActiveTab();
    tabs_->show();
    QVERIFY(QTest::qWaitForWindowExposed(tabs_));
    WaitLoaded(tab);
    const QPoint at = PointFromScript(tab,
                                      "(function () { var all = document.getElementsByTagName('b');"
                                      " var b = all[all.length - 1];"
                                      " window.getSelection().selectAllChildren(b);"
                                      " var r = b.getBoundingClientRect();"
                                      " return [r.left + r.width / 2, r.top + r.height / 2]; })()");
    QVERIFY(!at.isNull());
    QTRY_COMPARE(tab->View()->selectedText(), QString::fromUtf8("１－２"));
    QWidget* surface = tab->View()->focusProxy();
    QVERIFY(surface != nullptr);
    QTest::mousePress(surface, Qt::RightButton, {}, at);
    QTest::mouseRelease(surface, Qt::RightButton, {}, at);
    QTRY_VERIFY(AppPopup().isVisible());
    QVERIFY(AppPopup().Text().startsWith(QString::fromUtf8("1 名前：a")));
    QVERIFY(AppPopup().Text().contains(QString::fromUtf8("2 名前：b")));
    AppPopup().HidePopup();
  }

  // Resting the mouse on a reply anchor shows that reply; moving off the link hides it.
  void hoverOverReplyAnchor() {
    QVERIFY(ReplaceFile(boardDir_ + "401.dat", "a<><>d<>first<>t\nb<><>d<>&gt;&gt;1 said<>\n"));
    Open(401, kActive, "t401");
    ThreadTab* tab = list_->ActiveTab();
    tabs_->show();
    QVERIFY(QTest::qWaitForWindowExposed(tabs_));
    WaitLoaded(tab);
    const QPoint at = HoverUntil(
        tab,
        "(function () { var r = document.querySelector('a[href^=\"#a1\"]').getBoundingClientRect();"
        " return [r.left + r.width / 2, r.top + r.height / 2]; })()",
        [] { return AppPopup().isVisible(); });
    QVERIFY(!at.isNull());
    QVERIFY(AppPopup().Text().startsWith(QString::fromUtf8("1 名前：a メール： 投稿日：d\nfirst")));
    QTest::mouseMove(tab->View()->focusProxy(), QPoint(at.x(), at.y() + 200));
    QTRY_VERIFY(!AppPopup().isVisible());
  }

  // Anchors inside a pop-up open further pop-ups up to the depth limit; moving back closes the
  // deeper ones, leaving the chain closes it, and a click pins a pop-up against both.
  void nestedPopupsFollowTheMouse() {
    std::string log = "r1<><>d<>first<>t\n";
    for (int k = 2; k <= 11; ++k) {
      log += "r" + std::to_string(k) + "<><>d<>&gt;&gt;" + std::to_string(k - 1) + "<br>says<>\n";
    }
    QVERIFY(ReplaceFile(boardDir_ + "402.dat", log));
    Open(402, kActive, "t402");
    ThreadTab* tab = list_->ActiveTab();
    // The pop-ups open upwards, above the window, so the pointer always finds them on top.
    tabs_->setGeometry(0, 420, 600, 170);
    tabs_->show();
    QVERIFY(QTest::qWaitForWindowExposed(tabs_));
    WaitLoaded(tab);
    const QString link =
        "(function () { var a = document.querySelector('a[href=\"#a10\"]');"
        " a.scrollIntoView(); var r = a.getBoundingClientRect();"
        " return [r.left + r.width / 2, r.top + r.height / 2]; })()";
    PopupWindow& root = AppPopup();
    QVERIFY(!HoverUntil(tab, link, [&root] { return root.isVisible(); }).isNull());
    QWidget* surface = tab->View()->focusProxy();
    QVERIFY(root.Text().startsWith(QString::fromUtf8("10 名前：r10")));
    // From the page's link up into the pop-up, then along the chain of anchors.
    std::vector<PopupWindow*> chain{&root};
    for (int depth = 1; depth <= PopupWindow::kMaxDepth; ++depth) {
      PopupWindow* popup = chain.back();
      QCOMPARE(popup->Depth(), depth);
      QCOMPARE(popup->Anchors().size(), std::size_t{1});
      QCOMPARE(popup->Anchors()[0].spec, std::to_string(10 - depth));
      QTest::mouseMove(popup, popup->Anchors()[0].rect.center());
      if (depth == PopupWindow::kMaxDepth) break;
      QTRY_VERIFY(popup->Child() != nullptr);
      chain.push_back(popup->Child());
      QVERIFY2(chain.back()->Text().startsWith(QString::number(10 - depth) +
                                               QString::fromUtf8(" 名前：")),
               qPrintable(chain.back()->Text()));
      QVERIFY(chain.back()->geometry().top() <
              popup->mapToGlobal(popup->Anchors()[0].rect.center()).y());
    }
    QTest::qWait(50);
    QVERIFY(chain.back()->Child() == nullptr);
    QCOMPARE(chain.size(), std::size_t{PopupWindow::kMaxDepth});
    // Back onto the second pop-up beside its anchor: the deeper ones close, the first two stay.
    const QRect second = chain[1]->Anchors()[0].rect;
    QTest::mouseMove(chain[1], QPoint(second.right() + 12, second.center().y()));
    QTRY_VERIFY(chain[1]->Child() == nullptr);
    QVERIFY(!chain[2]->isVisible());
    QVERIFY(chain[1]->isVisible());
    // Into the third again, and pin it with a click: the mouse may now go anywhere.
    QTest::mouseMove(chain[1], chain[1]->Anchors()[0].rect.center());
    QTRY_VERIFY(chain[1]->Child() != nullptr);
    PopupWindow* third = chain[1]->Child();
    QTest::mouseClick(third, Qt::LeftButton, {}, QPoint(3, 3));
    QVERIFY(third->IsPinned() && root.IsPinned());
    QTest::mouseMove(surface, QPoint(5, 150));
    tab->LinkHovered("");
    QTest::qWait(PopupWindow::kLeaveGraceMs + 200);
    QVERIFY(root.isVisible() && third->isVisible());
    tab->LinkHovered("about:blank#a3");
    QVERIFY(root.Text().startsWith(QString::fromUtf8("10 名前：r10")));
    // A click on the pinned pop-up closes it; once unpinned, leaving the chain closes all.
    QTest::mouseClick(third, Qt::LeftButton, {}, QPoint(3, 3));
    QVERIFY(!third->isVisible());
    QTest::mouseClick(&root, Qt::LeftButton, {}, QPoint(3, 3));
    QVERIFY(!root.isVisible());
    QVERIFY(!HoverUntil(tab, link, [&root] { return root.isVisible(); }).isNull());
    QTest::mouseMove(&root, root.Anchors()[0].rect.center());
    QTRY_VERIFY(root.Child() != nullptr);
    QTest::mouseMove(surface, QPoint(5, 150));
    QTRY_VERIFY(!root.isVisible());
    QVERIFY(root.Child() == nullptr);
  }

  // Answer counts and IDs are added to the loaded page, not to its bytes; hovering them pops up
  // the replies they count.
  void answersAndIdsDecorateThePage() {
    AppSettings().heavyPosterThreshold = 3;
    QVERIFY(ReplaceFile(boardDir_ + "403.dat", Sjis("a<><>d ID:Heavy1<>first<>t\n"
                                                    "b<><>d ID:Heavy1<>&gt;&gt;1 ok<>\n"
                                                    "c<><>d ID:Solo<>＞＞１－２<>\n"
                                                    "d<><>d ID:Heavy1<>&gt;&gt;3<>\n")));
    Open(403, kActive, "t403");
    ThreadTab* tab = list_->ActiveTab();
    tabs_->setGeometry(0, 300, 600, 290);
    tabs_->show();
    QVERIFY(QTest::qWaitForWindowExposed(tabs_));
    WaitLoaded(tab);
    ReplyList replies;
    QVERIFY(LoadReplies(replies, boardDir_ + "403.dat"));
    QCOMPARE(tab->Document(), RenderPage(replies, "t403", 1, ThreadTab::kOldShown));
    const QString marks =
        "(function () { var out = [];"
        " document.querySelectorAll('[data-velkor-kind]').forEach(function (n) {"
        "   out.push(n.getAttribute('data-velkor-reply') + ' ' + n.textContent +"
        "            (n.style.color ? ' heavy' : '')); });"
        " return out.join('|'); })()";
    QTRY_COMPARE(ScriptResult(tab, marks).toString(),
                 QString::fromUtf8("1 (2)|1 ID:Heavy1 (1/3) heavy|2 (1)|2 ID:Heavy1 (2/3) heavy|"
                                   "3 (1)|3 ID:Solo (1/1)|4 ID:Heavy1 (3/3) heavy"));
    QVERIFY(!HoverUntil(tab,
                        "(function () { var r = document.querySelector("
                        "'[data-velkor-kind=\"answers\"]').getBoundingClientRect();"
                        " return [r.left + r.width / 2, r.top + r.height / 2]; })()",
                        [] { return AppPopup().isVisible(); })
                 .isNull());
    QVERIFY2(AppPopup().Text().startsWith(QString::fromUtf8("2 名前：b")),
             qPrintable(AppPopup().Text()));
    QVERIFY(AppPopup().Text().contains(QString::fromUtf8("3 名前：c")));
    QVERIFY(!AppPopup().Text().contains(QString::fromUtf8("4 名前：d")));
    // The ID of reply 4 pops up every post of that ID.
    const QPoint id =
        HoverUntil(tab,
                   "(function () { var r = document.querySelector('[data-velkor-kind=\"id\"]"
                   "[data-velkor-reply=\"4\"]').getBoundingClientRect();"
                   " return [r.left + r.width / 2, r.top + r.height / 2]; })()",
                   [] { return AppPopup().Text().startsWith(QString::fromUtf8("1 名前：a")); });
    QVERIFY(!id.isNull());
    QVERIFY(AppPopup().Text().contains(QString::fromUtf8("2 名前：b")));
    QVERIFY(!AppPopup().Text().contains(QString::fromUtf8("3 名前：c")));
    QVERIFY(AppPopup().Text().contains(QString::fromUtf8("4 名前：d")));
    QTest::mouseMove(tab->View()->focusProxy(), QPoint(id.x(), id.y() + 120));
    QTRY_VERIFY(!AppPopup().isVisible());
    AppSettings().heavyPosterThreshold = 5;
  }

  // A rule added or removed redraws an open thread at once; without rules the page is the plain
  // rendering again.
  void ruleChangeRedrawsOpenTabs() {
    QVERIFY(ReplaceFile(boardDir_ + "404.dat",
                        "a<><>d ID:X1<>first<>t\nb<><>d ID:Y2<>buy spam now<>\n"
                        "c<><>d ID:Z3<>&gt;&gt;2 no<>\n"));
    Open(404, kActive, "t404");
    ThreadTab* tab = list_->ActiveTab();
    WaitLoaded(tab);
    const std::string plain = tab->Document();
    // A board rule added through the dialog, hiding the reply and the one answering it.
    TNgForm form("host.example/board");
    form.kindCB->setCurrentIndex(0);
    form.patternEdit->setText("spam");
    form.boardOnlyCB->setChecked(true);
    form.hiddenCB->setChecked(true);
    form.chainCB->setChecked(true);
    QTest::mouseClick(form.addButton, Qt::LeftButton);
    QCOMPARE(form.ruleLV->topLevelItemCount(), 1);
    QCOMPARE(form.ruleLV->topLevelItem(0)->text(3), QString("host.example/board"));
    QCOMPARE(form.ruleLV->topLevelItem(0)->text(4), QString("hidden+chain"));
    QVERIFY(tab->Document().find("buy spam") == std::string::npos);
    QCOMPARE(tab->ShownReplies().Message(3), AboneText());
    WaitLoaded(tab);
    QTRY_COMPARE(ScriptResult(tab,
                              "document.body.innerText.indexOf('spam') < 0 &&"
                              " document.body.innerText.indexOf('>>2') < 0 &&"
                              " document.body.innerText.indexOf('first') >= 0"
                              " ? 'gone' : 'shown'")
                     .toString(),
                 QString("gone"));
    // Pop-ups leave the hidden replies out too.
    tab->LinkHovered("about:blank#a1-3");
    QVERIFY(AppPopup().Text().startsWith(QString::fromUtf8("1 名前：a")));
    QVERIFY(!AppPopup().Text().contains(QString::fromUtf8("名前：b")));
    AppPopup().HidePopup();
    form.ruleLV->setCurrentItem(form.ruleLV->topLevelItem(0));
    QTest::mouseClick(form.removeButton, Qt::LeftButton);
    QCOMPARE(form.ruleLV->topLevelItemCount(), 0);
    QCOMPARE(tab->Document(), plain);
  }

  // A regular expression that backtracks without end is refused by the dialog; one already in
  // ng.txt is switched off for the thread and named in the status bar, and the page is shown.
  void costlyRegexRulesAreRefusedOrSwitchedOff() {
    std::string log;
    for (int k = 0; k < 300; ++k) log += "n<><>d<>" + std::string(40, 'a') + "!<>\n";
    QVERIFY(ReplaceFile(boardDir_ + "406.dat", log));
    test::PresetDialogs dialogs;
    TNgForm form("host.example/board");
    form.kindCB->setCurrentIndex(4);
    form.patternEdit->setText("(a+)+$");
    QTest::mouseClick(form.addButton, Qt::LeftButton);
    QCOMPARE(
        dialogs.asked,
        QStringList("message|" + QString::fromUtf8("NG設定") + "|" +
                    QString::fromUtf8("エラー:この正規表現は重すぎるためNGルールにできません.")));
    QCOMPARE(form.ruleLV->topLevelItemCount(), 0);

    QVERIFY(ReplaceFile(NgRuleFile::DefaultPath(), "regex\t(a+)+$\r\n"));
    StatusRecorder status;
    Open(406, kActive, "t406");
    QVERIFY(std::find(status.texts.begin(), status.texts.end(),
                      Sjis("警告:重すぎるNGルールをこのスレでは止めました: regex (a+)+$")) !=
            status.texts.end());
    QVERIFY(list_->ActiveTab()->Document().find("<a name=\"a300\">") != std::string::npos);
  }

  // The context menu's NG entries add rules for the selection or for the reply clicked.
  void contextMenuAddsNgRules() {
    QVERIFY(ReplaceFile(boardDir_ + "405.dat",
                        Sjis("a<><>d ID:AbC1<>first<>t\n名無し<><>d ID:XyZ9<>second reply<>\n")));
    Open(405, kActive, "t405");
    ThreadTab* tab = list_->ActiveTab();
    tabs_->show();
    QVERIFY(QTest::qWaitForWindowExposed(tabs_));
    WaitLoaded(tab);
    const QPoint second = PointFromScript(
        tab,
        "(function () { var r = document.querySelector('a[href=\"menu:2\"]')"
        ".getBoundingClientRect(); return [r.left + 40, r.top + r.height / 2]; })()");
    QVERIFY(!second.isNull());
    TriggerMenuEntry(tab, second, "ngIdMI");
    QTRY_VERIFY(ReadNgList().contains("id\tXyZ9\thost.example/board\tabone"));
    QTRY_VERIFY(tab->Document().find("XyZ9") == std::string::npos);
    WaitLoaded(tab);
    TriggerMenuEntry(tab, second, "ngNameMI");
    QTRY_VERIFY(ReadNgList().contains(QString::fromUtf8("name\t名無し\tglobal\tabone")));
    WaitLoaded(tab);
    // A selection is taken as it is for a word.
    const QPoint selected = PointFromScript(
        tab,
        "(function () { var range = document.createRange();"
        " var text = document.evaluate(\"//text()[contains(., 'first')]\", document, null,"
        " XPathResult.FIRST_ORDERED_NODE_TYPE, null).singleNodeValue;"
        " range.setStart(text, text.data.indexOf('first'));"
        " range.setEnd(text, text.data.indexOf('first') + 5);"
        " window.getSelection().removeAllRanges(); window.getSelection().addRange(range);"
        " var r = range.getBoundingClientRect();"
        " return [r.left + r.width / 2, r.top + r.height / 2]; })()");
    QVERIFY(!selected.isNull());
    QTRY_COMPARE(tab->View()->selectedText(), QString("first"));
    TriggerMenuEntry(tab, selected, "ngWordMI");
    QVERIFY(ReadNgList().contains("word\tfirst\tglobal\tabone"));
  }

  // The page's menu is the program's: its entries follow what lies under the pointer, and those
  // that cannot act there are disabled (or, for これにレス without a reply window, hidden).
  void pageMenuFollowsTheClick() {
    QVERIFY(ReplaceFile(boardDir_ + "406.dat",
                        "a<><>d ID:AbC1<>first &gt;&gt;2<>t\nb<><>d<>second reply<>\n"));
    Open(406, kActive, "t406");
    ThreadTab* tab = list_->ActiveTab();
    tabs_->show();
    QVERIFY(QTest::qWaitForWindowExposed(tabs_));
    WaitLoaded(tab);
    const auto enabled = [](QMenu* menu) {
      QStringList names;
      for (QAction* item : menu->actions()) {
        if (!item->isSeparator() && item->isVisible() && item->isEnabled()) {
          names << item->objectName();
        }
      }
      return names.join(' ');
    };
    const auto rightClick = [tab](QPoint at) {
      QTest::mouseClick(tab->View()->focusProxy(), Qt::RightButton, {}, at);
      QMenu* menu = nullptr;
      if (!QTest::qWaitFor(
              [&menu] { return (menu = qobject_cast<QMenu*>(FindTopLevel("threadViewPM"))); },
              5000)) {
        return static_cast<QMenu*>(nullptr);
      }
      return menu;
    };

    QMenu* menu = rightClick(QPoint(20, tab->View()->height() - 10));  // below the replies
    QVERIFY(menu != nullptr);
    QCOMPARE(enabled(menu), QString("ngEditMI selectAllMI findMI reloadMI"));
    QVERIFY(!menu->findChild<QAction*>("replyToMI")->isVisible());
    menu->close();
    QTRY_VERIFY(FindTopLevel("threadViewPM") == nullptr);

    const QPoint second = PointFromScript(
        tab,
        "(function () { var r = document.querySelectorAll('dd')[1].getBoundingClientRect();"
        " return [r.left + 20, r.top + r.height / 2]; })()");
    QVERIFY(!second.isNull());
    menu = rightClick(second);  // a reply without an ID
    QVERIFY(menu != nullptr);
    QCOMPARE(enabled(menu), QString("ngNameMI ngEditMI selectAllMI findMI reloadMI"));
    menu->close();
    QTRY_VERIFY(FindTopLevel("threadViewPM") == nullptr);

    // On a reply link: it can be followed and copied as the thread's address, not opened outside.
    QSignalSpy replies(&ThreadPageCommands(), &PageCommands::ReplyRequested);
    const QPoint link = PointFromScript(
        tab,
        "(function () { var r = document.querySelector('a[href^=\"#a2\"]')"
        ".getBoundingClientRect(); return [r.left + 3, r.top + r.height / 2]; })()");
    QVERIFY(!link.isNull());
    menu = rightClick(link);
    QVERIFY(menu != nullptr);
    QCOMPARE(enabled(menu), QString("openLinkMI copyLinkMI replyToMI ngNameMI ngIdMI ngEditMI "
                                    "selectAllMI findMI reloadMI"));
    menu->findChild<QAction*>("copyLinkMI")->trigger();
    QCOMPARE(QApplication::clipboard()->text(),
             QString("http://host.example/test/read.cgi/board/406/2"));
    menu->findChild<QAction*>("replyToMI")->trigger();
    QCOMPARE(replies.count(), 1);
    QCOMPARE(replies.at(0).at(2).toInt(), 1);
    QCOMPARE(replies.at(0).at(1).toString(), QString("406.dat"));
    menu->close();
    QTRY_VERIFY(FindTopLevel("threadViewPM") == nullptr);

    // On a selection: copied, searched in the logs, and the words of an NG rule.
    QSignalSpy searches(&ThreadPageCommands(), &PageCommands::LogSearchRequested);
    const QPoint selected = PointFromScript(
        tab,
        "(function () { var range = document.createRange();"
        " var text = document.evaluate(\"//text()[contains(., 'second')]\", document, null,"
        " XPathResult.FIRST_ORDERED_NODE_TYPE, null).singleNodeValue;"
        " range.setStart(text, text.data.indexOf('second'));"
        " range.setEnd(text, text.data.indexOf('second') + 6);"
        " window.getSelection().removeAllRanges(); window.getSelection().addRange(range);"
        " var r = range.getBoundingClientRect();"
        " return [r.left + r.width / 2, r.top + r.height / 2]; })()");
    QVERIFY(!selected.isNull());
    QTRY_COMPARE(tab->View()->selectedText(), QString("second"));
    menu = rightClick(selected);
    QVERIFY(menu != nullptr);
    QCOMPARE(enabled(menu), QString("copyMI searchSelectionMI replyToMI ngWordMI ngNameMI ngIdMI "
                                    "ngEditMI selectAllMI findMI reloadMI"));
    menu->findChild<QAction*>("copyMI")->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QString("second"));
    menu->findChild<QAction*>("searchSelectionMI")->trigger();
    QCOMPARE(searches.count(), 1);
    QCOMPARE(searches.at(0).at(0).toString(), QString("second"));
    menu->close();
  }

  // A pop-up belongs to the page it came from: another tab, another thread in the tab and Esc
  // close it, pinned or not.
  void pinnedPopupsGoWithTheirPage() {
    Open(100, kActive, "t100");
    Open(101, kNew, "t101");
    tabs_->show();
    QVERIFY(QTest::qWaitForWindowExposed(tabs_));
    const auto pin = [this] {
      list_->ActiveTab()->LinkHovered("about:blank#a1");
      QVERIFY(AppPopup().isVisible());
      QTest::mouseClick(&AppPopup(), Qt::LeftButton, {}, QPoint(3, 3));
      QVERIFY(AppPopup().IsPinned());
    };
    pin();
    tabs_->setCurrentIndex(0);
    QVERIFY(!AppPopup().isVisible());
    pin();
    Open(102, kActive, "t102");
    QVERIFY(!AppPopup().isVisible());
    pin();
    QTest::keyClick(list_->ActiveTab()->View()->focusProxy(), Qt::Key_Escape);
    QVERIFY(!AppPopup().isVisible());
  }

  // The pop-up text keeps the message's references; the window shows them as the page does.
  void popupShowsReferencesAsThePageDoes() {
    QVERIFY(ReplaceFile(boardDir_ + "407.dat",
                        "a<><>d<>fish &amp; chips &#x1F600; &#65;&lt;&amp;lt;<>t\n"));
    Open(407, kActive, "t407");
    list_->ActiveTab()->LinkHovered("about:blank#a1");
    QVERIFY2(AppPopup().Text().contains(QString::fromUtf8("fish & chips 😀 A<&lt;")),
             qPrintable(AppPopup().Text()));
    AppPopup().HidePopup();
  }

  // A rule that hides replies above the place being read leaves the reply at the top of the view
  // where it was.
  void ruleChangeKeepsTheReplyBeingRead() {
    std::string log;
    for (int k = 1; k <= 120; ++k) {
      log += "n<><>d<>" + std::string(k < 60 ? "spam " : "ham ") + std::to_string(k) +
             "<br>line<br>line<>\n";
    }
    QVERIFY(ReplaceFile(boardDir_ + "408.dat", log));
    Open(408, kActive, "t408");
    ThreadTab* tab = list_->ActiveTab();
    tabs_->show();
    QVERIFY(QTest::qWaitForWindowExposed(tabs_));
    WaitLoaded(tab);
    tab->JumpTo("a80");
    const auto replyAtTop = [tab] {
      int reply = -1;
      tab->View()->ReplyAt(QPoint(20, 8), [&reply](int r) { reply = r; });
      return QTest::qWaitFor([&reply] { return reply >= 0; }, 5000) ? reply : -1;
    };
    QTRY_COMPARE(replyAtTop(), 80);
    NgRule rule;
    rule.pattern = "spam";
    rule.hidden = true;
    QVERIFY(AddNgRule(rule).IsOk());
    WaitLoaded(tab);
    QTRY_VERIFY(tab->Document().find("spam") == std::string::npos);
    QTest::qWait(200);
    QCOMPARE(replyAtTop(), 80);
  }

  void viewAndPopup() {
    Open(200, kActive, "big", 121);
    WaitLoaded(list_->ActiveTab());
    tabs_->show();
    QTest::qWait(300);
    const QString out = qEnvironmentVariable("VELKOR_SCREENSHOT");
    if (!out.isEmpty()) tabs_->grab().save(out);
    // Resting on a reply anchor shows that reply in the pop-up; leaving the link hides it.
    ThreadTab* tab = list_->ActiveTab();
    tab->LinkHovered("about:blank#a118-119");
    QVERIFY(AppPopup().isVisible());
    QVERIFY(AppPopup().Text().startsWith(QString::fromUtf8("118 名前：name118 メール：sage")));
    QVERIFY(AppPopup().Text().contains(QString::fromUtf8("119 名前：name119")));
    if (!out.isEmpty()) AppPopup().grab().save(out + ".popup.png");
    tab->LinkHovered("about:blank#all");
    QVERIFY(AppPopup().isVisible());
    tab->LinkHovered("");
    QTRY_VERIFY(!AppPopup().isVisible());
    // Selected reply numbers show their pop-up instead of the context menu; other text does not.
    QVERIFY(tab->SelectionContextMenu(Sjis("１１８－１１９")));
    QVERIFY(AppPopup().Text().contains(QString::fromUtf8("119 名前：name119")));
    AppPopup().HidePopup();
    QVERIFY(!tab->SelectionContextMenu("12 replies"));
    QVERIFY(!tab->SelectionContextMenu("  "));
    QVERIFY(!AppPopup().isVisible());
  }

 private:
  static std::string test_S(const char* utf8) { return Sjis(utf8); }

  void WriteThread(int key, int replies) {
    std::string log;
    for (int k = 1; k <= replies; ++k) log += DatLine(k, k == 1 ? "title" : "");
    QVERIFY(ReplaceFile(boardDir_ + std::to_string(key) + ".dat", log));
  }
  void WriteIni(const std::string& text) { QVERIFY(ReplaceFile(boardDir_ + "subject.ini", text)); }
  void Open(int key, TabChoice where, const std::string& title, int unread = 1) {
    list_->OpenThread(boardDir_, std::to_string(key) + ".dat", "midoku", unread, where, title);
  }
  static void WaitLoaded(ThreadTab* tab) { QTRY_VERIFY(!tab->View()->IsLoading()); }
  // Right-clicks `at` in the page and triggers the entry named `name` of the menu shown. A busy
  // machine may deliver the click while the page is still settling, when no reply is found under
  // it and the reply's entries are disabled: the menu is then closed and the click repeated.
  static void TriggerMenuEntry(ThreadTab* tab, QPoint at, const char* name) {
    for (int attempt = 0; attempt < 5; ++attempt) {
      // The view's drawing surface is made anew with every page.
      QTest::mouseClick(tab->View()->focusProxy(), Qt::RightButton, {}, at);
      QMenu* menu = nullptr;
      QTRY_VERIFY((menu = qobject_cast<QMenu*>(FindTopLevel("threadViewPM"))) != nullptr);
      QAction* action = menu->findChild<QAction*>(name);
      QVERIFY(action != nullptr);
      if (action->isEnabled()) {
        action->trigger();
        menu->close();
        return;
      }
      menu->close();
      QTRY_VERIFY(FindTopLevel("threadViewPM") == nullptr);
      QTest::qWait(500);
    }
    QFAIL(qPrintable(QString("%1 stayed disabled").arg(name)));
  }
  static QWidget* FindTopLevel(const char* name) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (widget->objectName() == QLatin1String(name) && widget->isVisible()) return widget;
    }
    return nullptr;
  }
  static QString ReadNgList() {
    return QString::fromStdString(
        SjisToUtf8Lossy(ReadWholeFile(NgRuleFile::DefaultPath()).value_or(std::string())));
  }
  // Clicks the first link matching `selector` the way a user would, from the program's script
  // world (page scripts are off).
  static void Click(ThreadTab* tab, const char* selector) {
    bool clicked = false;
    tab->View()->page()->runJavaScript(
        QString("(function () { var a = document.querySelector('%1');"
                " if (!a) return false; a.click(); return true; })()")
            .arg(selector),
        QWebEngineScript::ApplicationWorld,
        [&clicked](const QVariant& v) { clicked = v.toBool(); });
    QTRY_VERIFY(clicked);
  }

  QTemporaryDir dataDir_;
  std::string boardDir_;
  QTabWidget* tabs_ = nullptr;
  ThreadTabList* list_ = nullptr;
};

int main(int argc, char** argv) {
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-sandbox");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  ThreadTabListTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "ThreadTabListTest.moc"
